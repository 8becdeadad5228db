// The level setters and the names that make up the session log file.
#include <string>
#include <vector>

#include "log/log_fixture.h"

using velm_test::read_lines;

TEST_F(LogTest, LevelSettersFollowTheirRules) {
    struct Step { void (*set)(int); int value, file, out, sys; };  // the levels after the call
    const Step steps[] = {{VELM_SetLogLevel, 0, 1, 1, -3},       {VELM_SetLogLevel, 5, 5, 5, -3},
                          {VELM_SetLogLevelSyslog, 2, 2, 5, 2},  {VELM_SetLogLevel, 4, 4, 4, 2},
                          {VELM_SetLogLevelStdOut, 6, 4, 6, 2},  {VELM_SetLogLevelStdOut, 3, 3, 3, 2},
                          {VELM_SetLogLevelStdOut, -100, 1, 1, 2}};
    for (const Step& step : steps) {
        step.set(step.value);
        EXPECT_EQ((std::vector<int>{VELM_GetLogLevel(), VELM_GetLogLevelStdOut(), VELM_GetLogLevelSyslog()}),
                  (std::vector<int>{step.file, step.out, step.sys})) << step.value;
    }
}

// A host's calls to the name setters, and the file name and product they give.
struct NameCase {
    bool configured;                  // VELM_CONFIG set
    void (*setNames)();
    std::string nameParts, product;   // the file name before the pid; the header's product
};

class SessionFileNames : public LogTest, public testing::WithParamInterface<NameCase> {};

TEST_P(SessionFileNames, AreTakenWhenTheFileOpens) {
    if (GetParam().configured) velm_test::set_env("VELM_CONFIG", "cfg");
    GetParam().setNames();
    VELM_ERROR("x\n");
    VELM_SetApplName("late");  // too late: the file is open
    VELM_ERROR("y\n");
    EXPECT_EQ(VELM_GetLogFilePath(), expected_log(GetParam().nameParts));
    EXPECT_EQ(read_lines(VELM_GetLogFilePath())[0], "  ### " + GetParam().product + " Log-File ###");
}

const std::string kLong(300, 'n');

INSTANTIATE_TEST_SUITE_P(
    Names, SessionFileNames,
    testing::Values(
        NameCase{false, [] {}, "veserver_VELM_", "VE Quillan-Mor Kest"},
        NameCase{true, [] { VELM_SetApplName("mytool"); }, "mytool_VELM_", "VE Quillan-Mor Kest"},
        NameCase{false, [] { VELM_SetApplName("mytool"); }, "mytool_", ""},
        NameCase{false, [] { VELM_SetApplName("mytool"), VELM_SetCustName("site"),
                             VELM_SetProdName("site"); }, "mytool_site_", "site"},
        NameCase{false, [] { VELM_SetProdName(nullptr); }, "veserver_VELM_", ""},
        NameCase{false, [] { VELM_SetApplName(nullptr); }, "veserver_", ""},
        NameCase{false, [] { VELM_SetApplName(kLong.c_str()), VELM_SetCustName(kLong.c_str()),
                             VELM_SetProdName(kLong.c_str()); },
                 std::string(110, 'n') + "_" + std::string(110, 'n') + "_", std::string(111, 'n')}),
    velm_test::row_number);
