// The graphics and input library the game draws and reads input through.
//
// This header is the whole contract. The game calls these twelve operations and
// nothing else of the library; any implementation of them can be linked in:
//   platform/sdl2/       the real library (a shared library, dxlibdll), on SDL2
//   platform/recording/  a stand-in for tests that records every call
// dxlibdll_operations.h lists them once more for the code made from the list
// (the program's forwarders, the export map); it is checked against this file.
// Every argument and result is a 32-bit signed integer, a file name a pointer to
// a NUL-terminated 8-bit string. A result of -1 means the operation failed.
#pragma once

#include <stdint.h>

#if defined(_WIN32) && defined(DXLIBDLL_BUILDING_DLL)
#define DXLIBDLL_API __declspec(dllexport)
#elif defined(DXLIBDLL_BUILDING_DLL)
#define DXLIBDLL_API __attribute__((visibility("default")))
#else
#define DXLIBDLL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Chooses the screen size, colour depth (16 or 32 bits) and frame rate.
// Called once, before dxDxLib_Init.
DXLIBDLL_API int32_t dxSetGraphMode(int32_t width, int32_t height, int32_t colorBitDepth,
                                    int32_t refreshRate);

// Starts the library and opens the screen; 0 on success, -1 when it cannot start.
// Called once, after dxSetGraphMode.
DXLIBDLL_API int32_t dxDxLib_Init(void);

// Releases every resource and shuts the library down.
// Called once, when the game ends; never after a failed dxDxLib_Init.
DXLIBDLL_API int32_t dxDxLib_End(void);

// Selects the drawing target; -2 is the back buffer.
// Called once after start-up.
DXLIBDLL_API int32_t dxSetDrawScreen(int32_t drawScreen);

// Clips all later drawing to columns left..right-1 and rows top..bottom-1.
// Called once after start-up.
DXLIBDLL_API int32_t dxSetDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Loads an image file; returns its handle (0 or more), or -1 when it cannot be loaded.
// Called once per image during loading.
DXLIBDLL_API int32_t dxLoadGraph(const char* fileName, int32_t flag);

// Draws an image with its top-left corner at (x, y); a non-zero transFlag makes
// pure black transparent. An invalid handle draws nothing and gives -1.
// Called for every sprite of every frame.
DXLIBDLL_API int32_t dxDrawGraph(int32_t x, int32_t y, int32_t handle, int32_t transFlag);

// Clears the drawing target to black.
// Called at the start of every frame's drawing.
DXLIBDLL_API int32_t dxClearDrawScreen(void);

// Shows the back buffer and waits for the next frame's turn.
// Called at the end of every frame.
DXLIBDLL_API int32_t dxScreenFlip(void);

// Handles pending window and system events; 0 to go on, -1 once a quit is requested.
// Called at the start of every frame.
DXLIBDLL_API int32_t dxProcessMessage(void);

// 1 while the key with this scan code is held, 0 otherwise (1 is Escape).
// Called every frame.
DXLIBDLL_API int32_t dxCheckHitKey(int32_t keyCode);

// Direction bits of the chosen input (1 pad 1, 0x1000 keyboard, 4097 both):
// 1 down, 2 left, 4 right, 8 up; buttons from 16 up.
// Called every frame.
DXLIBDLL_API int32_t dxGetJoypadInputState(int32_t inputType);

#ifdef __cplusplus
}
#endif
