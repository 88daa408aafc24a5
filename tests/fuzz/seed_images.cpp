#include "seed_images.h"

#include <algorithm>
#include <cstddef>
#include <functional>

#include "bmp_writer.h"

namespace fuzzseed {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
void PutBe32(Bytes* b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        b->push_back(static_cast<uint8_t>(v >> shift));
    }
}

constexpr int kW = 5;  // odd, so every depth pads its rows
constexpr int kH = 3;

// Sixteen colours, black first, so some pixels are see-through when drawn so.
constexpr uint32_t kPalette[16] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF,
                                   0xFF00FF, 0x804020, 0x102030, 0x405060, 0x708090, 0xA0B0C0,
                                   0xC0D0E0, 0xE0F0FF, 0x203040, 0xF0E0D0};

// ---- BMP ----

// A layout of the seeds' size.
bmp::Layout SeedLayout() {
    bmp::Layout l;
    l.width = kW;
    l.height = kH;
    return l;
}

Bytes BmpRows(int bits, bool topDown, const std::function<uint32_t(int, int)>& value) {
    return bmp::Rows(kW, kH, bits, topDown, value);
}

std::vector<uint32_t> FromIndices(const std::function<uint32_t(int, int)>& index) {
    std::vector<uint32_t> argb;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            argb.push_back(0xFF000000u | kPalette[index(x, y)]);
        }
    }
    return argb;
}

std::vector<uint32_t> FromColours(const std::function<uint32_t(int, int)>& colour) {
    std::vector<uint32_t> argb;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            argb.push_back(colour(x, y));
        }
    }
    return argb;
}

// A channel of `bits` bits widened to 8 by repeating its top bits.
uint32_t Widen(uint32_t v, int bits) {
    return (v << (8 - bits)) | (v >> (2 * bits - 8));
}

