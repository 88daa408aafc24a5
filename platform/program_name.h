// The program's name at the start of every line it writes, the same from the
// loader in app/ and from the graphics library: the executable's own file
// name, so neither `exec -a ''` nor a package upgrade that replaced the file
// under a running game changes it.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace program {

// The name in a path of the executable: its file name without folder,
// extension, or the " (deleted)" Linux adds once the file was replaced or
// removed; "chaser" when that leaves nothing.
inline std::string NameFromPath(std::string path) {
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() >= kDeleted.size() &&
        std::string_view(path).substr(path.size() - kDeleted.size()) == kDeleted) {
        path.resize(path.size() - kDeleted.size());
    }
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name.empty() ? std::string("chaser") : name;
}

// The running executable's full path, as the system gives it (on Linux with
// " (deleted)" once the file is gone); empty when it cannot be found.
inline std::string ExecutablePath() {
    std::string path(260, '\0');
    for (;;) {
#ifdef _WIN32
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        // A path that filled the buffer may have been cut short.
        const bool whole = length < path.size();
#else
        const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length <= 0) {
            return {};
        }
        const bool whole = static_cast<size_t>(length) < path.size();
#endif
        if (whole) {
            path.resize(static_cast<size_t>(length));
            return path;
        }
        if (path.size() >= 65536) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

inline std::string ProgramName() {
    return NameFromPath(ExecutablePath());
}

}  // namespace program
