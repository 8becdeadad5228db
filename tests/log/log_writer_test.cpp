// The writer: initialisation from the environment, the session log file and
// its header, line format, capacity, the failed opening.
#include <filesystem>
#include <string>
#include <vector>

#include "log/log_fixture.h"

using velm_test::has_timestamp_at;
using velm_test::read_lines;
using velm_test::session_lines;
using velm_test::StdoutCapture;
using velm_test::without_timestamp;

namespace {

const std::string kHeaderProduct = "VE Quillan-Mor Kest";

}  // namespace

TEST_F(LogTest, GettersBeforeAnyMessageShowTheInitialState) {
    EXPECT_EQ(VELM_GetLogLevel(), -3);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 4);
    EXPECT_EQ(VELM_GetLogLevelSyslog(), -3);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);
}

TEST_F(LogTest, DroppedFirstMessageInitialisesButCreatesNoFile) {
    StdoutCapture out;
    VELM_DEBUG("not shown %d\n", 1);
    EXPECT_EQ(out.finish(), "");
    EXPECT_EQ(VELM_GetLogLevel(), 4);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 4);
    EXPECT_EQ(VELM_GetLogLevelSyslog(), 4);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);
    EXPECT_FALSE(velm_test::file_exists(expected_log("veserver_VELM_")));
}

TEST_F(LogTest, FirstErrorCreatesFileWithHeaderAndEchoesOnlyTheError) {
    // A file left by an earlier process with the same id is emptied.
    dir.write("veserver_VELM_" + std::to_string(pid()) + ".log", "old\nlines\n");
    StdoutCapture out;
    VELM_ERROR("disk %s full\n", "C:");
    std::string printed = out.finish();

    std::string path = expected_log("veserver_VELM_");
    ASSERT_NE(VELM_GetLogFilePath(), nullptr);
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), path);
    std::vector<std::string> lines = read_lines(path);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "  ### " + kHeaderProduct + " Log-File ###");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "  " + kHeaderProduct + " Session-LogFile " + path);
    EXPECT_EQ(lines[3], "");
    // "  VELM Base-Tool" + 21 blanks + "(V11.2.2.1)  Mmm dd yyyy hh:mm:ss"
    const std::string tool = "  VELM Base-Tool                     (V11.2.2.1)  ";
    EXPECT_EQ(lines[4].substr(0, tool.size()), tool);
    EXPECT_EQ(lines[4].size(), tool.size() + 11 + 1 + 8);
    EXPECT_EQ(lines[5], "");
    EXPECT_TRUE(has_timestamp_at(lines[6]));
    EXPECT_EQ(without_timestamp(lines[6]), "disk C: full");

    ASSERT_TRUE(has_timestamp_at(printed));
    EXPECT_EQ(without_timestamp(printed), "disk C: full\n");
}

struct EnvLevels {
    const char* level;   // VELM_LOG_LEVEL, VELM_LOG_LEVEL_STDOUT, VELM_LOG_LEVEL_SYSLOG
    const char* stdOut;  // (null: unset)
    const char* syslog;
    int file, out, sys;  // the levels after the first message
};

class LevelsFromEnvironment : public LogTest, public testing::WithParamInterface<EnvLevels> {};

TEST_P(LevelsFromEnvironment, FileLevelIsTheLeastOfTheThree) {
    const EnvLevels& row = GetParam();
    if (row.level) velm_test::set_env("VELM_LOG_LEVEL", row.level);
    if (row.stdOut) velm_test::set_env("VELM_LOG_LEVEL_STDOUT", row.stdOut);
    if (row.syslog) velm_test::set_env("VELM_LOG_LEVEL_SYSLOG", row.syslog);
    StdoutCapture out;
    VELM_LOG(0, 0, "never shown\n");
    EXPECT_EQ(out.finish(), "");
    EXPECT_EQ(VELM_GetLogLevel(), row.file);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), row.out);
    EXPECT_EQ(VELM_GetLogLevelSyslog(), row.sys);
}

