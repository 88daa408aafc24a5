// The library's inside: its one state record and the steps each file offers
// the others. The contract the game sees is dxlibdll.h; start reading there.
//
// Where each step lives:
//   exports.cpp   the twelve dx* operations, start-up and shut-down, the
//                 record itself, messages on standard error, and the view
//                 that tests and measuring tools take of the running library
//   screen.cpp    the screen mode, the back buffer, the drawing area, blits
//   images.cpp    image files: finding, reading, header checks, decoding,
//                 conversion to the back buffer's format, the handle table
//   input.cpp     the frame's events: keys, game pads, quit requests
//   present.cpp   the window, showing the back buffer scaled in it, pacing
//   desktop.cpp   what the desktop does for the window (X11 asked directly)
//   signals.cpp   quit signals, and ending a game that cannot answer them
//   replay.cpp    recording the frames' input, replaying a recording in place
//                 of live input, a digest of every frame shown
//
// Tests and tools link the static variant (dxlibdll_sdl2) and may use
// everything declared here; the game sees none of it.
#pragma once

#include <SDL.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dxsdl {

// ---------------------------------------------------------------------------
// The screen (screen.cpp)

struct ScreenMode {
    int32_t width = 640;
    int32_t height = 480;
    int32_t bits = 16;  // 16: RGB565, 32: XRGB8888
    int32_t refreshRate = 60;
};

// The drawing area: columns left..right-1 and rows top..bottom-1, always within
// the screen; empty when left >= right or top >= bottom.
struct ClipRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

inline constexpr int32_t kMaxScreenSide = 8192;

// Whether the library draws on a screen of this size and depth at this rate.
bool SupportedMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate);

// The SDL pixel format of the back buffer for a colour depth.
uint32_t PixelFormatForBits(int32_t bits);

// The back buffer for the mode, cleared to black; null with a reason on failure.
SDL_Surface* CreateBackBuffer(const ScreenMode& mode, std::string* reason);

// The rectangle clamped to the screen.
ClipRect ClampClipRect(const ScreenMode& mode, int32_t left, int32_t top, int32_t right,
                       int32_t bottom);

// Black over the whole back buffer, whatever the drawing area.
void ClearBackBuffer(SDL_Surface* backBuffer);

// ---------------------------------------------------------------------------
// Images (images.cpp)

// Columns start..start+length-1 of a row are opaque.
struct OpaqueSpan {
    int32_t start;
    int32_t length;
};

// A loaded image, kept ready to copy into the back buffer: pixels already in
// the back buffer's format, and for drawing with transparency, the runs of
// opaque pixels of every row, found once from the file's own colours.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 0;
    std::vector<uint8_t> pixels;     // height rows of width * bytesPerPixel bytes
    std::vector<OpaqueSpan> spans;   // the opaque runs of all rows, top row first
    std::vector<uint32_t> rowSpans;  // row y's runs: spans[rowSpans[y] .. rowSpans[y + 1])
    bool opaque = false;             // no transparent pixel at all
};

// Larger images are refused: one side of 8192 is far beyond any screen the
// library draws on, and 8192 x 8192 x 4 bytes is already 256 MiB.
inline constexpr int64_t kMaxImageSide = 8192;

enum class ImageKind { Bmp, Png };

struct ImageHeader {
    ImageKind kind = ImageKind::Bmp;
    int64_t width = 0;
    int64_t height = 0;  // rows, whichever way up the file stores them
};

// A look at an image file's header before any pixel is decoded, so a broken or
// hostile file is refused with a reason and never makes us allocate for it.
// Reads the kind and size from the first bytes of a file of `size` bytes, all
// of which are in `data`. False with a reason for an empty or truncated file,
// one that is neither BMP nor PNG, or an image with no pixels or too many.
bool InspectImageHeader(const uint8_t* data, size_t size, ImageHeader* header, std::string* reason);

// The CRC-32 of PNG chunks (the zlib polynomial, reflected), which the test
// images' writer also uses.
uint32_t Crc32(const uint8_t* data, size_t size);

