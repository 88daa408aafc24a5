// Presenting: the back buffer shown in the window, scaled, at the frame's
// turn; and fullscreen.
#pragma once

#include <SDL.h>

namespace dxsdl {

struct Pacer;
struct Window;

// Where the back buffer goes in an output of this size: scaled by the largest
// whole factor that fits (letterboxed), or shrunk to fit when the output is
// smaller than the screen.
SDL_Rect PresentationRect(int outputWidth, int outputHeight, int screenWidth, int screenHeight);

// Borderless desktop fullscreen, or back to the window as it was; on
// Alt+Enter.
void ToggleFullscreen(Window& window);

// Shows the back buffer at the frame's turn: the one step that puts a frame
// on the screen, called once per frame by dxScreenFlip.
void PresentFrame(Window& window, SDL_Surface* backBuffer, Pacer& pacer);

}  // namespace dxsdl
