// The level setters and the names that make up the session log file.
#include <string>
#include <vector>

#include "log/log_fixture.h"

using velm_test::read_lines;

TEST_F(LogTest, LevelSettersFollowTheirRules) {
    VELM_SetLogLevel(0);
    EXPECT_EQ(VELM_GetLogLevel(), 1);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 1);
    EXPECT_EQ(VELM_GetLogLevelSyslog(), -3);

    VELM_SetLogLevel(5);
    VELM_SetLogLevelSyslog(2);
    EXPECT_EQ(VELM_GetLogLevel(), 2);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 5);
    EXPECT_EQ(VELM_GetLogLevelSyslog(), 2);

    VELM_SetLogLevel(4);
    VELM_SetLogLevelStdOut(6);
    EXPECT_EQ(VELM_GetLogLevel(), 4);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 6);
    VELM_SetLogLevelStdOut(3);
    EXPECT_EQ(VELM_GetLogLevel(), 3);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 3);
    VELM_SetLogLevelStdOut(-100);
    EXPECT_EQ(VELM_GetLogLevel(), 1);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 1);
}

TEST_F(LogTest, ApplicationNameWithConfigurationKeepsTheCustomerPart) {
    velm_test::set_env("VELM_CONFIG", "cfg");
    VELM_SetApplName("mytool");
    VELM_ERROR("x\n");
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), expected_log("mytool_VELM_"));
    EXPECT_EQ(read_lines(VELM_GetLogFilePath())[0], "  ### VE Quillan-Mor Kest Log-File ###");
}

TEST_F(LogTest, ApplicationNameWithoutConfigurationEmptiesCustomerAndProduct) {
    VELM_SetApplName("mytool");
    VELM_ERROR("x\n");
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), expected_log("mytool_"));
    EXPECT_EQ(read_lines(VELM_GetLogFilePath())[0], "  ###  Log-File ###");
}

TEST_F(LogTest, CustomerNameGetsAnUnderscoreProductNameDoesNot) {
    VELM_SetApplName("mytool");
    VELM_SetCustName("site");
    VELM_SetProdName("site");
    VELM_ERROR("x\n");
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), expected_log("mytool_site_"));
    EXPECT_EQ(read_lines(VELM_GetLogFilePath())[0], "  ### site Log-File ###");
}

TEST_F(LogTest, NamesSetAfterTheFileOpenedChangeNothing) {
    VELM_ERROR("x\n");
    VELM_SetApplName("late");
    VELM_ERROR("y\n");
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), expected_log("veserver_VELM_"));
}

TEST_F(LogTest, OverlongNamesAreCutToTheirFields) {
    std::string name(300, 'n');
    VELM_SetApplName(name.c_str());
    VELM_SetCustName(name.c_str());
    VELM_SetProdName(name.c_str());
    VELM_SetCustName(nullptr);  // resets customer and product: empty without configuration
    VELM_SetCustName(name.c_str());
    VELM_SetProdName(name.c_str());
    VELM_ERROR("x\n");
    std::string part = std::string(110, 'n') + "_";
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), expected_log(part + part));
    EXPECT_EQ(read_lines(VELM_GetLogFilePath())[0], "  ### " + std::string(111, 'n') + " Log-File ###");
}

TEST_F(LogTest, ProductNameResetDependsOnConfiguration) {
    VELM_SetProdName(nullptr);
    VELM_SetLogLevel(1);
    VELM_PRINTLOG("x\n");
    EXPECT_EQ(read_lines(VELM_GetLogFilePath())[0], "  ###  Log-File ###");
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), expected_log("veserver_VELM_"));
}
