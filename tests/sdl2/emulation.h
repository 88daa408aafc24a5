// Whether this test program runs on an emulated machine: an arm64 build run
// by qemu's user-mode emulator on an x86-64 machine, say. Such an emulator
// translates the program's instructions and system calls in its own process,
// so a few things a test sets up for the program land on the emulator
// instead (an address-space limit, a signal while the emulator itself loads
// the program); those tests skip there and say why.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace dxtest {

// The machine this program is built for, as the kernel names machines.
constexpr const char* kBuiltForMachine =
#if defined(__aarch64__)
    "aarch64";
#elif defined(__x86_64__)
    "x86_64";
#elif defined(__i386__)
    "i686";
#else
    "";
#endif

// Empty on a real machine; otherwise what emulates it. The tests' emulator
// command names itself in GAME_TESTS_EMULATOR (cmake/toolchains), and that
// reaches every program a test starts. Started some other way, the program is
// still told apart: the emulator answers uname() with the machine it
// emulates, but passes the kernel's own machine, /proc/sys/kernel/arch,
// through unchanged.
inline std::string EmulatorName() {
    if (const char* named = std::getenv("GAME_TESTS_EMULATOR"); named != nullptr && *named) {
        return named;
    }
    std::ifstream arch("/proc/sys/kernel/arch");
    std::string machine;
    if (arch >> machine && *kBuiltForMachine && machine != kBuiltForMachine) {
        return std::string("an emulator of ") + kBuiltForMachine + " on " + machine;
    }
    return "";
}

}  // namespace dxtest
