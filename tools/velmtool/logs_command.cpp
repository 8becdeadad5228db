// velmtool logs: the session log files of the log folder, and their pruning.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "log/log_folder.h"
#include "output.h"
#include "platform/platform.h"

namespace velmtool {

namespace {

constexpr int kMaxRetention = 1000000;

struct LogsOptions {
    std::string folder;
    bool prune = false;
    int days = 0;   // 0: from VELM_LOG_RETAIN_DAYS
    int files = 0;  // 0: from VELM_LOG_RETAIN_FILES
};

LogsOptions logs_options(const Arguments& args) {
    LogsOptions options;
    bool folderGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = arg == "--days" || arg == "--files";
        if (takesValue && i + 1 == args.size()) throw UsageError(arg + " needs a number");
        if (arg == "--prune") {
            options.prune = true;
        } else if (takesValue) {
            int& value = arg == "--days" ? options.days : options.files;
            value = int_argument(args[++i], arg.c_str() + 2, 1, kMaxRetention);
        } else if (!folderGiven && (arg.empty() || arg[0] != '-')) {
            options.folder = arg;
            folderGiven = true;
        } else {
            throw UsageError("unexpected argument " + quoted(arg));
        }
    }
    if ((options.days || options.files) && !options.prune) throw UsageError("--days and --files go with --prune");
    if (!folderGiven) {
        char folder[1025];
        velm::log::log_folder(folder, sizeof folder);
        options.folder = folder;
    }
    return options;
}

// "YYYY-MM-DDThh:mm:ssZ" of a time in seconds since 1970.
std::string iso_utc(std::int64_t seconds) {
    std::tm utc;
    char text[64] = "-";
    if (velm::platform::utc_time(seconds, utc)) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                      utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    }
    return text;
}

void print_session_file(const char* folder, const velm::log::SessionFile& file) {
    bool live = velm::platform::hold_of(folder, file.name.c_str()) == velm::platform::FileHold::held;
    std::fprintf(data(), "%s\t%s\t%ld\t%d\t%llu\t%s\t%s\t%s\n", file.application.c_str(), file.customer.c_str(),
                 file.processId, file.rolled, static_cast<unsigned long long>(file.size),
                 iso_utc(file.lastWrite).c_str(), live ? "live" : "-", file.name.c_str());
}

}  // namespace

int run_logs(const Arguments& args) {
    LogsOptions options = logs_options(args);
    const char* folder = options.folder.c_str();
    std::vector<velm::log::SessionFile> files;
    if (!velm::log::list_session_files(folder, files))
        return report(folder, "cannot be read as a folder", kUnusableFile);
    if (!options.prune) {
        for (const velm::log::SessionFile& file : files) print_session_file(folder, file);
        return kSuccess;
    }
    velm::log::FolderLimits limits = velm::log::limits_from_env();
    int days = options.days ? options.days : limits.retainDays;
    int count = options.files ? options.files : limits.retainFiles;
    if (!days && !count) {
        throw UsageError("--prune needs --days or --files, or VELM_LOG_RETAIN_DAYS or VELM_LOG_RETAIN_FILES");
    }
    for (const std::string& name : velm::log::prune_session_files(folder, "", days, count)) {
        std::fprintf(data(), "removed\t%s\n", name.c_str());
    }
    return kSuccess;
}

}  // namespace velmtool