void AddBmps(std::vector<SeedImage>* seeds) {
    for (int bits : {1, 4, 8}) {
        const int colours = 1 << std::min(bits, 4);
        const auto index = [&](int x, int y) {
            return static_cast<uint32_t>((x + 2 * y) % colours);
        };
        bmp::Layout l = SeedLayout();
        l.bits = bits;
        l.palette.assign(kPalette, kPalette + colours);
        seeds->push_back({"plain" + std::to_string(bits) + ".bmp",
                          bmp::Encode(l, BmpRows(bits, false, index)), kW, kH, FromIndices(index)});
    }
    {
        // The 12-byte header, with 3-byte palette entries.
        const auto index = [](int x, int y) { return static_cast<uint32_t>((3 * x + y) % 16); };
        bmp::Layout l = SeedLayout();
        l.infoSize = 12;
        l.bits = 8;
        l.palette.assign(kPalette, kPalette + 16);
        seeds->push_back(
            {"core8.bmp", bmp::Encode(l, BmpRows(8, false, index)), kW, kH, FromIndices(index)});
    }
    {
        // 16 bits: 5-5-5 without masks, 5-6-5 with them.
        const auto r5 = [](int x, int) { return static_cast<uint32_t>(x * 7); };
        const auto g5 = [](int, int y) { return static_cast<uint32_t>(y * 13); };
        const auto b5 = [](int x, int y) { return static_cast<uint32_t>(31 - x - y); };
        bmp::Layout l = SeedLayout();
        l.bits = 16;
        seeds->push_back({"plain16.bmp",
                          bmp::Encode(l, BmpRows(16, false,
                                                 [&](int x, int y) {
                                                     return (r5(x, y) << 10) | (g5(x, y) << 5) |
                                                            b5(x, y);
                                                 })),
                          kW, kH, FromColours([&](int x, int y) {
                              return 0xFF000000u | (Widen(r5(x, y), 5) << 16) |
                                     (Widen(g5(x, y), 5) << 8) | Widen(b5(x, y), 5);
                          })});
        l.compression = 3;
        l.masks[0] = 0xF800;
        l.masks[1] = 0x07E0;
        l.masks[2] = 0x001F;
        const auto g6 = [](int x, int y) { return static_cast<uint32_t>(63 - 9 * x - 5 * y); };
        seeds->push_back({"masked565.bmp",
                          bmp::Encode(l, BmpRows(16, false,
                                                 [&](int x, int y) {
                                                     return (r5(x, y) << 11) | (g6(x, y) << 5) |
                                                            b5(x, y);
                                                 })),
                          kW, kH, FromColours([&](int x, int y) {
                              return 0xFF000000u | (Widen(r5(x, y), 5) << 16) |
                                     (Widen(g6(x, y), 6) << 8) | Widen(b5(x, y), 5);
                          })});
    }
    const auto colour = [](int x, int y) {
        return 0xFF000000u | (static_cast<uint32_t>(x * 60) << 16) |
               (static_cast<uint32_t>(y * 100 + 20) << 8) | static_cast<uint32_t>(250 - x * 40);
    };
    {
        bmp::Layout l = SeedLayout();
        l.height = -kH;
        seeds->push_back({"topdown24.bmp", bmp::Encode(l, BmpRows(24, true, colour)), kW, kH,
                          FromColours(colour)});
        l.height = kH;
        l.bits = 32;
        seeds->push_back({"plain32.bmp", bmp::Encode(l, BmpRows(32, false, colour)), kW, kH,
                          FromColours(colour)});
    }
    {
        // The larger headers carry an alpha mask; one pixel is see-through.
        const auto alpha = [&](int x, int y) {
            return x == 2 && y == 1 ? colour(x, y) & 0x00FFFFFFu : colour(x, y);
        };
        for (uint32_t infoSize : {108u, 124u}) {
            bmp::Layout l = SeedLayout();
            l.infoSize = infoSize;
            l.bits = 32;
            l.compression = 3;
            l.masks[0] = 0x00FF0000;
            l.masks[1] = 0x0000FF00;
            l.masks[2] = 0x000000FF;
            l.masks[3] = 0xFF000000;
            seeds->push_back({"alpha" + std::to_string(infoSize) + ".bmp",
                              bmp::Encode(l, BmpRows(32, false, alpha)), kW, kH,
                              FromColours(alpha)});
        }
    }
    {
        // RLE8, bottom row first: runs, a literal stretch, a skip, the end.
        const Bytes rle8 = {3, 1, 2, 2, 0, 0,              // 1 1 1 2 2
                            0, 3, 4, 5, 6, 0, 2, 7, 0, 0,  // 4 5 6 7 7
                            0, 2, 2, 0, 3, 3, 0, 1};       // skip 2, 3 3 3
        const uint32_t rows8[kH][kW] = {{0, 0, 3, 3, 3}, {4, 5, 6, 7, 7}, {1, 1, 1, 2, 2}};
        bmp::Layout l = SeedLayout();
        l.bits = 8;
        l.compression = 1;
        l.palette.assign(kPalette, kPalette + 16);
        seeds->push_back({"rle8.bmp", bmp::Encode(l, rle8), kW, kH,
                          FromIndices([&](int x, int y) { return rows8[y][x]; })});
        // RLE4: runs alternate the two colours of their byte.
        const Bytes rle4 = {5, 0x12, 0,    0,                    // 1 2 1 2 1
                            0, 5,    0x34, 0x56, 0x70, 0, 0, 0,  // 3 4 5 6 7
                            2, 0x88, 3,    0x9A, 0,    1};       // 8 8 9 10 9
        const uint32_t rows4[kH][kW] = {{8, 8, 9, 10, 9}, {3, 4, 5, 6, 7}, {1, 2, 1, 2, 1}};
        l.bits = 4;
        l.compression = 2;
        seeds->push_back({"rle4.bmp", bmp::Encode(l, rle4), kW, kH,
                          FromIndices([&](int x, int y) { return rows4[y][x]; })});
    }
}

// ---- PNG ----

