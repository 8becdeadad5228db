// The preference cache, its switch, and the profile lookups that read it.
#include "config/config_fixture.h"

namespace {

const char* const kMain[] = {"Mode=fast", "#c=1", "x", nullptr, "Level=3  \r\n", "n=12abc"};

std::string lookup(const char* section, const char* key) {
    char returned[1100];
    VELM_GetPrivatePreferenceString(section, key, "-", returned, sizeof returned, "any");
    return returned;
}

}  // namespace

TEST_F(ConfigTest, ConversionKeepsQualifyingValuesAndRefusesASecondOne) {
    VELM_CreateProfileFromPref("Main", 6, kMain, "Host", 0);
    const char* const again[] = {"Mode=slow", "New=1"};
    VELM_CreateProfileFromPref("mAIN", 2, again, "Other", 0);
    VELM_CreateProfileFromPref("", 3, nullptr, "Other", 0);
    std::vector<std::string> expected = {
        "  Add section line:[Main]", "  Add line:Mode=fast", "  Add line:Level=3",
        "  Add line:n=12abc", "Converted 4 values", "Preference cache Host with 4 lines",
        "Section mAIN still exists. No values converted", "  Add section line:[]",
        "Converted 1 values", "Preference cache Other with 5 lines"};
    EXPECT_EQ(log_lines(), expected);
    EXPECT_EQ(lookup("main", "MODE") + lookup("Main", "New"), "fast-");
}

TEST_F(ConfigTest, DisabledCacheIsRebuiltUnlessKeptAndCanBeDeleted) {
    char returned[8];
    EXPECT_EQ(VELM_GetPrivatePreferenceString("A", "a", "dflt", returned, 8, nullptr) +
              VELM_GetPrivatePreferenceString("A", "a", "12345678", returned, 8, ""), 4);
    std::string longValue = "k=" + std::string(1100, 'v');
    const char* const a[] = {"a=1"};
    const char* const b[] = {"b=2", longValue.c_str(), "[C]"};
    VELM_CreateProfileFromPref("A", 1, a, "P", 0);
    VELM_DeletePrefProfile();  // only a disabled cache can be deleted
    EXPECT_EQ(lookup("A", "a"), "1");
    VELM_SetDisableLocPrefCache(2);
    EXPECT_EQ(VELM_IsLocPrefCacheDisabled(), 2);
    VELM_CreateProfileFromPref("B", 3, b, "P", 0);
    EXPECT_EQ(lookup("A", "a") + lookup("B", "k"), "-" + std::string(1022, 'v'));
    VELM_CreateProfileFromPref("A", 1, a, "P", 1);
    VELM_CreateProfileFromPref("C", 1, a, "P", 1);  // "[C]" stands among B's values
    EXPECT_EQ(lookup("B", "b") + lookup("A", "a") + lookup("C", "a"), "21-");
    VELM_DeletePrefProfile();
    EXPECT_EQ(lookup("B", "b"), "-");
    const std::string s300(300, 's'), name400(400, 'c'), binary = "k=v\x80";  // beyond the fixed fields
    VELM_CreateProfileFromPref(s300.c_str(), 1, std::vector<const char*>{binary.c_str()}.data(), name400.c_str(), 0);
    EXPECT_EQ(lookup(s300.c_str(), "k"), "v\x80");
}

TEST_F(ConfigTest, NullArgumentsAnswerTheDefault) {
    const char* const values[] = {"k=v"};
    VELM_CreateProfileFromPref(nullptr, 1, values, "P", 0);  // no section: nothing converted
    VELM_CreateProfileFromPref("S", -1, values, nullptr, 0);
    char returned[1024];
    EXPECT_EQ(VELM_GetPrivatePreferenceString(nullptr, "k", "d", returned, 8, nullptr) +
              VELM_GetPrivatePreferenceString("S", nullptr, "d", returned, 8, nullptr) +
              VELM_GetPrivatePreferenceString("S", "k", "d", nullptr, 8, "x"), 2);
    VELM_GetProfileString(nullptr, nullptr, returned, "dd", nullptr);
    EXPECT_STREQ(returned, "dd");
    VELM_GetProfileString("S", "k", nullptr, "dd", "x");
    EXPECT_EQ(VELM_GetIniInt(nullptr, "k", 5), 5);
    const std::vector<std::string> expected = {"  Add section line:[S]", "Converted 1 values",
        "Preference cache  with 1 lines", "GetProfile: .=dd", "GetProfile: S.k=", "GetProfileInt: .k=5"};
    EXPECT_EQ(log_lines(), expected);
}

TEST_F(ConfigTest, ProfileLookupsReadOnlyThePreferenceCacheAndLogWhatTheyFound) {
    velm_test::set_env("VELM_CONFIG", dir.path().c_str());
    std::string file = dir.write("p.ini", "[Main]\nLevel=9\n");
    EXPECT_EQ(VELM_GetProfileInt("Main", "Level", 7, file.c_str()), 7);
    VELM_CreateProfileFromPref("Main", 6, kMain, "Host", 0);
    char returned[1024];
    VELM_GetProfileString("main", "Missing", returned, "abc", "x");
    VELM_GetIniString("main", "mode", returned, nullptr);
    EXPECT_STREQ(returned, "fast");
    VELM_GetIniString("main", "Missing", returned, nullptr);
    const std::vector<int> numbers = {VELM_GetProfileInt("main", "LEVEL", 7, "x"), VELM_GetIniInt("Main", "n", 7),
                                      VELM_GetIniInt("Main", "Mode", 7)};
    EXPECT_EQ(numbers, (std::vector<int>{3, 12, 0}));
    std::vector<std::string> log = log_lines(), tail(log.end() - 6, log.end());
    std::vector<std::string> expected = {
        "GetProfile: main.Missing=abc", "GetProfile: main.mode=fast", "GetProfile: main.Missing=",
        "GetProfileInt: main.LEVEL=3", "GetProfileInt: Main.n=12", "GetProfileInt: Main.Mode=0"};
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(log.front(), "GetProfileInt: Main.Level=7");
}
