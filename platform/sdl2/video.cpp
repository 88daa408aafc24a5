// Video: choosing SDL's video driver, and telling when there is no display
// to show anything on; the window; and what draws the back buffer into it.
// With 3D acceleration an SDL renderer draws it from a streaming texture (and
// can wait for the vertical blank); without, it is written straight into the
// window's framebuffer (present.cpp). Where OpenGL would only be drawn by the
// processor, no renderer is made at all: writing the framebuffer directly
// costs a fraction of the processor time and memory.
#include "video.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "desktop.h"
#include "messages.h"
#include "screen.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/html5.h>
#endif
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace dxsdl {

namespace {

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

// SDL opens its window on the first X screen it lists, whatever screen
// DISPLAY names (":0.1"), and cannot be told otherwise: said in a line, so
// the player knows where to look.
void SayWhichScreen(SDL_Window* window) {
    int used = 0;
    int named = 0;
    if (WindowScreens(window, &used, &named) && used != named) {
        const char* display = SDL_getenv("DISPLAY");
        ReportLine({"DISPLAY=", display != nullptr ? display : "", " names X screen ",
                    std::to_string(named), ", but the window opened on screen ",
                    std::to_string(used)});
    }
}

bool ShowsNothing(const char* driver) {
    return driver != nullptr &&
           (SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0);
}

#ifdef __EMSCRIPTEN__
// In a web page the window is the page's canvas: it keeps the screen's own
// size in pixels, and the page scales it.
SDL_Point FirstWindowSize(const ScreenMode& mode) {
    return {mode.width, mode.height};
}

constexpr Uint32 kWindowFlags = 0;
#else
// The first window: the screen mode times the largest whole factor that fits
// comfortably on the display (nine tenths of its usable area), at least 1. On
// a display too small for the mode itself, the largest window of the mode's
// shape that fits, the picture shrunk into it, rather than one that runs off
// the display.
SDL_Point FirstWindowSize(const ScreenMode& mode) {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) {
        return {mode.width, mode.height};
    }
    const int64_t width = mode.width;
    const int64_t height = mode.height;
    if (usable.w < width || usable.h < height) {
        if (usable.w * height <= usable.h * width) {
            return {usable.w, static_cast<int>(std::max<int64_t>(1, height * usable.w / width))};
        }
        return {static_cast<int>(std::max<int64_t>(1, width * usable.h / height)), usable.h};
    }
    const int64_t byWidth = (static_cast<int64_t>(usable.w) * 9 / 10) / width;
    const int64_t byHeight = (static_cast<int64_t>(usable.h) * 9 / 10) / height;
    const auto scale = static_cast<int>(std::clamp<int64_t>(std::min(byWidth, byHeight), 1, 8));
    return {mode.width * scale, mode.height * scale};
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

#ifdef _WIN32
#define DXLIBDLL_GLAPI __stdcall
#else
#define DXLIBDLL_GLAPI
#endif

// Whether the renderer draws with the processor after all: SDL's software
// renderer, or OpenGL on a rasteriser in software (Mesa's llvmpipe and its
// kin, as under Xvfb or without a GPU driver). There the renderer path costs
// several times the processor time and memory of writing the window's
// framebuffer directly (docs/performance.md, the running game under Xvfb).
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

#if defined(__linux__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__NetBSD__)
// Whether WAYLAND_DISPLAY names a compositor's socket, found as the Wayland
// library finds it (WAYLAND_DISPLAY as a path, or its name in
// XDG_RUNTIME_DIR); else false with what is wrong. Not asked, the library
// prints a complaint of its own when XDG_RUNTIME_DIR is missing.
bool WaylandReachable(std::string* problem) {
    const char* socket = SDL_getenv("WAYLAND_SOCKET");
    if (socket != nullptr && *socket != '\0') {
        return true;  // a connection handed down by whoever started us
    }
    const char* name = SDL_getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') {
        return false;
    }
    std::string path = name;
    if (name[0] != '/') {
        const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
        if (runtime == nullptr || runtime[0] != '/') {
            *problem = std::string("WAYLAND_DISPLAY is \"") + name +
                       "\" but XDG_RUNTIME_DIR, the folder its socket is in, is not set";
            return false;
        }
        path = std::string(runtime) + "/" + name;
    }
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) {
        *problem = "no Wayland compositor listens at \"" + path + "\" (WAYLAND_DISPLAY)";
        return false;
    }
    return true;
}

// Whether SDL_VIDEODRIVER names the Wayland driver and no other.
bool OnlyWayland(const char* list) {
    if (list == nullptr || *list == '\0') {
        return false;
    }
    for (const char* item = list; *item != '\0';) {
        const char* end = std::strchr(item, ',');
        const size_t length = end != nullptr ? static_cast<size_t>(end - item) : std::strlen(item);
        if (length != 7 || SDL_strncasecmp(item, "wayland", 7) != 0) {
            return false;
        }
        if (end == nullptr) {
            break;
        }
        item = end + 1;
    }
    return true;
}

// What keeps the Wayland library from finding its compositor's socket by
// name (WAYLAND_DISPLAY, "wayland-0" when unset), which it finds in
// XDG_RUNTIME_DIR; empty when nothing does.
std::string WaylandRuntimeDirMissing() {
    const char* socket = SDL_getenv("WAYLAND_SOCKET");
    if (socket != nullptr && *socket != '\0') {
        return {};
    }
    const char* name = SDL_getenv("WAYLAND_DISPLAY");
    if (name != nullptr && name[0] == '/') {
        return {};
    }
    const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return {};
    }
    return "XDG_RUNTIME_DIR, the folder the Wayland compositor's socket is in, is not set";
}
#endif

