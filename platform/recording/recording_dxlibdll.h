// A stand-in for the graphics library that records every call and answers from
// a script, so tests can drive the game frame by frame without a screen.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace recording {

// One call to a library operation, as the game made it.
struct Call {
    std::string operation;      // "dxDrawGraph", ...
    std::vector<int32_t> args;  // integer arguments in order
    std::string fileName;       // dxLoadGraph only

    bool operator==(const Call&) const = default;
};

// What the stand-in answers. A frame begins at each dxProcessMessage call,
// counted from 0.
struct Script {
    int32_t initResult = 0;
    int32_t quitFromFrame = -1;    // dxProcessMessage gives quitResult from this frame on
    int32_t quitResult = -1;       // what a quitting dxProcessMessage gives
    int32_t escapeFromFrame = -1;  // dxCheckHitKey(1) gives 1 from this frame on
    std::vector<int32_t> padBits;  // dxGetJoypadInputState per frame; 0 past the end
    std::map<std::string, int32_t> loadResults;  // by file name; others get 0, 1, 2, ...
    // Stops a test that forgot to script a quit: from this frame on, quit.
    int32_t frameLimit = 100000;
    // Runs at the start of each frame, before dxProcessMessage answers, so a
    // test can look at or set the game's state between frames.
    std::function<void(int32_t frame)> beforeFrame;
};

// Starts afresh with this script; forgets the calls recorded so far.
void Reset(const Script& script);

// Every call since the last Reset, in order.
const std::vector<Call>& Calls();

// The calls of one operation only.
std::vector<Call> CallsOf(const std::string& operation);

// Frames begun (dxProcessMessage calls) since the last Reset.
int32_t FramesBegun();

}  // namespace recording
