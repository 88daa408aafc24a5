#include "png.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace artgen {
namespace {

void PutBigU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>((v >> shift) & 0xFFu));
    }
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

// Bits in the order deflate wants them: least significant first.
class BitWriter {
  public:
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            Bit((value >> i) & 1u);
        }
    }
    // Huffman codes go most significant bit first.
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) {
            Bit((code >> i) & 1u);
        }
    }
    std::vector<uint8_t> Finish() {
        if (used_ > 0) {
            bytes_.push_back(current_);
        }
        return std::move(bytes_);
    }

  private:
    void Bit(uint32_t bit) {
        current_ = static_cast<uint8_t>(current_ | (bit << used_));
        if (++used_ == 8) {
            bytes_.push_back(current_);
            current_ = 0;
            used_ = 0;
        }
    }
    std::vector<uint8_t> bytes_;
    uint8_t current_ = 0;
    int used_ = 0;
};

// The fixed literal/length code of deflate.
void Symbol(BitWriter& out, int symbol) {
    if (symbol <= 143) {
        out.Code(0x30u + static_cast<uint32_t>(symbol), 8);
    } else if (symbol <= 255) {
        out.Code(0x190u + static_cast<uint32_t>(symbol - 144), 9);
    } else if (symbol <= 279) {
        out.Code(static_cast<uint32_t>(symbol - 256), 7);
    } else {
        out.Code(0xC0u + static_cast<uint32_t>(symbol - 280), 8);
    }
}

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                             15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void Match(BitWriter& out, int length, int distance) {
    int code = static_cast<int>(kLengthBase.size()) - 1;
    while (kLengthBase[static_cast<size_t>(code)] > length) {
        --code;
    }
    Symbol(out, 257 + code);
    out.Bits(static_cast<uint32_t>(length - kLengthBase[static_cast<size_t>(code)]),
             kLengthExtra[static_cast<size_t>(code)]);
    int dcode = static_cast<int>(kDistanceBase.size()) - 1;
    while (kDistanceBase[static_cast<size_t>(dcode)] > distance) {
        --dcode;
    }
    out.Code(static_cast<uint32_t>(dcode), 5);
    out.Bits(static_cast<uint32_t>(distance - kDistanceBase[static_cast<size_t>(dcode)]),
             kDistanceExtra[static_cast<size_t>(dcode)]);
}

// A zlib stream of one fixed-code deflate block. Enlarged pixel art repeats
// itself a pixel back and a row back, so those are the only two distances
// tried: enough to make a 256-pixel icon a few kilobytes.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, int pixelBytes, int rowBytes) {
    constexpr int kMaxMatch = 258;
    constexpr int kMaxDistance = 32768;
    BitWriter out;
    out.Bits(1, 1);  // the last block
    out.Bits(1, 2);  // fixed codes
    const size_t size = data.size();
    size_t i = 0;
    while (i < size) {
        int bestLength = 0;
        int bestDistance = 0;
        for (int distance : {pixelBytes, rowBytes}) {
            if (distance > kMaxDistance || i < static_cast<size_t>(distance)) {
                continue;
            }
            int length = 0;
            while (length < kMaxMatch && i + static_cast<size_t>(length) < size &&
                   data[i + static_cast<size_t>(length)] ==
                       data[i + static_cast<size_t>(length) - static_cast<size_t>(distance)]) {
                ++length;
            }
            if (length > bestLength) {
                bestLength = length;
                bestDistance = distance;
            }
        }
        if (bestLength >= 3) {
            Match(out, bestLength, bestDistance);
            i += static_cast<size_t>(bestLength);
        } else {
            Symbol(out, data[i]);
            ++i;
        }
    }
    Symbol(out, 256);  // end of block

    std::vector<uint8_t> stream = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary
    const std::vector<uint8_t> deflated = out.Finish();
    stream.insert(stream.end(), deflated.begin(), deflated.end());
    PutBigU32(stream, Adler32(data));
    return stream;
}

void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const std::vector<uint8_t>& data) {
    PutBigU32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigU32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image, int scale) {
    if (scale < 1 || image.width() > 8192 / scale || image.height() > 8192 / scale) {
        throw std::invalid_argument("an icon is enlarged 1 to 8192 / its size times");
    }
    const int width = image.width() * scale;
    const int height = image.height() * scale;
    constexpr int kPixelBytes = 4;
    const int rowBytes = 1 + width * kPixelBytes;

    // Each row starts with its filter type, 0: the bytes as they are.
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(rowBytes) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const Rgb c = image.At(x / scale, y / scale);
            const bool opaque = image.Opaque(x / scale, y / scale);
            raw.push_back(c.r);
            raw.push_back(c.g);
            raw.push_back(c.b);
            raw.push_back(opaque ? 255 : 0);
        }
    }

    std::vector<uint8_t> header;
    PutBigU32(header, static_cast<uint32_t>(width));
    PutBigU32(header, static_cast<uint32_t>(height));
    header.push_back(8);  // bits per channel
    header.push_back(6);  // RGBA
    header.push_back(0);  // deflate
    header.push_back(0);  // the one filter method
    header.push_back(0);  // not interlaced

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", Compress(raw, kPixelBytes, rowBytes));
    PutChunk(out, "IEND", {});
    return out;
}

bool WritePng(const std::filesystem::path& path, const Image& image, int scale,
              std::string* error) {
    const std::vector<uint8_t> bytes = EncodePng(image, scale);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) {
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        file.close();
    }
    if (!file) {
        if (error != nullptr) {
            *error = "cannot write " + path.string();
        }
        return false;
    }
    return true;
}

}  // namespace artgen
