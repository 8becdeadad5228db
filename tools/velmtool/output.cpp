#include "output.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace velmtool {

namespace {

std::FILE* dataStream = stdout;
bool quietNotes = false;

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

std::string finish_data() {
    // The stream keeps what it could not write and tries again here, so the
    // failure's errno is this flush's own.
    errno = 0;
    bool failed = std::fflush(dataStream) != 0 || std::ferror(dataStream);
    int error = errno;
    if (std::fclose(dataStream) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    dataStream = nullptr;
    return failed ? std::strerror(error != 0 ? error : EIO) : "";
}

void set_quiet(bool quiet) { quietNotes = quiet; }

void note(const std::string& text) {
    if (!quietNotes) std::fprintf(stderr, "velmtool: %s\n", text.c_str());
}

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
