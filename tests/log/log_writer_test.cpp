// The writer: levels, names, the session file and its header, line format, capacity, failed opening.
#include <ctime>

#include "log/log_test.h"
#include "velm_basetool_version.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <csignal>
#endif

using namespace velm_test;

void set_names(const char* appl, const char* cust, const char* prod) {
    VELM_SetApplName(appl);
    VELM_SetCustName(cust);
    VELM_SetProdName(prod);
}

// The file level, then the standard-output and syslog level (kNone: not called).
constexpr int kNone = -999;
template <int file, int stdOut, int syslog>
void set_levels() {
    VELM_SetLogLevel(file);
    if (stdOut != kNone) VELM_SetLogLevelStdOut(stdOut);
    if (syslog != kNone) VELM_SetLogLevelSyslog(syslog);
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
    std::string name;
    const char* variables[5];        // level, standard-output and syslog level, timestamp, configuration
    void (*calls)();                 // the host's calls before the first message, if any
    std::vector<int> levels;         // file, standard output, syslog
    bool stamped;                    // whether timestamps are on
    std::string nameParts, product;  // the file name before the pid; the header's product
};

class SessionFileNames : public LogTest, public testing::WithParamInterface<FirstUse> {};

// Levels and flags come from the environment unless set, the file level the least of the three; names are taken as the
// file opens, which keeps what it held; timestamp and indent reach every line, the header's too; only messages echo.
TEST_P(SessionFileNames, AreTakenWhenTheFileOpens) {
    const FirstUse& row = GetParam();
    const char* names[] = {"VELM_LOG_LEVEL", "VELM_LOG_LEVEL_STDOUT", "VELM_LOG_LEVEL_SYSLOG", "VELM_LOG_TIMESTAMP",
                           "VELM_CONFIG"};
    for (int i = 0; i < 5; ++i) set_env(names[i], row.variables[i]);  // a null one stays unset
    if (row.calls) row.calls();
    VELM_LOG(0, 0, "never shown\n");  // initialises the log but creates no file
    const std::string path = expected_log(row.nameParts);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ((std::vector<int>{VELM_GetLogLevel(), VELM_GetLogLevelStdOut(), VELM_GetLogLevelSyslog()}), row.levels);
    std::ofstream(path, std::ios::binary) << "old\n";
    VELM_DecTraceSpaces();  // stays at 0, so depth 2 after two steps in
    VELM_IncTraceSpaces();
    VELM_IncTraceSpaces();
    StdoutCapture out;
    VELM_PRINTLOG("p\n");
    VELM_SetApplName("late");  // too late: the file is open
    VELM_PRINTLOG("q\n");
    ASSERT_EQ(VELM_GetLogFilePath(), path);
    const std::string ours = read_file(path).substr(4);  // every line ends in the platform's line end
    EXPECT_EQ(std::count(ours.begin(), ours.end(), '\r'), kWindows ? 8 : 0);
    Lines lines = marked(read_lines(path));
    const std::string mark = row.stamped ? "*" : "";
    const std::string tool = mark + "      VELM Base-Tool                     (" VELM_BASETOOL_VERSION_TEXT ")  ";
    lines.at(5) = lines.at(5).substr(0, tool.size()) + "+" + std::to_string(lines.at(5).size() - tool.size());
    // The first header message holds two line ends: its second line is bare.
    EXPECT_EQ(lines, (Lines{"old", mark + "      ### " + row.product + " Log-File ###", "",
                            mark + "      " + row.product + " Session-LogFile " + path, mark + "    ", tool + "+20",
                            mark + "    ", mark + "    p", mark + "    q"}));  // "Mar  2 2016 11:42:53"
    EXPECT_EQ(marked(split_lines(out.finish())), (Lines{mark + "    p", mark + "    q"}));
    std::time_t now = std::time(nullptr);
    char today[32];
    std::strftime(today, sizeof today, "%Y/%m/%d-%H", std::gmtime(&now));  // UTC
    EXPECT_EQ(row.stamped ? read_lines(path).at(1).substr(4, 13) : today, today);
}

