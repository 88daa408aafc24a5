// Presenting: the window, the back buffer shown in it, and the pace frames
// are shown at.
//
// The back buffer is shown scaled by the largest whole factor that fits the
// window (letterboxed, nearest-neighbour), or shrunk to fit when the window is
// smaller than the screen mode. With 3D acceleration an SDL renderer draws it
// from a streaming texture (and can wait for the vertical blank); without,
// it is written straight into the window's framebuffer, widened and scaled in
// one pass.
//
// Frames are shown at the rate the game asked for, whatever the display's own
// rate. When the display runs at that rate and the renderer can wait for its
// vertical blank, showing a frame waits for it. Otherwise a timer keeps a
// schedule of absolute deadlines, one period apart in performance-counter
// ticks, so rounding never drifts the long-run rate; it sleeps through most of
// the wait and yields the processor for the last moment. After a stall of more
// than a few frames the schedule starts afresh instead of rushing through the
// frames it missed.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "library.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define DXLIBDLL_HAVE_SSE2 1
#endif

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#elif defined(__EMSCRIPTEN__)
#include <emscripten.h>
#include <emscripten/html5.h>
#else
#include <unistd.h>
#endif

namespace dxsdl {

// ---------------------------------------------------------------------------
// The window

namespace {

// RGB565 to XRGB8888. Each channel widens to floor(v * 255 / max), as SDL
// widens it (SDL_GetRGB and its blitters), so a 16-bit screen looks the way
// SDL would show it. The multiply-and-shift forms equal those quotients for
// every 5- and 6-bit value and stay within 16 bits, so eight pixels can be
// widened at once in the 16-bit lanes of a vector register.
inline uint32_t WidenRgb565(uint16_t pixel) {
    const uint32_t red = ((pixel >> 11) * 1053u) >> 7;
    const uint32_t green = (((pixel >> 5) & 0x3Fu) * 259u + 3u) >> 6;
    const uint32_t blue = ((pixel & 0x1Fu) * 1053u) >> 7;
    return (red << 16) | (green << 8) | blue;
}

void WidenRgb565Row(const uint8_t* in, uint32_t* out, size_t width) {
    size_t x = 0;
#ifdef DXLIBDLL_HAVE_SSE2
    const __m128i five = _mm_set1_epi16(0x1F);
    const __m128i six = _mm_set1_epi16(0x3F);
    const __m128i wide5 = _mm_set1_epi16(1053);
    const __m128i wide6 = _mm_set1_epi16(259);
    const __m128i round6 = _mm_set1_epi16(3);
    for (; x + 8 <= width; x += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * x));
        const __m128i red = _mm_srli_epi16(_mm_mullo_epi16(_mm_srli_epi16(p, 11), wide5), 7);
        const __m128i green = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(_mm_srli_epi16(p, 5), six), wide6), round6),
            6);
        const __m128i blue = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(p, five), wide5), 7);
        const __m128i greenBlue = _mm_or_si128(_mm_slli_epi16(green, 8), blue);
        // Little-endian lanes: green and blue in the low half, red above.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(greenBlue, red));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4),
                         _mm_unpackhi_epi16(greenBlue, red));
    }
#endif
    for (; x < width; ++x) {
        uint16_t pixel;
        std::memcpy(&pixel, in + 2 * x, 2);
        out[x] = WidenRgb565(pixel);
    }
}

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

#ifdef __EMSCRIPTEN__
// In a web page the window is the page's canvas: it keeps the screen's own
// size in pixels, and the page scales it.
int FirstWindowScale(const ScreenMode&) {
    return 1;
}

constexpr Uint32 kWindowFlags = 0;
#else
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

constexpr Uint32 kWindowFlags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
#endif

bool MakeTexture(Window& window, std::string* reason) {
    if (window.texture != nullptr) {
        SDL_DestroyTexture(window.texture);
    }
    window.texture = SDL_CreateTexture(window.renderer, SDL_PIXELFORMAT_RGB888,
                                       SDL_TEXTUREACCESS_STREAMING, window.width, window.height);
    if (window.texture == nullptr) {
        *reason = std::string("cannot make the screen texture: ") + SDL_GetError();
        return false;
    }
    SDL_SetTextureScaleMode(window.texture, SDL_ScaleModeNearest);
    SDL_SetTextureBlendMode(window.texture, SDL_BLENDMODE_NONE);
    return true;
}

