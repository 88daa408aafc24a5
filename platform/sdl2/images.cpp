// Images: finding and reading the file the game names, checking its header
// before any pixel is decoded, decoding, converting to the back buffer's
// format with the opaque runs found, and the table of loaded images by handle.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "library.h"

#ifdef DXLIBDLL_HAVE_LIBPNG
#include <png.h>

#include <csetjmp>
#elif defined(DXLIBDLL_HAVE_PNG)
#include <SDL_image.h>
#endif

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
// Only the code page conversions: <windows.h> would rename LoadImage.
#include <windef.h>
#include <winnls.h>
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
    constexpr uint32_t kRle8 = 1;
    constexpr uint32_t kRle4 = 2;
    constexpr uint32_t kBitFields = 3;
    constexpr uint32_t kAlphaBitFields = 6;
    // Anything else (JPEG or PNG inside a BMP, CMYK forms) the decoder would
    // read as plain rows and show as noise.
    if (compression != kRgb && compression != kRle8 && compression != kRle4 &&
        compression != kBitFields && compression != kAlphaBitFields) {
        *reason = "a BMP with compression method " + std::to_string(compression) +
                  ", which this program cannot decode";
        return false;
    }
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

#ifdef _WIN32
// Paths inside the library are UTF-8, as SDL gives the executable's folder.
// Windows' narrow file calls would read them in the ANSI code page, which
// cannot spell every folder a player's files may be in (a user name in
// another script): files are opened by their wide names.
fs::path NativePath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// A name from the game, in the ANSI code page as Windows' own narrow calls
// take it, as UTF-8; unchanged when it does not convert.
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
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* reason) {
    std::error_code error;
    const fs::path native = NativePath(path);
    const fs::file_status status = fs::status(native, error);
    if (error) {
        *reason = "cannot read it: " + error.message();
        return false;
    }
    const bool regular = fs::is_regular_file(status);
    const uintmax_t size = regular ? fs::file_size(native, error) : 0;
    if (error) {
        *reason = "cannot read it: " + error.message();
        return false;
    }
    if (!CheckKindAndSize(fs::is_directory(status), regular, size, reason)) {
        return false;
    }
    OwnedFile file(_wfopen(native.c_str(), L"rb"));
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

// The folder part of a name ("resource/bmp" of "resource/bmp/00.bmp"), empty
// for a name without one.
std::string FolderOf(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : name.substr(0, slash);
}

// Where a name refers to: an absolute path as it stands; a relative one in the
// working directory if anything of that name is there, else in
// `executableDirectory` (ending in a separator, or empty for none) if it is
// there, else in the install's data folder, `executableDirectory`
// ../share/chaser/. Empty with a reason when none has it; `folderMissing` is
// then set when the name's whole folder is missing from every place looked in,
// so the caller can say so once for all the files of that folder.
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

}  // namespace

#ifdef DXLIBDLL_HAVE_LIBPNG
namespace {

// The PNG decoder's own complaints are kept for our line instead of going to
// standard error: the first error ends decoding (through the jump back into
// DecodePng), warnings are dropped.
struct PngReader {
    const uint8_t* data;
    size_t size;
    size_t at;
    char error[200];
    std::jmp_buf failed;
};

void PngError(png_structp png, png_const_charp message) {
    auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(reader->error, sizeof reader->error, "%s", message);
    std::longjmp(reader->failed, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, size_t count) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->at) {
        png_error(png, "the file ends inside its pixels");
    }
    std::memcpy(out, reader->data + reader->at, count);
    reader->at += count;
}

// Decodes into an ARGB8888 surface, row by row. Only plain C data lives
// across the jump: the surface is freed after it when decoding failed.
SDL_Surface* DecodePng(const uint8_t* data, size_t size, std::string* reason) {
    PngReader reader{data, size, 0, {}, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, PngError, PngWarning);
    if (png == nullptr) {
        *reason = "not enough memory to decode it";
        return nullptr;
    }
    png_infop info = png_create_info_struct(png);
    SDL_Surface* volatile surface = nullptr;
    if (setjmp(reader.failed) != 0) {
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        SDL_FreeSurface(surface);
        *reason = std::string("damaged PNG: ") + reader.error;
        return nullptr;
    }
    if (info == nullptr) {
        png_error(png, "out of memory");
    }
    png_set_read_fn(png, &reader, PngRead);
    png_read_info(png, info);
    png_set_expand(png);  // palettes and small greys to 8-bit RGB, tRNS to alpha
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // B G R A in memory: ARGB8888
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const auto width = static_cast<int>(png_get_image_width(png, info));
    const auto height = static_cast<int>(png_get_image_height(png, info));
    surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) {
        png_error(png, "out of memory");
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y) {
            png_read_row(png,
                         static_cast<uint8_t*>(surface->pixels) +
                             static_cast<size_t>(y) * static_cast<size_t>(surface->pitch),
                         nullptr);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return surface;
}

}  // namespace
#endif

