// A message's text as the runtime's printf makes it, except that %n writes nothing.
#include <climits>
#include <cstdarg>
#include <cwchar>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "log/printf_format.h"
#include "platform/platform.h"
#include "runtime_rows.h"
#include "velm_basetool.h"

// The log's message (or the runtime's printf) in 40 bytes; the guard bytes after them stay.
std::string formatted(bool library, const char* format, ...) {
    std::string out(64, 'G');
    va_list args;
    va_start(args, format);
    if (library)
        velm::log::format_message(&out[0], 40, format, args);
    else
        RUNTIME_VSNPRINTF(&out[0], 39, format, args);  // every row is shorter, so terminated
    va_end(args);
    EXPECT_EQ(out.substr(40), std::string(24, 'G')) << format;
    return out.c_str();
}

std::vector<std::string> printf_rows(bool library, std::vector<std::string> out = {}) {
    for (const char* row : kTextRows)
        out.push_back(formatted(library, row, L"wide", "text", -5LL, std::size_t{255}, 7));
    for (const char* row : kCharRows) out.push_back(formatted(library, row, wint_t{L'W'}, 'c', 300, 3.14159, 7));
    return out;
}

TEST(HostPrintf, FormatsAsTheRuntimeButCountConversionsWriteNothingAndUnknownOnesShow) {
    EXPECT_EQ(printf_rows(true), printf_rows(false));
    const char* const kRows[][2] = {
        {"%d%n|%s|%d", "51|x|5"},
        {"%c%%%hhn|%s|%d", "3%|x|5"},
        {"%d%-5lln|%s|%d", "51|x|5"},
        {"%*n|%s|%d", "|x|5"},
        {"%*.*n%d", "5"},
        {"%1$d%2$n", "%1$d%2$n"},
        {"%1$d|%129$d", "%1$d|%129$d"},  // beyond the numbers any host passes
        {"%d%y%0$n%*5n%n|%s|%d%", "51%y%0$n%*5n|x|5%"},
        {"%d%l5%n%hj%n|%d", "51%l5%hj|5"},  // the second %n takes "x", which may not be written either
        {"%d%lI%n%z9%n|%d", "51%lI%z9|5"},
        {"%d%hhl%n%l5%n|%d", "51%hhl%l5|5"},
        {"%d%ll5%n%w%n|%d", "51%ll5%w|5"},
        {"%d%.5l5%n|%s|%d", "51%.5l5|x|5"},
        {"%d%n|%s|%d, a text longer than forty bytes is cut", "51|x|5, a text longer than forty bytes "}};
    int target = 99;  // must stay so through every row and every direct print
    for (const auto& row : kRows) {
        EXPECT_EQ(formatted(true, row[0], 51, &target, "x", 5), row[1]) << row[0];
        testing::internal::CaptureStdout();
        VELM_PRINT_AND_LOG(row[0], 51, &target, "x", 5);
        EXPECT_EQ(testing::internal::GetCapturedStdout().substr(0, 39), row[1]) << row[0] << " printed";
    }
#if !defined(_WIN32)  // where a long double has a stack slot of its own, the arguments after it stay in step
    EXPECT_EQ(formatted(true, "%Lf%n|%d|%d|%d|%d", 1.5L, &target, 1, 2, 3, 4), "1.500000|1|2|3|4");
#endif
    EXPECT_EQ(target, 99);
}

// Plain conversions, which the log formats itself: the ends of their ranges, a null text, a message that
// fills the room exactly, and one that does not fit.
TEST(HostPrintf, PlainConversionsFormatAsTheRuntime) {
    auto same = [](const char* format, auto... args) {
        EXPECT_EQ(formatted(true, format, args...), formatted(false, format, args...)) << format;
    };
    same("%d|%i|%u|%c%s%%", INT_MIN, INT_MAX, UINT_MAX, 'z', "");
    same("%x|%X|%ld|%li|%lX", 0u, 0xABCDEFu, LONG_MIN, 0L, 255UL);
    same("%lu|%lx", ULONG_MAX, ULONG_MAX / 3);
    same("%s|%d", static_cast<const char*>(nullptr), -7);
    const char* const kFills = "thirty-six characters fill this room";
    EXPECT_EQ(formatted(true, "%s%d", kFills, 123), std::string(kFills) + "123");
    EXPECT_EQ(formatted(true, "%s%d|", kFills, 123), std::string(kFills) + "123");
    EXPECT_EQ(formatted(true, "%s%d", kFills, -123), std::string(kFills) + "-12");
}

#if !defined(_WIN32)
namespace velm::platform {
void PrintTo(Sent sent, std::ostream* out) {
    *out << (sent == Sent::taken ? "taken" : sent == Sent::late ? "late" : "broken");
}
}  // namespace velm::platform

// The system log's send tells a receiver that is only busy (waited for, then late) from one that is gone.
TEST(SystemLogSend, WaitsForABusyReceiverAndReportsOneThatIsGone) {
    using velm::platform::Sent;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0, ends), 0);
    const velm::platform::Bytes piece{"x", 1};
    EXPECT_EQ(velm::platform::send_datagram(ends[0], &piece, 1, 0), Sent::taken);
    while (send(ends[0], "x", 1, MSG_DONTWAIT) == 1) continue;  // the receiver's queue is full
    EXPECT_EQ(velm::platform::send_datagram(ends[0], &piece, 1, 20), Sent::late);
    close(ends[1]);
    EXPECT_EQ(velm::platform::send_datagram(ends[0], &piece, 1, 20), Sent::broken);
    close(ends[0]);
}
#endif
