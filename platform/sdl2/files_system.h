// What files.cpp asks of the system, on open descriptors: one backend per
// system (files_posix.cpp, files_win32.cpp; the web build's is the POSIX
// one). Only files.cpp and the backends include this. Paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "files.h"

namespace dxsdl {

// What an open file is, its size (0 for what has none) and identity. False
// with a reason when the system cannot say.
struct OpenFileFacts {
    FileKind kind = FileKind::Other;
    uint64_t size = 0;
    FileIdentity identity;
};
bool FactsOf(int fd, OpenFileFacts* facts, std::string* reason);

// Opens to read without waiting (a named pipe with nobody writing); -1 with
// a reason.
int OpenToRead(const std::string& path, std::string* reason);

// Opens to read and write without waiting for a reader; with `create`, only
// a file that does not exist yet, made. -1 with errno set.
int OpenToWrite(const std::string& path, bool create);

void CloseFile(int fd);
void RemoveFile(const std::string& path);

// The open file as a C stream, which owns `fd` from then on; null when it
// cannot be made.
std::FILE* StreamOf(int fd);

// Fills out[0..count) from `offset` of the file; false with a reason when
// it ends first. The one way a file's bytes are read.
bool ReadFully(int fd, uint8_t* out, size_t count, uint64_t offset, std::string* reason);

// Up to `count` bytes of what comes through a named pipe, waiting for them;
// `*got` is 0 once the writer has closed its end. `writerCame` is kept by the
// caller from call to call: opened without waiting, a pipe reads as ended
// until its writer has come.
bool ReadPipeSome(int fd, uint8_t* out, size_t count, bool* writerCame, size_t* got,
                  std::string* reason);

// Takes the open file for this process's writing alone, without waiting: 0,
// EWOULDBLOCK when another process holds it, or another errno. Released when
// the file is closed, however the process ends.
int LockToWrite(int fd);

// Which file `path` names now, without opening it for reading or writing;
// an unknown identity when nothing is there or it cannot be told.
FileIdentity IdentityOfName(const std::string& path);

// Whether no name reaches the open file any more (it was removed while open).
bool IsUnlinked(int fd);

// The file cut to `size` bytes, to be written on from there. False with
// errno set.
bool CutTo(int fd, uint64_t size);

// Writes some of `bytes`: how many, or -1 with errno set.
int64_t WriteSome(int fd, const char* bytes, size_t count);

}  // namespace dxsdl
