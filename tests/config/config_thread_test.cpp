// The caches from many threads at once, and in a child forked amid their use.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "velm_basetool.h"

constexpr int kFiles = 300, kSections = 40;
// Children forked amid the threads (none where the sanitizer's runtime cannot take it).
constexpr int kForks = velm_test::kForksAmidThreads ? 20 : 0;

// Converts the sections round by round, deleting now and then; section n holds k=n.
static void convert_and_delete(int rounds) {
    for (int round = 0; round < rounds; ++round) {
        std::string section = std::to_string(round % kSections), value = "k=" + section;
        const char* values[] = {"x=1", value.c_str()};
        VELM_CreateProfileFromPref(section.c_str(), 2, values, "P", round % 3 != 0);
        if (round % 11 == 0) VELM_DeletePrefProfile();
    }
}

TEST(ConfigThreads, LookupsSeeOnlyAnswersTheCachesHeldAndForkedChildrenFindThemFree) {
    velm_test::ScratchDir dir;
    velm_test::set_env("VELM_CONFIG", dir.path().c_str());
    VELM_SetDisableLocPrefCache(1);
    for (int i = 0; i < kFiles; ++i) dir.write(std::to_string(i), "[M]\nk=" + std::to_string(i) + "\n");
    std::atomic<int> writing{2};
    std::atomic<bool> go{false};
    std::vector<std::vector<std::string>> wrong(6);
    // A section holds its own number or is absent; a file always holds its own.
    auto look_up = [&](int section, int file, std::vector<std::string>& out) {
        char s[16], f[16];
        VELM_GetPrivatePreferenceString(std::to_string(section).c_str(), "K", "-", s, 16, "");
        VELM_GetPrivateProfileString("m", "k", "-", f, 16, dir.file(std::to_string(file)).c_str());
        if ((s != std::string("-") && s != std::to_string(section)) || f != std::to_string(file))
            out.push_back(std::to_string(section) + ":" + s + " " + std::to_string(file) + ":" + f);
    };
    // Thread 0 reads every file once while the last converts; threads 1 to 4 look up until both are done.
    std::vector<std::thread> threads;
    for (int t = 0; t <= 5; ++t)
        threads.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            if (t == 5) convert_and_delete(3000);
            for (int n = 0; t == 0 ? n < kFiles : t < 5 && (writing > 0 || n < 500); ++n)
                look_up((n + t) % kSections, t == 0 ? n : (n * 31 + t * 97) % kFiles, wrong[t]);
            if (t == 0 || t == 5) --writing;
        });
    go = true;
    std::vector<int> statuses;
    for (int i = 0; i < kForks; ++i) {
        statuses.push_back(velm_test::run_in_child([] {
            convert_and_delete(kSections);  // hangs if a lock stayed taken
            return VELM_GetProfileInt(std::to_string(kSections - 1).c_str(), "k", -1, "");
        }));
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<std::vector<std::string>>(6));
    EXPECT_EQ(statuses, std::vector<int>(kForks, kSections - 1));
}
