// What the platform's reading open makes of each kind of file; it never waits.
#include <gtest/gtest.h>

#include "files/in_child.h"
#include "platform/platform.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using velm::platform::FileKind;

TEST(OpenForReading, OpensRegularFilesOnlyAndTellsWhatItFound) {
    std::string folder = testing::TempDir() + "open_for_reading", file = folder + "/f", fifo = folder + "/fifo";
    std::string gone = folder + "/gone";
    velm::platform::create_directory(folder.c_str());
    std::fclose(std::fopen(file.c_str(), "w"));
    struct { const char *rule, *path; FileKind kind; } rows[] = {
        {"a regular file opens", file.c_str(), FileKind::regular},
        {"a directory does not", folder.c_str(), FileKind::directory},
        {"nor a missing path", gone.c_str(), FileKind::missing},
#if !defined(_WIN32)
        {"nor a device", "/dev/null", FileKind::other}, {"nor a FIFO, at once", fifo.c_str(), FileKind::other},
#endif
    };
#if !defined(_WIN32)
    mkfifo(fifo.c_str(), 0600);
#endif
    for (const auto& row : rows) {
        int seen = in_child([&] {
            FileKind kind = FileKind::missing;
            std::FILE* opened = velm::platform::open_for_reading(row.path, kind);
            std::FILE* plain = velm::platform::open_for_reading(row.path);
            bool both = opened && plain;
            if (opened) std::fclose(opened);
            if (plain) std::fclose(plain);
            return static_cast<int>(kind) * 2 + both;
        });
        EXPECT_EQ(seen, static_cast<int>(row.kind) * 2 + (row.kind == FileKind::regular)) << row.rule;
    }
    std::remove(fifo.c_str()), std::remove(file.c_str()), std::remove(folder.c_str());
}
