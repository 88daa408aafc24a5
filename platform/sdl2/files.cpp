// Files: reading and writing them as the library does on every system, on
// what the system's backend (files_system.h) gives.
#include "files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "files_system.h"

namespace dxsdl {

namespace {

std::string TooLarge(uint64_t size, const std::string& what) {
    return "the file is " + std::to_string(size) + " bytes, too large for " + what;
}

}  // namespace

std::string NotRegular(FileKind kind) {
    switch (kind) {
        case FileKind::Regular:
            return {};
        case FileKind::Folder:
            return "it is a directory, not a file";
        case FileKind::NamedPipe:
            return "it is a named pipe, not a regular file";
        case FileKind::Pipe:
            return "it is a pipe, not a regular file";
        case FileKind::Device:
            return "it is a device, not a regular file";
        default:
            return "it is not a regular file";
    }
}

std::string SystemError(const char* doing, int error) {
    return std::string(doing) + ": " + std::strerror(error);
}

// ---------------------------------------------------------------------------
// Reading

FileReader::~FileReader() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    } else if (fd_ >= 0) {
        CloseFile(fd_);
    }
}

bool FileReader::Open(const std::string& path, uint64_t maxBytes, Kinds kinds, const char* what,
                      std::string* reason) {
    const auto refused = [kinds](FileKind kind) {
        return !(kind == FileKind::NamedPipe && kinds == Kinds::RegularOrPipe) &&
               kind != FileKind::Regular;
    };
    // What is plainly no file is refused unopened: opening a device may do
    // something of its own. An image's name was looked at already, when it
    // was found; every call to the system shows over 408 loads.
    FileKind kind = FileKind::Missing;
    std::string ignored;
    if (kinds == Kinds::RegularOrPipe && Classify(path, &kind, &ignored) &&
        kind != FileKind::Missing && refused(kind)) {
        *reason = NotRegular(kind);
        return false;
    }
    fd_ = OpenToRead(path, reason);
    if (fd_ < 0) {
        return false;
    }
    OpenFileFacts facts;
    if (!FactsOf(fd_, &facts, reason)) {
        return false;
    }
    identity_ = facts.identity;
    if (refused(facts.kind)) {  // it changed since it was looked at
        *reason = NotRegular(facts.kind);
        return false;
    }
    if (facts.kind == FileKind::NamedPipe) {
        pipe_ = true;
        return true;
    }
    size_ = facts.size;
    if (size_ > maxBytes) {
        *reason = TooLarge(size_, what);
        return false;
    }
    return true;
}

std::FILE* FileReader::Stream() {
    if (stream_ == nullptr) {
        stream_ = StreamOf(fd_);
    }
    if (stream_ != nullptr) {
        std::rewind(stream_);
    }
    return stream_;
}

bool FileReader::ReadAt(uint64_t offset, uint8_t* out, size_t count, std::string* reason) {
    if (offset > size_ || count > size_ - offset) {
        *reason = "truncated: the file ends before its pixels do";
        return false;
    }
    return ReadFully(fd_, out, count, offset, reason);
}

bool FileReader::ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason) {
    bytes->resize(static_cast<size_t>(std::min<uint64_t>(count, size_)));
    return ReadAt(0, bytes->data(), bytes->size(), reason);
}

bool FileReader::ReadAll(std::vector<uint8_t>* bytes, std::string* reason) {
    // One read for the rest: some four hundred small files load at start-up,
    // where every extra call shows.
    const size_t done = bytes->size();
    bytes->resize(static_cast<size_t>(size_));
    return ReadAt(done, bytes->data() + done, bytes->size() - done, reason);
}

bool FileReader::ReadNext(uint8_t* out, size_t count, size_t* got, std::string* reason) {
    if (pipe_) {
        return ReadPipeSome(fd_, out, count, &writerCame_, got, reason);
    }
    *got = static_cast<size_t>(std::min<uint64_t>(count, size_ - std::min(next_, size_)));
    if (!ReadFully(fd_, out, *got, next_, reason)) {
        return false;
    }
    next_ += *got;
    return true;
}