namespace {

// Decodes an image whose header has been read already.
SDL_Surface* DecodeInspected(const uint8_t* data, size_t size, const ImageHeader& header,
                             std::string* reason) {
    // SDL's memory streams count in int; no image we accept comes near that.
    if (size > kMaxFileBytes) {
        *reason = "the file is " + std::to_string(size) + " bytes, too large for an image";
        return nullptr;
    }
    const auto openStream = [&]() {
        SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
        if (stream == nullptr) {
            *reason = std::string("cannot read it: ") + SDL_GetError();
        }
        return stream;
    };
    SDL_Surface* surface = nullptr;
    if (header.kind == ImageKind::Bmp) {
        SDL_RWops* stream = openStream();
        if (stream == nullptr) {
            return nullptr;
        }
        surface = SDL_LoadBMP_RW(stream, 1);
    } else {
#ifdef DXLIBDLL_HAVE_LIBPNG
        surface = DecodePng(data, size, reason);
        if (surface == nullptr) {
            return nullptr;
        }
#elif defined(DXLIBDLL_HAVE_PNG)
        SDL_RWops* stream = openStream();
        if (stream == nullptr) {
            return nullptr;
        }
        surface = IMG_LoadPNG_RW(stream);
        SDL_RWclose(stream);
#else
        (void)openStream;
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

}  // namespace

SDL_Surface* DecodeImageBytes(const uint8_t* data, size_t size, std::string* reason) {
    ImageHeader header;
    if (!InspectImageHeader(data, size, &header, reason)) {
        return nullptr;
    }
    return DecodeInspected(data, size, header, reason);
}

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

namespace {

// Rows first..first+count-1 of `decoded` as a new ARGB8888 surface: a view of
// those rows with the source's palette and colour key, converted by SDL. A few
// rows at a time keep the conversion's memory small beside the image itself.
SDL_Surface* ConvertRows(SDL_Surface* decoded, int first, int count) {
    auto* rows = static_cast<uint8_t*>(decoded->pixels) +
                 static_cast<size_t>(first) * static_cast<size_t>(decoded->pitch);
    SDL_Surface* view =
        SDL_CreateRGBSurfaceWithFormatFrom(rows, decoded->w, count, decoded->format->BitsPerPixel,
                                           decoded->pitch, decoded->format->format);
    if (view == nullptr) {
        return nullptr;
    }
    if (decoded->format->palette != nullptr) {
        SDL_SetSurfacePalette(view, decoded->format->palette);
    }
    Uint32 key = 0;
    if (SDL_GetColorKey(decoded, &key) == 0) {
        SDL_SetColorKey(view, SDL_TRUE, key);
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(view, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(view);
    return argb;
}

constexpr int kRowsPerConversion = 16;

}  // namespace

bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason) {
    const bool ownTransparency = HasOwnTransparency(decoded);
    const int32_t bytesPerPixel = targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
    Image made;
    made.pixels.swap(image->pixels);  // a buffer the caller may have made ready
    made.width = decoded->w;
    made.height = decoded->h;
    made.bytesPerPixel = bytesPerPixel;
    made.pixels.resize(static_cast<size_t>(decoded->w) * static_cast<size_t>(decoded->h) *
                       static_cast<size_t>(bytesPerPixel));
    made.rowSpans.reserve(static_cast<size_t>(decoded->h) + 1);

    uint8_t* out = made.pixels.data();
    // Freed however this ends, running out of memory included.
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> chunk(nullptr, SDL_FreeSurface);
    SDL_Surface* argb = nullptr;
    int32_t chunkFirst = 0;
    for (int32_t y = 0; y < decoded->h; ++y) {
        if (argb == nullptr || y - chunkFirst >= argb->h) {
            chunkFirst = y;
            chunk.reset(ConvertRows(decoded, y, std::min(kRowsPerConversion, decoded->h - y)));
            argb = chunk.get();
            if (argb == nullptr) {
                *reason = std::string("cannot convert its pixels: ") + SDL_GetError();
                return false;
            }
        }
        made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
        const auto* row = reinterpret_cast<const uint8_t*>(argb->pixels) +
                          static_cast<size_t>(y - chunkFirst) * static_cast<size_t>(argb->pitch);
        int32_t runStart = -1;
        for (int32_t x = 0; x < made.width; ++x) {
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
            made.spans.push_back(OpaqueSpan{runStart, made.width - runStart});
        }
    }
    chunk.reset();
    made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
    made.spans.shrink_to_fit();
    made.opaque = made.spans.size() == static_cast<size_t>(made.height) &&
                  std::all_of(made.spans.begin(), made.spans.end(), [&](const OpaqueSpan& span) {
                      return span.start == 0 && span.length == made.width;
                  });
    *image = std::move(made);
    return true;
}

// ---------------------------------------------------------------------------
// The handle table

namespace {

// Handles are indices; past this many images they could not stay positive.
constexpr size_t kMaxImages = 0x7FFFFFFF;

std::string Mebibytes(size_t bytes) {
    return std::to_string((bytes + (size_t{1} << 20) - 1) >> 20) + " MiB";
}

int32_t Fail(ImageTable& table, const std::string& name, const std::string& reason,
             bool folderMissing = false) {
    if (!table.reportedNames.insert(name).second) {
        return -1;
    }
    if (folderMissing) {
        table.missingFolders.insert(FolderOf(name));
        ++table.missingFiles;
    } else if (table.listedFailures < kListedFailures) {
        ++table.listedFailures;
        ReportLine("cannot load image \"" + name + "\": " + reason);
    } else {
        ++table.unlistedFailures;
    }
    return -1;
}

int32_t LoadOrFail(ImageTable& table, const std::string& name, uint32_t targetFormat) {
    std::string reason;
    bool folderMissing = false;
    const std::string path =
        FindImageFile(name, table.executableDirectory, &reason, &folderMissing);
    if (path.empty()) {
        return Fail(table, name, reason, folderMissing);
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes, &reason)) {
        return Fail(table, name, reason);
    }
    // What the image will hold, from its header: a load that cannot fit the
    // budget is refused before anything is decoded.
    ImageHeader header;
    if (!InspectImageHeader(bytes.data(), bytes.size(), &header, &reason)) {
        return Fail(table, name, reason);
    }
    const size_t bytesPerPixel = targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
    const size_t least =
        static_cast<size_t>(header.width) * static_cast<size_t>(header.height) * bytesPerPixel;
    const auto overBudget = [&](size_t needed) {
        return needed > table.budgetBytes || table.usedBytes > table.budgetBytes - needed;
    };
    const auto budgetReason = [&](size_t needed) {
        return "it needs " + Mebibytes(needed) + " and the images loaded before it hold " +
               Mebibytes(table.usedBytes) + " of the " + Mebibytes(table.budgetBytes) +
               " allowed (DXLIBDLL_IMAGE_BUDGET)";
    };
    if (overBudget(least)) {
        return Fail(table, name, budgetReason(least));
    }
    // The image's own pixels, the bulk of what it holds, before any decoding:
    // when memory is short, the load fails here at once.
    Image image;
    image.pixels.resize(least);
    SDL_Surface* decoded = DecodeInspected(bytes.data(), bytes.size(), header, &reason);
    std::vector<uint8_t>().swap(bytes);  // the file's bytes are not needed from here on
    if (decoded == nullptr) {
        return Fail(table, name, reason);
    }
    bool made = false;
    try {
        made = MakeImage(decoded, targetFormat, &image, &reason);
    } catch (const std::bad_alloc&) {
        SDL_FreeSurface(decoded);
        throw;
    }
    SDL_FreeSurface(decoded);
    if (!made) {
        return Fail(table, name, reason);
    }
    const size_t cost = ImageBytes(image);
    if (overBudget(cost)) {
        return Fail(table, name, budgetReason(cost));
    }
    if (table.images.size() >= kMaxImages) {
        return Fail(table, name, "too many images loaded");
    }
    table.images.push_back(std::move(image));
    table.usedBytes += cost;
    return static_cast<int32_t>(table.images.size() - 1);
}

}  // namespace

size_t ImageBytes(const Image& image) {
    return image.pixels.capacity() + image.spans.capacity() * sizeof(OpaqueSpan) +
           image.rowSpans.capacity() * sizeof(uint32_t);
}

size_t ImageBudgetFromEnvironment() {
    const char* text = SDL_getenv("DXLIBDLL_IMAGE_BUDGET");
    if (text == nullptr || *text == '\0') {
        return kDefaultImageBudget;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(text, &end, 10);
    int shift = 0;
    if (end != text && *end != '\0' && end[1] == '\0') {
        switch (*end) {
            case 'k':
            case 'K':
                shift = 10;
                ++end;
                break;
            case 'm':
            case 'M':
                shift = 20;
                ++end;
                break;
            case 'g':
            case 'G':
                shift = 30;
                ++end;
                break;
            default:
                break;
        }
    }
    const bool digitsFirst = *text >= '0' && *text <= '9';
    if (!digitsFirst || end == text || *end != '\0' || errno == ERANGE ||
        number > (SIZE_MAX >> shift)) {
        ReportLine(std::string("DXLIBDLL_IMAGE_BUDGET=") + text +
                   " is not a size in bytes (such as 268435456 or 256M); using " +
                   Mebibytes(kDefaultImageBudget));
        return kDefaultImageBudget;
    }
    return static_cast<size_t>(number) << shift;
}

int32_t LoadImage(ImageTable& table, const char* fileName, uint32_t targetFormat) {
    if (fileName == nullptr) {
        return Fail(table, "(null)", "no file name given");
    }
    // Names are shown as this system writes paths. On Windows they become
    // UTF-8 first, as a trail byte of a two-byte character may be a backslash.
#ifdef _WIN32
    const std::string name = NormalizeSeparators(AnsiToUtf8(fileName).c_str());
#else
    const std::string name = NormalizeSeparators(fileName);
#endif
    try {
        return LoadOrFail(table, name, targetFormat);
    } catch (const std::bad_alloc&) {
        // Whatever was being made for this image is gone again by now.
        return Fail(table, name, "not enough memory to load it");
    }
}

namespace {

void WriteLoadSummary(const ImageTable& table) {
    if (table.missingFiles > 0) {
        std::string folders;
        for (const std::string& folder : table.missingFolders) {
            folders += (folders.empty() ? "\"" : ", \"") + folder + "\"";
        }
        std::error_code error;
        const std::string here = fs::current_path(error).generic_string();
        std::string beside = table.executableDirectory;
        while (beside.size() > 1 && (beside.back() == '/' || beside.back() == '\\')) {
            beside.pop_back();
        }
        std::string where = "in the working directory (" + (error ? std::string("?") : here) + ")";
        if (!beside.empty()) {
            where += " or beside the program (" + beside + ")";
        }
        ReportLine(std::to_string(table.missingFiles) + " image" +
                   (table.missingFiles == 1 ? "" : "s") + " could not be loaded: no folder " +
                   folders + " " + where);
    }
    if (table.unlistedFailures > 0) {
        ReportLine(std::to_string(table.unlistedFailures) + " more image" +
                   (table.unlistedFailures == 1 ? "" : "s") +
                   " could not be loaded (only the first " + std::to_string(kListedFailures) +
                   " are listed)");
    }
}

}  // namespace

void ReportLoadSummary(ImageTable& table) noexcept {
    try {
        WriteLoadSummary(table);
    } catch (const std::bad_alloc&) {
        ReportLine("some images could not be loaded");
    }
    table.missingFolders.clear();
    table.missingFiles = 0;
    table.listedFailures = 0;
    table.unlistedFailures = 0;
}

const Image* FindImage(const ImageTable& table, int32_t handle) {
    if (handle < 0 || static_cast<size_t>(handle) >= table.images.size()) {
        return nullptr;
    }
    return &table.images[static_cast<size_t>(handle)];
}

}  // namespace dxsdl
