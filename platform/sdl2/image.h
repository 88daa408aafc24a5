// An image ready to copy into the back buffer: its pixels, in the back
// buffer's format, the builder that makes it of decoded rows, and the blit
// that draws it.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "screen.h"

namespace dxsdl {

// Columns start..start+length-1 of a row are opaque. Sixteen bits each hold
// any column of an image (at most 8192 a side).
struct OpaqueSpan {
    uint16_t start;
    uint16_t length;
};

// The bytes of an image's pixels: one block of the C heap, so that a block
// made larger to decode into gives its end back in place (realloc) when the
// image is done, where a vector would copy it into a smaller one.
class PixelBytes {
  public:
    PixelBytes() = default;
    // `size` bytes, not cleared; throws std::bad_alloc when the heap refuses.
    explicit PixelBytes(size_t size);
    PixelBytes(PixelBytes&& other) noexcept { *this = std::move(other); }
    PixelBytes& operator=(PixelBytes&& other) noexcept {
        bytes_ = std::move(other.bytes_);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        return *this;
    }

    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }  // the bytes the block holds
    // Keeps the first `size` bytes (no more than there are), giving the rest
    // back.
    void Shrink(size_t size);

  private:
    struct Free {
        void operator()(uint8_t* bytes) const;
    };
    std::unique_ptr<uint8_t, Free> bytes_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// A loaded image, kept ready to copy into the back buffer: pixels already in
// the back buffer's format, and for drawing with transparency, the runs of
// opaque pixels of every row, found once from the file's own colours.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 0;
    PixelBytes pixels;               // height rows of width * bytesPerPixel bytes
    std::vector<OpaqueSpan> spans;   // the opaque runs of all rows, top row first
    std::vector<uint32_t> rowSpans;  // row y's runs: spans[rowSpans[y] .. rowSpans[y + 1])
    bool opaque = false;             // no transparent pixel at all
};

// Copies the image with its top-left corner at (x, y), clipped to `clip` and
// to the target; with `transparent`, only its opaque runs. The target must be
// a back buffer of the format the image was made for. Run for every sprite of
// every frame, by dxDrawGraph: no allocation, no SDL call.
void DrawImage(const Image& image, SDL_Surface* target, const ClipRect& clip, int32_t x, int32_t y,
               bool transparent);

// Bytes a pixel of an image for a back buffer of this SDL pixel format.
size_t TargetBytesPerPixel(uint32_t targetFormat);

// Decoded rows, ARGB8888 top row first, made into an image for the back
// buffer: its pixels in the target format, written into storage made ready
// for them, and the runs of opaque pixels of each row. A pixel is see-through
// when its colour is exactly black or, with `ownTransparency`, when it is
// less than half opaque.
class ImageBuilder {
  public:
    ImageBuilder(int32_t width, int32_t height, uint32_t targetFormat, bool ownTransparency,
                 PixelBytes storage);

    // The next row. It may lie in the storage itself, as long as it starts no
    // earlier than its converted row does: each pixel is read before anything
    // is written over it.
    void AddRow(const uint8_t* argb);

    // The image, its storage cut to its pixels.
    Image Finish();

  private:
    void AddRun(int32_t start, int32_t end);

    Image made_;
    uint8_t* out_ = nullptr;
    uint32_t targetFormat_;
    bool ownTransparency_;
};

}  // namespace dxsdl
