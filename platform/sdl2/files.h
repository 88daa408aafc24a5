// Reading files: the one reader every file the library reads goes through
// (images and recordings alike), and what it and the writer (file_writer.h)
// look at a file with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

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

// A file opened for reading. Opening never waits (a named pipe with nobody
// writing, a device) and refuses what is not a regular file, or is larger than
// the caller's limit, with a reason; so a name that points somewhere odd costs
// a line, never a hang or a flood of memory. A caller may take pipes as well
// (a recording handed over as `<(command)`): those are read as they come, to
// their end, within the same limit. Closed when dropped.
class FileReader {
  public:
    // RegularOrPipe: a name handed over as it stands (a recording), looked
    // at before it is opened. RegularOnly: an image's name, which
    // FindImageFile looked at already and found to be no pipe or device.
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

    // The whole file (or what comes through the pipe, up to its end), after
    // the start that `bytes` may hold already from ReadStart. False with a
    // reason when the read fails or passes the limit.
    bool ReadAll(std::vector<uint8_t>* bytes, std::string* reason);

  private:
    // False with a reason when the file is over the caller's limit.
    bool SizeWithinLimit(std::string* reason) const;

#ifdef _WIN32
    void* file_ = nullptr;  // a FILE*
#else
    // What comes through a pipe, to its end; ReadAll for a pipe.
    bool ReadPipe(std::vector<uint8_t>* bytes, std::string* reason);

    int fd_ = -1;
    std::FILE* stream_ = nullptr;  // made by Stream(); owns fd_ from then on
#endif
    uint64_t size_ = 0;
    uint64_t maxBytes_ = 0;
    std::string what_;
    bool pipe_ = false;
    FileIdentity identity_;
};

// What the reader and the writer look at a file with.

// "doing: the system's words for `error`".
std::string SystemError(const char* doing, int error);

#ifdef _WIN32
// Paths inside the library are UTF-8; Windows is handed their wide form.
std::filesystem::path NativePath(const std::string& utf8);

// The identity of the open file at `fd`.
FileIdentity IdentityOf(int fd);

// Why the open file at `fd` is not one to read or write as a file; empty for
// a file on a disk.
std::string NotRegular(int fd);

// The same for a file looked at by name: empty for a regular file.
std::string NotRegular(const std::filesystem::file_status& status);
#else
// The identity of a file by its status.
FileIdentity IdentityOf(const struct stat& status);

// Why a file of this mode is not one to read or write as a file; empty for a
// regular file.
std::string NotRegular(mode_t mode);
#endif

// Fills out[0..count) from `offset` of the file; false with a reason when
// it ends first.
bool ReadFully(int fd, uint8_t* out, size_t count, uint64_t offset, std::string* reason);

}  // namespace dxsdl
