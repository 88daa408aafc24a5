// Files: the one reader every file the library reads goes through, and the
// places an image name is looked for.
#include "files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#else
// Only the code page conversions: <windows.h> would rename LoadImage.
#include <windef.h>
#include <winnls.h>
#endif

namespace dxsdl {

namespace fs = std::filesystem;

namespace {

std::string TooLarge(uint64_t size, const std::string& what) {
    return "the file is " + std::to_string(size) + " bytes, too large for " + what;
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading

#ifndef _WIN32
namespace {

// A pipe that brings nothing for this long is given up on: whoever should
// write into it is not going to.
constexpr int kPipeSilenceMs = 10000;

std::string OpenError(int error) {
    return std::string("cannot open it: ") + std::strerror(error);
}

}  // namespace

FileReader::~FileReader() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool FileReader::Open(const std::string& path, uint64_t maxBytes, Kinds kinds, const char* what,
                      std::string* reason) {
    maxBytes_ = maxBytes;
    what_ = what;
    // Without O_NONBLOCK, opening a named pipe waits for a writer, forever.
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        *reason = OpenError(errno);
        return false;
    }
    struct stat status {};
    if (fstat(fd_, &status) != 0) {
        *reason = std::string("cannot read it: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        *reason = "it is a directory, not a file";
        return false;
    }
    if (S_ISFIFO(status.st_mode) && kinds == Kinds::RegularOrPipe) {
        pipe_ = true;
        return true;
    }
    if (!S_ISREG(status.st_mode)) {
        *reason = S_ISFIFO(status.st_mode) ? "it is a named pipe, not a regular file"
                  : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)
                      ? "it is a device, not a regular file"
                      : "it is not a regular file";
        return false;
    }
    size_ = status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
    if (size_ > maxBytes_) {
        *reason = TooLarge(size_, what_);
        return false;
    }
    return true;
}

namespace {

// Fills bytes[done..] from the same offset of the file.
bool ReadFrom(int fd, std::vector<uint8_t>* bytes, size_t done, std::string* reason) {
    while (done < bytes->size()) {
        const ssize_t got =
            pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
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

}  // namespace

bool FileReader::ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason) {
    bytes->resize(static_cast<size_t>(std::min<uint64_t>(count, size_)));
    return ReadFrom(fd_, bytes, 0, reason);
}

bool FileReader::ReadAll(std::vector<uint8_t>* bytes, std::string* reason) {
    if (!pipe_) {
        // One read for the rest: some four hundred small files load at
        // start-up, where every extra call shows.
        const size_t done = bytes->size();
        bytes->resize(static_cast<size_t>(size_));
        return ReadFrom(fd_, bytes, done, reason);
    }
    uint8_t buffer[1 << 16];
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
        if (got == 0) {
            return true;  // the writer closed its end (or there never was one)
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            *reason = std::string("cannot read it: ") + std::strerror(errno);
            return false;
        }
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = poll(&waiting, 1, kPipeSilenceMs);
        if (ready == 0) {
            *reason = "nothing came through the pipe for " + std::to_string(kPipeSilenceMs / 1000) +
                      " seconds";
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            *reason = std::string("cannot read it: ") + std::strerror(errno);
            return false;
        }
    }
}
#else
namespace {

// Paths inside the library are UTF-8, as SDL gives the executable's folder.
// Windows' narrow file calls would read them in the ANSI code page, which
// cannot spell every folder a player's files may be in (a user name in
// another script): files are opened by their wide names.
fs::path NativePath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

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
    if (fs::is_directory(status)) {
        *reason = "it is a directory, not a file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        *reason = "it is not a regular file";
        return false;
    }
    size_ = fs::file_size(native, error);
    if (error) {
        *reason = "cannot read it: " + error.message();
        return false;
    }
    if (size_ > maxBytes_) {
        *reason = TooLarge(size_, what_);
        return false;
    }
    file_ = _wfopen(native.c_str(), L"rb");
    if (file_ == nullptr) {
        *reason = std::string("cannot open it: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool FileReader::ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason) {
    bytes->resize(static_cast<size_t>(std::min<uint64_t>(count, size_)));
    if (std::fseek(File(file_), 0, SEEK_SET) != 0 ||
        std::fread(bytes->data(), 1, bytes->size(), File(file_)) != bytes->size()) {
        *reason = "cannot read it: the read stopped early";
        return false;
    }
    return true;
}

bool FileReader::ReadAll(std::vector<uint8_t>* bytes, std::string* reason) {
    const size_t done = bytes->size();
    bytes->resize(static_cast<size_t>(size_));
    if (done < bytes->size() && (std::fseek(File(file_), static_cast<long>(done), SEEK_SET) != 0 ||
                                 std::fread(bytes->data() + done, 1, bytes->size() - done,
                                            File(file_)) != bytes->size() - done)) {
        *reason = "cannot read it: the read stopped early";
        return false;
    }
    return true;
}
#endif

// ---------------------------------------------------------------------------
// Names and places

namespace {

bool IsAbsolute(const std::string& name) {
    if (!name.empty() && name[0] == '/') {
        return true;
    }
#ifdef _WIN32
    // C:/..., and //server/share (a '\' became '/').
    if (name.size() >= 3 && name[1] == ':' && name[2] == '/') {
        return true;
    }
#endif
    return false;
}

#ifdef _WIN32
// A name in the ANSI code page as UTF-8; unchanged when it does not convert.
std::string AnsiToUtf8(const char* name) {
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (wideLength <= 0) {
        return name;
    }
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), wideLength);
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return name;
    }
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(length - 1));  // without the terminator
    return utf8;
}
#endif

// What looking a path up found: it, nothing of that name (or a folder on the
// way missing), or an error that says more than "not there".
enum class Lookup { Found, Missing, Error };

Lookup Probe(const std::string& path, std::string* reason) {
#ifndef _WIN32
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        return Lookup::Found;
    }
    switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return Lookup::Missing;
        case EACCES:
            *reason = "a folder on its path cannot be read (permission denied)";
            return Lookup::Error;
        case ELOOP:
            *reason = "its path runs into a loop of symbolic links";
            return Lookup::Error;
        default:
            *reason = std::string("cannot look it up: ") + std::strerror(errno);
            return Lookup::Error;
    }
