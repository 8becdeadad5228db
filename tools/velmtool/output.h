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
};

// Points the process's standard output at standard error and keeps the
// original for data(). Returns false when a descriptor cannot be duplicated.
bool separate_data_from_log_echo();

// The stream for the answers: the original standard output.
std::FILE* data();

// Prints "velmtool: subject: reason" on standard error; returns status.
int report(const std::string& subject, const std::string& reason, int status);

// Why the file at path cannot be read as a regular file ("No such file or
// directory", "Is a directory", "not a regular file", ...), or the empty text
// when it can.
std::string unusable_file_reason(const char* path);

}  // namespace velmtool