// Decodes a whole image file held in memory (`size` bytes at `data`). The
// header is checked before any decoding, so an oversized or damaged image
// costs no more than its file. Null with a reason on failure; otherwise the
// caller frees the surface. Needs no video: SDL need not even be started.
SDL_Surface* DecodeImageBytes(const uint8_t* data, size_t size, std::string* reason);

// Makes an image for a back buffer of this SDL pixel format (RGB565 or RGB888)
// from a decoded surface of any format. A pixel is transparent when its colour
// in the file is exactly black, or, in an image with transparency of its own,
// when it is less than half opaque (such pixels are drawn black without the
// transparency flag). False with a reason when SDL cannot convert the surface.
// The pixels are written into the storage `image` already holds, when it has
// the right size.
bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason);

// Copies the image with its top-left corner at (x, y), clipped to `clip` and
// to the target; with `transparent`, only its opaque runs. The target must be
// a back buffer of the format the image was made for. (In screen.cpp.)
void DrawImage(const Image& image, SDL_Surface* target, const ClipRect& clip, int32_t x, int32_t y,
               bool transparent);

// All loaded images together hold at most this many bytes unless the
// environment variable DXLIBDLL_IMAGE_BUDGET says otherwise.
inline constexpr size_t kDefaultImageBudget = size_t{256} * 1024 * 1024;

// At most this many failed files get a line of their own between two
// summaries; the rest are counted.
inline constexpr int32_t kListedFailures = 5;

// The images the game has loaded, by handle: a handle is an index into the
// table, valid until the library shuts down.
struct ImageTable {
    std::vector<Image> images;
    // Where relative names are looked up when the working directory lacks
    // them: ending in a separator, or empty for none.
    std::string executableDirectory;
    // File names already reported, so a game that asks again and again for a
    // missing file does not flood the terminal.
    std::set<std::string> reportedNames;
    // Failures not yet summed up: files whose whole folder is missing (one
    // line names the folders), and files past the listed few.
    std::set<std::string> missingFolders;
    int32_t missingFiles = 0;
    int32_t listedFailures = 0;
    int32_t unlistedFailures = 0;
    // The bytes the loaded images hold, and the most they may hold.
    size_t usedBytes = 0;
    size_t budgetBytes = kDefaultImageBudget;
};

// The image budget: DXLIBDLL_IMAGE_BUDGET in bytes, or with a K, M or G
// suffix (powers of 1024); the default after a line when it makes no sense.
size_t ImageBudgetFromEnvironment();

// The bytes an image holds in memory.
size_t ImageBytes(const Image& image);

// Loads the named file for a back buffer of this SDL pixel format. The handle
// (0 or more), or -1. A failure is reported once per file name: a file whose
// folder is missing everywhere it was looked for is counted for the summary;
// others get a line naming the file and the reason, the first few of them,
// the rest counted. Running out of memory, or past the budget, is such a
// failure too: the process goes on.
int32_t LoadImage(ImageTable& table, const char* fileName, uint32_t targetFormat);

// Writes what failed loads since the last summary left unsaid: one line for
// the missing folders (where they were looked for, how many images failed),
// one for the failures past the listed few. Nothing when there is nothing.
void ReportLoadSummary(ImageTable& table) noexcept;

// Null for a handle that names no loaded image.
const Image* FindImage(const ImageTable& table, int32_t handle);

// ---------------------------------------------------------------------------
// Input (input.cpp)

// Direction and button bits of dxGetJoypadInputState.
inline constexpr int32_t kPadDown = 1;
inline constexpr int32_t kPadLeft = 2;
inline constexpr int32_t kPadRight = 4;
inline constexpr int32_t kPadUp = 8;
inline constexpr int32_t kPadButtonA = 16;
inline constexpr int32_t kPadButtonB = 32;
inline constexpr int32_t kPadButtonX = 64;
inline constexpr int32_t kPadButtonY = 128;

// Input types: pad number in the low bits, the keyboard as its own bit.
inline constexpr int32_t kInputPad1 = 1;
inline constexpr int32_t kInputKeyboard = 0x1000;

// The left stick counts as a direction past a quarter of its travel.
inline constexpr int kStickDeadZone = 8192;

