// The twelve operations of dxlibdll.h as one list, for the code made from it:
// the program's forwarders to the library it loads (app/), the shared
// library's export list and its check (made by CMake from this file), and the
// check that the recording stand-in defines each one.
//
// X(name, parameters, arguments, failed): the operation's name, its
// parameters and the same as arguments, and what it gives when it cannot
// act (no library there, or before start-up).
#pragma once

#include <stdint.h>

#define DXLIBDLL_OPERATIONS(X)                                                     \
    X(dxSetGraphMode, (int32_t width, int32_t height, int32_t bits, int32_t rate), \
      (width, height, bits, rate), -1)                                             \
    X(dxDxLib_Init, (void), (), -1)                                                \
    X(dxDxLib_End, (void), (), -1)                                                 \
    X(dxSetDrawScreen, (int32_t screen), (screen), -1)                             \
    X(dxSetDrawArea, (int32_t left, int32_t top, int32_t right, int32_t bottom),   \
      (left, top, right, bottom), -1)                                              \
    X(dxLoadGraph, (const char* fileName, int32_t flag), (fileName, flag), -1)     \
    X(dxDrawGraph, (int32_t x, int32_t y, int32_t handle, int32_t transFlag),      \
      (x, y, handle, transFlag), -1)                                               \
    X(dxClearDrawScreen, (void), (), -1)                                           \
    X(dxScreenFlip, (void), (), -1)                                                \
    X(dxProcessMessage, (void), (), -1)                                            \
    X(dxCheckHitKey, (int32_t keyCode), (keyCode), 0)                              \
    X(dxGetJoypadInputState, (int32_t inputType), (inputType), 0)

#ifdef __cplusplus
#include <type_traits>

#include "dxlibdll.h"

// The list and the contract agree: each operation listed is declared there
// with the same parameters. (One declared there and not listed fails to link
// in the program, whose forwarders come from the list.)
#define DXLIBDLL_SAME_AS_DECLARED(name, parameters, arguments, failed)  \
    static_assert(std::is_same_v<decltype(::name), int32_t parameters>, \
                  #name " is declared in dxlibdll.h with other parameters than listed");
DXLIBDLL_OPERATIONS(DXLIBDLL_SAME_AS_DECLARED)
#undef DXLIBDLL_SAME_AS_DECLARED
#endif
