#include "config/profile.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/ascii_fold.h"

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

// A new key table has this many slots; it doubles when three quarters are
// taken, which a section of up to twelve keys never reaches.
constexpr std::uint32_t kFirstTableSize = 16;

// The slots of a key table that holds keys entries without growing.
std::size_t table_size_for(std::size_t keys) {
    std::size_t size = kFirstTableSize;
    while (keys > size / 4 * 3) size *= 2;
    return size;
}

// Whether line begins with key followed by '=', ignoring case; key holds no
// '=', and the profile's text ends at end, so line[keyLength] must be in it.
bool entry_has_key(const char* line, const char* end, const char* key, std::size_t keyLength) {
    return static_cast<std::size_t>(end - line) > keyLength && common::same_folded(line, key, keyLength) &&
           line[keyLength] == '=';
}

// Whether line is "[" section "]", ignoring case; the profile's text ends at end.
bool header_names(const char* line, const char* end, const char* section, std::size_t sectionLength) {
    return static_cast<std::size_t>(end - line) > sectionLength + 2 &&
           common::same_folded(line + 1, section, sectionLength) && line[sectionLength + 1] == ']' &&
           line[sectionLength + 2] == '\0';
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
    if (text[0] == '[') {
        ++storedHeaders_;
        storedSlots_ += table_size_for(blockLines_);
        blockLines_ = 0;
    } else {
        ++blockLines_;
    }
    return true;
}

void Profile::index_stored_lines() {
    sections_.reserve(storedHeaders_, [this](std::uint32_t id) { return section_hash_of(id); });
    make_room(headers_, storedHeaders_);
    make_room(keyTables_, storedHeaders_);
    // Room for a table of each block of lines below a header, as if all of
    // them were entries: the slot array is not copied while it grows.
    make_room(keySlots_, storedSlots_ + table_size_for(blockLines_));
    storedHeaders_ = storedSlots_ = blockLines_ = 0;
    while (indexedTo_ < text_.size()) {
        const char* line = text_.data() + indexedTo_;
        std::size_t length = std::strlen(line);
        if (line[0] == '[') {
            make_room(keySlots_, kFirstTableSize);
        } else if (place_ == Place::inSection) {
            const KeyTable& table = keyTables_.back();
            if (table.count + 1 > table.size / 4 * 3) make_room(keySlots_, table.size);
        }
        index_line(static_cast<std::uint32_t>(indexedTo_), length);
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
    make_room(keyTables_, lines);
    sections_.reserve(lines, [this](std::uint32_t id) { return section_hash_of(id); });
    // The open section's table may grow to hold all the lines, and the new
    // sections' tables take fewer slots than the first size per line.
    std::size_t open = place_ == Place::inSection ? keyTables_.back().count : 0;
    make_room(keySlots_, table_size_for(open + lines) + kFirstTableSize * lines);
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
    keyTables_.emplace_back();
    const char* line = text_.data() + offset;
    if (length < 2 || line[length - 1] != ']') {
        // Entries above the first header stay above it, whatever this line is.
        if (place_ != Place::beforeFirstHeader) place_ = Place::underNoSection;
        return LineVerdict::namesNoSection;
    }
    std::uint64_t hash = section_hash_of(header);
    const char* end = text_.data() + text_.size();
    std::uint32_t first = sections_.find(
        hash, [&](std::uint32_t id) { return header_names(text_.data() + headers_[id], end, line + 1, length - 2); });
    if (first != SlotIndex::kEmpty) {
        place_ = Place::underSecondHeader;
        return LineVerdict::secondHeader;
    }
    sections_.insert(hash, header);
    open_key_table(keyTables_.back(), kFirstTableSize);
    place_ = Place::inSection;
    return LineVerdict::header;
}

LineVerdict Profile::take_entry(std::uint32_t offset, std::size_t keyLength) {
    switch (place_) {
        case Place::beforeFirstHeader:
            return LineVerdict::aboveFirstHeader;
        case Place::underSecondHeader:
            return LineVerdict::underSecondHeader;
        case Place::underNoSection:
            return LineVerdict::underNoSection;
        case Place::inSection:
            break;
    }
    if (keyLength > kKeyLength) return LineVerdict::keyTooLong;
    std::uint32_t header = static_cast<std::uint32_t>(headers_.size() - 1);
    KeyTable& table = keyTables_[header];
    if (table.count + 1 > table.size / 4 * 3) grow_key_table(header, offset);
    return enter_key(table, offset, keyLength) ? LineVerdict::entry : LineVerdict::secondEntry;
}

std::uint64_t Profile::section_hash_of(std::uint32_t header) const {
    const char* line = text_.data() + headers_[header];
    return common::folded_hash(line + 1, std::strlen(line) - 2);
}

// Gives table size empty slots at the end of the slot array; room for them
// was made beforehand.
void Profile::open_key_table(KeyTable& table, std::size_t size) {
    table.base = static_cast<std::uint32_t>(keySlots_.size());
    table.size = static_cast<std::uint32_t>(size);
    table.count = 0;
    keySlots_.resize(keySlots_.size() + size, SlotIndex::kEmpty);
}

// Doubles the table of header, the open section's and so the last in the
// slot array, and enters again the entries of its lines before end. An entry
// stands in it only if no earlier line of the section has its key, so
// entering them in their order keeps the same first entries.
void Profile::grow_key_table(std::uint32_t header, std::uint32_t end) {
    KeyTable& table = keyTables_[header];
    std::size_t size = std::size_t{table.size} * 2;
    keySlots_.resize(table.base);
    open_key_table(table, size);
    for (std::uint32_t at = headers_[header]; at < end;) {
        const char* line = text_.data() + at;
        std::size_t length = std::strlen(line);
        const void* equals = line[0] == '[' ? nullptr : std::memchr(line, '=', length);
        std::size_t keyLength = equals ? static_cast<const char*>(equals) - line : 0;
        if (equals && keyLength <= kKeyLength) enter_key(table, at, keyLength);
        at += static_cast<std::uint32_t>(length + 1);
    }
}

// Enters the entry at offset into table, which has room, unless an entry
// with its key stands there already; says whether it did.
bool Profile::enter_key(KeyTable& table, std::uint32_t offset, std::size_t keyLength) {
    const char* key = text_.data() + offset;
    std::uint32_t& slot = keySlots_[key_slot(table, key, keyLength, common::folded_hash(key, keyLength))];
    if (slot != SlotIndex::kEmpty) return false;
    slot = offset;
    ++table.count;
    return true;
}

// The slot of table that holds the entry of key (whose folded hash is hash),
// or the empty one where it would go.
std::size_t Profile::key_slot(const KeyTable& table, const char* key, std::size_t keyLength, std::uint64_t hash) const {
    std::size_t mask = table.size - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        std::uint32_t offset = keySlots_[table.base + i];
        if (offset == SlotIndex::kEmpty ||
            entry_has_key(text_.data() + offset, text_.data() + text_.size(), key, keyLength))
            return table.base + i;
    }
}

