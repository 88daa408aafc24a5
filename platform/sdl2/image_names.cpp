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

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
               return lower(x) == lower(y);
           });
}

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
    if (NamesIgnoreCase()) {
        return {};  // a name in another case was found already
    }
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
