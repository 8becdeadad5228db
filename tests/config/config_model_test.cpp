// The indexed profile against the plain walk, on random profiles full of
// repeated sections and keys, blanks, long keys and lines that are no entry.
#include <random>

#include <gtest/gtest.h>

#include "config/profile.h"
#include "reference_walk.h"

TEST(IndexedProfile, AnswersAsThePlainWalkOverTheKeptLines) {
    const std::vector<std::string> sections = {"A", "a", "B ", " B", "", std::string(120, 's')},
        keys = {"k", "K", "k ", " k", "", "#k", std::string(100, 'k'), std::string(101, 'K'), "x=y"},
        ends = {"", "\n", "\r\n", " \r \n", "\t", "]", "] #"};
    std::mt19937 random(20261207);
    auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
    for (int round = 0; round < 300; ++round) {
        velm::config::Profile profile("p");
        std::vector<std::string> kept;
        for (int n = random() % 60; n > 0; --n) {
            std::string line = random() % 3 ? pick(keys) + "=" + std::to_string(random() % 9) : "[" + pick(sections);
            line += pick(ends);
            profile.add_line(line.data(), line.size());
            velm_test::keep_line(kept, line);
        }
        ASSERT_EQ(profile.line_count(), static_cast<int>(kept.size()));
        for (const std::string& section : sections) {
            for (const std::string& key : keys) {
                std::string cut = key + (random() % 4 ? "" : "tail");
                const char* found = profile.find_value(section.c_str(), cut.c_str());
                ASSERT_EQ(found ? std::optional<std::string>(found) : std::nullopt,
                          velm_test::walk_lookup(kept, section, cut)) << round << cut;
            }
        }
    }
}
