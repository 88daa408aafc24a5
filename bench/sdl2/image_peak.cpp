// The memory one large image takes while it loads, against what it keeps
// once loaded: the loader's target is a peak of no more than twice what the
// image keeps, whatever the file's kind.
//
//   image_peak write DIR    writes the images measured, each 8192 x 8192
//   image_peak load FILE    loads FILE for a 16-bit screen, budget unlimited,
//                           and prints what it keeps, how far the process's
//                           peak resident size grew, and their ratio
//
// Each load runs in a process of its own (the peak is the process's), so run
// `load` once per file.
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#ifdef DXLIBDLL_HAVE_PNG
#include <png.h>
#endif

#include "bmp_writer.h"
#include "images.h"

namespace {

constexpr int kSide = 8192;

long PeakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool WriteFile(const std::string& path, const bmp::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteBmp(const std::string& path, int bits, const std::vector<uint32_t>& palette,
              uint32_t value) {
    bmp::Layout layout;
    layout.width = kSide;
    layout.height = kSide;
    layout.bits = bits;
    layout.palette = palette;
    return WriteFile(path, bmp::Encode(layout, bmp::Rows(kSide, kSide, bits, false,
                                                         [&](int, int) { return value; })));
}

// Run-length coded, 8 bits: one palette entry, and the end of the image at
// once, so every pixel is entry 0. 120 bytes for 64 million pixels.
bool WriteRunLengthBmp(const std::string& path) {
    bmp::Layout layout;
    layout.width = kSide;
    layout.height = kSide;
    layout.bits = 8;
    layout.compression = 1;
    layout.palette = {0xFFFFFF};
    return WriteFile(path, bmp::Encode(layout, {0, 1}));
}

#ifdef DXLIBDLL_HAVE_PNG
bool WritePng(const std::string& path, uint32_t format, const std::vector<uint8_t>& pixels) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = kSide;
    png.height = kSide;
    png.format = format;
    return png_image_write_to_file(&png, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}
#endif

int Write(const std::string& folder) {
    bool written = WriteBmp(folder + "/solid24.bmp", 24, {}, 0x806040) &&
                   WriteBmp(folder + "/solid32.bmp", 32, {}, 0xFF806040) &&
                   WriteBmp(folder + "/solid16.bmp", 16, {}, 0x4210) &&
                   WriteBmp(folder + "/palette8.bmp", 8, {0x806040}, 0) &&
                   WriteRunLengthBmp(folder + "/rle8.bmp");
#ifdef DXLIBDLL_HAVE_PNG
    {
        // Black and white in turn: a run for every other pixel.
        std::vector<uint8_t> grey(size_t{kSide} * kSide);
        for (size_t i = 0; i < grey.size(); ++i) {
            grey[i] = ((i / kSide + i % kSide) & 1) != 0 ? 255 : 0;
        }
        written = written && WritePng(folder + "/checker.png", PNG_FORMAT_GRAY, grey);
    }
    {
        std::vector<uint8_t> rgb(size_t{kSide} * kSide * 3);
        for (size_t i = 0; i < rgb.size(); i += 3) {
            rgb[i] = 0x80;
            rgb[i + 1] = 0x40;
            rgb[i + 2] = 0x20;
        }
        written = written && WritePng(folder + "/solid.png", PNG_FORMAT_RGB, rgb);
    }
#endif
    if (!written) {
        std::fprintf(stderr, "image_peak: cannot write the images into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}

int Load(const std::string& file) {
    dxsdl::ImageTable table;
    table.budgetBytes = SIZE_MAX;
    const long before = PeakKb();
    const int32_t handle = dxsdl::LoadImage(table, file.c_str(), SDL_PIXELFORMAT_RGB565);
    const long grown = PeakKb() - before;
    if (handle < 0) {
        std::fprintf(stderr, "image_peak: %s did not load\n", file.c_str());
        return 1;
    }
    const double kept = static_cast<double>(dxsdl::ImageBytes(table.images[0])) / 1024.0 / 1024.0;
    const double peak = static_cast<double>(grown) / 1024.0;
    std::printf("%s: keeps %.1f MiB, peak grew %.1f MiB, %.2f times what it keeps\n", file.c_str(),
                kept, peak, peak / kept);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "write") == 0) {
        return Write(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "load") == 0) {
        return Load(argv[2]);
    }
    std::fprintf(stderr, "usage: %s write DIR | load FILE\n", argv[0]);
    return 2;
}
