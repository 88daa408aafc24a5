// Reading a recording a piece at a time: once through when the game starts,
// so a broken recording never plays as something else, and again, frame by
// frame, as it plays.
#include "replay_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace dxsdl {

namespace {

// Codes of dxCheckHitKey, and the largest pad bits, that a line may hold.
constexpr uint32_t kKeyCodes = 256;
constexpr uint32_t kMaxPadBits = 255;

// The piece of the file held at once.
constexpr size_t kWindowBytes = size_t{64} << 10;

// A frame's line is at most some 1,030 bytes ("255 1" and every key code);
// a longer run without a newline is no recording's, and is not read on.
constexpr size_t kLongestLine = 4096;

// What a pipe may send to be kept for playing: hours of play.
constexpr size_t kMaxPipedBytes = size_t{64} << 20;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string NotARecording() {
    return "not a recording (the first line is not \"" + std::string(kReplayHeader) + "\")";
}

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

}  // namespace

bool ParseFrameLine(std::string_view line, FrameInput* frame, std::string* reason) {
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
        const SDL_Scancode key = ScancodeForKeyCode(static_cast<int32_t>(code));
        if (key == SDL_SCANCODE_UNKNOWN) {
            *reason = "key code " + std::to_string(code) + " names no key";
            return false;
        }
        if (code <= previous) {
            *reason = "the key codes are not in ascending order";
            return false;
        }
        previous = code;
        frame->held[static_cast<size_t>(key)] = true;
    }
    frame->padBits = static_cast<int32_t>(pad);
    frame->quit = quit == 1;
    return true;
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

bool ReplayReader::Open(const std::string& path, uint64_t* badLine, std::string* reason) {
    *this = ReplayReader{};
    *badLine = 0;
    file_ = std::make_unique<FileReader>();
    // No file is too long: it is read a piece at a time. A pipe is taken too,
    // so a recording can come from a command
    // (DXLIBDLL_REPLAY=<(unxz -c game.replay.xz)).
    if (!file_->Open(path, std::numeric_limits<uint64_t>::max(), FileReader::Kinds::RegularOrPipe,
                     "a recording", reason)) {
        file_.reset();
        return false;
    }
    window_.resize(kWindowBytes);
    fromPipe_ = file_->IsPipe();
    keepingPiped_ = fromPipe_;
    Step step = Step::Frame;
    while (step == Step::Frame) {
        FrameInput frame;
        step = Next(&frame, badLine, reason);
    }
    if (step == Step::Failed) {
        *this = ReplayReader{};
        return false;
    }
    // From the start again, to play.
    begin_ = end_ = 0;
    ended_ = false;
    line_ = 0;
    headerRead_ = false;
    keepingPiped_ = false;
    if (!fromPipe_) {
        file_->Rewind();
    }
    return true;
}

FileIdentity ReplayReader::Identity() const {
    return file_ != nullptr ? file_->Identity() : FileIdentity{};
}

ReplayReader::Step ReplayReader::Next(FrameInput* frame, uint64_t* line, std::string* reason) {
    std::string_view text;
    if (!headerRead_) {
        const LineStep first = NextLine(&text, line, reason);
        if (first == LineStep::Failed) {
            return Step::Failed;
        }
        if (first == LineStep::End || text != kReplayHeader) {
            *line = 1;
            *reason = NotARecording();
            return Step::Failed;
        }
        headerRead_ = true;
    }
    switch (NextLine(&text, line, reason)) {
        case LineStep::End:
            return Step::End;
        case LineStep::Failed:
            return Step::Failed;
        case LineStep::Line:
            break;
    }
    if (!ParseFrameLine(text, frame, reason)) {
        *line = line_;
        return Step::Failed;
    }
    return Step::Frame;
}

ReplayReader::LineStep ReplayReader::NextLine(std::string_view* text, uint64_t* line,
                                              std::string* reason) {
    for (;;) {
        const uint8_t* unread = window_.data() + begin_;
        const size_t count = end_ - begin_;
        const auto* newline = static_cast<const uint8_t*>(std::memchr(unread, '\n', count));
        if (newline == nullptr && !(ended_ && count > 0) && count < kLongestLine) {
            if (ended_) {
                return LineStep::End;
            }
            if (!Refill(reason)) {
                *line = 0;
                return LineStep::Failed;
            }
            continue;
        }
        *line = ++line_;
        if (newline == nullptr && !ended_) {
            *reason = line_ == 1 ? NotARecording() : "longer than any frame's line";
            return LineStep::Failed;
        }
        const size_t length = newline != nullptr ? static_cast<size_t>(newline - unread) : count;
        *text = std::string_view(reinterpret_cast<const char*>(unread), length);
        begin_ += newline != nullptr ? length + 1 : length;
        if (line_ == 1 && text->starts_with(kByteOrderMark)) {
            text->remove_prefix(kByteOrderMark.size());
        }
        if (!text->empty() && text->back() == '\r') {
            text->remove_suffix(1);
        }
        if (newline == nullptr) {
            // The game writes a line and its newline in one write: a line
            // without one was cut short, and what it holds may read as
            // another frame ("0 0 2" of "0 0 205").
            *reason = line_ > 1 || kReplayHeader.starts_with(*text)
                          ? "cut short, it does not end with a newline"
                          : NotARecording();
            return LineStep::Failed;
        }
        return LineStep::Line;
    }
}

bool ReplayReader::Refill(std::string* reason) {
    // The unread bytes to the front, the rest of the window filled.
    std::memmove(window_.data(), window_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    uint8_t* space = window_.data() + end_;
    const size_t room = window_.size() - end_;
    size_t got = 0;
    if (fromPipe_ && !keepingPiped_) {
        got = std::min(room, piped_.size() - pipedNext_);
        if (got > 0) {
            std::memcpy(space, piped_.data() + pipedNext_, got);
            pipedNext_ += got;
        }
    } else {
        if (!file_->ReadNext(space, room, &got, reason)) {
            return false;
        }
        if (keepingPiped_) {
            if (piped_.size() + got > kMaxPipedBytes) {
                *reason = "more than " + std::to_string(kMaxPipedBytes) +
                          " bytes came through the pipe, too many to keep for playing; a "
                          "recording that long plays from its file";
                return false;
            }
            piped_.insert(piped_.end(), space, space + got);
        }
    }
    ended_ = got == 0;
    end_ += got;
    return true;
}

}  // namespace dxsdl
