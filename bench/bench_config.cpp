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
#include <random>
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

// Hash flooding: names that all share one hash under the unkeyed hash the
// library used before (its steps are kept here to make them), against as
// many random names. Before the hash was keyed, reading a file of 100,000
// such keys took a minute, and every lookup walked the whole chain.
namespace flood {

// One step of the old hash: a word mixed in. Invertible, and that is the
// weakness: a first word chosen freely, the second can cancel its effect.
std::uint64_t old_step(std::uint64_t hash, std::uint64_t word) {
    hash = (hash ^ word) * 0xff51afd7ed558ccdULL;
    return hash ^ (hash >> 32);
}

// The old hash of a 16-byte name (without capitals, which it folded).
std::uint64_t old_hash(const std::string& name) {
    std::uint64_t first, second;
    std::memcpy(&first, name.data(), 8);
    std::memcpy(&second, name.data() + 8, 8);
    std::uint64_t hash = old_step(old_step(old_step(0x9e3779b97f4a7c15ULL ^ 16, first), second), 0);
    hash *= 0xc4ceb9fe1a85ec53ULL;
    return hash ^ (hash >> 29);
}

// Whether a name may hold byte: printable or high, no capital (a lookup
// folds them), nothing the INI rules give a meaning.
bool fits_name(unsigned char byte) {
    return byte >= 0x80 || (byte > ' ' && byte < 0x7f && !(byte >= 'A' && byte <= 'Z') && byte != '=' && byte != '[' &&
                            byte != ']' && byte != '#');
}

// count distinct 16-byte names whose old hashes are all equal: eight letters
// and digits counted up, then the eight bytes that bring the hash back to
// one value, where those bytes fit a name.
std::vector<std::string> colliding_names(std::size_t count) {
    constexpr std::uint64_t kTarget = 0x6b6579736b657973ULL;  // the state after the second word, for all
    std::vector<std::string> names;
    for (std::uint64_t n = 0; names.size() < count; ++n) {
        char name[17];
        for (int i = 0, m = static_cast<int>(n); i < 8; ++i, m /= 36)
            name[i] = "0123456789abcdefghijklmnopqrstuvwxyz"[m % 36];
        std::uint64_t first;
        std::memcpy(&first, name, 8);
        std::uint64_t second = old_step(0x9e3779b97f4a7c15ULL ^ 16, first) ^ kTarget;
        std::memcpy(name + 8, &second, 8);
        bool fits = true;
        for (int i = 8; i < 16; ++i) fits = fits && fits_name(static_cast<unsigned char>(name[i]));
        if (fits) names.emplace_back(name, 16);
    }
    return names;
}

// count random 16-byte names of the same bytes.
std::vector<std::string> random_names(std::size_t count) {
    std::mt19937_64 random(count);
    std::vector<std::string> names;
    while (names.size() < count) {
        std::string name;
        while (name.size() < 16) {
            auto byte = static_cast<unsigned char>(random());
            if (fits_name(byte)) name.push_back(static_cast<char>(byte));
        }
        names.push_back(name);
    }
    return names;
}

enum class Shape { keys, sections };

// A file of the names: as keys of one section, or as sections of one key.
Lookup file_of(const std::vector<std::string>& names, Shape shape, const std::string& tag) {
    std::string path = scratch_dir() + "/flood_" + tag + ".ini";
    const std::string& middle = names[names.size() / 2];
    if (std::FILE* f = std::fopen(path.c_str(), "w")) {
        if (shape == Shape::keys) std::fprintf(f, "[flood]\n");
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (shape == Shape::keys)
                std::fprintf(f, "%s=v%zu\n", names[i].c_str(), i);
            else
                std::fprintf(f, "[%s]\nk=v%zu\n", names[i].c_str(), i);
        }
        std::fclose(f);
    }
    std::string value = "v" + std::to_string(names.size() / 2);
    return shape == Shape::keys ? Lookup{path, "flood", middle, value} : Lookup{path, middle, "k", value};
}

// The first lookup in a file: reading and indexing it, every time anew, as
// the cache is switched off meanwhile. The file is named as the lookup rows
// never name it ("./" before its name), which the cache, when those rows
// ran first, holds no record of.
void read_and_index(benchmark::State& state, const Lookup& q) {
    char value[1024];
    std::string path = q.path;
    path.insert(path.rfind('/') + 1, "./");
    setenv("VELM_DISABLE_PROPFILE_CACHE", "1", 1);
    for (auto _ : state) {
        VELM_GetPrivateProfileString(q.section.c_str(), q.key.c_str(), "", value, sizeof value, path.c_str());
        if (q.value != value) state.SkipWithError("the library did not find the value");
    }
    unsetenv("VELM_DISABLE_PROPFILE_CACHE");
}

// One conversion of the names as the values "name=v" of one section into a
// preference cache made anew each time.
void convert(benchmark::State& state, const std::vector<std::string>& names) {
    std::vector<std::string> texts;
    for (const std::string& name : names) texts.push_back(name + "=v");
    std::vector<const char*> values;
    for (const std::string& text : texts) values.push_back(text.c_str());
    VELM_SetDisableLocPrefCache(1);  // a disabled cache is replaced by each conversion
    for (auto _ : state)
        VELM_CreateProfileFromPref("flood", static_cast<int>(values.size()), values.data(), "flood", 0);
    char value[1024];
    VELM_GetPrivatePreferenceString("flood", names[names.size() / 2].c_str(), "", value, sizeof value, "flood");
    if (std::string("v") != value) state.SkipWithError("the conversion lost a value");
    VELM_SetDisableLocPrefCache(0);
}

void register_rows(std::size_t count) {
    const std::vector<std::string> colliding = colliding_names(count), random = random_names(count);
    if (old_hash(colliding.front()) != old_hash(colliding.back()))
        std::fprintf(stderr, "flood: names do not collide\n");
    std::string prefix = "3.flood" + std::to_string(count / 1000) + "k.";
    const struct {
        Shape shape;
        const char* name;
    } shapes[] = {{Shape::keys, "keys"}, {Shape::sections, "sections"}};
    for (const auto& shape : shapes) {
        std::string tag = shape.name + std::to_string(count);
        Lookup bad = file_of(colliding, shape.shape, tag + "colliding"),
               good = file_of(random, shape.shape, tag + "random");
        std::string row = prefix + shape.name;
        add(row + ".read", "library", [bad](benchmark::State& s) { read_and_index(s, bad); });
        add(row + ".read", "limit", [good](benchmark::State& s) { read_and_index(s, good); });
        add(row + ".lookup", "library", [bad](benchmark::State& s) { library(s, bad); });
        add(row + ".lookup", "limit", [good](benchmark::State& s) { library(s, good); });
    }
    add(prefix + "pref", "library", [colliding](benchmark::State& s) { convert(s, colliding); });
    add(prefix + "pref", "limit", [random](benchmark::State& s) { convert(s, random); });
}

}  // namespace flood

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
    for (std::size_t count : {40000, 100000}) flood::register_rows(count);
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