INSTANTIATE_TEST_SUITE_P(
    Env, LevelsFromEnvironment,
    testing::Values(EnvLevels{nullptr, nullptr, nullptr, 4, 4, 4},
                    EnvLevels{"abc", nullptr, nullptr, 1, 4, 4},
                    EnvLevels{"0", nullptr, nullptr, 1, 4, 4},
                    EnvLevels{"6", nullptr, nullptr, 4, 4, 4},  // alone it never raises
                    EnvLevels{"6", "6", "6", 6, 6, 6},
                    EnvLevels{" +2x", nullptr, nullptr, 2, 4, 4},
                    EnvLevels{nullptr, "1", nullptr, 1, 1, 4},
                    EnvLevels{"99999999999", "-5", "3", 1, 1, 3}),
    velm_test::row_number);

TEST_F(LogTest, SetLogLevelBeforeFirstMessageKeepsTheEnvironmentUnread) {
    velm_test::set_env("VELM_LOG_LEVEL", "6");
    velm_test::set_env("VELM_LOG_TIMESTAMP", "yes");
    VELM_SetLogLevel(2);
    VELM_WARNING("w\n");
    EXPECT_EQ(VELM_GetLogLevel(), 2);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 2);
    EXPECT_EQ(VELM_GetLogLevelSyslog(), -3);
    EXPECT_EQ(session_lines(), std::vector<std::string>{"w"});  // no timestamp either
}

TEST_F(LogTest, StdOutLevelSetBeforeFirstMessageIsReplacedByInitialisation) {
    VELM_SetLogLevelStdOut(1);
    EXPECT_EQ(VELM_GetLogLevel(), -3);
    VELM_DEBUG("d\n");
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 4);
    EXPECT_EQ(VELM_GetLogLevel(), 4);
}

struct TimestampEnv {
    const char* value;
    bool stamped;
};

class TimestampFromEnvironment : public LogTest, public testing::WithParamInterface<TimestampEnv> {};

TEST_P(TimestampFromEnvironment, OnlyYesLikeValuesSwitchItOn) {
    velm_test::set_env("VELM_LOG_TIMESTAMP", GetParam().value);
    VELM_PRINTLOG("p\n");
    std::vector<std::string> lines = session_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(has_timestamp_at(lines[0]), GetParam().stamped);
}

INSTANTIATE_TEST_SUITE_P(Env, TimestampFromEnvironment,
                         testing::Values(TimestampEnv{"yes", true}, TimestampEnv{"Y", true},
                                         TimestampEnv{"1", true}, TimestampEnv{"no", false},
                                         TimestampEnv{"0", false}, TimestampEnv{"true", false}),
                         velm_test::row_number);

TEST_F(LogTest, EntryPointsCarryTheirLevelAndTimestamp) {
    VELM_SetLogLevel(1);
    StdoutCapture out;
    VELM_TRACE("t\n");
    VELM_DEBUG("d\n");
    VELM_WARNING("w\n");
    VELM_ERROR("e\n");
    VELM_CRERROR("c\n");
    VELM_PRINTLOG("p\n");
    VELM_LOG(4, 0, "l4\n");
    VELM_LOG(9, 1, "l9\n");
    VELM_LOG(0, 1, "l0\n");
    std::string printed = out.finish();
    std::vector<std::string> lines = session_lines();
    std::vector<std::string> expected = {"t", "d", "w", "*e", "*c", "p", "l4", "*l9"};
    ASSERT_EQ(lines.size(), expected.size());
    std::string expectedOut;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool stamped = expected[i][0] == '*';
        EXPECT_EQ(has_timestamp_at(lines[i]), stamped) << lines[i];
        EXPECT_EQ(without_timestamp(lines[i]), expected[i].substr(stamped ? 1 : 0));
        expectedOut += without_timestamp(lines[i]) + "\n";
    }
    // Standard output shows the same lines (level 1 admits them all).
    std::string shown;
    std::size_t start = 0;
    for (std::size_t end; (end = printed.find('\n', start)) != std::string::npos; start = end + 1)
        shown += without_timestamp(printed.substr(start, end - start)) + "\n";
    EXPECT_EQ(shown, expectedOut);
}

