// velmtool: shows from the command line what the library answers to its
// hosts: INI values and why lines are ignored, file read checks, dates,
// parameter fields, the configuration directory and the session log file.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "velm_basetool.h"

namespace velmtool {

namespace {

// The library's version text, as its session log file's header shows it.
constexpr char kLibraryVersion[] = "V11.2.2.1";
constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);
constexpr int kUsageStatus = 2;

struct Command {
    const char* name;
    const char* synopsis;
    std::size_t minArgs;
    std::size_t maxArgs;
    int (*run)(const Arguments&);
    const char* help;
};

const Command kCommands[] = {
    {"ini", "FILE SECTION KEY [DEFAULT]", 3, 4, run_ini,
     "Prints the value of KEY in [SECTION] of the INI file FILE exactly as\n"
     "VELM_GetPrivateProfileString answers it: the value found, else DEFAULT, else\n"
     "the empty text. Sections and keys ignore case; a key includes any blanks\n"
     "before \"=\". When none of VELM_LIBUSER_EXITS_INI, VELM_CONFIG, VELM_LOCAL is\n"
     "set, sets VELM_LIBUSER_EXITS_INI=1 for this run (and says so on standard\n"
     "error), since the library reads no file otherwise.\n"
     "Exit status: 0 found, 1 the default was used (also when the file cannot be\n"
     "used; the library's error line says why).\n"},
    {"ini-dump", "FILE", 1, 1, run_ini_dump,
     "Reads FILE by the reader's rules and prints every line with its number:\n"
     "a section header it keeps as [name], an entry as \"key\" = \"value\", or why\n"
     "it is ignored (empty, too short, a comment, above the first header, a second\n"
     "header of a section, ...). A line longer than 1023 characters is read in\n"
     "pieces, numbered line.piece. Tabs and carriage returns show as \\t and \\r.\n"
     "Exit status: 0, or 1 when FILE cannot be opened.\n"},
    {"check", "FILE...", 1, kAnyNumber, run_check,
     "Runs VELM_CheckFileRead on each FILE and prints ok or failed for it; the\n"
     "library's own error line (on standard output as the log levels allow) says\n"
     "why a file failed.\n"
     "Exit status: the number of files that failed, at most 125.\n"},
    {"next-day", "DAY MONTH YEAR [COUNT]", 3, 4, run_next_day,
     "Steps a CVELM_Datum set to DAY MONTH YEAR COUNT times (1 when omitted) and\n"
     "prints each date as DD.MM.YYYY. Invalid dates are accepted and step to the\n"
     "next valid date; a year below 100 means 1900 + year. Valid years are 1753\n"
     "to 2399. DAY and MONTH from -99 to 99, YEAR from -9999 to 9999, COUNT from 1\n"
     "to 100000.\n"
     "Exit status: 0, or 1 when no valid date follows.\n"},
    {"date", "[FORMAT]", 0, 1, run_date,
     "Prints the current local time through CVELM_Datum::Format with the\n"
     "strftime FORMAT (default \"%Y-%m-%d %H:%M:%S\").\n"
     "Exit status: 0, or 1 when the text is empty (longer than 259 characters).\n"},
    {"field", "DELIMITER INDEX LINE", 3, 3, run_field,
     "Prints field INDEX (from 0; a negative index means 0) of LINE split at the\n"
     "one-character DELIMITER by CVELM_ParamLine; an absent field prints empty.\n"
     "Exit status: 0.\n"},
    {"fields", "DELIMITER LINE", 2, 2, run_fields,
     "Prints the number of fields of LINE and CVELM_ParamLine::GetCount (the\n"
     "fields before the first empty one), then each field with GetParamInt and\n"
     "GetParamChar ('s' for an empty field).\n"
     "Exit status: 0.\n"},
    {"cfgpath", "", 0, 0, run_cfgpath,
     "Prints the configuration directory from VELM_GetCfgPath (VELM_CONFIG, else\n"
     "VELM_LOCAL and config, else a temporary directory after the library's own\n"
     "warning line).\n"
     "Exit status: 0.\n"},
    {"log", "LEVEL MESSAGE", 2, 2, run_log,
     "Logs MESSAGE through the entry point of LEVEL (1 trace, 2 debug, 3 warning,\n"
     "4 error, 5 crerror, 6 printlog, 7 verinfo; the number or the name) and\n"
     "prints the path of the session log file. The levels come from\n"
     "VELM_LOG_LEVEL, VELM_LOG_LEVEL_STDOUT, VELM_LOG_LEVEL_SYSLOG (4 when unset),\n"
     "the directory from VE_TMP_DIR, TEMP or TMP.\n"
     "Exit status: 0, or 1 when the message was below the levels (no file).\n"},
};

// "name arguments", without a trailing blank for a command without any.
std::string command_line(const Command& command) {
    std::string line = command.name;
    if (command.synopsis[0] != '\0') line += std::string(" ") + command.synopsis;
    return line;
}

void print_usage(std::FILE* out) {
    std::fprintf(out, "usage: velmtool COMMAND [ARGUMENTS]   (velmtool COMMAND --help)\n"
                      "       velmtool --version | --help\n\ncommands:\n");
    for (const Command& command : kCommands) {
        std::fprintf(out, "  %s\n", command_line(command).c_str());
    }
}

void print_help(const Command& command) {
    std::printf("usage: velmtool %s\n\n%s", command_line(command).c_str(), command.help);
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
    return kUsageStatus;
}

int run(int argc, char** argv) {
    if (argc < 2) return usage_error("velmtool", "no command given; see velmtool --help");
    const char* name = argv[1];
    if (is_help(name)) {
        print_usage(stdout);
        return 0;
    }
    if (std::strcmp(name, "--version") == 0) {
        std::printf("%s\n", kLibraryVersion);
        return 0;
    }
    const Command* command = find_command(name);
    if (!command) {
        return usage_error("velmtool", "unknown command " + quoted(name) + "; see velmtool --help");
    }
    const std::string prefix = std::string("velmtool ") + command->name;
    if (argc > 2 && is_help(argv[2])) {
        print_help(*command);
        return 0;
    }
    // "--" lets an argument that looks like --help through.
    int first = argc > 2 && std::strcmp(argv[2], "--") == 0 ? 3 : 2;
    Arguments args(argv + first, argv + argc);
    if (args.size() < command->minArgs || args.size() > command->maxArgs) {
        std::string expected = command->maxArgs == 0 ? "no arguments" : command->synopsis;
        return usage_error(prefix.c_str(),
                           "expects " + expected + "; see velmtool " + command->name + " --help");
    }
    try {
        // The tool's own session log file is velmtool_..._<pid>.log, apart
        // from those of the servers in the same directory.
        VELM_SetApplName("velmtool");
        return command->run(args);
    } catch (const UsageError& error) {
        return usage_error(prefix.c_str(), error.what());
    }
}

}  // namespace

}  // namespace velmtool

int main(int argc, char** argv) {
    try {
        return velmtool::run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "velmtool: out of memory\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmtool: %s\n", error.what());
    }
    return 1;
}
