// The configuration directory: precedence of its variables, the one warning,
// whichever threads make the first call together.
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "velm_basetool.h"

namespace {

const std::string kSep(1, std::filesystem::path::preferred_separator), kLong(300, 'p'), kLocalWithSep = "L" + kSep;

struct Row {
    const char* env[5];  // VELM_CONFIG, VELM_LOCAL, VE_TMP_DIR, TEMP, TMP (null: unset)
    std::string expected;
    bool warns;
};

class ConfigPath : public testing::TestWithParam<Row> {};

}  // namespace

TEST_P(ConfigPath, FirstCallFollowsThePrecedenceAndLaterCallsRepeatIt) {
    const Row& row = GetParam();
    if (row.env[0] && !*row.env[0] && kSep != "/") GTEST_SKIP() << "Windows cannot set a variable to the empty value";
    velm_test::StdoutCapture out;  // before TEMP changes: the capture needs a temporary file
    const char* names[] = {"VELM_CONFIG", "VELM_LOCAL", "VE_TMP_DIR", "TEMP", "TMP"};
    for (int i = 0; i < 5; ++i) row.env[i] ? velm_test::set_env(names[i], row.env[i]) : velm_test::unset_env(names[i]);
    std::vector<const char*> first(4);
    std::vector<std::thread> callers;
    for (const char*& answer : first) callers.emplace_back([&answer] { answer = VELM_GetCfgPath(); });
    for (std::thread& caller : callers) caller.join();
    velm_test::set_env("VELM_CONFIG", "changed");
    EXPECT_EQ(first, std::vector<const char*>(4, VELM_GetCfgPath()));
    EXPECT_EQ(first[0], row.expected);
    EXPECT_EQ(out.finish(), row.warns ? "Warning VELM_LOCAL or VELM_CONFIG not set. Set to:" + row.expected + "\n" : "");
}

// Row 1 is the empty VELM_CONFIG, rows 8 and 9 the overlong directories.
INSTANTIATE_TEST_SUITE_P(Env, ConfigPath, testing::Values(
    Row{{"C", "L", "V"}, "C", false}, Row{{"", "L"}, "", false}, Row{{nullptr, "L", "V"}, "L" + kSep + "config", false},
    Row{{nullptr, kLocalWithSep.c_str()}, "L" + kSep + kSep + "config", false},
    Row{{nullptr, nullptr, "V", "T", "X"}, "V", true}, Row{{nullptr, nullptr, nullptr, "T", "X"}, "T", true},
    Row{{nullptr, nullptr, nullptr, nullptr, "X"}, "X", true}, Row{{}, kSep == "/" ? "/tmp" : "c:\\temp", true},
    Row{{kLong.c_str()}, kLong.substr(0, 260), false}, Row{{nullptr, kLong.c_str()}, kLong.substr(0, 260), false}), velm_test::row_number);
