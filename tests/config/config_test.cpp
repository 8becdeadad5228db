// The configuration directory, the INI reader and the preference cache; the caches from many threads at once, in
// a child forked amid their use, and cached INI files that follow their changes on disk while threads look them up.
#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/log_fixture.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

const std::string k100(100, 'k'), s300(300, 's');
const char* const kMain[] = {"Mode=fast", "#c=1", "x", nullptr, "Level=3  \r\n", "n=12abc"};

// What a lookup with the default "d" leaves, as "text|result".
static std::string get(const std::string& file, const std::string& section, const std::string& key) {
    char returned[1100];
    int result = VELM_GetPrivateProfileString(section.c_str(), key.c_str(), "d", returned, 1100, file.c_str());
    return std::string(returned) + "|" + std::to_string(result);
}

const std::string kSep(1, std::filesystem::path::preferred_separator), kLong(300, 'p'), kLocalWithSep = "L" + kSep;

const char* const kPathVariables[] = {"VELM_CONFIG", "VELM_LOCAL", "VE_TMP_DIR", "TEMP", "TMP"};
struct Row {
    const char* env[5];  // the variables' values, null where unset
    std::string expected;
};

class ConfigPath : public testing::TestWithParam<Row> {};

void PrintTo(const Row& row, std::ostream* out) {
    for (const char* value : row.env) *out << (value ? value : "(unset)") << " ";
}

class ConfigTest : public LogTest {
    void SetUp() override {
        LogTest::SetUp();
        velm_test::set_env("VELM_CONFIG", dir.path().c_str());
        VELM_SetLogLevel(1);
    }
};

TEST_F(ConfigTest, LinesSectionsAndKeysFollowTheFileFormat) {
    std::string many;  // enough keys after the long one for the section's key table to grow
    for (int i = 0; i < 40; ++i) many += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    std::string sixteen = "[Sixteen]\n";  // as many keys as a first key table has slots
    for (int i = 0; i < 16; ++i) sixteen += "s" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    std::string file = dir.write(
        "a.ini", "[Main]\nMode=fast\na=b=c\nab=\nx=\n  #x=1\n" + k100 + "=cut\n" + many + sixteen +
                     "[Pieces]\nbig=" + std::string(1019, 'v') +
                     "tail=end\n[Bin]\nnul=a\0b\nhigh=\xff\x80\nctl=\x01\x1b\n[\xc4]\nk=upper\n[\xe4]\nk=lower\n"s +
                     std::string(70000, '\n') + "[" + s300 + "]\nk=long\nend=no line end");
    const struct {
        std::string section, key, text;  // text: "d" where nothing is found
    } table[] = {{"mAIN", "MODE", "fast"},   {"Main", "a", "b=c"},
                 {"Main", "ab", ""},         {"Main", "x", "d"},
                 {"Main", "  #x", "1"},      {"Main", k100 + "zz", "cut"},
                 {"Main", "K39", "39"},      {"Pieces", "big", std::string(1019, 'v')},
                 {"Pieces", "tail", "end"},  {"Bin", "nul", "a"},
                 {"Bin", "b", "d"},          {"bin", "HIGH", "\xff\x80"},
                 {"Bin", "ctl", "\x01\x1b"}, {"\xe4", "k", "lower"},
                 {s300, "k", "long"},        {s300, "end", "no line end"},
                 {"Sixteen", "S15", "15"},   {"Sixteen", "missing", "d"}};
    for (const auto& row : table)
        EXPECT_EQ(get(file, row.section, row.key), row.text + "|" + std::to_string(row.text.size()))
            << row.section << "." << row.key;
    for (int i = 40; i < 60; ++i) EXPECT_EQ(get(file, "Main", "k" + std::to_string(i)), "d|1");  // among k10 to k39
    EXPECT_EQ(velm_test::session_lines(true).back(), "Cache " + file + " 77 values");
    if (std::filesystem::path::preferred_separator == '\\') return;  // Windows file calls stop at 260
    const std::string padding = "." + std::string(300, '/');  // two names of over 300 characters differing at the end
    EXPECT_EQ(
        get(dir.write(padding + "a", "[M]\nv=a\n"), "M", "v") + get(dir.write(padding + "b", "[M]\nv=b\n"), "M", "v"),
        "a|1b|1");
}

