// A cached INI lookup: the library's file cache against inih parsing the
// file for every lookup (a host without a cache) and against inih's reader
// parsed once (a map lookup).
#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

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
std::string value_text(int s, int k) { return "value " + std::to_string(k) + " of section " + std::to_string(s); }

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
    int k = where == Where::start ? 0 : where == Where::middle ? kEntriesPerSection / 2 : kEntriesPerSection - 1;
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
        int length =
            VELM_GetPrivateProfileString(q.section.c_str(), q.key.c_str(), "", value, sizeof value, q.path.c_str());
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
    if (strcasecmp(section, query->q->section.c_str()) == 0 && strcasecmp(name, query->q->key.c_str()) == 0) {
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

// The least a lookup can cost: one find in a hash map of entries texts.
void limit(benchmark::State& state, int entries) {
    std::unordered_map<std::string, std::string> map;
    for (int i = 0; i < entries; ++i) map[section_name(i) + "\n" + key_name(4)] = value_text(i, 4);
    const std::string key = section_name(entries / 2) + "\n" + key_name(4);
    for (auto _ : state) benchmark::DoNotOptimize(map.find(key));
}

// The bytes the process holds in memory.
long resident_bytes() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

double seconds_of(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Ten million lines, 109 MB: a million sections of a header and nine entries.
constexpr int kLargeSections = 1000000;
Lookup large_file() {
    std::string path = scratch_dir() + "/large.ini";
    if (std::FILE* f = std::fopen(path.c_str(), "w")) {
        for (int s = 0; s < kLargeSections; ++s) {
            std::fprintf(f, "[S%06d]\n", s);
            for (int k = 0; k < kEntriesPerSection; ++k) std::fprintf(f, "K%d=v%06d\n", k, s);
        }
        std::fclose(f);
    }
    return {path, "S500000", "K4", "v500000"};
}

// The first lookup in the large file: its reading, in bytes per second of
// processor time as inih's parse is measured, and what it adds to the
// resident size per byte of the file.
// Each repetition names the file in a new way ("./" once more), which the
// cache takes for a new file, so that it is read again.
void first_lookup(benchmark::State& state, const Lookup& q, long bytes) {
    static std::string spelling = scratch_dir() + "/";
    for (auto _ : state) {
        spelling += "./";
        std::string path = spelling + q.path.substr(scratch_dir().size() + 1);
        long before = resident_bytes();
        char value[1024];
        VELM_GetPrivateProfileString(q.section.c_str(), q.key.c_str(), "", value, sizeof value, path.c_str());
        state.counters["rss_per_file_byte"] = double(resident_bytes() - before) / double(bytes);
        if (q.value != value) state.SkipWithError("the library did not find the value");
    }
    state.SetBytesProcessed(bytes * state.iterations());
}

// Lookups while a hundred thousand small files are cached: going round all
// of them (each lookup finds its memory cold), or asking one of them again
// and again (the cost of the search itself). every is 1 or 0.
void many_files(benchmark::State& state, const std::vector<std::string>& files, std::size_t every) {
    char value[1024];
    for (const std::string& file : files)
        VELM_GetPrivateProfileString("Section1", "Key4", "", value, sizeof value, file.c_str());
    std::size_t next = files.size() / 2;
    for (auto _ : state) {
        const std::string& file = files[next % files.size()];
        next += every;
        benchmark::DoNotOptimize(
            VELM_GetPrivateProfileString("Section1", "Key4", "", value, sizeof value, file.c_str()));
    }
}

// The hash-map limit of the same lookups: one map of every file's entry,
// asked with the same keys in the same order.
void many_files_limit(benchmark::State& state, const std::vector<std::string>& files, std::size_t every) {
    std::unordered_map<std::string, std::string> map;
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < files.size(); ++i) {
        keys.push_back(files[i] + "\nSection1\nKey4");
        map[keys.back()] = value_text(static_cast<int>(i), 4);
    }
    std::size_t next = files.size() / 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(keys[next % keys.size()]));
        next += every;
    }
}

// A hundred thousand sections of nine values each in the preference cache.
constexpr int kPrefSections = 100000;

