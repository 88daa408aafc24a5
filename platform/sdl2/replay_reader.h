// A recording's lines, written and read; and reading a recording a line at
// a time, a piece of the file at a time, so one of any length plays in the
// same small memory.
//
// A recording is text: the line "chaser-replay 1", then one line per frame,
// "PAD QUIT KEYS": pad 1's bits, 1 when a quit request stands (else 0), and
// the key codes held, ascending, each after a single space. Lines may end in
// CR LF, and the first may begin with a byte-order mark, as editors on
// Windows save text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "input.h"

namespace dxsdl {

inline constexpr std::string_view kReplayHeader = "chaser-replay 1";

// The line a frame's input is recorded as, without its newline.
std::string RecordLine(const FrameInput& frame);
// The input a frame's line (without its newline) holds: what RecordLine
// wrote. False with the reason it is no frame's line.
bool ParseFrameLine(std::string_view line, FrameInput* frame, std::string* reason);

class ReplayReader {
  public:
    // Opens the recording at `path` (a file, or a named pipe) and reads it
    // through once, so a broken one is refused before it plays: false with a
    // reason, and in `*badLine` the line at fault (from 1), or 0 when the
    // file could not be opened or read. A pipe cannot be read twice: what
    // comes through it is kept, up to 64 MiB.
    bool Open(const std::string& path, uint64_t* badLine, std::string* reason);

    enum class Step { Frame, End, Failed };
    // The next frame's input, after Open. Failed, with the line and the
    // reason, when the file can no longer be read or was changed since Open
    // so that a line is no frame's any more.
    Step Next(FrameInput* frame, uint64_t* line, std::string* reason);

    bool IsOpen() const { return file_ != nullptr; }
    FileIdentity Identity() const;

  private:
    enum class LineStep { Line, End, Failed };
    // The next line, without its line end; Failed with the line at fault, or
    // 0 when the file could not be read.
    LineStep NextLine(std::string_view* text, uint64_t* line, std::string* reason);
    bool Refill(std::string* reason);

    std::unique_ptr<FileReader> file_;
    std::vector<uint8_t> window_;  // a piece of the file: its unread bytes are [begin_, end_)
    size_t begin_ = 0;
    size_t end_ = 0;
    bool ended_ = false;         // the file has no more to give than the window holds
    bool fromPipe_ = false;      // what came through a pipe, kept in piped_
    bool keepingPiped_ = false;  // while Open reads the pipe through
    std::vector<uint8_t> piped_;
    size_t pipedNext_ = 0;  // where the playback goes on in piped_
    uint64_t line_ = 0;     // lines read so far
    bool headerRead_ = false;
};

}  // namespace dxsdl
