// What each system does to load the graphics library (graphics_library_linux.cpp,
// graphics_library_win32.cpp); graphics_library.cpp makes the twelve
// operations from it.
#pragma once

#include <string>

struct OpenedLibrary {
    void* handle = nullptr;  // null when it could not be loaded
    std::string file;        // the file loaded or tried, for the player
};

// Loads the library, and what it needs, from the program's own folder by
// their full paths, never from the working directory or a search path. On
// failure `reason` says why, naming the file.
OpenedLibrary OpenGraphicsLibrary(std::string* reason);

// The operation of this name in the loaded library, or null.
void* FindOperation(void* library, const char* name);

// Tells the player the one line (without its newline) on standard error and,
// where that goes nowhere they could read it, as the system shows messages.
void ReportLoadFailure(const std::string& line);