// ---------------------------------------------------------------------------
// Writing: taken over only when the start can no longer fail, and written a
// whole line at a time.

FileWriter::FileWriter(FileWriter&& other) noexcept {
    *this = std::move(other);
}

FileWriter& FileWriter::operator=(FileWriter&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        size_ = other.size_;
        identity_ = other.identity_;
        created_ = std::exchange(other.created_, false);
        takenOver_ = other.takenOver_;
    }
    return *this;
}

FileWriter::~FileWriter() {
    Close();
}

void FileWriter::Close() noexcept {
    if (fd_ < 0) {
        return;
    }
    CloseFile(fd_);
    if (created_ && !takenOver_) {
        RemoveFile(path_);
    }
    fd_ = -1;
}

bool FileWriter::Open(const std::string& path, size_t startBytes, std::vector<uint8_t>* start,
                      std::string* reason) {
    Close();
    *this = FileWriter();
    // What is there but no file to write is refused unopened.
    FileKind kind = FileKind::Missing;
    std::string ignored;
    if (Classify(path, &kind, &ignored) && kind != FileKind::Missing) {
        *reason = NotRegular(kind);
        if (!reason->empty()) {
            return false;
        }
    }
    // Open what is there; create it only when nothing is, and never through
    // a link that leads nowhere.
    const char* doing = "cannot open it";
    for (int attempt = 0; attempt < 2 && fd_ < 0; ++attempt) {
        doing = "cannot open it";
        fd_ = OpenToWrite(path, false);
        if (fd_ >= 0 || errno != ENOENT) {
            break;
        }
        doing = "cannot create it";
        fd_ = OpenToWrite(path, true);
        created_ = fd_ >= 0;
        if (fd_ < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        *reason = errno == EEXIST
                      ? std::string("cannot create it: a link of that name leads nowhere")
                      : SystemError(doing, errno);
        return false;
    }
    path_ = path;
    OpenFileFacts facts;
    if (!FactsOf(fd_, &facts, reason)) {
        Close();
        return false;
    }
    identity_ = facts.identity;
    size_ = facts.size;
    *reason = NotRegular(facts.kind);
    if (!reason->empty()) {
        Close();
        return false;
    }
    start->resize(static_cast<size_t>(std::min<uint64_t>(startBytes, size_)));
    if (!ReadFully(fd_, start->data(), start->size(), 0, reason)) {
        Close();
        return false;
    }
    return true;
}

FileWriter::NameState FileWriter::CheckName() const {
    if (IsUnlinked(fd_)) {
        return NameState::Removed;
    }
    return IdentityOfName(path_) == identity_ ? NameState::Same : NameState::Moved;
}

bool FileWriter::Lock(std::string* reason) {
    const int error = LockToWrite(fd_);
    if (error == 0) {
        return true;
    }
    *reason = error == EWOULDBLOCK
                  ? std::string(
                        "another program is writing it (another game recording into "
                        "it, say); it is left as it is")
                  : SystemError("cannot lock it", error);
    return false;
}

bool FileWriter::TakeOver(std::string* reason) {
    if (!CutTo(fd_, 0)) {
        *reason = SystemError("cannot empty it", errno);
        return false;
    }
    takenOver_ = true;
    size_ = 0;
    return true;
}

bool FileWriter::Write(const std::string& bytes, std::string* reason) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int64_t wrote = WriteSome(fd_, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            *reason = wrote < 0 ? std::string(std::strerror(errno)) : "nothing was written";
            // What part of these bytes got in is cut off again, so the file
            // ends with the last whole write (a recording, with a whole line).
            (void)CutTo(fd_, size_);
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    size_ += done;
    return true;
}

}  // namespace dxsdl
