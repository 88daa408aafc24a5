// Small images in every layout the loader reads, written byte by byte: the
// fuzzer's starting points, and, with the colours each one should show, a
// check that the loader reads them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzseed {

struct SeedImage {
    std::string name;  // a file name, .bmp or .png
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
    // The colour of every pixel as 0xAARRGGBB, top row first; an alpha below
    // 0x80 marks a pixel the file itself makes see-through.
    std::vector<uint32_t> argb;
};

// BMPs of 1, 4, 8, 16, 24 and 32 bits (plain, with colour masks, top-down,
// RLE4, RLE8, the 12-byte header and the larger ones) and PNGs of every colour
// type, one of them interlaced.
std::vector<SeedImage> MakeSeedImages();

// The checksum a PNG chunk ends with: the CRC-32 of its type and data.
uint32_t PngChunkCrc(const uint8_t* data, size_t size);

}  // namespace fuzzseed
