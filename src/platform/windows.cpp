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
// After windows.h, which it needs.
#include <ntsecapi.h>

#include <aclapi.h>

#include "common/hot_path.h"

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

VELM_HOT_PATH std::size_t write_session_file(int file, const char* data, std::size_t size) {
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

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Opens path for the status and owner queries only, never blocking anyone;
// flags FILE_FLAG_OPEN_REPARSE_POINT opens a link itself.
HANDLE open_for_query(const char* path, DWORD flags) {
    return ::CreateFileA(path, READ_CONTROL | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

// Whether path leads to the file described by file (links followed).
bool leads_to(const char* path, const BY_HANDLE_FILE_INFORMATION& file) {
    HANDLE h = open_for_query(path, 0);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool same = ::GetFileInformationByHandle(h, &info) && same_identity(info, file);
    ::CloseHandle(h);
    return same;
}

// Whether the owner of the file open at h is the process's user.
bool owned_by_process_user(HANDLE h) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool owned = false;
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
            owned = ::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != 0;
        }
        ::CloseHandle(token);
    }
    ::LocalFree(descriptor);
    return owned;
}

// Whether replacing the existing target by a renamed copy leaves everyone
// seeing what writing into it would: a file (not a folder, not a link) with
// no other name, owned by the process's user. Whether its folder may be
// written shows when the new file is made beside it.
bool rename_keeps_identity(const char* target) {
    HANDLE h = open_for_query(target, FILE_FLAG_OPEN_REPARSE_POINT);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool keeps = ::GetFileInformationByHandle(h, &info) &&
                 !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                 info.nNumberOfLinks == 1 && owned_by_process_user(h);
    ::CloseHandle(h);
    return keeps;
}

enum class RenamedCopy { done, failed, folderRefused };

// Copies source to a new name in the target's folder that takes the target's
// name only when complete: a failure (a full disk, a read error) leaves an
// existing target as it was.
RenamedCopy copy_by_rename(const char* source, const char* target, bool failIfExists) {
    static LONG serial = 0;
    char temporary[MAX_PATH + 64];
    int n = std::snprintf(temporary, sizeof temporary, "%s.%d-%ld.tmp", target, process_id(),
                          static_cast<long>(::InterlockedIncrement(&serial)));
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof temporary) return RenamedCopy::failed;
    if (!::CopyFileA(source, temporary, TRUE)) {
        bool refused = ::GetLastError() == ERROR_ACCESS_DENIED;
        ::DeleteFileA(temporary);
        return refused ? RenamedCopy::folderRefused : RenamedCopy::failed;
    }
    DWORD flags = MOVEFILE_WRITE_THROUGH | (failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING);
    if (::MoveFileExA(temporary, target, flags)) return RenamedCopy::done;
    ::DeleteFileA(temporary);
    return RenamedCopy::failed;
}

// Copies source, open and checked as src, onto target: a missing target is
// made, and a replaceable one replaced, by a renamed copy; any other is
// written in place by CopyFileA, which opens the target path (links
// followed) and keeps the file, its other names and its security.
bool copy_onto(const char* source, const BY_HANDLE_FILE_INFORMATION& src, const char* target, bool failIfExists) {
    if (::GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND &&
               copy_by_rename(source, target, failIfExists) == RenamedCopy::done;
    }
    if (failIfExists || leads_to(target, src)) return false;
    RenamedCopy renamed =
        rename_keeps_identity(target) ? copy_by_rename(source, target, false) : RenamedCopy::folderRefused;
    if (renamed != RenamedCopy::folderRefused) return renamed == RenamedCopy::done;
    return ::CopyFileA(source, target, FALSE) != 0;
}

}  // namespace

