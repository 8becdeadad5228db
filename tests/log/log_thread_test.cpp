// A child forked while another thread logs can log (the fork leaves no lock taken), its echo out before it exits.
#include "log/log_test.h"

using namespace velm_test;

#if !defined(_WIN32)
#include <fcntl.h>

TEST_F(LogTest, ChildForkedWhileAnotherThreadLogsCanLog) {
    if (!kForksAmidThreads) GTEST_SKIP() << "the sanitizer's runtime does not survive a fork amid threads";
    const std::string echo = dir.file("echo");
    VELM_SetLogLevel(6);
    VELM_SetLogLevelStdOut(7);  // the file only
    VELM_PRINTLOG("opened\n");  // before the fork: the children write into this file
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        while (!stop) VELM_PRINTLOG("busy\n");
    });
    for (int i = 0; i < 20; ++i)  // a child stuck on a lock ends at its alarm, its lines missing
        run_in_child([&]() -> int {
            dup2(open(echo.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 1);
            VELM_SetLogLevelStdOut(4);
            VELM_ERROR("child\n");
            _exit(0);  // no flush on the way out
        });
    stop = true;
    busy.join();
    std::vector<std::string> lines = session_lines(true);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "child"), 20);
    EXPECT_EQ(marked(read_lines(echo)), std::vector<std::string>(20, "*child"));
}
#endif
