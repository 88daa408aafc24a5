// Recording and replaying a game, and a digest of every frame shown. What a
// recording holds is told in replay_reader.h.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include "files.h"
#include "input.h"
#include "replay_reader.h"

namespace dxsdl {

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

// What the switches asked for: the recording played, and the recording and
// digests written.
struct Recordings {
    ReplayReader replay;
    std::string replayName;
    bool replayEnded = false;  // its last frame played, or it failed: a quit request stands
    LineFile record;
    LineFile digests;
    uint64_t shownFrames = 0;
    bool unpaced = false;
};

// The first step of start-up: reads the replay through, then opens the recording
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
