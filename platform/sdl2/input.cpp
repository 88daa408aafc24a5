// Window events, the keyboard and the first game pad.
#include <csignal>

#include "key_codes.h"
#include "library_state.h"

namespace {

// Ctrl-C or SIGTERM in the terminal: a quit request like closing the window.
volatile std::sig_atomic_t terminalQuit = 0;

extern "C" void OnQuitSignal(int) {
    terminalQuit = 1;
}

constexpr int32_t kDown = 1;
constexpr int32_t kLeft = 2;
constexpr int32_t kRight = 4;
constexpr int32_t kUp = 8;
constexpr Sint16 kDeadZone = 8192;  // about a quarter of the stick's travel

void ToggleFullscreen() {
    LibraryState& lib = Library();
    const bool fullscreen = (SDL_GetWindowFlags(lib.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    // Leaving fullscreen gives the window back the size it had.
    SDL_SetWindowFullscreen(lib.window, fullscreen ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

}  // namespace

void CatchQuitSignals() {
    terminalQuit = 0;
    std::signal(SIGINT, OnQuitSignal);
    std::signal(SIGTERM, OnQuitSignal);
}

void OpenFirstPad() {
    LibraryState& lib = Library();
    for (int i = 0; lib.pad == nullptr && i < SDL_NumJoysticks(); ++i) {
        if (SDL_IsGameController(i)) {
            lib.pad = SDL_GameControllerOpen(i);
        }
    }
}

void HandleEvents() {
    LibraryState& lib = Library();
    SDL_Event event;
    if (terminalQuit != 0) {
        lib.quitRequested = true;
    }
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_QUIT:
                lib.quitRequested = true;
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                    lib.quitRequested = true;
                }
                break;
            case SDL_KEYDOWN:
                if (event.key.keysym.scancode == SDL_SCANCODE_RETURN &&
                    (event.key.keysym.mod & KMOD_ALT) != 0 && event.key.repeat == 0) {
                    ToggleFullscreen();
                }
                break;
            case SDL_CONTROLLERDEVICEADDED:
                OpenFirstPad();
                break;
            case SDL_CONTROLLERDEVICEREMOVED:
                if (lib.pad != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(
                                              lib.pad)) == event.cdevice.which) {
                    SDL_GameControllerClose(lib.pad);
                    lib.pad = nullptr;
                    OpenFirstPad();
                }
                break;
            default:
                break;
        }
    }
}

int32_t KeyHeld(int32_t keyCode) {
    const SDL_Scancode scancode = ScancodeForKeyCode(keyCode);
    if (scancode == SDL_SCANCODE_UNKNOWN) {
        return 0;
    }
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    return keys[scancode] != 0 ? 1 : 0;
}

int32_t KeyboardBits() {
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    int32_t bits = 0;
    if (keys[SDL_SCANCODE_DOWN] || keys[SDL_SCANCODE_KP_2])
        bits |= kDown;
    if (keys[SDL_SCANCODE_LEFT] || keys[SDL_SCANCODE_KP_4])
        bits |= kLeft;
    if (keys[SDL_SCANCODE_RIGHT] || keys[SDL_SCANCODE_KP_6])
        bits |= kRight;
    if (keys[SDL_SCANCODE_UP] || keys[SDL_SCANCODE_KP_8])
        bits |= kUp;
    return bits;
}

int32_t PadBits() {
    SDL_GameController* pad = Library().pad;
    if (pad == nullptr) {
        return 0;
    }
    const Sint16 x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    const Sint16 y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    int32_t bits = 0;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN) || y > kDeadZone)
        bits |= kDown;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT) || x < -kDeadZone)
        bits |= kLeft;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) || x > kDeadZone)
        bits |= kRight;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP) || y < -kDeadZone)
        bits |= kUp;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_A))
        bits |= 16;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_B))
        bits |= 32;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_X))
        bits |= 64;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_Y))
        bits |= 128;
    return bits;
}