// Fills the preference cache anew, after deleting the one a repetition before
// filled (only a disabled cache can be deleted); the seconds that took.
double fill_preferences() {
    VELM_SetDisableLocPrefCache(1);
    VELM_DeletePrefProfile();
    VELM_SetDisableLocPrefCache(0);
    return seconds_of([] {
        for (int s = 0; s < kPrefSections; ++s) {
            std::vector<std::string> texts;
            for (int k = 0; k < kEntriesPerSection; ++k) texts.push_back(key_name(k) + "=" + value_text(s, k));
            std::vector<const char*> values;
            for (const std::string& text : texts) values.push_back(text.c_str());
            VELM_CreateProfileFromPref(section_name(s).c_str(), kEntriesPerSection, values.data(), "bench", 0);
        }
    });
}

void build_preferences(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(fill_preferences());
}

// Repetitions run in random order: the lookups fill the cache themselves
// when they come first.
void preference_lookup(benchmark::State& state) {
    char value[1024];
    const std::string section = section_name(kPrefSections / 2);
    if (VELM_GetPrivatePreferenceString(section.c_str(), "Key4", "", value, sizeof value, "bench") == 0)
        fill_preferences();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            VELM_GetPrivatePreferenceString(section.c_str(), "Key4", "", value, sizeof value, "bench"));
    }
    if (value_text(kPrefSections / 2, 4) != value) state.SkipWithError("not found");
}

// The large cases write some 130 MB of files and take a minute: only with
// VELM_BENCH_LARGE set.
void register_large_benchmarks() {
    Lookup large = large_file();
    long bytes = 0;
    if (std::FILE* f = std::fopen(large.path.c_str(), "r")) {
        std::fseek(f, 0, SEEK_END);
        bytes = std::ftell(f);
        std::fclose(f);
    }
    add("3.ini10M.first", "library", [large, bytes](benchmark::State& s) {
        first_lookup(s, large, bytes);
    })->Iterations(1);
    add("3.ini10M.cached", "library", [large](benchmark::State& s) { library(s, large); });
    add("3.ini10M.cached", "limit", [](benchmark::State& s) { limit(s, kLargeSections); });
    std::vector<std::string> files;
    for (int i = 0; i < 100000; ++i) {
        files.push_back(scratch_dir() + "/many" + std::to_string(i) + ".ini");
        if (std::FILE* f = std::fopen(files.back().c_str(), "w")) {
            std::fprintf(f, "[Section1]\nKey4=%s\n", value_text(i, 4).c_str());
            std::fclose(f);
        }
    }
    for (std::size_t every : {1, 0}) {
        std::string row = every ? "3.files100k.round" : "3.files100k.one";
        add(row, "library", [files, every](benchmark::State& s) { many_files(s, files, every); });
        add(row, "limit", [files, every](benchmark::State& s) { many_files_limit(s, files, every); });
    }
    add("3.pref100k.build", "library", build_preferences)->Iterations(1)->UseManualTime();
    add("3.pref100k.lookup", "library", preference_lookup);
    add("3.pref100k.lookup", "limit", [](benchmark::State& s) { limit(s, kPrefSections); });
#ifdef VELM_BENCH_HAVE_INIH
    add("3.ini10M.first", "inih_parse", [large, bytes](benchmark::State& s) {
        inih_parse(s, large);
        s.SetBytesProcessed(bytes * s.iterations());
    })->Iterations(1);
    add("3.files100k.one", "inih_parse", [files](benchmark::State& s) {
        inih_parse(s, Lookup{files[100000 / 2], "Section1", "Key4", value_text(100000 / 2, 4)});
    });
#endif
}

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
            add(row, "limit", [lines](benchmark::State& s) { limit(s, lines / kLinesPerSection); });
#ifdef VELM_BENCH_HAVE_INIH
            add(row, "inih_parse", [q](benchmark::State& s) { inih_parse(s, q); });
            add(row, "inih_map", [q](benchmark::State& s) { inih_map(s, q); });
#endif
        }
    }
    if (std::getenv("VELM_BENCH_LARGE")) register_large_benchmarks();
}

}  // namespace velm_bench

namespace velm_bench {

// Case 3 with VELM_CONFIG_RELOAD=1, against the row with the variable unset:
// the same file under a name of its own ("/./"), read while the variable is
// set (it counts when a file is first read), so that it is looked at again
// every second.
void register_config_reload_benchmarks() {
    Lookup q = lookup_in(200, Where::middle);
    q.path = scratch_dir() + "/./" + q.path.substr(scratch_dir().size() + 1);
    add("3.ini200.middle.reload", "library", [q](benchmark::State& s) {
        setenv("VELM_CONFIG_RELOAD", "1", 1);
        library(s, q);
        unsetenv("VELM_CONFIG_RELOAD");
    });
}

}  // namespace velm_bench
