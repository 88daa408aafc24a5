// Image names: the game's Windows names in this system's terms, and the
// places an image name is looked for; the image table's policy.
#pragma once

#include <string>

namespace dxsdl {

// The game names its files as Windows paths (resource\bmp\00.bmp): the name in
// this system's terms, every '\' turned into '/'. On Windows the name, in the
// ANSI code page as Windows' own narrow calls take it, becomes UTF-8 first, as
// a trail byte of a two-byte character may be a backslash.
std::string FileNameFromGame(const char* name);

// The folder part of a name ("resource/bmp" of "resource/bmp/00.bmp"), empty
// for a name without one.
std::string FolderOf(const std::string& name);

// Where a name refers to: an absolute path as it stands; a relative one in the
// working directory if anything of that name is there, else in
// `executableDirectory` (ending in a separator, or empty for none) if it is
// there, else in the install's data folder, `executableDirectory`
// ../share/chaser/. Empty with a reason when none has it; `folderMissing` is
// then set when the name's whole folder is missing from every place looked in
// (or is a plain file there), so the caller can say so once for all the files
// of that folder. Asked for every image the game loads.
std::string FindImageFile(const std::string& name, const std::string& executableDirectory,
                          std::string* reason, bool* folderMissing);

// The install's data folder for a program in `executableDirectory`
// (/usr/share/chaser for /usr/games/), for messages.
std::string InstallDataFolder(const std::string& executableDirectory);

// How the relative `name` is spelt in `place` (a folder ending in a
// separator, empty for the working directory) when letter case is ignored:
// art copied from Windows may differ in case alone. Empty when nothing there
// matches, and on Windows, where names are found whatever their case.
std::string FindIgnoringCase(const std::string& place, const std::string& name);

// "; "<path>" differs from it only in letter case" for the first place a name
// looked for there matches when case is ignored; empty when none does.
std::string CaseHint(const std::string& name, const std::string& executableDirectory);

// Whether `path` names something that is not a folder, such as a plain file
// where a folder is looked for; for messages.
bool IsFileNotFolder(const std::string& path);

// The working directory, as this system writes paths ("?" when unknown); for
// messages.
std::string WorkingDirectory();

}  // namespace dxsdl
