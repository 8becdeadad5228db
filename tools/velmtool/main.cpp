// velmtool: shows from the command line what the library answers to its
// hosts: INI values and why lines are ignored, file read checks, dates,
// parameter fields, the configuration directory and the session log file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "output.h"
#include "tool_access/tool_access.h"
#include "velm_basetool.h"
#include "velm_basetool_version.h"

namespace velmtool {

namespace {

constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);

struct Command {
    const char* name;
    const char* synopsis;
    std::size_t minArgs;
    std::size_t maxArgs;
    int (*run)(const Arguments&);
    const char* summary;
    const char* help;
};

const Command kCommands[] = {
    {"ini", "FILE SECTION KEY [DEFAULT]", 3, 4, run_ini, "the value of KEY in [SECTION] of an INI file",
     "Prints the value of KEY in [SECTION] of the INI file FILE exactly as\n"
     "VELM_GetPrivateProfileString answers it: the value found, else DEFAULT, else\n"
     "the empty text. Sections and keys ignore case; a key includes any blanks\n"
     "before \"=\". FILE is opened as given (a relative name from the working\n"
     "directory, not from the configuration directory). When none of\n"
     "VELM_LIBUSER_EXITS_INI, VELM_CONFIG, VELM_LOCAL is set, sets\n"
     "VELM_LIBUSER_EXITS_INI=1 for this run (and says so on standard error\n"
     "unless -q), since the library reads no file otherwise.\n"
     "Exit status: 0 found, 1 the default was used, 3 FILE cannot be used (nothing\n"
     "on standard output then).\n"},
    {"ini-dump", "FILE", 1, 1, run_ini_dump, "every line of an INI file: kept, or why it is ignored",
     "Reads FILE by the reader's rules and prints every line with its number:\n"
     "a section header it keeps as [name], an entry as \"key\" = \"value\", or why\n"
     "it is ignored (empty, too short, a comment, above the first header, a second\n"
     "header of a section, ...). A line longer than 1023 characters is read in\n"
     "pieces, numbered line.piece. Tabs and carriage returns show as \\t and \\r.\n"
     "Exit status: 0, or 3 when FILE cannot be used.\n"},
    {"check", "FILE...", 1, kAnyNumber, run_check, "whether the library can read each file",
     "Runs VELM_CheckFileRead on each FILE and prints ok or failed for it; the\n"
     "library's own error line (on standard error) says why a file failed.\n"
     "Exit status: 0, or 1 when any file failed.\n"},
    {"next-day", "DAY MONTH YEAR [COUNT]", 3, 4, run_next_day, "the dates that follow a date",
     "Steps a CVELM_Datum set to DAY MONTH YEAR COUNT times (1 when omitted) and\n"
     "prints each date as DD.MM.YYYY. Invalid dates are accepted and step to the\n"
     "next valid date; a year below 100 means 1900 + year. Valid years are 1753\n"
     "to 2399. DAY and MONTH from -99 to 99, YEAR from -9999 to 9999, COUNT from 1\n"
     "to 100000.\n"
     "Exit status: 0, or 1 when no valid date follows.\n"},
    {"date", "[FORMAT]", 0, 1, run_date, "the local time in a strftime format",
     "Prints the current local time through CVELM_Datum::Format with the\n"
     "strftime FORMAT (default \"%Y-%m-%d %H:%M:%S\").\n"
     "Exit status: 0, or 1 when the text is empty (longer than 259 characters).\n"},
    {"field", "DELIMITER INDEX LINE", 3, 3, run_field, "one field of a delimited parameter line",
     "Prints field INDEX (from 0; a negative index means 0) of LINE split at the\n"
     "one-character DELIMITER by CVELM_ParamLine; an absent field prints empty.\n"
     "Exit status: 0.\n"},
    {"fields", "DELIMITER LINE", 2, 2, run_fields, "every field of a delimited parameter line",
     "Prints the number of fields of LINE and CVELM_ParamLine::GetCount (the\n"
     "fields before the first empty one), then each field with GetParamInt and\n"
     "GetParamChar ('s' for an empty field).\n"
     "Exit status: 0.\n"},
    {"cfgpath", "", 0, 0, run_cfgpath, "the configuration directory",
     "Prints the configuration directory from VELM_GetCfgPath (VELM_CONFIG, else\n"
     "VELM_LOCAL and config, else a temporary directory after the library's own\n"
     "warning line, on standard error).\n"
     "Exit status: 0.\n"},
    {"log", "LEVEL MESSAGE", 2, 2, run_log, "logs a message and prints the session log file's path",
     "Logs MESSAGE through the entry point of LEVEL (1 trace, 2 debug, 3 warning,\n"
     "4 error, 5 crerror, 6 printlog, 7 verinfo; the number or the name) and\n"
     "prints the path of the session log file, which it keeps. The levels come\n"
     "from VELM_LOG_LEVEL, VELM_LOG_LEVEL_STDOUT, VELM_LOG_LEVEL_SYSLOG (4 when\n"
     "unset), the directory from VE_TMP_DIR, TEMP or TMP.\n"
     "Exit status: 0, 1 when the message was below the levels (no file), 3 when\n"
     "the session log file could not be created.\n"},
    {"logs", "[--prune [--days N] [--files N]] [FOLDER]", 0, kAnyNumber, run_logs,
     "the session log files of the log folder",
     "Prints one line per session log file and rolled file of FOLDER (default: the\n"
     "log folder, from VE_TMP_DIR, TEMP or TMP), with tab-separated columns:\n"
     "application, customer, process id, rolled number (0: the session file\n"
     "itself), size in bytes, last write (UTC, ISO 8601), live (a process writes\n"
     "it) or -, file name. Only the user's own regular files count.\n"
     "--prune removes the files last written more than N days ago (--days, else\n"
     "VELM_LOG_RETAIN_DAYS) and those beyond the N newest of each application and\n"
     "customer (--files, else VELM_LOG_RETAIN_FILES), never a live one, and prints\n"
     "\"removed\", a tab and the name for each.\n"
     "Exit status: 0, 2 when --prune has no limit, 3 when FOLDER cannot be read.\n"},
};

// "name arguments", without a trailing blank for a command without any.
std::string command_line(const Command& command) {
    std::string line = command.name;
    if (command.synopsis[0] != '\0') line += std::string(" ") + command.synopsis;
    return line;
}

void print_usage() {
    std::FILE* out = data();
    std::fprintf(out,
                 "usage: velmtool [-q] [--keep-log] COMMAND [ARGUMENTS]   (velmtool COMMAND --help)\n"
                 "       velmtool --version | --help\n\ncommands:\n");
    for (const Command& command : kCommands) {
        std::fprintf(out, "  %-9s %s\n", command.name, command.summary);
    }
    std::fprintf(out,
                 "\nAnswers go to standard output; the library's log lines and every diagnostic\n"
                 "to standard error. A session log file the run writes is removed at its end,\n"
                 "unless the command is log or --keep-log is given. -q (or VELM_QUIET=1) silences\n"
                 "the tool's notes on standard error; errors are always shown.\n"
                 "\nenvironment:\n"
                 "  VELM_CONFIG, VELM_LOCAL     the configuration directory; either, or\n"
                 "  VELM_LIBUSER_EXITS_INI      lets the library read INI files\n"
                 "  VELM_LOG_LEVEL, VELM_LOG_LEVEL_STDOUT, VELM_LOG_TIMESTAMP\n"
                 "                              the log's levels and timestamps\n"
                 "  VE_TMP_DIR, TEMP, TMP       the folder of the session log file\n"
                 "  VELM_QUIET                  1, y or Y: as -q\n"
                 "\nexit status:\n"
                 "  0  success\n"
                 "  1  not found, a check failed, the default was used\n"
                 "  2  wrong usage\n"
                 "  3  a file that cannot be used (missing, unreadable, a directory)\n"
                 "  4  the answer could not be written (a closed pipe, a full disk)\n");
}

void print_help(const Command& command) {
    std::fprintf(data(), "usage: velmtool %s\n\n%s", command_line(command).c_str(), command.help);
}

bool is_help(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

const Command* find_command(const char* name) {
    for (const Command& command : kCommands) {
        if (std::strcmp(command.name, name) == 0) return &command;
    }
    return nullptr;
}

int usage_error(const char* prefix, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", prefix, message.c_str());
    return kUsage;
}

// Removes the session log file a run wrote as a side effect. It is closed
// first, as an open file cannot be removed everywhere.
void discard_session_log_file() {
    if (const char* path = velm::tool_access::close_session_log()) std::remove(path);
}

int run_command(const Command& command, const Arguments& args, bool keepLog) {
    // The tool's own session log file is velmtool_..._<pid>.log, apart
    // from those of the servers in the same directory.
    VELM_SetApplName("velmtool");
    int status = command.run(args);
    if (std::strcmp(command.name, "log") == 0) return status;
    if (!keepLog) {
        discard_session_log_file();
    } else if (const char* path = VELM_GetLogFilePath()) {
        note(std::string("session log file kept: ") + path);
    }
    return status;
}

// Whether a yes/no variable says yes, as the library reads its own: a value
// beginning with 1, y or Y.
bool env_says_yes(const char* name) {
    const char* value = std::getenv(name);
    return value && (value[0] == '1' || value[0] == 'y' || value[0] == 'Y');
}

int run(int argc, char** argv) {
    int at = 1;
    bool keepLog = false;
    bool quiet = env_says_yes("VELM_QUIET");
    // The options come before the command, in any order.
    for (; at < argc; ++at) {
        if (std::strcmp(argv[at], "--keep-log") == 0) {
            keepLog = true;
        } else if (std::strcmp(argv[at], "-q") == 0 || std::strcmp(argv[at], "--quiet") == 0) {
            quiet = true;
        } else {
            break;
        }
    }
    set_quiet(quiet);
    if (at >= argc) return usage_error("velmtool", "no command given; see velmtool --help");
    const char* name = argv[at];
    if (is_help(name)) {
        print_usage();
        return kSuccess;
    }
    if (std::strcmp(name, "--version") == 0) {
        std::fprintf(data(), "velmtool %s\n", VELM_BASETOOL_VERSION);
        return kSuccess;
    }
    const Command* command = find_command(name);
    if (!command) {
        return usage_error("velmtool", "unknown command " + quoted(name) + "; see velmtool --help");
    }
    const std::string prefix = std::string("velmtool ") + command->name;
    if (argc > at + 1 && is_help(argv[at + 1])) {
        print_help(*command);
        return kSuccess;
    }
    // "--" lets an argument that looks like --help through.
    int first = argc > at + 1 && std::strcmp(argv[at + 1], "--") == 0 ? at + 2 : at + 1;
    Arguments args(argv + first, argv + argc);
    if (args.size() < command->minArgs || args.size() > command->maxArgs) {
        std::string expected = command->maxArgs == 0 ? "no arguments" : command->synopsis;
        return usage_error(prefix.c_str(), "expects " + expected + "; see velmtool " + command->name + " --help");
    }
    try {
        return run_command(*command, args, keepLog);
    } catch (const UsageError& error) {
        return usage_error(prefix.c_str(), error.what());
    }
}

}  // namespace

}  // namespace velmtool

int main(int argc, char** argv) {
    if (!velmtool::separate_data_from_log_echo()) {
        std::fprintf(stderr, "velmtool: cannot duplicate standard output\n");
        return velmtool::kUnusableFile;
    }
    int status = 1;
    try {
        status = velmtool::run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "velmtool: out of memory\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmtool: %s\n", error.what());
    }
    // An answer that did not arrive is no answer, whatever the command found.
    std::string unwritten = velmtool::finish_data();
    if (unwritten.empty()) return status;
    std::fprintf(stderr, "velmtool: the answer could not be written to standard output: %s\n", unwritten.c_str());
    return velmtool::kUnwritten;
}
