// Windows implementation of the platform layer (MinGW-w64 and the system's C
// runtime).
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

namespace velm::platform {

char path_separator() { return '\\'; }

int process_id() { return ::_getpid(); }

const char* get_env(const char* name) { return std::getenv(name); }

std::int64_t now() { return static_cast<std::int64_t>(::_time64(nullptr)); }

bool utc_time(std::int64_t t, std::tm& out) {
    __time64_t tt = t;
    return ::_gmtime64_s(&out, &tt) == 0;
}

bool local_time(std::int64_t t, std::tm& out) {
    __time64_t tt = t;
    return ::_localtime64_s(&out, &tt) == 0;
}

void fallback_log_directory(char* out, std::size_t size) {
    const char* root = get_env("SystemRoot");
    if (root) {
        std::snprintf(out, size, "%s\\temp", root);
    } else {
        std::snprintf(out, size, "%s", "c:\\temp");
    }
}

const char* fallback_config_directory() { return "c:\\temp"; }

int open_session_file(const char* path, char* reason, std::size_t reasonSize) {
    // Appended to, never truncated: an earlier run with the same pid keeps its
    // lines. Text mode gives every line the CR LF that Windows tools expect;
    // not inherited by child processes.
    int fd = ::_open(path, _O_WRONLY | _O_CREAT | _O_APPEND | _O_TEXT | _O_NOINHERIT,
                     _S_IREAD | _S_IWRITE);
    if (fd < 0) std::snprintf(reason, reasonSize, "%s", std::strerror(errno));
    return fd;
}

std::size_t write_session_file(int file, const char* data, std::size_t size) {
    int n = ::_write(file, data, static_cast<unsigned>(size));
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

bool write_stdout(const char* data, std::size_t size) {
    std::fflush(stdout);
    return ::_write(::_fileno(stdout), data, static_cast<unsigned>(size)) ==
           static_cast<int>(size);
}

void on_fork(void (*)(), void (*)(), void (*)()) {}

std::FILE* open_for_reading(const char* path) {
    // Windows refuses to open a directory by itself; binary keeps carriage
    // returns and a Ctrl-Z byte as they are, as on Linux.
    return std::fopen(path, "rbN");
}

FileKind file_kind(const char* path) {
    struct _stat64i32 st;
    if (::_stat64i32(path, &st) != 0) return FileKind::missing;
    if (st.st_mode & 0x8000) return FileKind::regular;
    if (st.st_mode & 0x4000) return FileKind::directory;
    return FileKind::other;
}

bool copy_file(const char* source, const char* target, bool failIfExists) {
    return ::CopyFileA(source, target, failIfExists ? TRUE : FALSE) != 0;
}

bool create_directory(const char* path) { return ::CreateDirectoryA(path, nullptr) != 0; }

bool delete_file(const char* path) { return ::DeleteFileA(path) != 0; }

int access(const char* path, Access mode) {
    int how = mode == Access::read ? 4 : mode == Access::write ? 2 : 0;
    return ::_access(path, how) == 0 ? 0 : -1;
}

}  // namespace velm::platform
