// Folding UTF-8 into ISO 8859-1 in place, against copying the same bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "velm_basetool.h"

namespace velm_bench {

namespace {

constexpr std::size_t kTextBytes = 1 << 20;

// Mostly ASCII with German and French letters (two bytes each), the euro
// sign and a dash (three bytes each): about one folded sequence in twelve
// bytes.
constexpr char kSample[] =
    "Gr\u00fc\u00dfe aus K\u00f6ln! Die B\u00e4ckerei an der Stra\u00dfe verkauft "
    "Br\u00f6tchen f\u00fcr 2,50 \u20ac \u2013 na\u00efve Kunden zahlen mit M\u00fcnzen. "
    "\u00c7a co\u00fbte tr\u00e8s cher, d\u00e9j\u00e0 \u00e0 Z\u00fcrich. "
    "Order 4711: 12 items shipped to Malm\u00f6 on 2024-02-29.\n";

// 1 MiB of the sample, cut at a character boundary, NUL-terminated.
std::vector<char> mixed_text() {
    std::vector<char> text;
    text.reserve(kTextBytes + 1);
    while (text.size() + sizeof kSample - 1 <= kTextBytes)
        text.insert(text.end(), kSample, kSample + sizeof kSample - 1);
    while (text.size() < kTextBytes) text.push_back(' ');
    text.push_back('\0');
    return text;
}

void fold_library(benchmark::State& state) {
    const std::vector<char> original = mixed_text();
    std::vector<char> work(original.size());
    std::memcpy(work.data(), original.data(), original.size());
    VELM_convert_UTF8_to_ISO(work.data(), work.data());
    if (std::memcmp(work.data(),
                    "Gr\xfc\xdf"
                    "e aus K\xf6ln",
                    13) != 0) {
        state.SkipWithError("the text was not folded");
        return;
    }
    for (auto _ : state) {
        // Folding is not idempotent, so every pass starts from the original.
        state.PauseTiming();
        std::memcpy(work.data(), original.data(), original.size());
        state.ResumeTiming();
        VELM_convert_UTF8_to_ISO(work.data(), work.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTextBytes));
}

void fold_limit(benchmark::State& state) {
    const std::vector<char> original = mixed_text();
    std::vector<char> work(original.size());
    for (auto _ : state) {
        std::memcpy(work.data(), original.data(), original.size());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTextBytes));
}

}  // namespace

void register_strings_benchmarks() {
    add("5.utf8_to_iso", "library", fold_library);
    add("5.utf8_to_iso", "limit", fold_limit);
}

}  // namespace velm_bench
