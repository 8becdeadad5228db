/* libvelm_basetool: in-place case conversion of 8-bit strings. */
#ifndef VELM_STRING_H
#define VELM_STRING_H

#include "velm_basetool.h"

/* Holds no data; its two static members convert only the bytes that the
   current locale classifies as upper (resp. lower) case. A null string is
   left alone. */
class VELM_API CVELM_String {
  public:
    CVELM_String();
    CVELM_String(const CVELM_String&) = default;
    /* Does nothing and returns *this. */
    CVELM_String& operator=(const CVELM_String&);
    static void string_to_lower(char* s);
    static void string_to_upper(char* s);
};

#endif
