// The example host: walks the road of one typical use of the library and
// says at each step what it called and what came back.
//
//   velm_example_host [SETTINGS [INI]]   (defaults: example_settings.txt, sample.ini)
//
// INI files are read only when VELM_CONFIG, VELM_LOCAL or
// VELM_LIBUSER_EXITS_INI is set; run it as
//   VELM_LIBUSER_EXITS_INI=1 velm_example_host
// to see the INI value instead of the default.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "velm_basetool.h"
#include "velm_datum.h"
#include "velm_paramline.h"

namespace {

constexpr std::size_t kValueSize = 1025;  // the lookups write up to 1024 bytes

// The lines of the settings file as they stand; the library does the
// trimming and decides what to keep.
std::vector<std::string> read_lines(const char* path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void step(int number, const char* what) { std::printf("\n%d. %s\n", number, what); }

bool ini_files_are_read() {
    return std::getenv("VELM_CONFIG") || std::getenv("VELM_LOCAL") || std::getenv("VELM_LIBUSER_EXITS_INI");
}

const char* log_file_or_none() {
    const char* path = VELM_GetLogFilePath();
    return path ? path : "(none yet)";
}

}  // namespace

int main(int argc, char** argv) {
    const char* settingsPath = argc > 1 ? argv[1] : "example_settings.txt";
    const char* iniPath = argc > 2 ? argv[2] : "sample.ini";
    std::printf("example host: the road of one typical use of libvelm_basetool\n");

    step(1, "VELM_SetApplName(\"example\")");
    VELM_SetApplName("example");
    std::printf(
        "   the session log file will be named example_..._<pid>.log, once there is\n"
        "   something to log\n");

    step(2, "VELM_GetPrivateProfileInt(\"Server\", \"Port\", 80, ini file)");
    int iniPort = VELM_GetPrivateProfileInt("Server", "Port", 80, iniPath);
    if (ini_files_are_read()) {
        std::printf("   Port = %d, from %s (80 would be the default)\n", iniPort, iniPath);
    } else {
        std::printf(
            "   Port = %d: the default. INI files are read only when VELM_CONFIG,\n"
            "   VELM_LOCAL or VELM_LIBUSER_EXITS_INI is set; try VELM_LIBUSER_EXITS_INI=1\n",
            iniPort);
    }

    step(3, "VELM_CreateProfileFromPref(\"Main\", <settings>, \"example\", 0)");
    std::vector<std::string> lines = read_lines(settingsPath);
    if (lines.empty()) {
        std::printf("   cannot read any settings from %s\n", settingsPath);
        return 1;
    }
    std::vector<const char*> texts;
    for (const std::string& line : lines) texts.push_back(line.c_str());
    VELM_CreateProfileFromPref("Main", static_cast<int>(texts.size()), texts.data(), "example", 0);
    std::printf(
        "   %d lines of %s handed in; the library's trace and debug lines go to\n"
        "   the log, which drops them at the usual level 4: session log file %s\n",
        static_cast<int>(texts.size()), settingsPath, log_file_or_none());

    step(4, "VELM_GetIniInt and VELM_GetIniString on section Main");
    int port = VELM_GetIniInt("Main", "port", 80);
    int retries = VELM_GetIniInt("Main", "Retries", 3);
    char route[kValueSize];
    VELM_GetIniString("main", "ROUTE", route, "direct");
    char input[kValueSize];
    VELM_GetIniString("Main", "InputFile", input, "input.dat");
    std::printf(
        "   port = %d (keys ignore case), Retries = %d (not set: the default)\n"
        "   route = %s, input file = %s\n",
        port, retries, route, input);

    step(5, "VELM_CheckFileRead(input file)");
    int check = VELM_CheckFileRead(input);
    std::printf(
        "   result %d; the error above is the first message at level 4, so it\n"
        "   created the session log file %s\n",
        check, log_file_or_none());

    step(6, "CVELM_ParamLine(route, ';')");
    CVELM_ParamLine routeLine(route, ';');
    char field[kValueSize];
    for (int index = 0; index < 4; ++index) {
        int length = routeLine.GetParamString(index, field);
        std::printf("   field %d: \"%s\" (length %d)\n", index, field, length);
    }
    std::printf("   field 9 is absent: length %d, GetParamChar '%c', GetParamInt %d\n",
                routeLine.GetParamString(9, field), routeLine.GetParamChar(9), routeLine.GetParamInt(9));
    std::printf("   GetCount() = %d: the fields before the first empty one\n", routeLine.GetCount());

    step(7, "CVELM_Datum");
    CVELM_Datum today;
    char text[260];
    today.Format("%Y-%m-%d %H:%M", text);
    CVELM_Datum leap(28, 2, 2024);
    ++leap;
    std::printf("   now: %s; the day after 28.02.2024 is %02d.%02d.%04d\n", text, leap.Tag(), leap.Monat(),
                leap.Jahr());

    VELM_PRINTLOG("example host done: port %d, route %s, input check %d\n", port, route, check);
    std::printf("\nsession log file: %s\n", log_file_or_none());
    return 0;
}
