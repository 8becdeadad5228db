// Folding UTF-8 into ISO 8859-1 in place, against copying the same bytes:
// through the exported function (with the block folder the library chose for
// this processor) and through each block folder this processor runs.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "strings/utf8_folding.h"
#include "velm_basetool.h"

namespace velm_bench {

namespace {

using velm::strings::BlockFolder;

constexpr std::size_t kTextBytes = 1 << 20;

// Mostly ASCII with German and French letters (two bytes each), the euro
// sign and a dash (three bytes each): about one folded sequence in twelve
// bytes.
constexpr char kMostlyAscii[] =
    "Gr\u00fc\u00dfe aus K\u00f6ln! Die B\u00e4ckerei an der Stra\u00dfe verkauft "
    "Br\u00f6tchen f\u00fcr 2,50 \u20ac \u2013 na\u00efve Kunden zahlen mit M\u00fcnzen. "
    "\u00c7a co\u00fbte tr\u00e8s cher, d\u00e9j\u00e0 \u00e0 Z\u00fcrich. "
    "Order 4711: 12 items shipped to Malm\u00f6 on 2024-02-29.\n";

// Latin-1 letters with few ASCII ones between them: four bytes in five belong
// to a folded sequence.
constexpr char kLatin1Heavy[] =
    "\u00c0\u00e9\u00ee\u00f5\u00fc \u00c4\u00d6\u00dc\u00df\u00e4\u00f6 \u00e7\u00c7\u00f1\u00d1 "
    "\u00e0\u00e1\u00e2\u00e3\u00e5\u00e6 \u00e8\u00ea\u00eb\u00ec\u00ed \u00f2\u00f3\u00f4\u00f8 "
    "\u00f9\u00fa\u00fb\u00fd\u00ff \u00c5\u00c6\u00c9\u00d8\u00de\u00f0.\n";

// 1 MiB of sample, repeated, NUL-terminated; padded with spaces so that no
// character is cut.
std::vector<char> text_of(const char* sample) {
    const std::size_t length = std::strlen(sample);
    std::vector<char> text;
    text.reserve(kTextBytes + 1);
    while (text.size() + length <= kTextBytes) text.insert(text.end(), sample, sample + length);
    while (text.size() < kTextBytes) text.push_back(' ');
    text.push_back('\0');
    return text;
}

// Times operation alone, on a fresh copy of original every pass. Folding is
// not idempotent, so every fold starts from the original; the copy is made
// outside the timed part, and only the operation is timed, with the steady
// clock, which needs no system call. A fold and its limit are timed alike:
// pausing the benchmark's own timer instead would put its system calls (and
// the cold page translations they leave) into every fold's pass and none
// into the limit's loop.
template <class Operation>
void time_on_fresh_copies(benchmark::State& state, const std::vector<char>& original, Operation operation) {
    std::vector<char> work(original);
    for (auto _ : state) {
        std::memcpy(work.data(), original.data(), original.size());
        auto start = std::chrono::steady_clock::now();
        operation(work.data());
        auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTextBytes));
}

// Folds text in place with fold on every pass, after checking once that it
// folds as the portable path does.
template <class Fold>
void fold_in_place(benchmark::State& state, const char* sample, Fold fold) {
    const std::vector<char> original = text_of(sample);
    std::vector<char> work(original), reference(original);
    fold(work.data());
    velm::strings::fold_utf8(reinterpret_cast<const unsigned char*>(reference.data()),
                             reinterpret_cast<unsigned char*>(reference.data()), nullptr);
    if (work != reference) {
        state.SkipWithError("the text was not folded as the portable path folds it");
        return;
    }
    time_on_fresh_copies(state, original, fold);
}

// The limit: the text copied whole, timed as a fold is.
void fold_limit(benchmark::State& state, const char* sample) {
    const std::vector<char> original = text_of(sample);
    std::vector<char> copy(original.size());
    time_on_fresh_copies(state, original, [&copy](const char* text) {
        std::memcpy(copy.data(), text, copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    });
}

struct Kernel {
    const char* name;
    BlockFolder folder;
};

// The block folders this processor runs, widest first, then the portable path.
std::vector<Kernel> kernels_here() {
    namespace k = velm::strings::kernels;
    std::vector<Kernel> here;
    for (Kernel kernel : {Kernel{"avx512", k::avx512_block_folder()}, Kernel{"avx2", k::avx2_block_folder()},
                          Kernel{"ssse3", k::ssse3_block_folder()}})
        if (kernel.folder) here.push_back(kernel);
    here.push_back({"portable", nullptr});
    return here;
}

}  // namespace

void register_strings_benchmarks() {
    const struct {
        const char* name;
        const char* sample;
    } texts[] = {{"mostly_ascii", kMostlyAscii}, {"latin1", kLatin1Heavy}};
    const std::vector<Kernel> kernels = kernels_here();
    for (const auto& text : texts) {
        const char* sample = text.sample;
        // The library chooses as kernels_here orders them: the first one.
        std::string row = std::string("5.utf8_to_iso.") + text.name + "." + kernels.front().name;
        add(row + ".exported", "library", [sample](benchmark::State& s) {
            fold_in_place(s, sample, [](char* t) { VELM_convert_UTF8_to_ISO(t, t); });
        })->UseManualTime();
        add(row + ".exported", "limit", [sample](benchmark::State& s) { fold_limit(s, sample); })->UseManualTime();
        for (const Kernel& kernel : kernels) {
            row = std::string("5.utf8_to_iso.") + text.name + "." + kernel.name;
            BlockFolder folder = kernel.folder;
            add(row, "library", [sample, folder](benchmark::State& s) {
                fold_in_place(s, sample, [folder](char* t) {
                    auto* bytes = reinterpret_cast<unsigned char*>(t);
                    velm::strings::fold_utf8(bytes, bytes, folder);
                });
            })->UseManualTime();
            add(row, "limit", [sample](benchmark::State& s) { fold_limit(s, sample); })->UseManualTime();
        }
    }
}

}  // namespace velm_bench