TEST_F(ConfigTest, ReturnedStaysWithinSizeAndMissingArgumentsAnswerTheDefault) {
    std::string file = dir.write("s.ini", "[M]\nv=abcdef\na=12abc\nb=abc\nc= -17\n");
    const char* f = file.c_str();
    const struct {
        const char *section, *key, *defaultValue, *file;
        unsigned size;
        int result;
        const char* bytes;
    } table[] = {{"m", "v", "zz", f, 4, 3, "abc\0GGGGGGGG"},      {"m", "v", "zz", f, 0, 0, "GGGGGGGGGGGG"},
                 {"m", "no", "ab", f, 6, 2, "ab\0\0\0\0GGGGGG"},  {"m", "no", "abcdef", f, 6, 0, "\0GGGGGGGGGGG"},
                 {"m", "no", nullptr, f, 6, 0, "\0GGGGGGGGGGG"},  {nullptr, "v", "dd", f, 4, 2, "dd\0\0GGGGGGGG"},
                 {"m", nullptr, "dd", f, 4, 2, "dd\0\0GGGGGGGG"}, {"m", "v", "dd", nullptr, 4, 2, "dd\0\0GGGGGGGG"}};
    for (const auto& row : table) {
        std::string returned(12, 'G');
        SCOPED_TRACE(std::string(row.key ? row.key : "(null key)") + " into " + std::to_string(row.size) + " bytes");
        EXPECT_EQ(
            VELM_GetPrivateProfileString(row.section, row.key, row.defaultValue, &returned[0], row.size, row.file),
            row.result);
        EXPECT_EQ(returned, std::string(row.bytes, 12));
    }
    EXPECT_EQ(VELM_GetPrivateProfileString("M", "a", "dd", nullptr, 8, f), 0);
    EXPECT_EQ(VELM_GetPrivateProfileInt("M", "a", 5, f), 12);
    EXPECT_EQ(VELM_GetPrivateProfileInt("M", "b", 5, f), 0);
    EXPECT_EQ(VELM_GetPrivateProfileInt("M", "c", 5, f), -17);
    EXPECT_EQ(VELM_GetPrivateProfileInt("M", "d", INT_MIN, f), INT_MIN);
    EXPECT_EQ(VELM_GetPrivateProfileInt("N", "a", -5, f), -5);
    EXPECT_EQ(velm_test::session_lines(true).size(), 6u);  // the one reading of the file, nothing else
}

TEST_F(ConfigTest, FileIsReadOnceUnlessCachingIsOffAndRetriedUntilUsable) {
    velm_test::unset_env("VELM_CONFIG");
    std::string kept = dir.write("kept.ini", "[M]\nv=old\n"), fresh = dir.file("fresh.ini");
    EXPECT_EQ(get(kept, "M", "v"), "d|0");  // no configuration variable: not even looked for
    velm_test::set_env("VELM_LIBUSER_EXITS_INI", "1");
    EXPECT_EQ(get(kept, "M", "v"), "old|3");
    const std::string failing = "/proc/self/mem";  // opens, then fails at the first read (missing on Windows)
    for (const std::string& unusable : {fresh, fresh, dir.path(), failing, failing})
        EXPECT_EQ(get(unusable, "M", "v"), "d|0");
    dir.write("kept.ini", "[M]\nv=new\n");
    velm_test::set_env("VELM_DISABLE_PROPFILE_CACHE", "1");
    dir.write("fresh.ini", "[M]\nv=old\n");
    EXPECT_EQ(get(fresh, "M", "v"), "old|3");
    dir.write("fresh.ini", "[M]\nv=new\n");
    EXPECT_EQ(get(fresh, "M", "v"), "new|3");
    velm_test::unset_env("VELM_LIBUSER_EXITS_INI");
    EXPECT_EQ(get(kept, "M", "v") + get(fresh, "M", "v"), "old|3d|0");
    velm_test::set_env("VELM_LOCAL", "L");  // alone, it allows reading too
    EXPECT_EQ(get(fresh, "M", "v"), "new|3");
    const std::string noIni = "No ini file used (config path is not defined).\n";
    auto cached = [](const std::string& file, const std::string& value) {  // the log of one reading
        return "  Add line:[M]\n  Add line:v=" + value + "\nCache " + file + " 2 values\n";
    };
    const std::string missing = fresh + " does not exist\n",
                      failed = std::filesystem::exists(failing)
                                   ? "ERROR: reading " + failing + " failed; the file is not cached\n"
                                   : failing + " does not exist\n";
    EXPECT_EQ(velm_test::joined_lines(velm_test::session_lines(true)),
              noIni + cached(kept, "old") + missing + missing + dir.path() + " could not be opened\n" + failed +
                  failed + cached(fresh, "old") + cached(fresh, "new") + noIni + cached(fresh, "new"));
}

