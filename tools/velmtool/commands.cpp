#include "commands.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ini_dump.h"
#include "velm_basetool.h"
#include "velm_datum.h"
#include "velm_paramline.h"

namespace velmtool {

namespace {

constexpr unsigned int kValueSize = 1024;     // what the library's own callers pass
constexpr std::size_t kFieldSize = 1025;      // a field of 1024 characters and the NUL
constexpr std::size_t kLineCapacity = 1024;   // a parameter line keeps no more
constexpr std::size_t kFormatSize = 260;      // the date's formatted text, NUL included
constexpr int kMaxExitCount = 125;            // above are the shells' own statuses

// The library reads an uncached INI file only while one of these variables is
// set. The user names the file, so the tool sets the one that changes nothing
// else (the other two also move the configuration directory and the names).
void allow_ini_reading(const char* file) {
    if (std::getenv("VELM_LIBUSER_EXITS_INI") || std::getenv("VELM_CONFIG") ||
        std::getenv("VELM_LOCAL")) {
        return;
    }
    // putenv keeps the text itself, so it must outlive the process's use of it.
    static char assignment[] = "VELM_LIBUSER_EXITS_INI=1";
    putenv(assignment);
    std::fprintf(stderr,
                 "velmtool: no configuration variable is set; VELM_LIBUSER_EXITS_INI=1 is set "
                 "for this run so that the library reads %s\n", file);
}

// What the library leaves in its buffer when it cannot use the file: the
// default if it fits, else the empty text.
const char* default_as_left(const char* defaultValue) {
    return defaultValue && std::strlen(defaultValue) < kValueSize ? defaultValue : "";
}

void print_date(const CVELM_Datum& date) {
    std::printf("%02d.%02d.%04d\n", date.Tag(), date.Monat(), date.Jahr());
}

bool same_date(const CVELM_Datum& a, const CVELM_Datum& b) {
    return a.Tag() == b.Tag() && a.Monat() == b.Monat() && a.Jahr() == b.Jahr();
}

// The number of fields of line as a parameter line keeps it: one more than
// the delimiters in its first 1024 characters.
int field_count(const std::string& line, char delimiter) {
    std::size_t kept = line.size() < kLineCapacity ? line.size() : kLineCapacity;
    int count = 1;
    for (std::size_t i = 0; i < kept; ++i) count += line[i] == delimiter;
    return count;
}

struct EntryPoint {
    const char* name;
    int level;
    void (*log)(const char* format, ...);
};

const EntryPoint kEntryPoints[] = {
    {"trace", 1, VELM_TRACE},     {"debug", 2, VELM_DEBUG},       {"warning", 3, VELM_WARNING},
    {"error", 4, VELM_ERROR},     {"crerror", 5, VELM_CRERROR},   {"printlog", 6, VELM_PRINTLOG},
    {"verinfo", 7, VELM_PRINT_VERINFO},
};

// The entry point named by its name or by its level.
const EntryPoint& entry_point(const std::string& text) {
    for (const EntryPoint& entry : kEntryPoints) {
        if (text == entry.name || text == std::to_string(entry.level)) return entry;
    }
    throw UsageError("LEVEL must be 1 to 7 or one of trace, debug, warning, error, crerror, "
                     "printlog, verinfo, not " + quoted(text));
}

}  // namespace

int run_ini(const Arguments& args) {
    const char* file = args[0].c_str();
    const char* section = args[1].c_str();
    const char* key = args[2].c_str();
    const char* defaultValue = args.size() > 3 ? args[3].c_str() : nullptr;
    allow_ini_reading(file);
    // The reader cuts every line at its line feed, so no value it finds can be
    // this text: whatever else comes back was found in the file.
    static const char kNotFound[] = "\n";
    char value[kValueSize + 1];
    int length = VELM_GetPrivateProfileString(section, key, kNotFound, value, kValueSize, file);
    if (std::strcmp(value, kNotFound) != 0) {
        std::printf("%s\n", value);
        return 0;
    }
    if (length == 0) {
        // The file could not be used and the library has said why; asking
        // again with the caller's default would only repeat that line.
        std::printf("%s\n", default_as_left(defaultValue));
        return 1;
    }
    // The file is read and kept now, so this answer comes from memory.
    VELM_GetPrivateProfileString(section, key, defaultValue, value, kValueSize, file);
    std::printf("%s\n", value);
    return 1;
}

int run_ini_dump(const Arguments& args) {
    if (!dump_ini_file(args[0].c_str(), stdout)) {
        std::fprintf(stderr, "velmtool ini-dump: cannot read %s\n", args[0].c_str());
        return 1;
    }
    return 0;
}

int run_check(const Arguments& args) {
    int failures = 0;
    for (const std::string& path : args) {
        int result = VELM_CheckFileRead(path.c_str());
        if (result == 0) {
            std::printf("ok: %s\n", path.c_str());
        } else {
            std::printf("failed (%d): %s\n", result, path.c_str());
            ++failures;
        }
    }
    return failures < kMaxExitCount ? failures : kMaxExitCount;
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
            std::fprintf(stderr, "velmtool next-day: no valid date follows %02d.%02d.%04d\n",
                         before.Tag(), before.Monat(), before.Jahr());
            return 1;
        }
        print_date(date);
    }
    return 0;
}

int run_date(const Arguments& args) {
    const char* format = args.empty() ? "%Y-%m-%d %H:%M:%S" : args[0].c_str();
    CVELM_Datum now;
    char text[kFormatSize];
    now.Format(format, text);
    std::printf("%s\n", text);
    if (text[0] == '\0' && format[0] != '\0') {
        std::fprintf(stderr, "velmtool date: the formatted text is empty (longer than %d "
                             "characters, or the moment cannot be converted)\n",
                     static_cast<int>(kFormatSize - 1));
        return 1;
    }
    return 0;
}

int run_field(const Arguments& args) {
    char delimiter = char_argument(args[0], "DELIMITER");
    int index = int_argument(args[1], "INDEX", INT_MIN, INT_MAX);
    CVELM_ParamLine line(args[2].c_str(), delimiter);
    char field[kFieldSize];
    line.GetParamString(index, field);
    std::printf("%s\n", field);
    return 0;
}

int run_fields(const Arguments& args) {
    char delimiter = char_argument(args[0], "DELIMITER");
    CVELM_ParamLine line(args[1].c_str(), delimiter);
    int count = field_count(args[1], delimiter);
    std::printf("%d fields, GetCount %d\n", count, line.GetCount());
    char field[kFieldSize];
    for (int index = 0; index < count; ++index) {
        line.GetParamString(index, field);
        std::printf("%d %s int %d char %s\n", index, quoted(field).c_str(),
                    line.GetParamInt(index),
                    ("'" + escaped(std::string(1, line.GetParamChar(index))) + "'").c_str());
    }
    return 0;
}

int run_cfgpath(const Arguments&) {
    std::printf("%s\n", VELM_GetCfgPath());
    return 0;
}

int run_log(const Arguments& args) {
    const EntryPoint& entry = entry_point(args[0]);
    // The message is an argument, never the format: a "%" in it stays text.
    entry.log("%s\n", args[1].c_str());
    const char* path = VELM_GetLogFilePath();
    if (!path) {
        std::printf("no session log file: level %d is below the file level %d\n", entry.level,
                    VELM_GetLogLevel());
        return 1;
    }
    std::printf("session log file: %s\n", path);
    return 0;
}

}  // namespace velmtool
