// The indexed profile, filled line by line and in one pass, against the plain walk.
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "config/profile.h"
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
        std::vector<std::string> kept;
        for (const std::string& piece : velm_test::pieces(content)) {
            added.add_line(piece.c_str(), std::strlen(piece.c_str()));  // read as a C string
            stored.store_line(piece.c_str(), std::strlen(piece.c_str()));
            velm_test::keep_line(kept, piece);
        }
        stored.index_stored_lines();
        ASSERT_EQ(std::vector<int>({added.line_count(), stored.line_count()}), std::vector<int>(2, kept.size()));
        for (const std::string& section : sections)
            for (int n = 0; n < 40; ++n) {
                std::string key = numbered(pick(keys)) + (random() % 4 ? "" : "tail");
                std::vector<std::optional<std::string>> answers;
                for (const char* value : {added.find_value(section.c_str(), key.c_str()), stored.find_value(section.c_str(), key.c_str())})
                    answers.push_back(value ? std::optional<std::string>(value) : std::nullopt);
                ASSERT_EQ(answers, std::vector<std::optional<std::string>>(2, velm_test::walk_lookup(kept, section, key))) << round << key;
            }
    }
}