TEST_F(ConfigTest, ConversionsKeepQualifyingValuesAndProfileLookupsReadOnlyThem) {
    EXPECT_EQ(VELM_GetProfileInt("Main", "Level", 7, dir.write("p.ini", "[Main]\nLevel=9\n").c_str()), 7);
    VELM_CreateProfileFromPref(nullptr, 6, kMain, "Host", 0);  // no section: nothing converted
    VELM_CreateProfileFromPref("Main", 6, kMain, "Host", 0);
    const char* const again[] = {"Mode=slow", "New=1"};
    VELM_CreateProfileFromPref("mAIN", 2, again, "Other", 0);
    VELM_CreateProfileFromPref("", 3, nullptr, nullptr, 0);
    VELM_CreateProfileFromPref("", 2, again, nullptr, 0);  // "[]" names the section "", which now exists
    VELM_CreateProfileFromPref("S", -1, again, "Other", 0);
    char returned[VELM_RETURNED_SIZE];
    auto lookup = [&](const char* section, const char* key) {  // with the default "-"
        VELM_GetPrivatePreferenceString(section, key, "-", returned, VELM_RETURNED_SIZE, "any");
        return std::string(returned);
    };
    EXPECT_EQ(lookup("main", "MODE") + lookup("Main", "New") + lookup("S", "Mode"), "fast--");
    EXPECT_EQ(VELM_GetPrivatePreferenceString(nullptr, "Mode", "d", returned, 8, nullptr), 1);
    EXPECT_EQ(VELM_GetPrivatePreferenceString("Main", nullptr, "d", returned, 8, nullptr), 1);
    EXPECT_EQ(VELM_GetPrivatePreferenceString("Main", "Mode", "d", nullptr, 8, "x"), 0);
    VELM_GetProfileString("main", "Missing", returned, "abc", "x");
    VELM_GetIniString("main", "mode", returned, nullptr);
    EXPECT_STREQ(returned, "fast");
    VELM_GetIniString("main", "Missing", returned, nullptr);
    VELM_GetProfileString(nullptr, nullptr, returned, "dd", nullptr);
    EXPECT_STREQ(returned, "dd");
    VELM_GetProfileString("main", "mode", nullptr, "dd", "x");
    EXPECT_EQ(VELM_GetProfileInt("main", "LEVEL", 7, "x"), 3);
    EXPECT_EQ(VELM_GetIniInt("Main", "n", 7), 12);
    EXPECT_EQ(VELM_GetIniInt("Main", "Mode", 7), 0);
    EXPECT_EQ(VELM_GetIniInt(nullptr, "n", 5), 5);
    EXPECT_EQ(velm_test::joined_lines(velm_test::session_lines(true)),
              "GetProfileInt: Main.Level=7\n"
              "  Add section line:[Main]\n  Add line:Mode=fast\n  Add line:Level=3\n  Add line:n=12abc\n"
              "Converted 4 values\nPreference cache Host with 4 lines\n"
              "Section mAIN still exists. No values converted\n"
              "  Add section line:[]\nConverted 1 values\nPreference cache  with 5 lines\n"
              "Section  still exists. No values converted\n"
              "  Add section line:[S]\nConverted 1 values\nPreference cache Other with 6 lines\n"
              "GetProfile: main.Missing=abc\nGetProfile: main.mode=fast\nGetProfile: main.Missing=\n"
              "GetProfile: .=dd\nGetProfile: main.mode=\nGetProfileInt: main.LEVEL=3\nGetProfileInt: Main.n=12\n"
              "GetProfileInt: Main.Mode=0\nGetProfileInt: .n=5\n");
}

TEST_P(ConfigPath, FirstCallFollowsThePrecedenceAndLaterCallsRepeatIt) {
    const Row& row = GetParam();
    if (row.env[0] && !*row.env[0] && kSep != "/") GTEST_SKIP() << "Windows cannot set a variable to the empty value";
    velm_test::StdoutCapture out;  // before TEMP changes: the capture needs a temporary file
    for (int i = 0; i < 5; ++i) velm_test::set_env(kPathVariables[i], row.env[i]);
    std::vector<const char*> first(4);
    std::vector<std::thread> callers;
    for (const char*& answer : first) callers.emplace_back([&answer] { answer = VELM_GetCfgPath(); });
    for (std::thread& caller : callers) caller.join();
    velm_test::set_env("VELM_CONFIG", "changed");
    EXPECT_EQ(first, std::vector<const char*>(4, VELM_GetCfgPath()));
    EXPECT_EQ(first[0], row.expected);
    EXPECT_EQ(out.finish(), !row.env[0] && !row.env[1]
                                ? "Warning VELM_LOCAL or VELM_CONFIG not set. Set to:" + row.expected + "\n"
                                : "");
}

