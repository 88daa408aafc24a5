// Recording and replaying a session, and a digest of every frame shown.
//
// A recording is text: the line "chaser-replay 1", then one line per frame,
// "PAD QUIT KEYS": pad 1's bits, 1 when a quit request stands (else 0), and
// the key codes held, ascending, each after a single space.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// The recording's line for the input as it stands, without the newline.
std::string RecordLine(const Input& input);

// The 64-bit XXH3 of the back buffer as RGB565 values, little-endian, rows
// top to bottom with no padding, whatever the buffer's own depth and pitch.
uint64_t FrameDigest(const SDL_Surface* backBuffer);

// What the environment asks for: DXLIBDLL_RECORD, DXLIBDLL_REPLAY and
// DXLIBDLL_DIGESTS name files; DXLIBDLL_UNPACED=1 shows frames at once (a
// value other than 0 and 1 is warned of, once, and leaves them paced).
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
// Closes the files; at shut-down.
void StopSession(Session& session);

// A frame begins, its events read: a replay puts its line in place of the
// live keys, pad and quit request; a recording gets the frame's line. Called
// by dxProcessMessage.
void TakeFrameInput(Session& session, Input& input);
// A frame is about to be shown: its digest line, when digests are asked for.
// Called by dxScreenFlip.
void DigestFrame(Session& session, const SDL_Surface* backBuffer);

}  // namespace dxsdl
