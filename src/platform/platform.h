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
// copy_file copies the whole file into a new file beside the target and
// gives it the target's name only when complete, so a failure leaves an
// existing target as it was and no partial file; it fails for a source that
// is not a regular file, for a target that exists and is not a regular file
// or is the source itself, and with failIfExists for any existing target.
bool copy_file(const char* source, const char* target, bool failIfExists);
// Fails when anything exists at path or its parent is missing.
bool create_directory(const char* path);
// Never removes a directory.
bool delete_file(const char* path);

// The printf dialect of the platform's hosts, where it differs from the C
// library's formatter (see format_rewrite.h, which applies it).
struct PrintfDialect {
    bool wideModifier;  // 'w' before s and c marks a wide argument, as 'l' does
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
};
const TimeFormatDialect& time_format_dialect();

// The access tests: 0 when path exists (resp. may be read, may be written),
// else -1.
enum class Access { exists, read, write };
int access(const char* path, Access mode);

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
