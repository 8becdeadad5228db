// The log folder's upkeep: roll-over chain, retention and the listing.
#include "log/log_folder.h"

#include <algorithm>
#include <cstring>

#include "common/environment.h"
#include "common/text.h"
#include "platform/platform.h"

namespace velm::log {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kMaxProcessIdDigits = 10;
constexpr int kMaxRolledDigits = 3;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The value of the digits [from, to), which are at most 10, so it fits.
long long digits_value(const char* from, const char* to) {
    long long value = 0;
    for (; from < to; ++from) value = value * 10 + (*from - '0');
    return value;
}

// Where the run of digits that ends at end begins (end itself: none).
const char* digits_before(const char* begin, const char* end) {
    while (end > begin && is_digit(end[-1])) --end;
    return end;
}

// A number as the library writes it: digits without a leading zero, at most
// maxDigits of them.
bool is_plain_number(const char* from, const char* to, int maxDigits) {
    return to > from && to - from <= maxDigits && *from != '0';
}

// The prefix split into its application part and its last part, the
// customer name: both end in "_", as the setters make them.
void split_prefix(SessionFile& file) {
    std::size_t cut = file.prefix.size() < 2 ? std::string::npos : file.prefix.rfind('_', file.prefix.size() - 2);
    file.application = cut == std::string::npos ? file.prefix : file.prefix.substr(0, cut + 1);
    file.customer = cut == std::string::npos ? "" : file.prefix.substr(cut + 1);
}

void add_if_session_file(const platform::FolderFile& found, void* context) {
    SessionFile file;
    if (!parse_session_file_name(found.name, file)) return;
    file.size = found.size;
    file.lastWrite = found.lastWrite;
    static_cast<std::vector<SessionFile>*>(context)->push_back(std::move(file));
}

bool listed_before(const SessionFile& a, const SessionFile& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (a.processId != b.processId) return a.processId < b.processId;
    return a.rolled < b.rolled;
}

// Newest first; of files written in the same second the lower number is the
// newer (a rolled file is older than the file that continues it).
bool newer(const SessionFile* a, const SessionFile* b) {
    if (a->lastWrite != b->lastWrite) return a->lastWrite > b->lastWrite;
    if (a->rolled != b->rolled) return a->rolled < b->rolled;
    return a->name < b->name;
}

}  // namespace

