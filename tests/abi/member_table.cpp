// Every class member and a few free functions, built by MinGW and for Microsoft's ABI alike, no runtime headers.
#include "velm_datum.h"
#include "velm_paramline.h"
#include "velm_string.h"

extern "C" int printf(const char* format, ...);
extern "C" [[noreturn]] void exit(int code);
extern "C" int strcmp(const char* a, const char* b);

static_assert(sizeof(CVELM_Datum) == 24 && sizeof(CVELM_ParamLine) == 1026, "one layout for both ABIs");

struct Row {
    const char* rule;
    long long got, want;
};

static bool same(const char* a, const char* b) { return strcmp(a, b) == 0; }

static int ymd(const CVELM_Datum& d) { return d.Jahr() * 10000 + d.Monat() * 100 + d.Tag(); }

extern "C" int run_member_table() {
    CVELM_Datum d(28, 2, 24), now, copy(1, 1, 2000);
    CVELM_ParamLine line("a;12x;;d", ';'), other("z", ',');
    CVELM_String s, t;
    char text[1025], upper[] = "MiXed", lower[] = "MiXed";
    int number = 0;
    const CVELM_Datum old = d++;
    const Row rows[] = {
        {"Datum(28,2,24), postfix ++ returns the old date", ymd(old), 19240228},
        {"postfix ++ steps to the leap day", ymd(d), 19240229},
        {"prefix ++ returns the object, stepped", &++d == &d ? ymd(d) : 0, 19240301},
        {"Schaltjahr", old.Schaltjahr() * 10 + copy.Schaltjahr(), 11},
        {"copy assignment returns the object, copied", &(copy = d) == &copy ? ymd(copy) : 0, 19240301},
        {"setzeDatum stores the date", (now.setzeDatum(31, 12, 1999), ymd(now)), 19991231},
        {"GetTickCount is after 2023", CVELM_Datum::GetTickCount() > 1700000000, 1},
        {"set derives today's date", (now.set(), now.Jahr() >= 2023), 1},
        {"assigning a moment returns the object, dated", &(d = std::int64_t{1709121600}) == &d ? ymd(d) : 0, 20240228},
        {"Format shows the moment", (d.Format("%Y-%m-%d", text), same(text, "2024-02-28")), 1},
        {"aktuell takes the clock", (d.aktuell(), d.Jahr() >= 2023), 1},
        {"GetCount stops at the first empty field", line.GetCount(), 2},
        {"GetParamString copies the field, returns its length", line.GetParamString(1, text) * same(text, "12x"), 3},
        {"GetParamChar, 's' for an empty field", line.GetParamChar(3) * 1000 + line.GetParamChar(2), 100115},
        {"GetParamInt reads leading digits", line.GetParamInt(1), 12},
        {"TestParamString is exact", line.TestParamString(0, "a") * 10 + line.TestParamString(0, "A"), 10},
        {"copy assignment returns the object, copied", &(other = line) == &other ? other.GetParamInt(1) : 0, 12},
        {"string_to_lower", (CVELM_String::string_to_lower(lower), same(lower, "mixed")), 1},
        {"string_to_upper", (CVELM_String::string_to_upper(upper), same(upper, "MIXED")), 1},
        {"CVELM_String assignment returns the object", &(s = t) == &s, 1},
        {"VELM_Get_Integer_Value_From_String", VELM_Get_Integer_Value_From_String("-42", &number) * 1000 + number, -42},
        {"VELM_Replace_Char_In_String", VELM_Replace_Char_In_String(upper, 'X', 'y') * 10 + same(upper, "MIyED"), 11},
    };
    int failed = 0;
    for (const Row& row : rows) {
        failed += row.got == row.want ? 0 : 1;
        printf("%s %s: %lld\n", row.got == row.want ? "ok  " : "FAIL", row.rule, row.got);
    }
    printf("%d failed\n", failed);
    exit(failed == 0 ? 0 : 1);
}

int main() { return run_member_table(); }
