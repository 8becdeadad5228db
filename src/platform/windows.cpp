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
    int fd = ::_open(path, _O_WRONLY | _O_CREAT | _O_APPEND | _O_TEXT | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) std::snprintf(reason, reasonSize, "%s", std::strerror(errno));
    return fd;
}

std::size_t write_session_file(int file, const char* data, std::size_t size) {
    int n = ::_write(file, data, static_cast<unsigned>(size));
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

void close_session_file(int file) { ::_close(file); }

bool write_stdout(const char* data, std::size_t size) {
    std::fflush(stdout);
    return ::_write(::_fileno(stdout), data, static_cast<unsigned>(size)) == static_cast<int>(size);
}

void on_fork(void (*)(), void (*)(), void (*)()) {}

namespace {

FileKind file_kind(const char* path) {
    struct _stat64i32 st;
    if (::_stat64i32(path, &st) != 0) return FileKind::missing;
    if (st.st_mode & 0x8000) return FileKind::regular;
    if (st.st_mode & 0x4000) return FileKind::directory;
    return FileKind::other;
}

}  // namespace

std::FILE* open_for_reading(const char* path, FileKind& kind) {
    // A file open for reading cannot be swapped on Windows, and nothing here
    // waits on opening: the status query comes first. Text mode, as Windows
    // hosts write their INI files: CR LF reads as LF.
    kind = file_kind(path);
    return kind == FileKind::regular ? std::fopen(path, "rN") : nullptr;
}

namespace {

// Whether a and b name one and the same existing file.
bool same_file(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const char* paths[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE h = ::CreateFileA(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        BOOL known = ::GetFileInformationByHandle(h, &info[i]);
        ::CloseHandle(h);
        if (!known) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace

bool copy_file(const char* source, const char* target, bool failIfExists) {
    if (same_file(source, target)) return false;
    // The copy goes to a new name in the target's folder and takes the
    // target's name only when complete: a failure (a full disk, a read error)
    // leaves an existing target as it was.
    static LONG serial = 0;
    char temporary[MAX_PATH + 64];
    int n = std::snprintf(temporary, sizeof temporary, "%s.%d-%ld.tmp", target, process_id(),
                          static_cast<long>(::InterlockedIncrement(&serial)));
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof temporary) return false;
    if (!::CopyFileA(source, temporary, TRUE)) return false;
    DWORD flags = MOVEFILE_WRITE_THROUGH | (failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING);
    if (::MoveFileExA(temporary, target, flags)) return true;
    ::DeleteFileA(temporary);
    return false;
}

bool create_directory(const char* path) { return ::CreateDirectoryA(path, nullptr) != 0; }

bool delete_file(const char* path) { return ::DeleteFileA(path) != 0; }

int access(const char* path, Access mode) {
    int how = mode == Access::read ? 4 : mode == Access::write ? 2 : 0;
    return ::_access(path, how) == 0 ? 0 : -1;
}

// Hosts write the Microsoft runtime's printf: MinGW's C99 formatter takes
// its I64, I32 and I sizes, %S, %C, %hs and %hc, but not the w of %ws and %wc.
const PrintfDialect& printf_dialect() {
    static const PrintfDialect dialect{true};
    return dialect;
}

// The system runtime's strftime (msvcrt): the conversions of C89 and %z, the
// flag # and nothing else; it ends the process on anything it does not know.
const TimeFormatDialect& time_format_dialect() {
    static const TimeFormatDialect dialect{"aAbBcdHIjmMpSUwWxXyYzZ%", "#", false, "", ""};
    return dialect;
}

// GetTickCount64 reads the tick count from memory: no call into the kernel.
std::int64_t coarse_milliseconds() { return static_cast<std::int64_t>(::GetTickCount64()); }

FileKind file_stamp(const char* path, FileStamp& stamp) {
    // No access asked and every sharing allowed: a writer's or reader's own
    // opening is never refused for this look. Links are followed, as opening
    // the file follows them.
    HANDLE h = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::missing : FileKind::other;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    BOOL known = ::GetFileInformationByHandle(h, &info);
    DWORD type = ::GetFileType(h);
    ::CloseHandle(h);
    if (!known) return FileKind::other;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::directory;
    if (type != FILE_TYPE_DISK) return FileKind::other;
    // FILETIME counts 100-nanosecond steps since 1601-01-01.
    const std::int64_t k1601To1970 = 116444736000000000;
    std::int64_t written = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
    stamp.device = info.dwVolumeSerialNumber;
    stamp.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    stamp.modified = (written - k1601To1970) * 100;
    return FileKind::regular;
}

}  // namespace velm::platform
