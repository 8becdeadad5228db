// The log folder kept small: the session log file rolled over by size, old session files removed.
#include <chrono>
#include <set>

#include "log/log_test.h"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/wait.h>
#endif

using namespace velm_test;

// The bodies of the session file and its rolled files, oldest first: the lines after the header and, but in the file
// with the process's first line, the line naming the file it continues; each at most limit bytes (0: any) or one line.
std::vector<Lines> session_file_bodies(const std::string& path, const std::string& firstLine, std::uintmax_t limit) {
    std::vector<Lines> bodies;
    for (int n = 999; n >= 0; --n) {
        const std::string name = n ? path + "." + std::to_string(n) : path;
        if (!fs::exists(name)) continue;
        const Lines lines = read_lines(name);
        const std::size_t header = lines.size() > 6 && lines[6] == firstLine ? 6 : 7;
        EXPECT_GT(lines.size(), header) << name;
        EXPECT_EQ(lines.at(0), "  ### VE Quillan-Mor Kest Log-File ###") << name;
        EXPECT_TRUE(header == 6 || lines.at(6) == "  Continues " + path + ".1") << name;
        EXPECT_TRUE(!limit || fs::file_size(name) <= limit || lines.size() == header + 1) << name;
        bodies.emplace_back(lines.begin() + std::min(lines.size(), header), lines.end());
    }
    return bodies;
}

// Eight threads race to open the file and meet at each roll-over: every line arrives whole and once, of each
// thread its newest without a gap, with its own timestamp or none; standard output gets every line.
TEST_F(LogTest, ThreadsMeetingAtTheRollOverKeepEveryLineWholeAndOnce) {
    const int kThreads = 8, kLines = kWindows ? 2000 : 20000;
    set_env("VELM_LOG_MAX_SIZE", "4k");
    VELM_SetLogLevel(2);
    StdoutCapture out;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < kLines; ++i) VELM_LOG(2 + i % 5, i % 2, "message %d %d\n", t, i);
        });
    go = true;
    for (std::thread& thread : threads) thread.join();
    const std::vector<Lines> bodies = session_file_bodies(VELM_GetLogFilePath(), "", 4096);
    auto files = fs::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(files), end(files)), 6);  // five rolled files by default
    ASSERT_EQ(bodies.size(), 6u);
    Lines found, all, expected;
    for (const Lines& body : bodies) found.insert(found.end(), body.begin(), body.end());
    found = marked(found);
    for (int t = 0; t < kThreads; ++t) {  // all its lines, and the newest, as many as were found of it
        std::string prefix = "message " + std::to_string(t) + " ";
        auto kept = std::count_if(found.begin(), found.end(), [&](auto& line) { return line.find(prefix) <= 1; });
        for (int i = 0; i < kLines; ++i) {
            all.push_back((i % 2 ? "*" : "") + prefix + std::to_string(i));
            if (i >= kLines - kept) expected.push_back(all.back());
        }
    }
    Lines printed = marked(split_lines(out.finish()));
    for (Lines* lines : {&found, &all, &expected, &printed}) std::sort(lines->begin(), lines->end());
    EXPECT_GE(found.size(), 500u);
    EXPECT_TRUE(found == expected);
    EXPECT_TRUE(printed == all);
}

// Lines of one thread against a limit; the files expected, oldest first, by their bodies.
struct RollRow {
    std::string name, maxSize, rolledFiles;
    Lines lines;
    std::vector<Lines> files;
};

class RollOver : public LogTest, public testing::WithParamInterface<RollRow> {};

TEST_P(RollOver, StartsAFreshFileBeforeALineWouldPassTheLimit) {
    set_env("VELM_LOG_MAX_SIZE", GetParam().maxSize.c_str());
    set_env("VELM_LOG_ROLLED_FILES", GetParam().rolledFiles.c_str());
    for (const std::string& line : GetParam().lines) VELM_PRINTLOG((line + "%s").c_str(), "\n");  // not cut
    EXPECT_EQ(session_file_bodies(VELM_GetLogFilePath(), GetParam().lines.at(0), 0), GetParam().files);
}

// Ten lines of 700 bytes: two fit into a 2 KiB file beside its header.
Lines long_lines(int from, int to) {
    Lines lines;
    for (int i = from; i < to; ++i) lines.push_back("line " + std::to_string(i) + std::string(693, '.'));
    return lines;
}
const std::string kLong(6000, 'x');
const RollRow kRollRows[] = {
    {"LongLineGoesWholeIntoAFreshFile", "4k", "5", {"a", kLong, "b"}, {{"a"}, {kLong}, {"b"}}},
    {"OldestBeyondTheCountGoes", "2k", "2", long_lines(0, 10), {long_lines(4, 6), long_lines(6, 8), long_lines(8, 10)}},
    {"NoRolledFilesKept", "2K", "0", long_lines(0, 10), {long_lines(8, 10)}},
    {"UnreadableSizeIsNoLimit", "2x", "1", long_lines(0, 4), {long_lines(0, 4)}},
    {"ZeroIsNoLimit", "0", "1", long_lines(0, 4), {long_lines(0, 4)}},
};
INSTANTIATE_TEST_SUITE_P(Cases, RollOver, testing::ValuesIn(kRollRows), row_name);

