// File names: the game's Windows names in this system's terms, and the
// places an image name is looked for.
#include "file_names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "files.h"

#ifdef _WIN32
// The code page conversions only: <windows.h> would rename LoadImage.
#include <windef.h>
#include <winnls.h>  // after windef.h, whose types it uses
#else
#include <sys/stat.h>
#endif

namespace dxsdl {

namespace fs = std::filesystem;

namespace {

bool IsAbsolute(const std::string& name) {
    if (!name.empty() && name[0] == '/') {
        return true;
    }
#ifdef _WIN32
    // C:/..., and //server/share (a '\' became '/').
    if (name.size() >= 3 && name[1] == ':' && name[2] == '/') {
        return true;
    }
#endif
    return false;
}

#ifdef _WIN32
// A name in the ANSI code page as UTF-8; unchanged when it does not convert.
std::string AnsiToUtf8(const char* name) {
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (wideLength <= 0) {
        return name;
    }
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), wideLength);
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return name;
    }
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(length - 1));  // without the terminator
    return utf8;
}
#endif

// What looking a path up found: it, nothing of that name (or a folder on the
// way missing), or an error that says more than "not there".
enum class Lookup { Found, Missing, Error };

Lookup Probe(const std::string& path, std::string* reason) {
#ifndef _WIN32
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        // A pipe, a device or a socket is refused here, never opened: opening
        // a device may set it going. A folder is told apart when opened.
        std::string notRegular = NotRegular(status.st_mode);
        if (!S_ISDIR(status.st_mode) && !notRegular.empty()) {
            *reason = std::move(notRegular);
            return Lookup::Error;
        }
        return Lookup::Found;
    }
    switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return Lookup::Missing;
        case EACCES:
            *reason = "a folder on its path cannot be read (permission denied)";
            return Lookup::Error;
        case ELOOP:
            *reason = "its path runs into a loop of symbolic links";
            return Lookup::Error;
        default:
            *reason = std::string("cannot look it up: ") + std::strerror(errno);
            return Lookup::Error;
    }
#else
    std::error_code error;
    if (fs::exists(NativePath(path), error)) {
        return Lookup::Found;
    }
    if (!error || error == std::errc::no_such_file_or_directory) {
        return Lookup::Missing;
    }
    *reason = "cannot look it up: " + error.message();
    return Lookup::Error;
#endif
}

// A link to a folder counts; a plain file of the folder's name does not.
bool IsFolder(const std::string& path) {
#ifndef _WIN32
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
#else
    std::error_code error;
    return fs::is_directory(NativePath(path), error);
#endif
}

#ifndef _WIN32
bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
               return lower(x) == lower(y);
           });
}
#endif

// The places a relative name is looked for, in order: the working directory,
// beside the program, the install's data folder.
std::vector<std::string> PlacesFor(const std::string& executableDirectory) {
    std::vector<std::string> places{""};
    if (!executableDirectory.empty()) {
        places.push_back(executableDirectory);
        // An installed game keeps its art in the data folder of its own
        // install (bin/ or games/ next to share/), wherever that install was
        // put: found from the executable, never from a path fixed at build time.
        places.push_back(executableDirectory + "../share/chaser/");
    }
    return places;
}

}  // namespace

std::string FindIgnoringCase(const std::string& place, const std::string& name) {
#ifdef _WIN32
    // Names there are found whatever their case.
    (void)place;
    (void)name;
    return {};
#else
    std::string found = place;
    for (size_t start = 0;;) {
        const size_t slash = name.find('/', start);
        const std::string part =
            name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        bool matched = part.empty() || part == "." || part == "..";
        if (matched) {
            found += part;
        }
        std::error_code error;
        fs::directory_iterator entry(found.empty() ? fs::path(".") : fs::path(found), error);
        for (; !matched && !error && entry != fs::directory_iterator(); entry.increment(error)) {
            const std::string spelt = entry->path().filename().string();
            if (SameIgnoringCase(spelt, part)) {
                found += spelt;
                matched = true;
            }
        }
        if (!matched) {
            return {};
        }
        if (slash == std::string::npos) {
            return found;
        }
        found += '/';
        start = slash + 1;
    }
#endif
}

std::string InstallDataFolder(const std::string& executableDirectory) {
    std::string bin = executableDirectory;
    while (bin.size() > 1 && (bin.back() == '/' || bin.back() == '\\')) {
        bin.pop_back();
    }
    const size_t slash = bin.find_last_of("/\\");
    return slash == std::string::npos ? executableDirectory + "../share/chaser"
                                      : bin.substr(0, slash) + "/share/chaser";
}

bool IsFileNotFolder(const std::string& path) {
#ifndef _WIN32
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
#else
    std::error_code error;
    return fs::exists(NativePath(path), error) && !IsFolder(path);
#endif
}

std::string SystemNameToUtf8(const char* name) {
#ifdef _WIN32
    return AnsiToUtf8(name);
#else
    return name;
#endif
}

std::string FileNameFromGame(const char* name) {
    std::string normalized = SystemNameToUtf8(name);
    std::replace(normalized.begin(), normalized.end(), '\\', '/');
    return normalized;
}

std::string FolderOf(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : name.substr(0, slash);
}

std::string FindImageFile(const std::string& name, const std::string& executableDirectory,
                          std::string* reason, bool* folderMissing) {
    *folderMissing = false;
    if (name.empty()) {
        *reason = "no file name given";
        return {};
    }
    if (IsAbsolute(name)) {
        switch (Probe(name, reason)) {
            case Lookup::Found:
                return name;
            case Lookup::Missing:
                *reason = "file not found";
                *folderMissing = !FolderOf(name).empty() && !IsFolder(FolderOf(name));
                return {};
            case Lookup::Error:
                return {};
        }
    }
    const std::vector<std::string> places = PlacesFor(executableDirectory);
    std::string firstError;
    for (const std::string& place : places) {
        std::string error;
        const Lookup found = Probe(place + name, &error);
        if (found == Lookup::Found) {
            return place + name;
        }
        if (found == Lookup::Error && firstError.empty()) {
            firstError = error;
        }
    }
    if (!firstError.empty()) {
        *reason = firstError;
        return {};
    }
    const std::string folder = FolderOf(name);
    *folderMissing = !folder.empty() &&
                     std::none_of(places.begin(), places.end(), [&](const std::string& place) {
                         return IsFolder(place + folder);
                     });
    *reason = executableDirectory.empty()
                  ? "file not found in the working directory"
                  : "file not found in the working directory, in " + executableDirectory +
                        " or in " + InstallDataFolder(executableDirectory) + "/";
    if (!*folderMissing) {
        *reason += CaseHint(name, executableDirectory);
    }
    return {};
}

std::string CaseHint(const std::string& name, const std::string& executableDirectory) {
    for (const std::string& place : PlacesFor(executableDirectory)) {
        const std::string spelt = FindIgnoringCase(place, name);
        if (!spelt.empty()) {
            return "; \"" + spelt + "\" differs from it only in letter case";
        }
    }
    return {};
}

std::string WorkingDirectory() {
    std::error_code error;
    const fs::path here = fs::current_path(error);
    return error ? std::string("?") : here.generic_string();
}

}  // namespace dxsdl
