// Decoding: the header inspected before any pixel is decoded, then BMP
// through SDL and PNG through libpng's simplified API, each into a surface
// the image table converts for the back buffer.
#include "decoding.h"

#include <cstring>

#ifdef DXLIBDLL_HAVE_PNG
#include <png.h>
#endif

namespace dxsdl {

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
bool InspectBmp(const uint8_t* data, size_t size, uint64_t fileSize, ImageHeader* header,
                std::string* reason) {
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
        if (fileSize < static_cast<uint64_t>(needed)) {
            *reason = "truncated: its pixels need " + std::to_string(needed) +
                      " bytes, the file has " + std::to_string(fileSize);
            return false;
        }
    }
    return true;
}

// PNG layout: the 8-byte signature, then chunks (32-bit big-endian length,
// 4-byte type, data, CRC of type and data), IHDR first with the 32-bit
// big-endian width and height. The chunks after it, their checksums among
// them, are libpng's to check as it decodes.
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
    return true;
}

}  // namespace

bool InspectImageHeader(const uint8_t* data, size_t available, uint64_t fileSize,
                        ImageHeader* header, std::string* reason) {
    if (fileSize == 0 || available == 0) {
        *reason = "the file is empty";
        return false;
    }
    bool known;
    if (available >= 2 && data[0] == 'B' && data[1] == 'M') {
        known = InspectBmp(data, available, fileSize, header, reason);
    } else if (available >= sizeof kPngSignature &&
               std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0) {
        known = InspectPng(data, available, header, reason);
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
// Decoders

namespace {

#ifdef DXLIBDLL_HAVE_PNG
// libpng's own words for what is wrong, in ours where the player would not
// know them.
std::string PngProblem(const char* message) {
    const std::string text(message);
    const size_t crc = text.find(": CRC error");
    if (crc != std::string::npos) {
        return "damaged PNG: its " + text.substr(0, crc) + " chunk fails its checksum";
    }
    if (text.find("incorrect data check") != std::string::npos) {
        return "damaged PNG: its compressed pixels fail their checksum (" + text + ")";
    }
    if (text.find("beyond end of data") != std::string::npos ||
        text.find("Not enough image data") != std::string::npos) {
        return "truncated: the PNG ends before its pixels do (" + text + ")";
    }
    return "damaged PNG: " + text;
}

// Decodes into a surface of B, G, R, A bytes: SDL_PIXELFORMAT_BGRA32, which is
// ARGB8888 on little-endian machines only. 16-bit files without colour-space
// chunks are taken as sRGB, as 8-bit ones are, so their colours come out the
// same and are not converted from a linear scale.
SDL_Surface* DecodePng(const uint8_t* data, size_t size, std::string* reason) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&png, data, size) == 0) {
        *reason = PngProblem(png.message);
        png_image_free(&png);
        return nullptr;
    }
    png.format = PNG_FORMAT_BGRA;
    png.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(
        0, static_cast<int>(png.width), static_cast<int>(png.height), 32, SDL_PIXELFORMAT_BGRA32);
    if (surface == nullptr) {
        png_image_free(&png);
        *reason = "not enough memory to decode it";
        return nullptr;
    }
    if (png_image_finish_read(&png, nullptr, surface->pixels, surface->pitch, nullptr) == 0) {
        *reason = PngProblem(png.message);
        png_image_free(&png);
        SDL_FreeSurface(surface);
        return nullptr;
    }
    return surface;
}
#endif

}  // namespace

SDL_Surface* DecodeInspectedImage(const uint8_t* data, size_t size, const ImageHeader& header,
                                  std::string* reason) {
    // SDL's memory streams count in int; no image we accept comes near that.
    if (size > kMaxImageFileBytes) {
        *reason = "the file is " + std::to_string(size) + " bytes, too large for an image";
        return nullptr;
    }
    SDL_Surface* surface = nullptr;
    if (header.kind == ImageKind::Bmp) {
        SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
        if (stream == nullptr) {
            *reason = std::string("cannot read it: ") + SDL_GetError();
            return nullptr;
        }
        surface = SDL_LoadBMP_RW(stream, 1);
        if (surface == nullptr) {
            const char* error = SDL_GetError();
            *reason =
                std::string("cannot decode it: ") + (*error != '\0' ? error : "damaged image");
            return nullptr;
        }
    } else {
#ifdef DXLIBDLL_HAVE_PNG
        surface = DecodePng(data, size, reason);
        if (surface == nullptr) {
            return nullptr;
        }
#else
        *reason = "PNG images are not supported by this build of the library";
        return nullptr;
#endif
    }
    if (surface->w != header.width || surface->h != header.height) {
        *reason = "damaged image: its pixels do not match its header";
        SDL_FreeSurface(surface);
        return nullptr;
    }
    return surface;
}

SDL_Surface* DecodeImageBytes(const uint8_t* data, size_t size, std::string* reason) {
    ImageHeader header;
    if (!InspectImageHeader(data, size, size, &header, reason)) {
        return nullptr;
    }
    return DecodeInspectedImage(data, size, header, reason);
}

}  // namespace dxsdl