void Chunk(Bytes* png, const char* type, const Bytes& data) {
    PutBe32(png, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png->insert(png->end(), body.begin(), body.end());
    PutBe32(png, PngChunkCrc(body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) blocks: the bytes stay visible to
// the fuzzer's mutations.
Bytes Stored(const Bytes& raw) {
    Bytes z = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        z.push_back(at + n == raw.size() ? 1 : 0);
        Put16(&z, static_cast<uint32_t>(n));
        Put16(&z, static_cast<uint32_t>(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(&z, (b << 16) | a);
    return z;
}

struct PngLayout {
    int depth = 8;
    int colourType = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    bool interlaced = false;
    Bytes extra;  // chunks between PLTE/tRNS and the pixels
    bool splitPixels = false;
};

// samples(x, y) gives the pixel's channels in file order.
Bytes Png(const PngLayout& l, const Bytes& beforePixels,
          const std::function<std::vector<uint32_t>(int, int)>& samples) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutBe32(&ihdr, kW);
    PutBe32(&ihdr, kH);
    ihdr.push_back(static_cast<uint8_t>(l.depth));
    ihdr.push_back(static_cast<uint8_t>(l.colourType));
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(l.interlaced ? 1 : 0);
    Chunk(&png, "IHDR", ihdr);
    png.insert(png.end(), beforePixels.begin(), beforePixels.end());
    png.insert(png.end(), l.extra.begin(), l.extra.end());

    // The seven passes of interlacing, or one pass of everything.
    struct Pass {
        int x0, y0, dx, dy;
    };
    std::vector<Pass> passes = {{0, 0, 1, 1}};
    if (l.interlaced) {
        passes = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                  {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    }
    Bytes raw;
    for (const Pass& p : passes) {
        if (p.x0 >= kW || p.y0 >= kH) {
            continue;  // an empty pass has no rows at all
        }
        for (int y = p.y0; y < kH; y += p.dy) {
            raw.push_back(0);  // no filter
            uint32_t acc = 0;
            int accBits = 0;
            for (int x = p.x0; x < kW; x += p.dx) {
                for (uint32_t s : samples(x, y)) {
                    if (l.depth < 8) {
                        acc = (acc << l.depth) | s;
                        accBits += l.depth;
                        if (accBits == 8) {
                            raw.push_back(static_cast<uint8_t>(acc));
                            acc = 0;
                            accBits = 0;
                        }
                    } else if (l.depth == 16) {
                        raw.push_back(static_cast<uint8_t>(s >> 8));
                        raw.push_back(static_cast<uint8_t>(s));
                    } else {
                        raw.push_back(static_cast<uint8_t>(s));
                    }
                }
            }
            if (accBits > 0) {
                raw.push_back(static_cast<uint8_t>(acc << (8 - accBits)));
            }
        }
    }
    const Bytes z = Stored(raw);
    if (l.splitPixels) {
        const auto half = static_cast<std::ptrdiff_t>(z.size() / 2);
        Chunk(&png, "IDAT", Bytes(z.begin(), z.begin() + half));
        Chunk(&png, "IDAT", Bytes(z.begin() + half, z.end()));
    } else {
        Chunk(&png, "IDAT", z);
    }
    Chunk(&png, "IEND", {});
    return png;
}

void AddPngs(std::vector<SeedImage>* seeds) {
    const auto rgb = [](int x, int y) {
        return std::vector<uint32_t>{static_cast<uint32_t>(x * 50), static_cast<uint32_t>(y * 80),
                                     static_cast<uint32_t>(200 - x * 30)};
    };
    const auto rgbArgb = [&](int x, int y) {
        const std::vector<uint32_t> s = rgb(x, y);
        return 0xFF000000u | (s[0] << 16) | (s[1] << 8) | s[2];
    };
    {
        PngLayout l;
        seeds->push_back({"rgb8.png", Png(l, {}, rgb), kW, kH, FromColours(rgbArgb)});
        l.interlaced = true;
        seeds->push_back({"interlaced.png", Png(l, {}, rgb), kW, kH, FromColours(rgbArgb)});
        l.interlaced = false;
        l.splitPixels = true;
        const char text[] = "Comment\0made by the seed writer";
        Chunk(&l.extra, "tEXt", Bytes(text, text + sizeof text - 1));
        seeds->push_back({"split.png", Png(l, {}, rgb), kW, kH, FromColours(rgbArgb)});
    }
    {
        // RGBA: one pixel see-through, one faint, one more than half opaque.
        const auto alpha = [](int x, int y) -> uint32_t {
            return x == 2 && y == 1 ? 0 : x == 0 && y == 0 ? 0x40 : x == 4 && y == 2 ? 0xC0 : 0xFF;
        };
        PngLayout l;
        l.colourType = 6;
        seeds->push_back({"rgba8.png",
                          Png(l, {},
                              [&](int x, int y) {
                                  std::vector<uint32_t> s = rgb(x, y);
                                  s.push_back(alpha(x, y));
                                  return s;
                              }),
                          kW, kH, FromColours([&](int x, int y) {
                              return (alpha(x, y) << 24) | (rgbArgb(x, y) & 0xFFFFFF);
                          })});
    }
    {
        // Four-bit palette whose entry 5 is see-through.
        const auto index = [](int x, int y) { return static_cast<uint32_t>((x + 2 * y) % 6); };
        Bytes plte;
        for (int i = 0; i < 6; ++i) {
            plte.push_back(static_cast<uint8_t>(kPalette[i + 1] >> 16));
            plte.push_back(static_cast<uint8_t>(kPalette[i + 1] >> 8));
            plte.push_back(static_cast<uint8_t>(kPalette[i + 1]));
        }
        Bytes before;
        Chunk(&before, "PLTE", plte);
        Chunk(&before, "tRNS", {255, 255, 255, 255, 255, 0});
        PngLayout l;
        l.depth = 4;
        l.colourType = 3;
        seeds->push_back(
            {"palette4.png",
             Png(l, before, [&](int x, int y) { return std::vector<uint32_t>{index(x, y)}; }), kW,
             kH, FromColours([&](int x, int y) {
                 const uint32_t i = index(x, y);
                 return (i == 5 ? 0u : 0xFF000000u) | kPalette[i + 1];
             })});
    }
    {
        PngLayout l;
        l.depth = 1;
        l.colourType = 0;
        const auto bit = [](int x, int y) { return static_cast<uint32_t>((x + y) % 2); };
        seeds->push_back(
            {"grey1.png",
             Png(l, {}, [&](int x, int y) { return std::vector<uint32_t>{bit(x, y)}; }), kW, kH,
             FromColours([&](int x, int y) { return bit(x, y) ? 0xFFFFFFFFu : 0xFF000000u; })});
    }
    {
        // Sixteen-bit grey and alpha, scaled to eight bits with rounding
        // (v * 255 / 65535 to the nearest), not cut to their high bytes.
        PngLayout l;
        l.depth = 16;
        l.colourType = 4;
        const auto grey = [](int x, int y) {
            return static_cast<uint32_t>(0x1000 + x * 0x3000 + y * 0x101);
        };
        const auto alpha = [](int x, int y) -> uint32_t {
            return x == 1 && y == 2 ? 0x0000 : 0xFFFF;
        };
        seeds->push_back({"greyalpha16.png",
                          Png(l, {},
                              [&](int x, int y) {
                                  return std::vector<uint32_t>{grey(x, y), alpha(x, y)};
                              }),
                          kW, kH, FromColours([&](int x, int y) {
                              const uint32_t g = (grey(x, y) * 255 + 32767) / 65535;
                              return ((alpha(x, y) >> 8) << 24) | (g << 16) | (g << 8) | g;
                          })});
    }
}

}  // namespace

std::vector<SeedImage> MakeSeedImages() {
    std::vector<SeedImage> seeds;
    AddBmps(&seeds);
    AddPngs(&seeds);
    return seeds;
}

uint32_t PngChunkCrc(const uint8_t* data, size_t size) {
    // Bit by bit: a few hundred bytes of test images need no table.
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace fuzzseed
