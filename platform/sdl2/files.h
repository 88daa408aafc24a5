// Files the library reads: the one reader every file goes through (images and
// recordings alike), and where the game's image names are found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace dxsdl {

// A file opened for reading. Opening never waits (a named pipe with nobody
// writing, a device) and refuses what is not a regular file, or is larger than
// the caller's limit, with a reason; so a name that points somewhere odd costs
// a line, never a hang or a flood of memory. A caller may take pipes as well
// (a recording handed over as `<(command)`): those are read as they come, to
// their end, within the same limit. Closed when dropped.
class FileReader {
  public:
    enum class Kinds { RegularOnly, RegularOrPipe };

    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    // Opens `path` (UTF-8). False with a reason: cannot be opened, a folder,
    // not a regular file (nor a pipe, where pipes are taken), or over
    // `maxBytes`, "too large for `what`" ("an image", "a recording").
    bool Open(const std::string& path, uint64_t maxBytes, Kinds kinds, const char* what,
              std::string* reason);

    // The regular file's size in bytes; 0 for a pipe, whose size is not known.
    uint64_t Size() const { return size_; }
    bool IsPipe() const { return pipe_; }

    // The first `count` bytes, or all there are when the file is shorter:
    // enough to judge a header before the rest is read. Regular files only.
    bool ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason);

    // The whole file (or what comes through the pipe, up to its end), after
    // the start that `bytes` may hold already from ReadStart. False with a
    // reason when the read fails or passes the limit.
    bool ReadAll(std::vector<uint8_t>* bytes, std::string* reason);

  private:
#ifdef _WIN32
    void* file_ = nullptr;  // a FILE*
#else
    int fd_ = -1;
#endif
    uint64_t size_ = 0;
    uint64_t maxBytes_ = 0;
    std::string what_;
    bool pipe_ = false;
};

// A name as the system hands it over (from the environment, say) in the
// library's terms, UTF-8: on Windows it comes in the ANSI code page.
std::string SystemNameToUtf8(const char* name);

// Creates the file at `path` (UTF-8), or empties it, for writing; null with
// errno set when it cannot.
std::FILE* CreateForWriting(const std::string& path);

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
// then set when the name's whole folder is missing from every place looked in,
// so the caller can say so once for all the files of that folder. Asked for
// every image the game loads.
std::string FindImageFile(const std::string& name, const std::string& executableDirectory,
                          std::string* reason, bool* folderMissing);

// The working directory, as this system writes paths ("?" when unknown); for
// messages.
std::string WorkingDirectory();

}  // namespace dxsdl