// Keyboard and game pad state, as the events of the frames so far left it.
struct Input {
    // Our own record of held keys, kept from the events we handle: SDL's
    // keyboard state would miss events that reach the queue by other ways
    // than the keyboard driver.
    std::array<bool, SDL_NUM_SCANCODES> held{};
    bool padsAvailable = false;
    SDL_GameController* pad = nullptr;  // read as pad 1
    SDL_JoystickID padId = -1;
    bool quitRequested = false;
    // While a recording is replayed: pad 1's bits come from it, not the pad.
    bool padReplayed = false;
    int32_t replayedPadBits = 0;
    // Pad 1's direction bits from a web page's touch pad (0 elsewhere).
    int32_t touchBits = 0;
};

// The key codes of dxCheckHitKey are PC keyboard scan-code numbers (0x01
// Escape, 0x1C Enter, 0xC8 Up, ...), the numbering the game was written with.
// SDL_SCANCODE_UNKNOWN for a code that names no key.
SDL_Scancode ScancodeForKeyCode(int32_t keyCode);

// ---------------------------------------------------------------------------
// Presenting (present.cpp): the window, and the pace frames are shown at

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

// Where the back buffer goes in an output of this size: scaled by the largest
// whole factor that fits (letterboxed), or shrunk to fit when the output is
// smaller than the screen.
SDL_Rect PresentationRect(int outputWidth, int outputHeight, int screenWidth, int screenHeight);

enum class PacingMethod { Off, Timer, Vsync };

// The timer's knobs, for tools that measure it.
struct PacingTuning {
    double coarseMarginMs = 2.0;  // whole-millisecond sleeps end this long before the deadline
    double spinMarginMs = 0.2;    // short sleeps end this long before it; then yields
    int32_t stallFrames = 4;      // later than this many periods: start afresh
};

// The deadlines of the timer, as arithmetic on counter ticks.
class FrameSchedule {
  public:
    void Start(uint64_t ticksPerSecond, int32_t framesPerSecond, int32_t stallFrames);
    // When the coming frame is due, given the time now. The first frame is due
    // at once; a frame later than the stall limit is due now, and the frames
    // after it follow from now.
    uint64_t Due(uint64_t now);
    // The coming frame was shown: the next one is due one period after it.
    void Advance();
    uint64_t WholePeriod() const { return period_; }

  private:
    uint64_t period_ = 0;     // whole ticks per frame
    uint64_t remainder_ = 0;  // ticksPerSecond % framesPerSecond
    uint64_t rate_ = 1;
    uint64_t carried_ = 0;  // remainders gathered so far, below rate_
    uint64_t stallTicks_ = 0;
    uint64_t next_ = 0;
    bool started_ = false;
};

// Pacing on the display's own frames, as a browser hands them out (animation
// frames at 60, 120, 144 Hz...): the coming frame is shown at the first display
// frame that begins at or after its deadline, so the game keeps its own rate
// whatever the display's. Times are in microseconds. A small tolerance absorbs
// the jitter and coarse clock of display-frame times, which would otherwise
// put a frame due at exactly a display frame's time one display frame late.
// After a stall (no display frames while a page is hidden) the schedule starts
// afresh at the next display frame.
class DisplayFramePacer {
  public:
    static constexpr uint64_t kToleranceUs = 1000;
    void Start(int32_t framesPerSecond, int32_t stallFrames);
    // A display frame begins at `nowUs`: true when the coming frame is shown
    // at it; the schedule then moves on to the next one.
    bool Offer(uint64_t nowUs);

  private:
    FrameSchedule schedule_;
};

// Watches the intervals between frames while vertical-blank waits pace them:
// some systems accept the request and then do not wait. Untrusted once the
// median of a window of intervals is under three quarters of a period.
class VsyncCheck {
  public:
    void Start(uint64_t periodTicks);
    // The time a frame was shown; false once vsync has proved not to pace.
    bool Record(uint64_t shownAt);

