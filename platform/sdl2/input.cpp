// Input: the frame's events read in one place (keys, game pads, quit
// requests), made into the frame's input, the one value dxCheckHitKey and
// dxGetJoypadInputState read; and what happened to the window, handed on.
#include "input.h"

#include <array>
#include <string>

#include "messages.h"

namespace dxsdl {

namespace {

using Table = std::array<SDL_Scancode, 256>;

constexpr Table MakeTable() {
    Table t{};  // SDL_SCANCODE_UNKNOWN is 0
    t[0x01] = SDL_SCANCODE_ESCAPE;
    // Top row digits 1..9, 0.
    t[0x02] = SDL_SCANCODE_1;
    t[0x03] = SDL_SCANCODE_2;
    t[0x04] = SDL_SCANCODE_3;
    t[0x05] = SDL_SCANCODE_4;
    t[0x06] = SDL_SCANCODE_5;
    t[0x07] = SDL_SCANCODE_6;
    t[0x08] = SDL_SCANCODE_7;
    t[0x09] = SDL_SCANCODE_8;
    t[0x0A] = SDL_SCANCODE_9;
    t[0x0B] = SDL_SCANCODE_0;
    t[0x0C] = SDL_SCANCODE_MINUS;
    t[0x0D] = SDL_SCANCODE_EQUALS;
    t[0x0E] = SDL_SCANCODE_BACKSPACE;
    t[0x0F] = SDL_SCANCODE_TAB;
    t[0x10] = SDL_SCANCODE_Q;
    t[0x11] = SDL_SCANCODE_W;
    t[0x12] = SDL_SCANCODE_E;
    t[0x13] = SDL_SCANCODE_R;
    t[0x14] = SDL_SCANCODE_T;
    t[0x15] = SDL_SCANCODE_Y;
    t[0x16] = SDL_SCANCODE_U;
    t[0x17] = SDL_SCANCODE_I;
    t[0x18] = SDL_SCANCODE_O;
    t[0x19] = SDL_SCANCODE_P;
    t[0x1A] = SDL_SCANCODE_LEFTBRACKET;
    t[0x1B] = SDL_SCANCODE_RIGHTBRACKET;
    t[0x1C] = SDL_SCANCODE_RETURN;
    t[0x1D] = SDL_SCANCODE_LCTRL;
    t[0x1E] = SDL_SCANCODE_A;
    t[0x1F] = SDL_SCANCODE_S;
    t[0x20] = SDL_SCANCODE_D;
    t[0x21] = SDL_SCANCODE_F;
    t[0x22] = SDL_SCANCODE_G;
    t[0x23] = SDL_SCANCODE_H;
    t[0x24] = SDL_SCANCODE_J;
    t[0x25] = SDL_SCANCODE_K;
    t[0x26] = SDL_SCANCODE_L;
    t[0x27] = SDL_SCANCODE_SEMICOLON;
    t[0x28] = SDL_SCANCODE_APOSTROPHE;
    t[0x29] = SDL_SCANCODE_GRAVE;
    t[0x2A] = SDL_SCANCODE_LSHIFT;
    t[0x2B] = SDL_SCANCODE_BACKSLASH;
    t[0x2C] = SDL_SCANCODE_Z;
    t[0x2D] = SDL_SCANCODE_X;
    t[0x2E] = SDL_SCANCODE_C;
    t[0x2F] = SDL_SCANCODE_V;
    t[0x30] = SDL_SCANCODE_B;
    t[0x31] = SDL_SCANCODE_N;
    t[0x32] = SDL_SCANCODE_M;
    t[0x33] = SDL_SCANCODE_COMMA;
    t[0x34] = SDL_SCANCODE_PERIOD;
    t[0x35] = SDL_SCANCODE_SLASH;
    t[0x36] = SDL_SCANCODE_RSHIFT;
    t[0x37] = SDL_SCANCODE_KP_MULTIPLY;
    t[0x38] = SDL_SCANCODE_LALT;
    t[0x39] = SDL_SCANCODE_SPACE;
    t[0x3A] = SDL_SCANCODE_CAPSLOCK;
    t[0x3B] = SDL_SCANCODE_F1;
    t[0x3C] = SDL_SCANCODE_F2;
    t[0x3D] = SDL_SCANCODE_F3;
    t[0x3E] = SDL_SCANCODE_F4;
    t[0x3F] = SDL_SCANCODE_F5;
    t[0x40] = SDL_SCANCODE_F6;
    t[0x41] = SDL_SCANCODE_F7;
    t[0x42] = SDL_SCANCODE_F8;
    t[0x43] = SDL_SCANCODE_F9;
    t[0x44] = SDL_SCANCODE_F10;
    t[0x45] = SDL_SCANCODE_NUMLOCKCLEAR;
    t[0x46] = SDL_SCANCODE_SCROLLLOCK;
    // Numeric keypad.
    t[0x47] = SDL_SCANCODE_KP_7;
    t[0x48] = SDL_SCANCODE_KP_8;
    t[0x49] = SDL_SCANCODE_KP_9;
    t[0x4A] = SDL_SCANCODE_KP_MINUS;
    t[0x4B] = SDL_SCANCODE_KP_4;
    t[0x4C] = SDL_SCANCODE_KP_5;
    t[0x4D] = SDL_SCANCODE_KP_6;
    t[0x4E] = SDL_SCANCODE_KP_PLUS;
    t[0x4F] = SDL_SCANCODE_KP_1;
    t[0x50] = SDL_SCANCODE_KP_2;
    t[0x51] = SDL_SCANCODE_KP_3;
    t[0x52] = SDL_SCANCODE_KP_0;
    t[0x53] = SDL_SCANCODE_KP_PERIOD;
    t[0x56] = SDL_SCANCODE_NONUSBACKSLASH;
    t[0x57] = SDL_SCANCODE_F11;
    t[0x58] = SDL_SCANCODE_F12;
    // Keys that came later carry 0x80 or more (an 0xE0 prefix on the wire).
    t[0x9C] = SDL_SCANCODE_KP_ENTER;
    t[0x9D] = SDL_SCANCODE_RCTRL;
    t[0xB5] = SDL_SCANCODE_KP_DIVIDE;
    t[0xB7] = SDL_SCANCODE_PRINTSCREEN;
    t[0xB8] = SDL_SCANCODE_RALT;
    t[0xC5] = SDL_SCANCODE_PAUSE;
    t[0xC7] = SDL_SCANCODE_HOME;
    t[0xC8] = SDL_SCANCODE_UP;
    t[0xC9] = SDL_SCANCODE_PAGEUP;
    t[0xCB] = SDL_SCANCODE_LEFT;
    t[0xCD] = SDL_SCANCODE_RIGHT;
    t[0xCF] = SDL_SCANCODE_END;
    t[0xD0] = SDL_SCANCODE_DOWN;
    t[0xD1] = SDL_SCANCODE_PAGEDOWN;
    t[0xD2] = SDL_SCANCODE_INSERT;
    t[0xD3] = SDL_SCANCODE_DELETE;
    t[0xDB] = SDL_SCANCODE_LGUI;
    t[0xDC] = SDL_SCANCODE_RGUI;
    t[0xDD] = SDL_SCANCODE_APPLICATION;
    return t;
}

constexpr Table kTable = MakeTable();

}  // namespace

SDL_Scancode ScancodeForKeyCode(int32_t keyCode) {
    if (keyCode < 0 || keyCode >= static_cast<int32_t>(kTable.size())) {
        return SDL_SCANCODE_UNKNOWN;
    }
    return kTable[static_cast<size_t>(keyCode)];
}

namespace {

void OpenFirstPad(Input& input, SDL_JoystickID except) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (!SDL_IsGameController(i) || SDL_JoystickGetDeviceInstanceID(i) == except) {
            continue;
        }
        input.pad = SDL_GameControllerOpen(i);
        if (input.pad != nullptr) {
            input.padId = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(input.pad));
            return;
        }
    }
}

