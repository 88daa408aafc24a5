// Images: finding and reading the file the game names, checking its header
// before any pixel is decoded, decoding, converting to the back buffer's
// format with the opaque runs found, and the table of loaded images by handle.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "library.h"

#ifdef DXLIBDLL_HAVE_PNG
#include <SDL_image.h>
#endif

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dxsdl {

// ---------------------------------------------------------------------------
// Headers

namespace {

uint32_t Le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t Be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
int32_t SignedLe32(const uint8_t* p) {
    const uint32_t bits = Le32(p);
    int32_t value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// BMP layout: a 14-byte file header (the pixels' offset at 10), then an info
// header whose first 4 bytes give its size. The 12-byte form has 16-bit
// width and height; every later form 32-bit ones, a negative height meaning
// the rows are stored top row first.
bool InspectBmp(const uint8_t* data, size_t size, ImageHeader* header, std::string* reason) {
    if (size < 18) {
        *reason = "truncated BMP header";
        return false;
    }
    const uint32_t infoSize = Le32(data + 14);
    int64_t width;
    int64_t height;
    uint32_t bitsPerPixel;
    uint32_t compression = 0;
    if (infoSize == 12) {
        if (size < 26) {
            *reason = "truncated BMP header";
            return false;
        }
        width = Le16(data + 18);
        height = Le16(data + 20);
        bitsPerPixel = Le16(data + 24);
    } else if (infoSize >= 16) {
        if (size < 14 + 16 || (infoSize >= 20 && size < 14 + 20)) {
            *reason = "truncated BMP header";
            return false;
        }
        width = SignedLe32(data + 18);
        height = SignedLe32(data + 22);
        if (height < 0) {
            height = -height;
        }
        bitsPerPixel = Le16(data + 28);
        if (infoSize >= 20) {
            compression = Le32(data + 30);
        }
    } else {
        *reason = "not a BMP image (unknown header size " + std::to_string(infoSize) + ")";
        return false;
    }
    if (width <= 0 || height <= 0) {
        *reason = "the image has no pixels (" + std::to_string(width) + " x " +
                  std::to_string(height) + ")";
        return false;
    }
    header->kind = ImageKind::Bmp;
    header->width = width;
    header->height = height;
    if (width > kMaxImageSide || height > kMaxImageSide) {
        return true;  // the caller refuses it by size
    }
    // Uncompressed pixels (plain or with colour masks) have a known size: a
    // file shorter than that lost its end.
    constexpr uint32_t kRgb = 0;
    constexpr uint32_t kBitFields = 3;
    constexpr uint32_t kAlphaBitFields = 6;
    if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields) {
        const int64_t rowBytes = ((width * bitsPerPixel + 31) / 32) * 4;
        const int64_t needed = static_cast<int64_t>(Le32(data + 10)) + rowBytes * height;
        if (static_cast<int64_t>(size) < needed) {
            *reason = "truncated: its pixels need " + std::to_string(needed) +
                      " bytes, the file has " + std::to_string(size);
            return false;
        }
    }
    return true;
}

struct CrcTable {
    uint32_t entries[256];
};
constexpr CrcTable MakeCrcTable() {
    CrcTable table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table.entries[n] = c;
    }
    return table;
}
constexpr CrcTable kCrc = MakeCrcTable();

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        c = kCrc.entries[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

namespace {

// PNG layout: the 8-byte signature, then chunks (32-bit big-endian length,
// 4-byte type, data, CRC of type and data), IHDR first with the 32-bit
// big-endian width and height, IEND last. Every chunk is checked whole here,
// so a cut or damaged file is refused with our own message before the PNG
// decoder sees it (and prints its own).
bool InspectPng(const uint8_t* data, size_t size, ImageHeader* header, std::string* reason) {
    if (size < 24) {
        *reason = "truncated PNG header";
        return false;
    }
    if (std::memcmp(data + 12, "IHDR", 4) != 0) {
        *reason = "damaged PNG: it does not start with its IHDR chunk";
        return false;
    }
    header->kind = ImageKind::Png;
    header->width = Be32(data + 16);
    header->height = Be32(data + 20);
    if (header->width == 0 || header->height == 0) {
        *reason = "the image has no pixels (" + std::to_string(header->width) + " x " +
                  std::to_string(header->height) + ")";
        return false;
    }
    if (header->width > kMaxImageSide || header->height > kMaxImageSide) {
        return true;  // the caller refuses it by size
    }
    size_t at = 8;
    for (;;) {
        if (size - at < 12) {
            *reason = "truncated: the PNG ends before its IEND chunk";
            return false;
        }
        const uint32_t length = Be32(data + at);
        if (length > size - at - 12) {
            *reason = "truncated: a PNG chunk runs past the end of the file";
            return false;
        }
        const uint8_t* type = data + at + 4;
        if (Crc32(type, 4 + static_cast<size_t>(length)) != Be32(type + 4 + length)) {
            *reason = "damaged PNG: its " + std::string(reinterpret_cast<const char*>(type), 4) +
                      " chunk fails its checksum";
            return false;
        }
        at += 12 + static_cast<size_t>(length);
        if (std::memcmp(type, "IEND", 4) == 0) {
            return true;
        }
    }
}

}  // namespace

bool InspectImageHeader(const uint8_t* data, size_t size, ImageHeader* header,
                        std::string* reason) {
    if (size == 0) {
        *reason = "the file is empty";
        return false;
    }
    bool known;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        known = InspectBmp(data, size, header, reason);
    } else if (size >= sizeof kPngSignature &&
               std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0) {
        known = InspectPng(data, size, header, reason);
    } else {
        *reason = "not a BMP or PNG image";
        return false;
    }
    if (!known) {
        return false;
    }
    if (header->width > kMaxImageSide || header->height > kMaxImageSide) {
        *reason = "the image is " + std::to_string(header->width) + " x " +
                  std::to_string(header->height) + " pixels; at most " +
                  std::to_string(kMaxImageSide) + " a side is accepted";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Files

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

// The name with every '\\' turned into '/', the game's names being Windows
// paths.
std::string NormalizeSeparators(const char* name) {
    std::string normalized(name);
    for (char& c : normalized) {
        if (c == '\\') {
            c = '/';
        }
    }
    return normalized;
}

// Where a name refers to: an absolute path as it stands; a relative one in the
// working directory if anything of that name is there, else in
// `executableDirectory` (ending in a separator, or empty for none) if it is
// there, else in the install's data folder, `executableDirectory`
// ../share/chaser/. Empty with a reason when none has it.
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

}  // namespace

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

namespace {

// Reads the whole file and decodes it as DecodeImageBytes does.
SDL_Surface* ReadImageFile(const std::string& path, std::string* reason) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes, reason)) {
        return nullptr;
    }
    return DecodeImageBytes(bytes.data(), bytes.size(), reason);
}

}  // namespace

