#include "log/session_file_output.h"
#include "common/hot_path.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <string>

#include "common/text.h"
#include "log/log_folder.h"
#include "log/log_levels.h"
#include "log/log_state.h"
#include "log/log_writer.h"
#include "log/stdout_output.h"
#include "platform/platform.h"

namespace velm::log {

namespace {

// Counts what a write of total bytes from out to the session log file left
// written: a write that failed, or wrote part of the line, loses it.
VELM_HOT_PATH void count_written(const char* out, std::size_t total, std::size_t written) {
    if (logState.folderLimits.maxSize != 0) logState.fileSize += platform::stored_length(out, written);
    if (written == total) {
        logState.lostLines = 0;
        logState.lineCut = false;
    } else {
        ++logState.lostLines;
        if (written > 0) logState.lineCut = out[written - 1] != '\n';
    }
}

// Writes text to the session log file behind a line end (if the file was
// left inside a line) and a line that counts the lines lost, in the same
// write, so that nothing lost goes unnoticed and no two lines are glued
// together.
void write_after_loss(const char* text, std::size_t length) {
    char notice[96];
    int noticeLength = std::snprintf(notice, sizeof notice,
                                     "%s*** %ld log lines lost: the session log file could not be written ***\n",
                                     logState.lineCut ? "\n" : "", logState.lostLines);
    std::size_t total = static_cast<std::size_t>(noticeLength) + length;
    char* out = static_cast<char*>(std::malloc(total));
    if (!out) {
        ++logState.lostLines;
        return;
    }
    std::memcpy(out, notice, static_cast<std::size_t>(noticeLength));
    std::memcpy(out + noticeLength, text, length);
    count_written(out, total, platform::write_session_file(logState.logFile, out, total));
    std::free(out);
}

// Writes text to the session log file; after lines were lost, behind the
// notice of them.
VELM_HOT_PATH void write_to_file(const char* text, std::size_t length) {
    if (logState.lostLines > 0 || logState.lineCut) {
        write_after_loss(text, length);
        return;
    }
    count_written(text, length, platform::write_session_file(logState.logFile, text, length));
}

constexpr int kDebugLevel = 2;
// headerEnd while a header is being written: its lines never start a roll-over.
constexpr std::uint64_t kInHeader = ~std::uint64_t{0};

// Opens the session file at logFilePath and starts counting its bytes.
bool open_at_path(char* reason, std::size_t reasonSize) {
    logState.logFile = platform::open_session_file(logState.logFilePath, reason, reasonSize);
    bool counts = logState.logFile >= 0 && logState.folderLimits.maxSize != 0;
    logState.fileSize = counts ? platform::session_file_size(logState.logFile) : 0;
    logState.headerEnd = kInHeader;
    return logState.logFile >= 0;
}

// Moves the full session file aside (it becomes .1, older ones move up) and
// opens a fresh one under its name, with the header and a line that names
// the file it continues; under writerLock, so the threads that meet here
// roll the file over once. A process sharing the file (a forked child) may
// have moved it already: then the fresh file is only opened.
void roll_over() {
    bool stillHere = platform::is_file_at(logState.logFile, logState.logFilePath);
    // Closed first: Windows renames no file that is open.
    platform::close_session_file(logState.logFile);
    bool moved = !stillHere || roll_files(logState.logFilePath, logState.folderLimits.rolledFiles);
    char reason[256] = "";
    bool opened = open_at_path(reason, sizeof reason);
    if (opened && !moved) {
        // The same full file again: writing goes on in it, and the next try
        // comes after another limit's worth of lines, not at every line.
        logState.fileSize = 0;
        logState.headerEnd = 0;
        return;
    }
    write_session_header(opened, reason);
    deliver_own(true, kVersionInfoLevel, 0, "  Continues %s\n", rolled_name(logState.logFilePath, 1).c_str());
    finish_session_file_opening();
}

// The folder part of the session file's path.
std::string folder_of(const char* path) {
    const char* separator = std::strrchr(path, platform::path_separator());
    return separator ? std::string(path, separator) : std::string(".");
}

}  // namespace

VELM_HOT_PATH void SessionFileOutput::accept(const LogEntry& entry) {
    if (logState.logLevel > entry.level || logState.logFile < 0) return;
    if (entry.line && logState.folderLimits.maxSize != 0 &&
        needs_fresh_file(logState.folderLimits.maxSize, logState.fileSize, logState.headerEnd,
                         platform::stored_length(entry.line, entry.length))) {
        roll_over();
        if (logState.logFile < 0) {
            show_everything_on_stdout();  // this line included: it is not lost
            return;
        }
    }
    if (entry.line) {
        write_to_file(entry.line, entry.length);
    } else {
        ++logState.lostLines;  // no memory to build it
    }
}

VELM_HOT_PATH bool finds_no_session_file(int level) { return logState.logLevel <= level && logState.logFile < 0; }

bool open_session_file(char* reason, std::size_t reasonSize) {
    char directory[1025];
    log_folder(directory, sizeof directory);
    logState.folderLimits = limits_from_env();
    int length = std::snprintf(logState.logFilePath, sizeof logState.logFilePath, "%s%c%s%s%d.log", directory,
                               platform::path_separator(), logState.applName.text, logState.custName.text,
                               platform::process_id());
    logState.openingDone.store(true, std::memory_order_release);
    // A path that had to be cut names some other file: never open that one.
    bool fits = length >= 0 && static_cast<std::size_t>(length) < sizeof logState.logFilePath;
    if (!fits) common::copy_cut(reason, reasonSize, "the path is too long");
    return fits && open_at_path(reason, reasonSize);
}

void finish_session_file_opening() {
    if (logState.logFile < 0) return;
    logState.headerEnd = logState.fileSize;
    const FolderLimits& limits = logState.folderLimits;
    if (limits.retainDays == 0 && limits.retainFiles == 0) return;
    std::string folder = folder_of(logState.logFilePath);
    std::string prefix = std::string(logState.applName.text) + logState.custName.text;
    for (const std::string& name : prune_session_files(folder.c_str(), prefix, limits.retainDays, limits.retainFiles))
        deliver_own(false, kDebugLevel, 0, "Removed old session log file %s%c%s\n", folder.c_str(),
                    platform::path_separator(), name.c_str());
}

const char* close_session_file() {
    auto lock = hold_writer_lock();
    if (logState.logFile < 0) return nullptr;
    platform::close_session_file(logState.logFile);
    logState.logFile = -1;
    return logState.logFilePath;
}

}  // namespace velm::log