INSTANTIATE_TEST_SUITE_P(
    Env, ConfigPath,
    testing::Values(Row{{"C", "L", "V"}, "C"}, Row{{"", "L"}, ""}, Row{{nullptr, "L", "V"}, "L" + kSep + "config"},
                    Row{{nullptr, kLocalWithSep.c_str()}, "L" + kSep + kSep + "config"},
                    Row{{nullptr, nullptr, "V", "T", "X"}, "V"}, Row{{nullptr, nullptr, nullptr, "T", "X"}, "T"},
                    Row{{nullptr, nullptr, nullptr, nullptr, "X"}, "X"}, Row{{}, kSep == "/" ? "/tmp" : "c:\\temp"},
                    Row{{kLong.c_str()}, kLong.substr(0, 260)}, Row{{nullptr, kLong.c_str()}, kLong.substr(0, 260)}));

constexpr int kKeys = 200;

static std::string contents(int version) {
    std::string text = "[S]\n";
    for (int k = 0; k < kKeys; ++k) text += "k" + std::to_string(k) + "=" + std::to_string(version) + "\n";
    return text;
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

static bool answers(const std::string& file, const std::string& version, std::chrono::milliseconds within) {
    for (auto end = std::chrono::steady_clock::now() + within;; std::this_thread::sleep_for(50ms)) {
        if (get(file, "S", "k0") + get(file, "S", "k" + std::to_string(kKeys - 1)) == version + "|1" + version + "|1")
            return true;
        if (std::chrono::steady_clock::now() > end) return false;
    }
}

TEST_P(ConfigReload, AnswersOldOrNewNeverAMixAndTheLastGoodWhileUnusable) {
    const Change& row = GetParam();
    if (row.posixOnly && fs::path::preferred_separator == '\\') GTEST_SKIP() << "no folder links or modes under Wine";
    if (row.unprivileged && !velm_test::can_drop_privileges())
        GTEST_SKIP() << "not root: no unprivileged child, and root reads a file of any mode";
    auto body = [&row] {  // may run in a child of its own: says what failed
        velm_test::ScratchDir own;
        for (const char* name : {"VE_TMP_DIR", "VELM_CONFIG"}) velm_test::set_env(name, own.path().c_str());
        if (row.reload) velm_test::set_env("VELM_CONFIG_RELOAD", row.reload);
        VELM_SetLogLevel(2);
        if (row.linkedFolder) {  // app.ini -> ..data/app.ini, ..data -> ..v1, written through the links
            fs::create_directory(own.file("..v1"));
            fs::create_directory_symlink("..v1", own.file("..data"));
            fs::create_symlink(fs::path("..data") / "app.ini", own.file("app.ini"));
        }
        const std::string file = own.write("app.ini", contents(1)), first = get(file, "S", "k0");
        std::atomic<bool> stop{false};
        std::vector<std::string> wrong(4);  // per thread: an answer neither old nor new, or old after new
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int n = 0, sawNew = 0; !stop && wrong[t].empty(); ++n) {
                    std::string value = get(file, "S", "k" + std::to_string((n * 7 + t) % kKeys));
                    if (value != "2|1" && (value != "1|1" || sawNew)) wrong[t] = value + " at " + std::to_string(n);
                    sawNew |= value == "2|1";
                }
            });
        row.change(file);
        bool keepsOld = row.repair || !row.reload;  // for a while: the file must be looked at twice
        if (keepsOld) std::this_thread::sleep_for(2500ms);
        std::string failures = first == "1|1" && (!keepsOld || answers(file, "1", 0ms)) ? "" : "not the old contents; ";
        if (row.repair) row.repair(file);
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
        return failures;
    };
    EXPECT_EQ(row.unprivileged ? velm_test::child_report(body, true) : body(), "");
}

INSTANTIATE_TEST_SUITE_P(Changes, ConfigReload, testing::ValuesIn(kChanges), testing::PrintToStringParamName());

constexpr int kFiles = 300, kSections = 40;
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
        const std::string f = get(dir.file(std::to_string(file)), "s", "k0"), want = std::to_string(file);
        if ((s != std::string("-") && s != std::to_string(section)) || f != want + "|" + std::to_string(want.size()))
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
