// The entry of the host of Microsoft's ABI. Constructors return `this` and the postfix step its result pointer,
// which clang's calls never read (they do the assignments'): calls by the decorated names check it.
extern "C" int printf(const char* format, ...);
extern "C" int run_member_table();

#define ENTRY(name, decorated, ...) extern "C" void* name(__VA_ARGS__) __asm__(decorated)
ENTRY(datum_now, "??0CVELM_Datum@@QEAA@XZ", void*);
ENTRY(datum_date, "??0CVELM_Datum@@QEAA@HHH@Z", void*, int, int, int);
ENTRY(datum_post_step, "??ECVELM_Datum@@QEAA?BV0@H@Z", void*, void*, int);
ENTRY(paramline, "??0CVELM_ParamLine@@QEAA@PEBDD@Z", void*, const char*, char);
ENTRY(string, "??0CVELM_String@@QEAA@XZ", void*);

extern "C" int microsoft_host_main() {
    alignas(8) char a[1032], b[1032];
    const bool returned[] = {datum_now(a) == a, datum_date(a, 1, 2, 2003) == a, datum_post_step(a, b, 0) == b,
                             paramline(a, "x", ';') == a, string(a) == a};
    for (int i = 0; i < int(sizeof returned); ++i)
        if (!returned[i]) printf("FAIL entry %d does not return its object\n", i);
    return run_member_table();
}
