// The lookup as a plain walk over the kept lines: the indexed profile must answer as this does.
#pragma once

#include <strings.h>

#include <optional>
#include <string>
#include <vector>

namespace velm_test {

inline bool same_ignoring_case(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Keeps raw as a profile does: up to a NUL, trimmed at the end, 3 characters or more, no '#' first.
inline void keep_line(std::vector<std::string>& kept, std::string raw) {
    raw = raw.substr(0, raw.find('\0'));
    raw.erase(raw.find_last_not_of("\r\n") + 1);
    raw.erase(raw.find_last_not_of(" \r") + 1);
    if (raw.size() >= 3 && raw[0] != '#') kept.push_back(raw);
}

// content cut as the reader cuts a file: through a line feed, or 1023 characters of a longer line.
inline std::vector<std::string> pieces(const std::string& content) {
    std::vector<std::string> cut;
    for (std::size_t at = 0; at < content.size(); at += cut.back().size())
        cut.push_back(content.substr(
            at, std::min(std::min(content.find('\n', at), content.size() - 1) - at + 1, std::size_t(1023))));
    return cut;
}

// The value of key (its first 100 characters) under the first header of section.
inline std::optional<std::string> walk_lookup(const std::vector<std::string>& lines, const std::string& section,
                                              const std::string& key) {
    bool inside = false;
    for (const std::string& line : lines) {
        if (!inside)
            inside = same_ignoring_case(line, "[" + section + "]");
        else if (line[0] == '[')
            return std::nullopt;
        else if (line.find('=') != std::string::npos &&
                 same_ignoring_case(line.substr(0, line.find('=')), key.substr(0, 100)))
            return line.substr(line.find('=') + 1);
    }
    return std::nullopt;
}

}  // namespace velm_test