// What the log folder holds when the process opens its session file: session files of ended processes (ages
// in days), one a live process holds, and things that match the name but are no file of the user's own.
enum class Kind { ended, held, link, fifo, otherUser };
const struct {
    std::string name;
    int ageDays;
    Kind kind;
} kPlanted[] = {{"veserver_VELM_11.log", 3, Kind::ended},    {"veserver_VELM_11.log.1", 5, Kind::ended},
                {"veserver_VELM_12.log", 0, Kind::ended},    {"veserver_VELM_19.log", 1, Kind::ended},
                {"other_VELM_13.log", 9, Kind::ended},       {"veserver_VELM_14.log.txt", 9, Kind::ended},
                {"veserver_VELM_15.log", 9, Kind::held},     {"target", 9, Kind::ended},
                {"veserver_VELM_16.log", 9, Kind::link},     {"veserver_VELM_17.log", 9, Kind::fifo},
                {"veserver_VELM_18.log", 9, Kind::otherUser}};
struct RetentionRow {
    std::string name, days, files;
    std::set<std::string> removed;
};

class Retention : public LogTest, public testing::WithParamInterface<RetentionRow> {};

// Under Wine (no fork, links, FIFOs or other users) the held file is held open here, as a writer holds its own.
TEST_P(Retention, RemovesOnlyUnheldSessionFilesOfTheUserAtTheOpening) {
    std::set<std::string> kept, told;
    std::vector<int> children;
    std::vector<std::ofstream> holders;
    for (const auto& [name, ageDays, kind] : kPlanted) {
        if (kind == Kind::otherUser && !can_drop_privileges()) continue;  // only root can give a file away
        const std::string path = dir.file(name);
        if (kind == Kind::ended || kind == Kind::otherUser) dir.write(name, "old\n");
#if defined(_WIN32)
        if (kind > Kind::held) continue;
        if (kind == Kind::held) holders.emplace_back(path);
#else
        bool made = kind != Kind::otherUser || chown(path.c_str(), getpwnam("nobody")->pw_uid, 0) == 0;
        if (kind == Kind::link) fs::create_symlink(dir.file("target"), path);
        if (kind == Kind::fifo) made = mkfifo(path.c_str(), 0600) == 0;
        ASSERT_TRUE(made) << name;
        if (kind == Kind::held) {  // a child's session file, renamed while the child holds it and waits
            children.push_back(fork());
            if (children.back() == 0) {
                VELM_ERROR("child\n");
                if (std::rename(VELM_GetLogFilePath(), path.c_str()) == 0) pause();
                _exit(1);
            }
            while (!fs::exists(path) && waitpid(children.back(), nullptr, WNOHANG) == 0) std::this_thread::yield();
        }
#endif
        if (kind != Kind::fifo)
            fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * ageDays));
        if (!GetParam().removed.count(name)) kept.insert(name);
    }
    set_env("VELM_LOG_RETAIN_DAYS", GetParam().days.c_str());
    set_env("VELM_LOG_RETAIN_FILES", GetParam().files.c_str());
    set_env("VELM_LOG_LEVEL", "2");  // removals are told at the debug level
    VELM_ERROR("opened\n");
#if !defined(_WIN32)
    for (int child : children) kill(child, SIGKILL);
    while (wait(nullptr) > 0) continue;
#endif
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.insert(entry.path().filename().string());
    kept.insert(fs::path(VELM_GetLogFilePath()).filename().string());
    EXPECT_EQ(left, kept);
    const std::string removal = "Removed old session log file ";
    for (const std::string& line : session_lines(true))
        if (line.rfind(removal, 0) == 0) told.insert(fs::path(line.substr(removal.size())).filename().string());
    EXPECT_EQ(told, GetParam().removed);
}

// The count keeps the newest files, the process's own among them; a session file goes with its rolled files.
const RetentionRow kRetentionRows[] = {
    {"ByAge", "2", "", {"veserver_VELM_11.log", "veserver_VELM_11.log.1"}},
    {"ByCount", "", "2", {"veserver_VELM_11.log", "veserver_VELM_11.log.1", "veserver_VELM_19.log"}},
};
INSTANTIATE_TEST_SUITE_P(Cases, Retention, testing::ValuesIn(kRetentionRows), row_name);
