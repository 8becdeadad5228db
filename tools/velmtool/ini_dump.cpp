// Shows what the library's INI reader makes of each line of a file. The file
// is read by the reader's own walk: opened as the reader opens it, cut into
// the same pieces (a line longer than 1023 characters is several), each
// judged by the reader's rule.
#include "ini_dump.h"

#include <string>

#include "arguments.h"
#include "tool_access/tool_access.h"

namespace velmtool {

namespace {

using velm::config::LineVerdict;
using velm::tool_access::IniPiece;

// Prints each line with what became of it, and counts.
class LineReport {
  public:
    explicit LineReport(std::FILE* out) : out_(out) {}

    void take(const IniPiece& piece) {
        // A line longer than one piece is labelled line.piece, its parts in turn.
        std::string label = std::to_string(lineNumber_);
        if (!(piece.endsLine && pieceNumber_ == 1)) label += "." + std::to_string(pieceNumber_);
        judge(label, piece);
        if (piece.endsLine) {
            ++lineNumber_;
            pieceNumber_ = 1;
        } else {
            ++pieceNumber_;
        }
    }

    void print_summary() const {
        std::fprintf(out_, "%d sections, %d entries, %d lines ignored\n", sections_, entries_, ignored_);
    }

  private:
    void judge(const std::string& label, const IniPiece& piece) {
        std::string text(piece.text, piece.length);
        std::string key = piece.keyLength == std::string::npos ? "" : text.substr(0, piece.keyLength);
        switch (piece.verdict) {
            case LineVerdict::header:
                ++sections_;
                std::fprintf(out_, "%s: [%s]\n", label.c_str(), escaped(section_of(text)).c_str());
                return;
            case LineVerdict::entry:
                ++entries_;
                std::fprintf(out_, "%s:   %s = %s\n", label.c_str(), quoted(key).c_str(),
                             quoted(text.substr(piece.keyLength + 1)).c_str());
                return;
            case LineVerdict::secondHeader:
                secondHeader_ = quoted(section_of(text));
                return ignore(label, text, "a second header of section " + secondHeader_);
            case LineVerdict::secondEntry:
                return ignore(label, text, "a second entry of key " + quoted(key));
            case LineVerdict::underSecondHeader:
                return ignore(label, text, "under a second header of section " + secondHeader_);
            default:
                return ignore(label, text, reason(piece.verdict));
        }
    }

    static std::string section_of(const std::string& header) { return header.substr(1, header.size() - 2); }

    // Why a line that names nothing of its own is never found, in the order
    // of the verdicts; the verdicts that name something are told elsewhere.
    static const char* reason(LineVerdict verdict) {
        static const char* const kReasons[] = {"",
                                               "",
                                               "empty",
                                               "too short",
                                               "a comment",
                                               "begins with \"[\" but names no section",
                                               "",
                                               "neither a header nor an entry (no \"=\")",
                                               "above the first header",
                                               "",
                                               "under a line that names no section",
                                               "a key longer than 100 characters",
                                               ""};
        auto index = static_cast<std::size_t>(verdict);
        return index < sizeof kReasons / sizeof kReasons[0] ? kReasons[index] : "";
    }

    void ignore(const std::string& label, const std::string& line, const std::string& why) {
        ++ignored_;
        std::fprintf(out_, "%s: ignored, %s: %s\n", label.c_str(), why.c_str(), quoted(line).c_str());
    }

    std::FILE* out_;
    std::string secondHeader_;  // quoted name of the last second header met
    int lineNumber_ = 1;
    int pieceNumber_ = 1;
    int sections_ = 0;
    int entries_ = 0;
    int ignored_ = 0;
};

}  // namespace

bool dump_ini_file(const char* path, std::FILE* out) {
    LineReport report(out);
    if (!velm::tool_access::walk_ini_file(path, [&](const IniPiece& piece) { report.take(piece); })) return false;
    report.print_summary();
    return true;
}

}  // namespace velmtool
