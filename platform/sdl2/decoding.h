// Decoding image files: a look at the header first, so that a broken or
// hostile file is refused before anything is allocated for it, then the
// decoders (BMP by SDL, whole or a few rows at a time; PNG by libpng).
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace dxsdl {

// Larger images are refused: one side of 8192 is far beyond any screen the
// library draws on, and 8192 x 8192 x 4 bytes is already 256 MiB.
inline constexpr int64_t kMaxImageSide = 8192;

// No image we accept needs a larger file: 8192 x 8192 at 32 bits is 256 MiB.
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{300} * 1024 * 1024;

// The first bytes of a file say all InspectImageHeader needs, colour masks
// included.
inline constexpr size_t kImageHeaderBytes = 128;

// Decoded pixels are converted this many rows at a time, and a BMP read from
// its file this many rows at a time: little memory beside the image itself.
inline constexpr int32_t kRowsPerStep = 16;

enum class ImageKind { Bmp, Png };

struct ImageHeader {
    ImageKind kind = ImageKind::Bmp;
    int64_t width = 0;
    int64_t height = 0;  // rows, whichever way up the file stores them
    // A BMP's layout, for reading its rows where they lie.
    uint32_t infoSize = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint64_t pixelOffset = 0;
    bool topDown = false;
    uint32_t masks[4] = {};  // red, green, blue, alpha, when the header gives them
    bool masksRead = false;
    // A PNG's bits a sample, and whether its rows come in Adam7's seven passes.
    uint32_t pngBitDepth = 0;
    bool pngInterlaced = false;
};

// The kind and size of the image in a file of `fileSize` bytes whose first
// `available` bytes are at `data` (kImageHeaderBytes are enough). False with
// a reason for an empty or truncated file, one that is neither BMP nor PNG,
// or an image with no pixels or too many. Asked before a file is read whole.
bool InspectImageHeader(const uint8_t* data, size_t available, uint64_t fileSize,
                        ImageHeader* header, std::string* reason);

// Throws std::bad_alloc when the last failure of SDL was for want of memory,
// so a load that ran out of memory is told from a damaged file, whichever
// library ran out. Asked after an SDL call failed.
void ThrowIfSdlOutOfMemory();

// How a file is decoded; it decides what memory decoding takes beside the
// image itself.
enum class Decoding {
    // By SDL into a surface of the file's own format, from the file read
    // whole: every BMP not read by rows (run-length and palette ones, and
    // forms of the header whose rows SDL lays out itself).
    Surface,
    // Uncompressed BMPs of 15 to 32 bits a pixel, a few rows at a time
    // straight from the file (BmpRowReader).
    Rows,
    // PNGs, by libpng from the file into a block of four bytes a pixel that
    // becomes the image's own pixels, converted in place.
    Png,
};
Decoding DecodingOf(const ImageHeader& header);

// The most bytes of image data decoding the file takes besides what the
// image keeps, its pixels at `targetBytesPerPixel` and their runs: counted
// against the memory budget before anything is decoded. (The decoders' own
// state, some tens of kilobytes whatever the image, is not image data.)
uint64_t DecodingBytes(const ImageHeader& header, uint64_t fileSize, uint32_t targetBytesPerPixel);

// Decodes a whole image file of `size` bytes at `data` whose header has been
// inspected already. Null with a reason on failure; otherwise the caller
// frees the surface. Needs no video: SDL need not even be started.
SDL_Surface* DecodeInspectedImage(const uint8_t* data, size_t size, const ImageHeader& header,
                                  std::string* reason);

// Both steps at once, for a file held in memory whole.
SDL_Surface* DecodeImageBytes(const uint8_t* data, size_t size, std::string* reason);

#ifdef DXLIBDLL_HAVE_PNG
// Decodes the PNG read from `file` (a C stream at its start, header
// inspected) into `pixels`: width * height pixels of B, G, R, A bytes, which
// is ARGB8888 on the little-endian machines this library runs on. False with
// a reason.
bool DecodePngFile(std::FILE* file, const ImageHeader& header, uint8_t* pixels,
                   std::string* reason);
// The same from the whole file held in memory.
bool DecodePngBytes(const uint8_t* data, size_t size, const ImageHeader& header, uint8_t* pixels,
                    std::string* reason);
// The same into a new surface of SDL_PIXELFORMAT_BGRA32, which the caller
// frees; null with a reason.
SDL_Surface* DecodePngSurface(const uint8_t* data, size_t size, const ImageHeader& header,
                              std::string* reason);
#endif

// Reads `count` bytes at `offset` of the file being decoded into `out`; false
// with a reason.
using ReadFileBytes =
    std::function<bool(uint64_t offset, uint8_t* out, size_t count, std::string* reason)>;

// An uncompressed BMP of 15, 16, 24 or 32 bits a pixel (Decoding::Rows), read
// a few rows at a time from where they lie in its file. The rows come as SDL
// surfaces of the format SDL's own BMP reader would give the whole image (the
// same colour masks; an alpha channel that is zero throughout counts as
// opaque), so they convert to the same pixels, with no surface of the whole
// image and no copy of the file ever made.
class BmpRowReader {
  public:
    BmpRowReader() = default;
    BmpRowReader(const BmpRowReader&) = delete;
    BmpRowReader& operator=(const BmpRowReader&) = delete;
    ~BmpRowReader();

    bool Start(const ImageHeader& header, ReadFileBytes read, std::string* reason);
    // Rows first..first+count-1, top first (count at most kRowsPerStep): a
    // surface valid until the next call. Null with a reason.
    SDL_Surface* Rows(int32_t first, int32_t count, std::string* reason);

  private:
    ImageHeader header_;
    ReadFileBytes read_;
    size_t pitch_ = 0;
    uint32_t masks_[4] = {};
    std::vector<uint8_t> band_;
    SDL_Surface* view_ = nullptr;
};

}  // namespace dxsdl
