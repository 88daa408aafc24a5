#include "video.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace dxsdl {
namespace {

struct Video {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int width = 0;
    int height = 0;
    bool vsync = false;
    // The window as it was before fullscreen, to go back to.
    int windowedX = 0;
    int windowedY = 0;
    int windowedWidth = 0;
    int windowedHeight = 0;
};
Video video;

// RGB565 to XRGB8888 by one lookup per channel. Each channel widens to
// floor(v * 255 / max), as SDL widens it (SDL_GetRGB and its blitters), so a
// 16-bit screen looks the way SDL would show it.
struct Rgb565Tables {
    uint32_t red[32];
    uint32_t green[64];
    uint32_t blue[32];
};
constexpr Rgb565Tables MakeRgb565Tables() {
    Rgb565Tables tables{};
    for (uint32_t v = 0; v < 32; ++v) {
        tables.red[v] = (v * 255 / 31) << 16;
        tables.blue[v] = v * 255 / 31;
    }
    for (uint32_t v = 0; v < 64; ++v) {
        tables.green[v] = (v * 255 / 63) << 8;
    }
    return tables;
}
constexpr Rgb565Tables kRgb565 = MakeRgb565Tables();

// Whether a comma-separated list of driver names (SDL_VIDEODRIVER) names this one.
bool ListNames(const char* list, const char* driver) {
    if (list == nullptr || driver == nullptr) {
        return false;
    }
    const size_t length = std::strlen(driver);
    const char* item = list;
    while (*item != '\0') {
        const char* end = std::strchr(item, ',');
        const size_t itemLength =
            end != nullptr ? static_cast<size_t>(end - item) : std::strlen(item);
        if (itemLength == length && SDL_strncasecmp(item, driver, length) == 0) {
            return true;
        }
        if (end == nullptr) {
            break;
        }
        item = end + 1;
    }
    return false;
}

bool ShowsNothing(const char* driver) {
    return driver != nullptr &&
           (SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0);
}

// The running program's file name without its directory or extension, for the
// window's title.
std::string ProgramName() {
    std::string path;
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    path.assign(buffer, length);
#else
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length > 0) {
        path.assign(buffer, static_cast<size_t>(length));
    }
#endif
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name.empty() ? std::string("game") : name;
}

// The whole factor for the first window: the largest that fits comfortably on
// the display (nine tenths of its usable area), at least 1.
int FirstWindowScale(const ScreenMode& mode) {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) {
        return 1;
    }
    const int64_t byWidth = (static_cast<int64_t>(usable.w) * 9 / 10) / mode.width;
    const int64_t byHeight = (static_cast<int64_t>(usable.h) * 9 / 10) / mode.height;
    return static_cast<int>(std::clamp<int64_t>(std::min(byWidth, byHeight), 1, 8));
}

bool MakeTexture(std::string* reason) {
    if (video.texture != nullptr) {
        SDL_DestroyTexture(video.texture);
    }
    video.texture = SDL_CreateTexture(video.renderer, SDL_PIXELFORMAT_RGB888,
                                      SDL_TEXTUREACCESS_STREAMING, video.width, video.height);
    if (video.texture == nullptr) {
        *reason = std::string("cannot make the screen texture: ") + SDL_GetError();
        return false;
    }
    SDL_SetTextureScaleMode(video.texture, SDL_ScaleModeNearest);
    SDL_SetTextureBlendMode(video.texture, SDL_BLENDMODE_NONE);
    return true;
}

// The back buffer into the texture's XRGB8888 rows.
void CopyToTexture(const SDL_Surface* backBuffer, uint8_t* pixels, int pitch) {
    const auto* source = static_cast<const uint8_t*>(backBuffer->pixels);
    const auto width = static_cast<size_t>(backBuffer->w);
    for (int y = 0; y < backBuffer->h; ++y) {
        const uint8_t* in =
            source + static_cast<size_t>(y) * static_cast<size_t>(backBuffer->pitch);
        auto* out = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) *
                                                             static_cast<size_t>(pitch));
        if (backBuffer->format->BytesPerPixel == 4) {
            std::memcpy(out, in, width * 4);
            continue;
        }
        for (size_t x = 0; x < width; ++x) {
            uint16_t pixel;
            std::memcpy(&pixel, in + 2 * x, 2);
            out[x] = kRgb565.red[pixel >> 11] | kRgb565.green[(pixel >> 5) & 0x3F] |
                     kRgb565.blue[pixel & 0x1F];
        }
    }
}

}  // namespace

