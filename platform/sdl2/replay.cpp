// Recording and replaying a game, and a digest of every frame shown.
//
// The game is deterministic: the same input gives the same frames. A
// recording holds the input the game saw each frame (written as the frame
// begins, at dxProcessMessage), so playing it back gives the same frames, and
// the digests of those frames show it: on every platform, one line per frame.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "replay.h"

#include "files.h"
#include "messages.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace dxsdl {

namespace {

// Codes of dxCheckHitKey, and the largest pad bits, that a line may hold.
constexpr uint32_t kKeyCodes = 256;
constexpr uint32_t kMaxPadBits = 255;

// A decimal number at `pos` of at most `limit`, in its one spelling (no sign,
// no leading zero); `pos` moves past it.
bool ReadNumber(std::string_view line, size_t* pos, uint32_t limit, uint32_t* value) {
    const size_t start = *pos;
    size_t end = start;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9' && end - start < 10) {
        ++end;
    }
    if (end == start || (line[start] == '0' && end - start > 1)) {
        return false;
    }
    uint64_t number = 0;
    for (size_t i = start; i < end; ++i) {
        number = number * 10 + static_cast<uint64_t>(line[i] - '0');
    }
    if (number > limit) {
        return false;
    }
    *value = static_cast<uint32_t>(number);
    *pos = end;
    return true;
}

bool ParseFrame(std::string_view line, ReplayScript* script, std::string* reason) {
    ReplayFrame frame;
    frame.firstKey = static_cast<uint32_t>(script->keys.size());
    size_t pos = 0;
    uint32_t pad = 0;
    if (!ReadNumber(line, &pos, kMaxPadBits, &pad)) {
        *reason = "the pad bits are not a number from 0 to 255";
        return false;
    }
    uint32_t quit = 0;
    if (pos >= line.size() || line[pos] != ' ' || (++pos, !ReadNumber(line, &pos, 1, &quit))) {
        *reason = "the quit flag after the pad bits is not 0 or 1";
        return false;
    }
    uint32_t previous = 0;
    while (pos < line.size()) {
        uint32_t code = 0;
        if (line[pos] != ' ' || (++pos, !ReadNumber(line, &pos, kKeyCodes - 1, &code))) {
            *reason = "a key code is not a number from 1 to 255 after a single space";
            return false;
        }
        if (ScancodeForKeyCode(static_cast<int32_t>(code)) == SDL_SCANCODE_UNKNOWN) {
            *reason = "key code " + std::to_string(code) + " names no key";
            return false;
        }
        if (code <= previous) {
            *reason = "the key codes are not in ascending order";
            return false;
        }
        previous = code;
        script->keys.push_back(static_cast<uint8_t>(code));
    }
    frame.padBits = static_cast<uint8_t>(pad);
    frame.quit = quit == 1;
    frame.keyCount = static_cast<uint16_t>(script->keys.size() - frame.firstKey);
    script->frames.push_back(frame);
    return true;
}

// Hours of play take a few megabytes; past the limit it is no recording,
// and reading on would only fill memory.
constexpr uint64_t kMaxReplayBytes = uint64_t{64} << 20;

// Frames reserved at once for a recording: an hour and more of play. A longer
// one grows as its lines are read, so the memory follows the frames read, not
// the newlines a file holds (64 MiB of empty lines would reserve 512 MiB).
constexpr size_t kReservedFrames = size_t{1} << 18;

// Enough of a file to see its first line, the longest a recording or digest
// file begins with.
constexpr size_t kFirstLineBytes = 64;

// How often a file written is checked to be still at its name: once a second
// of play.
constexpr uint64_t kNameCheckLines = 60;

// One line and its newline in a single write, so that a recording or the
// digests of a game that ends abruptly hold every frame up to it. After a
// failed write the file is written no more: a recording with a line missing
// in its middle would play as another game.
void WriteLine(LineFile& out, std::string line) {
    if (!out.file.IsOpen() || out.failed) {
        return;
    }
    line += '\n';
    std::string why;
    if (!out.file.Write(line, &why)) {
        out.failed = true;
        // What the file holds now, said as it is: on a disk full from the
        // start it holds nothing at all.
        const uint64_t frames = out.lines - std::min(out.lines, out.headerLines);
        const std::string kept =
            out.lines == 0 ? "nothing could be written to it, and it is left empty"
            : frames == 0  ? "it holds its first line and no frame"
                           : "it keeps the " + std::to_string(frames) + " frames written before";
        ReportLine("cannot write to \"" + out.name + "\": " + why + "; " + kept);
        return;
    }
    ++out.lines;
    // Now and then (a stat a second), whether the name still leads to the
    // file written: a file removed or renamed over while the game plays
    // would take its frames with it unsaid.
    if (out.lines % kNameCheckLines != 0) {
        return;
    }
    const FileWriter::NameState state = out.file.CheckName();
    if (state == FileWriter::NameState::Removed) {
        out.failed = true;
        ReportLine("\"" + out.name + "\" was removed while the game wrote it: its " +
                   std::to_string(out.lines) + " lines are lost with it, and no more are written");
    } else if (state == FileWriter::NameState::Moved && !out.moved) {
        out.moved = true;
        ReportLine("\"" + out.name +
                   "\" is no longer the file this game writes (it was renamed, or another took "
                   "its name): the lines go on into the file it opened, under that file's new "
                   "name");
    }
}