// The back buffer into XRGB8888 rows starting at `pixels`, each pixel
// repeated `scale` times across and each row `scale` times down.
void ConvertToXrgb(const SDL_Surface* backBuffer, uint8_t* pixels, size_t pitch, int scale) {
    const auto* source = static_cast<const uint8_t*>(backBuffer->pixels);
    const auto width = static_cast<size_t>(backBuffer->w);
    const auto factor = static_cast<size_t>(scale);
    const size_t rowBytes = width * factor * 4;
    for (int y = 0; y < backBuffer->h; ++y) {
        const uint8_t* in =
            source + static_cast<size_t>(y) * static_cast<size_t>(backBuffer->pitch);
        uint8_t* firstRow = pixels + static_cast<size_t>(y) * factor * pitch;
        auto* out = reinterpret_cast<uint32_t*>(firstRow);
        if (backBuffer->format->BytesPerPixel == 4 && factor == 1) {
            std::memcpy(out, in, width * 4);
        } else if (backBuffer->format->BytesPerPixel == 4) {
            for (size_t x = 0; x < width; ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, in + 4 * x, 4);
                std::fill_n(out + x * factor, factor, pixel);
            }
        } else if (factor == 1) {
            WidenRgb565Row(in, out, width);
        } else {
            for (size_t x = 0; x < width; ++x) {
                uint16_t pixel;
                std::memcpy(&pixel, in + 2 * x, 2);
                std::fill_n(out + x * factor, factor, WidenRgb565(pixel));
            }
        }
        for (size_t copy = 1; copy < factor; ++copy) {
            std::memcpy(firstRow + copy * pitch, firstRow, rowBytes);
        }
    }
}

bool IsXrgb(uint32_t format) {
    return format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
}

// Black over the parts of `output` outside `place`.
void FillBars(SDL_Surface* output, const SDL_Rect& place) {
    const SDL_Rect bars[] = {
        {0, 0, output->w, place.y},
        {0, place.y + place.h, output->w, output->h - place.y - place.h},
        {0, place.y, place.x, place.h},
        {place.x + place.w, place.y, output->w - place.x - place.w, place.h},
    };
    for (const SDL_Rect& bar : bars) {
        if (bar.w > 0 && bar.h > 0) {
            SDL_FillRect(output, &bar, 0);
        }
    }
}

// Without 3D acceleration: straight into the window's own framebuffer, one
// pass that widens the colours and scales at once.
bool ShowOnWindowSurface(Window& window, SDL_Surface* backBuffer) {
    SDL_Surface* output = SDL_GetWindowSurface(window.window);
    if (output == nullptr) {
        return false;
    }
    const SDL_Rect place = PresentationRect(output->w, output->h, window.width, window.height);
    FillBars(output, place);
    const bool locked = SDL_MUSTLOCK(output);
    if (locked && SDL_LockSurface(output) != 0) {
        return false;
    }
    const int scale = place.w / window.width;
    if (IsXrgb(output->format->format) && scale >= 1 && place.w == window.width * scale &&
        place.h == window.height * scale) {
        auto* origin = static_cast<uint8_t*>(output->pixels) +
                       static_cast<size_t>(place.y) * static_cast<size_t>(output->pitch) +
                       static_cast<size_t>(place.x) * 4;
        ConvertToXrgb(backBuffer, origin, static_cast<size_t>(output->pitch), scale);
        if (locked) {
            SDL_UnlockSurface(output);
        }
    } else {
        // A shrunken picture or an unusual framebuffer: SDL's general blit.
        if (locked) {
            SDL_UnlockSurface(output);
        }
        SDL_Rect destination = place;
        SDL_BlitScaled(backBuffer, nullptr, output, &destination);
    }
    return SDL_UpdateWindowSurface(window.window) == 0;
}

