// The file wrappers' results and the read check's log lines.
#include <filesystem>

#include "log/log_fixture.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using namespace velm_test;
using Lines = std::vector<std::string>;

TEST(FileWrappers, CopyReplacesTheTargetOnlyWhenAllowedAndWhole) {
    struct { const char *source, *target; int flag, result; const char* after; } cases[] = {
        // In a folder holding "src" ("new") and "old"; after: the target's bytes ("?" unchecked).
        {"src", "old", 1, -1, "old"}, {"src", "old", 0, 0, "new"}, {"src", "src", 0, -1, "new"},
        {"src", "fresh", 1, 0, "new"}, {"src", ".", 0, -1, "?"}, {".", "fresh", 0, -1, "none"},
        {"gone", "fresh", 0, -1, "none"}, {nullptr, "old", 0, -1, "old"}, {"src", nullptr, 0, -1, "?"},
#if !defined(_WIN32)  // nothing waits for a FIFO's peer; a read error or a full disk fails
        {"fifo", "fresh", 0, -1, "none"}, {"src", "fifo", 0, -1, "?"},
        {"/proc/self/mem", "fresh", 0, -1, "none"}, {"src", "/dev/full", 0, -1, "?"},
#endif
    };
    for (const auto& c : cases) {
        ScratchDir d;
        d.write("src", "new"), d.write("old", "old");
#if !defined(_WIN32)
        mkfifo(d.file("fifo").c_str(), 0600);
#endif
        auto path = [&](const char* p) { return !p ? "" : *p == '/' ? p : d.file(p); };
        std::string from = path(c.source), to = path(c.target);
        const char* arg[] = {c.source ? from.c_str() : nullptr, c.target ? to.c_str() : nullptr};
        EXPECT_EQ(VELM_Copy_File(arg[0], arg[1], c.flag), c.result) << from << " " << to;
        if (*c.after == '?') continue;
        EXPECT_EQ(file_exists(to) ? read_file(to) : "none", c.after) << from << " " << to;
    }
}

TEST(FileWrappers, CreateDeleteAndTestsAnswerZeroOrMinusOne) {
    ScratchDir d;
    std::string file = d.write("f", "x"), sub = d.file("sub"), gone = d.file("gone/sub");
    for (auto test : {VELM_Do_File_Exist, VELM_Has_File_Read_Access, VELM_Has_File_Write_Access})
        EXPECT_EQ((std::vector<int>{test(file.c_str()), test(gone.c_str()), test(nullptr)}),
                  (std::vector<int>{0, -1, -1}));
    EXPECT_EQ(VELM_Create_Directory(sub.c_str()), 0);
    for (const std::string& p : {sub, file, gone}) EXPECT_EQ(VELM_Create_Directory(p.c_str()), -1);
    EXPECT_EQ(VELM_Create_Directory(nullptr) + VELM_Delete_File(nullptr), -2);
    EXPECT_EQ(VELM_Delete_File(sub.c_str()), -1);
    EXPECT_EQ(VELM_Do_File_Exist(sub.c_str()), 0);
    EXPECT_EQ(VELM_Delete_File(file.c_str()), 0);
    EXPECT_EQ(VELM_Delete_File(file.c_str()), -1);
}

// The session lines without timestamps; each line must have had one.
Lines stamped_lines() {
    Lines lines = session_lines();
    for (std::string& line : lines) {
        EXPECT_TRUE(has_timestamp_at(line, line.find_first_not_of(' '))) << line;
        line = without_timestamp(line);
    }
    return lines;
}

TEST_F(LogTest, CheckFileReadLogsOneReasonOneLevelDeeperThanItsTraceLines) {
    std::string file = dir.write("f", "x"), gone = dir.file("gone"), folder = dir.path();
    EXPECT_EQ(VELM_CheckFileRead(file.c_str()), 0);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // nothing above level 1 to log
    std::vector<std::pair<const char*, std::string>> cases = {
        {file.c_str(), ""}, {gone.c_str(), "File " + gone + " does not exists."},
        {nullptr, "File (null) does not exists."},
        {folder.c_str(), folder + " is no file but a directory"},
#if !defined(_WIN32)
        {"/dev/null", "/dev/null is no regular file"},
#endif
    };
    VELM_SetLogLevel(1);
    VELM_IncTraceSpaces();
    Lines expected;
    for (const auto& [path, error] : cases) {
        EXPECT_EQ(VELM_CheckFileRead(path), error.empty() ? 0 : 919301) << error;
        expected.push_back("   ->CheckFileRead velmtool:684");
        if (!error.empty()) expected.push_back("    ERROR: " + error);
        expected.push_back("   <-CheckFileRead velmtool:718");
    }
    VELM_ERROR("depth unchanged\n");
    expected.push_back("  depth unchanged");
    EXPECT_EQ(stamped_lines(), expected);
}

TEST_F(LogTest, CheckFileReadFailsOnAFileItMayNotOpen) {
    if (!can_drop_privileges()) GTEST_SKIP() << "Wine has no unprivileged user to drop to";
    const std::string file = dir.write("secret", "x");
    const char* path = file.c_str();
    std::filesystem::permissions(file, std::filesystem::perms::none);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);  // for the child's log
    EXPECT_EQ(run_unprivileged([&] {
        if (VELM_Has_File_Read_Access(path) + VELM_Has_File_Write_Access(path) != -2) return 1;
        if (VELM_CheckFileRead(path) != 919301) return 2;
        return stamped_lines() == Lines{"  ERROR: File " + file + " unable to open for read access"}
                   ? 0 : 3;
    }), 0);
}
