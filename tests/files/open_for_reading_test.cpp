// The platform's reading open opens regular files only, tells what it found, and never waits.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "files/in_child.h"
#include "platform/platform.h"

using velm::platform::FileKind;

TEST(OpenForReading, OpensRegularFilesOnlyAndTellsWhatItFound) {
    std::string dir = testing::TempDir() + "open_for_reading", file = dir + "/f", gone = dir + "/gone", fifo = dir + "/p";
    velm::platform::create_directory(dir.c_str());
    std::fclose(std::fopen(file.c_str(), "w"));
    std::vector<std::pair<std::string, FileKind>> rows = {{file, FileKind::regular}, {dir, FileKind::directory},
        {gone, FileKind::missing}, {"/dev/null", FileKind::other}, {fifo, FileKind::other}};  // a FIFO at once
#if defined(_WIN32)
    rows.resize(3);  // neither devices nor FIFOs
#else
    mkfifo(fifo.c_str(), 0600);
#endif
    for (const auto& [path, kind] : rows) {
        EXPECT_EQ(in_child([&] {
            FileKind found = FileKind::missing;
            std::FILE *opened = velm::platform::open_for_reading(path.c_str(), found), *plain = velm::platform::open_for_reading(path.c_str());
            return static_cast<int>(found) * 4 + !!opened * 2 + !!plain;
        }), static_cast<int>(kind) * 4 + (kind == FileKind::regular) * 3) << path;
    }
    std::remove(file.c_str()), std::remove(fifo.c_str()), std::remove(dir.c_str());
}
