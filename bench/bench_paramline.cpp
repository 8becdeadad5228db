// A field of a parameter line and the count of its fields, against a plain
// strchr split of the same line.
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_support.h"
#include "velm_paramline.h"

namespace velm_bench {

namespace {

constexpr char kDelimiter = ';';

// `fields` fields of seven characters each ("field07"), 100 of them fit the
// line's 1024 characters.
std::string line_of(int fields) {
    std::string line;
    char field[16];
    for (int i = 0; i < fields; ++i) {
        std::snprintf(field, sizeof field, "field%02d", i % 100);
        if (i > 0) line += kDelimiter;
        line += field;
    }
    return line;
}

// The field's start and length, or false when the line has no such field.
bool find_field(const char* line, int index, const char*& start, std::size_t& length) {
    const char* p = line;
    for (int i = 0; i < index; ++i) {
        p = std::strchr(p, kDelimiter);
        if (!p) return false;
        ++p;
    }
    const char* end = std::strchr(p, kDelimiter);
    start = p;
    length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    return true;
}

// Copies the last field.
void field_library(benchmark::State& state, int fields) {
    CVELM_ParamLine line(line_of(fields).c_str(), kDelimiter);
    char out[1025];
    char expected[16];
    std::snprintf(expected, sizeof expected, "field%02d", (fields - 1) % 100);
    if (line.GetParamString(fields - 1, out) != 7 || std::strcmp(out, expected) != 0) {
        state.SkipWithError("GetParamString gave the wrong field");
        return;
    }
    for (auto _ : state) {
        int length = line.GetParamString(fields - 1, out);
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
}

void field_limit(benchmark::State& state, int fields) {
    std::string text = line_of(fields);
    char out[1025];
    for (auto _ : state) {
        const char* start = nullptr;
        std::size_t length = 0;
        if (find_field(text.c_str(), fields - 1, start, length)) std::memcpy(out, start, length);
        out[length] = '\0';
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
}

void count_library(benchmark::State& state, int fields) {
    CVELM_ParamLine line(line_of(fields).c_str(), kDelimiter);
    if (line.GetCount() != fields) {
        state.SkipWithError("GetCount miscounted");
        return;
    }
    for (auto _ : state) {
        int count = line.GetCount();
        benchmark::DoNotOptimize(count);
    }
}

// The leading non-empty fields, in one pass over the line.
void count_limit(benchmark::State& state, int fields) {
    std::string text = line_of(fields);
    for (auto _ : state) {
        int count = 0;
        const char* p = text.c_str();
        for (;;) {
            const char* end = std::strchr(p, kDelimiter);
            std::size_t length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
            if (length == 0) break;
            ++count;
            if (!end) break;
            p = end + 1;
        }
        benchmark::DoNotOptimize(count);
    }
}

}  // namespace

void register_paramline_benchmarks() {
    for (int fields : {10, 100}) {
        std::string row = "4.get_param_string." + std::to_string(fields);
        add(row, "library", [fields](benchmark::State& s) { field_library(s, fields); });
        add(row, "limit", [fields](benchmark::State& s) { field_limit(s, fields); });
    }
    for (int fields : {10, 100}) {
        std::string row = "4.get_count." + std::to_string(fields);
        add(row, "library", [fields](benchmark::State& s) { count_library(s, fields); });
        add(row, "limit", [fields](benchmark::State& s) { count_limit(s, fields); });
    }
}

}  // namespace velm_bench
