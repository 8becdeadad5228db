// The lookup as a plain walk over the lines, as the INI rules read: the
// indexed profile must answer exactly as this does.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "config/profile.h"

namespace velm_test {

inline bool same_ignoring_case(std::string a, std::string b) {
    for (std::string* text : {&a, &b})
        for (char& c : *text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return a == b;
}

// Keeps what a profile keeps of raw: up to a NUL, trimmed at the end, 3
// characters or more, no '#' first.
inline void keep_line(std::vector<std::string>& kept, std::string raw) {
    raw = raw.substr(0, raw.find('\0'));
    raw.erase(raw.find_last_not_of("\r\n") + 1);
    raw.erase(raw.find_last_not_of(" \r") + 1);
    if (raw.size() >= 3 && raw[0] != '#') kept.push_back(raw);
}

// Offers content to added line by line and to stored in one pass, cut as the
// reader cuts a file: through a line feed, or 1023 characters of a longer
// line, each read as a C string. Returns the lines a profile keeps.
inline std::vector<std::string> load(const std::string& content, velm::config::Profile& added,
                                     velm::config::Profile& stored) {
    std::vector<std::string> kept;
    for (std::size_t at = 0, length; at < content.size(); at += length) {
        length = std::min(std::min(content.find('\n', at), content.size() - 1) - at + 1, std::size_t(1023));
        std::string piece = content.substr(at, length);
        added.add_line(piece.c_str(), std::strlen(piece.c_str()));
        stored.store_line(piece.c_str(), std::strlen(piece.c_str()));
        keep_line(kept, piece);
    }
    stored.index_stored_lines();
    return kept;
}

// The value of key (its first 100 characters) under the first header of section.
inline std::optional<std::string> walk_lookup(const std::vector<std::string>& lines,
                                              const std::string& section, const std::string& key) {
    bool inside = false;
    for (const std::string& line : lines) {
        if (!inside) inside = same_ignoring_case(line, "[" + section + "]");
        else if (line[0] == '[') return std::nullopt;
        else if (line.find('=') != std::string::npos && same_ignoring_case(line.substr(0, line.find('=')), key.substr(0, 100)))
            return line.substr(line.find('=') + 1);
    }
    return std::nullopt;
}

// What profile answers, in the walk's terms.
inline std::optional<std::string> found(const velm::config::Profile& profile, const char* section,
                                        const char* key) {
    const char* value = profile.find_value(section, key);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace velm_test
