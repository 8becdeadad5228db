// The reader's line rules, applied from the outside: a file is read as bytes
// in pieces of at most 1023 characters, each piece is trimmed at its end, a
// piece of fewer than 3 characters or one that begins with "#" is dropped,
// "[name]" opens a section only at its first appearance, and a lookup walks a
// section from its first header to the next line that begins with "[". The
// dump follows that walk so that every ignored line carries its reason.
#include "ini_dump.h"

#include <cstring>
#include <string>
#include <vector>

#include "arguments.h"

namespace velmtool {

namespace {

constexpr std::size_t kPieceSize = 1024;     // 1023 characters and the NUL
constexpr std::size_t kMaxKeyLength = 100;   // a lookup compares no more of its key

// First the line end, then trailing blanks and carriage returns; tabs stay.
std::string trim_line_end(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

bool contains_ignoring_case(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& known : names) {
        if (equal_ignoring_case(known, name)) return true;
    }
    return false;
}

// Follows the lookups' walk through the kept lines and prints each piece.
class SectionWalk {
public:
    explicit SectionWalk(std::FILE* out) : out_(out) {}

    void take(const std::string& label, const std::string& line) {
        if (line.empty()) return ignore(label, line, "empty");
        if (line.size() < 3) return ignore(label, line, "too short");
        if (line[0] == '#') return ignore(label, line, "a comment");
        if (line[0] == '[') return take_header(label, line);
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            return ignore(label, line, "neither a header nor an entry (no \"=\")");
        }
        take_entry(label, line, line.substr(0, equals), line.substr(equals + 1));
    }

    void print_summary() const {
        std::fprintf(out_, "%d sections, %d entries, %d lines ignored\n", sections_, entries_,
                     ignored_);
    }

private:
    enum class Where { beforeFirstHeader, inSection, unreachable };

    void take_header(const std::string& label, const std::string& line) {
        // A line that begins with "[" ends the walk of the section before it,
        // whether or not it names a section itself.
        if (line.back() != ']') {
            if (where_ != Where::beforeFirstHeader) {
                where_ = Where::unreachable;
                unreachableBecause_ = "under a line that names no section";
            }
            return ignore(label, line, "begins with \"[\" but names no section");
        }
        std::string name = line.substr(1, line.size() - 2);
        if (contains_ignoring_case(seenSections_, name)) {
            where_ = Where::unreachable;
            unreachableBecause_ = "under a second header of section " + quoted(name);
            return ignore(label, line, "a second header of section " + quoted(name));
        }
        seenSections_.push_back(name);
        keysInSection_.clear();
        where_ = Where::inSection;
        ++sections_;
        std::fprintf(out_, "%s: [%s]\n", label.c_str(), escaped(name).c_str());
    }

    void take_entry(const std::string& label, const std::string& line, const std::string& key,
                    const std::string& value) {
        if (where_ == Where::beforeFirstHeader) return ignore(label, line, "above the first header");
        if (where_ == Where::unreachable) return ignore(label, line, unreachableBecause_);
        if (key.size() > kMaxKeyLength) {
            return ignore(label, line, "a key longer than 100 characters");
        }
        if (contains_ignoring_case(keysInSection_, key)) {
            return ignore(label, line, "a second entry of key " + quoted(key));
        }
        keysInSection_.push_back(key);
        ++entries_;
        std::fprintf(out_, "%s:   %s = %s\n", label.c_str(), quoted(key).c_str(),
                     quoted(value).c_str());
    }

    void ignore(const std::string& label, const std::string& line, const std::string& reason) {
        ++ignored_;
        std::fprintf(out_, "%s: ignored, %s: %s\n", label.c_str(), reason.c_str(),
                     quoted(line).c_str());
    }

    std::FILE* out_;
    Where where_ = Where::beforeFirstHeader;
    std::string unreachableBecause_;         // why entries are not found while unreachable
    std::vector<std::string> seenSections_;  // names of the headers that opened a section
    std::vector<std::string> keysInSection_; // keys of the section being walked
    int sections_ = 0;
    int entries_ = 0;
    int ignored_ = 0;
};

// Whether the stream is at its end, without consuming anything.
bool at_end(std::FILE* file) {
    int c = std::getc(file);
    if (c == EOF) return true;
    std::ungetc(c, file);
    return false;
}

}  // namespace

bool dump_ini_file(const char* path, std::FILE* out) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    SectionWalk walk(out);
    char piece[kPieceSize];
    int lineNumber = 1;
    int pieceNumber = 1;
    // The buffer is cleared before each read so that a line feed found in it
    // was read this time, even behind a NUL byte that ends the text early.
    std::memset(piece, 0, sizeof piece);
    while (std::fgets(piece, sizeof piece, file)) {
        bool lineEnded = std::memchr(piece, '\n', sizeof piece - 1) != nullptr || at_end(file);
        // A line longer than one piece is labelled line.piece, its parts in turn.
        std::string label = std::to_string(lineNumber);
        if (!(lineEnded && pieceNumber == 1)) label += "." + std::to_string(pieceNumber);
        walk.take(label, trim_line_end(piece));
        if (lineEnded) {
            ++lineNumber;
            pieceNumber = 1;
        } else {
            ++pieceNumber;
        }
        std::memset(piece, 0, sizeof piece);
    }
    // A directory opens on some systems and then fails at the first read.
    bool readable = !std::ferror(file);
    std::fclose(file);
    if (readable) walk.print_summary();
    return readable;
}

}  // namespace velmtool
