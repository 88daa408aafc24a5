// Messages on standard error, and the program's name they start with.
#include "messages.h"

#include <cstdio>
#include <new>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#elif defined(__EMSCRIPTEN__)
#include <emscripten.h>
#else
#include <unistd.h>
#endif

namespace dxsdl {

void ReportLine(const std::string& text) noexcept {
    try {
        // The player sees the program's name, not the library's.
        static const std::string prefix = ProgramName() + ": ";
        std::string line = prefix;
        line.reserve(line.size() + text.size() + 1);
        for (char c : text) {
            const auto code = static_cast<unsigned char>(c);
            line += (code < 0x20 || code == 0x7F) ? '?' : c;
        }
        line += '\n';
        // One write for the whole line, so lines from other threads or
        // processes sharing the stream do not interleave with it.
        std::fwrite(line.data(), 1, line.size(), stderr);
    } catch (const std::bad_alloc&) {
        // Out of memory even for the line: say that much without allocating.
        static const char kShort[] = "out of memory\n";
        std::fwrite(kShort, 1, sizeof kShort - 1, stderr);
    }
    std::fflush(stderr);
}

#ifdef __EMSCRIPTEN__
std::string ProgramName() {
    // In a web page the page's title names the program, and the canvas keeps it.
    const char* title = emscripten_get_window_title();
    return title != nullptr && *title != '\0' ? title : "game";
}
#else
std::string ProgramName() {
    std::string path;
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    path.assign(buffer, length);
#else
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length > 0) {
        path.assign(buffer, static_cast<size_t>(length));
    }
#endif
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name.empty() ? std::string("game") : name;
}
#endif

}  // namespace dxsdl