  private:
    static constexpr int kWindow = 31;
    uint64_t period_ = 0;
    uint64_t last_ = 0;
    bool haveLast_ = false;
    int count_ = 0;
    uint64_t intervals_[kWindow] = {};
};

struct Pacer {
    int32_t rate = 60;
    PacingMethod method = PacingMethod::Timer;
    FrameSchedule schedule;
    DisplayFramePacer displayFrames;  // a web page's animation frames
    VsyncCheck vsyncCheck;
    bool vsyncDistrusted = false;    // proved not to pace: the timer for good
    uint32_t unpacedSinceYield = 0;  // a web page's unpaced frames since it last gave way
};

// ---------------------------------------------------------------------------
// Recording, replaying and frame digests (replay.cpp)
//
// A recording is text: the line "chaser-replay 1", then one line per frame,
// "PAD QUIT KEYS": pad 1's bits, 1 when a quit request stands (else 0), and
// the key codes held, ascending, each after a single space.

inline constexpr std::string_view kReplayHeader = "chaser-replay 1";

// One frame of a recording: its held keys are keys[firstKey, firstKey + keyCount).
struct ReplayFrame {
    uint32_t firstKey = 0;
    uint16_t keyCount = 0;
    uint8_t padBits = 0;
    bool quit = false;
};

struct ReplayScript {
    std::vector<ReplayFrame> frames;
    std::vector<uint8_t> keys;
};

// Reads a whole recording. False with the number of the first bad line (from
// 1) and the reason; a broken recording never plays as something else.
bool ParseReplay(std::string_view text, ReplayScript* script, size_t* badLine, std::string* reason);

// The recording's line for the input as it stands, without the newline.
std::string RecordLine(const Input& input);

// The 64-bit XXH3 of the back buffer as RGB565 values, little-endian, rows
// top to bottom with no padding, whatever the buffer's own depth and pitch.
uint64_t FrameDigest(const SDL_Surface* backBuffer);

// What the environment asks for: DXLIBDLL_RECORD, DXLIBDLL_REPLAY and
// DXLIBDLL_DIGESTS name files; DXLIBDLL_UNPACED=1 shows frames at once.
struct SessionSwitches {
    std::string recordFile;
    std::string replayFile;
    std::string digestFile;
    bool unpaced = false;
};
SessionSwitches SwitchesFromEnvironment();

// A file that closes itself when dropped.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

struct Session {
    bool replaying = false;
    std::string replayFile;
    ReplayScript script;
    size_t nextFrame = 0;       // the script's frame the next dxProcessMessage begins
    bool quitReplayed = false;  // the quit request standing came from the recording
    OwnedFile record;
    std::string recordFile;
    OwnedFile digests;
    std::string digestFile;
    uint64_t shownFrames = 0;
    bool writeFailed = false;  // reported once
    bool unpaced = false;
};

// Reads the replay whole, first of all at start-up: a broken one fails the
// start before a window opens. False with a reason (one line naming the file
// and the line).
bool StartSession(Session& session, const SessionSwitches& switches, std::string* reason);
// Creates the recording and digest files asked for, last of the steps of
// start-up that can fail, so a start that fails leaves an earlier recording as
// it was. False with a reason naming the file; nothing is left open then.
bool OpenSessionFiles(Session& session, const SessionSwitches& switches, std::string* reason);
void StopSession(Session& session);

// ---------------------------------------------------------------------------
// The record

// Runs at the start of every dxProcessMessage, before the events are handled,
// so a test can put events in the queue for the frame about to begin; or at
// the start of dxDxLib_End, while the back buffer still holds the last frame.
using Hook = void (*)();

// What is chosen before start-up and kept across it: the screen mode and
// drawing area the game asks for, and the switches of tests and tools.
struct Settings {
    ScreenMode mode;
    ClipRect clip{0, 0, mode.width, mode.height};
    bool pacingEnabled = true;
    PacingTuning tuning;
    Hook frameStartHook = nullptr;
    Hook shutdownHook = nullptr;
};

// Everything the running library owns: made by dxDxLib_Init, dropped by
// dxDxLib_End.
struct Library {
    explicit Library(Settings& chosen) : settings(chosen) {}

