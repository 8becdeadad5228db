// A child forked while another thread logs can log: the fork leaves no lock of the log taken.
#include <algorithm>
#include <atomic>
#include <thread>

#include "support/log_fixture.h"

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
    for (int i = 0; i < 20; ++i)  // a child stuck on a lock ends at its alarm, its line missing
        velm_test::run_in_child([] {
            VELM_PRINTLOG("child\n");
            return 0;
        });
    stop = true;
    busy.join();
    std::vector<std::string> lines = velm_test::session_lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "child"), 20);
}
#endif
