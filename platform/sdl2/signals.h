// Quit signals: SIGINT, SIGTERM and SIGHUP become the game's quit request.
#pragma once

namespace dxsdl {

// From start-up to shut-down, SIGINT, SIGTERM and SIGHUP become quit requests
// (SDL's own handlers are not installed). The first one not answered within
// two seconds, or a second one, ends the process. Caught at start-up,
// released at shut-down.
void CatchQuitSignals();
void ReleaseQuitSignals();

// True once a quit signal came; the game counts as told from then on. Asked
// at each dxProcessMessage.
bool AnswerQuitSignal();

}  // namespace dxsdl
