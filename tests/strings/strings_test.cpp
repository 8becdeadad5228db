// The string utilities, every block folder this processor runs (each edited buffer's bytes and guard bytes), and
// the keyed hash of names: SipHash as published, alike for names the case-blind comparison takes as equal.
#include <climits>
#include <cmath>
#include <functional>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "common/ascii_fold.h"
#include "platform/platform.h"
#include "strings/utf8_folding.h"
#include "velm_basetool.h"
#include "velm_string.h"

using namespace std::string_literals;
using namespace velm::common;
using namespace velm::strings;

using Edit = std::function<int(char*)>;
const std::string kGuard = "\x7F\x7F\x7F", kMixed = "Hello, World 42 \x80\xC4\xE4\xFF";

std::string guarded(const std::string& text) { return text + '\0' + kGuard; }

Edit to(const std::function<void(char*)>& edit) {
    return [=](char* s) {
        edit(s);
        return 0;
    };
}
Edit trim(int lead, int trail) { return to(std::bind(VELM_Bereinige_String, std::placeholders::_1, lead, trail)); }
Edit drop(char c) { return std::bind(VELM_Delete_Chars_From_String, std::placeholders::_1, c); }
Edit subst(char c, char by) { return std::bind(VELM_Replace_Char_In_String, std::placeholders::_1, c, by); }
const Edit kill_extra = to(VELM_KillExtraChars);
const Edit fold = to([](char* s) { VELM_convert_UTF8_to_ISO(s, s); });
const Edit kLowers[] = {to(VELM_Translate_String_To_Lower), to(VELM_StringToLower), to(CVELM_String::string_to_lower)};
const Edit kUppers[] = {to(VELM_Translate_String_To_Upper), to(VELM_StringToUpper), to(CVELM_String::string_to_upper)};

TEST(StringEditing, InPlaceEditorsWriteExactlyTheseBytesAndCounts) {
    struct Row {
        std::string in;
        Edit edit;
        int result;
        std::string bytes;
    };
    std::vector<Row> rows = {{" \ta b \t", trim(1, 1), 0, "a b\0\0\0\t\0"s},
                             {"   ", trim(1, 0), 0, "\0  \0"s},
                             {"   ", trim(0, 1), 0, "\0\0\0\0"s},
                             {" a ", trim(0, 0), 0, " a \0"s},
                             {"\r a\n", trim(1, 1), 0, "\r a\n\0"s},
                             {"", trim(1, 1), 0, "\0"s},
                             // only blanks: the trim stops at the string's start, not at the blank before it
                             {" \t", to([](char* s) { VELM_Bereinige_String(s + 1, 0, 1); }), 0, " \0\0"s},
                             {"a-b--c", drop('-'), 3, "abc\0-c\0"s},
                             {"\xE4x\xE4", drop('\xE4'), 2, "x\0\xE4\0"s},
                             {"a.b.c", subst('.', '\0'), 2, "a\0b\0c\0"s},
                             {" \"-./:<>?\\|*\t_\xE4", kill_extra, 0, "___________*\t_\xE4\0"s},
                             // The random buffers below hold the other lead and continuation byte patterns.
                             {"\xC3\xA4", fold, 0, "\xE4\0\0"s},
                             {"\xE2\x82\xAC", fold, 0, "\x82\xAC\0\0"s},
                             {"\xC3\xC3\xA4", fold, 0, "\xC3\xA4\0\0"s},
                             {"\xC5\x93", fold, 0, "S\0\0"s}};
    for (const Edit& lower : kLowers) rows.push_back({kMixed, lower, 0, "hello, world 42 \x80\xC4\xE4\xFF\0"s});
    for (const Edit& upper : kUppers) rows.push_back({kMixed, upper, 0, "HELLO, WORLD 42 \x80\xC4\xE4\xFF\0"s});
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - &rows[0]) + ": " + row.in);
        std::string buffer = guarded(row.in);
        EXPECT_EQ(row.edit(&buffer[0]), row.result);
        EXPECT_EQ(buffer, row.bytes + kGuard);
    }
}

TEST(StringEditing, ReplaceStringReplacesTheFirstMatchAndCutsTheSource) {
    struct Row {
        std::string source, search, by;
        int result;
        std::string out, cut;
    } rows[] = {{"one two two", "two", "2", 0, "one 2 two\0"s, "one \0wo two\0"s},
                {"aab", "ab", "", 0, "a\0"s, "a\0b\0"s},
                {"abc", "x", "y", -1, "", "abc\0"s},
                {"abc", "", "y", -1, "", "abc\0"s}};
    for (const Row& row : rows) {
        std::string source = guarded(row.source), out(12, '#');
        EXPECT_EQ(VELM_Replace_String_In_String(&source[0], row.search.c_str(), row.by.c_str(), &out[0]), row.result);
        EXPECT_EQ(out, row.out + std::string(12 - row.out.size(), '#')) << row.source;
        EXPECT_EQ(source, row.cut + kGuard) << row.source;
    }
}

