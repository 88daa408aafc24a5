#include "dx_wrappers.h"

#include "dxlibdll.h"

int32_t SetGraphMode(int32_t width, int32_t height, int32_t colorBits) {
    return dxSetGraphMode(width, height, colorBits, 60);
}

int32_t LoadGraph(const char* fileName, int32_t flag) {
    return dxLoadGraph(fileName, flag);
}

int32_t ClearDrawScreen() {
    return dxClearDrawScreen();
}
