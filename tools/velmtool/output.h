// Where velmtool's output goes. Standard output carries the answers only; the
// library echoes its log lines on the process's standard output, so that is
// pointed at standard error and the answers leave through a copy of it.
#pragma once

#include <cstdio>
#include <string>

namespace velmtool {

// The tool's exit statuses.
enum Status : int {
    kSuccess = 0,
    kNotFound = 1,  // not found, a check failed, the default was used
    kUsage = 2,
    kUnusableFile = 3,  // missing, unreadable, a directory
    kUnwritten = 4,     // the answer could not be written (a closed pipe, a full disk)
};

// Points the process's standard output at standard error and keeps the
// original for data(). Returns false when a descriptor cannot be duplicated.
bool separate_data_from_log_echo();

// The stream for the answers: the original standard output.
std::FILE* data();

// Finishes the answers: flushes and closes data(). The reason they could not
// all be written, or the empty text.
std::string finish_data();

// Whether notes are silenced (-q, VELM_QUIET).
void set_quiet(bool quiet);

// Prints "velmtool: text" on standard error unless notes are silenced: a
// remark on what the run did for the user, never a reason it failed.
void note(const std::string& text);

// Prints "velmtool: subject: reason" on standard error; returns status.
int report(const std::string& subject, const std::string& reason, int status);

// Why the file at path cannot be read as a regular file ("No such file or
// directory", "Is a directory", "not a regular file", ...), or the empty text
// when it can.
std::string unusable_file_reason(const char* path);

}  // namespace velmtool
