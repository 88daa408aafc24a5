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
    // The replay first: it is read through before anything is opened to be
    // written, so a broken one fails before a file is touched.
    if (!switches.replayFile.empty()) {
        uint64_t badLine = 0;
        std::string why;
        bool read = false;
        try {
            read = recordings.replay.Open(switches.replayFile, &badLine, &why);
        } catch (const std::bad_alloc&) {
            why = "not enough memory to read it";
        }
        if (!read) {
            // A file that cannot be opened or read has no line to name.
            *reason = "replay \"" + switches.replayFile + "\"" +
                      (badLine == 0 ? "" : ", line " + std::to_string(badLine)) + ": " + why;
            recordings = Recordings{};
            return false;
        }
        recordings.replayName = switches.replayFile;
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
        {recordings.record, recordings.replay.Identity(), "DXLIBDLL_RECORD and DXLIBDLL_REPLAY",
         switches.replayFile, "the recording played would be overwritten"},
        {recordings.digests, recordings.replay.Identity(), "DXLIBDLL_DIGESTS and DXLIBDLL_REPLAY",
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
    if (recordings.replay.IsOpen()) {
        // Keys and pads come from the recording alone. A live quit request
        // (the window closed, Ctrl-C, Escape, Back + Start on a pad, the
        // page's quit button) still stops the playback: the person watching
        // it can always end it. It is the watcher's request, not a frame of
        // the recording.
        const bool liveQuit = frame.quit || frame.held[SDL_SCANCODE_ESCAPE];
        frame = FrameInput{};
        if (!recordings.replayEnded) {
            uint64_t line = 0;
            std::string why;
            const ReplayReader::Step step = recordings.replay.Next(&frame, &line, &why);
            if (step == ReplayReader::Step::Failed) {
                // Read through at start-up, it was changed or cut since.
                ReportLine("replay \"" + recordings.replayName + "\"" +
                           (line == 0 ? "" : ", line " + std::to_string(line)) + ": " + why +
                           "; the playback stops here");
            }
            recordings.replayEnded = step != ReplayReader::Step::Frame;
        }
        if (recordings.replayEnded) {
            // After the last line a quit request stands.
            frame = FrameInput{};
            frame.quit = true;
        }
        frame.quit = frame.quit || liveQuit;
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
