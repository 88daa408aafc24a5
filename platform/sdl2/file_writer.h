// Writing files: the recording and the digests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files.h"

namespace dxsdl {

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

    // Empties the file to be written from its start. False with a reason.
    bool TakeOver(std::string* reason);

    // Appends `bytes` in one write. False with a reason; the file then ends
    // where it did before.
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