bool copy_file(const char* source, const char* target, bool failIfExists) {
    // The source is opened and checked first, and held open so that nobody
    // writes it until the copy is done.
    HANDLE from = ::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (from == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION src;
    bool copied = ::GetFileType(from) == FILE_TYPE_DISK && ::GetFileInformationByHandle(from, &src) &&
                  !(src.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && copy_onto(source, src, target, failIfExists);
    ::CloseHandle(from);
    return copied;
}

bool create_directory(const char* path) { return ::CreateDirectoryA(path, nullptr) != 0; }

bool delete_file(const char* path) { return ::DeleteFileA(path) != 0; }

int access(const char* path, Access mode) {
    int how = mode == Access::read ? 4 : mode == Access::write ? 2 : 0;
    return ::_access(path, how) == 0 ? 0 : -1;
}

// Hosts write the Microsoft runtime's printf, formatted by MinGW's C99
// formatter: it takes the runtime's I64, I32 and I sizes, %S, %C, %hs and
// %hc, but not the w of %ws and %wc, which becomes its l. Each modifier goes
// only before the conversions both read the same way; long is 32 bits wide.
// It takes the ' flag and %m of glibc, but no argument numbers.
VELM_HOT_PATH const PrintfDialect& printf_dialect() {
    static const PrintfLength lengths[] = {
        {"hh", "diouxXn", false, false, nullptr}, {"h", "diouxXncCsS", false, false, nullptr},
        {"ll", "diouxXn", true, false, nullptr},  {"l", "diouxXneEfFgGaAcs", false, false, nullptr},
        {"L", "eEfFgGaA", false, true, nullptr},  {"j", "diouxXn", true, false, nullptr},
        {"z", "diouxXn", true, false, nullptr},   {"t", "diouxXn", true, false, nullptr},
        {"I64", "diouxX", true, false, nullptr},  {"I32", "diouxX", false, false, nullptr},
        {"I", "diouxX", true, false, nullptr},    {"w", "cs", false, false, "l"}};
    static const PrintfDialect dialect{
        "-+ #0'", "diouxXeEfFgGaAcCsSpn", "m", lengths, static_cast<int>(sizeof lengths / sizeof lengths[0]), false};
    return dialect;
}

// The system runtime's strftime (msvcrt): the conversions of C89 and %z, the
// flag # once and nothing else; it ends the process on anything it does not
// know.
const TimeFormatDialect& time_format_dialect() {
    static const TimeFormatDialect dialect{"aAbBcdHIjmMpSUwWxXyYzZ%", "#", false, "", "", true};
    return dialect;
}

long thread_id() { return static_cast<long>(::GetCurrentThreadId()); }

// The journal and the syslog socket are not Windows'.
bool has_journal() { return false; }
int new_system_log_socket() { return -1; }
bool connect_system_log_socket(int, SystemLogSocket) { return false; }
void close_system_log_socket(int) {}
Sent send_datagram(int, const Bytes*, std::size_t, int) { return Sent::broken; }

namespace {

// The event source, registered once for the process and never deregistered:
// the log lives until the process ends.
HANDLE eventSource = nullptr;

// The one event of the library's message table, whose text is its one
// string (see velm_events.mc).
constexpr DWORD kMessageEventId = 1;

WORD event_type_of(EventType type) {
    switch (type) {
        case EventType::warning:
            return EVENTLOG_WARNING_TYPE;
        case EventType::error:
            return EVENTLOG_ERROR_TYPE;
        default:
            return EVENTLOG_INFORMATION_TYPE;
    }
}

}  // namespace

bool open_event_log(const char* source) {
    if (!eventSource) eventSource = ::RegisterEventSourceA(nullptr, source);
    return eventSource != nullptr;
}

bool report_event(EventType type, const char* text) {
    const char* strings[] = {text};
    return eventSource &&
           ::ReportEventA(eventSource, event_type_of(type), 0, kMessageEventId, nullptr, 1, 0, strings, nullptr);
}

namespace {

// A FILETIME (100-nanosecond steps since 1601) as seconds since 1970.
std::int64_t unix_seconds(const FILETIME& time) {
    std::int64_t steps = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (steps - 116444736000000000LL) / 10000000;
}

// folder\name in out; false when it does not fit.
bool join(char* out, std::size_t size, const char* folder, const char* name) {
    int n = std::snprintf(out, size, "%s\\%s", folder, name);
    return n >= 0 && static_cast<std::size_t>(n) < size;
}

// Opens folder\name for removal, shared with nobody, never through a link
// (a reparse point is opened itself and then refused). The handle, or
// INVALID_HANDLE_VALUE with what keeps the file in hold: a writer's open
// handle, which grants no share-delete, makes the opening fail.
HANDLE open_exclusively(const char* folder, const char* name, FileHold& hold) {
    hold = FileHold::refused;
    char path[MAX_PATH + 1];
    if (!join(path, sizeof path, folder, name)) return INVALID_HANDLE_VALUE;
    HANDLE h = ::CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_SHARING_VIOLATION) hold = FileHold::held;
        return h;
    }
    BY_HANDLE_FILE_INFORMATION info;
    DWORD unwanted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (!::GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & unwanted) != 0) {
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    hold = FileHold::free;
    return h;
}

}  // namespace

bool list_own_files(const char* folder, void (*visit)(const FolderFile& file, void* context), void* context) {
    char pattern[MAX_PATH + 1];
    if (!join(pattern, sizeof pattern, folder, "*")) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    DWORD unwanted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    do {
        if ((found.dwFileAttributes & unwanted) != 0) continue;
        std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        visit(FolderFile{found.cFileName, size, unix_seconds(found.ftLastWriteTime)}, context);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return true;
}

FileHold hold_of(const char* folder, const char* name) {
    FileHold hold;
    HANDLE h = open_exclusively(folder, name, hold);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    return hold;
}

bool remove_unheld_file(const char* folder, const char* name) {
    FileHold hold;
    HANDLE h = open_exclusively(folder, name, hold);
    if (h == INVALID_HANDLE_VALUE) return false;
    // Removed through the handle: the file that was opened, and nothing a
    // name might lead to since.
    FILE_DISPOSITION_INFO disposition{TRUE};
    bool removed = ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
    ::CloseHandle(h);
    return removed;
}

bool rename_file(const char* from, const char* to) { return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0; }

std::uint64_t session_file_size(int file) {
    long long size = ::_filelengthi64(file);
    return size < 0 ? 0 : static_cast<std::uint64_t>(size);
}

bool is_file_at(int, const char*) { return true; }

VELM_HOT_PATH std::size_t stored_length(const char* text, std::size_t length) {
    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < length; ++i) lineEnds += text[i] == '\n';
    return length + lineEnds;
}

bool random_bytes(void* out, std::size_t size) {
    // RtlGenRandom (advapi32, which every program links) asks the system's
    // preferred generator, as BCryptGenRandom does, without a library more.
    // It takes a 32-bit size: larger requests go in parts.
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        ULONG part = size > 0x10000000 ? 0x10000000 : static_cast<ULONG>(size);
        if (!RtlGenRandom(bytes, part)) return false;
        bytes += part;
        size -= part;
    }
    return true;
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
