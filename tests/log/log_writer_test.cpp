// The writer: initialisation from the environment, the session log file and
// its header, line format, capacity, the failed opening.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "velm_basetool_version.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <unistd.h>
#endif

using velm_test::has_timestamp_at;
using velm_test::read_lines;
using velm_test::session_lines;
using velm_test::split_lines;
using velm_test::StdoutCapture;
using velm_test::without_timestamp;
using Lines = std::vector<std::string>;
#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

TEST_F(LogTest, FirstErrorAppendsHeaderAndErrorAndEchoesOnlyTheError) {
    // A file left by an earlier process with the same id keeps its lines.
    std::string path = dir.write("veserver_VELM_" + std::to_string(pid()) + ".log", "old\n");
    StdoutCapture out;
    VELM_ERROR("disk %s full\n", "C:");
    std::string printed = out.finish();

    ASSERT_NE(VELM_GetLogFilePath(), nullptr);
    EXPECT_EQ(VELM_GetLogFilePath(), path);
    // Every line of ours ends in the platform's line end, the header's too.
    std::string ours = velm_test::read_file(path).substr(4);  // after the earlier "old\n"
    EXPECT_EQ(std::count(ours.begin(), ours.end(), '\n'), 7);
    EXPECT_EQ(std::count(ours.begin(), ours.end(), '\r'), kWindows ? 7 : 0);
    Lines lines = read_lines(path);
    ASSERT_EQ(lines.size(), 8u);
    const std::string tool = "  VELM Base-Tool                     (" VELM_BASETOOL_VERSION_TEXT ")  ";
    lines[5] = lines[5].substr(0, tool.size()) + "+" + std::to_string(lines[5].size() - tool.size());
    lines[7] = without_timestamp(lines[7]) + (has_timestamp_at(lines[7]) ? "" : " unstamped");
    EXPECT_EQ(lines, (Lines{"old", "  ### VE Quillan-Mor Kest Log-File ###", "",
                            "  VE Quillan-Mor Kest Session-LogFile " + path, "",
                            tool + "+20", "", "disk C: full"}));  // "Mar  2 2016 11:42:53"
    std::time_t now = std::time(nullptr);
    char today[32];
    std::strftime(today, sizeof today, "%Y/%m/%d-%H", std::gmtime(&now));  // UTC
    EXPECT_EQ(printed.substr(0, 13), today);
    EXPECT_EQ(without_timestamp(printed), "disk C: full\n");
}

struct EnvLevels {
    const char* level;   // VELM_LOG_LEVEL, VELM_LOG_LEVEL_STDOUT, VELM_LOG_LEVEL_SYSLOG
    const char* stdOut;  // (null: unset)
    const char* syslog;
    const char* stamp;   // VELM_LOG_TIMESTAMP, and whether it switches timestamps on
    int stamped;
    int file, out, sys;  // the levels after the first message
};

class LevelsFromEnvironment : public LogTest, public testing::WithParamInterface<EnvLevels> {};

TEST_P(LevelsFromEnvironment, FileLevelIsTheLeastOfTheThreeAndYesStampsLines) {
    const EnvLevels& row = GetParam();
    const char* names[] = {"VELM_LOG_LEVEL", "VELM_LOG_LEVEL_STDOUT", "VELM_LOG_LEVEL_SYSLOG", "VELM_LOG_TIMESTAMP"};
    const char* values[] = {row.level, row.stdOut, row.syslog, row.stamp};
    for (int i = 0; i < 4; ++i) if (values[i]) velm_test::set_env(names[i], values[i]);
    EXPECT_EQ((std::vector<int>{VELM_GetLogLevel(), VELM_GetLogLevelStdOut(), VELM_GetLogLevelSyslog()}),
              (std::vector<int>{-3, 4, -3}));
    StdoutCapture out;
    VELM_LOG(0, 0, "never shown\n");  // initialises the log but creates no file
    EXPECT_EQ(out.finish(), "");
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);
    EXPECT_FALSE(velm_test::file_exists(expected_log("veserver_VELM_")));
    EXPECT_EQ((std::vector<int>{VELM_GetLogLevel(), VELM_GetLogLevelStdOut(), VELM_GetLogLevelSyslog()}),
              (std::vector<int>{row.file, row.out, row.sys}));
    VELM_PRINTLOG("p\n");
    ASSERT_EQ(session_lines().size(), 1u);
    EXPECT_EQ(has_timestamp_at(session_lines()[0]), row.stamped != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Env, LevelsFromEnvironment,
    testing::Values(EnvLevels{"abc", nullptr, nullptr, "yes", 1, 1, 4, 4},
                    EnvLevels{"6", nullptr, nullptr, "no", 0, 4, 4, 4},  // alone it never raises
                    EnvLevels{"6", "6", "6", "Y", 1, 6, 6, 6},
                    EnvLevels{" +2x", nullptr, nullptr, "0", 0, 2, 4, 4},
                    EnvLevels{nullptr, "1", nullptr, "1", 1, 1, 1, 4},
                    EnvLevels{"99999999999", "-5", "3", "true", 0, 1, 1, 3}),
    velm_test::row_number);

