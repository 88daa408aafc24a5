// Files: the one reader every file the library reads goes through, the one
// writer of the files it writes, and the places an image name is looked for.
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
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windef.h>
// After windef.h, whose types they use.
#include <winbase.h>
#include <winnls.h>
#endif

namespace dxsdl {

namespace fs = std::filesystem;

namespace {

std::string TooLarge(uint64_t size, const std::string& what) {
    return "the file is " + std::to_string(size) + " bytes, too large for " + what;
}

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

// Fills out[0..count) from `offset` of the file.
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

}  // namespace

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
    if (size_ > maxBytes_) {
        *reason = TooLarge(size_, what_);
        return false;
    }
    return true;
}

bool FileReader::ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason) {
    bytes->resize(static_cast<size_t>(std::min<uint64_t>(count, size_)));
    return ReadFully(fd_, bytes->data(), bytes->size(), 0, reason);
}

bool FileReader::ReadAt(uint64_t offset, uint8_t* out, size_t count, std::string* reason) {
    if (offset > size_ || count > size_ - offset) {
        *reason = "truncated: the file ends before its pixels do";
        return false;
    }
    return ReadFully(fd_, out, count, offset, reason);
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

bool FileReader::ReadAll(std::vector<uint8_t>* bytes, std::string* reason) {
    if (!pipe_) {
        // One read for the rest: some four hundred small files load at
        // start-up, where every extra call shows.
        const size_t done = bytes->size();
        bytes->resize(static_cast<size_t>(size_));
        return ReadFully(fd_, bytes->data() + done, bytes->size() - done, done, reason);
    }
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
    if (fs::is_directory(status)) {
        *reason = "it is a directory, not a file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        *reason = "it is not a regular file";
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
    if (_fseeki64(File(file_), static_cast<int64_t>(offset), SEEK_SET) != 0 ||
        std::fread(out, 1, count, File(file_)) != count) {
        *reason = "cannot read it: the read stopped early";
        return false;
    }
    return true;
}

bool FileReader::ReadStart(size_t count, std::vector<uint8_t>* bytes, std::string* reason) {
    bytes->resize(static_cast<size_t>(std::min<uint64_t>(count, size_)));
    return ReadAt(0, bytes->data(), bytes->size(), reason);
}

std::FILE* FileReader::Stream() {
    std::rewind(File(file_));
    return File(file_);
}

bool FileReader::ReadAll(std::vector<uint8_t>* bytes, std::string* reason) {
    const size_t done = bytes->size();
    bytes->resize(static_cast<size_t>(size_));
    return ReadAt(done, bytes->data() + done, bytes->size() - done, reason);
}
#endif

// ---------------------------------------------------------------------------
// Writing

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
    if (!fs::exists(status) || fs::is_regular_file(status)) {
        return {};
    }
    return fs::is_directory(status) ? "it is a directory, not a file" : "it is not a regular file";
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
#ifdef _WIN32
    const bool read = _lseeki64(fd_, 0, SEEK_SET) == 0 &&
                      _read(fd_, start->data(), static_cast<unsigned>(start->size())) ==
                          static_cast<int>(start->size());
    if (!read) {
        *reason = "cannot read it: the read stopped early";
    }
#else
    const bool read = ReadFully(fd_, start->data(), start->size(), 0, reason);
#endif
    if (!read) {
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
        // A pipe, a device or a socket is refused here, never opened: opening
        // a device may set it going. A folder is told apart when opened.
        if (!S_ISDIR(status.st_mode) && !NotRegular(status.st_mode).empty()) {
            *reason = NotRegular(status.st_mode);
            return Lookup::Error;
        }
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

// A link to a folder counts; a plain file of the folder's name does not.
bool IsFolder(const std::string& path) {
#ifndef _WIN32
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
#else
    std::error_code error;
    return fs::is_directory(NativePath(path), error);
#endif
}

}  // namespace

bool IsFileNotFolder(const std::string& path) {
#ifndef _WIN32
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
#else
    std::error_code error;
    return fs::exists(NativePath(path), error) && !IsFolder(path);
#endif
}

std::string SystemNameToUtf8(const char* name) {
#ifdef _WIN32
    return AnsiToUtf8(name);
#else
    return name;
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
                *folderMissing = !FolderOf(name).empty() && !IsFolder(FolderOf(name));
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
                     std::none_of(places.begin(), places.end(), [&](const std::string& place) {
                         return IsFolder(place + folder);
                     });
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
