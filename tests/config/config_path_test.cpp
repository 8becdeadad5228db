// The configuration directory: precedence of its variables, the one warning.
#include <filesystem>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "velm_basetool.h"

namespace {

const std::string kSep(1, std::filesystem::path::preferred_separator);
const std::string kLong(300, 'p'), kLocalWithSep = "L" + kSep;

struct PathCase {
    const char* env[5];  // VELM_CONFIG, VELM_LOCAL, VE_TMP_DIR, TEMP, TMP (null: unset)
    std::string expected;
    bool warns;
};

class ConfigPath : public testing::TestWithParam<PathCase> {};

}  // namespace

TEST_P(ConfigPath, FirstCallFollowsThePrecedenceAndLaterCallsRepeatIt) {
    if (GetParam().env[0] && !*GetParam().env[0] && kSep != "/")
        GTEST_SKIP() << "Windows cannot set a variable to the empty value";
    velm_test::StdoutCapture out;  // before TEMP changes: the capture needs a temporary file
    const char* names[] = {"VELM_CONFIG", "VELM_LOCAL", "VE_TMP_DIR", "TEMP", "TMP"};
    for (int i = 0; i < 5; ++i) {
        if (GetParam().env[i]) velm_test::set_env(names[i], GetParam().env[i]);
        else velm_test::unset_env(names[i]);
    }
    const char* first = VELM_GetCfgPath();
    velm_test::set_env("VELM_CONFIG", "changed");
    EXPECT_EQ(VELM_GetCfgPath(), first);
    EXPECT_EQ(first, GetParam().expected);
    EXPECT_EQ(out.finish(), GetParam().warns ? "Warning VELM_LOCAL or VELM_CONFIG not set. Set to:" +
                                                   GetParam().expected + "\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Env, ConfigPath,
    testing::Values(PathCase{{"C", "L", "V"}, "C", false}, PathCase{{"", "L"}, "", false},
                    PathCase{{nullptr, "L", "V"}, "L" + kSep + "config", false},
                    PathCase{{nullptr, kLocalWithSep.c_str()}, "L" + kSep + kSep + "config", false},
                    PathCase{{nullptr, nullptr, "V", "T", "X"}, "V", true},
                    PathCase{{nullptr, nullptr, nullptr, "T", "X"}, "T", true},
                    PathCase{{nullptr, nullptr, nullptr, nullptr, "X"}, "X", true},
                    PathCase{{}, kSep == "/" ? "/tmp" : "c:\\temp", true},
                    PathCase{{kLong.c_str()}, kLong.substr(0, 260), false},
                    PathCase{{nullptr, kLong.c_str()}, kLong.substr(0, 260), false}),
    velm_test::row_number);
