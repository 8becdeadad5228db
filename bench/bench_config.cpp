// A cached INI lookup: the library's file cache against inih parsing the
// file for every lookup (a host without a cache) and against inih's reader
// parsed once (a map lookup).
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_support.h"
#include "velm_basetool.h"

#ifdef VELM_BENCH_HAVE_INIH
#include <INIReader.h>
#include <ini.h>
#endif

namespace velm_bench {

namespace {

// Each section is its header and nine entries: ten lines.
constexpr int kLinesPerSection = 10;
constexpr int kEntriesPerSection = kLinesPerSection - 1;

struct Lookup {
    std::string path;
    std::string section;
    std::string key;
    std::string value;
};

std::string section_name(int s) { return "Section" + std::to_string(s); }
std::string key_name(int k) { return "Key" + std::to_string(k); }
std::string value_text(int s, int k) {
    return "value " + std::to_string(k) + " of section " + std::to_string(s);
}

// Writes an INI file of `lines` lines once; returns its path.
std::string ini_file(int lines) {
    std::string path = scratch_dir() + "/settings" + std::to_string(lines) + ".ini";
    if (std::FILE* f = std::fopen(path.c_str(), "r")) {
        std::fclose(f);
        return path;
    }
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return path;
    for (int s = 0; s < lines / kLinesPerSection; ++s) {
        std::fprintf(f, "[%s]\n", section_name(s).c_str());
        for (int k = 0; k < kEntriesPerSection; ++k)
            std::fprintf(f, "%s=%s\n", key_name(k).c_str(), value_text(s, k).c_str());
    }
    std::fclose(f);
    return path;
}

enum class Where { start, middle, end };

// The entry on the second line, the middle line or the last line.
Lookup lookup_in(int lines, Where where) {
    int sections = lines / kLinesPerSection;
    int s = where == Where::start ? 0 : where == Where::middle ? sections / 2 : sections - 1;
    int k = where == Where::start ? 0 : where == Where::middle ? kEntriesPerSection / 2
                                                               : kEntriesPerSection - 1;
    return {ini_file(lines), section_name(s), key_name(k), value_text(s, k)};
}

void library(benchmark::State& state, const Lookup& q) {
    char value[1024];
    VELM_GetPrivateProfileString(q.section.c_str(), q.key.c_str(), "", value, sizeof value,
                                 q.path.c_str());  // reads and caches the file
    if (q.value != value) {
        state.SkipWithError("the library did not find the value");
        return;
    }
    for (auto _ : state) {
        int length = VELM_GetPrivateProfileString(q.section.c_str(), q.key.c_str(), "", value,
                                                  sizeof value, q.path.c_str());
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
}

#ifdef VELM_BENCH_HAVE_INIH
struct ParseQuery {
    const Lookup* q;
    char value[1024];
};

int take_match(void* user, const char* section, const char* name, const char* value) {
    auto* query = static_cast<ParseQuery*>(user);
    if (strcasecmp(section, query->q->section.c_str()) == 0 &&
        strcasecmp(name, query->q->key.c_str()) == 0) {
        std::snprintf(query->value, sizeof query->value, "%s", value);
    }
    return 1;
}

void inih_parse(benchmark::State& state, const Lookup& q) {
    ParseQuery query{&q, ""};
    for (auto _ : state) {
        query.value[0] = '\0';
        ini_parse(q.path.c_str(), take_match, &query);
        benchmark::DoNotOptimize(query.value);
        benchmark::ClobberMemory();
    }
    if (q.value != query.value) state.SkipWithError("inih did not find the value");
}

void inih_map(benchmark::State& state, const Lookup& q) {
    INIReader reader(q.path);
    if (reader.ParseError() != 0 || reader.Get(q.section, q.key, "") != q.value) {
        state.SkipWithError("INIReader did not find the value");
        return;
    }
    for (auto _ : state) {
        std::string value = reader.Get(q.section, q.key, "");
        benchmark::DoNotOptimize(value);
    }
}
#endif

}  // namespace

void register_config_benchmarks() {
    const struct {
        Where where;
        const char* name;
    } places[] = {{Where::start, "start"}, {Where::middle, "middle"}, {Where::end, "end"}};
    for (int lines : {20, 200, 2000}) {
        for (const auto& place : places) {
            std::string row = "3.ini" + std::to_string(lines) + "." + place.name;
            Lookup q = lookup_in(lines, place.where);
            add(row, "library", [q](benchmark::State& s) { library(s, q); });
#ifdef VELM_BENCH_HAVE_INIH
            add(row, "inih_parse", [q](benchmark::State& s) { inih_parse(s, q); });
            add(row, "inih_map", [q](benchmark::State& s) { inih_map(s, q); });
#endif
        }
    }
}

}  // namespace velm_bench
