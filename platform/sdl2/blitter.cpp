// The drawing loop of every frame: clipped row copies, no allocation, no SDL.
#include <algorithm>
#include <cstring>

#include "image.h"

namespace dxsdl {

void DrawImage(const Image& image, SDL_Surface* target, const ClipRect& clip, int32_t x, int32_t y,
               bool transparent) {
    // In 64 bits, so a sprite near the ends of the int32 range cannot overflow.
    const int64_t left = std::max<int64_t>({x, clip.left, 0});
    const int64_t right = std::min<int64_t>(
        {static_cast<int64_t>(x) + image.width, clip.right, static_cast<int64_t>(target->w)});
    const int64_t top = std::max<int64_t>({y, clip.top, 0});
    const int64_t bottom = std::min<int64_t>(
        {static_cast<int64_t>(y) + image.height, clip.bottom, static_cast<int64_t>(target->h)});
    if (left >= right || top >= bottom) {
        return;
    }
    const size_t bpp = static_cast<size_t>(image.bytesPerPixel);
    const size_t sourcePitch = static_cast<size_t>(image.width) * bpp;
    // Image columns visible in this draw.
    const auto firstColumn = static_cast<int32_t>(left - x);
    const auto endColumn = static_cast<int32_t>(right - x);

    for (int64_t row = top; row < bottom; ++row) {
        const auto imageRow = static_cast<size_t>(row - y);
        const uint8_t* source = image.pixels.data() + imageRow * sourcePitch;
        uint8_t* rowStart = static_cast<uint8_t*>(target->pixels) +
                            static_cast<size_t>(row) * static_cast<size_t>(target->pitch);
        // Image column c lands on screen column x + c, which is within
        // left..right-1 for every column copied.
        const auto place = [&](int32_t column) {
            return rowStart + static_cast<size_t>(static_cast<int64_t>(x) + column) * bpp;
        };
        if (!transparent) {
            std::memcpy(place(firstColumn), source + static_cast<size_t>(firstColumn) * bpp,
                        static_cast<size_t>(endColumn - firstColumn) * bpp);
            continue;
        }
        const uint32_t spanEnd = image.rowSpans[imageRow + 1];
        for (uint32_t s = image.rowSpans[imageRow]; s < spanEnd; ++s) {
            const OpaqueSpan span = image.spans[s];
            if (span.start >= endColumn) {
                break;  // runs are in column order
            }
            const int32_t from = std::max(span.start, firstColumn);
            const int32_t to = std::min(span.start + span.length, endColumn);
            if (from < to) {
                std::memcpy(place(from), source + static_cast<size_t>(from) * bpp,
                            static_cast<size_t>(to - from) * bpp);
            }
        }
    }
}

}  // namespace dxsdl
