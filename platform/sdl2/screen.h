// The screen: its mode, the back buffer every drawing operation writes into,
// the drawing area, images ready to copy into the back buffer, and the
// widening of the back buffer's pixels for showing.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dxsdl {

struct ScreenMode {
    int32_t width = 640;
    int32_t height = 480;
    int32_t bits = 16;  // 16: RGB565, 32: XRGB8888
    int32_t refreshRate = 60;
};

// The drawing area: columns left..right-1 and rows top..bottom-1, always within
// the screen; empty when left >= right or top >= bottom.
struct ClipRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

inline constexpr int32_t kMaxScreenSide = 8192;

// Whether the library draws on a screen of this size and depth at this rate.
// Asked by dxSetGraphMode.
bool SupportedMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate);

// The SDL pixel format of the back buffer for a colour depth.
uint32_t PixelFormatForBits(int32_t bits);

// The back buffer for the mode, cleared to black; null with a reason on
// failure. Made once, at start-up.
SDL_Surface* CreateBackBuffer(const ScreenMode& mode, std::string* reason);

// The rectangle clamped to the screen; for dxSetDrawArea.
ClipRect ClampClipRect(const ScreenMode& mode, int32_t left, int32_t top, int32_t right,
                       int32_t bottom);

// Black over the whole back buffer, whatever the drawing area; for
// dxClearDrawScreen.
void ClearBackBuffer(SDL_Surface* backBuffer);

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

// RGB565 to XRGB8888, each channel widened to floor(v * 255 / max) as SDL
// widens it, so a 16-bit screen looks the way SDL would show it.
uint32_t WidenRgb565(uint16_t pixel);

// A row of `width` RGB565 pixels at `in` widened into `out`.
void WidenRgb565Row(const uint8_t* in, uint32_t* out, size_t width);

// Whether pixels of this SDL format are XRGB8888 in memory (the alpha byte, if
// any, ignored): the format the widened back buffer is written in.
bool IsXrgb(uint32_t format);

// The back buffer into XRGB8888 rows starting at `pixels`, each pixel
// repeated `scale` times across and each row `scale` times down. Called when
// a frame is shown.
void ConvertToXrgb(const SDL_Surface* backBuffer, uint8_t* pixels, size_t pitch, int scale);

}  // namespace dxsdl
