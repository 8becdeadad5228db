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

// Writes all of data, retrying after interruptions and short writes.
bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
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
        if (!write_all(to, buffer, static_cast<std::size_t>(n))) return false;
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

std::FILE* open_session_file(const char* path) {
    // The log directory is usually shared (/tmp) and the name predictable:
    // never follow a link planted there.
    int fd = open_cloexec(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) close_fd(fd);
    return file;
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

void on_fork(void (*prepare)(), void (*parent)(), void (*child)()) {
    ::pthread_atfork(prepare, parent, child);
}

}  // namespace velm::platform
