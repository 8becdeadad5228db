// Threads logging at once: every line arrives whole and once, in the file and on standard output.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "support/log_fixture.h"

using Lines = std::vector<std::string>;
constexpr int kThreads = 8;

// The lines sorted, a "*" in place of each leading timestamp.
Lines sorted_marked(Lines lines) {
    for (std::string& line : lines)
        line = (velm_test::has_timestamp_at(line) ? "*" : "") + velm_test::without_timestamp(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The threads' first messages race to open the file: one file, one header. Every other line is
// timestamped (each thread keeps its own stamp).
TEST_F(LogTest, EveryLineOfManyThreadsArrivesWholeAndOnce) {
    VELM_SetLogLevel(2);
    velm_test::StdoutCapture out;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 20000; ++i) VELM_LOG(1 + i % 6, i % 2, "message %d %d\n", t, i);
        });
    go = true;
    for (std::thread& thread : threads) thread.join();
    Lines expected;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < 20000; ++i)  // level 1 (every sixth) is dropped
            if (i % 6)
                expected.push_back((i % 2 ? "*message " : "message ") + std::to_string(t) + " " + std::to_string(i));
    std::sort(expected.begin(), expected.end());
    auto files = std::filesystem::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(files), end(files)), 1);
    Lines file = velm_test::read_lines(VELM_GetLogFilePath());
    EXPECT_EQ(std::count(file.begin(), file.end(), file.at(0)), 1);
    EXPECT_TRUE(sorted_marked(velm_test::session_lines()) == expected);
    EXPECT_TRUE(sorted_marked(velm_test::split_lines(out.finish())) == expected);
}

#if !defined(_WIN32)
TEST_F(LogTest, ChildForkedWhileAnotherThreadLogsCanLog) {
    if (!velm_test::kForksAmidThreads) GTEST_SKIP() << "the sanitizer's runtime does not survive a fork amid threads";
    VELM_SetLogLevel(6);
    VELM_SetLogLevelStdOut(7);  // the file only
    VELM_PRINTLOG("opened\n");  // before the fork: the children write into this file
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        while (!stop) VELM_PRINTLOG("busy\n");
    });
    std::vector<int> results;
    for (int i = 0; i < 20; ++i) {
        results.push_back(velm_test::run_in_child([] {
            VELM_PRINTLOG("child\n");
            return 0;
        }));
    }
    stop = true;
    busy.join();
    EXPECT_EQ(results, std::vector<int>(20, 0));
    Lines lines = velm_test::session_lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "child"), 20);
}
#endif
