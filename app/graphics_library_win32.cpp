// Loading the graphics library on Windows: SDL2.dll and then the library, each
// by its full path in the executable's own folder, with only that folder and
// the system's own for what they need in turn; never the working directory or
// PATH first. SDL2.dll is loaded on its own first so that a missing or broken
// one is named, rather than the library that needs it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "graphics_library.h"
#include "program_name.h"

namespace {

std::wstring ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// In the ANSI code page, as the game's other lines are.
std::string Narrow(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                            size, nullptr, nullptr);
    }
    return narrow;
}

std::wstring Widen(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size);
    }
    return wide;
}

// The system's words for an error, without the line end it puts after them;
// `subject` stands for the "%1" some of them hold.
std::string SystemReason(DWORD error, const std::string& subject = "it") {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    for (size_t at = reason.find("%1"); at != std::string::npos;
         at = reason.find("%1", at + subject.size())) {
        reason.replace(at, 2, subject);
    }
    return reason + " (error " + std::to_string(error) + ")";
}

// The module at this full path; null with the reason, naming the file, when
// it is missing or cannot be loaded (cut short, garbage, of another machine).
HMODULE Load(const std::wstring& path, std::string* reason) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const DWORD missing = GetLastError();
    const std::string name = Narrow(path.substr(path.find_last_of(L'\\') + 1));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *reason = Narrow(path) + ": " + SystemReason(missing, name);
        return nullptr;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *reason = Narrow(path) + " is a folder, not the library's file";
        return nullptr;
    }
    // No dialog from the system for a broken file: the reason is ours to tell.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    const DWORD error = GetLastError();
    SetErrorMode(errorMode);
    if (module == nullptr) {
        *reason = Narrow(path) + ": " + SystemReason(error, name);
    }
    return module;
}

// Whether the player can read standard error: not when it goes nowhere and
// there is no console (started from a shortcut or Explorer as a window
// program), nor when the console is this program's alone (a double-click on
// it opens one that closes as the program ends). Never so for a console or a
// script that started it, where a message box would wait for a click.
bool StandardErrorUnseen() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) {
        return GetConsoleWindow() == nullptr;
    }
    DWORD mode = 0;
    DWORD processes[2];
    return GetConsoleMode(error, &mode) != 0 && GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace

OpenedLibrary OpenGraphicsLibrary(std::string* reason) {
    OpenedLibrary library;
    const std::wstring folder = ExecutableFolder();
    if (folder.empty()) {
        *reason = "the program's own folder is unknown (" + SystemReason(GetLastError()) + ")";
        return library;
    }
    if (Load(folder + L"\\" + Widen(DXLIBDLL_NEEDS), reason) == nullptr) {
        return library;
    }
    const std::wstring path = folder + L"\\" + Widen(DXLIBDLL_FILE);
    library.file = Narrow(path);
    library.handle = Load(path, reason);
    return library;
}

void* FindOperation(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ReportLoadFailure(const std::string& line) {
    const std::string whole = line + "\n";
    std::fwrite(whole.data(), 1, whole.size(), stderr);
    std::fflush(stderr);
    if (StandardErrorUnseen()) {
        MessageBoxW(nullptr, Widen(line).c_str(), Widen(program::ProgramName()).c_str(),
                    MB_OK | MB_ICONERROR);
    }
}
