// The class members once more, for hosts built with Microsoft's compiler.
// MinGW names and calls members by the Itanium C++ ABI; such a host looks for
// Microsoft-decorated names and calls by Microsoft's conventions. Each entry
// here is a plain C function that velm_basetool.def exports under the
// decorated name of one member and that forwards to the member itself, so the
// behaviour is written once. The register use of Windows x64 is the same for
// both compilers (this first, then the arguments); what differs, and what the
// parameters below spell out, is:
//  - a constructor and an assignment hand `this` back in RAX;
//  - a class returned by value goes through a hidden result pointer that comes
//    after `this` (MinGW passes it first), and that pointer is returned.
#include <cstdint>
#include <new>

#include "velm_datum.h"
#include "velm_paramline.h"
#include "velm_string.h"

extern "C" {

// ---- CVELM_Datum ----------------------------------------------------------

CVELM_Datum* velm_msvc_datum_construct_now(CVELM_Datum* self) { return new (self) CVELM_Datum(); }

CVELM_Datum* velm_msvc_datum_construct_date(CVELM_Datum* self, int day, int month, int year) {
    return new (self) CVELM_Datum(day, month, year);
}

CVELM_Datum* velm_msvc_datum_assign(CVELM_Datum* self, const CVELM_Datum* other) { return &(*self = *other); }

CVELM_Datum* velm_msvc_datum_assign_time(CVELM_Datum* self, std::int64_t time) { return &(*self = time); }

CVELM_Datum* velm_msvc_datum_increment(CVELM_Datum* self) { return &++*self; }

// The copy from before the step is built in the caller's result storage.
CVELM_Datum* velm_msvc_datum_post_increment(CVELM_Datum* self, CVELM_Datum* result, int) {
    return new (result) CVELM_Datum((*self)++);
}

void velm_msvc_datum_format(const CVELM_Datum* self, const char* format, char* out) { self->Format(format, out); }

std::int64_t velm_msvc_datum_tick_count() { return CVELM_Datum::GetTickCount(); }

int velm_msvc_datum_year(const CVELM_Datum* self) { return self->Jahr(); }

int velm_msvc_datum_month(const CVELM_Datum* self) { return self->Monat(); }

int velm_msvc_datum_day(const CVELM_Datum* self) { return self->Tag(); }

bool velm_msvc_datum_is_leap_year(const CVELM_Datum* self) { return self->Schaltjahr(); }

void velm_msvc_datum_take_now(CVELM_Datum* self) { self->aktuell(); }

void velm_msvc_datum_derive_date(CVELM_Datum* self) { self->set(); }

void velm_msvc_datum_set_date(CVELM_Datum* self, int day, int month, int year) { self->setzeDatum(day, month, year); }

// ---- CVELM_ParamLine ------------------------------------------------------

CVELM_ParamLine* velm_msvc_paramline_construct(CVELM_ParamLine* self, const char* line, char delimiter) {
    return new (self) CVELM_ParamLine(line, delimiter);
}

CVELM_ParamLine* velm_msvc_paramline_assign(CVELM_ParamLine* self, const CVELM_ParamLine* other) {
    return &(*self = *other);
}

int velm_msvc_paramline_count(const CVELM_ParamLine* self) { return self->GetCount(); }

int velm_msvc_paramline_string(const CVELM_ParamLine* self, int index, char* out) {
    return self->GetParamString(index, out);
}

char velm_msvc_paramline_char(const CVELM_ParamLine* self, int index) { return self->GetParamChar(index); }

int velm_msvc_paramline_int(const CVELM_ParamLine* self, int index) { return self->GetParamInt(index); }

int velm_msvc_paramline_test(const CVELM_ParamLine* self, int index, const char* text) {
    return self->TestParamString(index, text);
}

// ---- CVELM_String ---------------------------------------------------------

CVELM_String* velm_msvc_string_construct(CVELM_String* self) { return new (self) CVELM_String(); }

CVELM_String* velm_msvc_string_assign(CVELM_String* self, const CVELM_String* other) { return &(*self = *other); }

void velm_msvc_string_to_lower(char* s) { CVELM_String::string_to_lower(s); }

void velm_msvc_string_to_upper(char* s) { CVELM_String::string_to_upper(s); }

}  // extern "C"
