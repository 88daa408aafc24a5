#include "image_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "image_header.h"

#ifdef DXLIBDLL_HAVE_PNG
#include <SDL_image.h>
#endif

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dxsdl {
namespace {

namespace fs = std::filesystem;

// No image we accept needs a larger file: 8192 x 8192 at 32 bits is 256 MiB.
constexpr uintmax_t kMaxFileBytes = 300u * 1024u * 1024u;

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

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::path(path), error);
}

bool CheckKindAndSize(bool directory, bool regular, uintmax_t size, std::string* reason) {
    if (directory) {
        *reason = "it is a directory, not an image file";
        return false;
    }
    if (!regular) {
        *reason = "it is not a regular file";
        return false;
    }
    if (size > kMaxFileBytes) {
        *reason = "the file is " + std::to_string(size) + " bytes, too large for an image";
        return false;
    }
    return true;
}

#ifndef _WIN32
struct DescriptorCloser {
    int fd;
    ~DescriptorCloser() { close(fd); }
};

// One open, one fstat on the descriptor and the reads: start-up loads some
// four hundred small files, where every extra look-up by name shows. The open
// does not wait, so a pipe under an image's name is refused instead of
// hanging the game.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* reason) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = std::string("cannot open it: ") + std::strerror(errno);
        return false;
    }
    const DescriptorCloser closer{fd};
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        *reason = std::string("cannot read it: ") + std::strerror(errno);
        return false;
    }
    const uintmax_t size = status.st_size > 0 ? static_cast<uintmax_t>(status.st_size) : 0;
    if (!CheckKindAndSize(S_ISDIR(status.st_mode), S_ISREG(status.st_mode), size, reason)) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
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
#else
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* reason) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path), error);
    if (error) {
        *reason = "cannot read it: " + error.message();
        return false;
    }
    const bool regular = fs::is_regular_file(status);
    const uintmax_t size = regular ? fs::file_size(fs::path(path), error) : 0;
    if (error) {
        *reason = "cannot read it: " + error.message();
        return false;
    }
    if (!CheckKindAndSize(fs::is_directory(status), regular, size, reason)) {
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *reason = std::string("cannot open it: ") + std::strerror(errno);
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    if (size > 0 && std::fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) {
        *reason = "cannot read it: the read stopped early";
        return false;
    }
    return true;
}
#endif

}  // namespace

std::string NormalizeSeparators(const char* name) {
    std::string normalized(name);
    for (char& c : normalized) {
        if (c == '\\') {
            c = '/';
        }
    }
    return normalized;
}

std::string FindImageFile(const std::string& name, const std::string& executableDirectory,
                          std::string* reason) {
    if (name.empty()) {
        *reason = "no file name given";
        return {};
    }
    if (IsAbsolute(name)) {
        if (Exists(name)) {
            return name;
        }
        *reason = "file not found";
        return {};
    }
    if (Exists(name)) {
        return name;
    }
    if (!executableDirectory.empty()) {
        const std::string besideExecutable = executableDirectory + name;
        if (Exists(besideExecutable)) {
            return besideExecutable;
        }
        // An installed game keeps its art in the data folder of its own
        // install (bin/ or games/ next to share/), wherever that install was
        // put: found from the executable, never from a path fixed at build time.
        const std::string dataFolder = executableDirectory + "../share/chaser/";
        const std::string installed = dataFolder + name;
        if (Exists(installed)) {
            return installed;
        }
        *reason = "file not found in the working directory, in " + executableDirectory + " or in " +
                  dataFolder;
        return {};
    }
    *reason = "file not found in the working directory";
    return {};
}

SDL_Surface* DecodeImageBytes(const uint8_t* data, size_t size, std::string* reason) {
    ImageHeader header;
    if (!InspectImageHeader(data, size, &header, reason)) {
        return nullptr;
    }
    // SDL's memory streams count in int; no image we accept comes near that.
    if (size > kMaxFileBytes) {
        *reason = "the file is " + std::to_string(size) + " bytes, too large for an image";
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (stream == nullptr) {
        *reason = std::string("cannot read it: ") + SDL_GetError();
        return nullptr;
    }
    SDL_Surface* surface = nullptr;
    if (header.kind == ImageKind::Bmp) {
        surface = SDL_LoadBMP_RW(stream, 1);
    } else {
#ifdef DXLIBDLL_HAVE_PNG
        surface = IMG_LoadPNG_RW(stream);
        SDL_RWclose(stream);
#else
        SDL_RWclose(stream);
        *reason = "PNG images are not supported by this build of the library";
        return nullptr;
#endif
    }
    if (surface == nullptr) {
        const char* error = SDL_GetError();
        *reason = std::string("cannot decode it: ") + (*error != '\0' ? error : "damaged image");
        return nullptr;
    }
    if (surface->w != header.width || surface->h != header.height) {
        *reason = "damaged image: its pixels do not match its header";
        SDL_FreeSurface(surface);
        return nullptr;
    }
    return surface;
}

SDL_Surface* ReadImageFile(const std::string& path, std::string* reason) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes, reason)) {
        return nullptr;
    }
    return DecodeImageBytes(bytes.data(), bytes.size(), reason);
}

}  // namespace dxsdl
