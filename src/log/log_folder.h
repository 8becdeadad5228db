// The log folder's upkeep: session log files rolled over by size, old ones
// removed, and the folder listed. Nothing here runs unless an operator sets
// one of the variables below: without them every process writes one file
// that grows without limit and stays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velm::log {

// The limits an operator sets, read from the environment when the session
// log file is opened.
struct FolderLimits {
    std::uint64_t maxSize = 0;  // VELM_LOG_MAX_SIZE: bytes a file may reach; 0: no limit
    int rolledFiles = 5;        // VELM_LOG_ROLLED_FILES: rolled files kept beside a session file
    int retainDays = 0;         // VELM_LOG_RETAIN_DAYS: files last written longer ago are removed; 0: off
    int retainFiles = 0;        // VELM_LOG_RETAIN_FILES: files beyond the newest this many are removed; 0: off
};

// The most rolled files a session file keeps: each roll-over renames them all.
constexpr int kMaxRolledFiles = 999;

FolderLimits limits_from_env();

// A size in bytes: decimal digits and an optional suffix k, M or G (KiB, MiB,
// GiB; either case), nothing else. False for any other text; a size beyond
// what 64 bits hold is cut to the largest.
bool parse_size(const char* text, std::uint64_t& bytes);

// A count from an environment variable: a positive decimal integer up to
// max; fallback when the variable is unset, empty or anything else.
int count_from_env(const char* name, int fallback, int max);

// The folder the session log files go to: VE_TMP_DIR, TEMP, TMP, else the
// platform's own, cut to size - 1 characters.
void log_folder(char* out, std::size_t size);

// One session log file or rolled file in the log folder. Its name is the
// application name, the customer name, the process id, ".log", and for a
// rolled file "." and its number: veserver_VELM_4711.log.2.
struct SessionFile {
    std::string name;         // within the folder
    std::string prefix;       // application and customer name: "veserver_VELM_"
    std::string application;  // the prefix up to its last part: "veserver_"
    std::string customer;     // the prefix's last part, ending in "_": "VELM_"
    long processId = 0;
    int rolled = 0;  // 0: the session file itself, n: its rolled file .n
    std::uint64_t size = 0;
    std::int64_t lastWrite = 0;  // seconds since 1970-01-01 00:00:00 UTC
};

// Whether name is a session log file's or rolled file's name, exactly; its
// parts in file when it is (size and time untouched).
bool parse_session_file_name(const char* name, SessionFile& file);

// The session files in folder that belong to the effective user, regular
// files only, found without following links; sorted by prefix, process id
// and number. False when the folder cannot be read.
bool list_session_files(const char* folder, std::vector<SessionFile>& files);

// The files retention lets go, by age and by count, each group of a prefix
// counted on its own, newest first; files only ever contains one prefix's
// group when a writer asks. A file last written before now - days * 86400,
// or not among the count newest of its group, goes.
std::vector<const SessionFile*> beyond_retention(const std::vector<SessionFile>& files, int days, int count,
                                                 std::int64_t now);

// Removes the session files of folder that retention lets go (prefix empty:
// of every group; else that group's only), never one a writer holds. The
// names removed.
std::vector<std::string> prune_session_files(const char* folder, const std::string& prefix, int days, int count);

// The name of path's rolled file number n: path.n.
std::string rolled_name(const std::string& path, int n);

// Makes room for a fresh session file at path: its rolled files move one
// number up (the one at number kept goes), and path becomes path.1; with
// kept at 0 path itself goes. False when path could not be moved away.
bool roll_files(const std::string& path, int kept);

// Whether a line that takes length bytes in the file goes into a fresh file:
// it would take the file past limit, and the file holds more than its header
// (a line longer than the limit then goes whole into a file of its own).
inline bool needs_fresh_file(std::uint64_t limit, std::uint64_t size, std::uint64_t headerSize, std::size_t length) {
    return limit != 0 && size + length > limit && size > headerSize;
}

}  // namespace velm::log
