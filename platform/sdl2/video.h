// The window and what shows the back buffer in it.
//
// The back buffer is shown scaled by the largest whole factor that fits the
// window (letterboxed, nearest-neighbour), or shrunk to fit when the window is
// smaller than the screen mode. With 3D acceleration an SDL renderer draws it
// from a streaming texture (and can wait for the vertical blank); without,
// it is written straight into the window's framebuffer, widened and scaled in
// one pass.
#pragma once

#include <SDL.h>

#include <string>

#include "back_buffer.h"

namespace dxsdl {

// Starts SDL's video and opens the window for the mode. False with a reason
// when there is no display to show it on: SDL falling back to a driver that
// shows nothing (offscreen, dummy) counts as no display unless SDL_VIDEODRIVER
// asked for that driver by name. Everything started is stopped again then.
bool StartVideo(const ScreenMode& mode, std::string* reason);
void StopVideo();

// Null while the library is not started; the renderer also when the window's
// framebuffer is written directly.
SDL_Window* VideoWindow();
SDL_Renderer* VideoRenderer();

// Shows the back buffer; false when the renderer failed (the frame is lost,
// the game goes on).
bool ShowBackBuffer(SDL_Surface* backBuffer);

// Borderless desktop fullscreen, or back to the window as it was.
void ToggleFullscreen();

// After SDL_RENDER_DEVICE_RESET: the renderer's textures are gone.
void RebuildTexture();

// The refresh rate of the display the window is on; 0 when unknown.
int DisplayRefreshRate();

// Asks the renderer to wait for the display's vertical blank; true when that is
// now in effect.
bool SetVsync(bool on);

// Where the back buffer goes in an output of this size, by the rule above.
SDL_Rect PresentationRect(int outputWidth, int outputHeight, int screenWidth, int screenHeight);

}  // namespace dxsdl
