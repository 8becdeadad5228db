// velmtool's view into the library: thin passages to the rooms that hold
// the answers.
#include "tool_access/tool_access.h"

#include <memory>

#include "common/environment.h"
#include "config/ini_pieces.h"
#include "config/profile.h"
#include "log/session_file_output.h"
#include "platform/platform.h"

namespace velm::tool_access {

bool ini_reading_allowed() { return common::configuration_allows_ini(); }

const char* close_session_log() { return log::close_session_file(); }

bool walk_ini_file(const char* path, const std::function<void(const IniPiece&)>& take) {
    platform::FileKind kind = platform::FileKind::missing;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(platform::open_for_reading(path, kind), std::fclose);
    if (!file) return false;
    // A profile of its own judges each piece as the reader's profile would.
    config::Profile profile("");
    return config::read_pieces(file.get(), [&](const char* piece, std::size_t length, bool endsLine) {
        config::LineClass line = profile.add_line(piece, length);
        take(IniPiece{piece, line.length, line.keyLength, line.verdict, endsLine});
    });
}

}  // namespace velm::tool_access