// With 3D acceleration: through a streaming texture, scaled by the renderer.
bool ShowThroughRenderer(Window& window, SDL_Surface* backBuffer) {
    if (window.texture == nullptr) {
        return false;
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(window.texture, nullptr, &pixels, &pitch) != 0) {
        return false;
    }
    ConvertToXrgb(backBuffer, static_cast<uint8_t*>(pixels), static_cast<size_t>(pitch), 1);
    SDL_UnlockTexture(window.texture);

    int outputWidth = 0;
    int outputHeight = 0;
    if (SDL_GetRendererOutputSize(window.renderer, &outputWidth, &outputHeight) != 0) {
        return false;
    }
    const SDL_Rect place = PresentationRect(outputWidth, outputHeight, window.width, window.height);
    SDL_RenderClear(window.renderer);
    const bool copied = SDL_RenderCopy(window.renderer, window.texture, nullptr, &place) == 0;
    SDL_RenderPresent(window.renderer);
    return copied;
}

bool ShowBackBuffer(Window& window, SDL_Surface* backBuffer) {
    if (window.window == nullptr) {
        return false;
    }
    return window.renderer != nullptr ? ShowThroughRenderer(window, backBuffer)
                                      : ShowOnWindowSurface(window, backBuffer);
}

// The refresh rate of the display the window is on; 0 when unknown.
int DisplayRefreshRate(const Window& window) {
    if (window.window == nullptr) {
        return 0;
    }
    const int display = SDL_GetWindowDisplayIndex(window.window);
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        return 0;
    }
    return mode.refresh_rate;
}

// Asks the renderer to wait for the display's vertical blank; true when that is
// now in effect.
bool SetVsync(Window& window, bool on) {
    if (window.renderer == nullptr) {
        return false;
    }
    return SDL_RenderSetVSync(window.renderer, on ? 1 : 0) == 0 && on;
}

}  // namespace

std::string ProgramName() {
#ifdef __EMSCRIPTEN__
    // In a web page the page's title names the program, and the canvas keeps it.
    const char* title = emscripten_get_window_title();
    return title != nullptr && *title != '\0' ? title : "game";
#else
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
#endif
}

namespace {

#ifdef _WIN32
#define DXLIBDLL_GLAPI __stdcall
#else
#define DXLIBDLL_GLAPI
#endif

// Whether the renderer draws with the processor after all: SDL's software
// renderer, or OpenGL on a rasteriser in software (Mesa's llvmpipe and its
// kin, as under Xvfb or without a GPU driver). There, measured on this game,
// the renderer path costs 41-48 % of a core and some 120 MB; writing the
// window's framebuffer directly, 6.6 % and 20 MB.
bool DrawsInSoftware(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0) {
        return false;
    }
    if ((info.flags & SDL_RENDERER_SOFTWARE) != 0) {
        return true;
    }
    if (SDL_strncmp(info.name, "opengl", 6) != 0) {
        return false;
    }
    using GetString = const unsigned char*(DXLIBDLL_GLAPI*)(unsigned int);
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (getString == nullptr) {
        return false;
    }
    constexpr unsigned int kGlRenderer = 0x1F01;
    const auto* name = reinterpret_cast<const char*>(getString(kGlRenderer));
    if (name == nullptr) {
        return false;
    }
    for (const char* software :
         {"llvmpipe", "softpipe", "lavapipe", "Software Rasterizer", "swrast"}) {
        if (std::strstr(name, software) != nullptr) {
            return true;
        }
    }
    return false;
}

// Whether the system has a graphics device for OpenGL to use. On Linux, GL
// in hardware goes through a DRM device node or NVIDIA's own; with neither,
// GL can only be the software rasteriser, and merely loading it keeps some
// 70 MB resident, so no renderer is tried at all.
bool GraphicsDevicePresent() {
#if defined(__linux__) && !defined(__ANDROID__)
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("card", 0) == 0 || name.rfind("renderD", 0) == 0) {
            return true;
        }
    }
    return std::filesystem::exists("/dev/nvidia0", error);
#else
    return true;
#endif
}

}  // namespace

