// The file wrappers' results and the read check's log lines.
#include <algorithm>
#include <filesystem>

#include "files/in_child.h"
#include "log/log_fixture.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace velm_test;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

// A folder holding "src" ("new"), "old" ("old") and "fifo", a FIFO but on Windows.
struct CopyFolder : ScratchDir {
    CopyFolder() {
        write("src", "new"), write("old", "old");
#if defined(_WIN32)
        write("fifo", "");
#else
        mkfifo(file("fifo").c_str(), 0600);
#endif
    }
    // The names in the folder with each file's bytes.
    Lines listing() const {
        Lines names;
        for (const auto& e : fs::directory_iterator(path()))
            names.push_back(e.path().filename().string() + "=" + (e.is_regular_file() ? read_file(e.path().string()) : ""));
        std::sort(names.begin(), names.end());
        return names;
    }
};
const Lines kUntouched = {"fifo=", "old=old", "src=new"};
const std::string kLong(5000, 'p');

TEST(FileWrappers, CopyReplacesTheTargetOnlyWhenAllowedAndWhole) {
    struct { const char *rule, *source, *target; int flag, result; Lines after; } cases[] = {
        {"kept under the flag", "src", "old", 1, -1, kUntouched},
        {"replaced without it", "src", "old", 0, 0, {"fifo=", "old=new", "src=new"}},
        {"new target", "src", "fresh", 1, 0, {"fifo=", "fresh=new", "old=old", "src=new"}},
        {"source as target", "src", "src", 0, -1, kUntouched},
        {"directory target", "src", ".", 0, -1, kUntouched}, {"directory source", ".", "fresh", 0, -1, kUntouched},
        {"missing source", "gone", "fresh", 0, -1, kUntouched}, {"null source", nullptr, "old", 0, -1, kUntouched},
        {"null target", "src", nullptr, 0, -1, kUntouched}, {"empty target", "src", "", 0, -1, kUntouched},
        {"empty source", "", "old", 0, -1, kUntouched}, {"long target", "src", kLong.c_str(), 0, -1, kUntouched},
#if !defined(_WIN32)  // nothing waits for a FIFO's peer; only a regular file is replaced
        {"FIFO source", "fifo", "fresh", 0, -1, kUntouched}, {"FIFO target", "src", "fifo", 0, -1, kUntouched},
        {"unreadable source", "/proc/self/mem", "fresh", 0, -1, kUntouched},
        {"device target", "src", "/dev/full", 0, -1, kUntouched},
#endif
    };
    for (const auto& c : cases) {
        CopyFolder d;
        auto path = [&](const char* p) { return !p || !*p ? std::string() : *p == '/' ? p : d.file(p); };
        std::string from = path(c.source), to = path(c.target);
        const char* arg[] = {c.source ? from.c_str() : nullptr, c.target ? to.c_str() : nullptr};
        EXPECT_EQ(in_child([&] { return VELM_Copy_File(arg[0], arg[1], c.flag) + 1; }), c.result + 1) << c.rule;
        EXPECT_EQ(d.listing(), c.after) << c.rule;
    }
}

#if !defined(_WIN32)
TEST(FileWrappers, ACopyThatFailsMidwayKeepsTheTargetAndLeavesNoFileBehind) {
    for (bool flag : {false, true}) {
        CopyFolder d;
        std::string big = d.write("big", std::string(100000, 'b')), old = d.file("old");
        // The file size limit makes every write past 1000 bytes fail, as a full disk does.
        EXPECT_EQ(in_child([&] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit = {1000, 1000};
            setrlimit(RLIMIT_FSIZE, &limit);
            return VELM_Copy_File(big.c_str(), old.c_str(), 0) + VELM_Copy_File(big.c_str(), d.file("fresh").c_str(), flag) + 2;
        }), 0);
        EXPECT_EQ(d.listing(), (Lines{"big=" + std::string(100000, 'b'), "fifo=", "old=old", "src=new"}));
    }
}
#endif

