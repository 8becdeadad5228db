#include "datum/time_format.h"

#include <cstring>

#include "datum/calendar.h"
#include "platform/platform.h"

namespace velm::datum {

namespace {

// The moments that 64-bit local time converts on Windows; the other builds
// keep to the same range so that both agree on what converts.
const std::int64_t kFirstMoment = 0;
const std::int64_t kLastMoment = 32535244799;

const char* const kWeekdays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
const char* const kMonths[12] = {"January", "February", "March",     "April",
                                 "May",     "June",     "July",      "August",
                                 "September", "October", "November", "December"};

// The conversions that accept the modifier E (resp. O), as glibc takes them.
const char kTakesE[] = "cCnprRtTuxXyYzZ%";
const char kTakesO[] = "bBCdegGhHIjmMnprRStTuUVwWyzZ%";

// Collects the text into a fixed buffer and remembers whether it overflowed.
class Output {
public:
    Output(char* out, std::size_t size) : out_(out), size_(size) {}

    void put(char c) {
        if (length_ + 1 < size_) {
            out_[length_++] = c;
        } else {
            overflowed_ = true;
        }
    }

    void put(const char* text, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) put(text[i]);
    }

    // value in decimal, padded on the left with pad to width characters.
    void number(long long value, int width, char pad = '0') {
        if (value < 0) {
            put('-');
            value = -value;
            --width;
        }
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value > 0);
        for (; width > count; --width) put(pad);
        while (count > 0) put(digits[--count]);
    }

    // Terminates the text, or leaves the empty text after an overflow.
    void finish() {
        if (size_ == 0) return;
        out_[overflowed_ ? 0 : length_] = '\0';
    }

private:
    char* out_;
    std::size_t size_;
    std::size_t length_ = 0;
    bool overflowed_ = false;
};

// table[index], or its first three letters; "?" for an index outside the table.
void put_name(Output& out, const char* const* table, int count, int index, bool abbreviated) {
    const char* name = (index >= 0 && index < count) ? table[index] : "?";
    std::size_t length = std::strlen(name);
    out.put(name, abbreviated && length > 3 ? 3 : length);
}

// Days from the Monday that starts the first ISO week of the year to the day
// of the year yday (a weekday wday); negative when yday still lies in the
// last ISO week of the year before.
int iso_week_days(int yday, int wday) {
    const int bigEnoughMultipleOf7 = 378;
    return yday - (yday - wday + 4 + bigEnoughMultipleOf7) % 7 + 3;
}

// The ISO 8601 week-based year and the day count whose /7 is its week - 1.
void iso_week(const std::tm& t, int& year, int& days) {
    year = t.tm_year + 1900;
    days = iso_week_days(t.tm_yday, t.tm_wday);
    if (days < 0) {
        --year;
        days = iso_week_days(t.tm_yday + 365 + (is_leap_year(year) ? 1 : 0), t.tm_wday);
    } else {
        int next = iso_week_days(t.tm_yday - 365 - (is_leap_year(year) ? 1 : 0), t.tm_wday);
        if (next >= 0) {
            ++year;
            days = next;
        }
    }
}

// "+hhmm" or "-hhmm".
void put_offset(Output& out, int minutes) {
    out.put(minutes < 0 ? '-' : '+');
    int magnitude = minutes < 0 ? -minutes : minutes;
    out.number(magnitude / 60 * 100 + magnitude % 60, 4);
}

void write(Output& out, const char* format, const LocalMoment& moment);

