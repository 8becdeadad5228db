// CVELM_Datum: a moment and a calendar date kept side by side. Only set()
// (and what calls it) derives the date from the moment; nothing derives the
// moment from the date.
#include "velm_datum.h"

#include "datum/calendar.h"
#include "datum/moment_format.h"
#include "platform/platform.h"

namespace {

// The capacity of Format's output, the terminating NUL included.
const std::size_t kFormatCapacity = 260;

}  // namespace

// The fields start at the epoch's date so that they are defined even if the
// clock gives a moment local time cannot convert.
CVELM_Datum::CVELM_Datum() : m_Zeit(0), m_Tag(1), m_Monat(1), m_Jahr(1970) { aktuell(); }

CVELM_Datum::CVELM_Datum(int day, int month, int year) : m_Zeit(0) { setzeDatum(day, month, year); }

CVELM_Datum& CVELM_Datum::operator=(const CVELM_Datum& other) {
    m_Zeit = other.m_Zeit;
    m_Tag = other.m_Tag;
    m_Monat = other.m_Monat;
    m_Jahr = other.m_Jahr;
    return *this;
}

CVELM_Datum& CVELM_Datum::operator=(std::int64_t time) {
    m_Zeit = time;
    set();
    return *this;
}

CVELM_Datum& CVELM_Datum::operator++() {
    velm::datum::Date date{m_Tag, m_Monat, m_Jahr};
    if (velm::datum::step_to_next_valid_date(date)) {
        m_Tag = date.day;
        m_Monat = date.month;
        m_Jahr = date.year;
    }
    return *this;
}

const CVELM_Datum CVELM_Datum::operator++(int) {
    CVELM_Datum before(*this);
    ++*this;
    return before;
}

void CVELM_Datum::Format(const char* format, char* const out) const {
    if (out == nullptr) return;
    out[0] = '\0';
    if (format != nullptr) velm::datum::format_moment(m_Zeit, format, out, kFormatCapacity);
}

std::int64_t CVELM_Datum::GetTickCount() { return velm::platform::now(); }

int CVELM_Datum::Jahr() const { return m_Jahr; }

int CVELM_Datum::Monat() const { return m_Monat; }

int CVELM_Datum::Tag() const { return m_Tag; }

bool CVELM_Datum::Schaltjahr() const { return velm::datum::is_leap_year(m_Jahr); }

void CVELM_Datum::aktuell() {
    m_Zeit = GetTickCount();
    set();
}

void CVELM_Datum::set() {
    std::tm local;
    if (!velm::datum::local_time_of(m_Zeit, local)) return;
    m_Jahr = local.tm_year + 1900;
    m_Monat = local.tm_mon + 1;
    m_Tag = local.tm_mday;
}

void CVELM_Datum::setzeDatum(int day, int month, int year) {
    m_Tag = day;
    m_Monat = month;
    // Two-digit years (and anything below 100, negatives too) count from 1900.
    m_Jahr = year < 100 ? 1900 + year : year;
}
