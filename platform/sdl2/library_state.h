// The graphics library's state, shared by its parts. Internal: only the files
// of this library include it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

// An image converted to the back buffer's format, with a mask saying which
// pixels were not pure black in the file itself.
struct LoadedImage {
    SDL_Surface* pixels = nullptr;
    std::vector<uint8_t> opaque;  // one per pixel, row-major
};

struct ScreenMode {
    int32_t width = 640;
    int32_t height = 480;
    int32_t bits = 16;
    int32_t refreshRate = 60;
};

struct LibraryState {
    ScreenMode mode;
    bool started = false;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    SDL_Surface* backBuffer = nullptr;
    SDL_Rect drawArea{0, 0, 640, 480};
    std::vector<LoadedImage> images;
    std::set<std::string> reportedFiles;  // one message per file name at most
    bool quitRequested = false;
    SDL_GameController* pad = nullptr;
    // Pacing on absolute deadlines, in performance-counter ticks.
    uint64_t nextDeadline = 0;
    bool pacing = true;
};

LibraryState& Library();

// Parts of the library.
bool OpenScreen();
void CloseScreen();
void PresentBackBuffer();
void WaitForNextFrame();
void HandleEvents();
void OpenFirstPad();
void CatchQuitSignals();
void CloseImages();
int32_t LoadImageFile(const char* fileName);
int32_t DrawImage(int32_t x, int32_t y, int32_t handle, int32_t transFlag);
int32_t KeyHeld(int32_t keyCode);
int32_t KeyboardBits();
int32_t PadBits();
