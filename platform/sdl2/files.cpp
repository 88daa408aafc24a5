// Reading files: the one reader every file the library reads goes through
// (images and recordings alike), and what it and the writer look at a file with.
#include "files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#else
// Only what is needed: <windows.h> would rename LoadImage.
#include <io.h>
#include <windef.h>
// After windef.h, whose types it uses.
#include <winbase.h>
#endif

namespace dxsdl {

namespace fs = std::filesystem;

namespace {

std::string TooLarge(uint64_t size, const std::string& what) {
    return "the file is " + std::to_string(size) + " bytes, too large for " + what;
}

}  // namespace

std::string SystemError(const char* doing, int error) {
    return std::string(doing) + ": " + std::strerror(error);
}

#ifdef _WIN32
// Paths inside the library are UTF-8, as SDL gives the executable's folder.
// Windows' narrow file calls would read them in the ANSI code page, which
// cannot spell every folder a player's files may be in (a user name in
// another script): files are opened by their wide names.
fs::path NativePath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

FileIdentity IdentityOf(int fd) {
    BY_HANDLE_FILE_INFORMATION information{};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle, &information) == 0) {
        return {};
    }
    return FileIdentity{information.dwVolumeSerialNumber,
                        (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow,
                        true};
}

// Why the open file at `fd` is not one to read or write as a file; empty for
// a file on a disk.
std::string NotRegular(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    switch (GetFileType(handle)) {
        case FILE_TYPE_DISK:
            return {};
        case FILE_TYPE_PIPE:
            return "it is a pipe, not a regular file";
        case FILE_TYPE_CHAR:
            return "it is a device, not a regular file";
        default:
            return "it is not a regular file";
    }
}

std::string NotRegular(const fs::file_status& status) {
    if (fs::is_regular_file(status)) {
        return {};
    }
    return fs::is_directory(status) ? "it is a directory, not a file" : "it is not a regular file";
}

bool ReadFully(int fd, uint8_t* out, size_t count, uint64_t offset, std::string* reason) {
    if (_lseeki64(fd, static_cast<int64_t>(offset), SEEK_SET) < 0) {
        *reason = "cannot read it: the read stopped early";
        return false;
    }
    size_t done = 0;
    while (done < count) {
        const int got =
            _read(fd, out + done, static_cast<unsigned>(std::min<size_t>(count - done, 1u << 30)));
        if (got <= 0) {
            *reason = "cannot read it: the read stopped early";
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}
#else
FileIdentity IdentityOf(const struct stat& status) {
    return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                        true};
}

// Why a file of this mode is not one to read or write as a file; empty for a
// regular file.
std::string NotRegular(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return "it is a directory, not a file";
    }
    if (S_ISFIFO(mode)) {
        return "it is a named pipe, not a regular file";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "it is a device, not a regular file";
    }
    return "it is not a regular file";
}

bool ReadFully(int fd, uint8_t* out, size_t count, uint64_t offset, std::string* reason) {
    size_t done = 0;
    while (done < count) {
        const ssize_t got = pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            *reason = "cannot read it: the read stopped early";
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}
#endif

// ---------------------------------------------------------------------------
// Reading

#ifndef _WIN32
namespace {

// A pipe that brings nothing for this long is given up on: whoever should
// write into it is not going to.
constexpr int kPipeSilenceMs = 10000;

}  // namespace

FileReader::~FileReader() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
    } else if (fd_ >= 0) {
        close(fd_);
    }
}

bool FileReader::Open(const std::string& path, uint64_t maxBytes, Kinds kinds, const char* what,
                      std::string* reason) {
    maxBytes_ = maxBytes;
    what_ = what;
    const auto refused = [&](mode_t mode) {
        return !(S_ISFIFO(mode) && kinds == Kinds::RegularOrPipe) && !NotRegular(mode).empty();
    };
    // What is plainly no file is refused unopened: opening a device may do
    // something of its own. An image's name was looked at already, by
    // FindImageFile; every call to the system shows over 408 loads.
    struct stat status {};
    if (kinds == Kinds::RegularOrPipe && stat(path.c_str(), &status) == 0 &&
        refused(status.st_mode)) {
        *reason = NotRegular(status.st_mode);
        return false;
    }
    // Without O_NONBLOCK, opening a named pipe waits for a writer, forever.
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        *reason = SystemError("cannot open it", errno);
        return false;
    }
    if (fstat(fd_, &status) != 0) {
        *reason = SystemError("cannot read it", errno);
        return false;
    }
    identity_ = IdentityOf(status);
    if (refused(status.st_mode)) {  // it changed since it was looked at
        *reason = NotRegular(status.st_mode);
        return false;
    }
    if (S_ISFIFO(status.st_mode)) {
        pipe_ = true;
        return true;
    }
    size_ = status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
    return SizeWithinLimit(reason);
}