// "N HASH": a frame number from 1 and 16 lower-case hex digits.
bool IsDigestLine(std::string_view line) {
    const auto only = [](std::string_view part, std::string_view digits) {
        return !part.empty() && part.find_first_not_of(digits) == std::string_view::npos;
    };
    const size_t space = line.find(' ');
    return space != std::string_view::npos && space <= 20 && line[0] != '0' &&
           only(line.substr(0, space), "0123456789") && line.size() == space + 17 &&
           only(line.substr(space + 1), "0123456789abcdef");
}

// Whether a file of `size` bytes that begins with `start` is one we
// may replace: empty, a recording, or digests, told by its first line.
bool MayReplace(const std::vector<uint8_t>& start, uint64_t size) {
    if (size == 0) {
        return true;
    }
    const std::string_view text(reinterpret_cast<const char*>(start.data()), start.size());
    const size_t newline = text.find('\n');
    if (newline == std::string_view::npos && size > start.size()) {
        return false;  // a first line longer than any of ours
    }
    std::string_view line = text.substr(0, newline);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line == kReplayHeader || IsDigestLine(line);
}

// Opens a file to write for `switchName` without changing it; false with the
// line to show.
bool OpenLineFile(LineFile& out, const std::string& name, const char* switchName,
                  std::string* reason) {
    std::vector<uint8_t> start;
    std::string why;
    if (!out.file.Open(name, kFirstLineBytes, &start, &why)) {
        *reason = switchName + std::string(" \"") + name + "\": " + why;
        return false;
    }
    if (!MayReplace(start, out.file.Size())) {
        *reason = switchName + std::string(" \"") + name +
                  "\": it holds something other than a recording or digests, which this would "
                  "replace; name a new file, or remove this one first";
        return false;
    }
    out.name = name;
    return true;
}

}  // namespace

