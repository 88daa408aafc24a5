// Critical sections on POSIX: recursive mutexes, as Windows locks are.
#include <cstdio>
#include <cstdlib>

#include "kernel32.h"

namespace {

[[noreturn]] void LockFailure(const char* what) {
    std::fprintf(stderr, "fatal: %s failed\n", what);
    std::abort();
}

}  // namespace

extern "C" {

VOID InitializeCriticalSection(LPCRITICAL_SECTION section) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0 ||
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) != 0 ||
        pthread_mutex_init(&section->mutex, &attributes) != 0) {
        LockFailure("InitializeCriticalSection");
    }
    pthread_mutexattr_destroy(&attributes);
}

VOID EnterCriticalSection(LPCRITICAL_SECTION section) {
    if (pthread_mutex_lock(&section->mutex) != 0) {
        LockFailure("EnterCriticalSection");
    }
}

VOID LeaveCriticalSection(LPCRITICAL_SECTION section) {
    if (pthread_mutex_unlock(&section->mutex) != 0) {
        LockFailure("LeaveCriticalSection");
    }
}

}  // extern "C"
