// The file wrappers' results, the copy's folder afterwards, and the read check's log lines.
#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

#include "support/log_fixture.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#endif

using namespace velm_test;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

const std::string kLong(5000, 'p');
const Lines kUntouched = {"fifo=", "old=old", "src=new"}, kReplaced = {"fifo=", "old=new", "src=new"};
const Lines kLinkKept = {"fifo=", "link=", "old=old", "src=new"},
            kLinkFollowed = {"fifo=", "link=", "old=new", "src=new"};

// A FIFO named name in d (on Windows an empty file), and its path.
std::string make_fifo(const ScratchDir& d, const char* name) {
#if !defined(_WIN32)
    if (mkfifo(d.file(name).c_str(), 0600) == 0) return d.file(name);
#endif
    return d.write(name, "");
}

Lines listing(const std::string& folder) {
    Lines names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string() + "=" +
                        (fs::is_regular_file(e.symlink_status()) ? read_file(e.path().string()) : ""));
    std::sort(names.begin(), names.end());
    return names;
}

// The file that path leads to, 0 when none: a replacement by rename shows as a new one.
std::uint64_t inode_of(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A replaced target keeps its identity (and its other names) unless a rename changes nothing else.
TEST(FileWrappers, CopyReplacesTheTargetOnlyWhenAllowedAndWhole) {
    struct {
        const char *rule, *source, *target;
        int flag, result;
        Lines after;
        const char* link = nullptr;  // the target made a second name of this file ("->": a symbolic link)
        int sizeLimit = 0;
        // unprivileged: copied as nobody; stickyLink: the target is nobody's link, which the kernel follows for nobody
        bool renamed = false, unprivileged = false, stickyLink = false;
    } cases[] = {
        {"kept under the flag", "src", "old", 1, -1, kUntouched},
        {"own file: replaced by rename", "src", "old", 0, 0, kReplaced, nullptr, 0, true},
        {"new target", "src", "fresh", 1, 0, {"fifo=", "fresh=new", "old=old", "src=new"}, nullptr, 0, true},
        {"source as target", "src", "src", 0, -1, kUntouched},
        {"directory target", "src", ".", 0, -1, kUntouched},
        {"directory source", ".", "fresh", 0, -1, kUntouched},
        {"missing source", "gone", "fresh", 0, -1, kUntouched},
        {"null source", nullptr, "old", 0, -1, kUntouched},
        {"null target", "src", nullptr, 0, -1, kUntouched},
        {"empty target", "src", "", 0, -1, kUntouched},
        {"long target", "src", kLong.c_str(), 0, -1, kUntouched},
#if !defined(_WIN32)  // nothing waits for a FIFO's peer; only a regular file is replaced; writes past 2 bytes fail
        {"FIFO source", "fifo", "fresh", 0, -1, kUntouched},
        {"FIFO target", "src", "fifo", 0, -1, kUntouched},
        {"unreadable source", "/proc/self/mem", "fresh", 0, -1, kUntouched},
        {"full disk, old target", "src", "old", 0, -1, kUntouched, nullptr, 2},
        {"full disk, new", "src", "fresh", 1, -1, kUntouched, nullptr, 2},
        {"hard link: all names", "src", "alias", 0, 0, {"alias=new", "fifo=", "old=new", "src=new"}, "old"},
        {"symbolic link followed", "src", "link", 0, 0, kLinkFollowed, "->old"},
        {"link to the source", "src", "link", 0, -1, kLinkKept, "->src"},
        {"hard link, full disk", "src", "alias", 0, -1, {"alias=ne", "fifo=", "old=ne", "src=new"}, "old", 2},
        // Last: the rows an ordinary user cannot run.
        {"nobody's target in a folder only root may write", "src", "old", 0, 0, kReplaced, nullptr, 0, false, true},
        {"nobody's link in a sticky folder", "src", "link", 0, -1, kLinkKept, "->old", 0, false, false, true},
#endif
    };
    for (const auto& c : cases) {
        ScratchDir d;
        d.write("src", "new");
        d.write("old", "old");
        make_fifo(d, "fifo");
        auto path = [&](const char* p) { return !p || !*p ? std::string() : *p == '/' ? p : d.file(p); };
        std::string from = path(c.source), to = path(c.target);
        const bool symbolic = c.link && c.link[0] == '-';
        if (symbolic) fs::create_symlink(d.file(c.link + 2), to);
        if (c.link && !symbolic) fs::create_hard_link(d.file(c.link), to);
#if !defined(_WIN32)
        if (c.unprivileged || c.stickyLink) {
            if (!can_drop_privileges()) GTEST_SKIP() << "only root can give nobody files";
            fs::permissions(d.path(), c.stickyLink ? fs::perms::all | fs::perms::sticky_bit : fs::perms(0755));
            ASSERT_EQ(lchown(to.c_str(), getpwnam("nobody")->pw_uid, getpwnam("nobody")->pw_gid), 0);
        }
#endif
        // With fs.protected_symlinks off the kernel follows nobody's link as any other.
        const bool followed = c.stickyLink && read_file("/proc/sys/fs/protected_symlinks") != "1\n";
        const std::uint64_t before = inode_of(to);
        auto copy = [&] {  // in a child whose files may grow to sizeLimit bytes (0: any)
#if !defined(_WIN32)
            rlimit limit = {static_cast<rlim_t>(c.sizeLimit), static_cast<rlim_t>(c.sizeLimit)};
            if (c.sizeLimit) signal(SIGXFSZ, SIG_IGN);
            if (c.sizeLimit) setrlimit(RLIMIT_FSIZE, &limit);
            close(0);  // a host without standard input: the source opens as descriptor 0
#endif
            return VELM_Copy_File(c.source ? from.c_str() : nullptr, c.target ? to.c_str() : nullptr, c.flag) + 1;
        };
        EXPECT_EQ(run_in_child(copy, c.unprivileged) - 1, followed ? 0 : c.result) << c.rule;
        EXPECT_EQ(listing(d.path()), followed ? kLinkFollowed : c.after) << c.rule;  // and no temporary file
        EXPECT_EQ(c.link && fs::is_symlink(to), symbolic) << c.rule;
        const bool identitySeen = fs::path::preferred_separator == '/';  // Windows' stat shows no file's identity
        EXPECT_EQ(inode_of(to) != before, c.renamed && identitySeen) << c.rule;
    }
}

// The rows run in order on the same paths: the folder is created, the file deleted, then a folder made in its place.
TEST(FileWrappers, CreateDeleteAndTestsAnswerZeroOrMinusOne) {
    ScratchDir d;
    const std::string file = d.write("f", "x"), sub = d.file("sub"), gone = d.file("gone/sub"), longer = d.file(kLong);
    const char* const paths[] = {file.c_str(), sub.c_str(), gone.c_str(), "", longer.c_str(), nullptr};
    const char* const kPathNames[] = {"file", "new folder", "under a missing folder", "empty", "too long", "null"};
    const struct {
        const char* call;
        int (*run)(const char*);
        int results[6];
    } kRows[] = {{"create", VELM_Create_Directory, {-1, 0, -1, -1, -1, -1}},
                 {"exists", VELM_Do_File_Exist, {0, 0, -1, -1, -1, -1}},
                 {"readable", VELM_Has_File_Read_Access, {0, 0, -1, -1, -1, -1}},
                 {"writable", VELM_Has_File_Write_Access, {0, 0, -1, -1, -1, -1}},
                 {"delete (files only)", VELM_Delete_File, {0, -1, -1, -1, -1, -1}},
                 {"exists after delete", VELM_Do_File_Exist, {-1, 0, -1, -1, -1, -1}},
                 {"create again (only the first time)", VELM_Create_Directory, {0, -1, -1, -1, -1, -1}}};
    for (const auto& row : kRows)
        for (int i = 0; i < 6; ++i) EXPECT_EQ(row.run(paths[i]), row.results[i]) << row.call << ", " << kPathNames[i];
}

TEST_F(LogTest, CheckFileReadLogsOneReasonOneLevelDeeperThanItsTraceLinesAndFailsOnAFileItMayNotOpen) {
    std::string file = dir.write("f", "x"), gone = dir.file("gone"), folder = dir.path(), fifo = make_fifo(dir, "fifo");
    EXPECT_EQ(VELM_CheckFileRead(file.c_str()), 0);
    EXPECT_EQ(VELM_GetLogFilePath(), nullptr);  // nothing above level 1 to log
    std::vector<std::pair<const char*, std::string>> cases = {
        {file.c_str(), ""},
        {gone.c_str(), "File " + gone + " does not exists."},
        {nullptr, "File (null) does not exists."},
        {folder.c_str(), folder + " is no file but a directory"},
#if !defined(_WIN32)
        {fifo.c_str(), fifo + " is no regular file"},
#endif
    };
    VELM_SetLogLevel(1);
    VELM_IncTraceSpaces();
    VELM_ERROR("opened before the children write\n");
    Lines expected = {"*  opened before the children write"};
    for (const auto& [path, error] : cases) {  // in a child: a FIFO without a writer must not hold the check up
        EXPECT_EQ(run_in_child([&] { return VELM_CheckFileRead(path) == VELM_CHECK_FILE_READ_FAILED; }), !error.empty())
            << error;
        expected.push_back("*   ->CheckFileRead velmtool:684");
        if (!error.empty()) expected.push_back("*    ERROR: " + error);
        expected.push_back("*   <-CheckFileRead velmtool:718");
    }
    EXPECT_EQ(marked(session_lines()), expected);
    if (!can_drop_privileges()) GTEST_SKIP() << "only root can drop its rights to read as another user";
    const std::string secret = dir.write("secret", "x"), readOnly = dir.write("read-only", "x");
    fs::permissions(secret, fs::perms::none);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto check = [&] {  // as nobody: the check's result and the access tests of both files
        std::string report = std::to_string(VELM_CheckFileRead(secret.c_str())) + "\n";
        for (const std::string& p : {secret, readOnly})
            report += std::to_string(VELM_Has_File_Read_Access(p.c_str())) +
                      std::to_string(VELM_Has_File_Write_Access(p.c_str())) + "\n";
        return report;
    };
    EXPECT_EQ(child_report(check, true), std::to_string(VELM_CHECK_FILE_READ_FAILED) + "\n-1-1\n0-1\n");
    EXPECT_EQ(session_lines(true).at(expected.size() + 1),
              "    ERROR: File " + secret + " unable to open for read access");
}
