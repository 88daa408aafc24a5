// Messages on standard error: one line each, named for the program.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace dxsdl {

// Writes "<program>: <text>" and a newline to standard error, in one write.
// Control characters in the text (a newline in a file name, say) are shown as
// '?', so every message stays on one line. Allocates nothing, so a line is
// written however little memory is left (one past 8 KiB is cut short).
// Called wherever the library has something to tell the player.
void ReportLine(std::string_view text) noexcept;
// The same for a line of parts, joined as they are written: a line that must
// be written even when there is no memory left to make its text.
void ReportLine(std::initializer_list<std::string_view> parts) noexcept;

// The running program's file name without its directory or extension
// (program_name.h; "chaser" when it cannot be found); in a web page, the
// page's title ("game" when it has none). Called for the
// prefix of every message and for the window's title.
std::string ProgramName();

}  // namespace dxsdl
