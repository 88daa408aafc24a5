// The twelve operations of dxlibdll.h: the library's life cycle, and each call
// handed to the file that does the work (see library.h for the map).
#include "library_view.h"

#include <SDL.h>

#include <memory>
#include <new>
#include <string>

#include "dxlibdll.h"

namespace dxsdl {
namespace {

constexpr int32_t kBackBufferScreen = -2;

// The library's state, all of it: what is chosen before start-up, and the
// running library, which exists from a successful dxDxLib_Init to dxDxLib_End.
Settings settings;
std::unique_ptr<Library> library;

std::string ExecutableDirectory() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return {};
    }
    std::string directory(base);
    SDL_free(base);
    return directory;
}

}  // namespace

void SetFrameStartHook(Hook hook) {
    settings.frameStartHook = hook;
}
void SetShutdownHook(Hook hook) {
    settings.shutdownHook = hook;
}
bool Started() {
    return library != nullptr;
}
SDL_Surface* BackBuffer() {
    return library ? library->backBuffer : nullptr;
}
SDL_Window* VideoWindow() {
    return library ? library->window.window : nullptr;
}
SDL_Renderer* VideoRenderer() {
    return library ? library->window.renderer : nullptr;
}
SDL_GameController* OpenPad() {
    return library ? library->input.pad : nullptr;
}
const Image* FindImage(int32_t handle) {
    return library ? FindImage(library->images, handle) : nullptr;
}
void ReportPendingLoadFailures() {
    if (library) {
        ReportLoadSummary(library->images);
    }
}
void ForgetAllImages() {
    if (library) {
        ForgetAllImages(library->images);
    }
}
void SetPacingEnabled(bool enabled) {
    settings.pacingEnabled = enabled;
    if (library) {
        library->pacer.enabled = enabled;
        ChoosePacingMethod(library->pacer, library->window);
    }
}
PacingMethod CurrentPacingMethod() {
    return library ? library->pacer.method : PacingMethod::Off;
}
PacingTuning& Tuning() {
    return settings.tuning;
}

}  // namespace dxsdl

using namespace dxsdl;

int32_t dxSetGraphMode(int32_t width, int32_t height, int32_t colorBitDepth, int32_t refreshRate) {
    if (library) {
        ReportLine("dxSetGraphMode: the screen mode is chosen before dxDxLib_Init");
        return -1;
    }
    if (!SupportedMode(width, height, colorBitDepth, refreshRate)) {
        ReportLine("dxSetGraphMode: unsupported mode " + std::to_string(width) + " x " +
                   std::to_string(height) + " x " + std::to_string(colorBitDepth) + " bits at " +
                   std::to_string(refreshRate) + " Hz");
        return -1;
    }
    // A refresh rate of 0 or less asks for the usual 60.
    settings.mode = ScreenMode{width, height, colorBitDepth, refreshRate > 0 ? refreshRate : 60};
    settings.clip = ClipRect{0, 0, width, height};
    return 0;
}

namespace {

// Closes what a start made, in any state a start may leave it in, and SDL.
void StopParts(Library& parts) {
    StopInput(parts.input);
    CloseRecordings(parts.recordings);
    SDL_FreeSurface(parts.backBuffer);
    parts.backBuffer = nullptr;
    StopVideo(parts.window);
    SDL_Quit();
}

// What happened to the window in the frame's events, answered.
void AnswerWindowEvents(Window& window, Pacer& pacer, const WindowEvents& happened) {
    if (happened.renderReset) {
        RebuildTexture(window);
    }
    for (int i = 0; i < happened.fullscreenToggles; ++i) {
        ToggleFullscreen(window);
        ChoosePacingMethod(pacer, window);
    }
    if (happened.displayChanged) {
        // The new display may run at another rate.
        ChoosePacingMethod(pacer, window);
    }
}

int32_t StartLibrary() {
    // Our caller has its own main; SDL need not have wrapped it.
    SDL_SetMainReady();
#ifndef _WIN32
    // Quit signals are ours to handle (signals.cpp): SDL's handlers could not
    // end a game whose display stopped answering. On Windows SDL keeps its own,
    // which turn Ctrl+C and a closed console into a quit request.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
#endif
    auto made = std::make_unique<Library>();
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        ReportLine(std::string("cannot start SDL: ") + SDL_GetError());
        return -1;
    }
    // Whatever the start made is undone when a later step fails, running out
    // of memory included; the files asked for are then left as they were.
    struct Undo {
        Library& made;
        bool keep = false;
        ~Undo() {
            if (!keep) {
                StopParts(made);
            }
        }
    } undo{*made};
    std::string reason;
    // The recording to replay is read through, and the files to write are
    // opened, first: a broken recording, or a file that must not be written,
    // fails the start before any window opens.
    const RecordingSwitches switches = SwitchesFromEnvironment();
    if (!OpenRecordings(made->recordings, switches, &reason) ||
        !StartVideo(made->window, settings.mode, &reason) ||
        (made->backBuffer = CreateBackBuffer(settings.mode, &reason)) == nullptr) {
        ReportLine(reason);
        return -1;
    }
    StartInput(made->input);
    made->images.executableDirectory = ExecutableDirectory();
    made->images.budgetBytes = ImageBudgetFromEnvironment();
    made->pacer.tuning = &settings.tuning;
    made->pacer.enabled = settings.pacingEnabled;
    made->pacer.unpacedSession = made->recordings.unpaced;
    StartPacing(made->pacer, made->window, settings.mode.refreshRate);
    // The files to write are emptied last, when nothing else can fail the
    // start: a start that fails leaves an earlier recording as it was.
    if (!TakeOverRecordings(made->recordings, &reason)) {
        ReportLine(reason);
        return -1;
    }
    undo.keep = true;
    library = std::move(made);
    return 0;
}

}  // namespace

