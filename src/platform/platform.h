// The one place that knows the operating system. posix.cpp and windows.cpp
// implement these functions; CMake compiles exactly one of them. The rest of
// the library includes only this header for anything system-specific.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace velm::platform {

// The separator in paths the library builds ('\\' on Windows, '/' elsewhere).
char path_separator();

// The calling process's id.
int process_id();

// The value of an environment variable, or null when it is not set (an empty
// value counts as set).
const char* get_env(const char* name);

// The current calendar time, seconds since 1970-01-01 00:00:00 UTC.
std::int64_t now();

// Broken-down UTC (resp. local) time of t; false when t cannot be converted.
bool utc_time(std::int64_t t, std::tm& out);
bool local_time(std::int64_t t, std::tm& out);

// The log directory used when VE_TMP_DIR, TEMP and TMP are all unset, written
// into out (cut to size - 1 characters).
void fallback_log_directory(char* out, std::size_t size);

// The configuration directory used when none of its variables is set.
const char* fallback_config_directory();

// Opens the session log file for appending, creating it (readable by its
// owner only) if needed; never blocks, never follows a symbolic link, never
// inherited by child processes. On POSIX anything but a regular file of one
// link owned by the effective user is refused. Lines written through it end
// in the platform's line end. Returns a descriptor above 2, or -1 with the
// reason written into reason (cut to reasonSize - 1 characters).
int open_session_file(const char* path, char* reason, std::size_t reasonSize);

// Writes size bytes to the session log file in one call where the system
// allows it. Returns how many bytes were written: size unless it failed.
std::size_t write_session_file(int file, const char* data, std::size_t size);

// Closes a descriptor open_session_file returned.
void close_session_file(int file);

// Writes size bytes to standard output at once, after whatever the process
// had buffered there. Returns false when standard output refused them.
bool write_stdout(const char* data, std::size_t size);

// Runs before (prepare) and after (parent, child) each fork of the process;
// does nothing where there is no fork.
void on_fork(void (*prepare)(), void (*parent)(), void (*child)());

// What is found at a path.
enum class FileKind { missing, regular, directory, other };

// Opens a file for reading as the platform's text files are read (Windows:
// text mode, CR LF reads as LF; POSIX: the bytes as they are). Null on
// failure, and for anything but a regular file (a directory, FIFO or device);
// never waits for a FIFO's writer. kind is what was found at path, taken from
// what was opened where the system allows: null with kind regular means a
// regular file that may not be opened for reading.
std::FILE* open_for_reading(const char* path, FileKind& kind);

// The file calls behind the file utilities, on paths that are not null; true
// on success.
// copy_file keeps the target's identity: a copy never changes what the
// target's path leads to or who sees the new text. It opens and checks the
// source first. A new target, and an existing one that a rename would not
// change for anyone (a regular file, not a link, with no other name, owned
// by the process's user, in a folder it may write), get a new file beside
// the target that takes the target's name only when complete: a failure
// leaves the old target as it was and no partial file. Any other target is
// written in place through the path opened as an ordinary copy opens it
// (links followed by the system's rules, never resolved by the library);
// a failure there may leave it partly written, but no other file. It fails
// for a source that is not a regular file, for a target that is not a
// regular file or is the source itself, and with failIfExists for anything
// at the target's name.
bool copy_file(const char* source, const char* target, bool failIfExists);
// Fails when anything exists at path or its parent is missing.
bool create_directory(const char* path);
// Never removes a directory.
bool delete_file(const char* path);

// The grammar of the C library's printf, as far as the library lets a
// format through to it: '%', an argument number "m$", flags, a width, a
// precision, one length modifier and a conversion character (see
// log/printf_format.h, which reads formats by it).
struct PrintfLength {
    const char* text;           // the modifier as written: "hh", "l", "I64"
    const char* conversions;    // the conversion characters it may precede; null: all
    bool wideInteger;           // it makes an integer conversion's argument 64 bits wide
    bool longDouble;            // it makes a floating conversion's argument a long double
    const char* formatterText;  // the formatter's own spelling when the hosts' differs ('w' for 'l'); null: as written
};
struct PrintfDialect {
    const char* flags;            // flag characters, each as often as wanted
    const char* conversions;      // conversion characters that take an argument, n included
    const char* noArgument;       // conversion characters that take none (glibc's m); "%%" is the formatter's anyway
    const PrintfLength* lengths;  // where one modifier begins another ("hh", "h"), the longer first
    int lengthCount;
    bool numbered;  // it takes argument numbers "m$"; where not, a numbered conversion is shown as it stands
};
const PrintfDialect& printf_dialect();

