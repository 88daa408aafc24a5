// Decoding: the header inspected before any pixel is decoded, then the three
// ways of decoding (Decoding): a BMP by SDL into a surface, an uncompressed
// BMP a few rows at a time, a PNG by libpng into the image's own block
// (png_decoding.cpp).
#include "decoding.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

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

// A BMP's compression methods this program decodes.
constexpr uint32_t kBmpRgb = 0;
constexpr uint32_t kBmpRle8 = 1;
constexpr uint32_t kBmpRle4 = 2;
constexpr uint32_t kBmpBitFields = 3;
constexpr uint32_t kBmpAlphaBitFields = 6;

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
    header->infoSize = infoSize;
    header->bitsPerPixel = bitsPerPixel;
    header->compression = compression;
    header->pixelOffset = Le32(data + 10);
    header->topDown = infoSize != 12 && SignedLe32(data + 22) < 0;
    // Colour masks follow the first 40 bytes of the info header, the alpha
    // mask from the 56-byte form on (the 64-byte form of OS/2 has none).
    constexpr uint32_t kMasksAt = 14 + 40;
    const size_t maskCount = infoSize >= 56 ? 4 : 3;
    if (compression == kBmpBitFields && infoSize >= 40 && infoSize != 64 &&
        size >= kMasksAt + 4 * maskCount) {
        for (size_t i = 0; i < maskCount; ++i) {
            header->masks[i] = Le32(data + kMasksAt + 4 * i);
        }
        header->masksRead = true;
    }
    // Pixels said to start inside the headers (an offset of 0 among them)
    // would be the headers read as pixels: noise.
    // The 40-byte form keeps its colour masks after it.
    uint64_t headersEnd = 14 + uint64_t{infoSize};
    if (infoSize == 40 && compression == kBmpBitFields) {
        headersEnd += 12;
    } else if (infoSize == 40 && compression == kBmpAlphaBitFields) {
        headersEnd += 16;
    }
    if (header->pixelOffset < headersEnd) {
        *reason = "damaged BMP: its pixel offset (bfOffBits) is " +
                  std::to_string(header->pixelOffset) + ", inside its headers, which take " +
                  std::to_string(headersEnd) + " bytes";
        return false;
    }
    if (width > kMaxImageSide || height > kMaxImageSide) {
        return true;  // the caller refuses it by size
    }
    // Uncompressed pixels (plain or with colour masks) have a known size: a
    // file shorter than that lost its end.
    // Anything else (JPEG or PNG inside a BMP, CMYK forms) the decoder would
    // read as plain rows and show as noise.
    if (compression != kBmpRgb && compression != kBmpRle8 && compression != kBmpRle4 &&
        compression != kBmpBitFields && compression != kBmpAlphaBitFields) {
        *reason = "a BMP with compression method " + std::to_string(compression) +
                  ", which this program cannot decode";
        return false;
    }
    if (compression == kBmpRgb || compression == kBmpBitFields ||
        compression == kBmpAlphaBitFields) {
        const int64_t rowBytes = ((width * bitsPerPixel + 31) / 32) * 4;
        const int64_t needed = static_cast<int64_t>(header->pixelOffset) + rowBytes * height;
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
    // The rest of IHDR: bit depth, colour type, compression, filter, interlace.
    if (size >= 29) {
        header->pngBitDepth = data[24];
        header->pngInterlaced = data[28] == 1;
    }
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

void ThrowIfSdlOutOfMemory() {
    if (std::strcmp(SDL_GetError(), "Out of memory") == 0) {
        throw std::bad_alloc();
    }
}

// ---------------------------------------------------------------------------
// What decoding takes

namespace {

// The bytes a row of `width` pixels of `bits` takes in an SDL surface, and so
// in an uncompressed BMP as SDL reads it: whole bytes a pixel, rows padded to
// four bytes.
uint64_t SurfacePitch(int64_t width, uint32_t bits) {
    const uint64_t bytesPerPixel = bits <= 8 ? 1 : bits <= 16 ? 2 : bits <= 24 ? 3 : 4;
    return (static_cast<uint64_t>(width) * bytesPerPixel + 3) & ~uint64_t{3};
}

// A 32-bit file's alpha bytes are looked at this many bytes at a time.
constexpr uint64_t kAlphaScanBytes = uint64_t{1} << 16;

}  // namespace

Decoding DecodingOf(const ImageHeader& header) {
    if (header.kind == ImageKind::Png) {
        return Decoding::Png;
    }
    const uint32_t bits = header.bitsPerPixel;
    // Forms of the info header SDL reads widths from (12, or 40 and more),
    // without OS/2's 64-byte one, whose masks SDL does not read.
    const bool knownForm =
        header.infoSize == 12 || (header.infoSize >= 40 && header.infoSize != 64);
    const bool rowsAsStored =
        header.compression == kBmpRgb || (header.compression == kBmpBitFields && header.masksRead);
    return knownForm && rowsAsStored && (bits == 15 || bits == 16 || bits == 24 || bits == 32)
               ? Decoding::Rows
               : Decoding::Surface;
}

uint64_t DecodingBytes(const ImageHeader& header, uint64_t fileSize, uint32_t targetBytesPerPixel) {
    const auto width = static_cast<uint64_t>(header.width);
    const auto height = static_cast<uint64_t>(header.height);
    // Each step's rows converted to ARGB8888 by SDL.
    const uint64_t converted = kRowsPerStep * width * 4;
    switch (DecodingOf(header)) {
        case Decoding::Png:
            // The block is four bytes a pixel until the image is done; libpng
            // keeps a few rows of up to eight bytes a pixel.
            return width * height * (4 - std::min<uint64_t>(targetBytesPerPixel, 4)) +
                   4 * width * 8;
        case Decoding::Rows:
            // With the look at a 32-bit file's alpha bytes first.
            return kRowsPerStep * SurfacePitch(header.width, header.bitsPerPixel) + converted +
                   (header.bitsPerPixel == 32 && header.compression == kBmpRgb
                        ? std::min(kAlphaScanBytes,
                                   height * SurfacePitch(header.width, header.bitsPerPixel))
                        : 0);
        case Decoding::Surface:
            break;
    }
    return fileSize + height * SurfacePitch(header.width, header.bitsPerPixel) + converted;
}

// ---------------------------------------------------------------------------
// Decoders (PNGs in png_decoding.cpp)

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
            ThrowIfSdlOutOfMemory();
            const char* error = SDL_GetError();
            *reason =
                std::string("cannot decode it: ") + (*error != '\0' ? error : "damaged image");
            return nullptr;
        }
    } else {
#ifdef DXLIBDLL_HAVE_PNG
        surface = DecodePngSurface(data, size, header, reason);
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

// ---------------------------------------------------------------------------
// BMP rows read where they lie

static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN, "BMP rows are taken as stored, little-endian");

