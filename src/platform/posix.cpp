// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

std::size_t write_session_file(int file, const char* data, std::size_t size) {
    return write_all(file, data, size);
}

bool write_stdout(const char* data, std::size_t size) {
    std::fflush(stdout);
    return write_all(STDOUT_FILENO, data, size) == size;
}

void on_fork(void (*prepare)(), void (*parent)(), void (*child)()) {
    ::pthread_atfork(prepare, parent, child);
}

std::FILE* open_for_reading(const char* path) {
    int fd = open_cloexec(path, O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close_fd(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "r");
    if (!file) close_fd(fd);
    return file;
}

FileKind file_kind(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0) return FileKind::missing;
    if (S_ISREG(st.st_mode)) return FileKind::regular;
    if (S_ISDIR(st.st_mode)) return FileKind::directory;
    return FileKind::other;
}

bool copy_file(const char* source, const char* target, bool failIfExists) {
    // O_NONBLOCK: opening a FIFO must not wait for a peer that never comes.
    // Regular files ignore the flag.
    int from = open_cloexec(source, O_RDONLY | O_NONBLOCK);
    if (from < 0) return false;
    struct stat src;
    if (::fstat(from, &src) != 0 || !S_ISREG(src.st_mode)) {
        close_fd(from);
        return false;
    }
    // Not truncated at opening: the target may turn out to be the source
    // itself, which must keep its contents. A directory fails with EISDIR.
    int flags = O_WRONLY | O_CREAT | O_NONBLOCK | (failIfExists ? O_EXCL : 0);
    int to = open_cloexec(target, flags, src.st_mode & 0777);
    if (to < 0) {
        close_fd(from);
        return false;
    }
    struct stat dst;
    bool copied = false;
    bool emptied = false;
    if (::fstat(to, &dst) == 0 && !(dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)) {
        bool regular = S_ISREG(dst.st_mode);
        emptied = regular && ::ftruncate(to, 0) == 0;
        copied = (emptied || !regular) && make_blocking(to) && copy_contents(from, to);
    }
    close_fd(from);
    if (::close(to) != 0) copied = false;  // a full disk may show only here
    // Like CopyFileA, leave no partial copy that could pass for the file.
    if (!copied && emptied) ::unlink(target);
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

}  // namespace velm::platform