TEST_F(LogTest, LevelSetBeforeFirstMessageKeepsTheEnvironmentUnread) {
    velm_test::set_env("VELM_LOG_LEVEL", "6");
    velm_test::set_env("VELM_LOG_TIMESTAMP", "yes");
    VELM_SetLogLevelStdOut(1);  // replaced by the initialisation ...
    VELM_SetLogLevel(2);        // ... which this one prevents
    VELM_WARNING("w\n");
    EXPECT_EQ(VELM_GetLogLevel(), 2);
    EXPECT_EQ(VELM_GetLogLevelStdOut(), 2);
    EXPECT_EQ(VELM_GetLogLevelSyslog(), -3);
    EXPECT_EQ(session_lines(), Lines{"w"});  // no timestamp either
}

TEST_F(LogTest, EntryPointsCarryTheirLevelAndTimestampAndNullFormatsWriteNothing) {
    VELM_SetLogLevel(1);
    const char* none = nullptr;
    StdoutCapture out;
    VELM_TRACE(none), VELM_DEBUG(none), VELM_WARNING(none), VELM_ERROR(none), VELM_CRERROR(none);
    VELM_PRINTLOG(none), VELM_PRINT_AND_LOG(none), VELM_PRINT_VERINFO(none), VELM_LOG(9, 1, none);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // nothing was logged, so no file either
    VELM_TRACE("t\n"), VELM_DEBUG("d\n"), VELM_WARNING("w\n"), VELM_ERROR("e\n"), VELM_CRERROR("c\n");
    VELM_PRINTLOG("p\n"), VELM_LOG(4, 0, "l4\n"), VELM_LOG(9, 1, "l9\n");
    VELM_LOG(0, 1, "l0\n");  // below every level
    VELM_PRINTLOG("%s", "");  // an empty text adds nothing
    VELM_PRINTLOG("%s\n", "\x01\x7f\x80\xff\t\r|");  // binary bytes pass unchanged
    Lines printed = split_lines(out.finish()), lines = session_lines();
    const Lines expected = {"t", "d", "w", "*e", "*c", "p", "l4", "*l9", "\x01\x7f\x80\xff\t\r|"};  // *: timestamped
    ASSERT_EQ(lines.size(), expected.size());
    ASSERT_EQ(printed.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool stamped = expected[i][0] == '*';
        EXPECT_EQ(has_timestamp_at(lines[i]), stamped) << lines[i];
        EXPECT_EQ(without_timestamp(lines[i]), expected[i].substr(stamped ? 1 : 0));
        EXPECT_EQ(without_timestamp(printed[i]), without_timestamp(lines[i]));
    }
}

TEST_F(LogTest, TimestampFlagAndIndentationReachEveryLineAndTheHeader) {
    VELM_DecTraceSpaces();  // stays at 0, so three increments give depth 3
    for (int i = 0; i < 3; ++i) VELM_IncTraceSpaces();
    VELM_SetLogTimestamp(2);
    StdoutCapture out;
    VELM_PRINTLOG("deep\n");
    std::string printed = out.finish();
    Lines lines = read_lines(VELM_GetLogFilePath());
    ASSERT_EQ(lines.size(), 7u);
    // The first header message holds two line ends: its second line is bare.
    EXPECT_EQ(lines[1], "");
    for (std::size_t i : {0, 2, 3, 4, 5, 6}) EXPECT_TRUE(has_timestamp_at(lines[i], 6)) << lines[i];
    EXPECT_EQ(lines[3].size(), 32u);  // an empty header line becomes a bare prefix
    EXPECT_EQ(without_timestamp(lines[0]).substr(0, 12), "        ### ");
    EXPECT_EQ((Lines{without_timestamp(lines[6]), without_timestamp(printed)}), (Lines{"      deep", "      deep\n"}));
}

TEST_F(LogTest, MessageIsCutAtItsCapacity) {
    std::string big(2000, 'x');
    std::string longFormat = std::string(900, 'f') + "%s";
    VELM_PRINTLOG("%s\n", big.c_str());             // format of 3: capacity 1056
    VELM_PRINTLOG(longFormat.c_str(), big.c_str());  // format of 902: capacity 1158
    std::string file = velm_test::read_file(VELM_GetLogFilePath());
    std::string expected = std::string(1056, 'x') + std::string(900, 'f') + std::string(258, 'x');
    ASSERT_GE(file.size(), expected.size());
    EXPECT_EQ(file.substr(file.size() - expected.size()), expected);
}

