// The log folder kept small: the session log file rolled over by size, old session files removed.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "log/log_fixture.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace velm_test;
using Lines = std::vector<std::string>;
constexpr bool kWindows = fs::path::preferred_separator == '\\';

// The session file and its rolled files, oldest first: each one's lines after its header and, but for
// the first file of the process, after the line that names the file it continues.
struct SessionFilePart {
    Lines body;
    std::uintmax_t size;
    bool continues;
};

std::vector<SessionFilePart> session_file_parts(const std::string& path) {
    std::vector<SessionFilePart> parts;
    for (int n = 999; n >= 0; --n) {
        std::string name = n ? path + "." + std::to_string(n) : path;
        if (!fs::exists(name)) continue;
        Lines lines = read_lines(name);
        EXPECT_GT(lines.size(), 6u) << name;
        EXPECT_EQ(lines.at(0), "  ### VE Quillan-Mor Kest Log-File ###") << name;
        bool continues = lines.size() > 6 && lines[6] == "  Continues " + path + ".1";
        lines.erase(lines.begin(), lines.begin() + std::min<std::size_t>(lines.size(), continues ? 7 : 6));
        parts.push_back({lines, fs::file_size(name), continues});
    }
    return parts;
}

// Threads meet at the roll-over: no file holds more than the limit, five rolled files stay, and every
// line in them arrives whole and once: of each thread, its newest lines without a gap.
TEST_F(LogTest, RollOverAmidThreadsKeepsEveryLineWholeAndOnce) {
    const int kThreads = 8, kLines = kWindows ? 2000 : 20000;
    set_env("VELM_LOG_MAX_SIZE", "4k");
    set_env("VELM_LOG_ROLLED_FILES", "5");
    VELM_SetLogLevel(6);
    VELM_SetLogLevelStdOut(7);  // the file only
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < kLines; ++i) VELM_PRINTLOG("message %d %d\n", t, i);
        });
    go = true;
    for (std::thread& thread : threads) thread.join();
    std::vector<SessionFilePart> parts = session_file_parts(VELM_GetLogFilePath());
    ASSERT_EQ(parts.size(), 6u);
    Lines found;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_TRUE(parts[i].size <= 4096 || parts[i].body.size() == 1) << i << ": " << parts[i].size;
        EXPECT_TRUE(parts[i].continues) << i;
        found.insert(found.end(), parts[i].body.begin(), parts[i].body.end());
    }
    std::sort(found.begin(), found.end());
    Lines expected;  // the last lines of each thread, as many as were found of it
    for (int t = 0; t < kThreads; ++t) {
        std::string prefix = "message " + std::to_string(t) + " ";
        auto kept = std::count_if(found.begin(), found.end(), [&](auto& line) { return line.rfind(prefix, 0) == 0; });
        for (int i = kLines - static_cast<int>(kept); i < kLines; ++i) expected.push_back(prefix + std::to_string(i));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_GT(found.size(), 500u);
    EXPECT_TRUE(found == expected);
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
    std::vector<Lines> bodies;
    for (const SessionFilePart& part : session_file_parts(VELM_GetLogFilePath())) bodies.push_back(part.body);
    EXPECT_EQ(bodies, GetParam().files);
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
};
INSTANTIATE_TEST_SUITE_P(Cases, RollOver, testing::ValuesIn(kRollRows),
                         [](const auto& info) { return info.param.name; });

// What a retention case finds in the log folder: files of ended processes, a live child's file, and things
// that match the name but are no file of the user's own.
enum class Kind { ended, liveChild, link, fifo, otherUser };
struct Planted {
    std::string name;  // "child" for the live child's file
    int ageDays;
    Kind kind;
};
struct RetentionRow {
    std::string name, days, files;
    std::vector<Planted> planted;
    Lines kept;  // beside the process's own file
};

class Retention : public LogTest, public testing::WithParamInterface<RetentionRow> {};

