// One in-memory profile (the kept lines of an INI file, or the preference
// cache) with the rule that decides what becomes of each line and the section
// and key lookup. Lines are held in one buffer; the first header of every
// section and the first entry of every key in it are indexed as they arrive,
// so a lookup costs the same in a file of ten lines or of ten million. Each
// section has a small key table of its own, a slice of one slot array: a
// section's lines are contiguous, so its table is filled while it is still in
// the processor's cache, and an entry is told apart by its text alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/line_verdict.h"
#include "config/slot_index.h"

namespace velm::config {

// Only the first 100 characters of a key take part in a lookup.
constexpr std::size_t kKeyLength = 100;

struct LineClass {
    LineVerdict verdict;
    std::size_t length;                         // of the line after trimming
    std::size_t keyLength = std::string::npos;  // characters before the first '=', or npos
};

class Profile {
  public:
    explicit Profile(std::string name) : name_(std::move(name)) {}

    // Trims the first length characters of text at their end and keeps them
    // if they make a line worth keeping. Says what became of the line; a
    // dropped line changes nothing. May throw bad_alloc.
    LineClass add_line(const char* text, std::size_t length);

    // Keeps text as it stands, without trimming or the keep rule. May throw
    // bad_alloc.
    LineClass append_line(const char* text, std::size_t length);

    // As add_line, but leaves the line out of the indexes until
    // index_stored_lines: a whole file is indexed in one pass, its size known.
    // True when the line is kept. May throw bad_alloc.
    bool store_line(const char* text, std::size_t length);

    // Indexes the lines that store_line kept, in their order. May throw
    // bad_alloc.
    void index_stored_lines();

    // Makes room for lines totalling bytes characters, of which up to lines
    // are entries, so that adding them cannot fail half-way. May throw
    // bad_alloc, and then nothing changed.
    void reserve(std::size_t bytes, std::size_t lines);

    // The header number of the first header of section, or kEmpty.
    std::uint32_t find_section(const char* section) const;

    // A lookup's section and key, measured and hashed before the profile
    // that answers is known: the hashes do not depend on it, so the
    // processor computes them beside the search for the profile.
    struct Query {
        Query(const char* sectionName, const char* keyName);
        const char* section;
        std::size_t sectionLength;
        std::uint64_t sectionHash;
        const char* key;
        std::size_t keyLength = 0;  // at most 100
        std::uint64_t keyHash = 0;
        bool keyHasEquals = false;  // whether those characters hold a '='
    };

    // The value of the query's key (its first 100 characters) under the
    // first header of its section, NUL-terminated inside the profile; null
    // when not found.
    const char* find_value(const Query& query) const;
    const char* find_value(const char* section, const char* key) const { return find_value(Query(section, key)); }

    // The text of the line kept last.
    const char* last_line() const { return text_.data() + lastLine_; }

    int line_count() const { return lineCount_; }
    const std::string& name() const { return name_; }

  private:
    enum class Place { beforeFirstHeader, inSection, underSecondHeader, underNoSection };

    // The key table of a section's first header: slots [base, base + size) of
    // keySlots_, size a power of two (0 for any other header).
    struct KeyTable {
        std::uint32_t base = 0;
        std::uint32_t size = 0;
        std::uint32_t count = 0;  // entries held
    };

    std::uint32_t store(const char* text, std::size_t length);
    LineVerdict index_line(std::uint32_t offset, std::size_t length);
    LineVerdict take_header(std::uint32_t offset, std::size_t length);
    LineVerdict take_entry(std::uint32_t offset, std::size_t keyLength);
    std::uint64_t section_hash_of(std::uint32_t header) const;
    void open_key_table(KeyTable& table, std::size_t size);
    void grow_key_table(std::uint32_t header, std::uint32_t end);
    bool enter_key(KeyTable& table, std::uint32_t offset, std::size_t keyLength);
    std::uint32_t find_section(const char* section, std::size_t sectionLength, std::uint64_t hash) const;
    std::size_t key_slot(const KeyTable& table, const char* key, std::size_t keyLength, std::uint64_t hash) const;

    std::string name_;                        // file name or cache name, kept whole
    std::string text_;                        // the kept lines, each ended by a NUL
    std::vector<std::uint32_t> headers_;      // offsets of the lines that begin with '['
    std::vector<KeyTable> keyTables_;         // one for each entry of headers_
    SlotIndex sections_;                      // header number of each section's first header
    std::vector<std::uint32_t> keySlots_;     // the key tables: kEmpty or an entry's offset
    std::uint32_t lastLine_ = 0;              // offset of the line kept last
    std::size_t indexedTo_ = 0;               // text_ up to here is indexed
    std::size_t storedHeaders_ = 0;           // lines beginning with '[' stored, not yet indexed
    std::size_t storedSlots_ = 0;             // key slots the stored lines may need
    std::size_t blockLines_ = 0;              // stored lines since the last '[' line
    int lineCount_ = 0;                       // lines kept
    Place place_ = Place::beforeFirstHeader;  // where the next entry would stand
};

}  // namespace velm::config