TEST(FileWrappers, CreateDeleteAndTestsAnswerZeroOrMinusOne) {
    ScratchDir d;
    std::string file = d.write("f", "x"), sub = d.file("sub"), gone = d.file("gone/sub"), longer = d.file(kLong);
    using Test = int (*)(const char*);
    for (Test test : {VELM_Do_File_Exist, VELM_Has_File_Read_Access, VELM_Has_File_Write_Access, VELM_Delete_File})
        EXPECT_EQ((std::vector<int>{test(gone.c_str()), test(""), test(longer.c_str()), test(nullptr)}),
                  (std::vector<int>{-1, -1, -1, -1}));
    std::vector<int> results;
    for (const char* p : std::initializer_list<const char*>{sub.c_str(), sub.c_str(), file.c_str(), gone.c_str(), "", longer.c_str(), nullptr})
        results.push_back(VELM_Create_Directory(p));
    for (Test test : {VELM_Do_File_Exist, VELM_Has_File_Read_Access, VELM_Has_File_Write_Access,
                      VELM_Delete_File, VELM_Do_File_Exist})
        results.push_back(test(file.c_str())), results.push_back(test(sub.c_str()));
    EXPECT_EQ(results, (std::vector<int>{0, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, -1, -1, 0}));
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
    std::string file = dir.write("f", "x"), gone = dir.file("gone"), folder = dir.path(), fifo = dir.file("fifo");
    std::string longer = dir.file(kLong);
    EXPECT_EQ(VELM_CheckFileRead(file.c_str()), 0);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // nothing above level 1 to log
    std::vector<std::pair<const char*, std::string>> cases = {
        {file.c_str(), ""}, {gone.c_str(), "File " + gone + " does not exists."},
        {nullptr, "File (null) does not exists."}, {"", "File  does not exists."},
        {folder.c_str(), folder + " is no file but a directory"},
#if !defined(_WIN32)
        {"/dev/null", "/dev/null is no regular file"}, {fifo.c_str(), fifo + " is no regular file"},
#endif
    };
#if !defined(_WIN32)
    mkfifo(fifo.c_str(), 0600);
#endif
    VELM_SetLogLevel(1);
    VELM_IncTraceSpaces();
    VELM_ERROR("log opened before the children write to it\n");
    Lines expected = {"  log opened before the children write to it"};
    for (const auto& [path, error] : cases) {
        // In a child: a FIFO without a writer must not hold the check up.
        EXPECT_EQ(in_child([&] { return VELM_CheckFileRead(path) == 919301; }), !error.empty()) << error;
        expected.push_back("   ->CheckFileRead velmtool:684");
        if (!error.empty()) expected.push_back("    ERROR: " + error);
        expected.push_back("   <-CheckFileRead velmtool:718");
    }
    VELM_ERROR("depth unchanged\n");
    expected.push_back("  depth unchanged");
    EXPECT_EQ(stamped_lines(), expected);
    EXPECT_EQ(VELM_CheckFileRead(longer.c_str()), 919301);  // its report is the log's to cut
}

TEST_F(LogTest, CheckFileReadFailsOnAFileItMayNotOpen) {
    if (!can_drop_privileges()) GTEST_SKIP() << "Wine has no unprivileged user to drop to";
    const std::string file = dir.write("secret", "x");
    const char* path = file.c_str();
    std::filesystem::permissions(file, std::filesystem::perms::none);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);  // for the child's log
    EXPECT_EQ(run_unprivileged([&] {
        if (VELM_Has_File_Read_Access(path) != -1 || VELM_Has_File_Write_Access(path) != -1) return 1;
        if (VELM_CheckFileRead(path) != 919301) return 2;
        return stamped_lines() == Lines{"  ERROR: File " + file + " unable to open for read access"}
                   ? 0 : 3;
    }), 0);
}
