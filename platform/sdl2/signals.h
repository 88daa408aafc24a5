// Quit signals: SIGINT, SIGTERM and SIGHUP become the game's quit request.
#pragma once

namespace dxsdl {

// From start-up to shut-down, SIGINT, SIGTERM and SIGHUP become quit requests
// (SDL's own handlers are not installed); one the caller ignored (nohup's
// SIGHUP) stays ignored. The first one not answered within two seconds of
// the game's last sign of life, or a second one, ends the process. Caught
// first thing at start-up, which also lets through those the program held
// back until then; released at shut-down, when one that came and was never
// answered is passed on to the handling the program had before.
void CatchQuitSignals();
void ReleaseQuitSignals();

// True once a quit signal came; the game counts as told from then on. Asked
// at each dxProcessMessage, which is also a sign of life.
bool AnswerQuitSignal();

// The game is working its way to its next frame (an image loaded): a sign of
// life, from which the two seconds count again. Called by dxLoadGraph.
void NoteProgress();

}  // namespace dxsdl
