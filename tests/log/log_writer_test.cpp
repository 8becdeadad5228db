// The writer: levels, names, the session file and its header, line format, capacity, failed opening.
#include <ctime>
#include <filesystem>

#include "support/log_fixture.h"
#include "velm_basetool_version.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#endif

using namespace velm_test;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;
constexpr bool kWindows = fs::path::preferred_separator == '\\';

// Sets the level and timestamp variables given (null: left unset).
void set_levels(const char* level, const char* stdOut, const char* syslog, const char* stamp) {
    const char* names[] = {"VELM_LOG_LEVEL", "VELM_LOG_LEVEL_STDOUT", "VELM_LOG_LEVEL_SYSLOG", "VELM_LOG_TIMESTAMP"};
    const char* values[] = {level, stdOut, syslog, stamp};
    for (int i = 0; i < 4; ++i)
        if (values[i]) set_env(names[i], values[i]);
}

// Without VE_TMP_DIR the file goes to the platform's temporary folder.
void use_platform_temp() {
    const std::string scratch = std::getenv("VE_TMP_DIR");
    unset_env("VE_TMP_DIR");
    set_env(kWindows ? "SystemRoot" : "TMPDIR", scratch.c_str());
    fs::create_directory(fs::path(scratch) / "temp");  // Windows' temporary folder under SystemRoot
}

// What a host sets before the first message, and what the log takes from it.
struct FirstUse {
    void (*setUp)();
    Lines levels;                    // file, standard output, syslog
    bool stamped;                    // whether timestamps are on
    std::string nameParts, product;  // the file name before the pid; the header's product
};

class SessionFileNames : public LogTest, public testing::WithParamInterface<FirstUse> {};

// Levels and flags come from the environment unless a level was set; the file
// level is the least of the three levels; names are taken when the file opens.
TEST_P(SessionFileNames, AreTakenWhenTheFileOpens) {
    GetParam().setUp();
    VELM_LOG(0, 0, "never shown\n");  // initialises the log but creates no file
    EXPECT_FALSE(fs::exists(expected_log(GetParam().nameParts)));
    EXPECT_EQ((Lines{std::to_string(VELM_GetLogLevel()), std::to_string(VELM_GetLogLevelStdOut()),
                     std::to_string(VELM_GetLogLevelSyslog())}),
              GetParam().levels);
    VELM_PRINTLOG("p\n"), VELM_SetApplName("late"), VELM_PRINTLOG("q\n");  // a name too late: the file is open
    EXPECT_EQ(VELM_GetLogFilePath(), expected_log(GetParam().nameParts));
    std::time_t now = std::time(nullptr);
    char today[32];
    std::strftime(today, sizeof today, "%Y/%m/%d-%H", std::gmtime(&now));  // UTC
    const std::string mark = GetParam().stamped ? today : "";
    Lines lines = read_lines(VELM_GetLogFilePath()), seen;
    for (std::size_t i : {0, 6, 7})
        seen.push_back((has_timestamp_at(lines.at(i)) ? lines[i].substr(0, 13) : "") + without_timestamp(lines[i]));
    EXPECT_EQ(seen, (Lines{mark + "  ### " + GetParam().product + " Log-File ###", mark + "p", mark + "q"}));
}

const std::string kLong(300, 'n'), kProduct = "VE Quillan-Mor Kest";