bool StartVideo(const ScreenMode& mode, std::string* reason) {
    // Window sizes in points and the drawable in pixels, as on other systems,
    // unless the user chose otherwise.
    SDL_SetHintWithPriority(SDL_HINT_WINDOWS_DPI_SCALING, "1", SDL_HINT_DEFAULT);
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (requested == nullptr || *requested == '\0') {
            *reason = std::string("cannot start: no display (") + SDL_GetError() + ")";
        } else {
            *reason = std::string("cannot start the video driver \"") + requested +
                      "\": " + SDL_GetError();
        }
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (ShowsNothing(driver) && !ListNames(requested, driver)) {
        *reason = std::string("cannot start: no display (SDL could only open its \"") + driver +
                  "\" driver, which shows nothing; set SDL_VIDEODRIVER=" + driver +
                  " to run without a screen)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }

    video = Video{};
    video.width = mode.width;
    video.height = mode.height;
    const int scale = FirstWindowScale(mode);
    video.window = SDL_CreateWindow(ProgramName().c_str(), SDL_WINDOWPOS_CENTERED,
                                    SDL_WINDOWPOS_CENTERED, mode.width * scale, mode.height * scale,
                                    SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (video.window == nullptr) {
        *reason = std::string("cannot open the window: ") + SDL_GetError();
        StopVideo();
        return false;
    }
    // SDL_FRAMEBUFFER_ACCELERATION=0 asks for no 3D acceleration: then the
    // software renderer, which draws straight into the window's framebuffer.
    const bool software = !SDL_GetHintBoolean(SDL_HINT_FRAMEBUFFER_ACCELERATION, SDL_TRUE);
    video.renderer = SDL_CreateRenderer(video.window, -1, software ? SDL_RENDERER_SOFTWARE : 0);
    if (video.renderer == nullptr && !software) {
        video.renderer = SDL_CreateRenderer(video.window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (video.renderer == nullptr) {
        *reason = std::string("cannot make a renderer for the window: ") + SDL_GetError();
        StopVideo();
        return false;
    }
    if (!MakeTexture(reason)) {
        StopVideo();
        return false;
    }
    SDL_SetRenderDrawColor(video.renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
    SDL_RenderClear(video.renderer);
    SDL_RenderPresent(video.renderer);
    return true;
}

void StopVideo() {
    if (video.texture != nullptr) {
        SDL_DestroyTexture(video.texture);
    }
    if (video.renderer != nullptr) {
        SDL_DestroyRenderer(video.renderer);
    }
    if (video.window != nullptr) {
        SDL_DestroyWindow(video.window);
    }
    video = Video{};
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

SDL_Window* VideoWindow() {
    return video.window;
}
SDL_Renderer* VideoRenderer() {
    return video.renderer;
}

SDL_Rect PresentationRect(int outputWidth, int outputHeight, int screenWidth, int screenHeight) {
    const int64_t outW = std::max(outputWidth, 1);
    const int64_t outH = std::max(outputHeight, 1);
    const int64_t scale = std::min(outW / screenWidth, outH / screenHeight);
    int64_t width;
    int64_t height;
    if (scale >= 1) {
        width = screenWidth * scale;
        height = screenHeight * scale;
    } else if (outW * screenHeight <= outH * screenWidth) {
        width = outW;  // narrower than the screen's shape: fit the width
        height = std::max<int64_t>(1, screenHeight * outW / screenWidth);
    } else {
        height = outH;
        width = std::max<int64_t>(1, screenWidth * outH / screenHeight);
    }
    return SDL_Rect{static_cast<int>((outW - width) / 2), static_cast<int>((outH - height) / 2),
                    static_cast<int>(width), static_cast<int>(height)};
}

bool ShowBackBuffer(const SDL_Surface* backBuffer) {
    if (video.renderer == nullptr || video.texture == nullptr) {
        return false;
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(video.texture, nullptr, &pixels, &pitch) != 0) {
        return false;
    }
    CopyToTexture(backBuffer, static_cast<uint8_t*>(pixels), pitch);
    SDL_UnlockTexture(video.texture);

    int outputWidth = 0;
    int outputHeight = 0;
    if (SDL_GetRendererOutputSize(video.renderer, &outputWidth, &outputHeight) != 0) {
        return false;
    }
    const SDL_Rect place = PresentationRect(outputWidth, outputHeight, video.width, video.height);
    // Bars around the picture need clearing; a picture covering the whole
    // output overwrites every pixel anyway.
    if (place.x != 0 || place.y != 0 || place.w != outputWidth || place.h != outputHeight) {
        SDL_RenderClear(video.renderer);
    }
    const bool copied = SDL_RenderCopy(video.renderer, video.texture, nullptr, &place) == 0;
    SDL_RenderPresent(video.renderer);
    return copied;
}

void ToggleFullscreen() {
    if (video.window == nullptr) {
        return;
    }
    if ((SDL_GetWindowFlags(video.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
        SDL_WINDOW_FULLSCREEN_DESKTOP) {
        SDL_SetWindowFullscreen(video.window, 0);
        // Not every system gives the old size back by itself.
        SDL_SetWindowSize(video.window, video.windowedWidth, video.windowedHeight);
        SDL_SetWindowPosition(video.window, video.windowedX, video.windowedY);
        return;
    }
    SDL_GetWindowPosition(video.window, &video.windowedX, &video.windowedY);
    SDL_GetWindowSize(video.window, &video.windowedWidth, &video.windowedHeight);
    SDL_SetWindowFullscreen(video.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void RebuildTexture() {
    if (video.renderer == nullptr) {
        return;
    }
    std::string reason;
    if (!MakeTexture(&reason)) {
        video.texture = nullptr;
    }
}

int DisplayRefreshRate() {
    if (video.window == nullptr) {
        return 0;
    }
    const int display = SDL_GetWindowDisplayIndex(video.window);
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        return 0;
    }
    return mode.refresh_rate;
}

bool SetVsync(bool on) {
    if (video.renderer == nullptr) {
        return false;
    }
    if (SDL_RenderSetVSync(video.renderer, on ? 1 : 0) != 0) {
        video.vsync = false;
        return false;
    }
    video.vsync = on;
    return on;
}

}  // namespace dxsdl
