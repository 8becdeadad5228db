// String editors, number parsers and the UTF-8 fold (its portable path and every block folder this processor
// runs) on arbitrary bytes in heap buffers of exactly the size asked for, each against the rule it keeps.
#include <cctype>

#include "fuzz_support.h"
#include "strings/utf8_folding.h"

using velm_fuzz::Buffer;
namespace kernels = velm::strings::kernels;

static unsigned char* bytes(const Buffer& b) { return reinterpret_cast<unsigned char*>(b.get()); }

template <class F>
static std::string edited(const std::string& text, F edit) {
    Buffer b(text);
    edit(b.get());
    return b.get();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int leading = in.ConsumeIntegral<int>(), trailing = in.ConsumeIntegral<int>();
    char c1 = in.ConsumeIntegral<char>(), c2 = in.ConsumeIntegral<char>();
    std::string search = velm_fuzz::text(in, 64), by = velm_fuzz::text(in, 256), text = velm_fuzz::text(in);

    // An accepted text gives its leading number, a refused one leaves the output (a unit test says which to accept).
    for (const std::string* number : {&search, &by, &text}) {
        int integer = 0x5a5a5a5a;
        double real = 42.5;
        const int integer_result = VELM_Get_Integer_Value_From_String(Buffer(*number), &integer);
        const int real_result = VELM_Get_Double_Value_From_String(Buffer(*number), &real);
        FUZZ_CHECK(integer_result == 0 ? integer == std::strtoll(number->c_str(), nullptr, 10)
                                       : integer_result == -1 && integer == 0x5a5a5a5a);
        FUZZ_CHECK(real_result == 0 ? real == std::strtod(number->c_str(), nullptr)
                                    : real_result == -1 && real == 42.5);
    }

    // The source is cut at the first match, and as its own output holds what a separate output holds. Edits
    // never make a text longer, and a second edit changes nothing.
    Buffer source(text), own(text.size() + by.size() + 1), out(text.size() + by.size() + 1);
    std::memcpy(own, text.c_str(), text.size() + 1);
    int result = VELM_Replace_String_In_String(source, Buffer(search), Buffer(by), out);
    std::size_t at = std::strlen(source);
    FUZZ_CHECK(result == VELM_Replace_String_In_String(own, Buffer(search), Buffer(by), own));
    FUZZ_CHECK(result == (search.empty() || text.find(search) == std::string::npos ? -1 : 0));
    FUZZ_CHECK(result == 0 ? at == text.find(search) && std::string(out) == std::string(own) &&
                                 std::string(out) == text.substr(0, at) + by + text.substr(at + search.size())
                           : at == text.size() && out[0] == '\x5a' && std::string(own) == text);

    auto trim = [&](char* s) { VELM_Bereinige_String(s, leading, trailing); };
    std::string trimmed = edited(text, trim), killed = edited(text, VELM_KillExtraChars);
    FUZZ_CHECK(text.find(trimmed) != std::string::npos && edited(trimmed, trim) == trimmed);
    int deleted = 0, replaced = 0;
    std::string without = edited(text, [&](char* s) { deleted = VELM_Delete_Chars_From_String(s, c1); });
    std::string swapped = edited(text, [&](char* s) { replaced = VELM_Replace_Char_In_String(s, c1, c2); });
    FUZZ_CHECK(deleted == replaced && without.size() + deleted == text.size() && without.find(c1) == std::string::npos);
    FUZZ_CHECK(c2 == '\0' || (swapped.size() == text.size() && (c1 == c2 || swapped.find(c1) == std::string::npos)));
    FUZZ_CHECK(killed.size() == text.size() && edited(killed, VELM_KillExtraChars) == killed);
    for (std::size_t i = 0; i < text.size(); ++i)
        FUZZ_CHECK(killed[i] == text[i] || (killed[i] == '_' && !std::isalnum(text[i] & 0xff)));

    // The rule step by step is the model, and gives the folded length, which strlen cannot: a fold may give a NUL.
    Buffer model(text);
    const unsigned char* read = bytes(model);
    unsigned char* write = bytes(model);
    while (read < bytes(model) + text.size()) velm::strings::fold_step(read, write);
    *write = '\0';
    std::size_t folded = write - bytes(model) + 1;
    for (auto folder : {velm::strings::BlockFolder{}, kernels::ssse3_block_folder(), kernels::avx2_block_folder(),
                        kernels::avx512_block_folder()}) {
        Buffer exact(folded), in_place(text);
        velm::strings::fold_utf8(bytes(Buffer(text)), bytes(exact), folder);
        velm::strings::fold_utf8(bytes(in_place), bytes(in_place), folder);
        FUZZ_CHECK(std::memcmp(exact, model, folded) == 0 && std::memcmp(in_place, model, text.size() + 1) == 0);
    }
    return 0;
}