INSTANTIATE_TEST_SUITE_P(
    Names, SessionFileNames,
    testing::Values(
        FirstUse{[] { set_levels("abc", nullptr, nullptr, "yes"); }, {"1", "4", "4"}, true, "veserver_VELM_", kProduct},
        FirstUse{[] { set_levels("6", "6", "6", "Y"), set_env("VELM_CONFIG", "cfg"), VELM_SetApplName("mytool"); },
                 {"6", "6", "6"},
                 true,
                 "mytool_VELM_",
                 kProduct},
        FirstUse{[] { set_levels(" +2x", nullptr, nullptr, "0"), VELM_SetApplName("mytool"); },
                 {"2", "4", "4"},
                 false,
                 "mytool_",
                 ""},
        FirstUse{[] {
                     set_levels(nullptr, "1", nullptr, "1"), VELM_SetApplName("mytool"), VELM_SetCustName("site"),
                         VELM_SetProdName("site");
                 },
                 {"1", "1", "4"},
                 true,
                 "mytool_site_",
                 "site"},
        FirstUse{[] { set_levels("99999999999", "-5", "3", "true"), VELM_SetProdName(nullptr); },
                 {"1", "1", "3"},
                 false,
                 "veserver_VELM_",
                 ""},
        FirstUse{[] { set_levels("6", nullptr, nullptr, "no"), VELM_SetApplName(nullptr); },  // alone it never raises
                 {"4", "4", "4"},
                 false,
                 "veserver_",
                 ""},
        FirstUse{
            [] { VELM_SetApplName(kLong.c_str()), VELM_SetCustName(kLong.c_str()), VELM_SetProdName(kLong.c_str()); },
            {"4", "4", "4"},
            false,
            std::string(110, 'n') + "_" + std::string(110, 'n') + "_",
            std::string(111, 'n')},
        FirstUse{
            use_platform_temp, {"4", "4", "4"}, false, kWindows ? "temp\\veserver_VELM_" : "veserver_VELM_", kProduct},
        // A level set before the first message keeps the environment unread.
        FirstUse{[] { set_levels("6", nullptr, nullptr, "yes"), VELM_SetLogLevel(0); },
                 {"1", "1", "-3"},
                 false,
                 "veserver_VELM_",
                 kProduct},
        FirstUse{
            [] { VELM_SetLogLevel(5), VELM_SetLogLevelSyslog(2); }, {"2", "5", "2"}, false, "veserver_VELM_", kProduct},
        FirstUse{[] { VELM_SetLogLevel(4), VELM_SetLogLevelStdOut(6); },
                 {"4", "6", "-3"},
                 false,
                 "veserver_VELM_",
                 kProduct},
        FirstUse{[] { VELM_SetLogLevel(4), VELM_SetLogLevelStdOut(-100); },
                 {"1", "1", "-3"},
                 false,
                 "veserver_VELM_",
                 kProduct}),
    row_number);

// The timestamp flag and the indentation reach every line, the header's too.
TEST_F(LogTest, FirstErrorAppendsHeaderAndErrorAndEchoesOnlyTheError) {
    std::string path = dir.write(fs::path(expected_log("veserver_VELM_")).filename().string(), "old\n");
    VELM_DecTraceSpaces(), VELM_IncTraceSpaces(), VELM_IncTraceSpaces();  // stays at 0, so depth 2
    VELM_SetLogTimestamp(2);
    StdoutCapture out;
    VELM_ERROR("disk %s full\n", "C:");
    std::string printed = out.finish();
    // The old line stays first; every line of ours ends in the platform's line end.
    std::string ours = read_file(path).substr(4);
    EXPECT_EQ((std::vector<std::ptrdiff_t>{std::count(ours.begin(), ours.end(), '\n'),
                                           std::count(ours.begin(), ours.end(), '\r')}),
              (std::vector<std::ptrdiff_t>{7, kWindows ? 7 : 0}));
    Lines lines;  // * marks a timestamp after the indentation
    for (const std::string& line : read_lines(path))
        lines.push_back((has_timestamp_at(line, 4) ? "*" : "") + without_timestamp(line));
    const std::string tool = "*      VELM Base-Tool                     (" VELM_BASETOOL_VERSION_TEXT ")  ";
    lines.at(5) = lines.at(5).substr(0, tool.size()) + "+" + std::to_string(lines.at(5).size() - tool.size());
    // The first header message holds two line ends: its second line is bare.
    EXPECT_EQ(lines, (Lines{"old", "*      ### VE Quillan-Mor Kest Log-File ###", "",
                            "*      VE Quillan-Mor Kest Session-LogFile " + path, "*    ", tool + "+20", "*    ",
                            "*    disk C: full"}));  // "Mar  2 2016 11:42:53"
    EXPECT_TRUE(has_timestamp_at(printed, 4));
    EXPECT_EQ(without_timestamp(printed), "    disk C: full\n");
}

