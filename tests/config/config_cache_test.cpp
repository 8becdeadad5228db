// The configuration directory, the INI reader and the preference cache.
#include <climits>
#include <filesystem>
#include <thread>

#include "support/log_fixture.h"

using velm_test::set_env;
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

// env: VELM_CONFIG, VELM_LOCAL, VE_TMP_DIR, TEMP, TMP (null: unset)
struct Row {
    const char* env[5];
    std::string expected;
};

class ConfigPath : public testing::TestWithParam<Row> {};

// Starts with the scratch folder as the configuration folder, with every debug line in the session log.
class ConfigTest : public LogTest {
    void SetUp() override {
        LogTest::SetUp();
        set_env("VELM_CONFIG", dir.path().c_str());
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
    const std::string padding(300, '/');  // two names of over 300 characters that differ only at their end
    EXPECT_EQ(
        get(dir.write(padding + "a", "[M]\nv=a\n"), "M", "v") + get(dir.write(padding + "b", "[M]\nv=b\n"), "M", "v"),
        "a|1b|1");
}

TEST_F(ConfigTest, ReturnedStaysWithinSizeAndMissingArgumentsAnswerTheDefault) {
    std::string file = dir.write("s.ini", "[M]\nv=abcdef\na=12abc\nb=abc\nc= 7\n");
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
    EXPECT_EQ(VELM_GetPrivateProfileInt("M", "c", 5, f), 7);
    EXPECT_EQ(VELM_GetPrivateProfileInt("M", "d", INT_MIN, f), INT_MIN);
    EXPECT_EQ(VELM_GetPrivateProfileInt("N", "a", -5, f), -5);
    EXPECT_EQ(velm_test::session_lines(true).size(), 6u);  // the one reading of the file, nothing else
}

TEST_F(ConfigTest, FileIsReadOnceUnlessCachingIsOffAndRetriedUntilUsable) {
    velm_test::unset_env("VELM_CONFIG");
    std::string kept = dir.write("kept.ini", "[M]\nv=old\n"), fresh = dir.file("fresh.ini");
    EXPECT_EQ(get(kept, "M", "v"), "d|0");  // no configuration variable: not even looked for
    set_env("VELM_LIBUSER_EXITS_INI", "1");
    EXPECT_EQ(get(kept, "M", "v"), "old|3");
    const std::string failing = "/proc/self/mem";  // opens, then fails at the first read (missing on Windows)
    for (const std::string& unusable : {fresh, fresh, dir.path(), failing, failing})
        EXPECT_EQ(get(unusable, "M", "v"), "d|0");
    dir.write("kept.ini", "[M]\nv=new\n");
    set_env("VELM_DISABLE_PROPFILE_CACHE", "1");
    dir.write("fresh.ini", "[M]\nv=old\n");
    EXPECT_EQ(get(fresh, "M", "v"), "old|3");
    dir.write("fresh.ini", "[M]\nv=new\n");
    EXPECT_EQ(get(fresh, "M", "v"), "new|3");
    velm_test::unset_env("VELM_LIBUSER_EXITS_INI");
    EXPECT_EQ(get(kept, "M", "v") + get(fresh, "M", "v"), "old|3d|0");
    set_env("VELM_LOCAL", "L");  // alone, it allows reading too
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
              "  Add section line:[S]\nConverted 1 values\nPreference cache Other with 6 lines\n"
              "GetProfile: main.Missing=abc\nGetProfile: main.mode=fast\nGetProfile: main.Missing=\n"
              "GetProfile: .=dd\nGetProfile: main.mode=\nGetProfileInt: main.LEVEL=3\nGetProfileInt: Main.n=12\n"
              "GetProfileInt: Main.Mode=0\nGetProfileInt: .n=5\n");
}

TEST_P(ConfigPath, FirstCallFollowsThePrecedenceAndLaterCallsRepeatIt) {
    const Row& row = GetParam();
    if (row.env[0] && !*row.env[0] && kSep != "/") GTEST_SKIP() << "Windows cannot set a variable to the empty value";
    velm_test::StdoutCapture out;  // before TEMP changes: the capture needs a temporary file
    const char* names[] = {"VELM_CONFIG", "VELM_LOCAL", "VE_TMP_DIR", "TEMP", "TMP"};
    for (int i = 0; i < 5; ++i) velm_test::set_env(names[i], row.env[i]);
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
