/*
 * libvelm_basetool: the base library of the VELM server tools.
 *
 * A process-wide log, configuration lookup, utilities on caller-owned 8-bit
 * strings and on files. The date and parameter-line classes live in
 * velm_datum.h and velm_paramline.h, the case-conversion class in
 * velm_string.h.
 *
 * Every function runs to completion on the caller's thread, and every
 * function may be called from several threads at once: the process-wide state
 * (log, caches, configuration directory) is guarded inside the library. No
 * function may be called from a signal handler (none is async-signal-safe:
 * they take locks and allocate). Results: 0 means success
 * or yes, -1 failure or no, unless a function says otherwise.
 */
#ifndef VELM_BASETOOL_H
#define VELM_BASETOOL_H

#include <stdarg.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(VELM_BASETOOL_BUILD)
#define VELM_API __declspec(dllexport)
#else
#define VELM_API __declspec(dllimport)
#endif
#else
#define VELM_API __attribute__((visibility("default")))
#endif

/* Lets the compiler check a host's arguments against its format; on Windows
   against the Microsoft runtime's dialect (%I64d, %Iu, ...). */
#if defined(__MINGW32__) && !defined(__clang__)
#define VELM_PRINTF(fmt, args) __attribute__((format(ms_printf, fmt, args)))
#elif defined(__GNUC__) || defined(__clang__)
#define VELM_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
/* Other compilers, Microsoft's among them, have no such attribute (clang in
   its Microsoft mode, which defines _MSC_VER as well, took the branch above). */
