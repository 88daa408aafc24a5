// Messages on standard error: one line each, named for the program.
#pragma once

#include <string>

namespace dxsdl {

// Writes "<program>: <text>" and a newline to standard error, in one write.
// Control characters in the text (a newline in a file name, say) are shown as
// '?', so every message stays on one line. Never throws: out of memory, a
// short fixed line is written instead. Called wherever the library has
// something to tell the player.
void ReportLine(const std::string& text) noexcept;

// The running program's file name without its directory or extension ("game"
// when it cannot be found); in a web page, the page's title. Called for the
// prefix of every message and for the window's title.
std::string ProgramName();

}  // namespace dxsdl
