// The indexed profile, filled line by line and in one pass, against the plain
// walk, on random profiles full of repeated sections and keys, blanks, long
// keys, lines that are no entry and sections of many keys.
#include <random>

#include <gtest/gtest.h>

#include "reference_walk.h"

TEST(IndexedProfile, AnswersAsThePlainWalkOverTheKeptLines) {
    const std::vector<std::string> sections = {"A", "a", "B ", " B", "", std::string(120, 's')},
        keys = {"k", "K", "k ", " k", "", "#k", std::string(100, 'k'), std::string(101, 'K'), "x=y"},
        ends = {"\n", "\r\n", " \r \n", "\t\n", "]\n", "] #\n", ""};
    std::mt19937 random(20261207);
    auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
    auto numbered = [&](const std::string& key) { return key + (random() % 2 ? std::to_string(random() % 40) : ""); };
    for (int round = 0; round < 300; ++round) {
        std::string content;
        for (int n = random() % 150; n > 0; --n)
            content += (random() % 8 ? numbered(pick(keys)) + "=" + std::to_string(random() % 9) : "[" + pick(sections)) + pick(ends);
        velm::config::Profile added("a"), stored("s");
        std::vector<std::string> kept = velm_test::load(content, added, stored);
        ASSERT_EQ(std::vector<int>({added.line_count(), stored.line_count()}), std::vector<int>(2, kept.size()));
        for (const std::string& section : sections) {
            for (int n = 0; n < 40; ++n) {
                std::string key = numbered(pick(keys)) + (random() % 4 ? "" : "tail");
                std::optional<std::string> expected = velm_test::walk_lookup(kept, section, key);
                ASSERT_EQ(velm_test::found(added, section.c_str(), key.c_str()), expected) << round << key;
                ASSERT_EQ(velm_test::found(stored, section.c_str(), key.c_str()), expected) << round << key;
            }
        }
    }
}
