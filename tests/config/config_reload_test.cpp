// Cached INI files that follow their changes on disk, looked up from four threads while they change.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "log/log_fixture.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr bool kWindows = fs::path::preferred_separator == '\\';
constexpr int kKeys = 200;

// Section S with keys k0 to k199, each holding version.
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

// Renames from over to, again while the library holds to open (Windows refuses then).
static void rename_over(const fs::path& from, const fs::path& to) {
    std::error_code error;
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(10ms)) {
        fs::rename(from, to, error);
        if (!error) return;
    }
}

// How the file at path changes from version 1 to version 2; repair makes it readable after a breaking change.
struct Change {
    std::string name;
    void (*change)(const fs::path& path);
    void (*repair)(const fs::path& path);
    const char* brokenBecause;  // the reason the error line gives, or null
    const char* reload = "1";   // VELM_CONFIG_RELOAD, or null (unset)
    bool posixOnly = false, unprivileged = false, linkedFolder = false;
};

static void write_new(const fs::path& path) { std::ofstream(path, std::ios::binary) << contents(2); }
static void rename_new_over(const fs::path& path) {
    write_new(path.string() + ".new");
    rename_over(path.string() + ".new", path);
}

const Change kChanges[] = {
    {"InPlaceSlowly",
     [](const fs::path& path) {  // twenty pieces over two seconds, into the file the library reads
         std::ofstream out(path, std::ios::binary);
         std::string text = contents(2);
         for (std::size_t at = 0; at < text.size(); at += text.size() / 20 + 1, std::this_thread::sleep_for(100ms))
             out << text.substr(at, text.size() / 20 + 1) << std::flush;
     },
     nullptr, nullptr},
    {"RenamedOver", rename_new_over, nullptr, nullptr},
    {"FolderLinkSwapped",  // as a Kubernetes ConfigMap volume is updated
     [](const fs::path& path) {
         fs::path dir = path.parent_path();
         fs::create_directory(dir / "..v2");
         write_new(dir / "..v2" / "app.ini");
         fs::create_directory_symlink("..v2", dir / "..data_tmp");
         fs::rename(dir / "..data_tmp", dir / "..data");
         fs::remove_all(dir / "..v1");
     },
     nullptr, nullptr, "1", true, false, true},
    {"Deleted", [](const fs::path& path) { fs::remove(path); }, write_new, "it does not exist"},
    {"MadeUnreadable",
     [](const fs::path& path) {  // written long ago: nothing to wait for
         write_new(path.string() + ".new");
         fs::last_write_time(path.string() + ".new", fs::file_time_type::clock::now() - 1h);
         fs::permissions(path.string() + ".new", fs::perms::none);
         rename_over(path.string() + ".new", path);
     },
     [](const fs::path& path) { fs::permissions(path, fs::perms::owner_read); }, "it could not be opened", "1", true,
     true},
    {"RenamedOverWithoutTheSwitch", rename_new_over, nullptr, nullptr, nullptr},
};

class ConfigReload : public LogTest, public testing::WithParamInterface<Change> {};
void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

// Failures as bits, told on standard error: the body may run in a child of its own.
static int check(bool good, int bit, const std::string& what) {
    if (!good) std::cerr << what << "\n";
    return good ? 0 : bit;
}

// Whether the first and the last key answer version within the time given.
static bool answers(const std::string& file, const char* version, std::chrono::milliseconds within) {
    for (auto end = std::chrono::steady_clock::now() + within;; std::this_thread::sleep_for(50ms)) {
        if (get(file, 0) == version && get(file, kKeys - 1) == version) return true;
        if (std::chrono::steady_clock::now() > end) return false;
    }
}

TEST_P(ConfigReload, AnswersOldOrNewNeverAMixAndTheLastGoodWhileUnusable) {
    const Change& row = GetParam();
    if (row.posixOnly && kWindows) GTEST_SKIP() << "no folder links or file modes under Wine";
    auto body = [&row] {
        velm_test::ScratchDir own;  // the child's own, where an unprivileged child may write
        velm_test::set_env("VE_TMP_DIR", own.path().c_str());
        velm_test::set_env("VELM_CONFIG", own.path().c_str());
        row.reload ? velm_test::set_env("VELM_CONFIG_RELOAD", row.reload) : velm_test::unset_env("VELM_CONFIG_RELOAD");
        VELM_SetLogLevel(2);
        fs::path path = own.file("app.ini");
        if (row.linkedFolder) {  // app.ini -> ..data/app.ini, ..data -> ..v1
            fs::create_directory(own.file("..v1"));
            own.write("..v1/app.ini", contents(1));
            fs::create_directory_symlink("..v1", own.file("..data"));
            fs::create_symlink(fs::path("..data") / "app.ini", path);
        } else {
            own.write("app.ini", contents(1));
        }
        const std::string file = path.string();
        int failed = check(get(file, 0) == "1", 1, "first read");
        std::atomic<bool> stop{false};
        std::vector<std::string> wrong(4);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                bool sawNew = false;
                for (int n = 0; !stop && wrong[t].empty(); ++n) {
                    std::string value = get(file, (n * 7 + t) % kKeys);
                    if (value != "2" && (value != "1" || sawNew)) wrong[t] = value + " after " + std::to_string(n);
                    sawNew = sawNew || value == "2";
                }
            });
        row.change(path);
        if (row.repair) {
            std::this_thread::sleep_for(2500ms);
            failed |= check(answers(file, "1", 0ms), 2, "the last good contents while unusable");
            row.repair(path);
        }
        if (row.reload) {
            failed |= check(answers(file, "2", 10s), 4, "the new contents");
        } else {
            std::this_thread::sleep_for(3s);
            failed |= check(answers(file, "1", 0ms), 4, "the first contents for ever");
        }
        stop = true;
        for (std::thread& thread : threads) thread.join();
        failed |=
            check(wrong == std::vector<std::string>(4), 8, "an answer neither old nor new: " + wrong[0] + wrong[1]);
        std::vector<std::string> expected = {"Cache " + file + " 201 values"};
        if (row.brokenBecause)
            expected.push_back("ERROR: " + file + " could not be read again (" + row.brokenBecause +
                               "); its last good contents stay in use");
        if (row.reload) expected.push_back("Reloaded " + file + " 201 values");
        failed |= check(velm_test::session_lines(true) == expected, 16, "the session log's lines");
        return failed;
    };
    int failed = row.unprivileged ? velm_test::run_in_child(body, true) : body();
    if (failed == 125) GTEST_SKIP() << "not root: no unprivileged child, and root reads a file of any mode";
    EXPECT_EQ(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Changes, ConfigReload, testing::ValuesIn(kChanges),
                         [](const auto& info) { return info.param.name; });
