#include "output.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace velmtool {

namespace {

std::FILE* dataStream = stdout;

}  // namespace

bool separate_data_from_log_echo() {
    std::fflush(stdout);
    int original = dup(1);
    if (original < 0) return false;
    std::FILE* stream = fdopen(original, "w");
    if (!stream || dup2(2, 1) < 0) return false;
    // Echoed lines appear among the tool's own diagnostics in the order made.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    dataStream = stream;
    return true;
}

std::FILE* data() { return dataStream; }

int report(const std::string& subject, const std::string& reason, int status) {
    std::fprintf(stderr, "velmtool: %s: %s\n", subject.c_str(), reason.c_str());
    return status;
}

std::string unusable_file_reason(const char* path) {
    struct stat status;
    if (stat(path, &status) != 0) return std::strerror(errno);
    if ((status.st_mode & S_IFMT) == S_IFDIR) return std::strerror(EISDIR);
    // Opening a pipe to probe it could wait for a writer for ever.
    if ((status.st_mode & S_IFMT) != S_IFREG) return "not a regular file";
    std::FILE* file = std::fopen(path, "r");
    if (!file) return std::strerror(errno);
    std::fclose(file);
    return "";
}

}  // namespace velmtool