    Settings& settings;
    SDL_Surface* backBuffer = nullptr;  // in the mode of settings.mode
    ImageTable images;
    Input input;
    Window window;
    Pacer pacer;
    Session session;
};

// ---------------------------------------------------------------------------
// Steps between the files

// exports.cpp: writes "<program>: <text>" and a newline to standard error, in
// one write. Control characters in the text (a newline in a file name, say)
// are shown as '?', so every message stays on one line. Never throws: out of
// memory, a short fixed line is written instead.
void ReportLine(const std::string& text) noexcept;

// present.cpp: the running program's file name without its directory or
// extension ("game" when it cannot be found).
std::string ProgramName();

// input.cpp
// Starts the game pad subsystem and opens the first pad connected; the
// keyboard works without it.
void StartInput(Library& library);
void StopInput(Library& library);
// Handles every pending event: keys, pads, quit requests, and what happens to
// the window. Called once per frame, by dxProcessMessage.
void ReadInput(Library& library);
// 1 while the key with this scan-code number is held, else 0.
int32_t KeyHeld(const Input& input, int32_t keyCode);
// The bits of the chosen inputs, ORed.
int32_t JoypadBits(const Input& input, int32_t inputType);

// signals.cpp
// From start-up to shut-down, SIGINT, SIGTERM and SIGHUP become quit requests
// (SDL's own handlers are not installed). The first one not answered within
// two seconds, or a second one, ends the process.
void CatchQuitSignals();
void ReleaseQuitSignals();
// True once a quit signal came; the game counts as told from then on.
bool AnswerQuitSignal();

// replay.cpp
// A frame begins, its events read: a replay puts its line in place of the
// live keys, pad and quit request; a recording gets the frame's line.
void TakeFrameInput(Library& library);
// A frame is about to be shown: its digest line, when digests are asked for.
void DigestFrame(Library& library);

// present.cpp
// Starts SDL's video and opens the window for the mode. False with a reason
// when there is no display to show it on: SDL falling back to a driver that
// shows nothing (offscreen, dummy) counts as no display unless SDL_VIDEODRIVER
// asked for that driver by name. Everything started is stopped again then.
bool StartVideo(Window& window, const ScreenMode& mode, std::string* reason);
void StopVideo(Window& window);
// Borderless desktop fullscreen, or back to the window as it was.
void ToggleFullscreen(Window& window);
// After SDL_RENDER_DEVICE_RESET: the renderer's textures are gone.
void RebuildTexture(Window& window);
// Takes up the mode's rate and picks the pacing method for the display the
// window is on now (again after the window moved to another display).
void StartPacing(Library& library);
void ChoosePacingMethod(Library& library);
// Shows the back buffer at the frame's turn: the one step that puts a frame
// on the screen, called once per frame by dxScreenFlip.
void PresentFrame(Library& library);

// desktop.cpp
// Whether the desktop makes a window fullscreen when SDL asks: false on an X
// server with no window manager that takes windows fullscreen.
bool DesktopTakesWindowFullscreen(SDL_Window* window);

// ---------------------------------------------------------------------------
// The view of tests and measuring tools (exports.cpp)

void SetFrameStartHook(Hook hook);
void SetShutdownHook(Hook hook);
// Whether dxDxLib_Init succeeded and dxDxLib_End has not run since.
bool Started();
// Null while the library is not started.
SDL_Surface* BackBuffer();
SDL_Window* VideoWindow();
SDL_Renderer* VideoRenderer();  // also null when the window's framebuffer is written directly
SDL_GameController* OpenPad();  // also null when no pad is connected
const Image* FindImage(int32_t handle);
// Writes the load summary now rather than at the next frame; afterwards the
// next few failures get lines of their own again.
void ReportPendingLoadFailures();
// Forgets every loaded image; their handles name nothing any more.
void ForgetAllImages();
// Pacing on (the game's rate) or off (frames shown at once); kept across
// start-ups.
void SetPacingEnabled(bool enabled);
PacingMethod CurrentPacingMethod();  // Off while the library is not started
PacingTuning& Tuning();

}  // namespace dxsdl
