#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "velm_basetool.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace velm_test {

int current_pid() {
#if defined(_WIN32)
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = fs::temp_directory_path() /
                   ("velm_test_" + std::to_string(current_pid()) + "_" +
                    std::to_string(stamp) + "_" + std::to_string(counter++));
    fs::create_directories(dir);
    path_ = dir.string();
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::file(const std::string& name) const {
    return (fs::path(path_) / name).string();
}

std::string ScratchDir::write(const std::string& name, const std::string& bytes) const {
    std::string target = file(name);
    std::ofstream out(target, std::ios::binary);
    out << bytes;
    return target;
}

void set_env(const char* name, const char* value) {
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

void unset_env(const char* name) {
#if defined(_WIN32)
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
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

std::vector<std::string> read_lines(const std::string& path) { return split_lines(read_file(path)); }

bool file_exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

StdoutCapture::StdoutCapture() {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}

std::string StdoutCapture::finish() {
    if (done_) return {};
    done_ = true;
    std::fflush(stdout);
    std::string text = testing::internal::GetCapturedStdout();
    std::string clean;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        clean += text[i];
    }
    return clean;
}

bool has_timestamp_at(const std::string& line, std::size_t at) {
    // "2026/12/06-19:55:18 UTC - "
    static const char shape[] = "dddd/dd/dd-dd:dd:dd UTC - ";
    const std::size_t n = sizeof shape - 1;
    if (line.size() < at + n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = line[at + i];
        bool ok = shape[i] == 'd' ? (c >= '0' && c <= '9') : c == shape[i];
        if (!ok) return false;
    }
    return true;
}

std::string without_timestamp(const std::string& line) {
    std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || !has_timestamp_at(line, indent)) return line;
    return line.substr(0, indent) + line.substr(indent + 26);
}

std::vector<std::string> session_lines() {
    const char* path = VELM_GetLogFilePath();
    if (!path) return {};
    std::vector<std::string> lines = read_lines(path);
    // The header is "  ### ...", "", "  ... Session-LogFile ...", "", "  VELM Base-Tool ...", "".
    const std::size_t header = 6;
    if (lines.size() <= header) return {};
    return std::vector<std::string>(lines.begin() + header, lines.end());
}

bool can_drop_privileges() {
#if defined(_WIN32)
    return false;
#else
    return getpwnam("nobody") != nullptr;
#endif
}

int run_in_child(const std::function<int()>& body, bool unprivileged) {
#if defined(_WIN32)
    (void)body, (void)unprivileged;
    return -1;
#else
    struct passwd* nobody = getpwnam("nobody");
    if (unprivileged && !nobody) return -1;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        alarm(60);  // a hang is a failure, not a stuck test run
        if (unprivileged && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) _exit(125);
        int code = body();
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
#endif
}

int run_unprivileged(const std::function<int()>& body) { return run_in_child(body, true); }

}  // namespace velm_test