TEST(StringEditing, NullStringsAreHarmless) {
    char out[4] = "xyz";
    for (const Edit& edit : {trim(1, 1), drop('a'), subst('a', 'b'), kill_extra, fold, kLowers[0], kUppers[0]})
        EXPECT_EQ(edit(nullptr), 0);
    VELM_convert_UTF8_to_ISO(nullptr, out);
    VELM_convert_UTF8_to_ISO("a", nullptr);
    EXPECT_EQ(VELM_Replace_String_In_String(nullptr, "a", "b", out), -1);
    EXPECT_EQ(VELM_Replace_String_In_String(out, "x", nullptr, out + 2), -1);
    EXPECT_EQ(std::string(out), "xyz");
}

// Both parsers take text made only of a number's bytes and read its leading number; a double also takes the full
// stop. A refused text leaves the output as it was.
TEST(NumberParsing, TextOfNumberBytesGivesItsLeadingNumberWithinTheTypesRange) {
    const std::string big = "1" + std::string(309, '0'), tiny = "0." + std::string(400, '0') + "1";
    const std::optional<int> refused;
    struct Row {
        std::optional<std::string> text;
        std::optional<int> integer;
        std::optional<double> real;
    } rows[] = {{"+3", 3, 3.0},
                {"12-3", 12, 12.0},
                {"2147483647", INT_MAX, 2147483647.0},
                {"-2147483648", INT_MIN, -2147483648.0},
                {"2147483648", refused, 2147483648.0},
                {"-2147483649", refused, -2147483649.0},
                {"1.5.2", refused, 1.5},
                {"+.5", refused, 0.5},
                {big.substr(0, 309), refused, 1e308},
                {"0." + big.substr(1) + "5", refused, 5e-310},
                {"-" + tiny, refused, -0.0},
                {"3,25", refused, {}},
                {big, refused, {}},
                {"", refused, {}},
                {"+-1", refused, {}},
                {"-" + big + ".5", refused, {}},
                {std::nullopt, refused, {}}};
    for (const Row& row : rows) {
        const char* text = row.text ? row.text->c_str() : nullptr;
        SCOPED_TRACE(text ? text : "(null)");
        int integer = 77;
        double real = 77.5;
        EXPECT_EQ(VELM_Get_Integer_Value_From_String(text, &integer), row.integer ? 0 : -1);
        EXPECT_EQ(integer, row.integer.value_or(77));
        EXPECT_EQ(VELM_Get_Double_Value_From_String(text, &real), row.real ? 0 : -1);
        EXPECT_EQ(real, row.real.value_or(77.5));
        EXPECT_EQ(std::signbit(real), std::signbit(row.real.value_or(1.0)));
    }
    EXPECT_EQ(VELM_Get_Integer_Value_From_String("1", nullptr), -1);
    EXPECT_EQ(VELM_Get_Double_Value_From_String("1", nullptr), -1);
}

Byte* bytes(const std::string& text) { return reinterpret_cast<Byte*>(const_cast<char*>(text.c_str())); }

// Every kernel, narrowest first, with the block it folds: a null folder is one this processor cannot run.
const struct {
    const char* name;
    BlockFolder folder;
    std::ptrdiff_t block;
} kKernels[] = {{"SSSE3", kernels::ssse3_block_folder(), 16},
                {"AVX2", kernels::avx2_block_folder(), 32},
                {"AVX-512", kernels::avx512_block_folder(), 64}};

TEST(BlockFolders, FoldAsTheRuleStepByStepIntoExactOutputsAndInPlace) {
    std::vector<BlockFolder> folders = {nullptr};  // the portable path, then the widest kernel last
    for (const auto& kernel : kKernels)
        if (kernel.folder) folders.push_back(kernel.folder);
    EXPECT_EQ(chosen_block_folder(), folders.back());
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text, folded(3001, '\0');
        for (unsigned kind; text.size() < 3000;)  // ASCII runs, lead bytes, continuation bytes
            text += (kind = random() % 8) < 4 ? std::string(random() % 40, 'a')
                                              : std::string(1, (kind < 7 ? 0xC0 : 0x80) | random() % 64);
        text.resize(text.size() - random() % 200);
        const Byte *read = bytes(text), *end = read + text.size();
        Byte* write = bytes(folded);
        while (read < end) fold_step(read, write);
        folded.resize(write - bytes(folded));
        const std::string want = guarded(folded) + "|" + guarded(text).replace(0, folded.size() + 1, folded + '\0');
        for (BlockFolder folder : folders) {  // into a buffer of exactly the folded size, then in place
            std::string out = std::string(folded.size() + 1, '#') + kGuard, in_place = guarded(text);
            fold_utf8(bytes(text), bytes(out), folder);
            fold_utf8(bytes(in_place), bytes(in_place), folder);
            ASSERT_EQ(out + "|" + in_place, want) << round;
        }
    }
}

