#include "recording_dxlibdll.h"

#include "dxlibdll_operations.h"

namespace recording {

namespace {

Script currentScript;
std::vector<Call> calls;
int32_t framesBegun = 0;
int32_t nextHandle = 0;

// The frame whose calls are being made: the last one begun.
int32_t CurrentFrame() {
    return framesBegun - 1;
}

bool From(int32_t firstFrame, int32_t frame) {
    return firstFrame >= 0 && frame >= firstFrame;
}

int32_t Record(const char* operation, std::vector<int32_t> args, int32_t result) {
    calls.push_back(Call{operation, std::move(args), {}});
    return result;
}

}  // namespace

void Reset(const Script& script) {
    currentScript = script;
    calls.clear();
    framesBegun = 0;
    nextHandle = 0;
}

const std::vector<Call>& Calls() {
    return calls;
}

std::vector<Call> CallsOf(const std::string& operation) {
    std::vector<Call> selected;
    for (const Call& call : calls) {
        if (call.operation == operation) {
            selected.push_back(call);
        }
    }
    return selected;
}

int32_t FramesBegun() {
    return framesBegun;
}

}  // namespace recording

using recording::Record;

extern "C" {

int32_t dxSetGraphMode(int32_t width, int32_t height, int32_t colorBitDepth, int32_t refreshRate) {
    return Record("dxSetGraphMode", {width, height, colorBitDepth, refreshRate}, 0);
}

int32_t dxDxLib_Init(void) {
    return Record("dxDxLib_Init", {}, recording::currentScript.initResult);
}

int32_t dxDxLib_End(void) {
    return Record("dxDxLib_End", {}, 0);
}

int32_t dxSetDrawScreen(int32_t drawScreen) {
    return Record("dxSetDrawScreen", {drawScreen}, 0);
}

int32_t dxSetDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return Record("dxSetDrawArea", {left, top, right, bottom}, 0);
}

int32_t dxLoadGraph(const char* fileName, int32_t flag) {
    const std::string name = fileName == nullptr ? std::string() : std::string(fileName);
    int32_t handle = 0;
    const auto scripted = recording::currentScript.loadResults.find(name);
    if (scripted != recording::currentScript.loadResults.end()) {
        handle = scripted->second;
    } else {
        handle = recording::nextHandle++;
    }
    recording::calls.push_back(recording::Call{"dxLoadGraph", {flag}, name});
    return handle;
}

int32_t dxDrawGraph(int32_t x, int32_t y, int32_t handle, int32_t transFlag) {
    return Record("dxDrawGraph", {x, y, handle, transFlag}, 0);
}

int32_t dxClearDrawScreen(void) {
    return Record("dxClearDrawScreen", {}, 0);
}

int32_t dxScreenFlip(void) {
    return Record("dxScreenFlip", {}, 0);
}

int32_t dxProcessMessage(void) {
    const int32_t frame = recording::framesBegun++;
    if (recording::currentScript.beforeFrame) {
        recording::currentScript.beforeFrame(frame);
    }
    int32_t result = 0;
    if (frame >= recording::currentScript.frameLimit) {
        result = -1;
    } else if (recording::From(recording::currentScript.quitFromFrame, frame)) {
        result = recording::currentScript.quitResult;
    }
    return Record("dxProcessMessage", {}, result);
}

int32_t dxCheckHitKey(int32_t keyCode) {
    const bool escapeHeld =
        keyCode == 1 &&
        recording::From(recording::currentScript.escapeFromFrame, recording::CurrentFrame());
    return Record("dxCheckHitKey", {keyCode}, escapeHeld ? 1 : 0);
}

int32_t dxGetJoypadInputState(int32_t inputType) {
    const int32_t frame = recording::CurrentFrame();
    const std::vector<int32_t>& bits = recording::currentScript.padBits;
    const int32_t state = frame >= 0 && static_cast<size_t>(frame) < bits.size()
                              ? bits[static_cast<size_t>(frame)]
                              : 0;
    return Record("dxGetJoypadInputState", {inputType}, state);
}

}  // extern "C"

namespace recording {

// Every operation of the list is defined above: one missing leaves a reference
// here unresolved, and no test that uses the stand-in links.
struct EveryOperation {
#define DXLIBDLL_POINTER(name, parameters, arguments, failed) decltype(&::name) name;
    DXLIBDLL_OPERATIONS(DXLIBDLL_POINTER)
#undef DXLIBDLL_POINTER
};
extern const EveryOperation kEveryOperation;
const EveryOperation kEveryOperation = {
#define DXLIBDLL_ADDRESS(name, parameters, arguments, failed) &::name,
    DXLIBDLL_OPERATIONS(DXLIBDLL_ADDRESS)
#undef DXLIBDLL_ADDRESS
};

}  // namespace recording
