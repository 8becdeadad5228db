// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velm::platform {

namespace {

// open(2) with the close-on-exec flag, retried when a signal interrupts it.
int open_cloexec(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void close_fd(int fd) {
    // The descriptor is gone even when close reports EINTR: no retry.
    ::close(fd);
}

// Writes all of data, retrying after interruptions and short writes; returns
// how many bytes were written (size unless an error stopped it).
std::size_t write_all(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Copies the rest of from into to; false on a read or write error.
bool copy_contents(int from, int to) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        std::size_t size = static_cast<std::size_t>(n);
        if (write_all(to, buffer, size) != size) return false;
    }
}

// What a status query's result describes.
FileKind kind_of(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return FileKind::regular;
    return S_ISDIR(st.st_mode) ? FileKind::directory : FileKind::other;
}

FileKind file_kind(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 ? kind_of(st) : FileKind::missing;
}

// Clears O_NONBLOCK again, so that writes to a pipe or device wait as usual.
bool make_blocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

char path_separator() { return '/'; }

int process_id() { return static_cast<int>(::getpid()); }

const char* get_env(const char* name) { return std::getenv(name); }

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool utc_time(std::int64_t t, std::tm& out) {
    std::time_t tt = static_cast<std::time_t>(t);
    return ::gmtime_r(&tt, &out) != nullptr;
}

bool local_time(std::int64_t t, std::tm& out) {
    std::time_t tt = static_cast<std::time_t>(t);
    return ::localtime_r(&tt, &out) != nullptr;
}

void fallback_log_directory(char* out, std::size_t size) {
    const char* tmpdir = get_env("TMPDIR");
    std::snprintf(out, size, "%s", tmpdir ? tmpdir : "/tmp");
}

const char* fallback_config_directory() { return "/tmp"; }

namespace {

// Why an opened session file is not ours to write, or null when it is: the
// log directory is usually shared (/tmp) and the name predictable.
const char* refusal_of(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return std::strerror(errno);
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (st.st_nlink != 1) return "a file with more than one link";
    if (st.st_uid != ::geteuid()) return "a file of another user";
    return nullptr;
}

// fd itself, or a duplicate above 2 when it landed on a standard stream that
// was closed at start: the log must not write what a host prints there.
int above_stdio(int fd) {
    if (fd > 2) return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close_fd(fd);
    return moved;
}

}  // namespace

int open_session_file(const char* path, char* reason, std::size_t reasonSize) {
    // Appended to, never truncated: an earlier run with the same pid keeps its
    // lines, and a copytruncate rotation leaves no hole. O_NONBLOCK: a FIFO at
    // the path must not hang the host. 0600: the log holds configuration
    // values at the trace level.
    int fd = open_cloexec(path, O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOFOLLOW, 0600);
    const char* refusal = fd < 0 ? std::strerror(errno) : refusal_of(fd);
    if (!refusal) fd = above_stdio(fd);
    if (!refusal && fd < 0) refusal = std::strerror(errno);
    if (refusal) {
        if (fd >= 0) close_fd(fd);
        std::snprintf(reason, reasonSize, "%s", refusal);
        return -1;
    }
    return fd;
}

std::size_t write_session_file(int file, const char* data, std::size_t size) { return write_all(file, data, size); }

void close_session_file(int file) { ::close(file); }

bool write_stdout(const char* data, std::size_t size) {
    std::fflush(stdout);
    return write_all(STDOUT_FILENO, data, size) == size;
}

void on_fork(void (*prepare)(), void (*parent)(), void (*child)()) { ::pthread_atfork(prepare, parent, child); }

std::FILE* open_for_reading(const char* path, FileKind& kind) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer that never comes;
    // O_NOCTTY: a terminal must not become the host's controlling one. The
    // kind is that of what was opened, so nothing can be swapped in between
    // a check and the open.
    int fd = open_cloexec(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        kind = file_kind(path);  // tells a missing file from a forbidden one
        return nullptr;
    }
    struct stat st;
    kind = ::fstat(fd, &st) == 0 ? kind_of(st) : FileKind::missing;
    std::FILE* file = nullptr;
    if (kind == FileKind::regular && make_blocking(fd)) file = ::fdopen(fd, "r");
    if (!file) close_fd(fd);
    return file;
}

