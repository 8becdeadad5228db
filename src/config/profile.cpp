#include "config/profile.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/text.h"

namespace velm::config {

namespace {

// Offsets are 32 bits wide; a profile stops growing before they would wrap.
constexpr std::size_t kMaxText = SlotIndex::kEmpty - 1;

// The length of text once line ends, then trailing blanks and carriage
// returns are taken off. Tabs stay, and the start is never touched.
std::size_t trimmed_length(const char* text, std::size_t length) {
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\r')) --length;
    return length;
}

// Why a trimmed line is dropped, or header for one that is kept (the caller
// tells headers and entries apart).
LineVerdict keep_rule(const char* text, std::size_t length) {
    if (length == 0) return LineVerdict::empty;
    if (length < 3) return LineVerdict::tooShort;
    if (text[0] == '#') return LineVerdict::comment;
    return LineVerdict::header;
}

// Hashes length characters of text as a case-blind lookup compares them.
std::uint64_t folded_hash(const char* text, std::size_t length, std::uint64_t seed) {
    return hash_text(text, length, seed, common::fold_ascii);
}

// A key is hashed together with the header it stands under.
std::uint64_t key_hash(std::uint32_t header, const char* key, std::size_t keyLength) {
    return folded_hash(key, keyLength, (header + 1) * 0x9e3779b97f4a7c15ULL);
}

// Whether line is "[" section "]", ignoring case; line is NUL-terminated.
bool header_names(const char* line, const char* section, std::size_t sectionLength) {
    for (std::size_t i = 0; i < sectionLength; ++i) {
        char c = line[i + 1];
        if (c == '\0' || common::fold_ascii(c) != common::fold_ascii(section[i])) return false;
    }
    return line[sectionLength + 1] == ']' && line[sectionLength + 2] == '\0';
}

}  // namespace

LineClass Profile::add_line(const char* text, std::size_t length) {
    length = trimmed_length(text, length);
    LineVerdict verdict = keep_rule(text, length);
    if (!is_kept(verdict)) return {verdict, length};
    return append_line(text, length);
}

LineClass Profile::append_line(const char* text, std::size_t length) {
    reserve(length + 1, 1);
    LineVerdict verdict = index_line(store(text, length), length);
    const void* equals = std::memchr(text, '=', length);
    return {verdict, length, equals ? static_cast<const char*>(equals) - text : std::string::npos};
}

bool Profile::store_line(const char* text, std::size_t length) {
    length = trimmed_length(text, length);
    if (!is_kept(keep_rule(text, length))) return false;
    if (length + 1 > kMaxText - text_.size()) throw std::bad_alloc();
    make_room(text_, length + 1);
    store(text, length);
    if (text[0] == '[') ++storedHeaders_;
    return true;
}

void Profile::index_stored_lines() {
    // Every stored line may be an entry: room for all at once, so that the
    // key index never grows (and rehashes) while being filled.
    keys_.reserve(static_cast<std::size_t>(lineCount_), [this](std::uint32_t id) { return key_hash_of(id); });
    sections_.reserve(storedHeaders_, [this](std::uint32_t id) { return section_hash_of(id); });
    make_room(headers_, storedHeaders_);
    storedHeaders_ = 0;
    // A look-ahead some lines in front prefetches the slot of each entry, so
    // that the index's memory is on its way when the entry gets there. It
    // counts the headers between itself and the indexing to know which header
    // an entry will stand under.
    std::size_t ahead = indexedTo_, headersAhead = 0;
    for (int n = 0; n < 16; ++n) look_ahead(ahead, headersAhead);
    while (indexedTo_ < text_.size()) {
        const char* line = text_.data() + indexedTo_;
        std::size_t length = std::strlen(line);
        make_room(headers_, 1);
        sections_.reserve(1, [this](std::uint32_t id) { return section_hash_of(id); });
        if (line[0] == '[' && headersAhead > 0) --headersAhead;
        index_line(static_cast<std::uint32_t>(indexedTo_), length);
        look_ahead(ahead, headersAhead);
    }
}

void Profile::look_ahead(std::size_t& ahead, std::size_t& headersAhead) const {
    if (ahead >= text_.size()) return;
    const char* line = text_.data() + ahead;
    std::size_t length = std::strlen(line);
    ahead += length + 1;
    if (line[0] == '[') {
        ++headersAhead;
        if (length >= 2) sections_.prefetch(folded_hash(line + 1, length - 2, 0));
    } else if (const void* equals = std::memchr(line, '=', length)) {
        std::size_t header = headers_.size() + headersAhead - 1;
        keys_.prefetch(key_hash(static_cast<std::uint32_t>(header), line, static_cast<const char*>(equals) - line));
    }
}

// Files the line at offset under the indexes; says what became of it.
LineVerdict Profile::index_line(std::uint32_t offset, std::size_t length) {
    indexedTo_ = offset + length + 1;
    const char* line = text_.data() + offset;
    if (length > 0 && line[0] == '[') return take_header(offset, length);
    const void* equals = std::memchr(line, '=', length);
    if (!equals) return LineVerdict::noEquals;
    return take_entry(offset, static_cast<const char*>(equals) - line);
}

void Profile::reserve(std::size_t bytes, std::size_t lines) {
    if (bytes > kMaxText - text_.size()) throw std::bad_alloc();
    make_room(text_, bytes);
    make_room(headers_, lines);
    sections_.reserve(lines, [this](std::uint32_t id) { return section_hash_of(id); });
    keys_.reserve(lines, [this](std::uint32_t id) { return key_hash_of(id); });
}

std::uint32_t Profile::store(const char* text, std::size_t length) {
    lastLine_ = static_cast<std::uint32_t>(text_.size());
    text_.append(text, length);
    text_.push_back('\0');
    ++lineCount_;
    return lastLine_;
}

LineVerdict Profile::take_header(std::uint32_t offset, std::size_t length) {
    std::uint32_t header = static_cast<std::uint32_t>(headers_.size());
    headers_.push_back(offset);
    const char* line = text_.data() + offset;
    if (length < 2 || line[length - 1] != ']') {
        // Entries above the first header stay above it, whatever this line is.
        if (place_ != Place::beforeFirstHeader) place_ = Place::underNoSection;
        return LineVerdict::namesNoSection;
    }
    std::uint64_t hash = section_hash_of(header);
    std::uint32_t first = sections_.find(hash, [&](std::uint32_t id) {
        return common::equal_ignoring_case(text_.data() + headers_[id], line);
    });
    if (first != SlotIndex::kEmpty) {
        place_ = Place::underSecondHeader;
        return LineVerdict::secondHeader;
    }
    sections_.insert(hash, header);
    place_ = Place::inSection;
    return LineVerdict::header;
}

LineVerdict Profile::take_entry(std::uint32_t offset, std::size_t keyLength) {
    switch (place_) {
        case Place::beforeFirstHeader: return LineVerdict::aboveFirstHeader;
        case Place::underSecondHeader: return LineVerdict::underSecondHeader;
        case Place::underNoSection: return LineVerdict::underNoSection;
        case Place::inSection: break;
    }
    if (keyLength > kKeyLength) return LineVerdict::keyTooLong;
    std::uint32_t header = static_cast<std::uint32_t>(headers_.size() - 1);
    const char* key = text_.data() + offset;
    std::uint64_t hash = key_hash(header, key, keyLength);
    std::uint32_t first = keys_.find(hash, [&](std::uint32_t id) {
        return entry_matches(id, header, key, keyLength);
    });
    if (first != SlotIndex::kEmpty) return LineVerdict::secondEntry;
    keys_.insert(hash, offset);
    return LineVerdict::entry;
}

std::uint32_t Profile::header_of(std::uint32_t offset) const {
    auto after = std::upper_bound(headers_.begin(), headers_.end(), offset);
    return static_cast<std::uint32_t>(after - headers_.begin()) - 1;
}

std::uint64_t Profile::section_hash_of(std::uint32_t header) const {
    const char* line = text_.data() + headers_[header];
    return folded_hash(line + 1, std::strlen(line) - 2, 0);
}

std::uint64_t Profile::key_hash_of(std::uint32_t offset) const {
    const char* line = text_.data() + offset;
    return key_hash(header_of(offset), line, std::strchr(line, '=') - line);
}

bool Profile::entry_matches(std::uint32_t offset, std::uint32_t header, const char* key,
                            std::size_t keyLength) const {
    const char* line = text_.data() + offset;
    // key holds no '=', so equal characters leave none before line[keyLength].
    for (std::size_t i = 0; i < keyLength; ++i) {
        if (line[i] == '\0' || common::fold_ascii(line[i]) != common::fold_ascii(key[i]))
            return false;
    }
    return line[keyLength] == '=' && header_of(offset) == header;
}

std::uint32_t Profile::find_section(const char* section) const {
    std::size_t sectionLength = std::strlen(section);
    return sections_.find(folded_hash(section, sectionLength, 0), [&](std::uint32_t id) {
        return header_names(text_.data() + headers_[id], section, sectionLength);
    });
}

const char* Profile::find_value(const char* section, const char* key) const {
    std::size_t keyLength = 0;
    while (keyLength < kKeyLength && key[keyLength] != '\0') ++keyLength;
    // An entry's key ends at its first '=': a key holding one matches none.
    if (std::memchr(key, '=', keyLength)) return nullptr;
    std::uint32_t header = find_section(section);
    if (header == SlotIndex::kEmpty) return nullptr;
    std::uint32_t offset = keys_.find(key_hash(header, key, keyLength), [&](std::uint32_t id) {
        return entry_matches(id, header, key, keyLength);
    });
    return offset == SlotIndex::kEmpty ? nullptr : text_.data() + offset + keyLength + 1;
}

}  // namespace velm::config
