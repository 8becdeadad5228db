#include "commands.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ini_dump.h"
#include "output.h"
#include "tool_access/tool_access.h"
#include "velm_basetool.h"
#include "velm_datum.h"
#include "velm_paramline.h"

namespace velmtool {

namespace {

constexpr unsigned int kValueSize = 1024;  // what the library's own callers pass
constexpr std::size_t kFieldSize = 1025;   // what a field buffer must hold
constexpr std::size_t kFormatSize = 260;   // what a date's text buffer must hold

// The library reads an uncached INI file only while the configuration allows
// it. The user names the file, so the tool sets the variable that changes
// nothing else (the others also move the configuration directory and names).
void allow_ini_reading(const char* file) {
    if (velm::tool_access::ini_reading_allowed()) return;
    // putenv keeps the text itself, so it must outlive the process's use of it.
    static char assignment[] = "VELM_LIBUSER_EXITS_INI=1";
    putenv(assignment);
    note(std::string("no configuration variable is set; VELM_LIBUSER_EXITS_INI=1 is set for this run so that the "
                     "library reads ") +
         file);
}

// Reports why the file at path cannot be used, or returns kSuccess.
int check_usable(const char* path) {
    std::string reason = unusable_file_reason(path);
    return reason.empty() ? kSuccess : report(path, reason, kUnusableFile);
}

void print_date(const CVELM_Datum& date) {
    std::fprintf(data(), "%02d.%02d.%04d\n", date.Tag(), date.Monat(), date.Jahr());
}

bool same_date(const CVELM_Datum& a, const CVELM_Datum& b) {
    return a.Tag() == b.Tag() && a.Monat() == b.Monat() && a.Jahr() == b.Jahr();
}

// The number of fields the user gave: one more than the delimiters. Fields
// the parameter line does not keep show as the absent fields they are to it.
int field_count(const std::string& line, char delimiter) {
    int count = 1;
    for (char c : line) count += c == delimiter;
    return count;
}

struct EntryPoint {
    const char* name;
    int level;
    void (*log)(const char* format, ...);
};

const EntryPoint kEntryPoints[] = {
    {"trace", 1, VELM_TRACE},           {"debug", 2, VELM_DEBUG},     {"warning", 3, VELM_WARNING},
    {"error", 4, VELM_ERROR},           {"crerror", 5, VELM_CRERROR}, {"printlog", 6, VELM_PRINTLOG},
    {"verinfo", 7, VELM_PRINT_VERINFO},
};

// The entry point named by its name or by its level.
const EntryPoint& entry_point(const std::string& text) {
    for (const EntryPoint& entry : kEntryPoints) {
        if (text == entry.name || text == std::to_string(entry.level)) return entry;
    }
    throw UsageError(
        "LEVEL must be 1 to 7 or one of trace, debug, warning, error, crerror, "
        "printlog, verinfo, not " +
        quoted(text));
}

}  // namespace

int run_ini(const Arguments& args) {
    const char* file = args[0].c_str();
    const char* section = args[1].c_str();
    const char* key = args[2].c_str();
    const char* defaultValue = args.size() > 3 ? args[3].c_str() : nullptr;
    if (int status = check_usable(file)) return status;
    allow_ini_reading(file);
    // The reader cuts every line at its line feed, so no value it finds can be
    // this text: whatever else comes back was found in the file.
    static const char kAbsent[] = "\n";
    char value[kValueSize + 1];
    int length = VELM_GetPrivateProfileString(section, key, kAbsent, value, kValueSize, file);
    if (std::strcmp(value, kAbsent) != 0) {
        std::fprintf(data(), "%s\n", value);
        return kSuccess;
    }
    if (length == 0) return report(file, "the library cannot read it", kUnusableFile);
    // The file is read and kept now, so this answer comes from memory.
    VELM_GetPrivateProfileString(section, key, defaultValue, value, kValueSize, file);
    std::fprintf(data(), "%s\n", value);
    return kNotFound;
}

int run_ini_dump(const Arguments& args) {
    const char* file = args[0].c_str();
    if (int status = check_usable(file)) return status;
    if (!dump_ini_file(file, data())) return report(file, "cannot be read", kUnusableFile);
    return kSuccess;
}

int run_check(const Arguments& args) {
    bool failed = false;
    for (const std::string& path : args) {
        int result = VELM_CheckFileRead(path.c_str());
        if (result == 0) {
            std::fprintf(data(), "ok: %s\n", path.c_str());
        } else {
            std::fprintf(data(), "failed (%d): %s\n", result, path.c_str());
            failed = true;
        }
    }
    return failed ? kNotFound : kSuccess;
}

int run_next_day(const Arguments& args) {
    // Invalid days and months are welcome (the step finds the next valid
    // date); the bounds only keep the walk from a far year short.
    int day = int_argument(args[0], "DAY", -99, 99);
    int month = int_argument(args[1], "MONTH", -99, 99);
    int year = int_argument(args[2], "YEAR", -9999, 9999);
    int count = args.size() > 3 ? int_argument(args[3], "COUNT", 1, 100000) : 1;
    CVELM_Datum date(day, month, year);
    for (int i = 0; i < count; ++i) {
        CVELM_Datum before = date;
        ++date;
        if (same_date(before, date)) {
            std::fprintf(stderr, "velmtool next-day: no valid date follows %02d.%02d.%04d\n", before.Tag(),
                         before.Monat(), before.Jahr());
            return kNotFound;
        }
        print_date(date);
    }
    return kSuccess;
}

int run_date(const Arguments& args) {
    const char* format = args.empty() ? "%Y-%m-%d %H:%M:%S" : args[0].c_str();
    CVELM_Datum now;
    char text[kFormatSize];
    now.Format(format, text);
    std::fprintf(data(), "%s\n", text);
    if (text[0] == '\0' && format[0] != '\0') {
        std::fprintf(stderr,
                     "velmtool date: the formatted text is empty (longer than %d "
                     "characters, or the moment cannot be converted)\n",
                     static_cast<int>(kFormatSize - 1));
        return kNotFound;
    }
    return kSuccess;
}

int run_field(const Arguments& args) {
    char delimiter = char_argument(args[0], "DELIMITER");
    int index = int_argument(args[1], "INDEX", INT_MIN, INT_MAX);
    CVELM_ParamLine line(args[2].c_str(), delimiter);
    char field[kFieldSize];
    line.GetParamString(index, field);
    std::fprintf(data(), "%s\n", field);
    return kSuccess;
}

int run_fields(const Arguments& args) {
    char delimiter = char_argument(args[0], "DELIMITER");
    CVELM_ParamLine line(args[1].c_str(), delimiter);
    int count = field_count(args[1], delimiter);
    std::fprintf(data(), "%d fields, GetCount %d\n", count, line.GetCount());
    char field[kFieldSize];
    for (int index = 0; index < count; ++index) {
        line.GetParamString(index, field);
        std::fprintf(data(), "%d %s int %d char %s\n", index, quoted(field).c_str(), line.GetParamInt(index),
                     ("'" + escaped(std::string(1, line.GetParamChar(index))) + "'").c_str());
    }
    return kSuccess;
}

int run_cfgpath(const Arguments&) {
    std::fprintf(data(), "%s\n", VELM_GetCfgPath());
    return kSuccess;
}

int run_log(const Arguments& args) {
    const EntryPoint& entry = entry_point(args[0]);
    // The message is an argument, never the format: a "%" in it stays text.
    entry.log("%s\n", args[1].c_str());
    const char* path = VELM_GetLogFilePath();
    if (!path) {
        std::fprintf(stderr,
                     "velmtool log: no session log file: level %d is below the file "
                     "level %d\n",
                     entry.level, VELM_GetLogLevel());
        return kNotFound;
    }
    std::string reason = unusable_file_reason(path);
    if (!reason.empty()) return report(path, "no session log file: " + reason, kUnusableFile);
    std::fprintf(data(), "%s\n", path);
    return kSuccess;
}

}  // namespace velmtool
