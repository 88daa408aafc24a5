// Image names: the game's Windows names in this system's terms, and the
// places an image name is looked for.
#include "image_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "files.h"

namespace dxsdl {

namespace fs = std::filesystem;

namespace {

// What looking a path up found: it, nothing of that name (or a folder on the
// way missing), or an error that says more than "not there".
enum class Lookup { Found, Missing, Error };

Lookup Probe(const std::string& path, std::string* reason) {
    FileKind kind = FileKind::Missing;
    if (!Classify(path, &kind, reason)) {
        return Lookup::Error;
    }
    if (kind == FileKind::Missing) {
        return Lookup::Missing;
    }
    // A pipe, a device or a socket is refused here, never opened: opening
    // a device may set it going. A folder is told apart when opened.
    if (kind != FileKind::Folder && kind != FileKind::Regular) {
        *reason = NotRegular(kind);
        return Lookup::Error;
    }
    return Lookup::Found;
}

// A link to a folder counts; a plain file of the folder's name does not.
bool IsFolder(const std::string& path) {
    FileKind kind = FileKind::Missing;
    std::string ignored;
    return Classify(path, &kind, &ignored) && kind == FileKind::Folder;
}

}  // namespace

bool IsFileNotFolder(const std::string& path) {
    FileKind kind = FileKind::Missing;
    std::string ignored;
    return Classify(path, &kind, &ignored) && kind != FileKind::Missing && kind != FileKind::Folder;
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
    if (IsAbsolutePath(name)) {
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
    std::vector<std::string> places{""};
    if (!executableDirectory.empty()) {
        places.push_back(executableDirectory);
        // An installed game keeps its art in the data folder of its own
        // install (bin/ or games/ next to share/), wherever that install was
        // put: found from the executable, never from a path fixed at build time.
        places.push_back(executableDirectory + "../share/chaser/");
    }
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
                        " or in " + executableDirectory + "../share/chaser/";
    return {};
}

std::string WorkingDirectory() {
    std::error_code error;
    const fs::path here = fs::current_path(error);
    return error ? std::string("?") : here.generic_string();
}

}  // namespace dxsdl