TEST_F(LogTest, EntryPointsCarryTheirLevelAndTimestampAndNullFormatsWriteNothing) {
    set_env("VELM_VERSION_STDOUT", "no");  // set at all: the header is shown
    set_env("VELM_LOG_LEVEL_STDOUT", "1");
    const char* none = nullptr;
    StdoutCapture out;
    VELM_PRINT_AND_LOG("plain %d\n", 7);  // straight to standard output: the log stays uninitialised
    EXPECT_EQ(VELM_GetLogLevel(), -3);
    VELM_TRACE(none), VELM_DEBUG(none), VELM_WARNING(none), VELM_ERROR(none), VELM_CRERROR(none);
    VELM_PRINTLOG(none), VELM_PRINT_AND_LOG(none), VELM_PRINT_VERINFO(none), VELM_LOG(9, 1, none);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // nothing was logged, so no file either
    VELM_TRACE("t\n"), VELM_DEBUG("d\n"), VELM_WARNING("w\n"), VELM_ERROR("e\n"), VELM_CRERROR("c\n");
    VELM_PRINTLOG("p\n"), VELM_PRINT_AND_LOG("pl\n"), VELM_LOG(4, 0, "l4\n"), VELM_LOG(9, 1, "l9\n");
    VELM_LOG(0, 1, "l0\n");                          // below every level
    VELM_PRINTLOG("%s", "");                         // an empty text adds nothing
    VELM_PRINTLOG("%s\n", "\x01\x7f\x80\xff\t\r|");  // binary bytes pass unchanged
    VELM_SetPrintVerInfoStdOut(2), VELM_PRINT_VERINFO("v2\n"), VELM_PRINT_AND_LOG("pl2\n");  // version: echoed when 1
    VELM_SetPrintVerInfoStdOut(1), VELM_PRINT_VERINFO("v1\n");
    // Messages are cut at their capacity, the line end too: the next one runs on.
    const std::string big(2000, 'x'), cut = std::string(1056, 'x') + std::string(900, 'f') + std::string(258, 'x');
    VELM_PRINTLOG("%s\n", big.c_str());                                  // format of 3: capacity 1056
    VELM_PRINTLOG((std::string(900, 'f') + "%s").c_str(), big.c_str());  // format of 902: capacity 1158
    Lines file, echoed;
    for (const std::string& line : session_lines())
        file.push_back((has_timestamp_at(line) ? "*" : "") + without_timestamp(line));
    for (const std::string& line : split_lines(out.finish())) echoed.push_back(without_timestamp(line));
    EXPECT_EQ(file, (Lines{"t", "d", "w", "*e", "*c", "p", "pl", "l4", "*l9", "\x01\x7f\x80\xff\t\r|", "v2", "pl2",
                           "v1", cut}));
    ASSERT_GT(echoed.size(), 7u);
    EXPECT_EQ((Lines{echoed[0], echoed[1]}), (Lines{"plain 7", "  ### VE Quillan-Mor Kest Log-File ###"}));
    EXPECT_EQ(Lines(echoed.begin() + 7, echoed.end()),
              (Lines{"t", "d", "w", "e", "c", "p", "pl", "l4", "l9", "\x01\x7f\x80\xff\t\r|", "pl2", "v1", cut}));
}

// At each level the entry points of that level and above write, those below do not.
TEST_F(LogTest, EachEntryPointWritesFromItsOwnLevelUp) {
    void (*const entries[])(const char*, ...) = {VELM_TRACE,   VELM_DEBUG,    VELM_WARNING,      VELM_ERROR,
                                                 VELM_CRERROR, VELM_PRINTLOG, VELM_PRINT_VERINFO};  // levels 1 to 7
    Lines expected;
    for (int level = 1; level <= 8; ++level)
        for (int entry = 1; entry <= 7; ++entry) {
            VELM_SetLogLevel(level), entries[entry - 1]("%d %d\n", level, entry);
            if (entry >= level) expected.push_back(std::to_string(level) + " " + std::to_string(entry));
        }
    EXPECT_EQ(session_lines(true), expected);
}

// What stands at (or instead of) the log file's path; plant returns the log
// directory and may name another file that must keep its bytes.
struct Hostile {
    std::string name;
    std::string (*plant)(const ScratchDir& dir, const std::string& log, std::string& kept);
    bool posixOnly = false;
    bool unprivileged = false;  // the child drops its rights
    bool givesAway = false;     // a file goes to another user
};

class UnopenableSessionFile : public LogTest, public testing::WithParamInterface<Hostile> {};

TEST_P(UnopenableSessionFile, FallsBackToStandardOutputAndKeepsWhatIsThere) {
    if (GetParam().posixOnly && kWindows) GTEST_SKIP() << "no such file or user under Wine";
    if ((GetParam().unprivileged || GetParam().givesAway) && !can_drop_privileges())
        GTEST_SKIP() << "only root can hand a file to another user or drop its rights";
    const std::string victim = dir.write("victim", "keep me");  // by root: an unprivileged child may not write
    auto attempt = [&] {                                        // in a child of its own, whose pid names the file
        std::string kept = victim;
        std::string directory = GetParam().plant(dir, expected_log("veserver_VELM_"), kept);
        set_env("VE_TMP_DIR", directory.c_str());
        StdoutCapture out;
        VELM_ERROR("first\n");
        VELM_TRACE("trace\n");
        VELM_PRINT_VERINFO("version\n");  // level 7 stays off standard output
        std::string printed = out.finish();
        std::string plain;
        for (std::size_t i = 0; i < printed.size();) {
            if (has_timestamp_at(printed, i))
                i += 26;
            else
                plain += printed[i++];
        }
        std::string path =
            (fs::path(directory) / fs::path(expected_log("veserver_VELM_")).filename()).string().substr(0, 1024);
        // The report is timestamped and, like any message, cut at its capacity.
        std::string report =
            ("Can't open VE Quillan-Mor Kest-Session-LogFile " + path + "\n").substr(0, 1056) + "Reason: ";
        const std::string tail = "first\ntrace\n";
        return failed_checks({
            {"the file path is the refused one", VELM_GetLogFilePath() && VELM_GetLogFilePath() == path},
            {"standard output takes level 1 up", VELM_GetLogLevelStdOut() == 1},
            {"the report is timestamped", has_timestamp_at(printed)},
            {"the report names the file", plain.compare(0, report.size(), report) == 0},
            {"the reason is one line", plain.find('\n', report.size()) + tail.size() + 1 == plain.size()},
            {"the messages follow", plain.size() > tail.size() && plain.substr(plain.size() - tail.size()) == tail},
            {"the other file keeps its bytes", read_file(kept) == "keep me"},
        });
    };
    EXPECT_EQ(child_report(attempt, GetParam().unprivileged), "");
}

