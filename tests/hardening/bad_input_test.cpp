// Input the library cannot use: null formats and names, binary bytes, paths
// that are too long or empty, a directory or an unreadable file where a file
// is expected, and a session log file that cannot be created. Each case runs
// in a process of its own, since the log opens its file once per process.
#include <filesystem>

#include "config/config_fixture.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace velm_test;
using Lines = std::vector<std::string>;

TEST_F(LogTest, NullFormatsAndNamesWriteNothingAndBinaryBytesPassUnchanged) {
    const char* none = nullptr;
    VELM_SetLogLevel(1);
    StdoutCapture out;
    VELM_TRACE(none), VELM_DEBUG(none), VELM_WARNING(none), VELM_ERROR(none), VELM_CRERROR(none);
    VELM_PRINTLOG(none), VELM_PRINT_AND_LOG(none), VELM_PRINT_VERINFO(none), VELM_LOG(9, 1, none);
    VELM_SetApplName(none), VELM_SetCustName(none), VELM_SetProdName(none);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // nothing was logged, so no file either
    const std::string binary = "\x01\x7f\x80\xff\t\r|";
    VELM_PRINTLOG("%s", "");
    VELM_PRINTLOG("%s\n", binary.c_str());
    EXPECT_EQ(out.finish(), binary + "\n");
    EXPECT_EQ(VELM_GetLogFilePath(), expected_log("veserver_"));  // names reset without configuration
    EXPECT_EQ(session_lines(), Lines{binary});
}

class LogFileCannotBeCreated : public LogTest, public testing::WithParamInterface<int> {};

// A file where the log directory should be, a directory where the log file
// should be, and a log directory the process may not write to.
TEST_P(LogFileCannotBeCreated, ReportsOnStandardOutputAndTouchesNothing) {
    std::string plain = dir.write("plain", "x"), path = expected_log("veserver_VELM_");
    if (GetParam() == 0) set_env("VE_TMP_DIR", plain.c_str());
    if (GetParam() == 1) fs::create_directory(path);
    if (GetParam() == 2 && !can_drop_privileges()) GTEST_SKIP() << "Wine has no unprivileged user to drop to";
    auto attempt = [&] {
        StdoutCapture out;
        VELM_ERROR("message\n");
        Lines lines = split_lines(out.finish());
        for (std::string& line : lines) line = without_timestamp(line);
        std::string tried = VELM_GetLogFilePath() ? VELM_GetLogFilePath() : "";
        bool reported = lines == Lines{"Can't open VE Quillan-Mor Kest-Session-LogFile " + tried, "message"};
        return reported && VELM_GetLogLevelStdOut() == 1 ? 0 : 1;
    };
    EXPECT_EQ(GetParam() == 2 ? run_unprivileged(attempt) : attempt(), 0);
    EXPECT_EQ(read_file(plain), "x");
    EXPECT_EQ(fs::is_directory(path), GetParam() == 1);
    EXPECT_EQ(fs::is_regular_file(path), false);
}

INSTANTIATE_TEST_SUITE_P(Cases, LogFileCannotBeCreated, testing::Values(0, 1, 2), row_number);

TEST_F(LogTest, TheReportOfAnOverlongPathIsCut) {
    const std::string longPath = dir.path() + "/" + std::string(5000, 'p');
    EXPECT_EQ(VELM_CheckFileRead(longPath.c_str()), 919301);
    Lines lines = session_lines();
    for (std::string& line : lines) line = without_timestamp(line);
    // The report of the long path is cut at the message capacity, line end included.
    EXPECT_EQ(lines, (Lines{"  " + ("ERROR: File " + longPath).substr(0, 1056)}));
}