void ClosePad(Input& input) {
    if (input.pad != nullptr) {
        SDL_GameControllerClose(input.pad);
    }
    input.pad = nullptr;
    input.padId = -1;
}

// W A S D steer as the arrows do. Scancodes name a key's place on the
// keyboard, not its letter, so on a French keyboard the same four keys are
// Z Q S D.
int32_t KeyboardBits(const FrameInput& frame) {
    const auto held = [&frame](SDL_Scancode a, SDL_Scancode b, SDL_Scancode c) {
        return frame.held[a] || frame.held[b] || frame.held[c];
    };
    int32_t bits = 0;
    if (held(SDL_SCANCODE_DOWN, SDL_SCANCODE_KP_2, SDL_SCANCODE_S)) {
        bits |= kPadDown;
    }
    if (held(SDL_SCANCODE_LEFT, SDL_SCANCODE_KP_4, SDL_SCANCODE_A)) {
        bits |= kPadLeft;
    }
    if (held(SDL_SCANCODE_RIGHT, SDL_SCANCODE_KP_6, SDL_SCANCODE_D)) {
        bits |= kPadRight;
    }
    if (held(SDL_SCANCODE_UP, SDL_SCANCODE_KP_8, SDL_SCANCODE_W)) {
        bits |= kPadUp;
    }
    return bits;
}