const std::string kLong(300, 'n'), kProduct = "VE Quillan-Mor Kest", kPlain = "veserver_VELM_";
const std::string kLongParts = std::string(110, 'n') + "_" + std::string(110, 'n') + "_";

void mytool() { VELM_SetApplName("mytool"); }
void mytool_stamped() {  // the flag, set first, outlasts the environment's "0"
    VELM_SetApplName("mytool");
    VELM_SetLogTimestamp(2);
}
void null_appl() { VELM_SetApplName(nullptr); }  // alone it never raises
void null_prod() { VELM_SetProdName(nullptr); }
void site() { set_names("mytool", "site", "site"); }
void long_names() { set_names(kLong.c_str(), kLong.c_str(), kLong.c_str()); }

const FirstUse kFirstUses[] = {
    {"LevelNotANumber", {"abc", nullptr, nullptr, "yes"}, nullptr, {1, 4, 4}, true, kPlain, kProduct},
    {"AllLevelsAndConfig", {"6", "6", "6", "Y", "cfg"}, mytool, {6, 6, 6}, true, "mytool_VELM_", kProduct},
    {"LevelWithSign", {" +2x", nullptr, nullptr, "0"}, mytool_stamped, {2, 4, 4}, true, "mytool_", ""},
    {"AllNames", {nullptr, "1", nullptr, "1"}, site, {1, 1, 4}, true, "mytool_site_", "site"},
    {"LevelsOutOfRange", {"99999999999", "-5", "3", "true"}, null_prod, {1, 1, 3}, false, kPlain, ""},
    {"NullApplName", {"6", nullptr, nullptr, "no"}, null_appl, {4, 4, 4}, false, "veserver_", ""},
    {"LongNames", {}, long_names, {4, 4, 4}, false, kLongParts, std::string(111, 'n')},
    {"PlatformTemp", {}, use_platform_temp, {4, 4, 4}, false, kWindows ? "temp\\" + kPlain : kPlain, kProduct},
    {"LevelSetFirst", {"6", nullptr, nullptr, "yes"}, set_levels<0, kNone, kNone>, {1, 1, -3}, false, kPlain, kProduct},
    {"FileAndSyslogSet", {}, set_levels<5, kNone, 2>, {2, 5, 2}, false, kPlain, kProduct},
    {"StdOutSet", {}, set_levels<4, 6, kNone>, {4, 6, -3}, false, kPlain, kProduct},
    {"StdOutBelowAll", {}, set_levels<4, -100, kNone>, {1, 1, -3}, false, kPlain, kProduct},
};

INSTANTIATE_TEST_SUITE_P(Names, SessionFileNames, testing::ValuesIn(kFirstUses), row_name);

// The entry points of levels 1 to 7.
void (*const kEntries[])(const char*, ...) = {VELM_TRACE,   VELM_DEBUG,    VELM_WARNING,      VELM_ERROR,
                                              VELM_CRERROR, VELM_PRINTLOG, VELM_PRINT_VERINFO};

