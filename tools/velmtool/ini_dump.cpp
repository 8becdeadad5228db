// Shows what the library's INI reader makes of each line of a file. The
// verdicts come from the library's own profile, which the dump fills as the
// reader does: the file is read as bytes in pieces of at most 1023
// characters, and each piece is offered to the profile as a line.
#include "ini_dump.h"

#include <cstring>
#include <string>

#include "arguments.h"
#include "config/profile.h"

namespace velmtool {

namespace {

using velm::config::LineClass;
using velm::config::LineVerdict;

constexpr std::size_t kPieceSize = 1024;  // 1023 characters and the NUL

// Prints each line with what became of it, and counts.
class LineReport {
  public:
    explicit LineReport(std::FILE* out) : out_(out) {}

    void take(const std::string& label, const char* piece) {
        LineClass line = profile_.add_line(piece, std::strlen(piece));
        std::string text(piece, line.length);
        std::string key = line.keyLength == std::string::npos ? "" : text.substr(0, line.keyLength);
        switch (line.verdict) {
            case LineVerdict::header:
                ++sections_;
                std::fprintf(out_, "%s: [%s]\n", label.c_str(), escaped(section_of(text)).c_str());
                return;
            case LineVerdict::entry:
                ++entries_;
                std::fprintf(out_, "%s:   %s = %s\n", label.c_str(), quoted(key).c_str(),
                             quoted(text.substr(line.keyLength + 1)).c_str());
                return;
            case LineVerdict::secondHeader:
                secondHeader_ = quoted(section_of(text));
                return ignore(label, text, "a second header of section " + secondHeader_);
            case LineVerdict::secondEntry:
                return ignore(label, text, "a second entry of key " + quoted(key));
            case LineVerdict::underSecondHeader:
                return ignore(label, text, "under a second header of section " + secondHeader_);
            default:
                return ignore(label, text, reason(line.verdict));
        }
    }

    void print_summary() const {
        std::fprintf(out_, "%d sections, %d entries, %d lines ignored\n", sections_, entries_, ignored_);
    }

  private:
    static std::string section_of(const std::string& header) { return header.substr(1, header.size() - 2); }

    // Why a line that names nothing of its own is never found.
    static const char* reason(LineVerdict verdict) {
        switch (verdict) {
            case LineVerdict::empty:
                return "empty";
            case LineVerdict::tooShort:
                return "too short";
            case LineVerdict::comment:
                return "a comment";
            case LineVerdict::namesNoSection:
                return "begins with \"[\" but names no section";
            case LineVerdict::noEquals:
                return "neither a header nor an entry (no \"=\")";
            case LineVerdict::aboveFirstHeader:
                return "above the first header";
            case LineVerdict::underNoSection:
                return "under a line that names no section";
            case LineVerdict::keyTooLong:
                return "a key longer than 100 characters";
            default:
                return "";
        }
    }

    void ignore(const std::string& label, const std::string& line, const std::string& why) {
        ++ignored_;
        std::fprintf(out_, "%s: ignored, %s: %s\n", label.c_str(), why.c_str(), quoted(line).c_str());
    }

    std::FILE* out_;
    velm::config::Profile profile_{""};
    std::string secondHeader_;  // quoted name of the last second header met
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
    LineReport report(out);
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
        report.take(label, piece);
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
    if (readable) report.print_summary();
    return readable;
}

}  // namespace velmtool