bool ParseReplay(std::string_view text, ReplayScript* script, size_t* badLine,
                 std::string* reason) {
    script->frames.clear();
    script->keys.clear();
    size_t lineNumber = 0;
    try {
        // One frame a line: reserved at once, a long recording is not copied
        // again and again as it grows.
        script->frames.reserve(std::min(
            static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), kReservedFrames));
        // A byte-order mark, as some editors on Windows save text with, is no
        // part of the first line.
        constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
        size_t start =
            text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
        while (start < text.size() || lineNumber == 0) {
            ++lineNumber;
            const size_t newline = text.find('\n', start);
            const size_t end = newline == std::string_view::npos ? text.size() : newline;
            std::string_view line = text.substr(start, end - start);
            // Lines may end in CR LF, as an editor on Windows may save them.
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            start = newline == std::string_view::npos ? text.size() : newline + 1;
            // The game writes a line and its newline in one write: a line
            // without one was cut short, and what it holds may read as
            // another frame ("0 0 2" of "0 0 205").
            const bool cutShort = newline == std::string_view::npos && !line.empty() &&
                                  (lineNumber > 1 || kReplayHeader.starts_with(line));
            if (cutShort) {
                *badLine = lineNumber;
                *reason = "cut short, it does not end with a newline";
                return false;
            }
            if (lineNumber == 1) {
                if (line != kReplayHeader) {
                    *badLine = 1;
                    *reason = "not a recording (the first line is not \"" +
                              std::string(kReplayHeader) + "\")";
                    return false;
                }
                continue;
            }
            if (!ParseFrame(line, script, reason)) {
                *badLine = lineNumber;
                return false;
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        *badLine = std::max<size_t>(lineNumber, 1);
        *reason = "not enough memory for its frames";
        std::vector<ReplayFrame>().swap(script->frames);
        std::vector<uint8_t>().swap(script->keys);
        return false;
    }
}

std::string RecordLine(const FrameInput& frame) {
    std::string line = std::to_string(frame.padBits);
    line += frame.quit ? " 1" : " 0";
    for (uint32_t code = 1; code < kKeyCodes; ++code) {
        if (KeyHeld(frame, static_cast<int32_t>(code)) == 1) {
            line += ' ';
            line += std::to_string(code);
        }
    }
    return line;
}

uint64_t FrameDigest(const SDL_Surface* backBuffer) {
    const auto width = static_cast<size_t>(backBuffer->w);
    const auto rowBytes = width * 2;
    const auto* pixels = static_cast<const uint8_t*>(backBuffer->pixels);
    const auto pitch = static_cast<size_t>(backBuffer->pitch);
    const bool asStored =
        backBuffer->format->BytesPerPixel == 2 && std::endian::native == std::endian::little;
    if (asStored && pitch == rowBytes) {
        return XXH3_64bits(pixels, rowBytes * static_cast<size_t>(backBuffer->h));
    }
    XXH3_state_t state;
    XXH3_64bits_reset(&state);
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < backBuffer->h; ++y) {
        const uint8_t* in = pixels + static_cast<size_t>(y) * pitch;
        if (asStored) {
            XXH3_64bits_update(&state, in, rowBytes);
            continue;
        }
        for (size_t x = 0; x < width; ++x) {
            uint32_t rgb565 = 0;
            if (backBuffer->format->BytesPerPixel == 2) {
                uint16_t pixel;
                std::memcpy(&pixel, in + 2 * x, 2);
                rgb565 = pixel;
            } else {  // XRGB8888: the top bits of each channel
                uint32_t pixel;
                std::memcpy(&pixel, in + 4 * x, 4);
                rgb565 =
                    ((pixel >> 8) & 0xF800u) | ((pixel >> 5) & 0x07E0u) | ((pixel >> 3) & 0x1Fu);
            }
            row[2 * x] = static_cast<uint8_t>(rgb565 & 0xFF);
            row[2 * x + 1] = static_cast<uint8_t>(rgb565 >> 8);
        }
        XXH3_64bits_update(&state, row.data(), rowBytes);
    }
    return XXH3_64bits_digest(&state);
}

RecordingSwitches SwitchesFromEnvironment() {
    RecordingSwitches switches;
    switches.recordFile = SwitchValue("DXLIBDLL_RECORD");
    switches.replayFile = SwitchValue("DXLIBDLL_REPLAY");
    switches.digestFile = SwitchValue("DXLIBDLL_DIGESTS");
    const std::string unpaced = SwitchValue("DXLIBDLL_UNPACED");
    switches.unpaced = unpaced == "1";
    if (!unpaced.empty() && unpaced != "0" && unpaced != "1") {
        ReportLine("DXLIBDLL_UNPACED=\"" + unpaced + "\" is neither 0 nor 1; frames are paced");
    }
    return switches;
}

