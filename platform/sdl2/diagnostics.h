// The library's messages to the person running the game: one line each, on
// standard error, so a failure says what went wrong without stopping the game.
#pragma once

#include <string>

namespace dxsdl {

// Writes "dxlibdll: <text>" and a newline to standard error. Control
// characters in the text (a newline in a file name, say) are shown as '?', so
// every message stays on one line.
void ReportLine(const std::string& text);

}  // namespace dxsdl
