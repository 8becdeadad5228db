// The keyed hash of names: SipHash as published, a fold that hashes alike
// what the case-blind comparison takes as equal, a key from the random source.
#include <gtest/gtest.h>

#include <string>

#include "common/ascii_fold.h"
#include "platform/platform.h"

using namespace velm::common;

TEST(KeyedHash, IsSipHashAsPublished) {
    // The example of the SipHash paper: key 00 01 .. 0f, message 00 01 .. 0e.
    std::string message;
    for (char c = 0; c < 15; ++c) message.push_back(c);
    const HashKey key{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};
    auto same = [](std::uint64_t word) { return word; };
    EXPECT_EQ((sip_hash<2, 4>(key, message.data(), message.size(), same)), 0xa129ca6149be45e5ULL);
    // Every byte of every length counts, those of the last partial word too.
    for (std::size_t length = 1; length <= 24; ++length) {
        std::string text(length, 'a');
        const std::uint64_t whole = keyed_hash(text.data(), length);
        for (std::size_t at = 0; at < length; ++at) {
            std::string changed = text;
            changed[at] = 'b';
            EXPECT_NE(keyed_hash(changed.data(), length), whole) << length << " bytes, byte " << at;
        }
    }
}

TEST(KeyedHash, FoldedNamesHashAlikeExactlyWhenTheyCompareEqual) {
    const struct {
        const char *a, *b;
        bool equal;
    } rows[] = {{"Section", "sECTION", true},
                {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", true},
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

TEST(KeyedHash, KeyComesFromTheRandomSource) {
    HashKey first{}, second{};
    ASSERT_TRUE(velm::platform::random_bytes(&first, sizeof first));
    ASSERT_TRUE(velm::platform::random_bytes(&second, sizeof second));
    EXPECT_NE(first.k0 ^ first.k1, second.k0 ^ second.k1);
    EXPECT_NE(hash_key().k0 | hash_key().k1, 0u);
    EXPECT_NE(keyed_hash("name", 4), (sip_hash<1, 3>(HashKey{0, 0}, "name", 4, [](std::uint64_t w) { return w; })));
}