TEST_F(LogTest, EntryPointsCarryTheirLevelAndTimestampAndNullFormatsWriteNothing) {
    set_env("VELM_VERSION_STDOUT", "no");  // set at all: the header is shown
    set_env("VELM_LOG_LEVEL_STDOUT", "1");
    const char* none = nullptr;
    StdoutCapture out;
    VELM_PRINT_AND_LOG("plain %d\n", 7);  // straight to standard output: the log stays uninitialised
    EXPECT_EQ(VELM_GetLogLevel(), -3);
    for (auto entry : kEntries) entry(none);
    VELM_PRINT_AND_LOG(none);
    VELM_LOG(9, 1, none);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // nothing was logged, so no file either
    for (int i = 0; i < 6; ++i) kEntries[i]("%c\n", "tdwecp"[i]);
    VELM_PRINT_AND_LOG("pl\n");
    VELM_LOG(4, 0, "l4\n");
    VELM_LOG(9, 1, "l9\n");
    VELM_PRINTLOG("%s", "");                         // an empty text adds nothing
    VELM_PRINTLOG("%s\n", "\x01\x7f\x80\xff\t\r|");  // binary bytes pass unchanged
    VELM_SetPrintVerInfoStdOut(2);                   // version lines are echoed only when it is 1
    VELM_PRINT_VERINFO("v2\n");
    VELM_PRINT_AND_LOG("pl2\n");
    VELM_SetPrintVerInfoStdOut(1);
    VELM_PRINT_VERINFO("v1\n");
    // Messages are cut at their capacity; a cut line keeps its line end, a piece without one stays so.
    const std::string big(2000, 'x'), cut(1055, 'x'), piece = std::string(1900, 'f') + std::string(258, 'x');
    VELM_PRINTLOG("%s\n", big.c_str());                                   // format of 3: capacity 1056
    VELM_PRINTLOG("%s", (big + "\n").c_str());                            // the line end of the argument
    VELM_PRINTLOG(std::string("refused %1$d%2$n\n").c_str(), 1, &none);   // shown as it stands
    VELM_PRINTLOG((std::string(1900, 'f') + "%s").c_str(), big.c_str());  // format of 1902: capacity 2158, on the heap
    Lines expected({"t", "d", "w", "*e", "*c", "p", "pl", "l4", "*l9", "\x01\x7f\x80\xff\t\r|", "v2", "pl2", "v1", cut,
                    cut, "refused %1$d%2$n", piece});
    EXPECT_EQ(marked(session_lines()), expected);
    expected.erase(expected.begin() + 10);  // "v2" stays off standard output
    expected.insert(expected.begin(), {"plain 7", "  ### VE Quillan-Mor Kest Log-File ###"});
    Lines echoed = marked(split_lines(out.finish()));
    echoed.erase(echoed.begin() + 2, echoed.begin() + std::min<std::size_t>(echoed.size(), 7));  // the header's rest
    EXPECT_EQ(echoed, expected);
}

// At each level the entry points of that level and above write, those below do not.
TEST_F(LogTest, EachEntryPointWritesFromItsOwnLevelUp) {
    Lines expected;
    for (int level = 1; level <= 8; ++level)
        for (int entry = 1; entry <= 7; ++entry) {
            VELM_SetLogLevel(level);
            kEntries[entry - 1]("%d %d\n", level, entry);
            if (entry >= level) expected.push_back(std::to_string(level) + " " + std::to_string(entry));
        }
    EXPECT_EQ(session_lines(true), expected);
}

// What stands at (or instead of) the log file's path: plant puts it there and may name another
// file that must keep its bytes; the log directory is the scratch folder or the path folder names in it.
struct Hostile {
    std::string name;
    void (*plant)(const std::string& log, std::string& kept);
    std::string folder;
    bool unprivileged = false, givesAway = false;  // the child drops its rights; a file goes to another user
};

class UnopenableSessionFile : public LogTest, public testing::WithParamInterface<Hostile> {};