// ---------------------------------------------------------------------------
// Conversion

namespace {

// Colour reduction as SDL does it for these formats (dropping the low bits),
// so an image drawn by us and one blitted by SDL look the same.
uint32_t ToTarget(uint32_t argb, uint32_t targetFormat) {
    const uint32_t r = (argb >> 16) & 0xFF;
    const uint32_t g = (argb >> 8) & 0xFF;
    const uint32_t b = argb & 0xFF;
    if (targetFormat == SDL_PIXELFORMAT_RGB565) {
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
    return (r << 16) | (g << 8) | b;
}

// Surfaces with a colour key of their own (paletted PNGs with a transparent
// entry) come out of the ARGB conversion with that key as alpha 0.
bool HasOwnTransparency(SDL_Surface* decoded) {
    return SDL_ISPIXELFORMAT_ALPHA(decoded->format->format) || SDL_HasColorKey(decoded) ||
           (decoded->format->palette != nullptr && [&] {
               for (int i = 0; i < decoded->format->palette->ncolors; ++i) {
                   if (decoded->format->palette->colors[i].a != SDL_ALPHA_OPAQUE) {
                       return true;
                   }
               }
               return false;
           }());
}

}  // namespace

bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason) {
    const bool ownTransparency = HasOwnTransparency(decoded);
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    if (argb == nullptr) {
        *reason = std::string("cannot convert its pixels: ") + SDL_GetError();
        return false;
    }
    const int32_t bytesPerPixel = targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
    Image made;
    made.width = argb->w;
    made.height = argb->h;
    made.bytesPerPixel = bytesPerPixel;
    made.pixels.resize(static_cast<size_t>(argb->w) * static_cast<size_t>(argb->h) *
                       static_cast<size_t>(bytesPerPixel));
    made.rowSpans.reserve(static_cast<size_t>(argb->h) + 1);

    uint8_t* out = made.pixels.data();
    for (int32_t y = 0; y < argb->h; ++y) {
        made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
        const auto* row = reinterpret_cast<const uint8_t*>(argb->pixels) +
                          static_cast<size_t>(y) * static_cast<size_t>(argb->pitch);
        int32_t runStart = -1;
        for (int32_t x = 0; x < argb->w; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + static_cast<size_t>(x) * 4, sizeof pixel);
            const bool seeThrough =
                (pixel & 0x00FFFFFFu) == 0 || (ownTransparency && (pixel >> 24) < 0x80);
            // A dark colour that reduces to 0 stays opaque: the decision was
            // made from the file's colour above, never from the reduced value.
            const uint32_t value = seeThrough ? 0 : ToTarget(pixel, targetFormat);
            if (bytesPerPixel == 2) {
                const auto value16 = static_cast<uint16_t>(value);
                std::memcpy(out, &value16, 2);
            } else {
                std::memcpy(out, &value, 4);
            }
            out += bytesPerPixel;
            if (!seeThrough && runStart < 0) {
                runStart = x;
            } else if (seeThrough && runStart >= 0) {
                made.spans.push_back(OpaqueSpan{runStart, x - runStart});
                runStart = -1;
            }
        }
        if (runStart >= 0) {
            made.spans.push_back(OpaqueSpan{runStart, argb->w - runStart});
        }
    }
    made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
    made.opaque = made.spans.size() == static_cast<size_t>(made.height) &&
                  std::all_of(made.spans.begin(), made.spans.end(), [&](const OpaqueSpan& span) {
                      return span.start == 0 && span.length == made.width;
                  });
    SDL_FreeSurface(argb);
    *image = std::move(made);
    return true;
}

