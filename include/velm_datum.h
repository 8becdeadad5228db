/* libvelm_basetool: the calendar date value CVELM_Datum. */
#ifndef VELM_DATUM_H
#define VELM_DATUM_H

#include <cstdint>

#include "velm_basetool.h"

/* A moment (seconds since 1970, UTC) and a calendar date (day, month, year)
   side by side. Only aktuell(), set() and the assignment of a time value
   derive the date from the moment; setzeDatum() and the steps change only
   the date, and Format() always shows the moment. */
class VELM_API CVELM_Datum {
  public:
    /* Now, and today's local date. */
    CVELM_Datum();
    /* The date as setzeDatum() stores it; the moment is the epoch (0). */
    CVELM_Datum(int day, int month, int year);
    CVELM_Datum(const CVELM_Datum&) = default;
    CVELM_Datum& operator=(const CVELM_Datum&);
    /* Stores the moment and derives the local date from it. */
    CVELM_Datum& operator=(std::int64_t time);
    /* Steps the date to the first valid date (1753-2399) after it; after
       31 December 2399 or any later year the date is left unchanged. */
    CVELM_Datum& operator++();
    /* As the prefix step; returns the date from before the step. */
    const CVELM_Datum operator++(int);
    /* Writes the moment in local time into out (at least 260 bytes) through
       the C runtime's strftime, in the current locale (setlocale), with the
       runtime's own flags (%#d on Windows; %-d, %e, %P, E and O on glibc).
       A conversion the runtime does not know, and a lone "%" at the end, are
       copied as they stand. Writes the empty text when the result does not
       fit into 260 bytes, when format is null, or when the moment lies
       outside 0 to 32535244799 (1970 to the year 3000). */
    void Format(const char* format, char* const out) const;
    /* Seconds since 1970-01-01 00:00:00 UTC. */
    static std::int64_t GetTickCount();
    int Jahr() const;  /* year, as stored */
    int Monat() const; /* month 1-12, as stored */
    int Tag() const;   /* day of the month, as stored */
    /* Whether the stored year is a leap year (Gregorian rule). */
    bool Schaltjahr() const;
    /* Takes the moment from the clock and derives the date. */
    void aktuell();
    /* Derives the local date from the stored moment; a moment outside the
       range Format converts leaves the date unchanged. */
    void set();
    /* Stores the date unchecked; a year below 100 becomes 1900 + year. */
    void setzeDatum(int day, int month, int year);

  private:
    std::int64_t m_Zeit;
    int m_Tag;
    int m_Monat;
    int m_Jahr;
};

#endif