#else
    std::error_code error;
    if (fs::exists(NativePath(path), error)) {
        return Lookup::Found;
    }
    if (!error || error == std::errc::no_such_file_or_directory) {
        return Lookup::Missing;
    }
    *reason = "cannot look it up: " + error.message();
    return Lookup::Error;
#endif
}

bool Exists(const std::string& path) {
    std::string ignored;
    return Probe(path, &ignored) == Lookup::Found;
}

}  // namespace

std::string SystemNameToUtf8(const char* name) {
#ifdef _WIN32
    return AnsiToUtf8(name);
#else
    return name;
#endif
}

std::FILE* CreateForWriting(const std::string& path) {
#ifdef _WIN32
    return _wfopen(NativePath(path).c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

std::string FileNameFromGame(const char* name) {
    std::string normalized = SystemNameToUtf8(name);
    std::replace(normalized.begin(), normalized.end(), '\\', '/');
    return normalized;
}

std::string FolderOf(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : name.substr(0, slash);
}

std::string FindImageFile(const std::string& name, const std::string& executableDirectory,
                          std::string* reason, bool* folderMissing) {
    *folderMissing = false;
    if (name.empty()) {
        *reason = "no file name given";
        return {};
    }
    if (IsAbsolute(name)) {
        switch (Probe(name, reason)) {
            case Lookup::Found:
                return name;
            case Lookup::Missing:
                *reason = "file not found";
                *folderMissing = !FolderOf(name).empty() && !Exists(FolderOf(name));
                return {};
            case Lookup::Error:
                return {};
        }
    }
    std::vector<std::string> places{""};
    if (!executableDirectory.empty()) {
        places.push_back(executableDirectory);
        // An installed game keeps its art in the data folder of its own
        // install (bin/ or games/ next to share/), wherever that install was
        // put: found from the executable, never from a path fixed at build time.
        places.push_back(executableDirectory + "../share/chaser/");
    }
    std::string firstError;
    for (const std::string& place : places) {
        std::string error;
        const Lookup found = Probe(place + name, &error);
        if (found == Lookup::Found) {
            return place + name;
        }
        if (found == Lookup::Error && firstError.empty()) {
            firstError = error;
        }
    }
    if (!firstError.empty()) {
        *reason = firstError;
        return {};
    }
    const std::string folder = FolderOf(name);
    *folderMissing = !folder.empty() &&
                     std::none_of(places.begin(), places.end(),
                                  [&](const std::string& place) { return Exists(place + folder); });
    *reason = executableDirectory.empty()
                  ? "file not found in the working directory"
                  : "file not found in the working directory, in " + executableDirectory +
                        " or in " + executableDirectory + "../share/chaser/";
    return {};
}

std::string WorkingDirectory() {
    std::error_code error;
    const fs::path here = fs::current_path(error);
    return error ? std::string("?") : here.generic_string();
}

}  // namespace dxsdl