// What the C runtime's strftime takes after a '%': flags, a field width,
// a modifier E or O, and a conversion. A format holding anything else must
// not reach it (a runtime may end the process on a conversion it does not
// know).
struct TimeFormatDialect {
    const char* conversions;  // conversion characters
    const char* flags;        // flag characters that may follow the '%'
    bool width;               // whether a decimal field width may follow them
    const char* takesE;       // conversions that take the modifier E
    const char* takesO;       // conversions that take the modifier O
    bool oneFlag;             // at most one flag character after the '%'
};
const TimeFormatDialect& time_format_dialect();

// The access tests: 0 when path exists (resp. may be read, may be written),
// else -1.
enum class Access { exists, read, write };
int access(const char* path, Access mode);

// The log folder's upkeep: session log files rolled over by size and removed
// when old. A writer's open session file is "held": on POSIX
// open_session_file takes a shared lock on it that a remover must break, on
// Windows the file is open without share-delete, which refuses removal.

// A regular file found in a folder.
struct FolderFile {
    const char* name;        // within the folder
    std::uint64_t size;      // in bytes
    std::int64_t lastWrite;  // seconds since 1970-01-01 00:00:00 UTC
};

// Calls visit for each regular file in folder that belongs to the effective
// user (Windows: each file that is neither a folder nor a link), looked at
// without following a link. False when the folder cannot be read.
bool list_own_files(const char* folder, void (*visit)(const FolderFile& file, void* context), void* context);

// Whether a writer holds folder/name, found as remove_unheld_file finds it
// but without removing anything: refused for what it would never remove.
enum class FileHold { free, held, refused };
FileHold hold_of(const char* folder, const char* name);

// Removes folder/name while holding it exclusively, so that no writer can
// hold it meanwhile: only a regular file of the effective user, never a link
// or what a link names. True when it removed the file; a writer's hold,
// another kind of file, another user's or a failure keeps it.
bool remove_unheld_file(const char* folder, const char* name);

// Renames from to to, replacing a file at to; a link at either name is
// renamed or replaced itself, never followed. True on success.
bool rename_file(const char* from, const char* to);

// The size of an open session file in bytes; 0 when it cannot be told.
std::uint64_t session_file_size(int file);

// Whether path still names the open session file (false once another
// process sharing it renamed it away); true where no process shares it.
bool is_file_at(int file, const char* path);

// The bytes a text of length bytes takes in the session file (Windows: a CR
// before every LF).
std::size_t stored_length(const char* text, std::size_t length);

}  // namespace velm::platform

namespace velm::platform {

// The system log's channels.

// The calling thread's id, as the system's own tools show it.
long thread_id();

// Whether the systemd journal's socket is there.
bool has_journal();

// A new datagram socket for the system log: never blocks, never inherited by
// child processes; -1 when none could be made or the platform has none.
int new_system_log_socket();

// Points a socket new_system_log_socket made at the journal's native socket
// or at the syslog socket. False when that socket is not there.
enum class SystemLogSocket { journal, syslog };
bool connect_system_log_socket(int socket, SystemLogSocket which);

// Closes a socket new_system_log_socket made.
void close_system_log_socket(int socket);

// One piece of a datagram.
struct Bytes {
    const void* data;
    std::size_t size;
};

// Sends the pieces as one datagram. A receiver that does not take it at once
// is waited for, but never longer than waitMilliseconds in all: then, and
// for a datagram too large to send, the answer is late. Broken: nothing
// receives at the other end (the socket needs connecting again).
enum class Sent { taken, late, broken };
Sent send_datagram(int socket, const Bytes* pieces, std::size_t count, int waitMilliseconds);

// The Event Log's entry types.
enum class EventType { information, warning, error };

// Registers the event source of this name, once for the process; false where
// the platform has no Event Log or the registration failed.
bool open_event_log(const char* source);

// Reports one event of the registered source, with text as its one string.
// False when it was not taken.
bool report_event(EventType type, const char* text);
// Fills size bytes at out from the system's source of random bytes (the
// kernel's generator; on Windows the system's preferred one). False when the
// source gave nothing, and then out holds no secret.
bool random_bytes(void* out, std::size_t size);

// A monotonic clock in milliseconds, read without a system call and so only
// as fine as the system's timer tick: for deciding when to look at something
// again, not for measuring.
std::int64_t coarse_milliseconds();

// What tells whether a file's contents may have changed without reading
// them: the file itself (device and file number), its size and the time of
// its last change.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::int64_t size = -1;
    std::int64_t modified = 0;  // nanoseconds since 1970-01-01 00:00:00 UTC
    bool operator==(const FileStamp& other) const {
        return device == other.device && file == other.file && size == other.size && modified == other.modified;
    }
};

// The stamp of the file path names, following symbolic links as opening it
// does. Returns what is found at path; stamp is filled only for a regular
// file.
FileKind file_stamp(const char* path, FileStamp& stamp);

}  // namespace velm::platform