TEST_F(LogTest, TimestampFlagStampsEveryLineAndHeader) {
    VELM_SetLogTimestamp(2);
    VELM_PRINTLOG("p\n");
    std::vector<std::string> lines = read_lines(VELM_GetLogFilePath());
    ASSERT_EQ(lines.size(), 7u);
    // The first header message holds two line ends: its second line is bare.
    EXPECT_EQ(lines[1], "");
    for (std::size_t i : {0, 2, 3, 4, 5, 6}) EXPECT_TRUE(has_timestamp_at(lines[i])) << lines[i];
    // The empty header lines become a bare prefix.
    EXPECT_EQ(lines[3].size(), 26u);
}

TEST_F(LogTest, IndentationStandsBeforeTheTimestampInBothOutputs) {
    VELM_DecTraceSpaces();  // stays at 0
    VELM_IncTraceSpaces();
    VELM_IncTraceSpaces();
    VELM_IncTraceSpaces();
    StdoutCapture out;
    VELM_ERROR("deep\n");
    std::string printed = out.finish();
    std::vector<std::string> lines = read_lines(VELM_GetLogFilePath());
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].substr(0, 12), "        ### ");  // the header is indented too
    EXPECT_EQ(lines[6].substr(0, 6), "      ");
    EXPECT_TRUE(has_timestamp_at(lines[6], 6));
    EXPECT_EQ(printed.substr(0, 6), "      ");
    EXPECT_TRUE(has_timestamp_at(printed, 6));
    EXPECT_EQ(without_timestamp(printed), "      deep\n");
}

TEST_F(LogTest, DecrementAtZeroStaysAtZero) {
    VELM_SetLogLevel(1);
    VELM_DecTraceSpaces();
    VELM_IncTraceSpaces();
    VELM_PRINTLOG("one\n");
    EXPECT_EQ(session_lines(), std::vector<std::string>{"  one"});
}

TEST_F(LogTest, MessageIsCutAtItsCapacity) {
    std::string big(2000, 'x');
    std::string longFormat(900, 'f');
    longFormat += "%s";
    VELM_PRINTLOG("%s\n", big.c_str());             // format of 3: capacity 1056
    VELM_PRINTLOG(longFormat.c_str(), big.c_str());  // format of 902: capacity 1158
    std::string file = velm_test::read_file(VELM_GetLogFilePath());
    std::string expected = std::string(1056, 'x') + longFormat.substr(0, 900) + std::string(258, 'x');
    ASSERT_GE(file.size(), expected.size());
    EXPECT_EQ(file.substr(file.size() - expected.size()), expected);
}

TEST_F(LogTest, FailedOpeningFallsBackToStandardOutput) {
    std::string missing = dir.file("missing");
    velm_test::set_env("VE_TMP_DIR", missing.c_str());
    StdoutCapture out;
    VELM_ERROR("first\n");
    VELM_TRACE("trace\n");
    VELM_PRINT_VERINFO("version\n");  // level 7 stays off standard output
    std::string printed = out.finish();
    std::string path = missing + (missing.find('\\') != std::string::npos ? "\\" : "/") +
                       "veserver_VELM_" + std::to_string(pid()) + ".log";
    ASSERT_NE(VELM_GetLogFilePath(), nullptr);
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), path);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 1);
    EXPECT_FALSE(velm_test::file_exists(path));

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = printed.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(printed.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u) << printed;
    EXPECT_TRUE(has_timestamp_at(lines[0]));
    EXPECT_EQ(without_timestamp(lines[0]), "Can't open " + kHeaderProduct + "-Session-LogFile " + path);
    EXPECT_EQ(without_timestamp(lines[1]), "first");
    EXPECT_EQ(lines[2], "trace");
}

