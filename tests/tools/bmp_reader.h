// Reads back the 24-bit bitmaps the generator writes, checking every header
// field against the others, without using any of the generator's code.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "image.h"

namespace artgen_test {

struct ParsedBmp {
    int width = 0;
    int height = 0;
    std::vector<artgen::Rgb> pixels;  // top row first

    artgen::Rgb At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    bool Opaque(int x, int y) const { return !(At(x, y) == artgen::Rgb{0, 0, 0}); }
};

inline uint32_t ReadU32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

inline uint16_t ReadU16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

inline int32_t ReadS32(const std::vector<uint8_t>& b, size_t at) {
    const uint32_t u = ReadU32(b, at);
    int32_t s;
    std::memcpy(&s, &u, sizeof s);
    return s;
}

// False with the reason when the bytes are not a consistent, uncompressed,
// bottom-up 24-bit bitmap with zero padding.
inline bool ParseBmp(const std::vector<uint8_t>& b, ParsedBmp* out, std::string* why) {
    auto fail = [why](const std::string& reason) {
        *why = reason;
        return false;
    };
    if (b.size() < 54) {
        return fail("shorter than the two headers");
    }
    if (b[0] != 'B' || b[1] != 'M') {
        return fail("no BM signature");
    }
    if (ReadU32(b, 2) != b.size()) {
        return fail("file size field " + std::to_string(ReadU32(b, 2)) + " but " +
                    std::to_string(b.size()) + " bytes");
    }
    if (ReadU32(b, 6) != 0) {
        return fail("reserved fields not zero");
    }
    const uint32_t offset = ReadU32(b, 10);
    if (offset != 54) {
        return fail("pixels at " + std::to_string(offset) + ", not right after the headers");
    }
    if (ReadU32(b, 14) != 40) {
        return fail("information header is not 40 bytes");
    }
    const int32_t width = ReadS32(b, 18);
    const int32_t height = ReadS32(b, 22);
    if (width <= 0 || height <= 0) {
        return fail("width and height must be positive (bottom-up rows)");
    }
    if (ReadU16(b, 26) != 1 || ReadU16(b, 28) != 24 || ReadU32(b, 30) != 0) {
        return fail("not one plane, 24 bits, uncompressed");
    }
    if (ReadU32(b, 46) != 0) {
        return fail("a palette in a 24-bit file");
    }
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    const size_t pixelBytes = stride * static_cast<size_t>(height);
    if (ReadU32(b, 34) != pixelBytes) {
        return fail("image size field " + std::to_string(ReadU32(b, 34)) + ", rows need " +
                    std::to_string(pixelBytes));
    }
    if (b.size() != offset + pixelBytes) {
        return fail("file is not headers plus padded rows");
    }
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), {});
    for (int32_t row = 0; row < height; ++row) {
        const size_t start = offset + static_cast<size_t>(height - 1 - row) * stride;
        for (int32_t x = 0; x < width; ++x) {
            const size_t at = start + static_cast<size_t>(x) * 3;
            out->pixels[static_cast<size_t>(row) * static_cast<size_t>(width) +
                        static_cast<size_t>(x)] = {b[at + 2], b[at + 1], b[at]};
        }
        for (size_t pad = static_cast<size_t>(width) * 3; pad < stride; ++pad) {
            if (b[start + pad] != 0) {
                return fail("non-zero padding in row " + std::to_string(row));
            }
        }
    }
    return true;
}

}  // namespace artgen_test
