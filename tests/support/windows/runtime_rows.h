// The Microsoft runtime: its printf beside C99's, and msvcrt's strftime (flag #, no widths).
#define RUNTIME_VSNPRINTF _vsnprintf
const char* const kTextRows[] = {"%ws|%s|%I64u|%Iu|%d", "%S|%hs|%lld|%zu|%d", "%-6ws|%.2s|%I64x|%Ix|%I32d",
                                 "%ls|%5s|%I64d|%Id|%05d"};
const char* const kCharRows[] = {"%wc|%c|%hd|%5.2f|%d", "%C|%hc|%I32u|%f|%x", "%lc|%-3c|%u|%.1f|%+d"};
const char* const kOwnTimeFormats[][2] = {{"%#d.%#m.%#y %#j %#x|%#c|%#H", "%#d.%#m.%#y %#j %#x|%#c|%#H"},
                                          {"%-d %e %P %5d %Ey %Od %D %T", "%%-d %%e %%P %%5d %%Ey %%Od %%D %%T"},
                                          {"%##d|%#|%#%|%E|%#E%d|%#5d|%", "%%##d|%%#|%#%|%%E|%%#E%d|%%#5d|%%"}};
const char* const kGermanLocale = "German_Germany.1252";