#define VELM_PRINTF(fmt, args)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Log writer, entry points, trace depth --------------------------------
 * A message of level L reaches an output whose level is <= L. The first
 * message reads VELM_LOG_LEVEL, VELM_LOG_LEVEL_STDOUT, VELM_LOG_LEVEL_SYSLOG,
 * VELM_LOG_TIMESTAMP, VELM_VERSION and VELM_VERSION_STDOUT (unless
 * VELM_SetLogLevel came first); the first message that passes the levels
 * creates the session log file <dir>/<appl><cust><pid>.log in the directory
 * named by VE_TMP_DIR, TEMP or TMP. Lines are indented by two spaces per trace
 * level and written as given: end the format with "\n". If the file cannot be
 * opened, the failure is reported and every message from level 1 up goes to
 * standard output instead. None of these fails or returns anything.
 * Formats are the C library's printf on POSIX and the Microsoft runtime's
 * dialect on Windows (the C99 conversions and %I64d, %I32d, %Id, %Iu, %Ix,
 * %ws, %wc, %S, %C). A %n takes its pointer argument and prints and writes
 * nothing; the arguments after it keep their places. A '%' that does not
 * begin a complete conversion of that dialect is printed as it stands. A
 * format the C library refuses (a wide text it cannot convert), a %n beside
 * numbered arguments ("%1$d", POSIX only), and numbered arguments mixed with
 * unnumbered ones, above 128 or one read as two kinds of value give the
 * format itself, shown literally.
 *
 * The session log file is appended to (an earlier run with the same pid keeps
 * its lines) and created readable by its owner only: at the trace level it
 * holds configuration values. Anything at its path but a regular file of one
 * link owned by the process's effective user (a symbolic or hard link, a FIFO,
 * another user's file) is refused, never followed, truncated or waited on; the
 * reason follows the report. Each line (indentation, timestamp, message) goes
 * out in one write and is on disk, resp. on standard output, when the call
 * returns, so lines of several threads never mix. Lines the file refuses (a
 * full disk) are counted; once it takes lines again, a line saying how many
 * log lines were lost comes first. Hosts should ignore SIGPIPE: the echo writes
 * to standard output, and a reader that went away would end the process. A
 * forked child writes into the file its parent opened (named with the
 * parent's pid) and prints on the standard output it inherited; it never
 * opens a file of its own once the parent has one. */

/* Writes one message of the given level; a nonzero timestamp gives this line
   the "YYYY/MM/DD-hh:mm:ss UTC - " prefix. Messages longer than the format's
   length + 256 (at least 1056) characters are cut; a cut message that ends
   with a line end keeps it as its last character. */
VELM_API void vVELM_LOG(int level, unsigned char timestamp, const char* format, va_list args) VELM_PRINTF(3, 0);
/* Level 1. */
VELM_API void VELM_TRACE(const char* format, ...) VELM_PRINTF(1, 2);
/* Level 2. */
VELM_API void VELM_DEBUG(const char* format, ...) VELM_PRINTF(1, 2);
/* Level 3. */
VELM_API void VELM_WARNING(const char* format, ...) VELM_PRINTF(1, 2);
/* Level 4, always timestamped. */
VELM_API void VELM_ERROR(const char* format, ...) VELM_PRINTF(1, 2);
/* Level 5, always timestamped. */
VELM_API void VELM_CRERROR(const char* format, ...) VELM_PRINTF(1, 2);
/* Level 6. */
VELM_API void VELM_PRINTLOG(const char* format, ...) VELM_PRINTF(1, 2);
/* Level 6; while the standard-output level is above 1 the text is only
   printed on standard output, as formatted, and the log is not touched. */
VELM_API void VELM_PRINT_AND_LOG(const char* format, ...) VELM_PRINTF(1, 2);
/* Level 7 (version information); reaches standard output only when
   VELM_SetPrintVerInfoStdOut(1) or VELM_VERSION_STDOUT is in force. */
VELM_API void VELM_PRINT_VERINFO(const char* format, ...) VELM_PRINTF(1, 2);
/* The caller's level; a nonzero timestamp gives the line the timestamp. */
VELM_API void VELM_LOG(int level, unsigned char timestamp, const char* format, ...) VELM_PRINTF(3, 4);
/* Indents every following line two spaces deeper. */
VELM_API void VELM_IncTraceSpaces(void);
/* Undoes one VELM_IncTraceSpaces; does nothing at depth 0. */
VELM_API void VELM_DecTraceSpaces(void);

/* ---- Log settings and identity --------------------------------------------
 * Levels below 1 become 1. The file level is the least of the three levels:
 * the standard-output and syslog setters pull it down. No system log is
 * written; its level is only kept. */

/* Sets the file and the standard-output level; the logging environment
   variables are then never read. */
VELM_API void VELM_SetLogLevel(int level);
/* Sets the standard-output level, lowering the file level to it if higher. */
VELM_API void VELM_SetLogLevelStdOut(int level);
/* Sets the syslog level, lowering the file level to it if higher. */
VELM_API void VELM_SetLogLevelSyslog(int level);
/* The file level; -3 while the log is not initialised. */
VELM_API int VELM_GetLogLevel(void);
/* The standard-output level; 4 until changed. */
VELM_API int VELM_GetLogLevelStdOut(void);
/* The syslog level; -3 until set. */
VELM_API int VELM_GetLogLevelSyslog(void);
/* Nonzero gives every line the UTC timestamp. */
VELM_API void VELM_SetLogTimestamp(unsigned char flag);
/* Stores the version-information flag (no output depends on it). */
VELM_API void VELM_SetPrintVerInfo(unsigned char flag);
/* Exactly 1 puts level-7 messages on standard output too. */
VELM_API void VELM_SetPrintVerInfoStdOut(unsigned char flag);
/* The session log file's path, or NULL until the first opening was tried.
   Owned by the library for the life of the process. */
VELM_API const char* VELM_GetLogFilePath(void);
/* Application part of the log file name: name + "_" (at most 110 characters
   of name). Resets the customer and product names as VELM_SetCustName(NULL)
   does, so call it first. Counts only before the session log file opens. */
VELM_API void VELM_SetApplName(const char* name);
/* Customer part of the log file name: name + "_" (at most 110 characters).
   NULL: "VELM_" and product "VE Quillan-Mor Kest" if VELM_CONFIG or
   VELM_LOCAL is set, else both empty. */
VELM_API void VELM_SetCustName(const char* name);
/* Product name shown in the log header (at most 111 characters). NULL:
   "VE Quillan-Mor Kest" if VELM_CONFIG or VELM_LOCAL is set, else empty. */
VELM_API void VELM_SetProdName(const char* name);

/* ---- Configuration ---------------------------------------------------------*/

/* The configuration directory, worked out once per process: VELM_CONFIG as
   it is, else VELM_LOCAL + separator + "config", else the first of
   VE_TMP_DIR, TEMP, TMP or the platform's temp directory, with one warning
   on standard output. At most 260 characters; never NULL. */
VELM_API const char* VELM_GetCfgPath(void);
/* Looks key up in [section] of the INI file fileName and leaves the value,
   else defaultValue (if shorter than size), else "" in returned, cut to
   size - 1 characters. Each file is read once per process and kept (unless
   VELM_DISABLE_PROPFILE_CACHE is set); an unread file is read only when
   VELM_LIBUSER_EXITS_INI, VELM_CONFIG or VELM_LOCAL is set. With
   VELM_CONFIG_RELOAD=N (seconds) set when it is first read, a file is looked
   at again at most every N seconds and read anew when it changed; a lookup
   answers from the old or the new contents, never a mix, and from the last
   good ones while the file is missing or unreadable. Returns the
   length of the text in returned, 0 when the file cannot be used. */
VELM_API int VELM_GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                          char* returned, unsigned int size, const char* fileName);
/* The value of key read as a decimal integer (leading digits; 0 without),
   or defaultValue when the file, section or key is missing. */
