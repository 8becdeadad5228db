#include "support/test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

#include "velm_basetool.h"

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace velm_test {

int current_pid() { return static_cast<int>(getpid()); }

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = (fs::temp_directory_path() / ("velm_test_" + std::to_string(current_pid()) + "_" + std::to_string(stamp) +
                                          "_" + std::to_string(counter++)))
                .string();
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::file(const std::string& name) const { return (fs::path(path_) / name).string(); }

std::string ScratchDir::write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
    return file(name);
}

#if defined(_WIN32)
void set_env(const char* name, const char* value) { _putenv_s(name, value ? value : ""); }
#else
void set_env(const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); }
#endif

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a Windows line end
        lines.push_back(line);
    }
    return lines;
}

std::string joined_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

StdoutCapture::StdoutCapture() {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}

std::string StdoutCapture::finish() {
    std::fflush(stdout);
    std::string text = testing::internal::GetCapturedStdout();
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

static std::string without_timestamp(const std::string& line) {
    const std::string shape = "dddd/dd/dd-dd:dd:dd UTC - ";  // 2026/12/06-19:55:18 UTC -
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || line.size() < indent + shape.size()) return line;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = line[indent + i];
        if (shape[i] == 'd' ? (c < '0' || c > '9') : c != shape[i]) return line;
    }
    return line.substr(0, indent) + line.substr(indent + shape.size());
}

std::vector<std::string> marked(std::vector<std::string> lines) {
    for (std::string& line : lines) line = without_timestamp(line) == line ? line : "*" + without_timestamp(line);
    return lines;
}

std::vector<std::string> session_lines(bool withoutTimestamps) {
    std::vector<std::string> lines = read_lines(VELM_GetLogFilePath() ? VELM_GetLogFilePath() : "");
    lines.erase(lines.begin(), lines.begin() + std::min<std::size_t>(6, lines.size()));
    for (std::string& line : lines) line = withoutTimestamps ? without_timestamp(line) : line;
    return lines;
}

#if defined(_WIN32)
bool can_drop_privileges() { return false; }
int run_in_child(const std::function<int()>& body, bool unprivileged) { return unprivileged ? -1 : body(); }
#else
bool can_drop_privileges() { return geteuid() == 0 && getpwnam("nobody") != nullptr; }

int run_in_child(const std::function<int()>& body, bool unprivileged) {
    if (unprivileged && !can_drop_privileges()) return -1;
    const struct passwd* nobody = getpwnam("nobody");
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        alarm(60);  // a hang is a failure, not a stuck test run
        // root's own groups go too: a file of group root must not stay open to the child
        if (unprivileged && !(setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0))
            _exit(125);
        int code = body();
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}
#endif

// The child writes into a file opened before the fork (the exit flushes it): no pipe that fills while we wait.
std::string child_report(const std::function<std::string()>& body, bool unprivileged) {
    const ScratchDir scratch;
    std::FILE* file = std::fopen(scratch.file("report").c_str(), "wb");
    if (!file) return "no report file";
    const int status = run_in_child(
        [&] {
            const std::string report = body();
            return std::fwrite(report.data(), 1, report.size(), file) == report.size() ? 0 : 1;
        },
        unprivileged);
    std::fclose(file);
    const std::string report = read_file(scratch.file("report"));
    return status == 0 ? report : "child status " + std::to_string(status) + "\n" + report;
}

}  // namespace velm_test
