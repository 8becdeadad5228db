// Log formats from untrusted text, with a fixed set of arguments: whatever the format, no argument's memory
// is written and nothing crashes; a format made of conversions glibc documents (no %n) gives glibc's text.
#include <sys/mman.h>

#include <cstdarg>
#include <regex>

#include "fuzz_support.h"
#include "log/printf_format.h"

namespace {

constexpr int kSlots = 40, kSlotSize = 64;  // pointer arguments, more than a 48-byte format can take, named or not

// The pointer arguments, each a slot holding "C" as a text and as a wide text, then 0xa5 bytes (pristine), lie
// where an address's low 32 bits are small: one read as a '*' width asks for a few thousand characters at most.
char* const slots =
    static_cast<char*>(mmap(reinterpret_cast<void*>(0x700000000000), kSlots* kSlotSize, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0));
char pristine[kSlotSize] = {'C', 0, 0, 0, 0, 0, 0, 0};
char* slot(int i) { return slots + i * kSlotSize; }

enum class Use { library, runtime, log, print };

long long apply(Use use, char* out, std::size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    long long length = 0;
    if (use == Use::library) length = static_cast<long long>(velm::log::format_message(out, size, format, args));
    if (use == Use::runtime) length = std::vsnprintf(out, size, format, args);
    if (use == Use::log) vVELM_LOG(6, 0, format, args);
    if (use == Use::print) velm::log::print_message(stdout, format, args);
    va_end(args);
    return length;
}

#define WORDS4(i) slot(i), slot(i + 1), slot(i + 2), slot(i + 3)
#define DOUBLES4(x) x, -x * 1e10, x / 3, 0.0
#define APPLY(use, out, size, format)                                                                              \
    apply(use, out, size, format, WORDS4(0), WORDS4(4), WORDS4(8), WORDS4(12), WORDS4(16), WORDS4(20), WORDS4(24), \
          WORDS4(28), WORDS4(32), WORDS4(36), DOUBLES4(1.5), DOUBLES4(2.75), DOUBLES4(-7.0625), DOUBLES4(1e300),   \
          DOUBLES4(3e-310), DOUBLES4(42.0))

// Text and conversions as glibc's manual has them: flags, width, precision, one length modifier, a character;
// or a plain conversion.
std::string documented_format(FuzzedDataProvider& in) {
    const char* const kLengths[] = {"", "hh", "h", "l", "ll", "L", "q", "j", "z", "Z", "t"};
    const char kConversions[] = "diouxXbBeEfFgGaAcsCSpm";
    const char kFlags[] = {'-', '+', ' ', '#', '0', '\''};
    std::string format;
    while (in.remaining_bytes() > 0 && format.size() < 40) {
        std::string text = velm_fuzz::text(in, 6);
        text.erase(std::remove(text.begin(), text.end(), '%'), text.end());
        format += text + (in.ConsumeBool() ? "%%%" : "%");
        if (in.ConsumeBool()) {  // a plain conversion, which the library formats without the C library
            format +=
                std::string(in.ConsumeBool() ? "l" : "") + in.PickValueInArray({'d', 'i', 'u', 'x', 'X', 'c', 's'});
            continue;
        }
        for (int flags = in.ConsumeIntegralInRange(0, 2); flags > 0; --flags) format += in.PickValueInArray(kFlags);
        const char* const kFields[] = {"", "*", "7", "12"};
        format += in.PickValueInArray(kFields);
        if (in.ConsumeBool()) format += std::string(".") + in.PickValueInArray(kFields);
        format += in.PickValueInArray(kLengths);
        format += kConversions[in.ConsumeIntegralInRange<std::size_t>(0, sizeof kConversions - 2)];
    }
    return format;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FUZZ_CHECK(slots != MAP_FAILED);
    std::memset(pristine + 8, 0xa5, kSlotSize - 8);
    for (int i = 0; i < kSlots; ++i) std::memcpy(slot(i), pristine, kSlotSize);
    return velm_fuzz::quiet_log();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::size_t room = in.ConsumeIntegralInRange<std::size_t>(1, 300);
    const bool documented = in.ConsumeBool();
    const std::string format = documented ? documented_format(in) : velm_fuzz::text(in, 48);
    // Past the fixed arguments ("%31$d" on) a format reads what no caller passed; five-digit fields only cost time.
    static const std::regex kTooMuch("[0-9]{5}|(3[1-9]|[4-9][0-9]|[1-9][0-9]{2,})\\$");
    if (std::regex_search(format, kTooMuch)) return 0;
    velm_fuzz::Buffer mine(room), theirs(room);
    const long long length = APPLY(Use::library, mine, room, format.c_str());
    FUZZ_CHECK(std::memchr(mine, '\0', room) != nullptr);
    if (documented) {
        const long long expected = APPLY(Use::runtime, theirs, room, format.c_str());
        if (expected >= 0) FUZZ_CHECK(length == expected && std::memcmp(mine, theirs, room) == 0);
        if (expected < 0) FUZZ_CHECK(length == static_cast<long long>(format.size()) && format.find(mine) == 0);
    } else {
        APPLY(Use::log, nullptr, 0, format.c_str());
        APPLY(Use::print, nullptr, 0, format.c_str());
    }
    for (int i = 0; i < kSlots; ++i) FUZZ_CHECK(std::memcmp(slot(i), pristine, kSlotSize) == 0);  // nothing written
    return 0;
}