// A block folder runs while two of its blocks remain, folds the first of them and stops where the byte-by-byte
// walk would pass its end: ASCII takes the plain path, a fold whose second byte starts the next one the walk.
TEST(BlockFolders, FoldWhileTwoBlocksRemain) {
    for (const auto& row : kKernels) {
        if (!row.folder) continue;  // not on this processor
        for (const std::string start : {"a", "\xC3\xC3\xA4"})
            for (std::ptrdiff_t size : {2 * row.block - 1, 2 * row.block, 3 * row.block - 1}) {
                SCOPED_TRACE(std::string(row.name) + " on " + std::to_string(size) + " bytes from " + start);
                const std::string text = (start + std::string(size, 'a')).substr(0, size);
                std::string out(size, '#'), walked(size, '#');
                const Byte *read = bytes(text), *walkRead = bytes(text);
                Byte *write = bytes(out), *walkWrite = bytes(walked);
                row.folder(read, write, read + size);
                while (size >= 2 * row.block && walkRead < bytes(text) + row.block) fold_step(walkRead, walkWrite);
                EXPECT_EQ(read - bytes(text), walkRead - bytes(text));
                EXPECT_EQ(out.substr(0, write - bytes(out)), walked.substr(0, walkWrite - bytes(walked)));
            }
    }
}

// In place from the first byte, before any fold, a folder's stores reach bytes it has just read (the exported path
// starts at the first fold instead): a fold across the last block it folds must come out once all the same.
TEST(BlockFolders, FoldInPlaceFromTheFirstByte) {
    auto fold_in_place = [](std::string text, BlockFolder folder) {
        const Byte* read = bytes(text);
        Byte* write = bytes(text);
        if (folder) folder(read, write, read + text.size());
        while (*read) fold_step(read, write);
        return text.substr(0, write - bytes(text));
    };
    for (const auto& row : kKernels) {
        if (!row.folder) continue;  // not on this processor
        std::string text(3 * row.block + 4, 'a');
        text[0] = '\x80';                                            // a high byte that does not fold
        text.replace(row.block + row.block / 2 + 2, 2, "\xC3\xA9");  // a fold in the second block's second half
        text.replace(2 * row.block - 1, 2, "\xC3\xA9");              // a fold across the second and third blocks
        EXPECT_EQ(fold_in_place(text, row.folder), fold_in_place(text, nullptr)) << row.name;
    }
}

TEST(KeyedHash, IsSipHashAsPublishedUnderARandomKey) {
    // The example of the SipHash paper: key 00 01 .. 0f, message 00 01 .. 0e.
    const std::string message = "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e"s;
    const HashKey key{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};
    auto same = [](std::uint64_t word) { return word; };
    EXPECT_EQ((sip_hash<2, 4>(key, message.data(), message.size(), same)), 0xa129ca6149be45e5ULL);
    // Every byte of every length counts, those of the last partial word too.
    for (std::size_t length = 1; length <= 24; ++length) {
        std::string text(length, 'a');
        const std::uint64_t whole = keyed_hash(text.data(), length);
        for (std::size_t at = 0; at < length; ++at)
            EXPECT_NE(keyed_hash(std::string(text).replace(at, 1, "b").data(), length), whole)
                << length << " bytes, byte " << at;
    }
    HashKey first{}, second{};
    ASSERT_TRUE(velm::platform::random_bytes(&first, sizeof first));
    ASSERT_TRUE(velm::platform::random_bytes(&second, sizeof second));
    EXPECT_NE(first.k0 ^ first.k1, second.k0 ^ second.k1);
    EXPECT_NE(hash_key().k0 | hash_key().k1, 0u);
    EXPECT_NE(keyed_hash("name", 4), (sip_hash<1, 3>(HashKey{0, 0}, "name", 4, [](std::uint64_t w) { return w; })));
}

TEST(KeyedHash, FoldedNamesHashAlikeExactlyWhenTheyCompareEqual) {
    const struct {
        const char *a, *b;
        bool equal;
    } rows[] = {{"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", true},
                {"key@[`{", "KEY@[`{", true},
                {"@", "`", false},
                {"[", "{", false},
                {"Stra\303\237e", "STRA\303\237E", true},
                {"\xc3\x84", "\xc3\xa4", false},
                {"12345678", "12345679", false},
                {"name", "name ", false},
                {"", "", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " | " + row.b);
        std::size_t length = std::string(row.a).size();
        bool sameLength = length == std::string(row.b).size();
        EXPECT_EQ(sameLength && same_folded(row.a, row.b, length), row.equal);
        EXPECT_EQ(folded_hash(row.a, length) == folded_hash(row.b, std::string(row.b).size()), row.equal);
    }
}