// What stands at (or instead of) the session log file's path. plant returns
// the log directory to use and may name the file that must keep its bytes.
struct Hostile {
    std::string name;
    std::string (*plant)(const velm_test::ScratchDir& dir, const std::string& log, std::string& kept);
    bool posixOnly = false, unprivileged = false;
};
void PrintTo(const Hostile& row, std::ostream* out) { *out << row.name; }

class UnopenableSessionFile : public LogTest, public testing::WithParamInterface<Hostile> {};

TEST_P(UnopenableSessionFile, FallsBackToStandardOutputAndKeepsWhatIsThere) {
    if (GetParam().posixOnly && kWindows) GTEST_SKIP() << "no such file or user under Wine";
    const std::string victim = dir.write("victim", "keep me");
    auto attempt = [&] {  // in a child of its own, whose pid names the file
        std::string kept = victim;
        std::string directory = GetParam().plant(dir, expected_log("veserver_VELM_"), kept);
        velm_test::set_env("VE_TMP_DIR", directory.c_str());
        StdoutCapture out;
        VELM_ERROR("first\n");
        VELM_TRACE("trace\n");
        VELM_PRINT_VERINFO("version\n");  // level 7 stays off standard output
        std::string printed = out.finish(), plain;
        for (std::size_t i = 0; i < printed.size();) {
            if (has_timestamp_at(printed, i)) i += 26;
            else plain += printed[i++];
        }
        std::string path = (std::filesystem::path(directory) /
                            ("veserver_VELM_" + std::to_string(pid()) + ".log")).string().substr(0, 1024);
        // The report is timestamped and, like any message, cut at its capacity.
        std::string report = ("Can't open VE Quillan-Mor Kest-Session-LogFile " + path + "\n").substr(0, 1056);
        std::size_t reason = report.size() + std::string("Reason: ").size();
        return (VELM_GetLogFilePath() && VELM_GetLogFilePath() == path ? 0 : 1) |
               (VELM_GetLogLevelStdOut() == 1 ? 0 : 2) | (has_timestamp_at(printed) ? 0 : 4) |
               (plain.substr(0, reason) == report + "Reason: " ? 0 : 8) |
               (plain.find('\n', reason) == plain.size() - 13 ? 0 : 16) |
               (plain.substr(plain.size() - 12) == "first\ntrace\n" ? 0 : 32) |
               (velm_test::read_file(kept) == "keep me" ? 0 : 64);
    };
    EXPECT_EQ(kWindows ? attempt() : velm_test::run_in_child(attempt, GetParam().unprivileged), 0);
}

namespace fs = std::filesystem;

const Hostile kHostile[] = {
    {"MissingDirectory", [](auto& dir, auto&, auto&) { return dir.file("missing"); }},
    {"PathTooLong", [](auto& dir, auto&, auto&) { return dir.path() + std::string(1100, 'd'); }},
    {"FileAsDirectory", [](auto&, auto&, auto& kept) { return kept; }},
    {"DirectoryAtPath", [](auto& dir, auto& log, auto&) { return fs::create_directory(log), dir.path(); }},
    {"UnwritableDirectory", [](auto& dir, auto&, auto&) { return dir.path(); }, true, true},
    {"SymbolicLink", [](auto& dir, auto& log, auto& kept) {
         return fs::create_symlink(kept, log), dir.path(); }, true},
    {"HardLink", [](auto& dir, auto& log, auto& kept) {
         return fs::create_hard_link(kept, log), dir.path(); }, true},
#if !defined(_WIN32)
    {"Fifo", [](auto& dir, auto& log, auto&) { return mkfifo(log.c_str(), 0600), dir.path(); }, true},
    {"OtherUsersFile", [](auto& dir, auto& log, auto& kept) {
         kept = dir.write(fs::path(log).filename().string(), "keep me");
         return chown(log.c_str(), getpwnam("nobody")->pw_uid, 0), dir.path(); }, true},
#endif
};

INSTANTIATE_TEST_SUITE_P(Cases, UnopenableSessionFile, testing::ValuesIn(kHostile),
                         [](const auto& info) { return info.param.name; });

