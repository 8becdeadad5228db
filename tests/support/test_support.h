// Helpers of the tests: scratch folders, environment, files, standard output, child processes.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace velm_test {

// Not under the sanitizers: a fork amid other threads can leave their runtimes' own locks taken in the child.
inline constexpr bool kForksAmidThreads = !VELM_TEST_SANITIZED;

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;                             // path() joined with name
    std::string write(const std::string& name, const std::string& bytes) const;  // bytes into file(name), its path

  private:
    std::string path_;
};

int current_pid();
void set_env(const char* name, const char* value);  // a null value unsets name
inline void unset_env(const char* name) { set_env(name, nullptr); }

// text cut at each "\n" (the line ends, "\r\n" too, dropped; a last unended piece kept).
std::vector<std::string> split_lines(const std::string& text);
std::string read_file(const std::string& path);  // empty when it cannot be read
inline std::vector<std::string> read_lines(const std::string& path) { return split_lines(read_file(path)); }
std::string joined_lines(const std::vector<std::string>& lines);  // each ended by "\n", as one text

// Captures standard output until finish() (once), without the "\r" a text-mode console adds.
struct StdoutCapture {
    StdoutCapture();
    std::string finish();
};

// The lines, each with a "*" in front in place of its timestamp (found after the indentation).
std::vector<std::string> marked(std::vector<std::string> lines);
// The lines of the session log file after its six header lines, without their timestamps if asked.
std::vector<std::string> session_lines(bool withoutTimestamps = false);

// body's exit status from a forked child under a 60-second alarm, as nobody when unprivileged; -1 when the rights
// cannot be dropped or on a signal. Windows has no fork: body runs here, unprivileged not at all (-1).
int run_in_child(const std::function<int()>& body, bool unprivileged = false);
bool can_drop_privileges();  // whether a child can run as nobody: only root can give its rights away

// What body returns, from a child run as run_in_child runs it; its exit status before it when that is not 0.
std::string child_report(const std::function<std::string()>& body, bool unprivileged = false);

}  // namespace velm_test