bool OpenRecordings(Recordings& recordings, const RecordingSwitches& switches,
                    std::string* reason) {
    recordings = Recordings{};
    recordings.unpaced = switches.unpaced;
    // The replay first: it is read whole before anything is opened to be
    // written, so a broken one fails before a file is touched.
    if (!switches.replayFile.empty()) {
        // A pipe is taken too, so a recording can come from a command
        // (DXLIBDLL_REPLAY=<(unxz -c game.replay.xz)).
        FileReader file;
        std::vector<uint8_t> bytes;
        std::string why;
        size_t badLine = 1;
        bool read = false;
        try {
            read = file.Open(switches.replayFile, kMaxReplayBytes, FileReader::Kinds::RegularOrPipe,
                             "a recording", &why) &&
                   file.ReadAll(&bytes, &why);
        } catch (const std::bad_alloc&) {
            why = "not enough memory to read it (" + std::to_string(file.Size()) + " bytes)";
        }
        // A file that cannot be opened or read has no line to name.
        if (!read) {
            *reason = "replay \"" + switches.replayFile + "\": " + why;
            recordings = Recordings{};
            return false;
        }
        if (!ParseReplay(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                &recordings.script, &badLine, &why)) {
            *reason = "replay \"" + switches.replayFile + "\", line " + std::to_string(badLine) +
                      ": " + why;
            recordings = Recordings{};
            return false;
        }
        recordings.replaying = true;
        recordings.replayIdentity = file.Identity();
    }
    // Opened, not yet emptied: whatever fails from here on leaves them as
    // they were (TakeOverRecordings empties them).
    if ((!switches.recordFile.empty() &&
         !OpenLineFile(recordings.record, switches.recordFile, "recording", reason)) ||
        (!switches.digestFile.empty() &&
         !OpenLineFile(recordings.digests, switches.digestFile, "digest file", reason))) {
        CloseRecordings(recordings);
        return false;
    }
    // Two switches naming one file, by links or spellings as different as
    // they come: writing it would destroy the recording played, or mix the
    // recording with the digests.
    const struct {
        const LineFile& file;
        FileIdentity other;
        const char* names;
        const std::string& otherName;
        const char* harm;
    } clashes[] = {
        {recordings.record, recordings.replayIdentity, "DXLIBDLL_RECORD and DXLIBDLL_REPLAY",
         switches.replayFile, "the recording played would be overwritten"},
        {recordings.digests, recordings.replayIdentity, "DXLIBDLL_DIGESTS and DXLIBDLL_REPLAY",
         switches.replayFile, "the recording played would be overwritten"},
        {recordings.digests, recordings.record.file.Identity(),
         "DXLIBDLL_DIGESTS and DXLIBDLL_RECORD", switches.recordFile,
         "the digests would be mixed into the recording"},
    };
    for (const auto& clash : clashes) {
        if (clash.file.file.IsOpen() && clash.file.file.Identity() == clash.other) {
            *reason = std::string(clash.names) + " name the same file (\"" + clash.file.name +
                      "\" and \"" + clash.otherName + "\"): " + clash.harm;
            CloseRecordings(recordings);
            return false;
        }
    }
    // Another game writing one of them (started a second earlier with the
    // same name) would have its lines mixed with ours: it keeps its file.
    const struct {
        LineFile& file;
        const char* switchName;
    } written[] = {{recordings.record, "recording"}, {recordings.digests, "digest file"}};
    for (const auto& out : written) {
        std::string why;
        if (out.file.file.IsOpen() && !out.file.file.Lock(&why)) {
            *reason = out.switchName + std::string(" \"") + out.file.name + "\": " + why;
            CloseRecordings(recordings);
            return false;
        }
    }
    return true;
}

bool TakeOverRecordings(Recordings& recordings, std::string* reason) {
    for (LineFile* out : {&recordings.record, &recordings.digests}) {
        std::string why;
        if (out->file.IsOpen() && !out->file.TakeOver(&why)) {
            *reason = "\"" + out->name + "\": " + why;
            return false;
        }
    }
    recordings.record.headerLines = 1;
    WriteLine(recordings.record, std::string(kReplayHeader));
    return true;
}

void CloseRecordings(Recordings& recordings) {
    // Closed in the reverse of the order they were opened: a file both name
    // was created, if at all, by the first, which then removes it when no
    // other handle holds it open (Windows removes no open file).
    recordings.digests = LineFile{};
    recordings.record = LineFile{};
    recordings = Recordings{};
}

void TakeFrameInput(Recordings& recordings, FrameInput& frame) {
    if (recordings.replaying) {
        // Keys and pads come from the recording alone. A live quit request
        // (the window closed, Ctrl-C, Escape, Back + Start on a pad, the
        // page's quit button) still stops the playback: the person watching
        // it can always end it. It is the watcher's request, not a frame of
        // the recording.
        const bool liveQuit = frame.quit || frame.held[SDL_SCANCODE_ESCAPE];
        frame = FrameInput{};
        if (recordings.nextFrame < recordings.script.frames.size()) {
            const ReplayFrame& line = recordings.script.frames[recordings.nextFrame++];
            for (uint32_t i = 0; i < line.keyCount; ++i) {
                const uint8_t code = recordings.script.keys[line.firstKey + i];
                frame.held[static_cast<size_t>(ScancodeForKeyCode(code))] = true;
            }
            frame.padBits = line.padBits;
            frame.quit = liveQuit || line.quit;
        } else {
            // After the last line a quit request stands.
            frame.quit = true;
        }
    }
    if (recordings.record.file.IsOpen() && !recordings.record.failed) {
        WriteLine(recordings.record, RecordLine(frame));
    }
}

void DigestFrame(Recordings& recordings, const SDL_Surface* backBuffer) {
    if (!recordings.digests.file.IsOpen() || recordings.digests.failed) {
        return;
    }
    ++recordings.shownFrames;
    char hex[17];
    const uint64_t digest = FrameDigest(backBuffer);
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        hex[i] = kDigits[(digest >> (60 - 4 * i)) & 0xF];
    }
    hex[16] = '\0';
    WriteLine(recordings.digests, std::to_string(recordings.shownFrames) + " " + hex);
}

}  // namespace dxsdl