namespace {

// The path a copy replaces: a symbolic link at target stands for the file it
// names, which is replaced as writing through the link would; empty when the
// link leads nowhere.
std::string replaced_path(const char* target) {
    struct stat st;
    if (::lstat(target, &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    char* resolved = ::realpath(target, nullptr);
    std::string path = resolved ? resolved : "";
    std::free(resolved);
    return path;
}

// Creates a new file beside path under a name no other file has, with mode;
// its descriptor, or -1 with name unset.
int create_beside(const std::string& path, mode_t mode, std::string& name) {
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%d-%u-%lx.tmp", process_id(), serial++,
                      static_cast<unsigned long>(std::clock()));
        std::string candidate = path + suffix;
        // O_EXCL with O_NOFOLLOW: a file or link planted under the name is
        // never opened, the next name is tried.
        int fd = open_cloexec(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
        if (fd >= 0) {
            name = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// Copies from into the new file to, complete and on disk, with the final mode
// and owner of an existing target; false on any error.
bool fill_copy(int from, int to, const struct stat* replaced, mode_t mode) {
    if (!copy_contents(from, to)) return false;
    if (replaced) {
        // Only a privileged host may give the file to the target's owner;
        // any other keeps it as its own.
        if (::fchown(to, replaced->st_uid, replaced->st_gid) != 0 && errno != EPERM) return false;
        if (::fchmod(to, mode) != 0) return false;
    }
    return ::fsync(to) == 0;
}

// Gives the complete copy at temporary the name path; false when it cannot.
// link fails on an existing name where rename would replace it, so a target
// made meanwhile survives failIfExists; a file system without hard links
// falls back on a rename after a last look.
bool publish(const std::string& temporary, const std::string& path, bool failIfExists) {
    if (!failIfExists) return ::rename(temporary.c_str(), path.c_str()) == 0;
    if (::link(temporary.c_str(), path.c_str()) == 0) return true;
    struct stat st;
    return errno != EEXIST && ::lstat(path.c_str(), &st) != 0 && ::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

bool copy_file(const char* source, const char* target, bool failIfExists) {
    int from = open_cloexec(source, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (from < 0) return false;
    struct stat src {
    }, old{};
    std::string path = replaced_path(target);
    bool exists = !path.empty() && ::stat(path.c_str(), &old) == 0;
    // Only a regular file is replaced (a device or FIFO would be swapped for
    // a plain file), never the source itself, and with failIfExists nothing.
    bool usable =
        ::fstat(from, &src) == 0 && S_ISREG(src.st_mode) && make_blocking(from) && !path.empty() &&
        (!exists || (!failIfExists && S_ISREG(old.st_mode) && !(old.st_dev == src.st_dev && old.st_ino == src.st_ino)));
    // The copy goes into a new file beside the target, private until
    // complete, and takes the target's name only then: a failure (a full
    // disk, a read error) leaves an existing target as it was.
    std::string temporary;
    int to = usable ? create_beside(path, exists ? 0600 : src.st_mode & 0777, temporary) : -1;
    bool copied = to >= 0 && fill_copy(from, to, exists ? &old : nullptr, old.st_mode & 0777);
    close_fd(from);
    if (to >= 0 && ::close(to) != 0) copied = false;  // a full disk may show only here
    copied = copied && publish(temporary, path, failIfExists);
    // After a rename the name is gone already; after a link it is a second name.
    if (!temporary.empty()) ::unlink(temporary.c_str());
    return copied;
}

bool create_directory(const char* path) { return ::mkdir(path, 0777) == 0; }

bool delete_file(const char* path) {
    // unlink never removes a directory, as DeleteFileA does not.
    return ::unlink(path) == 0;
}

int access(const char* path, Access mode) {
    int how = mode == Access::read ? R_OK : mode == Access::write ? W_OK : F_OK;
    return ::access(path, how) == 0 ? 0 : -1;
}

const PrintfDialect& printf_dialect() {
    static const PrintfDialect dialect{false};
    return dialect;
}

// glibc's strftime: the C99 and POSIX conversions and glibc's own (k, l, P,
// s), the flags _ - 0 ^ # and a field width, and the modifiers E and O
// before the conversions POSIX gives them to.
const TimeFormatDialect& time_format_dialect() {
    static const TimeFormatDialect dialect{"aAbBcCdDeFgGhHIjklmMnpPrRsStTuUVwWxXyYzZ%", "_-0^#", true, "cCxXyY",
                                           "deHImMSuUVwWy"};
    return dialect;
}

std::int64_t coarse_milliseconds() {
    // The coarse clock is read from memory the kernel shares with the
    // process: no system call, which matters at every lookup.
#ifdef CLOCK_MONOTONIC_COARSE
    const clockid_t clock = CLOCK_MONOTONIC_COARSE;
#else
    const clockid_t clock = CLOCK_MONOTONIC;
#endif
    struct timespec ts;
    ::clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

FileKind file_stamp(const char* path, FileStamp& stamp) {
    struct stat st;
    if (::stat(path, &st) != 0) return FileKind::missing;
    FileKind kind = kind_of(st);
    if (kind == FileKind::regular) {
        stamp.device = static_cast<std::uint64_t>(st.st_dev);
        stamp.file = static_cast<std::uint64_t>(st.st_ino);
        stamp.size = static_cast<std::int64_t>(st.st_size);
        stamp.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return kind;
}

}  // namespace velm::platform
