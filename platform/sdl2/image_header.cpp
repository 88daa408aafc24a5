#include "image_header.h"

#include <cstring>

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

// The CRC-32 of PNG chunks (the zlib polynomial, reflected).
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

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        c = kCrc.entries[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

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

}  // namespace dxsdl
