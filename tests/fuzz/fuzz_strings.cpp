// Every string editor and case converter on arbitrary bytes, in heap buffers of
// exactly the size the interface asks for, checked against what it promises.
#include <cctype>
#include <functional>

#include "fuzz_support.h"
#include "velm_string.h"

using velm_fuzz::Buffer;

// The output gets exactly the documented size; a failed call writes nothing.
static void check_replacing_string(const std::string& text, const std::string& search,
                                   const std::string& replacement) {
    Buffer source(text), search_copy(search), replacement_copy(replacement);
    std::size_t at = search.empty() ? std::string::npos : text.find(search);
    bool found = at != std::string::npos;
    std::size_t size = text.size() + replacement.size() + 1 - (found ? search.size() : 0);
    Buffer out(size);
    int result = VELM_Replace_String_In_String(source, search_copy, replacement_copy, out);
    FUZZ_CHECK(result == (found ? 0 : -1) && source.get() == text.substr(0, at));
    FUZZ_CHECK(std::string(out, size) ==
               (found ? text.substr(0, at) + replacement + text.substr(at + search.size()) + '\0'
                      : std::string(size, '\x5a')));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int leading = in.ConsumeIntegral<int>(), trailing = in.ConsumeIntegral<int>();
    char c1 = in.ConsumeIntegral<char>(), c2 = in.ConsumeIntegral<char>();
    std::string search = velm_fuzz::text(in, 64);
    std::string replacement = velm_fuzz::text(in, 256);
    std::string text = velm_fuzz::text(in);
    check_replacing_string(text, search, replacement);

    // What each editor in place must leave; in the "C" locale only the ASCII
    // letters change case.
    auto each = [&](auto map) {
        std::string s = text;
        std::transform(s.begin(), s.end(), s.begin(), map);
        return s;
    };
    std::string trimmed = text, without = text;
    if (leading) trimmed.erase(0, trimmed.find_first_not_of(" \t"));
    if (trailing) trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
    without.erase(std::remove(without.begin(), without.end(), c1), without.end());
    std::string lower = each([](unsigned char c) { return char(std::tolower(c)); });
    std::string upper = each([](unsigned char c) { return char(std::toupper(c)); });
    int found = static_cast<int>(std::count(text.begin(), text.end(), c1));
    const std::pair<std::string, std::function<void(char*)>> edits[] = {
        {trimmed, [&](char* s) { VELM_Bereinige_String(s, leading, trailing); }},
        {without, [&](char* s) { FUZZ_CHECK(VELM_Delete_Chars_From_String(s, c1) == found); }},
        {each([&](char c) { return c == c1 ? c2 : c; }),
         [&](char* s) { FUZZ_CHECK(VELM_Replace_Char_In_String(s, c1, c2) == found); }},
        {each([](char c) { return std::strchr(" \"-./:<>?\\|", c) ? '_' : c; }),
         VELM_KillExtraChars},
        {lower, VELM_Translate_String_To_Lower}, {upper, VELM_Translate_String_To_Upper},
        {lower, VELM_StringToLower}, {upper, VELM_StringToUpper},
        {lower, CVELM_String::string_to_lower}, {upper, CVELM_String::string_to_upper},
    };
    for (const auto& [expected, edit] : edits) {
        Buffer b(text);
        edit(b);
        // Up to the expected terminator, past any NUL that replacing by '\0' wrote.
        FUZZ_CHECK(std::memcmp(b, expected.c_str(), expected.size() + 1) == 0);
    }

    // Folding in place gives what folding into a separate buffer gives.
    Buffer in_place(text), source(text), out(text.size() + 1);
    VELM_convert_UTF8_to_ISO(in_place, in_place);
    VELM_convert_UTF8_to_ISO(source, out);
    FUZZ_CHECK(std::strcmp(in_place, out) == 0 && source.get() == text);
    return 0;
}
