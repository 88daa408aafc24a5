// Files: what the library asks of them. Every file it reads (images,
// recordings) goes through FileReader, every file it writes (the recording,
// the digests) through FileWriter. The system's side sits behind
// files_system.h, one backend per system (files_posix.cpp, files_win32.cpp),
// chosen by the build; no caller asks which system it runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace dxsdl {

// Which file an open file is, whatever name reached it: its device and inode
// (on Windows, its volume's serial number and its file index). Two names of
// one file (links, relative and absolute spellings) give the same identity;
// an identity that could not be taken equals none.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
    bool known = false;

    bool operator==(const FileIdentity& other) const {
        return known && other.known && device == other.device && file == other.file;
    }
};

// What a name, or an open file, is. NamedPipe: one a reader may wait on for
// its writer (a recording handed over as `<(command)`); Pipe: any other.
enum class FileKind { Missing, Regular, Folder, NamedPipe, Pipe, Device, Other };

// Why a file of this kind is not one to read or write as a file; empty for a
// regular file.
std::string NotRegular(FileKind kind);

// What is at `path` (UTF-8), links followed, looked at without opening it.
// Missing when nothing is there or a folder on the way is missing; false with
// a reason when looking fails otherwise (permission denied, a loop of links).
bool Classify(const std::string& path, FileKind* kind, std::string* reason);

// Whether a name is absolute in this system's terms (/..., and on Windows
// also C:/...); the name's '\' already turned into '/'.
bool IsAbsolutePath(const std::string& name);

// A name as the system hands it over (from the environment, say) in the
// library's terms, UTF-8: on Windows it comes in the ANSI code page.
std::string SystemNameToUtf8(const char* name);

// Whether this system finds a file's name whatever its letter case.
bool NamesIgnoreCase();

// The value of the environment variable `name` in UTF-8, empty when it is not
// set. On Windows it is read as UTF-16, so a file name there reaches the
// file it names whatever the ANSI code page can spell.
std::string SwitchValue(const char* name);

// "doing: the system's words for `error`".
std::string SystemError(const char* doing, int error);

// A file opened for reading. Opening never waits (a named pipe with nobody
// writing, a device) and refuses what is not a regular file, or is larger than
// the caller's limit, with a reason; so a name that points somewhere odd costs
// a line, never a hang or a flood of memory. A caller may take named pipes as
// well (a recording handed over as `<(command)`): those are read a piece at a
// time as they come, to their end. Closed when dropped.
class FileReader {
  public:
    // RegularOrPipe: a name handed over as it stands (a recording), looked
    // at before it is opened. RegularOnly: an image's name, which was looked
    // at already and found to be no pipe or device.
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
    FileIdentity Identity() const { return identity_; }

    // The first `count` bytes, or all there are when the file is shorter:
    // enough to judge a header before the rest is read. Regular files only.
    bool ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason);

    // `count` bytes from `offset` into `out`: rows of an image read where they
    // lie, never the whole file. Regular files only; false with a reason when
    // the file ends first.
    bool ReadAt(uint64_t offset, uint8_t* out, size_t count, std::string* reason);

    // The file as a C stream from its start, for a decoder that reads one
    // (libpng); it stays the reader's, closed with it. Null when it cannot be
    // made. Regular files only.
    std::FILE* Stream();

    // The whole file, after the start that `bytes` may hold already from
    // ReadStart. Regular files only; false with a reason when the read fails.
    bool ReadAll(std::vector<uint8_t>* bytes, std::string* reason);

    // Up to `count` bytes from where the last ReadNext ended (the start, after
    // Open or Rewind); `*got` is 0 at the end. A regular file ends at the size
    // it had when opened; a pipe ends when its writer closes it. False with a
    // reason when the read fails.
    bool ReadNext(uint8_t* out, size_t count, size_t* got, std::string* reason);
    // Back to the start, for ReadNext. Regular files only.
    void Rewind() { next_ = 0; }

  private:
    int fd_ = -1;
    std::FILE* stream_ = nullptr;  // made by Stream(); owns fd_ from then on
    uint64_t size_ = 0;
    bool pipe_ = false;
    bool writerCame_ = false;  // a pipe's, once something came through it
    uint64_t next_ = 0;        // where ReadNext goes on in a regular file
    FileIdentity identity_;
};

// A file the library writes: a recording, or the frames' digests. It is taken
// over in two steps, so that a start that fails changes nothing: Open finds
// the file, or creates it, and reads what it holds without changing it;
// TakeOver, the last step of start-up, empties it. Lines then go to it a
// write each, so a game that ends abruptly leaves every line written before.
// What is not a regular file (a folder, a device, a named pipe, a socket) is
// refused before it is opened, so opening never waits for a reader or wakes
// a device. Closed when dropped; a file that Open created and that was never
// taken over is removed again.
class FileWriter {
  public:
    FileWriter() = default;
    FileWriter(FileWriter&& other) noexcept;
    FileWriter& operator=(FileWriter&& other) noexcept;
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter();

    // Opens `path` (UTF-8), creating it when there is nothing of that name,
    // and reads its first `startBytes` bytes (fewer when it is shorter) into
    // `start`. False with a reason; nothing is left then.
    bool Open(const std::string& path, size_t startBytes, std::vector<uint8_t>* start,
              std::string* reason);

    bool IsOpen() const { return fd_ >= 0; }
    uint64_t Size() const { return size_; }
    FileIdentity Identity() const { return identity_; }

    // Whether the name it was opened by still names it: Moved when the name
    // now leads elsewhere or nowhere (the file renamed, or another put in
    // its place), Removed when no name reaches the file any more.
    enum class NameState { Same, Moved, Removed };
    NameState CheckName() const;

    // Takes the file for this game's writing alone, as long as it is open:
    // a second game naming it is refused here, before it changes anything.
    // False with a reason.
    bool Lock(std::string* reason);

    // Empties the file to be written from its start. False with a reason.
    bool TakeOver(std::string* reason);

    // Appends `bytes` (whole lines) in one write. False with a reason; the
    // file then ends where it did before.
    bool Write(const std::string& bytes, std::string* reason);

  private:
    void Close() noexcept;

    int fd_ = -1;
    std::string path_;
    uint64_t size_ = 0;
    FileIdentity identity_;
    bool created_ = false;  // by Open: removed again unless taken over
    bool takenOver_ = false;
};

}  // namespace dxsdl