TEST_F(LogTest, WithoutDirectoryVariablesThePlatformTempIsUsed) {
    velm_test::unset_env("VE_TMP_DIR");
#if defined(_WIN32)
    velm_test::set_env("SystemRoot", dir.path().c_str());
    std::string expected = dir.file("temp") + "\\veserver_VELM_" + std::to_string(pid()) + ".log";
    std::filesystem::create_directory(dir.file("temp"));
#else
    velm_test::set_env("TMPDIR", dir.path().c_str());
    std::string expected = expected_log("veserver_VELM_");
#endif
    VELM_ERROR("x\n");
    ASSERT_NE(VELM_GetLogFilePath(), nullptr);
    EXPECT_EQ(std::string(VELM_GetLogFilePath()), expected);
    EXPECT_TRUE(velm_test::file_exists(expected));
}

TEST_F(LogTest, OverlongLogPathIsNeverOpened) {
    std::string longDir = dir.path() + std::string(1100, 'd');
    velm_test::set_env("VE_TMP_DIR", longDir.c_str());
    StdoutCapture out;
    VELM_ERROR("x\n");
    std::string printed = out.finish();
    ASSERT_NE(VELM_GetLogFilePath(), nullptr);
    EXPECT_EQ(std::string(VELM_GetLogFilePath()).size(), 1024u);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 1);
    EXPECT_NE(printed.find("Can't open"), std::string::npos);
}

TEST_F(LogTest, VersionStdOutVariablePrintsTheHeader) {
    velm_test::set_env("VELM_VERSION_STDOUT", "no");
    velm_test::set_env("VELM_VERSION", "x");
    StdoutCapture out;
    VELM_PRINTLOG("p\n");
    std::string printed = out.finish();
    EXPECT_EQ(printed.substr(0, 6), "  ### ");
    EXPECT_EQ(printed.substr(printed.size() - 3), "\np\n");
}

TEST_F(LogTest, VersionInfoGoesToStandardOutputOnlyWithFlagExactlyOne) {
    VELM_SetPrintVerInfoStdOut(2);
    StdoutCapture out;
    VELM_PRINT_VERINFO("v2\n");
    VELM_SetPrintVerInfoStdOut(1);
    VELM_PRINT_VERINFO("v1\n");
    EXPECT_EQ(out.finish(), "v1\n");
    EXPECT_EQ(session_lines(), (std::vector<std::string>{"v2", "v1"}));
}

TEST_F(LogTest, PrintAndLogPrintsDirectlyAboveStdOutLevelOne) {
    VELM_IncTraceSpaces();
    StdoutCapture out;
    VELM_PRINT_AND_LOG("plain %d\n", 7);
    EXPECT_EQ(out.finish(), "plain 7\n");
    EXPECT_EQ(VELM_GetLogLevel(), -3);  // the log was not even initialised
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);
}

TEST_F(LogTest, PrintAndLogGoesThroughTheWriterAtStdOutLevelOne) {
    VELM_SetLogLevel(1);
    VELM_IncTraceSpaces();
    StdoutCapture out;
    VELM_PRINT_AND_LOG("both %d\n", 8);
    EXPECT_EQ(out.finish(), "  both 8\n");
    EXPECT_EQ(session_lines(), std::vector<std::string>{"  both 8"});
}

#if !defined(_WIN32)
#include <unistd.h>

TEST_F(LogTest, SymbolicLinkAtTheLogPathIsRefused) {
    std::string victim = dir.write("victim", "keep me");
    std::string path = expected_log("veserver_VELM_");
    ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
    StdoutCapture out;
    VELM_ERROR("x\n");
    std::string printed = out.finish();
    EXPECT_EQ(velm_test::read_file(victim), "keep me");
    EXPECT_NE(printed.find("Can't open"), std::string::npos);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 1);
}
#endif