VELM_API int VELM_GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName);
/* Adds [section] with the key=value texts of values (null entries skipped)
   to the process's preference cache, creating it as cacheName. A section
   already in the cache is left as it is. While the cache is disabled a call
   without keepExisting starts from an empty cache. */
VELM_API void VELM_CreateProfileFromPref(const char* section, int valueCount, const char* const* values,
                                         const char* cacheName, unsigned char keepExisting);
/* Discards the preference cache, but only while it is disabled. */
VELM_API void VELM_DeletePrefProfile(void);
/* As VELM_GetPrivateProfileString, from the preference cache; profileName is
   not consulted. Never touches a file. Returns the length of the text in
   returned. */
VELM_API int VELM_GetPrivatePreferenceString(const char* section, const char* key, const char* defaultValue,
                                             char* returned, unsigned int size, const char* profileName);
/* Nonzero while the preference cache is disabled (rebuilt per conversion). */
VELM_API unsigned char VELM_IsLocPrefCacheDisabled(void);
/* Stores the switch; it takes effect at the next conversion or deletion. */
VELM_API void VELM_SetDisableLocPrefCache(unsigned char disabled);
/* The size of the buffer VELM_GetProfileString and VELM_GetIniString write
   into: at most 1023 characters and the terminating NUL. */
#define VELM_RETURNED_SIZE 1024

/* Preference lookup into returned (at least VELM_RETURNED_SIZE bytes), default else;
   logs the value found at debug level. */
VELM_API void VELM_GetProfileString(const char* section, const char* key, char* returned, const char* defaultValue,
                                    const char* profileName);
/* Preference lookup read as a decimal integer; defaultValue when missing. */
VELM_API int VELM_GetProfileInt(const char* section, const char* key, int defaultValue, const char* profileName);
/* VELM_GetProfileString with the profile "VELM_ConvertedBaseIniSettings". */
VELM_API void VELM_GetIniString(const char* section, const char* key, char* returned, const char* defaultValue);
/* VELM_GetProfileInt with the profile "VELM_ConvertedBaseIniSettings". */
VELM_API int VELM_GetIniInt(const char* section, const char* key, int defaultValue);

