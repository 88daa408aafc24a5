// The library's twelve operations, exported with C linkage.
#include "dxlib.h"
#include "library_state.h"

extern "C" {

int32_t dxSetGraphMode(int32_t width, int32_t height, int32_t colorBitDepth, int32_t refreshRate) {
    LibraryState& lib = Library();
    if (lib.started || width <= 0 || height <= 0 || width > 8192 || height > 8192 ||
        (colorBitDepth != 16 && colorBitDepth != 32)) {
        return -1;
    }
    lib.mode = ScreenMode{width, height, colorBitDepth, refreshRate > 0 ? refreshRate : 60};
    return 0;
}

int32_t dxDxLib_Init(void) {
    LibraryState& lib = Library();
    if (lib.started) {
        return 0;
    }
    if (!OpenScreen()) {
        return -1;
    }
    lib.started = true;
    return 0;
}

int32_t dxDxLib_End(void) {
    LibraryState& lib = Library();
    if (!lib.started) {
        return -1;
    }
    CloseScreen();
    lib.started = false;
    return 0;
}

int32_t dxSetDrawScreen(int32_t drawScreen) {
    return drawScreen == -2 && Library().started ? 0 : -1;
}

int32_t dxSetDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    LibraryState& lib = Library();
    const int32_t l = left < 0 ? 0 : left;
    const int32_t t = top < 0 ? 0 : top;
    const int32_t r = right > lib.mode.width ? lib.mode.width : right;
    const int32_t b = bottom > lib.mode.height ? lib.mode.height : bottom;
    lib.drawArea = SDL_Rect{l, t, r > l ? r - l : 0, b > t ? b - t : 0};
    return 0;
}

int32_t dxLoadGraph(const char* fileName, int32_t flag) {
    (void)flag;
    return LoadImageFile(fileName);
}

int32_t dxDrawGraph(int32_t x, int32_t y, int32_t handle, int32_t transFlag) {
    return DrawImage(x, y, handle, transFlag);
}

int32_t dxClearDrawScreen(void) {
    LibraryState& lib = Library();
    if (!lib.started) {
        return -1;
    }
    SDL_FillRect(lib.backBuffer, nullptr, 0);
    return 0;
}

int32_t dxScreenFlip(void) {
    if (!Library().started) {
        return -1;
    }
    PresentBackBuffer();
    WaitForNextFrame();
    return 0;
}

int32_t dxProcessMessage(void) {
    LibraryState& lib = Library();
    if (lib.started) {
        HandleEvents();
    }
    return lib.quitRequested ? -1 : 0;
}

int32_t dxCheckHitKey(int32_t keyCode) {
    return Library().started ? KeyHeld(keyCode) : 0;
}

int32_t dxGetJoypadInputState(int32_t inputType) {
    if (!Library().started) {
        return 0;
    }
    int32_t bits = 0;
    if ((inputType & 0x1000) != 0) {
        bits |= KeyboardBits();
    }
    if ((inputType & 0xfff) == 1) {
        bits |= PadBits();
    }
    return bits;
}

}  // extern "C"