// ---------------------------------------------------------------------------
// The handle table

namespace {

// Handles are indices; past this many images they could not stay positive.
constexpr size_t kMaxImages = 0x7FFFFFFF;

int32_t Fail(ImageTable& table, const std::string& name, const std::string& reason) {
    if (table.reportedNames.insert(name).second) {
        ReportLine("cannot load image \"" + name + "\": " + reason);
    }
    return -1;
}

}  // namespace

int32_t LoadImage(ImageTable& table, const char* fileName, uint32_t targetFormat) {
    if (fileName == nullptr) {
        return Fail(table, "(null)", "no file name given");
    }
    const std::string name = NormalizeSeparators(fileName);
    std::string reason;
    const std::string path = FindImageFile(name, table.executableDirectory, &reason);
    if (path.empty()) {
        return Fail(table, fileName, reason);
    }
    SDL_Surface* decoded = ReadImageFile(path, &reason);
    if (decoded == nullptr) {
        return Fail(table, fileName, reason);
    }
    Image image;
    const bool made = MakeImage(decoded, targetFormat, &image, &reason);
    SDL_FreeSurface(decoded);
    if (!made) {
        return Fail(table, fileName, reason);
    }
    if (table.images.size() >= kMaxImages) {
        return Fail(table, fileName, "too many images loaded");
    }
    table.images.push_back(std::move(image));
    return static_cast<int32_t>(table.images.size() - 1);
}

const Image* FindImage(const ImageTable& table, int32_t handle) {
    if (handle < 0 || static_cast<size_t>(handle) >= table.images.size()) {
        return nullptr;
    }
    return &table.images[static_cast<size_t>(handle)];
}

}  // namespace dxsdl
