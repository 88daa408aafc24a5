// Byte-string helpers on POSIX.
#include <cstring>

#include "kernel32.h"

extern "C" {

int lstrlenA(LPCSTR text) {
    if (text == nullptr) {
        return 0;
    }
    const size_t length = std::strlen(text);
    return length > 0x7fffffff ? 0x7fffffff : static_cast<int>(length);
}

LPSTR lstrcpyA(LPSTR destination, LPCSTR source) {
    if (destination == nullptr || source == nullptr) {
        return nullptr;
    }
    std::memmove(destination, source, std::strlen(source) + 1);
    return destination;
}

VOID RtlMoveMemory(LPVOID destination, LPCVOID source, SIZE_T length) {
    if (length != 0) {
        std::memmove(destination, source, length);
    }
}

}  // extern "C"
