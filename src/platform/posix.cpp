// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/hot_path.h"

namespace velm::platform {

namespace {

// The result of call, called again while a signal interrupts it (a negative
// result with EINTR).
template <class Call>
auto retried(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// Moves size bytes through transfer(done, left), which moves some of the
// left bytes after the done ones and answers how many, as read(2) does;
// retries interruptions and short moves. Returns how many bytes were moved
// (size unless an error or an end stopped it).
template <class Transfer>
VELM_HOT_PATH std::size_t transfer_all(std::size_t size, Transfer transfer) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = retried([&] { return transfer(done, size - done); });
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// open(2) with the close-on-exec flag, retried when a signal interrupts it.
int open_cloexec(const char* path, int flags, mode_t mode = 0) {
    return retried([&] { return ::open(path, flags | O_CLOEXEC, mode); });
}

void close_fd(int fd) {
    // The descriptor is gone even when close reports EINTR: no retry.
    ::close(fd);
}

// Writes all of data, retrying after interruptions and short writes; returns
// how many bytes were written (size unless an error stopped it).
VELM_HOT_PATH std::size_t write_all(int fd, const char* data, std::size_t size) {
    return transfer_all(size, [&](std::size_t done, std::size_t left) { return ::write(fd, data + done, left); });
}

// Copies the rest of from into to; false on a read or write error.
bool copy_contents(int from, int to) {
    char buffer[65536];
    for (;;) {
        ssize_t n = retried([&] { return ::read(from, buffer, sizeof buffer); });
        if (n == 0) return true;
        if (n < 0) return false;
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

// What hold_shared says of a file a remover held or removed meanwhile: the
// opening is tried again, a new file is made if the old one is gone.
const char kRemovedMeanwhile[] = "removed while it was opened";
constexpr int kHoldAttempts = 100;

// Takes the shared lock that keeps removers away from a writer's file, without
// waiting (a remover holds its exclusive lock for a moment only). Null when
// held, kRemovedMeanwhile when a remover holds the file or removed it since
// the opening, else why the lock cannot be taken.
const char* hold_shared(int fd) {
    int result = retried([&] { return ::flock(fd, LOCK_SH | LOCK_NB); });
    // A file system without locks keeps the file unprotected, but the log
    // goes on: a remover cannot lock it either, so it keeps it too.
    if (result != 0) return errno == EWOULDBLOCK ? kRemovedMeanwhile : nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0) return std::strerror(errno);
    return st.st_nlink == 0 ? kRemovedMeanwhile : nullptr;
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
    int fd = -1;
    const char* refusal = nullptr;
    for (int attempt = 0; attempt < kHoldAttempts; ++attempt) {
        fd = open_cloexec(path, O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOFOLLOW, 0600);
        refusal = fd < 0 ? std::strerror(errno) : hold_shared(fd);
        if (refusal != kRemovedMeanwhile) break;
        close_fd(fd);
        fd = -1;
        ::sched_yield();
    }
    if (!refusal) refusal = refusal_of(fd);
    if (!refusal) fd = above_stdio(fd);
    if (!refusal && fd < 0) refusal = std::strerror(errno);
    if (refusal) {
        if (fd >= 0) close_fd(fd);
        std::snprintf(reason, reasonSize, "%s", refusal);
        return -1;
    }
    return fd;
}

VELM_HOT_PATH std::size_t write_session_file(int file, const char* data, std::size_t size) {
    return write_all(file, data, size);
}

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
bool fill_copy(int from, int to, const struct stat* replaced) {
    if (!copy_contents(from, to)) return false;
    if (replaced) {
        // Only a privileged host may give the file to the target's owner;
        // any other keeps it as its own.
        if (::fchown(to, replaced->st_uid, replaced->st_gid) != 0 && errno != EPERM) return false;
        if (::fchmod(to, replaced->st_mode & 0777) != 0) return false;
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

// Copies from into a new file beside path that takes the name path only when
// complete: a failure (a full disk, a read error) leaves an existing file at
// path as it was, and no partial file. replaced is the file at path, if any.
bool copy_by_rename(int from, const struct stat& src, const std::string& path, const struct stat* replaced,
                    bool failIfExists) {
    std::string temporary;
    int to = create_beside(path, replaced ? 0600 : src.st_mode & 0777, temporary);
    if (to < 0) return false;
    bool copied = fill_copy(from, to, replaced);
    if (::close(to) != 0) copied = false;  // a full disk may show only here
    copied = copied && publish(temporary, path, failIfExists);
    // After a rename the name is gone already; after a link it is a second name.
    ::unlink(temporary.c_str());
    return copied;
}

// Writes from into the file at path itself, as an ordinary copy does: the
// path is opened by the kernel's rules, a symbolic link included (in a
// sticky directory it refuses to follow another user's link), and the file
// keeps its owner, mode and other names. Only a regular file that is not
// the source is written, and it is emptied only once that is known.
bool copy_in_place(int from, const struct stat& src, const char* path) {
    // O_NONBLOCK: a FIFO without a reader fails at once instead of waiting.
    int to = open_cloexec(path, O_WRONLY | O_NONBLOCK | O_NOCTTY);
    if (to < 0) return false;
    struct stat st;
    bool copied = ::fstat(to, &st) == 0 && S_ISREG(st.st_mode) &&
                  !(st.st_dev == src.st_dev && st.st_ino == src.st_ino) && make_blocking(to) &&
                  ::ftruncate(to, 0) == 0 && copy_contents(from, to) && ::fsync(to) == 0;
    if (::close(to) != 0) copied = false;
    return copied;
}

// The directory that holds the name path: the text before its last '/'.
std::string directory_of(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether replacing the file at path by a renamed copy leaves everyone seeing
// what writing into it would: a regular file (not a link to one) with no
// other name, of the host's own user (who keeps it), whose directory the
// host may write anyway. Anything else is written in place.
bool rename_keeps_identity(const std::string& path, const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid() &&
           ::faccessat(AT_FDCWD, directory_of(path).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Copies the open regular file from onto target: a missing target is made,
// and a replaceable one replaced, by a renamed copy; any other is written in
// place.
bool copy_onto(int from, const struct stat& src, const char* target, bool failIfExists) {
    struct stat old;
    if (::lstat(target, &old) != 0) return errno == ENOENT && copy_by_rename(from, src, target, nullptr, failIfExists);
    if (failIfExists) return false;
    if (!rename_keeps_identity(target, old)) return copy_in_place(from, src, target);
    // A renamed copy of the source onto its own only name would change nothing.
    bool isSource = old.st_dev == src.st_dev && old.st_ino == src.st_ino;
    return !isSource && copy_by_rename(from, src, target, &old, false);
}

}  // namespace

bool copy_file(const char* source, const char* target, bool failIfExists) {
    // The source is opened and checked before anything at the target changes.
    int from = open_cloexec(source, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (from < 0) return false;
    struct stat src;
    bool copied = ::fstat(from, &src) == 0 && S_ISREG(src.st_mode) && make_blocking(from) &&
                  copy_onto(from, src, target, failIfExists);
    close_fd(from);
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

// glibc's printf: the flags of C99, ' and I (the locale's digits), one of
// its length modifiers before any conversion (ll, L and q make a floating
// argument a long double), and its conversions with b, B, C, S and m.
VELM_HOT_PATH const PrintfDialect& printf_dialect() {
    static const PrintfLength lengths[] = {
        {"hh", nullptr, false, false, nullptr}, {"h", nullptr, false, false, nullptr},
        {"ll", nullptr, true, true, nullptr},   {"l", nullptr, true, false, nullptr},
        {"L", nullptr, true, true, nullptr},    {"q", nullptr, true, true, nullptr},
        {"j", nullptr, true, false, nullptr},   {"z", nullptr, true, false, nullptr},
        {"Z", nullptr, true, false, nullptr},   {"t", nullptr, true, false, nullptr}};
    static const PrintfDialect dialect{
        "-+ #0'I", "diouxXbBeEfFgGaAcCsSpn", "m", lengths, static_cast<int>(sizeof lengths / sizeof lengths[0]), true};
    return dialect;
}

// glibc's strftime: the C99 and POSIX conversions and glibc's own (k, l, P,
// s), the flags _ - 0 ^ # and a field width, and the modifiers E and O
// before the conversions POSIX gives them to.
const TimeFormatDialect& time_format_dialect() {
    static const TimeFormatDialect dialect{
        "aAbBcCdDeFgGhHIjklmMnpPrRsStTuUVwWxXyYzZ%", "_-0^#", true, "cCxXyY", "deHImMSuUVwWy", false};
    return dialect;
}

namespace {

constexpr char kJournalSocket[] = "/run/systemd/journal/socket";
constexpr char kSyslogSocket[] = "/dev/log";
constexpr std::size_t kMaxPieces = 64;

std::int64_t monotonic_milliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Whether a failed send means that nobody receives at the other end, rather
// than a receiver that is busy or a datagram it cannot take.
bool receiver_is_gone(int error) {
    return error == ECONNREFUSED || error == ENOTCONN || error == ENOENT || error == EDESTADDRREQ || error == EBADF ||
           error == ENOTSOCK;
}

}  // namespace

long thread_id() { return static_cast<long>(::syscall(SYS_gettid)); }

bool has_journal() {
    struct stat status;
    return ::stat(kJournalSocket, &status) == 0 && S_ISSOCK(status.st_mode);
}

int new_system_log_socket() {
    int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // A send buffer of 8 MiB, as libsystemd gives its journal socket, lets a
    // busy receiver fall behind by thousands of messages before a sender
    // waits; beyond the system's limit only a privileged process may go.
    int size = 8 << 20;
    if (socket >= 0 && ::setsockopt(socket, SOL_SOCKET, SO_SNDBUFFORCE, &size, sizeof size) != 0) {
        ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    return socket;
}

bool connect_system_log_socket(int socket, SystemLogSocket which) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const char* path = which == SystemLogSocket::journal ? kJournalSocket : kSyslogSocket;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    return retried([&] { return ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address); }) == 0;
}

void close_system_log_socket(int socket) { close_fd(socket); }

Sent send_datagram(int socket, const Bytes* pieces, std::size_t count, int waitMilliseconds) {
    if (count > kMaxPieces) return Sent::late;
    iovec vector[kMaxPieces];
    for (std::size_t i = 0; i < count; ++i) vector[i] = iovec{const_cast<void*>(pieces[i].data), pieces[i].size};
    msghdr message{};
    message.msg_iov = vector;
    message.msg_iovlen = count;
    std::int64_t deadline = monotonic_milliseconds() + waitMilliseconds;
    for (;;) {
        if (retried([&] { return ::sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT); }) >= 0) return Sent::taken;
        if (receiver_is_gone(errno)) return Sent::broken;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return Sent::late;  // too large, or no buffer for it
        std::int64_t left = deadline - monotonic_milliseconds();
        if (left <= 0) return Sent::late;
        // A connected datagram socket polls writable once its receiver's
        // queue has room again.
        pollfd writable{socket, POLLOUT, 0};
        ::poll(&writable, 1, static_cast<int>(left));
    }
}

// The Event Log is Windows' own.
bool open_event_log(const char*) { return false; }
bool report_event(EventType, const char*) { return false; }

namespace {

// A folder opened for the calls relative to it, closed with the object.
struct OpenFolder {
    int fd;
    explicit OpenFolder(const char* path) : fd(open_cloexec(path, O_RDONLY | O_DIRECTORY)) {}
    ~OpenFolder() {
        if (fd >= 0) close_fd(fd);
    }
};

bool is_own_regular_file(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_uid == ::geteuid(); }

// Opens name in folder for the remover, never through a link, and takes its
// exclusive lock without waiting. The descriptor, or -1 with what keeps the
// file in hold; st is the file's status.
int lock_exclusively(const OpenFolder& folder, const char* name, struct stat& st, FileHold& hold) {
    hold = FileHold::refused;
    if (folder.fd < 0) return -1;
    // O_NONBLOCK and O_NOCTTY: something other than a regular file swapped
    // in after the listing must not hang or change the process.
    int fd = ::openat(folder.fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !is_own_regular_file(st)) {
        close_fd(fd);
        return -1;
    }
    int result = retried([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
    if (result != 0) {
        // A writer holds it, or the file system has no locks to tell.
        hold = errno == EWOULDBLOCK ? FileHold::held : FileHold::refused;
        close_fd(fd);
        return -1;
    }
    hold = FileHold::free;
    return fd;
}

}  // namespace

bool list_own_files(const char* folder, void (*visit)(const FolderFile& file, void* context), void* context) {
    OpenFolder open(folder);
    DIR* dir = open.fd >= 0 ? ::fdopendir(::fcntl(open.fd, F_DUPFD_CLOEXEC, 3)) : nullptr;
    if (!dir) return false;
    while (struct dirent* entry = ::readdir(dir)) {
        struct stat st;
        if (::fstatat(open.fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !is_own_regular_file(st)) continue;
        visit(FolderFile{entry->d_name, static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtime)},
              context);
    }
    ::closedir(dir);
    return true;
}

FileHold hold_of(const char* folder, const char* name) {
    OpenFolder open(folder);
    struct stat st;
    FileHold hold;
    int fd = lock_exclusively(open, name, st, hold);
    if (fd >= 0) close_fd(fd);
    return hold;
}

bool remove_unheld_file(const char* folder, const char* name) {
    OpenFolder open(folder);
    struct stat st, now;
    FileHold hold;
    int fd = lock_exclusively(open, name, st, hold);
    if (fd < 0) return false;
    // The name must still be the file that is locked: one swapped in since
    // the opening is not the one that was found free.
    bool same =
        ::fstatat(open.fd, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino;
    bool removed = same && ::unlinkat(open.fd, name, 0) == 0;
    close_fd(fd);  // a writer waiting for this file finds it removed and makes a new one
    return removed;
}

bool rename_file(const char* from, const char* to) { return ::rename(from, to) == 0; }

std::uint64_t session_file_size(int file) {
    struct stat st;
    return ::fstat(file, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool is_file_at(int file, const char* path) {
    struct stat open, named;
    return ::fstat(file, &open) == 0 && ::lstat(path, &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

VELM_HOT_PATH std::size_t stored_length(const char*, std::size_t length) { return length; }

bool random_bytes(void* out, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    std::size_t done =
        transfer_all(size, [&](std::size_t at, std::size_t left) { return ::getrandom(bytes + at, left, 0); });
    if (done == size) return true;
    // A kernel before getrandom, or a filter that refuses it: the device
    // gives the same bytes.
    int fd = open_cloexec("/dev/urandom", O_RDONLY);
    if (fd < 0) return false;
    unsigned char* rest = bytes + done;
    done += transfer_all(size - done, [&](std::size_t at, std::size_t left) { return ::read(fd, rest + at, left); });
    close_fd(fd);
    return done == size;
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
