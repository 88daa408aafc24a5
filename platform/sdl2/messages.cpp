// Messages on standard error, and the program's name they start with.
#include "messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#else
#include "program_name.h"
#endif

namespace dxsdl {

namespace {

// "<program>: ", made once; none while there is no memory to make it.
const char* Prefix() noexcept {
    static char prefix[256];
    static std::once_flag made;
    try {
        std::call_once(made, [] {
            const std::string name = ProgramName();
            const size_t length = std::min(name.size(), sizeof prefix - 3);
            std::memcpy(prefix, name.data(), length);
            std::memcpy(prefix + length, ": ", 3);
        });
    } catch (const std::bad_alloc&) {
        return "";
    }
    return prefix;
}

}  // namespace

void ReportLine(std::string_view text) noexcept {
    ReportLine({text});
}

void ReportLine(std::initializer_list<std::string_view> parts) noexcept {
    // The player sees the program's name, not the library's.
    char line[8192];
    size_t length = 0;
    const auto add = [&](std::string_view part) {
        for (const char c : part) {
            if (length + 1 >= sizeof line) {
                return;  // the newline still fits
            }
            const auto code = static_cast<unsigned char>(c);
            line[length++] = (code < 0x20 || code == 0x7F) ? '?' : c;
        }
    };
    add(Prefix());
    for (const std::string_view part : parts) {
        add(part);
    }
    line[length++] = '\n';
    // One write for the whole line, so lines from other threads or
    // processes sharing the stream do not interleave with it.
    std::fwrite(line, 1, length, stderr);
    std::fflush(stderr);
}

#ifdef __EMSCRIPTEN__
}  // namespace dxsdl

#include <emscripten.h>

namespace dxsdl {

std::string ProgramName() {
    // In a web page the page's title names the program, and the canvas keeps it.
    const char* title = emscripten_get_window_title();
    return title != nullptr && *title != '\0' ? title : "game";
}
#else
std::string ProgramName() {
    // The same name as the program's own lines before the library was loaded.
    return program::ProgramName();
}
#endif

}  // namespace dxsdl
