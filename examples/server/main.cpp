// The example server: a skeleton of a multi-threaded server on the library.
// It hands its settings to the preference cache once, starts its workers,
// and each worker takes jobs from a queue, reads its settings through the
// cache and logs what it did. The library guards its own state, so the
// workers call it without any lock of the server's.
//
//   velm_example_server [SETTINGS]     (default: server_settings.txt)
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "velm_basetool.h"

namespace {

constexpr std::size_t kValueSize = 1025;  // the lookups write up to 1024 bytes
constexpr int kMostWorkers = 64;

// The jobs waiting for a worker; closed once the last job is queued.
class JobQueue {
  public:
    void push(int job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push(job);
        }
        ready_.notify_one();
    }
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }
    // The next job, or false once the queue is closed and empty.
    bool pop(int& job) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return closed_ || !jobs_.empty(); });
        if (jobs_.empty()) return false;
        job = jobs_.front();
        jobs_.pop();
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::queue<int> jobs_;
    bool closed_ = false;
};

// Hands every line of the settings file to the preference cache as section
// [Server]; the library keeps only the key=value entries. False when the
// file gives no lines.
bool load_settings(const char* path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.empty()) return false;
    std::vector<const char*> texts;
    for (const std::string& line : lines) texts.push_back(line.c_str());
    VELM_CreateProfileFromPref("Server", static_cast<int>(texts.size()), texts.data(), "server", 0);
    return true;
}

void work(int worker, JobQueue& queue) {
    VELM_PRINTLOG("worker %d started\n", worker);
    int handled = 0;
    for (int job; queue.pop(job);) {
        char greeting[kValueSize];
        VELM_GetIniString("Server", "Greeting", greeting, "hello");
        VELM_PRINTLOG("worker %d: job %d: %s %d\n", worker, job, greeting, worker);
        ++handled;
    }
    VELM_PRINTLOG("worker %d stopped after %d jobs\n", worker, handled);
}

}  // namespace

int main(int argc, char** argv) {
    const char* settingsPath = argc > 1 ? argv[1] : "server_settings.txt";
    VELM_SetApplName("server");
    if (!load_settings(settingsPath)) {
        VELM_ERROR("ERROR: no settings in %s\n", settingsPath);
        return 1;
    }
    int workers = VELM_GetIniInt("Server", "Workers", 2);
    int jobs = VELM_GetIniInt("Server", "Jobs", 8);
    if (workers < 1 || workers > kMostWorkers) {
        VELM_WARNING("Workers=%d is not 1 to %d; 2 workers start\n", workers, kMostWorkers);
        workers = 2;
    }
    VELM_PRINTLOG("server: %d workers, %d jobs\n", workers, jobs);

    JobQueue queue;
    std::vector<std::thread> threads;
    for (int worker = 1; worker <= workers; ++worker) threads.emplace_back(work, worker, std::ref(queue));
    for (int job = 1; job <= jobs; ++job) queue.push(job);
    queue.close();
    for (std::thread& thread : threads) thread.join();

    VELM_PRINTLOG("server: done\n");
    const char* path = VELM_GetLogFilePath();
    std::printf("session log file: %s\n", path ? path : "(none)");
    return 0;
}