int32_t dxDxLib_Init(void) {
    if (library) {
        return 0;
    }
    // First thing: a quit signal that comes while the library starts or the
    // game loads is answered at the first frame; if the start fails, it is
    // passed on.
    CatchQuitSignals();
    int32_t result = -1;
    try {
        result = StartLibrary();
    } catch (const std::bad_alloc&) {
        // What was made was undone as the start unwound.
        ReportLine("cannot start: not enough memory");
    }
    if (result != 0) {
        ReleaseQuitSignals();
    }
    return result;
}

int32_t dxDxLib_End(void) {
    if (!library) {
        return -1;
    }
    ReportLoadSummary(library->images);
    if (settings.shutdownHook != nullptr) {
        settings.shutdownHook();
    }
    StopParts(*library);
    library.reset();  // the images and everything else go with it
    settings.clip = ClipRect{0, 0, settings.mode.width, settings.mode.height};
    ReleaseQuitSignals();
    return 0;
}

int32_t dxSetDrawScreen(int32_t drawScreen) {
    return drawScreen == kBackBufferScreen ? 0 : -1;
}

int32_t dxSetDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    settings.clip = ClampClipRect(settings.mode, left, top, right, bottom);
    return 0;
}

int32_t dxLoadGraph(const char* fileName, int32_t /*flag*/) {
    // Loading is progress towards the first frame, not a game stuck.
    NoteProgress();
    if (!library) {
        try {
            ReportLine(std::string("dxLoadGraph: \"") +
                       (fileName != nullptr ? fileName : "(null)") +
                       "\": the library is not started");
        } catch (const std::bad_alloc&) {
            ReportLine("dxLoadGraph: the library is not started");
        }
        return -1;
    }
    // Running out of memory is one more failed load, counted as the others.
    return LoadImage(library->images, fileName, PixelFormatForBits(settings.mode.bits));
}

int32_t dxDrawGraph(int32_t x, int32_t y, int32_t handle, int32_t transFlag) {
    const Image* image = FindImage(handle);
    if (image == nullptr) {
        return -1;
    }
    DrawImage(*image, library->backBuffer, settings.clip, x, y, transFlag != 0);
    return 0;
}

int32_t dxClearDrawScreen(void) {
    if (!library) {
        return -1;
    }
    ClearBackBuffer(library->backBuffer);
    return 0;
}

int32_t dxScreenFlip(void) {
    if (!library) {
        return -1;
    }
    // What the loads before this frame left unsaid, said once.
    ReportLoadSummary(library->images);
    DigestFrame(library->recordings, library->backBuffer);
    PresentFrame(library->window, library->backBuffer, library->pacer);
    return 0;
}

int32_t dxProcessMessage(void) {
    if (!library) {
        return -1;
    }
    if (settings.frameStartHook != nullptr) {
        settings.frameStartHook();
    }
    if (AnswerQuitSignal()) {
        RequestQuit(library->input);
    }
    WindowEvents happened;
    library->frame = ReadInput(library->input, &happened);
    AnswerWindowEvents(library->window, library->pacer, happened);
    TakeFrameInput(library->recordings, library->frame);
    return library->frame.quit ? -1 : 0;
}

int32_t dxCheckHitKey(int32_t keyCode) {
    return library ? KeyHeld(library->frame, keyCode) : 0;
}

int32_t dxGetJoypadInputState(int32_t inputType) {
    return library ? JoypadBits(library->frame, inputType) : 0;
}
