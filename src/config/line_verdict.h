// What the INI reader's keep rule makes of one line: kept and found, kept but
// never found (and why), or dropped.
#pragma once

namespace velm::config {

// What became of a line offered to a profile.
enum class LineVerdict {
    header,             // kept: opens its section
    entry,              // kept: the first entry of its key in a section
    empty,              // dropped: nothing left after trimming
    tooShort,           // dropped: fewer than 3 characters
    comment,            // dropped: begins with '#'
    namesNoSection,     // kept, never found: begins with '[' but is no "[name]"
    secondHeader,       // kept, never found: a section named above already
    noEquals,           // kept, never found: neither a header nor an entry
    aboveFirstHeader,   // kept, never found: an entry before any section
    underSecondHeader,  // kept, never found: below a second header of a section
    underNoSection,     // kept, never found: below a '[' line that names no section
    keyTooLong,         // kept, never found: a key of more than 100 characters
    secondEntry,        // kept, never found: its key stood earlier in the section
};

// Whether a line with this verdict is stored (and traced as added).
inline bool is_kept(LineVerdict verdict) {
    return verdict != LineVerdict::empty && verdict != LineVerdict::tooShort && verdict != LineVerdict::comment;
}

}  // namespace velm::config