Profile::Query::Query(const char* sectionName, const char* keyName)
    : section(sectionName),
      sectionLength(std::strlen(sectionName)),
      sectionHash(common::folded_hash(sectionName, sectionLength)),
      key(keyName) {
    for (; keyLength < kKeyLength && key[keyLength] != '\0'; ++keyLength) keyHasEquals |= key[keyLength] == '=';
    keyHash = common::folded_hash(key, keyLength);
}

std::uint32_t Profile::find_section(const char* section, std::size_t sectionLength, std::uint64_t hash) const {
    return sections_.find(hash, [&](std::uint32_t id) {
        return header_names(text_.data() + headers_[id], text_.data() + text_.size(), section, sectionLength);
    });
}

std::uint32_t Profile::find_section(const char* section) const {
    std::size_t sectionLength = std::strlen(section);
    return find_section(section, sectionLength, common::folded_hash(section, sectionLength));
}

const char* Profile::find_value(const Query& query) const {
    // An entry's key ends at its first '=': a key holding one matches none.
    if (query.keyHasEquals) return nullptr;
    std::uint32_t header = find_section(query.section, query.sectionLength, query.sectionHash);
    if (header == SlotIndex::kEmpty) return nullptr;
    std::uint32_t offset = keySlots_[key_slot(keyTables_[header], query.key, query.keyLength, query.keyHash)];
    return offset == SlotIndex::kEmpty ? nullptr : text_.data() + offset + query.keyLength + 1;
}

}  // namespace velm::config