BmpRowReader::~BmpRowReader() {
    SDL_FreeSurface(view_);
}

bool BmpRowReader::Start(const ImageHeader& header, ReadFileBytes read, std::string* reason) {
    header_ = header;
    read_ = std::move(read);
    pitch_ = static_cast<size_t>(SurfacePitch(header.width, header.bitsPerPixel));
    // The masks SDL's reader gives each depth, or the file's own.
    if (header.compression == kBmpBitFields) {
        std::copy(std::begin(header.masks), std::end(header.masks), masks_);
    } else if (header.bitsPerPixel <= 16) {
        masks_[0] = 0x7C00;
        masks_[1] = 0x03E0;
        masks_[2] = 0x001F;
    } else {
        masks_[0] = 0x00FF0000;
        masks_[1] = 0x0000FF00;
        masks_[2] = 0x000000FF;
    }
    if (header.compression == kBmpRgb && header.bitsPerPixel == 32) {
        // The fourth byte is alpha only when it is not zero throughout:
        // SDL's reader makes such an image opaque.
        const uint64_t bytes = pitch_ * static_cast<uint64_t>(header.height);
        std::vector<uint8_t> chunk(std::min(bytes, kAlphaScanBytes));
        for (uint64_t done = 0; done < bytes && masks_[3] == 0; done += chunk.size()) {
            const auto count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), bytes - done));
            if (!read_(header.pixelOffset + done, chunk.data(), count, reason)) {
                return false;
            }
            for (size_t alpha = 3; alpha < count; alpha += 4) {
                if (chunk[alpha] != 0) {
                    masks_[3] = 0xFF000000;
                    break;
                }
            }
        }
    }
    band_.resize(pitch_ * kRowsPerStep);
    // A format SDL has no name for fails here, as it fails SDL's reader.
    return Rows(0, 0, reason) != nullptr;
}

SDL_Surface* BmpRowReader::Rows(int32_t first, int32_t count, std::string* reason) {
    SDL_FreeSurface(view_);
    view_ = nullptr;
    const auto height = static_cast<int32_t>(header_.height);
    if (count > 0) {
        // The file holds the rows bottom row first unless it says otherwise:
        // the band is read as it lies, then turned top first.
        const int32_t firstStored = header_.topDown ? first : height - first - count;
        if (!read_(header_.pixelOffset + static_cast<uint64_t>(firstStored) * pitch_, band_.data(),
                   static_cast<size_t>(count) * pitch_, reason)) {
            return nullptr;
        }
        for (int32_t top = 0, bottom = count - 1; !header_.topDown && top < bottom;
             ++top, --bottom) {
            std::swap_ranges(band_.begin() + static_cast<ptrdiff_t>(top * pitch_),
                             band_.begin() + static_cast<ptrdiff_t>((top + 1) * pitch_),
                             band_.begin() + static_cast<ptrdiff_t>(bottom * pitch_));
        }
    }
    view_ =
        SDL_CreateRGBSurfaceFrom(band_.data(), static_cast<int>(header_.width), std::max(count, 1),
                                 static_cast<int>(header_.bitsPerPixel), static_cast<int>(pitch_),
                                 masks_[0], masks_[1], masks_[2], masks_[3]);
    if (view_ == nullptr) {
        ThrowIfSdlOutOfMemory();
        *reason = std::string("cannot decode it: ") + SDL_GetError();
    }
    return view_;
}

}  // namespace dxsdl