// Said when the process has run out of file descriptors: fewer are free than
// the display connection and what SDL opens beside it take (up to 4 with
// X11); empty otherwise. Counted when the start has failed, once SDL has
// closed what it had opened.
std::string DescriptorShortage() {
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
    return {};
#else
    constexpr int kNeeded = 4;
    int opened[kNeeded];
    int available = 0;
    int error = 0;
    for (; available < kNeeded; ++available) {
        opened[available] = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (opened[available] < 0) {
            error = errno;
            break;
        }
    }
    for (int i = 0; i < available; ++i) {
        close(opened[i]);
    }
    if (available == kNeeded) {
        return {};
    }
    if (error == ENFILE) {
        return "out of file descriptors (the system's table of open files is full)";
    }
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    return "out of file descriptors (" + std::to_string(available) + " left of the " +
           std::to_string(limit.rlim_cur) +
           " this process may have open; raise the limit with ulimit -n)";
#endif
}

bool OpenVideo(Window& window, const ScreenMode& mode, std::string* reason) {
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
        const bool haveX11 = x11 != nullptr && *x11 != '\0';
        std::string noWayland;
        const bool haveWayland = WaylandReachable(&noWayland);
        // Probing a backend that has nothing to connect to only gets the
        // system libraries' own complaints printed before ours.
        if (!haveX11 && !haveWayland) {
            *reason = "cannot start: no display (" +
                      (noWayland.empty() ? std::string("neither DISPLAY nor WAYLAND_DISPLAY is set")
                                         : "DISPLAY is not set, and " + noWayland) +
                      "); start the game from inside a desktop session";
            return false;
        }
        if (!haveWayland || !haveX11) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, haveX11 ? "x11" : "wayland");
        }
    } else if (OnlyWayland(requested)) {
        // Asked for by name, the Wayland library would print its own line
        // about XDG_RUNTIME_DIR before failing.
        const std::string missing = WaylandRuntimeDirMissing();
        if (!missing.empty()) {
            *reason =
                std::string("cannot start the video driver \"") + requested + "\": " + missing;
            return false;
        }
    }
#endif
    const int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
    if (requested == nullptr || *requested == '\0') {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    }
    if (started != 0) {
        const char* x11 = SDL_getenv("DISPLAY");
        // What SDL says ("x11 not available") hides that nobody answered.
        if (SDL_strcmp(SDL_GetError(), "x11 not available") == 0 && x11 != nullptr &&
            *x11 != '\0' && !XServerAnswers(x11)) {
            *reason = std::string("cannot start: no X server answers at DISPLAY=") + x11;
        } else if (requested == nullptr || *requested == '\0') {
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
    const SDL_Point size = FirstWindowSize(mode);
    window.window = SDL_CreateWindow(ProgramName().c_str(), SDL_WINDOWPOS_CENTERED,
                                     SDL_WINDOWPOS_CENTERED, size.x, size.y, kWindowFlags);
    if (window.window == nullptr) {
        *reason = std::string("cannot open the window: ") + SDL_GetError();
        StopVideo(window);
        return false;
    }
    SayWhichScreen(window.window);
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
        const std::string error = SDL_GetError();
        // A framebuffer SDL has no format for (10 bits a colour, depth 30):
        // a renderer may still draw there, in software if it must.
        if (window.renderer == nullptr) {
            window.renderer = SDL_CreateRenderer(window.window, -1, SDL_RENDERER_ACCELERATED);
            if (window.renderer != nullptr && MakeTexture(window, reason)) {
                SDL_SetRenderDrawColor(window.renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
                SDL_RenderClear(window.renderer);
                SDL_RenderPresent(window.renderer);
                return true;
            }
        }
        const int depth = WindowColourDepth(window.window);
        if (depth == 30) {
            *reason =
                "cannot draw in the window: the display's colour depth of 30 bits needs "
                "OpenGL, which could not be started (" +
                std::string(SDL_GetError()) + ")";
        } else if (depth != 0 && depth != 15 && depth != 16 && depth != 24 && depth != 32) {
            *reason = "cannot draw in the window: the display's colour depth of " +
                      std::to_string(depth) +
                      " bits is not supported; the game needs a display of 16 or 24 bits";
        } else {
            *reason = "cannot draw in the window: " + error;
        }
        StopVideo(window);
        return false;
    }
    SDL_FillRect(output, nullptr, 0);
    SDL_UpdateWindowSurface(window.window);
    return true;
}

}  // namespace

bool StartVideo(Window& window, const ScreenMode& mode, std::string* reason) {
    if (OpenVideo(window, mode, reason)) {
        return true;
    }
    // The display connection, or a library SDL loads for it, could not be
    // opened: what SDL says then ("x11 not available") hides the cause.
    const std::string shortage = DescriptorShortage();
    if (!shortage.empty()) {
        *reason = "cannot start: " + shortage;
    }
    return false;
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

void RebuildTexture(Window& window) {
    if (window.renderer == nullptr) {
        return;
    }
    std::string reason;
    if (!MakeTexture(window, &reason)) {
        window.texture = nullptr;
    }
}

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

bool SetVsync(Window& window, bool on) {
    if (window.renderer == nullptr) {
        return false;
    }
    return SDL_RenderSetVSync(window.renderer, on ? 1 : 0) == 0 && on;
}

}  // namespace dxsdl
