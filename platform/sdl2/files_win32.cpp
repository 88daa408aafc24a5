// Files on Windows, through the C runtime's descriptors.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

// Only what is needed: <windows.h> would rename LoadImage.
#include <windef.h>
// After windef.h, whose types they use.
#include <winbase.h>
#include <winnls.h>

#include "files_system.h"

namespace dxsdl {

namespace fs = std::filesystem;

namespace {

// Paths inside the library are UTF-8, as SDL gives the executable's folder.
// Windows' narrow file calls would read them in the ANSI code page, which
// cannot spell every folder a player's files may be in (a user name in
// another script): files are opened by their wide names.
fs::path NativePath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

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

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

}  // namespace

bool Classify(const std::string& path, FileKind* kind, std::string* reason) {
    std::error_code error;
    const fs::file_status status = fs::status(NativePath(path), error);
    if (status.type() == fs::file_type::not_found) {
        *kind = FileKind::Missing;
        return true;
    }
    if (error) {
        *reason = "cannot look it up: " + error.message();
        return false;
    }
    *kind = fs::is_regular_file(status) ? FileKind::Regular
            : fs::is_directory(status)  ? FileKind::Folder
                                        : FileKind::Other;
    return true;
}

bool IsAbsolutePath(const std::string& name) {
    // /..., C:/..., and //server/share (a '\' became '/').
    return (!name.empty() && name[0] == '/') ||
           (name.size() >= 3 && name[1] == ':' && name[2] == '/');
}

std::string SystemNameToUtf8(const char* name) {
    return AnsiToUtf8(name);
}

bool NamesIgnoreCase() {
    return true;
}

std::string SwitchValue(const char* name) {
    // The ANSI environment would hand over the name as the code page spells
    // it, a "best fit" where it cannot: another file's name.
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    const DWORD wideLength = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (wideLength == 0) {
        return {};
    }
    std::wstring wide(wideLength, L'\0');
    const DWORD got = GetEnvironmentVariableW(wideName.c_str(), wide.data(), wideLength);
    if (got == 0 || got >= wideLength) {
        return {};
    }
    wide.resize(got);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                        nullptr, nullptr);
    return utf8;
}

bool FactsOf(int fd, OpenFileFacts* facts, std::string* reason) {
    const HANDLE handle = HandleOf(fd);
    BY_HANDLE_FILE_INFORMATION information{};
    if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &information) != 0) {
        facts->identity = FileIdentity{
            information.dwVolumeSerialNumber,
            (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow, true};
    }
    switch (GetFileType(handle)) {
        case FILE_TYPE_DISK:
            facts->kind = FileKind::Regular;
            break;
        case FILE_TYPE_PIPE:
            facts->kind = FileKind::Pipe;
            return true;
        case FILE_TYPE_CHAR:
            facts->kind = FileKind::Device;
            return true;
        default:
            facts->kind = FileKind::Other;
            return true;
    }
    const int64_t length = _filelengthi64(fd);
    if (length < 0) {
        *reason = SystemError("cannot read it", errno);
        return false;
    }
    facts->size = static_cast<uint64_t>(length);
    return true;
}

int OpenToRead(const std::string& path, std::string* reason) {
    const int fd = _wopen(NativePath(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        // Windows opens no folder as a file, and says only that access is
        // denied.
        std::error_code error;
        *reason = errno == EACCES && fs::is_directory(NativePath(path), error)
                      ? NotRegular(FileKind::Folder)
                      : SystemError("cannot open it", errno);
    }
    return fd;
}

int OpenToWrite(const std::string& path, bool create) {
    const int flags = _O_RDWR | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT | _O_EXCL : 0);
    return _wopen(NativePath(path).c_str(), flags, _S_IREAD | _S_IWRITE);
}

void CloseFile(int fd) {
    _close(fd);
}

void RemoveFile(const std::string& path) {
    _wunlink(NativePath(path).c_str());
}

std::FILE* StreamOf(int fd) {
    return _fdopen(fd, "rb");
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

bool ReadPipeSome(int, uint8_t*, size_t, bool*, size_t*, std::string* reason) {
    // No named pipe is taken here (FactsOf calls every pipe a Pipe).
    *reason = NotRegular(FileKind::Pipe);
    return false;
}

FileIdentity IdentityOfName(const std::string& path) {
    // Opened for neither reading nor writing: only to be told apart.
    const HANDLE handle = CreateFileW(NativePath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    FileIdentity identity;
    if (GetFileInformationByHandle(handle, &information) != 0) {
        identity = FileIdentity{
            information.dwVolumeSerialNumber,
            (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow, true};
    }
    CloseHandle(handle);
    return identity;
}

bool IsUnlinked(int fd) {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileInformationByHandle(HandleOf(fd), &information) != 0 &&
           information.nNumberOfLinks == 0;
}

int LockToWrite(int fd) {
    // One byte far past any end a file reaches: a second game's lock on it
    // fails, while readers (a replay of the file, a viewer) read on. A share
    // mode that denies writing would also refuse the digests and the
    // recording naming one file in this process before they could be told
    // to be one.
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFFEu;
    at.OffsetHigh = 0x7FFFFFFFu;
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
        return EBADF;
    }
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) !=
        0) {
        return 0;
    }
    const DWORD error = GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_SHARING_VIOLATION ? EWOULDBLOCK : EIO;
}

bool CutTo(int fd, uint64_t size) {
    return _chsize_s(fd, static_cast<int64_t>(size)) == 0 &&
           _lseeki64(fd, static_cast<int64_t>(size), SEEK_SET) >= 0;
}

int64_t WriteSome(int fd, const char* bytes, size_t count) {
    return _write(fd, bytes, static_cast<unsigned>(std::min<size_t>(count, 1u << 30)));
}

}  // namespace dxsdl