bool parse_size(const char* text, std::uint64_t& bytes) {
    const char* end = text + std::strlen(text);
    const char* digitsEnd = text;
    while (is_digit(*digitsEnd)) ++digitsEnd;
    if (digitsEnd == text || end - digitsEnd > 1) return false;
    int shift = 0;
    if (digitsEnd < end) {
        const char* suffix = std::strchr("kKmMgG", *digitsEnd);
        if (!suffix) return false;
        shift = 10 * (1 + static_cast<int>(suffix - "kKmMgG") / 2);
    }
    const std::uint64_t kMax = ~std::uint64_t{0};
    std::uint64_t value = 0;
    for (const char* c = text; c < digitsEnd; ++c) {
        unsigned digit = static_cast<unsigned>(*c - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    bytes = value > (kMax >> shift) ? kMax : value << shift;
    return true;
}

int count_from_env(const char* name, int fallback, int max) {
    const char* text = platform::get_env(name);
    if (!text || !is_digit(text[0])) return fallback;
    const char* end = text;
    while (is_digit(*end)) ++end;
    if (*end != '\0') return fallback;
    int value = common::leading_int(text);
    return value > max ? max : value;
}

FolderLimits limits_from_env() {
    FolderLimits limits;
    const char* size = platform::get_env("VELM_LOG_MAX_SIZE");
    if (size && !parse_size(size, limits.maxSize)) limits.maxSize = 0;
    limits.rolledFiles = count_from_env("VELM_LOG_ROLLED_FILES", limits.rolledFiles, kMaxRolledFiles);
    // A day or file count of 0 would remove every file that is not held:
    // it switches retention off instead, as an unset variable does.
    limits.retainDays = count_from_env("VELM_LOG_RETAIN_DAYS", 0, 1000000);
    limits.retainFiles = count_from_env("VELM_LOG_RETAIN_FILES", 0, 1000000);
    return limits;
}

void log_folder(char* out, std::size_t size) {
    if (const char* dir = common::temp_directory_from_env()) {
        common::copy_cut(out, size, dir);
    } else {
        platform::fallback_log_directory(out, size);
    }
}

bool parse_session_file_name(const char* name, SessionFile& file) {
    const char* begin = name;
    const char* end = name + std::strlen(name);
    // A rolled file's number after the last dot.
    const char* rolledDigits = digits_before(begin, end);
    file.rolled = 0;
    if (rolledDigits < end && rolledDigits > begin && rolledDigits[-1] == '.') {
        if (!is_plain_number(rolledDigits, end, kMaxRolledDigits)) return false;
        file.rolled = static_cast<int>(digits_value(rolledDigits, end));
        end = rolledDigits - 1;
    }
    static const char kExtension[] = ".log";
    const std::size_t extension = sizeof kExtension - 1;
    if (static_cast<std::size_t>(end - begin) < extension || std::memcmp(end - extension, kExtension, extension) != 0)
        return false;
    end -= extension;
    const char* pidDigits = digits_before(begin, end);
    if (!is_plain_number(pidDigits, end, kMaxProcessIdDigits) || pidDigits == begin || pidDigits[-1] != '_')
        return false;
    long long pid = digits_value(pidDigits, end);
    if (pid > 2147483647LL) return false;
    file.name = name;
    file.prefix.assign(begin, pidDigits);
    file.processId = static_cast<long>(pid);
    split_prefix(file);
    return true;
}

bool list_session_files(const char* folder, std::vector<SessionFile>& files) {
    files.clear();
    if (!platform::list_own_files(folder, add_if_session_file, &files)) return false;
    std::sort(files.begin(), files.end(), listed_before);
    return true;
}

std::vector<const SessionFile*> beyond_retention(const std::vector<SessionFile>& files, int days, int count,
                                                 std::int64_t now) {
    std::vector<const SessionFile*> byAge;
    for (const SessionFile& file : files) byAge.push_back(&file);
    std::stable_sort(byAge.begin(), byAge.end(), newer);
    std::vector<const SessionFile*> beyond;
    std::vector<std::pair<const std::string*, int>> keptOfGroup;  // files kept so far, per prefix
    for (const SessionFile* file : byAge) {
        auto group = std::find_if(keptOfGroup.begin(), keptOfGroup.end(),
                                  [&](const auto& kept) { return *kept.first == file->prefix; });
        if (group == keptOfGroup.end()) group = keptOfGroup.insert(keptOfGroup.end(), {&file->prefix, 0});
        bool tooOld = days > 0 && file->lastWrite < now - days * kSecondsPerDay;
        bool tooMany = count > 0 && group->second >= count;
        if (tooOld || tooMany) {
            beyond.push_back(file);
        } else {
            ++group->second;
        }
    }
    return beyond;
}

std::vector<std::string> prune_session_files(const char* folder, const std::string& prefix, int days, int count) {
    std::vector<std::string> removed;
    std::vector<SessionFile> files;
    if ((days <= 0 && count <= 0) || !list_session_files(folder, files)) return removed;
    if (!prefix.empty()) {
        files.erase(
            std::remove_if(files.begin(), files.end(), [&](const SessionFile& f) { return f.prefix != prefix; }),
            files.end());
    }
    for (const SessionFile* file : beyond_retention(files, days, count, platform::now())) {
        if (platform::remove_unheld_file(folder, file->name.c_str())) removed.push_back(file->name);
    }
    return removed;
}

std::string rolled_name(const std::string& path, int n) { return path + "." + std::to_string(n); }

bool roll_files(const std::string& path, int kept) {
    if (kept <= 0) return platform::delete_file(path.c_str());
    // Only the run of rolled files from .1 on moves: a roll-over costs as
    // many calls as there are files, not as the count allows. Renaming never
    // follows a link: a link planted under a rolled name is moved or
    // replaced, the file it names is left alone.
    int present = 0;
    while (present < kept && platform::access(rolled_name(path, present + 1).c_str(), platform::Access::exists) == 0)
        ++present;
    if (present == kept) platform::delete_file(rolled_name(path, present--).c_str());
    for (int n = present; n >= 1; --n)
        platform::rename_file(rolled_name(path, n).c_str(), rolled_name(path, n + 1).c_str());
    return platform::rename_file(path.c_str(), rolled_name(path, 1).c_str());
}

}  // namespace velm::log