TEST_F(LogTest, WithoutDirectoryVariablesThePlatformTempIsUsed) {
    velm_test::unset_env("VE_TMP_DIR");
#if defined(_WIN32)
    velm_test::set_env("SystemRoot", dir.path().c_str());
    std::filesystem::create_directory(dir.file("temp"));
    std::string expected = dir.file("temp") + "\\veserver_VELM_" + std::to_string(pid()) + ".log";
#else
    velm_test::set_env("TMPDIR", dir.path().c_str());
    std::string expected = expected_log("veserver_VELM_");
#endif
    VELM_ERROR("x\n");
    ASSERT_NE(VELM_GetLogFilePath(), nullptr);
    EXPECT_EQ(VELM_GetLogFilePath(), expected);
    EXPECT_TRUE(velm_test::file_exists(expected));
}

TEST_F(LogTest, VersionInfoReachesStandardOutputOnlyWithTheFlagAtOne) {
    velm_test::set_env("VELM_VERSION_STDOUT", "no");  // set at all: the header is shown
    StdoutCapture out;
    VELM_PRINTLOG("p\n");
    VELM_SetPrintVerInfoStdOut(2);
    VELM_PRINT_VERINFO("v2\n");
    VELM_SetPrintVerInfoStdOut(1);
    VELM_PRINT_VERINFO("v1\n");
    Lines printed = split_lines(out.finish());
    ASSERT_EQ(printed.size(), 8u);
    EXPECT_EQ(printed[0], "  ### VE Quillan-Mor Kest Log-File ###");
    EXPECT_EQ(Lines(printed.begin() + 6, printed.end()), (Lines{"p", "v1"}));
    EXPECT_EQ(session_lines(), (Lines{"p", "v2", "v1"}));
}

TEST_F(LogTest, PrintAndLogPrintsDirectlyAboveStdOutLevelOneElseThroughTheWriter) {
    VELM_IncTraceSpaces();
    StdoutCapture out;
    VELM_PRINT_AND_LOG("plain %d\n", 7);
    EXPECT_EQ(VELM_GetLogLevel(), -3);  // the log was not even initialised
    VELM_SetLogLevel(1);
    VELM_PRINT_AND_LOG("both %d\n", 8);
    EXPECT_EQ(out.finish(), "plain 7\n  both 8\n");
    EXPECT_EQ(session_lines(), Lines{"  both 8"});
}

#if !defined(_WIN32)
TEST_F(LogTest, LinesTheFileRefusesAreCountedWhenWritingWorksAgain) {
    EXPECT_EQ(velm_test::run_in_child([] {
        VELM_SetLogLevel(6);
        VELM_SetLogLevelStdOut(7);  // the file only
        VELM_PRINTLOG("start\n");
        struct stat st;
        if (stat(VELM_GetLogFilePath(), &st) != 0) return 2;
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {static_cast<rlim_t>(st.st_size) + 40, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);  // room for a line and a part of the next
        for (int i = 1; i <= 5; ++i) VELM_PRINTLOG("line %d of the full disk\n", i);
        limit.rlim_cur = RLIM_INFINITY;
        setrlimit(RLIMIT_FSIZE, &limit);
        VELM_PRINTLOG("after\n");
        return session_lines() == Lines{"start", "line 1 of the full disk", "line 2 of the fu",
                                        "*** 4 log lines lost: the session log file could not be "
                                        "written ***", "after"} ? 0 : 1;
    }), 0);
}

TEST_F(LogTest, EchoedLineIsOutBeforeTheHostExits) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_EQ(velm_test::run_in_child([&] {
        dup2(pipeEnds[1], 1);
        VELM_ERROR("piped\n");
        _exit(0);
        return 1;
    }), 0);
    close(pipeEnds[1]);
    char received[256] = "";
    EXPECT_GT(read(pipeEnds[0], received, sizeof received - 1), 0);
    EXPECT_EQ(without_timestamp(received), "piped\n");
}

TEST_F(LogTest, FileOpenedWithStandardOutputClosedIsPrivateAndGetsNoEcho) {
    EXPECT_EQ(velm_test::run_in_child([] {
        umask(0);
        close(1);
        VELM_ERROR("once\n");
        std::fflush(stdout);
        struct stat st;
        Lines lines = session_lines();
        for (std::string& line : lines) line = without_timestamp(line);
        return (stat(VELM_GetLogFilePath(), &st) == 0 && (st.st_mode & 0777) == 0600 ? 0 : 1) |
               (lines == Lines{"once"} ? 0 : 2);
    }), 0);
}
#endif

TEST_F(LogTest, TheReportOfAnOverlongPathIsCut) {
    const std::string longPath = dir.path() + "/" + std::string(5000, 'p');
    EXPECT_EQ(VELM_CheckFileRead(longPath.c_str()), 919301);
    Lines lines = session_lines();
    for (std::string& line : lines) line = without_timestamp(line);
    // The report of the long path is cut at the message capacity, line end included.
    EXPECT_EQ(lines, (Lines{"  " + ("ERROR: File " + longPath).substr(0, 1056)}));
}