TEST_P(UnopenableSessionFile, FallsBackToStandardOutputAndKeepsWhatIsThere) {
    if ((GetParam().unprivileged || GetParam().givesAway) && !can_drop_privileges())
        GTEST_SKIP() << "only root can hand a file to another user or drop its rights";
    const std::string victim = dir.write("victim", "keep me");  // by root: an unprivileged child may not write
    auto attempt = [&] {                                        // in a child of its own, whose pid names the file
        std::string kept = victim;
        if (GetParam().plant) GetParam().plant(expected_log("veserver_VELM_"), kept);
        const std::string directory = GetParam().folder.empty() ? dir.path() : dir.file(GetParam().folder);
        set_env("VE_TMP_DIR", directory.c_str());
        StdoutCapture out;
        VELM_ERROR("first\n");
        VELM_TRACE("trace\n");
        VELM_PRINT_VERINFO("version\n");  // level 7 stays off standard output
        Lines shown = marked(split_lines(out.finish()));
        if (shown.size() > 1 && shown[1].rfind("*Reason: ", 0) == 0) shown[1] = "*Reason: ";  // the system's words
        std::string path =
            (fs::path(directory) / fs::path(expected_log("veserver_VELM_")).filename()).string().substr(0, 1024);
        // The report is timestamped and, like any message, cut at its capacity, keeping its line end; then
        // the path the log keeps, the standard-output level and the other file's bytes.
        const std::string report = "*Can't open VE Quillan-Mor Kest-Session-LogFile " + path;
        const Lines expected = {report.substr(0, 1056), "*Reason: ", "*first", "trace", path, "1", "keep me"};
        shown.insert(shown.end(), {VELM_GetLogFilePath() ? VELM_GetLogFilePath() : "no path",
                                   std::to_string(VELM_GetLogLevelStdOut()), read_file(kept)});
        return shown == expected ? "" : joined_lines(shown);
    };
    EXPECT_EQ(child_report(attempt, GetParam().unprivileged), "");
}

const Hostile kHostile[] = {
    {"MissingDirectory", nullptr, "missing"},
    {"PathTooLong", nullptr, std::string(1100, 'd')},
    {"FileAsDirectory", nullptr, "victim"},
    {"DirectoryAtPath", [](auto& log, auto&) { fs::create_directory(log); }, ""},
#if !defined(_WIN32)  // no such file or user under Wine
    {"UnwritableDirectory", nullptr, "", true},
    {"SymbolicLink", [](auto& log, auto& kept) { fs::create_symlink(kept, log); }, ""},
    {"HardLink", [](auto& log, auto& kept) { fs::create_hard_link(kept, log); }, ""},
    {"Fifo", [](auto& log, auto&) { mkfifo(log.c_str(), 0600); }, ""},
    {"OtherUsersFile",  // a failed hand-over shows as a file not kept
     [](auto& log, auto& kept) {
         kept = std::ofstream(log) << "keep me" && chown(log.c_str(), getpwnam("nobody")->pw_uid, 0) == 0 ? log : "";
     },
     "", false, true},
#endif
};

INSTANTIATE_TEST_SUITE_P(Cases, UnopenableSessionFile, testing::ValuesIn(kHostile), row_name);

#if !defined(_WIN32)
// A line refused whole leaves the file at a line end; one cut leaves it mid-line, which the count ends first. Opened
// while standard output is closed, the file is neither echoed into nor readable by others, whatever the umask.
TEST_F(LogTest, LinesTheFileRefusesAreCountedWhenWritingWorksAgain) {
    const std::string lines = child_report([] {
        umask(0);
        close(1);
        VELM_SetLogLevel(6);  // standard output too
        signal(SIGXFSZ, SIG_IGN);
        struct stat st;
        // With room more bytes than the file holds (0: none left), or no limit, logs text.
        auto log_with_room = [&st](rlim_t room, const char* text) {
            stat(VELM_GetLogFilePath(), &st);
            struct rlimit limit = {room == RLIM_INFINITY ? room : st.st_size + room, RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &limit);
            VELM_PRINTLOG("%s", text);
        };
        VELM_PRINTLOG("start\n");
        log_with_room(0, "refused whole\n");
        log_with_room(RLIM_INFINITY, "back\n");
        log_with_room(40, "line 1 of the full disk\n");  // room for a line and a part of the next
        for (int i = 2; i <= 5; ++i) VELM_PRINTLOG("line %d of the full disk\n", i);
        log_with_room(RLIM_INFINITY, "after\n");
        return ((st.st_mode & 0777) == 0600 ? "" : "readable by others\n") + joined_lines(session_lines());
    });
    const std::string lost = " log lines lost: the session log file could not be written ***\n";
    EXPECT_EQ(lines,
              "start\n*** 1" + lost + "back\nline 1 of the full disk\nline 2 of the fu\n*** 4" + lost + "after\n");
}
#endif