int32_t PadBits(const Input& input) {
    if (input.pad == nullptr) {
        return 0;
    }
    const auto button = [&input](SDL_GameControllerButton b) {
        return SDL_GameControllerGetButton(input.pad, b) != 0;
    };
    const int stickX = SDL_GameControllerGetAxis(input.pad, SDL_CONTROLLER_AXIS_LEFTX);
    const int stickY = SDL_GameControllerGetAxis(input.pad, SDL_CONTROLLER_AXIS_LEFTY);
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

// Back and Start of pad 1 held together: the player asks to quit, as closing
// the window does, so that a player with only a pad in hand (a handheld, a
// couch by the TV) can leave. Pads name the two Select/View and Start/Menu;
// the browser's standard mapping has them as buttons 8 and 9, which SDL's
// mapping for the page gives the same names. Either one alone is an ordinary
// button, pressed by chance or meant as a pause, and never ends the game.
bool PadAsksToQuit(SDL_GameController* pad) {
    return pad != nullptr && SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_BACK) != 0 &&
           SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_START) != 0;
}

void HandleInputEvent(Input& input, const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const SDL_Scancode code = event.key.keysym.scancode;
            if (code > SDL_SCANCODE_UNKNOWN && code < SDL_NUM_SCANCODES) {
                const auto key = static_cast<size_t>(code);
                const bool down = event.type == SDL_KEYDOWN;
                input.down[key] = down;
                input.pressed[key] = input.pressed[key] || down;
                input.held[key] = input.pressed[key];
            }
            break;
        }
        case SDL_CONTROLLERDEVICEADDED:
            // A pad plugged in while none is in use becomes pad 1.
            if (input.padsAvailable && input.pad == nullptr) {
                OpenFirstPad(input, -1);
            }
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (input.pad != nullptr && event.cdevice.which == input.padId) {
                const SDL_JoystickID gone = input.padId;
                ClosePad(input);
                OpenFirstPad(input, gone);  // the next pad still connected takes over
            }
            break;
        default:
            break;
    }
}

void HandleWindowEvent(Input& input, WindowEvents* window, const SDL_WindowEvent& event) {
    switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            input.quitRequested = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // Keys released elsewhere would never be seen released; a press
            // this frame still counts.
            input.down.fill(false);
            input.held = input.pressed;
            break;
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            // The new display may run at another rate.
            window->displayChanged = true;
            break;
        default:
            break;
    }
}

void HandleEvent(Input& input, WindowEvents* window, const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            input.quitRequested = true;
            break;
        case SDL_WINDOWEVENT:
            HandleWindowEvent(input, window, event.window);
            break;
        case SDL_KEYDOWN:
            if (event.key.repeat == 0 && event.key.keysym.scancode == SDL_SCANCODE_RETURN &&
                (event.key.keysym.mod & KMOD_ALT) != 0) {
                ++window->fullscreenToggles;
            }
            HandleInputEvent(input, event);
            break;
        case SDL_RENDER_DEVICE_RESET:
            window->renderReset = true;
            break;
        default:
            HandleInputEvent(input, event);
            break;
    }
}

}  // namespace

// What a web page's own controls add to the frame, and what the page's pads
// need first and last (at the end of this file).
void TakePageControls(Input& input, FrameInput& frame);
void PreparePagePads();
void ForgetPagePads();

void StartInput(Input& input) {
    input.held.fill(false);
    input.down.fill(false);
    input.pressed.fill(false);
    PreparePagePads();
    input.padsAvailable = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!input.padsAvailable) {
        ReportLine(std::string("game pads are not available, the keyboard still works: ") +
                   SDL_GetError());
        return;
    }
    OpenFirstPad(input, -1);
}

void StopInput(Input& input) {
    ClosePad(input);
    if (input.padsAvailable) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    ForgetPagePads();
    input.padsAvailable = false;
    input.held.fill(false);
    input.down.fill(false);
    input.pressed.fill(false);
}

FrameInput ReadInput(Input& input, WindowEvents* window) {
    // A new frame: the last one's taps have been seen.
    input.held = input.down;
    input.pressed.fill(false);
    *window = WindowEvents{};
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        HandleEvent(input, window, event);
    }
    FrameInput frame;
    frame.held = input.held;
    frame.padBits = PadBits(input);
    TakePageControls(input, frame);
    // The pad's request stands as the window's close does: a recording keeps
    // it on this frame, and it ends a recording being played, as the player's
    // own request and not one of its frames.
    if (PadAsksToQuit(input.pad)) {
        input.quitRequested = true;
    }
    frame.quit = input.quitRequested;
    return frame;
}

void RequestQuit(Input& input) {
    input.quitRequested = true;
}

int32_t KeyHeld(const FrameInput& frame, int32_t keyCode) {
    const SDL_Scancode code = ScancodeForKeyCode(keyCode);
    if (code == SDL_SCANCODE_UNKNOWN) {
        return 0;
    }
    return frame.held[static_cast<size_t>(code)] ? 1 : 0;
}

