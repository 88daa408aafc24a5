// The graphics library, loaded by the program itself once its first step has
// held the quit signals back, rather than by the system before the program
// starts. The system's loader takes some 15 ms for it and the fifty libraries
// SDL brings, and no code of the program runs meanwhile: a SIGTERM then ended
// the game as it ends any program. Loaded here, such a signal waits for the
// library's handlers and the game's loop answers it. On Windows, a library
// missing or broken used to end the program before any of its code ran, with
// no word of which. Each of the twelve operations goes on to the library's
// own; a library that cannot be loaded is named in one line, and the game's
// start fails as for any other reason (status 255).
#include "graphics_library.h"
#include "dxlibdll_operations.h"
#include "program_name.h"

namespace {

// The line as the player sees it: a control character in a folder's name (a
// newline, say) shown as '?', so the line stays one.
void Report(std::string line) {
    for (char& c : line) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code == 0x7F) {
            c = '?';
        }
    }
    ReportLoadFailure(line);
}

struct Operations {
#define DXLIBDLL_POINTER(name, parameters, arguments, failed) decltype(&::name) name = nullptr;
    DXLIBDLL_OPERATIONS(DXLIBDLL_POINTER)
#undef DXLIBDLL_POINTER
};

Operations Load() {
    std::string reason;
    const OpenedLibrary library = OpenGraphicsLibrary(&reason);
    const std::string prefix = program::ProgramName() + ": cannot load the graphics library: ";
    if (library.handle == nullptr) {
        Report(prefix + reason);
        return {};
    }
    Operations found;
    const char* lacking = nullptr;
#define DXLIBDLL_FIND(name, parameters, arguments, failed)                                     \
    found.name = reinterpret_cast<decltype(found.name)>(FindOperation(library.handle, #name)); \
    if (found.name == nullptr && lacking == nullptr) {                                         \
        lacking = #name;                                                                       \
    }
    DXLIBDLL_OPERATIONS(DXLIBDLL_FIND)
#undef DXLIBDLL_FIND
    if (lacking != nullptr) {
        // Another program's library of the same name, or one of an older game.
        Report(prefix + library.file + " lacks the operation " + lacking);
        return {};
    }
    return found;
}

const Operations& Library() {
    static const Operations operations = Load();
    return operations;
}

}  // namespace

#define DXLIBDLL_FORWARD(name, parameters, arguments, failed)       \
    int32_t name parameters {                                       \
        const auto operation = Library().name;                      \
        return operation != nullptr ? operation arguments : failed; \
    }
DXLIBDLL_OPERATIONS(DXLIBDLL_FORWARD)
#undef DXLIBDLL_FORWARD