TEST_P(Retention, RemovesOnlyUnheldSessionFilesOfTheUserAtTheOpening) {
    Lines kept = GetParam().kept;
    int removed = 0;
    std::vector<int> children;
    std::vector<std::ofstream> holders;
    for (const Planted& planted : GetParam().planted) {
        std::string path = dir.file(planted.name);
        if (planted.kind == Kind::ended) removed += std::count(kept.begin(), kept.end(), planted.name) == 0;
        if (planted.kind == Kind::ended || planted.kind == Kind::otherUser) dir.write(planted.name, "old\n");
#if defined(_WIN32)
        if (planted.kind == Kind::liveChild) {  // no fork: a file held open here, as a writer holds its own
            path = dir.file("veserver_VELM_99.log");
            holders.emplace_back(path);
            std::replace(kept.begin(), kept.end(), std::string("child"), std::string("veserver_VELM_99.log"));
        }
        if (planted.kind > Kind::liveChild) GTEST_SKIP() << "no links, FIFOs or other users under Wine";
#else
        if (planted.kind == Kind::otherUser && geteuid() != 0) GTEST_SKIP() << "another user's file needs root";
        bool made = planted.kind != Kind::otherUser || chown(path.c_str(), getpwnam("nobody")->pw_uid, 0) == 0;
        if (planted.kind == Kind::link) fs::create_symlink(dir.write("target", "old\n"), path);
        if (planted.kind == Kind::fifo) made = mkfifo(path.c_str(), 0600) == 0;
        ASSERT_TRUE(made) << planted.name;
        if (planted.kind == Kind::liveChild) {  // logs into its own file and waits, holding it
            int ready[2];
            ASSERT_EQ(pipe(ready), 0);
            children.push_back(fork());
            if (children.back() == 0) {
                VELM_ERROR("child\n");
                _exit(write(ready[1], "x", 1) == 1 ? pause() : 1);
            }
            char byte;
            ASSERT_EQ(read(ready[0], &byte, 1), 1);
            std::string name = "veserver_VELM_" + std::to_string(children.back()) + ".log";
            path = dir.file(name);
            std::replace(kept.begin(), kept.end(), std::string("child"), name);
        }
#endif
        if (planted.kind != Kind::fifo)
            fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * planted.ageDays));
    }
    set_env("VELM_LOG_RETAIN_DAYS", GetParam().days.c_str());
    set_env("VELM_LOG_RETAIN_FILES", GetParam().files.c_str());
    set_env("VELM_LOG_LEVEL", "2");  // removals are told at the debug level
    VELM_ERROR("opened\n");
#if !defined(_WIN32)
    for (int child : children) kill(child, SIGKILL);
    while (wait(nullptr) > 0) continue;
#endif
    Lines left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename().string());
    kept.push_back(fs::path(VELM_GetLogFilePath()).filename().string());
    std::sort(left.begin(), left.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(left, kept);
    Lines lines = session_lines(true);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& line) { return line.rfind("Removed old session log file ", 0) == 0; }),
        removed);
}

const RetentionRow kRetentionRows[] = {
    {"ByAge",
     "2",
     "",
     {{"veserver_VELM_11.log", 3, Kind::ended},
      {"veserver_VELM_11.log.1", 5, Kind::ended},
      {"veserver_VELM_12.log", 1, Kind::ended},
      {"other_VELM_13.log", 9, Kind::ended},
      {"veserver_VELM_14.log.txt", 9, Kind::ended},
      {"child", 9, Kind::liveChild}},
     {"veserver_VELM_12.log", "other_VELM_13.log", "veserver_VELM_14.log.txt", "child"}},
    {"ByCount",
     "",
     "2",
     {{"veserver_VELM_21.log", 1, Kind::ended},
      {"veserver_VELM_22.log", 2, Kind::ended},
      {"veserver_VELM_23.log", 3, Kind::ended},
      {"veserver_VELM_23.log.1", 4, Kind::ended},
      {"child", 9, Kind::liveChild}},
     {"veserver_VELM_21.log", "child"}},
    {"LinksAndFifosStay",
     "1",
     "1",
     {{"veserver_VELM_31.log", 9, Kind::link}, {"veserver_VELM_32.log", 9, Kind::fifo}},
     {"veserver_VELM_31.log", "target", "veserver_VELM_32.log"}},
    {"AnotherUsersFileStays", "1", "1", {{"veserver_VELM_41.log", 9, Kind::otherUser}}, {"veserver_VELM_41.log"}},
};
INSTANTIATE_TEST_SUITE_P(Cases, Retention, testing::ValuesIn(kRetentionRows),
                         [](const auto& info) { return info.param.name; });