int32_t JoypadBits(const FrameInput& frame, int32_t inputType) {
    int32_t bits = 0;
    if ((inputType & kInputKeyboard) != 0) {
        bits |= KeyboardBits(frame);
    }
    if ((inputType & 0xFFF) == kInputPad1) {
        bits |= frame.padBits;
    }
    return bits;
}

}  // namespace dxsdl

// A web page's own controls, kept outside the library's record as
// the page calls into them between frames, whether or not the library runs.
#ifdef __EMSCRIPTEN__
#include <emscripten.h>

namespace {

// What the page's controls hold, as the page last set them: its touch pad's
// direction bits, the directions touched since the last frame (so a touch
// shorter than a frame still steers for one), and a tap on its quit button
// that no frame has seen yet. Taken once per frame, with the events.
int32_t pageTouchBits = 0;
int32_t pageTouchesSinceFrame = 0;
bool pageQuitRequested = false;

// SDL's joystick driver for the page keeps the state a pad has when the
// browser announces it, and reports only later changes from it. A browser
// shows a page no pad until a button is pressed on it, so the press that
// brought the pad in, held, would never count. Announced at rest instead,
// that press is the first change SDL sees, and steers from the next frame.
// Added before SDL starts its pads, this listener comes before SDL's own:
// the browser's event goes no further, and one just like it but with the pad
// at rest goes to the listeners after it in its place (an event's own
// gamepad may not be replaced). Each game adds its own and removes it as it
// stops (or the next game does, after one that never stopped): a listener
// left on the window would keep the whole of its game's program alive.
// clang-format off
EM_JS(void, AnnouncePadsAtRest, (), {
    if (typeof window === "undefined") {
        return;
    }
    if (window.dxsdlPadsAtRest) {
        window.removeEventListener("gamepadconnected", window.dxsdlPadsAtRest, true);
    }
    window.dxsdlPadsAtRest = (event) => {
        const pad = event.gamepad;
        if (!pad || event.dxsdlAtRest) {
            return;
        }
        event.stopImmediatePropagation();
        const atRest = new Event("gamepadconnected");
        Object.defineProperty(atRest, "gamepad", { value: {
            id: pad.id, index: pad.index, mapping: pad.mapping, connected: true, timestamp: 0,
            axes: Array.from(pad.axes, () => 0),
            buttons: Array.from(pad.buttons, () => ({ pressed: false, touched: false, value: 0 })),
        } });
        atRest.dxsdlAtRest = true;
        window.dispatchEvent(atRest);
    };
    window.addEventListener("gamepadconnected", window.dxsdlPadsAtRest, true);
});

EM_JS(void, StopAnnouncingPadsAtRest, (), {
    if (typeof window !== "undefined" && window.dxsdlPadsAtRest) {
        window.removeEventListener("gamepadconnected", window.dxsdlPadsAtRest, true);
        window.dxsdlPadsAtRest = null;
    }
});
// clang-format on

}  // namespace

namespace dxsdl {
void PreparePagePads() {
    AnnouncePadsAtRest();
}

void ForgetPagePads() {
    StopAnnouncingPadsAtRest();
}

void TakePageControls(Input& input, FrameInput& frame) {
    frame.padBits |= pageTouchBits | pageTouchesSinceFrame;
    pageTouchesSinceFrame = 0;
    if (pageQuitRequested) {
        pageQuitRequested = false;
        input.quitRequested = true;
    }
}
}  // namespace dxsdl

// The page's touch pad: which directions its fingers hold now (each 0 or 1),
// set by the page at every change, so that pad 1's bits are known here alone.
// They join pad 1's bits from the next frame on, each direction for one frame
// at least, so a recording holds them as pad bits; a replay's pad bits
// replace them.
extern "C" EMSCRIPTEN_KEEPALIVE void dxsdlSetTouchPad(int32_t up, int32_t down, int32_t left,
                                                      int32_t right) {
    pageTouchBits = (up != 0 ? dxsdl::kPadUp : 0) | (down != 0 ? dxsdl::kPadDown : 0) |
                    (left != 0 ? dxsdl::kPadLeft : 0) | (right != 0 ? dxsdl::kPadRight : 0);
    pageTouchesSinceFrame |= pageTouchBits;
}

// The page's quit button: a quit request, as closing the window makes one.
// It stands until the next frame takes it, however short the tap.
extern "C" EMSCRIPTEN_KEEPALIVE void dxsdlRequestQuit() {
    pageQuitRequested = true;
}
#else
namespace dxsdl {
void PreparePagePads() {}
void ForgetPagePads() {}
void TakePageControls(Input&, FrameInput&) {}
}  // namespace dxsdl
#endif
