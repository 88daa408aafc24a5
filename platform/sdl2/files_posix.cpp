// Files on POSIX systems (Linux, and the web page's file system).
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files_system.h"

namespace dxsdl {

namespace {

// The one place a file's mode is read.
FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Folder;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::NamedPipe;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return FileKind::Device;
    }
    return FileKind::Other;
}

// A pipe that brings nothing for this long is given up on: whoever should
// write into it is not going to.
constexpr int kPipeSilenceMs = 10000;

}  // namespace

bool Classify(const std::string& path, FileKind* kind, std::string* reason) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        *kind = KindOf(status.st_mode);
        return true;
    }
    switch (errno) {
        case ENOENT:
        case ENOTDIR:
            *kind = FileKind::Missing;
            return true;
        case EACCES:
            *reason = "a folder on its path cannot be read (permission denied)";
            return false;
        case ELOOP:
            *reason = "its path runs into a loop of symbolic links";
            return false;
        default:
            *reason = std::string("cannot look it up: ") + std::strerror(errno);
            return false;
    }
}

bool IsAbsolutePath(const std::string& name) {
    return !name.empty() && name[0] == '/';
}

std::string SystemNameToUtf8(const char* name) {
    return name;
}

bool NamesIgnoreCase() {
    return false;
}

std::string SwitchValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool FactsOf(int fd, OpenFileFacts* facts, std::string* reason) {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        *reason = SystemError("cannot read it", errno);
        return false;
    }
    facts->kind = KindOf(status.st_mode);
    facts->size = status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
    facts->identity = FileIdentity{static_cast<uint64_t>(status.st_dev),
                                   static_cast<uint64_t>(status.st_ino), true};
    return true;
}

int OpenToRead(const std::string& path, std::string* reason) {
    // Without O_NONBLOCK, opening a named pipe waits for a writer, forever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *reason = SystemError("cannot open it", errno);
    }
    return fd;
}

int OpenToWrite(const std::string& path, bool create) {
    // O_NONBLOCK: should a named pipe take the name's place after it was
    // looked at, opening it does not wait for a reader.
    const int flags = O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    return open(path.c_str(), flags, 0666);
}

void CloseFile(int fd) {
    close(fd);
}

void RemoveFile(const std::string& path) {
    unlink(path.c_str());
}

std::FILE* StreamOf(int fd) {
    return fdopen(fd, "rb");
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

bool ReadPipeSome(int fd, uint8_t* out, size_t count, bool* writerCame, size_t* got,
                  std::string* reason) {
    for (;;) {
        const ssize_t received = read(fd, out, count);
        if (received > 0) {
            *writerCame = true;
            *got = static_cast<size_t>(received);
            return true;
        }
        if (received == 0 && *writerCame) {
            *got = 0;
            return true;  // the writer closed its end
        }
        if (received < 0 && errno == EINTR) {
            continue;
        }
        if (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *reason = SystemError("cannot read it", errno);
            return false;
        }
        // Until something comes, or the writer that came has gone (POLLHUP
        // comes only once a writer has been there).
        pollfd waiting{fd, POLLIN, 0};
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
        *writerCame = *writerCame || (ready > 0 && (waiting.revents & POLLHUP) != 0);
    }
}

FileIdentity IdentityOfName(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return {};
    }
    return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                        true};
}

bool IsUnlinked(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && status.st_nlink == 0;
}

int LockToWrite(int fd) {
    // flock: held by the open file, so neither a second descriptor of ours
    // nor a child's copy lets it go, as closing any of them would an fcntl
    // lock.
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno == EAGAIN ? EWOULDBLOCK : errno;
}

bool CutTo(int fd, uint64_t size) {
    int result;
    do {
        result = ftruncate(fd, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0 && lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}

int64_t WriteSome(int fd, const char* bytes, size_t count) {
    ssize_t wrote;
    do {
        wrote = write(fd, bytes, count);
    } while (wrote < 0 && errno == EINTR);
    return wrote;
}

}  // namespace dxsdl