std::FILE* FileReader::Stream() {
    if (stream_ == nullptr) {
        stream_ = fdopen(fd_, "rb");
    }
    if (stream_ != nullptr) {
        std::rewind(stream_);
    }
    return stream_;
}

bool FileReader::ReadPipe(std::vector<uint8_t>* bytes, std::string* reason) {
    uint8_t buffer[1 << 16];
    // Opened without waiting, a named pipe reads as ended while nothing has
    // opened it to write: its writer may come yet, and is waited for as
    // for what it sends.
    bool writerCame = false;
    for (;;) {
        const ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got > 0) {
            if (bytes->size() + static_cast<size_t>(got) > maxBytes_) {
                *reason = "more than " + std::to_string(maxBytes_) +
                          " bytes came through the pipe, too many for " + what_;
                return false;
            }
            bytes->insert(bytes->end(), buffer, buffer + got);
            continue;
        }
        if (got == 0 && (writerCame || !bytes->empty())) {
            return true;  // the writer closed its end
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *reason = SystemError("cannot read it", errno);
            return false;
        }
        // Until something comes, or the writer that came has gone (POLLHUP
        // comes only once a writer has been there).
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = poll(&waiting, 1, kPipeSilenceMs);
        if (ready == 0) {
            *reason = "nothing came through the pipe for " + std::to_string(kPipeSilenceMs / 1000) +
                      " seconds";
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            *reason = SystemError("cannot read it", errno);
            return false;
        }
        writerCame = writerCame || (ready > 0 && (waiting.revents & POLLHUP) != 0);
    }
}
#else
namespace {

std::FILE* File(void* file) {
    return static_cast<std::FILE*>(file);
}

}  // namespace

FileReader::~FileReader() {
    if (file_ != nullptr) {
        std::fclose(File(file_));
    }
}

bool FileReader::Open(const std::string& path, uint64_t maxBytes, Kinds, const char* what,
                      std::string* reason) {
    maxBytes_ = maxBytes;
    what_ = what;
    std::error_code error;
    const fs::path native = NativePath(path);
    const fs::file_status status = fs::status(native, error);
    if (error) {
        *reason = "cannot read it: " + error.message();
        return false;
    }
    *reason = NotRegular(status);
    if (!reason->empty()) {
        return false;
    }
    file_ = _wfopen(native.c_str(), L"rb");
    if (file_ == nullptr) {
        *reason = SystemError("cannot open it", errno);
        return false;
    }
    const int fd = _fileno(File(file_));
    identity_ = IdentityOf(fd);
    *reason = NotRegular(fd);
    if (!reason->empty()) {
        return false;
    }
    const int64_t length = _filelengthi64(fd);
    if (length < 0) {
        *reason = SystemError("cannot read it", errno);
        return false;
    }
    size_ = static_cast<uint64_t>(length);
    return SizeWithinLimit(reason);
}

std::FILE* FileReader::Stream() {
    std::rewind(File(file_));
    return File(file_);
}
#endif

bool FileReader::SizeWithinLimit(std::string* reason) const {
    if (size_ > maxBytes_) {
        *reason = TooLarge(size_, what_);
        return false;
    }
    return true;
}

bool FileReader::ReadAt(uint64_t offset, uint8_t* out, size_t count, std::string* reason) {
    if (offset > size_ || count > size_ - offset) {
        *reason = "truncated: the file ends before its pixels do";
        return false;
    }
#ifdef _WIN32
    if (_fseeki64(File(file_), static_cast<int64_t>(offset), SEEK_SET) != 0 ||
        std::fread(out, 1, count, File(file_)) != count) {
        *reason = "cannot read it: the read stopped early";
        return false;
    }
    return true;
#else
    return ReadFully(fd_, out, count, offset, reason);
#endif
}

bool FileReader::ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason) {
    bytes->resize(static_cast<size_t>(std::min<uint64_t>(count, size_)));
    return ReadAt(0, bytes->data(), bytes->size(), reason);
}

bool FileReader::ReadAll(std::vector<uint8_t>* bytes, std::string* reason) {
#ifndef _WIN32
    if (pipe_) {
        return ReadPipe(bytes, reason);
    }
#endif
    // One read for the rest: some four hundred small files load at start-up,
    // where every extra call shows.
    const size_t done = bytes->size();
    bytes->resize(static_cast<size_t>(size_));
    return ReadAt(done, bytes->data() + done, bytes->size() - done, reason);
}

}  // namespace dxsdl
