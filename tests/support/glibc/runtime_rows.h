// glibc: its printf, and its strftime with flags, widths and the modifiers E and O.
#define RUNTIME_VSNPRINTF vsnprintf
const char* const kTextRows[] = {"%ls|%s|%lld|%zu|%d", "%-6ls|%.2s|%llx|%5zx|%05d",
                                 "%2$s|%1$ls|%2$.1s|%3$*5$lld|%4$zu"};
const char* const kCharRows[] = {"%lc|%c|%hhd|%a|%d", "%-2lc|%3c|%hhu|%.2e|%+i"};
const char* const kOwnTimeFormats[][2] = {
    {"%-d %e %P %k %l %s %_5d %^a %010Y %Ey %Od %EY", "%-d %e %P %k %l %s %_5d %^a %010Y %Ey %Od %EY"},
    {"%#Q %Ed %Oy- %-", "%%#Q %%Ed %Oy- %%-"},
    {"%##d|%_-^5d|%E|%O%d|%Ez|%5|%3E", "%##d|%_-^5d|%%E|%%O%d|%%Ez|%%5|%%3E"}};
const char* const kGermanLocale = "de_DE.UTF-8";