const Hostile kHostile[] = {
    {"MissingDirectory", [](auto& dir, auto&, auto&) { return dir.file("missing"); }},
    {"PathTooLong", [](auto& dir, auto&, auto&) { return dir.path() + std::string(1100, 'd'); }},
    {"FileAsDirectory", [](auto&, auto&, auto& kept) { return kept; }},
    {"DirectoryAtPath",
     [](auto& dir, auto& log, auto&) {
         fs::create_directory(log);
         return dir.path();
     }},
    {"UnwritableDirectory", [](auto& dir, auto&, auto&) { return dir.path(); }, true, true},
    {"SymbolicLink",
     [](auto& dir, auto& log, auto& kept) {
         fs::create_symlink(kept, log);
         return dir.path();
     },
     true},
    {"HardLink",
     [](auto& dir, auto& log, auto& kept) {
         fs::create_hard_link(kept, log);
         return dir.path();
     },
     true},
#if !defined(_WIN32)
    {"Fifo",
     [](auto& dir, auto& log, auto&) {
         mkfifo(log.c_str(), 0600);
         return dir.path();
     },
     true},
    {"OtherUsersFile",
     [](auto& dir, auto& log, auto& kept) {
         kept = dir.write(fs::path(log).filename().string(), "keep me");
         if (chown(log.c_str(), getpwnam("nobody")->pw_uid, 0) != 0) kept = "";  // then not kept
         return dir.path();
     },
     true, false, true},
#endif
};

INSTANTIATE_TEST_SUITE_P(Cases, UnopenableSessionFile, testing::ValuesIn(kHostile),
                         [](const auto& info) { return info.param.name; });

#if !defined(_WIN32)
TEST_F(LogTest, LinesTheFileRefusesAreCountedWhenWritingWorksAgain) {
    const std::string lines = child_report([] {
        VELM_SetLogLevel(6);
        VELM_SetLogLevelStdOut(7);  // the file only
        VELM_PRINTLOG("start\n");
        struct stat st;
        if (stat(VELM_GetLogFilePath(), &st) != 0) return std::string("no file");
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {static_cast<rlim_t>(st.st_size) + 40, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);  // room for a line and a part of the next
        for (int i = 1; i <= 5; ++i) VELM_PRINTLOG("line %d of the full disk\n", i);
        limit.rlim_cur = RLIM_INFINITY;
        setrlimit(RLIMIT_FSIZE, &limit);
        VELM_PRINTLOG("after\n");
        return joined_lines(session_lines());
    });
    EXPECT_EQ(lines,
              "start\nline 1 of the full disk\nline 2 of the fu\n"
              "*** 4 log lines lost: the session log file could not be written ***\nafter\n");
}

// Each echoed line is out when the host exits right after it; a file opened while standard output
// is closed is neither echoed into nor readable by others, whatever the umask.
TEST_F(LogTest, EchoIsOutBeforeTheHostExitsAndNeverGoesIntoTheFile) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int status = run_in_child([&]() -> int {
        dup2(pipeEnds[1], 1);
        VELM_ERROR("piped\n");
        _exit(0);  // no flush on the way out
    });
    EXPECT_EQ(status, 0);
    close(pipeEnds[1]);
    char received[256] = "";
    EXPECT_GT(read(pipeEnds[0], received, sizeof received - 1), 0);
    EXPECT_EQ(without_timestamp(received), "piped\n");
    const std::string failed = child_report([] {
        umask(0);
        close(1);
        VELM_ERROR("once\n");
        std::fflush(stdout);
        struct stat st;
        const bool exists = stat(VELM_GetLogFilePath(), &st) == 0;
        return failed_checks({{"the file is the owner's alone", exists && (st.st_mode & 0777) == 0600},
                              {"the file holds the line once", session_lines(true) == Lines{"once"}}});
    });
    EXPECT_EQ(failed, "");
}
#endif
