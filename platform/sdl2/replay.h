// Recording and replaying a game, and a digest of every frame shown.
//
// A recording is text: the line "chaser-replay 1", then one line per frame,
// "PAD QUIT KEYS": pad 1's bits, 1 when a quit request stands (else 0), and
// the key codes held, ascending, each after a single space.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "input.h"

namespace dxsdl {

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

// The recording's line for a frame's input, without the newline.
std::string RecordLine(const FrameInput& frame);

// The 64-bit XXH3 of the back buffer as RGB565 values, little-endian, rows
// top to bottom with no padding, whatever the buffer's own depth and pitch.
uint64_t FrameDigest(const SDL_Surface* backBuffer);

// What the environment asks for: DXLIBDLL_RECORD, DXLIBDLL_REPLAY and
// DXLIBDLL_DIGESTS name files; DXLIBDLL_UNPACED=1 shows frames at once (a
// value other than 0 and 1 is warned of, once, and leaves them paced).
struct RecordingSwitches {
    std::string recordFile;
    std::string replayFile;
    std::string digestFile;
    bool unpaced = false;
};
RecordingSwitches SwitchesFromEnvironment();

// A file written a whole line at a time (the recording, the digests), and
// its name for messages. Its first write error is reported, naming it, and
// nothing more is written to it, so it keeps every whole line written before.
struct LineFile {
    FileWriter file;
    std::string name;
    bool failed = false;
    uint64_t lines = 0;        // written whole
    uint64_t headerLines = 0;  // of those, lines before the first frame's
    bool moved = false;        // its name leads elsewhere now, and that was said
};

// What the switches asked for: the recording played, read whole, and the
// recording and digests written.
struct Recordings {
    bool replaying = false;
    FileIdentity replayIdentity;  // of the recording played, read whole at start-up
    ReplayScript script;
    size_t nextFrame = 0;  // the script's frame the next dxProcessMessage begins
    LineFile record;
    LineFile digests;
    uint64_t shownFrames = 0;
    bool unpaced = false;
};

// The first step of start-up: reads the replay whole, then opens the recording
// and digest files asked for, changing nothing yet. So a broken replay, a file
// that cannot be written, a file that is not the game's own to replace (only
// a missing or empty file, a recording or a digest file is), or two switches
// naming one file (by what it is, not how it is spelt) fails the start before
// a window opens and before any file changes. False with a reason: one line
// naming the file and, for a replay, the line.
bool OpenRecordings(Recordings& recordings, const RecordingSwitches& switches, std::string* reason);
// The last step of start-up, when nothing else can fail it: empties the
// recording and digest files and writes the recording's first line. False
// with a reason naming the file.
bool TakeOverRecordings(Recordings& recordings, std::string* reason);
// Closes the files, at shut-down or when the start fails; a file this
// created and never took over is removed again.
void CloseRecordings(Recordings& recordings);

// A frame begins, its events read: a replay puts its line in place of the
// frame's live input (a live quit request still counts); a recording gets
// the frame's line. Called by dxProcessMessage.
void TakeFrameInput(Recordings& recordings, FrameInput& frame);
// A frame is about to be shown: its digest line, when digests are asked for.
// Called by dxScreenFlip.
void DigestFrame(Recordings& recordings, const SDL_Surface* backBuffer);

}  // namespace dxsdl
