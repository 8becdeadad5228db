// Every string editor and case converter on arbitrary bytes, each in a heap
// buffer of exactly the size the interface asks for, with the results
// checked against what the interface promises.
#include <cctype>

#include "fuzz_support.h"
#include "velm_basetool.h"
#include "velm_string.h"

namespace {

using velm_fuzz::ExactBuffer;
using velm_fuzz::exact_copy;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(std::string s, bool leading, bool trailing) {
    if (leading) s.erase(0, std::min(s.find_first_not_of(" \t"), s.size()));
    if (trailing) while (!s.empty() && is_blank(s.back())) s.pop_back();
    return s;
}

std::size_t count(const std::string& s, char c) { return std::count(s.begin(), s.end(), c); }

void check_cleaning(const std::string& text, int leading, int trailing) {
    ExactBuffer b = exact_copy(text);
    VELM_Bereinige_String(b.data(), leading, trailing);
    FUZZ_CHECK(b.data() == trimmed(text, leading != 0, trailing != 0));
}

void check_deleting(const std::string& text, char c) {
    ExactBuffer b = exact_copy(text);
    std::size_t expected = c ? count(text, c) : 0;
    FUZZ_CHECK(VELM_Delete_Chars_From_String(b.data(), c) == static_cast<int>(expected));
    std::string kept = text;
    if (c) kept.erase(std::remove(kept.begin(), kept.end(), c), kept.end());
    FUZZ_CHECK(b.data() == kept);
}

void check_replacing_char(const std::string& text, char find, char replacement) {
    ExactBuffer b = exact_copy(text);
    std::size_t expected = find ? count(text, find) : 0;
    FUZZ_CHECK(VELM_Replace_Char_In_String(b.data(), find, replacement) == static_cast<int>(expected));
    std::string after = text;
    if (find) std::replace(after.begin(), after.end(), find, replacement);
    FUZZ_CHECK(std::memcmp(b.data(), after.c_str(), after.size() + 1) == 0);
}

// The output gets exactly the documented size; a failed call writes nothing.
void check_replacing_string(const std::string& text, const std::string& search,
                            const std::string& replacement) {
    ExactBuffer source = exact_copy(text);
    ExactBuffer search_copy = exact_copy(search);
    ExactBuffer replacement_copy = exact_copy(replacement);
    std::size_t at = search.empty() ? std::string::npos : text.find(search);
    std::size_t size = text.size() + replacement.size() + 1 - (at == std::string::npos ? 0 : search.size());
    ExactBuffer out(size);
    int result = VELM_Replace_String_In_String(source.data(), search_copy.data(),
                                               replacement_copy.data(), out.data());
    if (at == std::string::npos) {
        FUZZ_CHECK(result == -1);
        FUZZ_CHECK(source.data() == text);
        FUZZ_CHECK(std::all_of(out.data(), out.data() + size, [](char c) { return c == '\x5a'; }));
        return;
    }
    FUZZ_CHECK(result == 0);
    FUZZ_CHECK(source.data() == text.substr(0, at));
    FUZZ_CHECK(std::string(out.data()) == text.substr(0, at) + replacement + text.substr(at + search.size()));
}

void check_killing(const std::string& text) {
    ExactBuffer b = exact_copy(text);
    VELM_KillExtraChars(b.data());
    std::string after = text;
    for (char& c : after)
        if (std::strchr(" \"-./:<>?\\|", c)) c = '_';
    FUZZ_CHECK(b.data() == after);
}

// Folding in place gives what folding into a separate buffer gives, and never
// more bytes than came in.
void check_folding(const std::string& text) {
    ExactBuffer in_place = exact_copy(text);
    ExactBuffer in = exact_copy(text);
    ExactBuffer out(text.size() + 1);
    VELM_convert_UTF8_to_ISO(in_place.data(), in_place.data());
    VELM_convert_UTF8_to_ISO(in.data(), out.data());
    FUZZ_CHECK(std::strcmp(in_place.data(), out.data()) == 0);
    FUZZ_CHECK(in.data() == text);
    FUZZ_CHECK(std::strlen(out.data()) <= text.size());
}

// In the "C" locale only the ASCII letters change, and the length never does.
void check_case(const std::string& text) {
    std::string lower = text, upper = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    void (*lowering[])(char*) = {VELM_Translate_String_To_Lower, VELM_StringToLower,
                                 CVELM_String::string_to_lower};
    void (*uppering[])(char*) = {VELM_Translate_String_To_Upper, VELM_StringToUpper,
                                 CVELM_String::string_to_upper};
    for (auto convert : lowering) {
        ExactBuffer b = exact_copy(text);
        convert(b.data());
        FUZZ_CHECK(b.data() == lower);
    }
    for (auto convert : uppering) {
        ExactBuffer b = exact_copy(text);
        convert(b.data());
        FUZZ_CHECK(b.data() == upper);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int leading = in.ConsumeIntegral<int>(), trailing = in.ConsumeIntegral<int>();
    char c1 = in.ConsumeIntegral<char>(), c2 = in.ConsumeIntegral<char>();
    std::string search = velm_fuzz::text(in, 64);
    std::string replacement = velm_fuzz::text(in, 256);
    std::string text = velm_fuzz::text(in);
    check_cleaning(text, leading, trailing);
    check_deleting(text, c1);
    check_replacing_char(text, c1, c2);
    check_replacing_string(text, search, replacement);
    check_killing(text);
    check_folding(text);
    check_case(text);
    return 0;
}
