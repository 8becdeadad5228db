// Input the library cannot use: null formats and names, binary bytes, paths
// that are too long or empty, a directory or an unreadable file where a file
// is expected, and a session log file that cannot be created. Each case runs
// in a process of its own, since the log opens its file once per process.
#include <filesystem>

#include "config/config_fixture.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace velm_test;
using Lines = std::vector<std::string>;

TEST_F(LogTest, EmptyAndOverlongPathsFailAndTheReportIsCut) {
    const std::string longPath = dir.path() + "/" + std::string(5000, 'p'), other = dir.write("f", "x");
    for (const std::string& path : {std::string(), longPath}) {
        const char* p = path.c_str();
        EXPECT_EQ(VELM_Do_File_Exist(p) + VELM_Has_File_Read_Access(p) + VELM_Has_File_Write_Access(p), -3);
        EXPECT_EQ(VELM_Copy_File(other.c_str(), p, 0) + VELM_Copy_File(p, other.c_str(), 0), -2);
        EXPECT_EQ(VELM_Create_Directory(p) + VELM_Delete_File(p), -2);
        EXPECT_EQ(VELM_CheckFileRead(p), 919301);
    }
    EXPECT_EQ(read_file(other), "x");
    Lines lines = session_lines();
    for (std::string& line : lines) line = without_timestamp(line);
    // The report of the long path is cut at the message capacity, line end included.
    EXPECT_EQ(lines, (Lines{"  ERROR: File  does not exists.",
                            "  " + ("ERROR: File " + longPath).substr(0, 1056)}));
}

TEST_F(ConfigTest, UnreadableIniFileAnswersTheDefault) {
    if (!can_drop_privileges()) GTEST_SKIP() << "Wine has no unprivileged user to drop to";
    set_env("VELM_CONFIG", dir.path().c_str());
    const std::string file = dir.write("secret.ini", "[M]\nv=1\n");
    fs::permissions(file, fs::perms::none);
    fs::permissions(dir.path(), fs::perms::all);  // for the child's session log
    EXPECT_EQ(run_unprivileged([&] {
        std::string returned = "GGGG";
        int result = VELM_GetPrivateProfileString("M", "v", "d", &returned[0], 3, file.c_str());
        bool logged = log_lines() == Lines{file + " could not be opened"};
        return result == 0 && returned == "d\0\0G"s && logged ? 0 : 1;
    }), 0);
}

TEST_F(ConfigTest, BinaryBytesAreTextUpToANulAndSectionsOfAnyLengthAreFound) {
    set_env("VELM_CONFIG", dir.path().c_str());
    const std::string s300(300, 's'), name400 = std::string(400, 'c');
    std::string file = dir.write("b.ini", "[M]\nnul=a\0b\nhigh=\xff\x80\nctl=\x01\x1b\n[\xc4]\nk=upper\n"s +
                                              "[\xe4]\nk=lower\n[" + s300 + "]\nk=long\nend=no line end");
    const struct { std::string section; const char* key; std::string value; } rows[] = {
        {"M", "nul", "a"}, {"M", "b", "-"}, {"m", "HIGH", "\xff\x80"}, {"M", "ctl", "\x01\x1b"},
        {"\xe4", "k", "lower"}, {s300, "k", "long"}, {s300, "end", "no line end"}};
    for (const auto& row : rows) {
        char returned[16];
        VELM_GetPrivateProfileString(row.section.c_str(), row.key, "-", returned, 16, file.c_str());
        EXPECT_EQ(returned, row.value) << row.key;
    }
    const char* const values[] = {"k=v\x80"};
    VELM_CreateProfileFromPref(s300.c_str(), 1, values, name400.c_str(), 0);
    char returned[1024];
    VELM_GetIniString(s300.c_str(), "k", returned, "-");
    EXPECT_STREQ(returned, "v\x80");
}

TEST_F(ConfigTest, NullArgumentsOfThePreferenceCacheAnswerTheDefault) {
    const char* const values[] = {"k=v"};
    VELM_CreateProfileFromPref(nullptr, 1, values, "P", 0);  // no section: nothing converted
    VELM_CreateProfileFromPref("S", -1, values, nullptr, 0);
    char returned[1024];
    EXPECT_EQ(VELM_GetPrivatePreferenceString(nullptr, "k", "d", returned, 8, nullptr) +
              VELM_GetPrivatePreferenceString("S", nullptr, "d", returned, 8, nullptr), 2);
    EXPECT_EQ(VELM_GetPrivatePreferenceString("S", "k", "d", nullptr, 8, "x"), 0);
    VELM_GetProfileString(nullptr, nullptr, returned, "dd", nullptr);
    EXPECT_STREQ(returned, "dd");
    VELM_GetProfileString("S", "k", nullptr, "dd", "x");
    EXPECT_EQ(VELM_GetIniInt(nullptr, "k", 5), 5);
    const Lines expected = {"  Add section line:[S]", "Converted 1 values", "Preference cache  with 1 lines",
        "GetProfile: .=dd", "GetProfile: S.k=", "GetProfileInt: .k=5"};
    EXPECT_EQ(log_lines(), expected);
}
