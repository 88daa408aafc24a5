#include "input.h"

#include <array>
#include <string>

#include "diagnostics.h"
#include "key_table.h"

namespace dxsdl {
namespace {

// Our own record of held keys, kept from the events we handle: SDL's keyboard
// state would miss events that reach the queue by other ways than the
// keyboard driver.
std::array<bool, SDL_NUM_SCANCODES> held{};
bool padsAvailable = false;
SDL_GameController* pad = nullptr;
SDL_JoystickID padId = -1;

void OpenFirstPad(SDL_JoystickID except) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (!SDL_IsGameController(i) || SDL_JoystickGetDeviceInstanceID(i) == except) {
            continue;
        }
        pad = SDL_GameControllerOpen(i);
        if (pad != nullptr) {
            padId = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
            return;
        }
    }
}

void ClosePad() {
    if (pad != nullptr) {
        SDL_GameControllerClose(pad);
    }
    pad = nullptr;
    padId = -1;
}

int32_t KeyboardBits() {
    int32_t bits = 0;
    if (held[SDL_SCANCODE_DOWN] || held[SDL_SCANCODE_KP_2]) {
        bits |= kPadDown;
    }
    if (held[SDL_SCANCODE_LEFT] || held[SDL_SCANCODE_KP_4]) {
        bits |= kPadLeft;
    }
    if (held[SDL_SCANCODE_RIGHT] || held[SDL_SCANCODE_KP_6]) {
        bits |= kPadRight;
    }
    if (held[SDL_SCANCODE_UP] || held[SDL_SCANCODE_KP_8]) {
        bits |= kPadUp;
    }
    return bits;
}

int32_t PadBits() {
    if (pad == nullptr) {
        return 0;
    }
    const auto button = [](SDL_GameControllerButton b) {
        return SDL_GameControllerGetButton(pad, b) != 0;
    };
    const int stickX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    const int stickY = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    int32_t bits = 0;
    if (button(SDL_CONTROLLER_BUTTON_DPAD_DOWN) || stickY > kStickDeadZone) {
        bits |= kPadDown;
    }
    if (button(SDL_CONTROLLER_BUTTON_DPAD_LEFT) || stickX < -kStickDeadZone) {
        bits |= kPadLeft;
    }
    if (button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT) || stickX > kStickDeadZone) {
        bits |= kPadRight;
    }
    if (button(SDL_CONTROLLER_BUTTON_DPAD_UP) || stickY < -kStickDeadZone) {
        bits |= kPadUp;
    }
    if (button(SDL_CONTROLLER_BUTTON_A)) {
        bits |= kPadButtonA;
    }
    if (button(SDL_CONTROLLER_BUTTON_B)) {
        bits |= kPadButtonB;
    }
    if (button(SDL_CONTROLLER_BUTTON_X)) {
        bits |= kPadButtonX;
    }
    if (button(SDL_CONTROLLER_BUTTON_Y)) {
        bits |= kPadButtonY;
    }
    return bits;
}

}  // namespace

void StartInput() {
    held.fill(false);
    padsAvailable = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!padsAvailable) {
        ReportLine(std::string("game pads are not available, the keyboard still works: ") +
                   SDL_GetError());
        return;
    }
    OpenFirstPad(-1);
}

void StopInput() {
    ClosePad();
    if (padsAvailable) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    padsAvailable = false;
    held.fill(false);
}

void HandleInputEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const SDL_Scancode code = event.key.keysym.scancode;
            if (code > SDL_SCANCODE_UNKNOWN && code < SDL_NUM_SCANCODES) {
                held[static_cast<size_t>(code)] = event.type == SDL_KEYDOWN;
            }
            break;
        }
        case SDL_CONTROLLERDEVICEADDED:
            // A pad plugged in while none is in use becomes pad 1.
            if (padsAvailable && pad == nullptr) {
                OpenFirstPad(-1);
            }
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (pad != nullptr && event.cdevice.which == padId) {
                const SDL_JoystickID gone = padId;
                ClosePad();
                OpenFirstPad(gone);  // the next pad still connected takes over
            }
            break;
        default:
            break;
    }
}

void ReleaseAllKeys() {
    held.fill(false);
}

int32_t KeyHeld(int32_t keyCode) {
    const SDL_Scancode code = ScancodeForKeyCode(keyCode);
    if (code == SDL_SCANCODE_UNKNOWN) {
        return 0;
    }
    return held[static_cast<size_t>(code)] ? 1 : 0;
}

int32_t JoypadBits(int32_t inputType) {
    int32_t bits = 0;
    if ((inputType & kInputKeyboard) != 0) {
        bits |= KeyboardBits();
    }
    if ((inputType & 0xFFF) == kInputPad1) {
        bits |= PadBits();
    }
    return bits;
}

SDL_GameController* OpenPad() {
    return pad;
}

}  // namespace dxsdl
