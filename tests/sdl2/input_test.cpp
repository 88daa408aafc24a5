// Keyboard and game pad, through events put in SDL's queue and virtual pads:
// key codes, direction bits, hot-plugging, quit requests, Alt+Enter.
#include <csignal>
#include <memory>

#include "library_fixture.h"
#include "library_view.h"
#include "test_keys.h"

namespace dxtest {
namespace {

constexpr int32_t kKeyboard = 0x1000;
constexpr int32_t kPad1 = 1;
constexpr int32_t kBoth = 4097;

using testkeys::PushKey;

void PushWindowEvent(SDL_WindowEventID what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    event.window.windowID = SDL_GetWindowID(dxsdl::VideoWindow());
    ASSERT_EQ(1, SDL_PushEvent(&event));
}

// The codes of the keys held, among 0..255.
std::vector<int32_t> HeldCodes() {
    std::vector<int32_t> held;
    for (int32_t code = 0; code < 256; ++code) {
        if (dxCheckHitKey(code) == 1) {
            held.push_back(code);
        } else {
            EXPECT_EQ(0, dxCheckHitKey(code));
        }
    }
    return held;
}

using InputTest = LibraryTest;

struct KeyCase {
    int32_t code;
    SDL_Scancode scancode;
};

TEST_F(InputTest, EachKeyCodeNamesItsKey) {
    const KeyCase cases[] = {
        {0x01, SDL_SCANCODE_ESCAPE},    {0x02, SDL_SCANCODE_1},      {0x0B, SDL_SCANCODE_0},
        {0x0E, SDL_SCANCODE_BACKSPACE}, {0x0F, SDL_SCANCODE_TAB},    {0x10, SDL_SCANCODE_Q},
        {0x19, SDL_SCANCODE_P},         {0x1C, SDL_SCANCODE_RETURN}, {0x1D, SDL_SCANCODE_LCTRL},
        {0x1E, SDL_SCANCODE_A},         {0x26, SDL_SCANCODE_L},      {0x2A, SDL_SCANCODE_LSHIFT},
        {0x2C, SDL_SCANCODE_Z},         {0x32, SDL_SCANCODE_M},      {0x36, SDL_SCANCODE_RSHIFT},
        {0x38, SDL_SCANCODE_LALT},      {0x39, SDL_SCANCODE_SPACE},  {0x3B, SDL_SCANCODE_F1},
        {0x44, SDL_SCANCODE_F10},       {0x57, SDL_SCANCODE_F11},    {0x58, SDL_SCANCODE_F12},
        {0x48, SDL_SCANCODE_KP_8},      {0x50, SDL_SCANCODE_KP_2},   {0x52, SDL_SCANCODE_KP_0},
        {0x9C, SDL_SCANCODE_KP_ENTER},  {0x9D, SDL_SCANCODE_RCTRL},  {0xB8, SDL_SCANCODE_RALT},
        {0xC8, SDL_SCANCODE_UP},        {0xD0, SDL_SCANCODE_DOWN},   {0xCB, SDL_SCANCODE_LEFT},
        {0xCD, SDL_SCANCODE_RIGHT},     {0xC7, SDL_SCANCODE_HOME},   {0xD3, SDL_SCANCODE_DELETE},
    };
    for (const KeyCase& key : cases) {
        PushKey(key.scancode, true);
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(std::vector<int32_t>{key.code}, HeldCodes()) << "code " << key.code;
        PushKey(key.scancode, false);
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(std::vector<int32_t>{}, HeldCodes()) << "code " << key.code;
    }
}

TEST_F(InputTest, KeyStaysHeldAcrossFramesUntilReleased) {
    PushKey(SDL_SCANCODE_ESCAPE, true);
    ASSERT_EQ(0, dxProcessMessage());
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(1, dxCheckHitKey(1));
    }
    PushKey(SDL_SCANCODE_ESCAPE, false);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(0, dxCheckHitKey(1));
}

// A key pressed and released between two frames, a tap of a few
// milliseconds, is seen held by the next frame and by that one only; one
// tapped while held down again stays held.
TEST_F(InputTest, AKeyTappedBetweenTwoFramesIsSeenByTheNextFrame) {
    PushKey(SDL_SCANCODE_ESCAPE, true);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    PushKey(SDL_SCANCODE_LEFT, true);
    PushKey(SDL_SCANCODE_LEFT, false);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ((std::vector<int32_t>{0x01, 0xCB}), HeldCodes());
    EXPECT_EQ(2, dxGetJoypadInputState(kBoth));
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(std::vector<int32_t>{}, HeldCodes());
    EXPECT_EQ(0, dxGetJoypadInputState(kBoth));

    PushKey(SDL_SCANCODE_RIGHT, true);
    ASSERT_EQ(0, dxProcessMessage());
    PushKey(SDL_SCANCODE_RIGHT, false);
    PushKey(SDL_SCANCODE_RIGHT, true);
    ASSERT_EQ(0, dxProcessMessage());
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(std::vector<int32_t>{0xCD}, HeldCodes());
}

TEST_F(InputTest, CodesOutsideTheTableAreNeverHeld) {
    PushKey(SDL_SCANCODE_ESCAPE, true);
    ASSERT_EQ(0, dxProcessMessage());
    for (int32_t code : {-1, 0, 256, 257, 0x101, 100000, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(0, dxCheckHitKey(code)) << code;
    }
}

TEST_F(InputTest, KeysCountAsReleasedWhenTheWindowLosesTheKeyboard) {
    PushKey(SDL_SCANCODE_RIGHT, true);
    ASSERT_EQ(0, dxProcessMessage());
    ASSERT_EQ(1, dxCheckHitKey(0xCD));
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(0, dxCheckHitKey(0xCD));
    EXPECT_EQ(0, dxGetJoypadInputState(kBoth));
}

// W A S D by their places on the keyboard (scancodes): Z Q S D on a French one.
TEST_F(InputTest, ArrowsKeypadAndWasdGiveDirectionBits) {
    const struct {
        SDL_Scancode key;
        int32_t bit;
    } cases[] = {{SDL_SCANCODE_DOWN, 1}, {SDL_SCANCODE_LEFT, 2}, {SDL_SCANCODE_RIGHT, 4},
                 {SDL_SCANCODE_UP, 8},   {SDL_SCANCODE_KP_2, 1}, {SDL_SCANCODE_KP_4, 2},
                 {SDL_SCANCODE_KP_6, 4}, {SDL_SCANCODE_KP_8, 8}, {SDL_SCANCODE_S, 1},
                 {SDL_SCANCODE_A, 2},    {SDL_SCANCODE_D, 4},    {SDL_SCANCODE_W, 8}};
    for (const auto& c : cases) {
        PushKey(c.key, true);
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(c.bit, dxGetJoypadInputState(kKeyboard)) << c.key;
        EXPECT_EQ(c.bit, dxGetJoypadInputState(kBoth)) << c.key;
        EXPECT_EQ(0, dxGetJoypadInputState(kPad1)) << "the keyboard is not pad 1";
        PushKey(c.key, false);
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(0, dxGetJoypadInputState(kBoth));
    }
}

TEST_F(InputTest, OppositeDirectionsHeldTogetherGiveBothBits) {
    PushKey(SDL_SCANCODE_LEFT, true);
    PushKey(SDL_SCANCODE_RIGHT, true);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(2 | 4, dxGetJoypadInputState(kBoth));
    PushKey(SDL_SCANCODE_UP, true);
    PushKey(SDL_SCANCODE_DOWN, true);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(15, dxGetJoypadInputState(kBoth));
    // The other keys do not move.
    PushKey(SDL_SCANCODE_LEFT, false);
    PushKey(SDL_SCANCODE_RIGHT, false);
    PushKey(SDL_SCANCODE_UP, false);
    PushKey(SDL_SCANCODE_DOWN, false);
    PushKey(SDL_SCANCODE_E, true);
    PushKey(SDL_SCANCODE_KP_5, true);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(0, dxGetJoypadInputState(kBoth));
}

// A virtual game pad, as SDL presents one plugged in.
class VirtualPad {
  public:
    VirtualPad() {
        // The test's window never has the keyboard focus, and SDL ignores
        // pads while no window of the program has it.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                           SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
        if (index_ >= 0) {
            joystick_ = SDL_JoystickOpen(index_);
        }
    }
    ~VirtualPad() { Unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool Plugged() const { return joystick_ != nullptr; }
    SDL_JoystickID Id() const { return SDL_JoystickInstanceID(joystick_); }

    void Press(SDL_GameControllerButton button, bool down) {
        ASSERT_EQ(0, SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0));
    }
    void Tilt(SDL_GameControllerAxis axis, Sint16 value) {
        ASSERT_EQ(0, SDL_JoystickSetVirtualAxis(joystick_, axis, value));
    }
    void Unplug() {
        if (joystick_ == nullptr) {
            return;
        }
        const SDL_JoystickID id = Id();
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    }

  private:
    int index_ = -1;
    SDL_Joystick* joystick_ = nullptr;
};

SDL_JoystickID OpenPadId() {
    SDL_GameController* pad = dxsdl::OpenPad();
    return pad == nullptr ? -1 : SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
}

TEST_F(InputTest, PadDirectionsSticksAndButtonsGiveTheirBits) {
    VirtualPad pad;
    ASSERT_TRUE(pad.Plugged()) << SDL_GetError();
    ASSERT_EQ(0, dxProcessMessage());
    ASSERT_EQ(pad.Id(), OpenPadId());
    EXPECT_EQ(0, dxGetJoypadInputState(kPad1));

    const struct {
        SDL_GameControllerButton button;
        int32_t bit;
    } buttons[] = {{SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1},  {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 2},
                   {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 4}, {SDL_CONTROLLER_BUTTON_DPAD_UP, 8},
                   {SDL_CONTROLLER_BUTTON_A, 16},         {SDL_CONTROLLER_BUTTON_B, 32},
                   {SDL_CONTROLLER_BUTTON_X, 64},         {SDL_CONTROLLER_BUTTON_Y, 128}};
    for (const auto& b : buttons) {
        pad.Press(b.button, true);
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(b.bit, dxGetJoypadInputState(kPad1)) << b.button;
        EXPECT_EQ(b.bit, dxGetJoypadInputState(kBoth)) << b.button;
        EXPECT_EQ(0, dxGetJoypadInputState(kKeyboard)) << "the pad is not the keyboard";
        EXPECT_EQ(0, dxGetJoypadInputState(2)) << "there is no pad 2";
        pad.Press(b.button, false);
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(0, dxGetJoypadInputState(kPad1));
    }

    // The stick counts past a quarter of its travel, not at it.
    const struct {
        SDL_GameControllerAxis axis;
        Sint16 value;
        int32_t bits;
    } tilts[] = {{SDL_CONTROLLER_AXIS_LEFTX, 8192, 0},   {SDL_CONTROLLER_AXIS_LEFTX, 8193, 4},
                 {SDL_CONTROLLER_AXIS_LEFTX, 32767, 4},  {SDL_CONTROLLER_AXIS_LEFTX, -8192, 0},
                 {SDL_CONTROLLER_AXIS_LEFTX, -8193, 2},  {SDL_CONTROLLER_AXIS_LEFTX, -32768, 2},
                 {SDL_CONTROLLER_AXIS_LEFTY, 20000, 1},  {SDL_CONTROLLER_AXIS_LEFTY, -20000, 8},
                 {SDL_CONTROLLER_AXIS_RIGHTX, 32767, 0}, {SDL_CONTROLLER_AXIS_RIGHTY, -32768, 0}};
    for (const auto& t : tilts) {
        pad.Tilt(t.axis, t.value);
        ASSERT_EQ(0, dxProcessMessage());
        EXPECT_EQ(t.bits, dxGetJoypadInputState(kPad1)) << t.axis << " at " << t.value;
        pad.Tilt(t.axis, 0);
    }

    // Keyboard and pad together.
    pad.Tilt(SDL_CONTROLLER_AXIS_LEFTX, -30000);
    pad.Press(SDL_CONTROLLER_BUTTON_A, true);
    PushKey(SDL_SCANCODE_RIGHT, true);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(2 | 4 | 16, dxGetJoypadInputState(kBoth));
    EXPECT_EQ(4, dxGetJoypadInputState(kKeyboard));
    EXPECT_EQ(2 | 16, dxGetJoypadInputState(kPad1));
}

TEST_F(InputTest, PadsPluggedAndUnpluggedWhileRunning) {
    ASSERT_EQ(0, dxProcessMessage());
    ASSERT_EQ(-1, OpenPadId());
    auto first = std::make_unique<VirtualPad>();
    ASSERT_TRUE(first->Plugged());
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(first->Id(), OpenPadId()) << "a pad plugged in becomes pad 1";

    VirtualPad second;
    ASSERT_TRUE(second.Plugged());
    second.Press(SDL_CONTROLLER_BUTTON_B, true);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(first->Id(), OpenPadId()) << "pad 1 stays while it is plugged in";
    EXPECT_EQ(0, dxGetJoypadInputState(kPad1));

    first.reset();
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(second.Id(), OpenPadId()) << "the next pad takes over";
    EXPECT_EQ(32, dxGetJoypadInputState(kPad1));

    second.Unplug();
    PushKey(SDL_SCANCODE_UP, true);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(-1, OpenPadId());
    EXPECT_EQ(0, dxGetJoypadInputState(kPad1));
    EXPECT_EQ(8, dxGetJoypadInputState(kBoth)) << "the keyboard still works";
}

TEST_F(InputTest, PadConnectedBeforeStartUpIsPad1) {
    ASSERT_EQ(0, dxDxLib_End());
    // The pad exists before the library starts: the test keeps SDL's
    // joysticks going across the start.
    ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_JOYSTICK));
    VirtualPad pad;
    ASSERT_TRUE(pad.Plugged());
    pad.Press(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    ASSERT_EQ(0, dxDxLib_Init());
    dxsdl::SetPacingEnabled(false);
    EXPECT_EQ(pad.Id(), OpenPadId()) << "opened at start-up";
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(pad.Id(), OpenPadId());
    EXPECT_EQ(8, dxGetJoypadInputState(kBoth));
    pad.Unplug();  // before the library's shut-down takes SDL down with it
}

TEST_F(InputTest, QuitRequestIsAnsweredFromThenOn) {
    ASSERT_EQ(0, dxProcessMessage());
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(1, SDL_PushEvent(&quit));
    EXPECT_EQ(-1, dxProcessMessage());
    EXPECT_EQ(-1, dxProcessMessage());
    PushKey(SDL_SCANCODE_A, true);
    EXPECT_EQ(-1, dxProcessMessage());
    // A fresh start forgets it.
    ASSERT_EQ(0, dxDxLib_End());
    ASSERT_EQ(0, dxDxLib_Init());
    EXPECT_EQ(0, dxProcessMessage());
}

TEST_F(InputTest, InterruptAndTerminateSignalsAreQuitRequests) {
    // As Ctrl-C in the terminal would send them.
    for (int signal : {SIGINT, SIGTERM}) {
        ASSERT_EQ(0, dxProcessMessage());
        ASSERT_EQ(0, std::raise(signal));
        EXPECT_EQ(-1, dxProcessMessage()) << "signal " << signal;
        EXPECT_EQ(-1, dxProcessMessage());
        ASSERT_EQ(0, dxDxLib_End());
        ASSERT_EQ(0, dxDxLib_Init());
        dxsdl::SetPacingEnabled(false);
    }
}

TEST_F(InputTest, ClosingTheWindowIsAQuitRequest) {
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(-1, dxProcessMessage());
    EXPECT_EQ(-1, dxProcessMessage());
}

TEST_F(InputTest, AltEnterTogglesDesktopFullscreenAndBack) {
    SDL_Window* window = dxsdl::VideoWindow();
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    ASSERT_EQ(0u, SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);

    PushKey(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    PushKey(SDL_SCANCODE_RETURN, false, KMOD_LALT);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP),
              SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);

    PushKey(SDL_SCANCODE_RETURN, true, KMOD_RALT);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(0u, SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    int widthAfter = 0;
    int heightAfter = 0;
    SDL_GetWindowSize(window, &widthAfter, &heightAfter);
    EXPECT_EQ(width, widthAfter);
    EXPECT_EQ(height, heightAfter);

    // Enter alone does not.
    PushKey(SDL_SCANCODE_RETURN, false);
    PushKey(SDL_SCANCODE_RETURN, true);
    ASSERT_EQ(0, dxProcessMessage());
    EXPECT_EQ(0u, SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_EQ(1, dxCheckHitKey(0x1C));
}

}  // namespace
}  // namespace dxtest