bool StartVideo(Window& window, const ScreenMode& mode, std::string* reason) {
    // Window sizes in points and the drawable in pixels, as on other systems,
    // unless the user chose otherwise.
    SDL_SetHintWithPriority(SDL_HINT_WINDOWS_DPI_SCALING, "1", SDL_HINT_DEFAULT);
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
#ifdef __EMSCRIPTEN__
    // Frames wait for the browser's animation frames (PresentFrame), not for
    // SDL's own yield after each update.
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
    int canvasWidth = 0;
    int canvasHeight = 0;
    if (emscripten_get_canvas_element_size("#canvas", &canvasWidth, &canvasHeight) !=
        EMSCRIPTEN_RESULT_SUCCESS) {
        *reason = "cannot start: the page has no canvas (no element with the id \"canvas\")";
        return false;
    }
#endif
#if defined(__linux__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__NetBSD__)
    if (requested == nullptr || *requested == '\0') {
        const char* x11 = SDL_getenv("DISPLAY");
        const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
        const bool haveX11 = x11 != nullptr && *x11 != '\0';
        const bool haveWayland = wayland != nullptr && *wayland != '\0';
        // Probing a backend that has nothing to connect to only gets the
        // system libraries' own complaints printed before ours.
        if (!haveX11 && !haveWayland) {
            *reason =
                "cannot start: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                "start the game from inside a desktop session";
            return false;
        }
        if (!haveWayland) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        }
    }
#endif
    const int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
    if (requested == nullptr || *requested == '\0') {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    }
    if (started != 0) {
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

    window = Window{};
    window.width = mode.width;
    window.height = mode.height;
    const int scale = FirstWindowScale(mode);
    window.window =
        SDL_CreateWindow(ProgramName().c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         mode.width * scale, mode.height * scale, kWindowFlags);
    if (window.window == nullptr) {
        *reason = std::string("cannot open the window: ") + SDL_GetError();
        StopVideo(window);
        return false;
    }
    // SDL_FRAMEBUFFER_ACCELERATION=0 asks for no 3D acceleration: then, and
    // when no accelerated renderer can be made, the window's own framebuffer.
    // Left unset, we choose: no renderer where it would draw in software.
    const bool chooseForUs = SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION) == nullptr;
    if (chooseForUs && !GraphicsDevicePresent()) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    if (SDL_GetHintBoolean(SDL_HINT_FRAMEBUFFER_ACCELERATION, SDL_TRUE)) {
        window.renderer = SDL_CreateRenderer(window.window, -1, SDL_RENDERER_ACCELERATED);
        if (window.renderer != nullptr && chooseForUs && DrawsInSoftware(window.renderer)) {
            SDL_DestroyRenderer(window.renderer);
            window.renderer = nullptr;
            // And no renderer behind the window's framebuffer either.
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        }
        if (window.renderer != nullptr && !MakeTexture(window, reason)) {
            SDL_DestroyRenderer(window.renderer);
            window.renderer = nullptr;
        }
    }
    if (window.renderer != nullptr) {
        SDL_SetRenderDrawColor(window.renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
        SDL_RenderClear(window.renderer);
        SDL_RenderPresent(window.renderer);
        return true;
    }
    SDL_Surface* output = SDL_GetWindowSurface(window.window);
    if (output == nullptr) {
        *reason = std::string("cannot draw in the window: ") + SDL_GetError();
        StopVideo(window);
        return false;
    }
    SDL_FillRect(output, nullptr, 0);
    SDL_UpdateWindowSurface(window.window);
    return true;
}

