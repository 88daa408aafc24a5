// Video: choosing SDL's video driver (and telling when there is no display to
// show anything on), the window, and what draws the back buffer into it: an
// SDL renderer where the system draws in hardware, else the window's own
// framebuffer.
#pragma once

#include <SDL.h>

#include <string>

namespace dxsdl {

struct ScreenMode;

// The window and what shows the back buffer in it.
struct Window {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;  // null when the window's framebuffer is written directly
    SDL_Texture* texture = nullptr;
    int width = 0;  // the screen mode's size
    int height = 0;
    // The window as it was before fullscreen, to go back to.
    int windowedX = 0;
    int windowedY = 0;
    int windowedWidth = 0;
    int windowedHeight = 0;
    // Fullscreen made by hand, where nothing on the desktop answers SDL's
    // request: a borderless window over the whole display.
    bool coversDisplay = false;
};

// Starts SDL's video and opens the window for the mode, at start-up. False
// with a reason when there is no display to show it on: SDL falling back to a
// driver that shows nothing (offscreen, dummy) counts as no display unless
// SDL_VIDEODRIVER asked for that driver by name, and so does a WAYLAND_DISPLAY
// whose socket is not there. A start that fails for want of free file
// descriptors says so. Everything started is stopped again then.
bool StartVideo(Window& window, const ScreenMode& mode, std::string* reason);
void StopVideo(Window& window);

// After SDL_RENDER_DEVICE_RESET: the renderer's textures are gone.
void RebuildTexture(Window& window);

// The refresh rate of the display the window is on; 0 when unknown.
int DisplayRefreshRate(const Window& window);

// Asks the renderer to wait for the display's vertical blank, or not; true
// when waiting is now in effect.
bool SetVsync(Window& window, bool on);

}  // namespace dxsdl