/* ---- String editing (in place; blanks are space and tab) ------------------*/

/* Removes leading and/or trailing blanks. NULL: nothing. */
VELM_API void VELM_Bereinige_String(char* s, int leading, int trailing);
/* Deletes every c; returns how many were deleted (0 for NULL). */
VELM_API int VELM_Delete_Chars_From_String(char* s, char c);
/* Replaces every find by replacement; returns how many (0 for NULL). */
VELM_API int VELM_Replace_Char_In_String(char* s, char find, char replacement);
/* Writes source with its first search replaced by replacement into out,
   which must hold strlen(source) - strlen(search) + strlen(replacement) + 1
   bytes; out may be source itself. Cuts source at the match. Returns 0, or -1 (nothing written) when
   search does not occur, is empty or an argument is NULL. */
VELM_API int VELM_Replace_String_In_String(char* source, const char* search, const char* replacement, char* out);
/* Turns each of  "-./:<>?\|  and the space into '_'. NULL: nothing. */
VELM_API void VELM_KillExtraChars(char* s);
/* Folds two-byte UTF-8 sequences into single ISO 8859-1 bytes; out may be
   in and is never longer than in. NULL: nothing. */
VELM_API void VELM_convert_UTF8_to_ISO(const char* in, char* out);

/* ---- Case and numbers ------------------------------------------------------*/

/* Lower-cases every byte (current locale). NULL: nothing. */
VELM_API void VELM_Translate_String_To_Lower(char* s);
/* Upper-cases every byte (current locale). NULL: nothing. */
VELM_API void VELM_Translate_String_To_Upper(char* s);
/* Lower-cases the bytes that are upper case. NULL: nothing. */
VELM_API void VELM_StringToLower(char* s);
/* Upper-cases the bytes that are lower case. NULL: nothing. */
VELM_API void VELM_StringToUpper(char* s);
/* Reads text made only of digits, signs and full stops as a double: 0 and
   *value set, or -1 and *value untouched (other bytes, no leading number,
   out of range, NULL). */
VELM_API int VELM_Get_Double_Value_From_String(const char* text, double* value);
/* Reads text made only of digits and signs as an int: 0 and *value set, or
   -1 and *value untouched (other bytes, no leading number, out of range,
   NULL). */
VELM_API int VELM_Get_Integer_Value_From_String(const char* text, int* value);

/* ---- Files (0 success or yes, -1 failure or no) ---------------------------*/

/* Copies source to target. With failIfExists nonzero an existing target is
   kept and the call fails. The target keeps its identity: a file of the
   host's own user with no other name, in a folder the host may write, is
   replaced by a complete copy (a failed copy leaves it as it was); any other
   (more names, another owner, an unwritable folder, a symbolic link, which
   the system follows by its own rules) is written in place, and a failed
   copy may leave it partly written. Only a regular file is written, never
   the source itself. */
VELM_API int VELM_Copy_File(const char* source, const char* target, int failIfExists);
/* Creates one directory; fails when anything exists at path or the parent is
   missing. */
VELM_API int VELM_Create_Directory(const char* path);
/* Deletes a file; fails on a directory or a missing path. */
VELM_API int VELM_Delete_File(const char* path);
/* 0 when anything (file or directory) exists at path. */
VELM_API int VELM_Do_File_Exist(const char* path);
/* 0 when path may be read. */
VELM_API int VELM_Has_File_Read_Access(const char* path);
/* 0 when path may be written. */
VELM_API int VELM_Has_File_Write_Access(const char* path);
/* What VELM_CheckFileRead returns for a path it cannot read. */
#define VELM_CHECK_FILE_READ_FAILED 919301

/* 0 when path is a regular file that opens for reading; else logs the reason
   as an error and returns VELM_CHECK_FILE_READ_FAILED (919301). Traced at
   level 1. */
VELM_API int VELM_CheckFileRead(const char* path);

#ifdef __cplusplus
}
#endif

#endif
