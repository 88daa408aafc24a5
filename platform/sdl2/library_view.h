// Besides the twelve operations of dxlibdll.h, library.cpp offers the view
// that tests and measuring tools take of the running library. The game sees
// none of it.
#pragma once

#include <SDL.h>

#include "library.h"

namespace dxsdl {

void SetFrameStartHook(Hook hook);
void SetShutdownHook(Hook hook);
// Whether dxDxLib_Init succeeded and dxDxLib_End has not run since.
bool Started();
// Null while the library is not started.
SDL_Surface* BackBuffer();
SDL_Window* VideoWindow();
SDL_Renderer* VideoRenderer();  // also null when the window's framebuffer is written directly
SDL_GameController* OpenPad();  // also null when no pad is connected
const Image* FindImage(int32_t handle);
// Writes the load summary now rather than at the next frame; afterwards the
// next few failures get lines of their own again.
void ReportPendingLoadFailures();
// Forgets every loaded image; their handles name nothing any more.
void ForgetAllImages();
// Pacing on (the game's rate) or off (frames shown at once); kept across
// start-ups.
void SetPacingEnabled(bool enabled);
PacingMethod CurrentPacingMethod();  // Off while the library is not started
PacingTuning& Tuning();

}  // namespace dxsdl