void StopVideo(Window& window) {
    if (window.texture != nullptr) {
        SDL_DestroyTexture(window.texture);
    }
    if (window.renderer != nullptr) {
        SDL_DestroyRenderer(window.renderer);
    }
    if (window.window != nullptr) {
        SDL_DestroyWindow(window.window);
    }
    window = Window{};
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
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

void ToggleFullscreen(Window& window) {
#ifdef __EMSCRIPTEN__
    // Browsers grant fullscreen only inside the user's own key or click
    // handler, which the page has and the game's loop has not: the page does it.
    return;
#endif
    if (window.window == nullptr) {
        return;
    }
    if (window.coversDisplay) {
        window.coversDisplay = false;
        SDL_SetWindowBordered(window.window, SDL_TRUE);
        SDL_SetWindowSize(window.window, window.windowedWidth, window.windowedHeight);
        SDL_SetWindowPosition(window.window, window.windowedX, window.windowedY);
        return;
    }
    if ((SDL_GetWindowFlags(window.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
        SDL_WINDOW_FULLSCREEN_DESKTOP) {
        SDL_SetWindowFullscreen(window.window, 0);
        // Not every system gives the old size back by itself.
        SDL_SetWindowSize(window.window, window.windowedWidth, window.windowedHeight);
        SDL_SetWindowPosition(window.window, window.windowedX, window.windowedY);
        return;
    }
    SDL_GetWindowPosition(window.window, &window.windowedX, &window.windowedY);
    SDL_GetWindowSize(window.window, &window.windowedWidth, &window.windowedHeight);
    if (DesktopTakesWindowFullscreen(window.window)) {
        SDL_SetWindowFullscreen(window.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    // Nobody would answer SDL's request, and SDL would go on taking the
    // window to be the display's size: cover the display with the window
    // itself, which needs nobody's consent.
    SDL_Rect bounds;
    const int display = SDL_GetWindowDisplayIndex(window.window);
    if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) {
        return;
    }
    window.coversDisplay = true;
    SDL_SetWindowBordered(window.window, SDL_FALSE);
    SDL_SetWindowPosition(window.window, bounds.x, bounds.y);
    SDL_SetWindowSize(window.window, bounds.w, bounds.h);
    SDL_RaiseWindow(window.window);
}

void RebuildTexture(Window& window) {
    if (window.renderer == nullptr) {
        return;
    }
    std::string reason;
    if (!MakeTexture(window, &reason)) {
        window.texture = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Pacing

void FrameSchedule::Start(uint64_t ticksPerSecond, int32_t framesPerSecond, int32_t stallFrames) {
    rate_ = static_cast<uint64_t>(std::max(framesPerSecond, 1));
    period_ = ticksPerSecond / rate_;
    remainder_ = ticksPerSecond % rate_;
    carried_ = 0;
    stallTicks_ = period_ * static_cast<uint64_t>(std::max(stallFrames, 1));
    started_ = false;
}

uint64_t FrameSchedule::Due(uint64_t now) {
    if (!started_ || (now > next_ && now - next_ > stallTicks_)) {
        next_ = now;
        carried_ = 0;
        started_ = true;
    }
    return next_;
}

void FrameSchedule::Advance() {
    next_ += period_;
    carried_ += remainder_;
    if (carried_ >= rate_) {
        carried_ -= rate_;
        next_ += 1;
    }
}

void DisplayFramePacer::Start(int32_t framesPerSecond, int32_t stallFrames) {
    schedule_.Start(1000000, framesPerSecond, stallFrames);
}

bool DisplayFramePacer::Offer(uint64_t nowUs) {
    if (nowUs + kToleranceUs < schedule_.Due(nowUs)) {
        return false;
    }
    schedule_.Advance();
    return true;
}

void VsyncCheck::Start(uint64_t periodTicks) {
    period_ = periodTicks;
    haveLast_ = false;
    count_ = 0;
}

bool VsyncCheck::Record(uint64_t shownAt) {
    if (!haveLast_) {
        last_ = shownAt;
        haveLast_ = true;
        return true;
    }
    intervals_[count_++] = shownAt - last_;
    last_ = shownAt;
    if (count_ < kWindow) {
        return true;
    }
    count_ = 0;
    std::nth_element(intervals_, intervals_ + kWindow / 2, intervals_ + kWindow);
    return intervals_[kWindow / 2] * 4 >= period_ * 3;
}

namespace {

uint64_t MillisecondsToTicks(double ms) {
    return static_cast<uint64_t>(ms * static_cast<double>(SDL_GetPerformanceFrequency()) / 1000.0);
}

void SleepUntil(const PacingTuning& tuning, uint64_t deadline) {
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    const uint64_t coarse = MillisecondsToTicks(tuning.coarseMarginMs);
    const uint64_t spin = MillisecondsToTicks(tuning.spinMarginMs);
    for (;;) {
        const uint64_t now = SDL_GetPerformanceCounter();
        if (now >= deadline) {
            return;
        }
        const uint64_t remaining = deadline - now;
        const uint64_t wholeMs = remaining > coarse ? (remaining - coarse) * 1000 / frequency : 0;
        if (wholeMs >= 1) {
            SDL_Delay(static_cast<Uint32>(wholeMs));
            continue;
        }
#ifndef _WIN32
        // Sub-millisecond sleeps are only that short outside Windows, where a
        // sleep lasts at least a timer tick.
        if (remaining > spin) {
            const uint64_t us = (remaining - spin) * 1000000 / frequency;
            if (us > 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(us));
                continue;
            }
        }
#else
        (void)spin;
#endif
        std::this_thread::yield();
    }
}

void RestartSchedule(Library& library) {
    library.pacer.schedule.Start(SDL_GetPerformanceFrequency(), library.pacer.rate,
                                 library.settings.tuning.stallFrames);
    library.pacer.displayFrames.Start(library.pacer.rate, library.settings.tuning.stallFrames);
}

#ifdef __EMSCRIPTEN__
// In a web page the game's loop, which never returns, must give control back
// to the browser for anything to be shown or any key to arrive: each frame
// waits here, its stack unwound and later rewound, until the browser's next
// animation frame, and gets that frame's start time in milliseconds. A hidden
// page gets no animation frames, so the game waits with it.
// clang-format off
EM_ASYNC_JS(double, WaitForAnimationFrame, (), {
    return await new Promise(function(resolve) { requestAnimationFrame(resolve); });
});
// clang-format on
#endif

}  // namespace

void StartPacing(Library& library) {
    library.pacer.rate = library.settings.mode.refreshRate;
    library.pacer.vsyncDistrusted = false;
    ChoosePacingMethod(library);
}

void ChoosePacingMethod(Library& library) {
    Pacer& pacer = library.pacer;
    RestartSchedule(library);
    if (!library.settings.pacingEnabled || library.session.unpaced) {
        SetVsync(library.window, false);
        pacer.method = PacingMethod::Off;
        return;
    }
    // Within one hertz: displays sold as 60 Hz report 59 or 60.
    const int displayRate = DisplayRefreshRate(library.window);
    if (!pacer.vsyncDistrusted && displayRate > 0 && std::abs(displayRate - pacer.rate) <= 1 &&
        SetVsync(library.window, true)) {
        pacer.method = PacingMethod::Vsync;
        pacer.vsyncCheck.Start(pacer.schedule.WholePeriod());
        return;
    }
    SetVsync(library.window, false);
    pacer.method = PacingMethod::Timer;
}

void PresentFrame(Library& library) {
    Pacer& pacer = library.pacer;
#ifdef __EMSCRIPTEN__
    // An unpaced replay runs as fast as it can, but still gives the browser
    // control now and then so the page stays alive and the canvas is shown.
    if (library.session.unpaced) {
        if (++pacer.unpacedSinceYield == 32) {
            pacer.unpacedSinceYield = 0;
            emscripten_sleep(0);
        }
        ShowBackBuffer(library.window, library.backBuffer);
        return;
    }
    // Shown at the first animation frame at or after the frame's deadline.
    for (;;) {
        const double startMs = std::max(WaitForAnimationFrame(), 0.0);
        if (pacer.method == PacingMethod::Off ||
            pacer.displayFrames.Offer(static_cast<uint64_t>(startMs * 1000.0))) {
            break;
        }
    }
    ShowBackBuffer(library.window, library.backBuffer);
    return;
#endif
    switch (pacer.method) {
        case PacingMethod::Off:
            ShowBackBuffer(library.window, library.backBuffer);
            break;
        case PacingMethod::Timer:
            SleepUntil(library.settings.tuning, pacer.schedule.Due(SDL_GetPerformanceCounter()));
            ShowBackBuffer(library.window, library.backBuffer);
            pacer.schedule.Advance();
            break;
        case PacingMethod::Vsync:
            ShowBackBuffer(library.window, library.backBuffer);
            if (!pacer.vsyncCheck.Record(SDL_GetPerformanceCounter())) {
                pacer.vsyncDistrusted = true;
                ChoosePacingMethod(library);
            }
            break;
    }
}

}  // namespace dxsdl
