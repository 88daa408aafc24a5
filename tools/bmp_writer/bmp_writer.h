// Writing BMP files byte by byte: every header form the loader reads (12, 40,
// 108 and 124 bytes), palettes, colour masks, either row order, and pixel data
// given as it is to be stored (so run-length data can be passed in whole).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace bmp {

using Bytes = std::vector<uint8_t>;

struct Layout {
    int32_t width = 0;
    int32_t height = 0;      // negative: rows stored top row first
    uint32_t infoSize = 40;  // 12, 40, 108 or 124
    int bits = 24;
    uint32_t compression = 0;          // 0 plain, 1 RLE8, 2 RLE4, 3 colour masks
    std::vector<uint32_t> palette;     // 0xRRGGBB each
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
};

inline void Put16(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// The whole file: file header, info header, palette, then `pixels`.
inline Bytes Encode(const Layout& l, const Bytes& pixels) {
    Bytes info;
    if (l.infoSize == 12) {
        Put32(&info, 12);
        Put16(&info, static_cast<uint32_t>(l.width));
        Put16(&info, static_cast<uint32_t>(l.height));
        Put16(&info, 1);
        Put16(&info, static_cast<uint32_t>(l.bits));
    } else {
        Put32(&info, l.infoSize);
        Put32(&info, static_cast<uint32_t>(l.width));
        Put32(&info, static_cast<uint32_t>(l.height));
        Put16(&info, 1);  // colour planes
        Put16(&info, static_cast<uint32_t>(l.bits));
        Put32(&info, l.compression);
        Put32(&info, static_cast<uint32_t>(pixels.size()));
        Put32(&info, 2835);  // 72 dots per inch
        Put32(&info, 2835);
        Put32(&info, static_cast<uint32_t>(l.palette.size()));
        Put32(&info, 0);
        if (l.infoSize >= 108) {
            for (uint32_t mask : l.masks) {
                Put32(&info, mask);
            }
            Put32(&info, 0x73524742);       // the sRGB colour space
            info.resize(info.size() + 48);  // end points and gammas, unused
            if (l.infoSize == 124) {
                Put32(&info, 4);  // rendering intent
                info.resize(info.size() + 12);
            }
        } else if (l.compression == 3) {
            for (int i = 0; i < 3; ++i) {
                Put32(&info, l.masks[i]);
            }
        }
    }
    for (uint32_t c : l.palette) {
        info.push_back(static_cast<uint8_t>(c));
        info.push_back(static_cast<uint8_t>(c >> 8));
        info.push_back(static_cast<uint8_t>(c >> 16));
        if (l.infoSize != 12) {
            info.push_back(0);
        }
    }
    const auto offset = static_cast<uint32_t>(14 + info.size());
    Bytes file = {'B', 'M'};
    Put32(&file, offset + static_cast<uint32_t>(pixels.size()));
    Put32(&file, 0);  // two reserved 16-bit fields
    Put32(&file, offset);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// Uncompressed rows of `width` pixels, each padded to 4 bytes, bottom row
// first unless topDown. value(x, y) is a palette index (1, 4 or 8 bits, packed
// from the high bits) or the stored pixel value, lowest byte first (0xRRGGBB
// stores blue, green, red at 24 bits).
inline Bytes Rows(int width, int height, int bits, bool topDown,
                  const std::function<uint32_t(int, int)>& value) {
    Bytes out;
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        const size_t start = out.size();
        uint32_t acc = 0;
        int accBits = 0;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = value(x, y);
            if (bits < 8) {
                acc = (acc << bits) | v;
                accBits += bits;
                if (accBits == 8) {
                    out.push_back(static_cast<uint8_t>(acc));
                    acc = 0;
                    accBits = 0;
                }
            } else {
                for (int i = 0; i < bits / 8; ++i) {
                    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
                }
            }
        }
        if (accBits > 0) {
            out.push_back(static_cast<uint8_t>(acc << (8 - accBits)));
        }
        while ((out.size() - start) % 4 != 0) {
            out.push_back(0);
        }
    }
    return out;
}

}  // namespace bmp
