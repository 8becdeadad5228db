// The file utilities: one platform call per wrapper, and the read check that
// logs why a file cannot be read.
#include <cstdio>

#include "log/trace_bracket.h"
#include "platform/platform.h"
#include "velm_basetool.h"

namespace velm::files {

namespace {

// The read check's report for each kind of path it cannot read, in the order
// of platform::FileKind.
constexpr const char* kRefusals[] = {
    "ERROR: File %s does not exists.\n",                // missing
    "ERROR: File %s unable to open for read access\n",  // a regular file that will not open
    "ERROR: %s is no file but a directory\n",           // directory
    "ERROR: %s is no regular file\n",                   // FIFO, device, ...
};

// The wrappers' result for a platform call's success.
int result_of(bool succeeded) { return succeeded ? 0 : -1; }

// The access tests answer "no" to a missing path argument like to a missing
// file.
int test_access(const char* path, platform::Access mode) { return path ? platform::access(path, mode) : -1; }

// Classifies path by what opening it for reading finds, logs the one reason
// it cannot be read, if any, and gives the check's result. The file is
// closed at once: nothing is read. A null path is reported as a path that
// does not exist, with a printable stand-in for it.
int check_readable(const char* path) {
    platform::FileKind kind = platform::FileKind::missing;
    std::FILE* file = path ? platform::open_for_reading(path, kind) : nullptr;
    if (file) {
        std::fclose(file);
        return 0;
    }
    const char* shown = path ? path : "(null)";
    VELM_ERROR(kRefusals[static_cast<int>(kind)], shown);
    return VELM_CHECK_FILE_READ_FAILED;
}

}  // namespace

}  // namespace velm::files

using namespace velm::files;
using velm::platform::Access;

extern "C" {

int VELM_Copy_File(const char* source, const char* target, int failIfExists) {
    if (!source || !target) return -1;
    return result_of(velm::platform::copy_file(source, target, failIfExists != 0));
}

int VELM_Create_Directory(const char* path) { return path ? result_of(velm::platform::create_directory(path)) : -1; }

int VELM_Delete_File(const char* path) { return path ? result_of(velm::platform::delete_file(path)) : -1; }

int VELM_Do_File_Exist(const char* path) { return test_access(path, Access::exists); }

int VELM_Has_File_Read_Access(const char* path) { return test_access(path, Access::read); }

int VELM_Has_File_Write_Access(const char* path) { return test_access(path, Access::write); }

int VELM_CheckFileRead(const char* path) {
    // The bracket names the check as the library always has in its traces.
    velm::log::trace_enter("CheckFileRead", "velmtool", 684);
    int result = check_readable(path);
    velm::log::trace_leave("CheckFileRead", "velmtool", 718);
    return result;
}

}  // extern "C"
