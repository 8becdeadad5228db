// The indexed profile against the plain walk, on random profiles full of
// repeated sections and keys, blanks, long keys and lines that are no entry.
#include <random>

#include <gtest/gtest.h>

#include "config/profile.h"
#include "reference_walk.h"

namespace {

const std::vector<std::string> kSections = {"A", "a", "B ", " B", "", std::string(120, 's')};
const std::vector<std::string> kKeys = {"k", "K", "k ", " k", "", "#k", std::string(100, 'k'),
                                        std::string(101, 'K'), "x=y"};

std::string pick(std::mt19937& random, const std::vector<std::string>& from) {
    return from[random() % from.size()];
}

// A header, an entry, a comment or a bit of noise, with line ends of any kind.
std::string random_line(std::mt19937& random) {
    const char* const ends[] = {"", "\n", "\r\n", " \r \n", "\t"};
    switch (random() % 5) {
        case 0: return "[" + pick(random, kSections) + "]" + ends[random() % 5];
        case 1: return "[" + pick(random, kSections) + ends[random() % 5];
        case 2: return "#" + pick(random, kKeys) + "=c";
        default: return pick(random, kKeys) + "=" + std::to_string(random() % 9) + ends[random() % 5];
    }
}

}  // namespace

TEST(IndexedProfile, AnswersAsThePlainWalkOverTheKeptLines) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        velm::config::Profile profile("p");
        std::vector<std::string> kept;
        for (int n = random() % 60; n > 0; --n) {
            std::string line = random_line(random);
            profile.add_line(line.data(), line.size());
            velm_test::keep_line(kept, line);
        }
        ASSERT_EQ(profile.line_count(), static_cast<int>(kept.size()));
        for (const std::string& section : kSections) {
            for (std::string key : kKeys) {
                key += random() % 4 ? "" : "tail";
                const char* found = profile.find_value(section.c_str(), key.c_str());
                ASSERT_EQ(found ? std::optional<std::string>(found) : std::nullopt,
                          velm_test::walk_lookup(kept, section, key)) << round << key;
            }
        }
    }
}
