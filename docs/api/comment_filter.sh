#!/bin/sh
# Doxygen's input filter for the installed headers. Their comments are plain
# C comments written for a reader of the header: each one that opens a
# declaration's comment becomes a documentation comment here, and the first
# one of a file describes the file; section banners ("/* ---- ...") stay
# plain comments. Inside comments, angle brackets ("<pid>") are text, not
# HTML, and "#" is no link.
exec awk '
  function text(line) {
    gsub(/</, "\\<", line); gsub(/>/, "\\>", line); gsub(/#/, "\\#", line)
    return line
  }
  {
    line = $0
    start = index(line, "/*")
    if (!inComment && start > 0) {
      head = substr(line, 1, start - 1)
      rest = substr(line, start + 2)
      if (NR == 1) opener = "/** @file\n"
      else if (head ~ /^ *$/ && rest ~ /^ [^-]/) opener = "/**"
      else opener = "/*"
      line = head opener text(rest)
      inComment = 1
    } else if (inComment) {
      line = text(line)
    }
    if (inComment && index($0, "*/") > 0) { inComment = 0; sub(/\*\\>/, "*/", line) }
    print line
  }' "$1"