// Writes conversion c; false when c is no conversion.
bool convert(Output& out, char c, const LocalMoment& moment) {
    const std::tm& t = moment.time;
    const long long year = t.tm_year + 1900LL;
    int isoYear = 0;
    int isoDays = 0;
    switch (c) {
    case 'a': put_name(out, kWeekdays, 7, t.tm_wday, true); break;
    case 'A': put_name(out, kWeekdays, 7, t.tm_wday, false); break;
    case 'b':
    case 'h': put_name(out, kMonths, 12, t.tm_mon, true); break;
    case 'B': put_name(out, kMonths, 12, t.tm_mon, false); break;
    case 'c': write(out, "%a %b %e %H:%M:%S %Y", moment); break;
    case 'C': out.number(year / 100, 2); break;
    case 'd': out.number(t.tm_mday, 2); break;
    case 'D':
    case 'x': write(out, "%m/%d/%y", moment); break;
    case 'e': out.number(t.tm_mday, 2, ' '); break;
    case 'F': write(out, "%Y-%m-%d", moment); break;
    case 'g':
    case 'G':
    case 'V':
        iso_week(t, isoYear, isoDays);
        if (c == 'V') {
            out.number(isoDays / 7 + 1, 2);
        } else {
            out.number(c == 'G' ? isoYear : isoYear % 100, c == 'G' ? 1 : 2);
        }
        break;
    case 'H': out.number(t.tm_hour, 2); break;
    case 'I': out.number((t.tm_hour + 11) % 12 + 1, 2); break;
    case 'j': out.number(t.tm_yday + 1, 3); break;
    case 'm': out.number(t.tm_mon + 1, 2); break;
    case 'M': out.number(t.tm_min, 2); break;
    case 'n': out.put('\n'); break;
    case 'p': out.put(t.tm_hour < 12 ? "AM" : "PM", 2); break;
    case 'r': write(out, "%I:%M:%S %p", moment); break;
    case 'R': write(out, "%H:%M", moment); break;
    case 'S': out.number(t.tm_sec, 2); break;
    case 't': out.put('\t'); break;
    case 'T':
    case 'X': write(out, "%H:%M:%S", moment); break;
    case 'u': out.number(t.tm_wday == 0 ? 7 : t.tm_wday, 1); break;
    case 'U': out.number((t.tm_yday - t.tm_wday + 7) / 7, 2); break;
    case 'w': out.number(t.tm_wday, 1); break;
    case 'W': out.number((t.tm_yday - (t.tm_wday + 6) % 7 + 7) / 7, 2); break;
    case 'y': out.number(year % 100, 2); break;
    case 'Y': out.number(year, 1); break;
    case 'z':
    case 'Z': put_offset(out, moment.offsetMinutes); break;
    case '%': out.put('%'); break;
    default: return false;
    }
    return true;
}

// Whether conversion c accepts modifier (0: none given).
bool takes_modifier(char modifier, char c) {
    if (modifier == 0) return true;
    return std::strchr(modifier == 'E' ? kTakesE : kTakesO, c) != nullptr;
}

void write(Output& out, const char* format, const LocalMoment& moment) {
    for (const char* f = format; *f != '\0'; ++f) {
        if (*f != '%') {
            out.put(*f);
            continue;
        }
        const char* start = f;
        char modifier = (f[1] == 'E' || f[1] == 'O') ? *++f : 0;
        if (f[1] == '\0') {
            out.put(start, static_cast<std::size_t>(f + 1 - start));
            break;
        }
        const char c = *++f;
        if (!takes_modifier(modifier, c) || !convert(out, c, moment)) {
            out.put(start, static_cast<std::size_t>(f + 1 - start));
        }
    }
}

}  // namespace

bool local_time_of(std::int64_t t, std::tm& out) {
    if (t < kFirstMoment || t > kLastMoment) return false;
    return platform::local_time(t, out);
}

bool local_moment_of(std::int64_t t, LocalMoment& out) {
    std::tm utc;
    if (!local_time_of(t, out.time) || !platform::utc_time(t, utc)) return false;
    const std::tm& local = out.time;
    // Local time and UTC lie less than a day apart, so the calendar days
    // differ by at most one, possibly across a year's end.
    long days = local.tm_year == utc.tm_year ? local.tm_yday - utc.tm_yday
                                             : (local.tm_year > utc.tm_year ? 1 : -1);
    long seconds = days * 86400L + (local.tm_hour - utc.tm_hour) * 3600L +
                   (local.tm_min - utc.tm_min) * 60L + (local.tm_sec - utc.tm_sec);
    out.offsetMinutes = static_cast<int>(seconds / 60);
    return true;
}

void format_moment(const LocalMoment& moment, const char* format, char* out, std::size_t size) {
    Output text(out, size);
    write(text, format, moment);
    text.finish();
}

}  // namespace velm::datum
