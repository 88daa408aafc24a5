// What the desktop around the window does for it.
#pragma once

#include <SDL.h>

namespace dxsdl {

// Whether the desktop makes a window fullscreen when SDL asks: false on an X
// server with no window manager that takes windows fullscreen. Asked each
// time the player goes fullscreen.
bool DesktopTakesWindowFullscreen(SDL_Window* window);

// The colour depth of the window's X visual in bits (24 on most displays, 30
// for 10 bits a colour); 0 where the window is no X window.
int WindowColourDepth(SDL_Window* window);

// On X11, the screen the window is on and the one DISPLAY names (":0.1" names
// screen 1); false elsewhere.
bool WindowScreens(SDL_Window* window, int* used, int* named);

// Whether an X server answers at `name`, a value of DISPLAY, and lets this
// program in; true where that cannot be asked.
bool XServerAnswers(const char* name);

}  // namespace dxsdl
