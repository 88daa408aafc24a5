// Writing files: the recording and the digests, taken over only when the
// start can no longer fail, and written a whole line at a time.
#include "file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace dxsdl {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
int OpenForWriting(const std::string& path, bool create) {
    const int flags = _O_RDWR | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT | _O_EXCL : 0);
    return _wopen(NativePath(path).c_str(), flags, _S_IREAD | _S_IWRITE);
}
#else
int OpenForWriting(const std::string& path, bool create) {
    // O_NONBLOCK: should a named pipe take the name's place after it was
    // looked at, opening it does not wait for a reader.
    const int flags = O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    return open(path.c_str(), flags, 0666);
}
#endif

// Why what is at `path` is no file to write; empty when it is a regular file
// or there is nothing of that name.
std::string NotRegularAt(const std::string& path) {
#ifdef _WIN32
    std::error_code error;
    const fs::file_status status = fs::status(NativePath(path), error);
    return fs::exists(status) ? NotRegular(status) : std::string();
#else
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? NotRegular(status.st_mode) : std::string();
#endif
}

}  // namespace

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
#ifdef _WIN32
    _close(fd_);
    if (created_ && !takenOver_) {
        _wunlink(NativePath(path_).c_str());
    }
#else
    close(fd_);
    if (created_ && !takenOver_) {
        unlink(path_.c_str());
    }
#endif
    fd_ = -1;
}

bool FileWriter::Open(const std::string& path, size_t startBytes, std::vector<uint8_t>* start,
                      std::string* reason) {
    Close();
    *this = FileWriter();
    *reason = NotRegularAt(path);
    if (!reason->empty()) {
        return false;
    }
    // Open what is there; create it only when nothing is, and never through
    // a link that leads nowhere.
    const char* doing = "cannot open it";
    for (int attempt = 0; attempt < 2 && fd_ < 0; ++attempt) {
        doing = "cannot open it";
        fd_ = OpenForWriting(path, false);
        if (fd_ >= 0 || errno != ENOENT) {
            break;
        }
        doing = "cannot create it";
        fd_ = OpenForWriting(path, true);
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
#ifdef _WIN32
    identity_ = IdentityOf(fd_);
    *reason = NotRegular(fd_);
    const int64_t length = reason->empty() ? _filelengthi64(fd_) : 0;
    size_ = length > 0 ? static_cast<uint64_t>(length) : 0;
#else
    struct stat status {};
    if (fstat(fd_, &status) != 0) {
        *reason = SystemError("cannot read it", errno);
        Close();
        return false;
    }
    identity_ = IdentityOf(status);
    *reason = NotRegular(status.st_mode);
    size_ = status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
#endif
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

bool FileWriter::TakeOver(std::string* reason) {
#ifdef _WIN32
    const bool emptied = _chsize_s(fd_, 0) == 0 && _lseeki64(fd_, 0, SEEK_SET) == 0;
#else
    int result;
    do {
        result = ftruncate(fd_, 0);
    } while (result != 0 && errno == EINTR);
    const bool emptied = result == 0;
#endif
    if (!emptied) {
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
#ifdef _WIN32
        const int wrote =
            _write(fd_, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
#else
        const ssize_t wrote = write(fd_, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
#endif
        if (wrote <= 0) {
            *reason = wrote < 0 ? std::string(std::strerror(errno)) : "nothing was written";
            // What part of these bytes got in is cut off again, so the file
            // ends with the last whole write (a recording, with a whole line).
#ifdef _WIN32
            (void)(_chsize_s(fd_, static_cast<int64_t>(size_)) == 0 &&
                   _lseeki64(fd_, static_cast<int64_t>(size_), SEEK_SET) >= 0);
#else
            (void)(ftruncate(fd_, static_cast<off_t>(size_)) == 0 &&
                   lseek(fd_, static_cast<off_t>(size_), SEEK_SET) >= 0);
#endif
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    size_ += done;
    return true;
}
}  // namespace dxsdl
