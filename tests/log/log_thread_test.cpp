// Threads logging at once: every line arrives whole and once, in the file and
// on standard output, under one header.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "log/log_fixture.h"

using velm_test::has_timestamp_at;
using velm_test::without_timestamp;
using Lines = std::vector<std::string>;

constexpr int kThreads = 8;

// Runs body(t) on kThreads threads released at the same moment.
void on_threads(const std::function<void(int)>& body) {
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            body(t);
        });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
}

// The lines as sorted messages; empty when a line lacks its timestamp or has
// one it should not.
Lines sorted_messages(Lines lines, bool stamped) {
    for (std::string& line : lines) {
        if (has_timestamp_at(line) != stamped) return {};
        line = without_timestamp(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

class ThreadedLog : public LogTest, public testing::WithParamInterface<bool> {};

TEST_P(ThreadedLog, EveryLineArrivesWholeAndOnce) {
    constexpr int kMessages = 20000;
    VELM_SetLogLevel(2);
    VELM_SetLogTimestamp(GetParam());
    velm_test::StdoutCapture out;
    on_threads([](int t) {
        for (int i = 0; i < kMessages; ++i) VELM_LOG(1 + i % 6, 0, "thread %d message %d\n", t, i);
    });
    Lines printed = velm_test::split_lines(out.finish()), expected;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kMessages; ++i) {
            if (i % 6 != 0) expected.push_back("thread " + std::to_string(t) + " message " + std::to_string(i));
        }
    }
    std::sort(expected.begin(), expected.end());
    Lines file = velm_test::read_lines(VELM_GetLogFilePath());
    EXPECT_EQ(std::count(file.begin(), file.end(), file.at(0)), 1);  // one header
    EXPECT_TRUE(sorted_messages(velm_test::session_lines(), GetParam()) == expected);
    EXPECT_TRUE(sorted_messages(printed, GetParam()) == expected);
}

INSTANTIATE_TEST_SUITE_P(Timestamps, ThreadedLog, testing::Bool(), velm_test::row_number);

TEST_F(LogTest, FirstMessagesOfManyThreadsOpenOneFileWithOneHeader) {
    velm_test::StdoutCapture out;
    on_threads([](int t) { VELM_ERROR("first of thread %d\n", t); });
    Lines expected;
    for (int t = 0; t < kThreads; ++t) expected.push_back("first of thread " + std::to_string(t));
    auto files = std::filesystem::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(files), end(files)), 1);
    EXPECT_EQ(velm_test::read_lines(VELM_GetLogFilePath()).size(), 6u + kThreads);
    EXPECT_EQ(sorted_messages(velm_test::session_lines(), true), expected);
    EXPECT_EQ(sorted_messages(velm_test::split_lines(out.finish()), true), expected);
}
