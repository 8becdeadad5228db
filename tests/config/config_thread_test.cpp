// The caches from many threads at once, in a child forked amid their use, and cached INI files that follow
// their changes on disk, looked up from four threads while they change.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "support/log_fixture.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kKeys = 200;

static std::string contents(int version) {
    std::string text = "[S]\n";
    for (int k = 0; k < kKeys; ++k) text += "k" + std::to_string(k) + "=" + std::to_string(version) + "\n";
    return text;
}

static std::string get(const std::string& file, int key) {
    char returned[16];
    VELM_GetPrivateProfileString("S", ("k" + std::to_string(key)).c_str(), "-", returned, 16, file.c_str());
    return returned;
}

// Writes version 2 beside path and renames it over path (again while Windows refuses, the file being read).
static void rename_new_over(const fs::path& path) {
    std::ofstream(path.string() + ".new", std::ios::binary) << contents(2);
    std::error_code error;
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(10ms)) {
        fs::rename(path.string() + ".new", path, error);
        if (!error) return;
    }
}

// How the file at path changes from version 1 to version 2; repair makes it readable again.
struct Change {
    std::string name;
    void (*change)(const fs::path& path);
    void (*repair)(const fs::path& path) = nullptr;
    const char* brokenBecause = nullptr;  // the reason the error line gives
    const char* reload = "1";             // VELM_CONFIG_RELOAD, or null (unset)
    bool posixOnly = false, unprivileged = false, linkedFolder = false;
};

const Change kChanges[] = {
    {"InPlaceSlowly",
     [](const fs::path& path) {  // twenty pieces over two seconds, into the file the library reads
         std::ofstream out(path, std::ios::binary);
         for (std::size_t at = 0, step = contents(2).size() / 20 + 1; at < contents(2).size(); at += step) {
             out << contents(2).substr(at, step) << std::flush;
             std::this_thread::sleep_for(100ms);
         }
     }},
    {"RenamedOver", rename_new_over},
    {"FolderLinkSwapped",  // as a Kubernetes ConfigMap volume is updated
     [](const fs::path& path) {
         fs::create_directory(path.parent_path() / "..v2");
         std::ofstream(path.parent_path() / "..v2" / "app.ini", std::ios::binary) << contents(2);
         fs::create_directory_symlink("..v2", path.parent_path() / "..data_tmp");
         fs::rename(path.parent_path() / "..data_tmp", path.parent_path() / "..data");
         fs::remove_all(path.parent_path() / "..v1");
     },
     nullptr, nullptr, "1", true, false, true},
    {"Deleted", [](const fs::path& path) { fs::remove(path); }, rename_new_over, "it does not exist"},
    {"MadeUnreadable",
     [](const fs::path& path) {
         fs::permissions(path, fs::perms::none);
         fs::last_write_time(path, fs::file_time_type::clock::now() - 1h);  // a change, long settled
     },
     rename_new_over, "it could not be opened", "1", true, true},
    {"RenamedOverWithoutTheSwitch", rename_new_over, nullptr, nullptr, nullptr},
};

class ConfigReload : public LogTest, public testing::WithParamInterface<Change> {};
void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

static bool answers(const std::string& file, const char* version, std::chrono::milliseconds within) {
    for (auto end = std::chrono::steady_clock::now() + within;; std::this_thread::sleep_for(50ms)) {
        if (get(file, 0) == version && get(file, kKeys - 1) == version) return true;
        if (std::chrono::steady_clock::now() > end) return false;
    }
}

TEST_P(ConfigReload, AnswersOldOrNewNeverAMixAndTheLastGoodWhileUnusable) {
    const Change& row = GetParam();
    if (row.posixOnly && fs::path::preferred_separator == '\\') GTEST_SKIP() << "no folder links or modes under Wine";
    if (row.unprivileged && !velm_test::can_drop_privileges())
        GTEST_SKIP() << "not root: no unprivileged child, and root reads a file of any mode";
    auto body = [&row] {  // may run in a child of its own: says what failed on standard error
        velm_test::ScratchDir own;
        for (const char* name : {"VE_TMP_DIR", "VELM_CONFIG"}) velm_test::set_env(name, own.path().c_str());
        if (row.reload) velm_test::set_env("VELM_CONFIG_RELOAD", row.reload);
        VELM_SetLogLevel(2);
        fs::path path = own.file("app.ini");
        if (row.linkedFolder) {  // app.ini -> ..data/app.ini, ..data -> ..v1, written through the links
            fs::create_directory(own.file("..v1"));
            fs::create_directory_symlink("..v1", own.file("..data"));
            fs::create_symlink(fs::path("..data") / "app.ini", path);
        }
        own.write("app.ini", contents(1));
        const std::string file = path.string(), first = get(file, 0);
        std::atomic<bool> stop{false};
        std::vector<std::string> wrong(4);  // per thread: an answer neither old nor new, or old after new
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int n = 0, sawNew = 0; !stop && wrong[t].empty(); ++n) {
                    std::string value = get(file, (n * 7 + t) % kKeys);
                    if (value != "2" && (value != "1" || sawNew)) wrong[t] = value + " at " + std::to_string(n);
                    sawNew |= value == "2";
                }
            });
        row.change(path);
        bool keepsOld = row.repair || !row.reload;  // for a while: the file must be looked at twice
        if (keepsOld) std::this_thread::sleep_for(2500ms);
        std::string failures = first == "1" && (!keepsOld || answers(file, "1", 0ms)) ? "" : "not the old contents; ";
        if (row.repair) row.repair(path);
        if (row.reload && !answers(file, "2", 10s)) failures += "not the new contents; ";
        stop = true;
        for (std::thread& thread : threads) thread.join();
        if (wrong != std::vector<std::string>(4)) failures += "a wrong answer: " + wrong[0] + wrong[1] + "; ";
        std::vector<std::string> expected = {"Cache " + file + " 201 values"};
        if (row.brokenBecause)
            expected.push_back("ERROR: " + file + " could not be read again (" + row.brokenBecause +
                               "); its last good contents stay in use");
        if (row.reload) expected.push_back("Reloaded " + file + " 201 values");
        if (velm_test::session_lines(true) != expected) failures += "other log lines";
        std::cerr << failures;
        return failures.empty() ? 0 : 1;
    };
    int failed = row.unprivileged ? velm_test::run_in_child(body, true) : body();
    EXPECT_EQ(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Changes, ConfigReload, testing::ValuesIn(kChanges),
                         [](const auto& info) { return info.param.name; });

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
    for (int i = 0; i < kFiles; ++i) dir.write(std::to_string(i), "[s]\nk0=" + std::to_string(i) + "\n");
    std::atomic<int> writing{2};
    std::atomic<bool> go{false};
    std::vector<std::vector<std::string>> wrong(6);
    // A section holds its own number or is absent; a file always holds its own.
    auto look_up = [&](int section, int file, std::vector<std::string>& out) {
        char s[16];
        VELM_GetPrivatePreferenceString(std::to_string(section).c_str(), "K", "-", s, 16, "");
        const std::string f = get(dir.file(std::to_string(file)), 0);
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
    for (int i = 0; i < kForks; ++i)
        statuses.push_back(velm_test::run_in_child([] {
            convert_and_delete(kSections);  // hangs if a lock stayed taken
            return VELM_GetProfileInt(std::to_string(kSections - 1).c_str(), "k", -1, "");
        }));
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<std::vector<std::string>>(6));
    EXPECT_EQ(statuses, std::vector<int>(kForks, kSections - 1));
}
