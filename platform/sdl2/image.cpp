// An image: its pixel storage, its making of decoded rows, and the blit of it
// into the back buffer (clipped row copies, no allocation, no SDL calls, run
// for every sprite of every frame).
#include "image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace dxsdl {
namespace {

// Sprite rows are short (16 or 32 pixels): a call to memcpy would cost more
// than the copy. Runs of up to 32 bytes are copied by two fixed-size moves
// that may overlap in the middle; longer ones go to memcpy.
inline void CopyRun(uint8_t* to, const uint8_t* from, size_t bytes) {
    if (bytes > 32) {
        std::memcpy(to, from, bytes);
    } else if (bytes >= 16) {
        uint8_t head[16];
        uint8_t tail[16];
        std::memcpy(head, from, 16);
        std::memcpy(tail, from + bytes - 16, 16);
        std::memcpy(to, head, 16);
        std::memcpy(to + bytes - 16, tail, 16);
    } else if (bytes >= 8) {
        uint64_t head;
        uint64_t tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + bytes - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + bytes - 8, &tail, 8);
    } else if (bytes >= 4) {
        uint32_t head;
        uint32_t tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + bytes - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + bytes - 4, &tail, 4);
    } else if (bytes >= 2) {
        uint16_t head;
        uint16_t tail;
        std::memcpy(&head, from, 2);
        std::memcpy(&tail, from + bytes - 2, 2);
        std::memcpy(to, &head, 2);
        std::memcpy(to + bytes - 2, &tail, 2);
    }
}

// Colour reduction as SDL does it for these formats (dropping the low bits),
// so an image drawn by us and one blitted by SDL look the same.
uint32_t ToTarget(uint32_t argb, uint32_t targetFormat) {
    const uint32_t r = (argb >> 16) & 0xFF;
    const uint32_t g = (argb >> 8) & 0xFF;
    const uint32_t b = argb & 0xFF;
    if (targetFormat == SDL_PIXELFORMAT_RGB565) {
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
    return (r << 16) | (g << 8) | b;
}

}  // namespace

PixelBytes::PixelBytes(size_t size)
    : bytes_(static_cast<uint8_t*>(std::malloc(size))), size_(size), capacity_(size) {
    if (!bytes_ && size > 0) {
        throw std::bad_alloc();
    }
}

void PixelBytes::Shrink(size_t size) {
    if (size >= size_ || size == 0) {
        return;
    }
    size_ = size;
    // Made smaller, a block stays where it is: with glibc a large one gives
    // its pages back (mremap), a small one its tail to the heap. Should the
    // heap refuse even that, the block is kept whole.
    void* smaller = std::realloc(bytes_.get(), size);
    if (smaller != nullptr) {
        static_cast<void>(bytes_.release());
        bytes_.reset(static_cast<uint8_t*>(smaller));
        capacity_ = size;
    }
}

void PixelBytes::Free::operator()(uint8_t* bytes) const {
    std::free(bytes);
}

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

    const size_t targetPitch = static_cast<size_t>(target->pitch);
    const uint8_t* source = image.pixels.data() + static_cast<size_t>(top - y) * sourcePitch;
    // Screen column x + c of the first row drawn: every byte copied lies
    // within columns left..right-1 of the rows top..bottom-1.
    uint8_t* rowStart = static_cast<uint8_t*>(target->pixels) +
                        static_cast<size_t>(top) * targetPitch + static_cast<size_t>(left) * bpp;
    const size_t firstByte = static_cast<size_t>(firstColumn) * bpp;

    // Every visible pixel copied: one run per row, the same length in all.
    if (!transparent || image.opaque) {
        const size_t bytes = static_cast<size_t>(endColumn - firstColumn) * bpp;
        for (int64_t row = top; row < bottom; ++row) {
            CopyRun(rowStart, source + firstByte, bytes);
            source += sourcePitch;
            rowStart += targetPitch;
        }
        return;
    }

    // Opaque runs only.
    const auto imageTop = static_cast<size_t>(top - y);
    const auto imageBottom = static_cast<size_t>(bottom - y);
    const bool wholeRows = firstColumn == 0 && endColumn == image.width;
    for (size_t imageRow = imageTop; imageRow < imageBottom; ++imageRow) {
        const uint8_t* sourceRow = source;  // image column 0 of this row
        const uint32_t spanEnd = image.rowSpans[imageRow + 1];
        if (wholeRows) {
            uint8_t* destination = rowStart;
            for (uint32_t s = image.rowSpans[imageRow]; s < spanEnd; ++s) {
                const OpaqueSpan span = image.spans[s];
                const size_t at = static_cast<size_t>(span.start) * bpp;
                CopyRun(destination + at, sourceRow + at, static_cast<size_t>(span.length) * bpp);
            }
        } else {
            for (uint32_t s = image.rowSpans[imageRow]; s < spanEnd; ++s) {
                const OpaqueSpan span = image.spans[s];
                if (span.start >= endColumn) {
                    break;  // runs are in column order
                }
                const int32_t from = std::max<int32_t>(span.start, firstColumn);
                const int32_t to = std::min<int32_t>(span.start + span.length, endColumn);
                if (from < to) {
                    const size_t at = static_cast<size_t>(from) * bpp;
                    CopyRun(rowStart + (at - firstByte), sourceRow + at,
                            static_cast<size_t>(to - from) * bpp);
                }
            }
        }
        source += sourcePitch;
        rowStart += targetPitch;
    }
}

size_t TargetBytesPerPixel(uint32_t targetFormat) {
    return targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
}

ImageBuilder::ImageBuilder(int32_t width, int32_t height, uint32_t targetFormat,
                           bool ownTransparency, PixelBytes storage)
    : targetFormat_(targetFormat), ownTransparency_(ownTransparency) {
    made_.width = width;
    made_.height = height;
    made_.bytesPerPixel = static_cast<int32_t>(TargetBytesPerPixel(targetFormat));
    made_.pixels = std::move(storage);
    made_.rowSpans.reserve(static_cast<size_t>(height) + 1);
    out_ = made_.pixels.data();
}

void ImageBuilder::AddRow(const uint8_t* argb) {
    made_.rowSpans.push_back(static_cast<uint32_t>(made_.spans.size()));
    int32_t runStart = -1;
    for (int32_t x = 0; x < made_.width; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, argb + static_cast<size_t>(x) * 4, sizeof pixel);
        const bool seeThrough =
            (pixel & 0x00FFFFFFu) == 0 || (ownTransparency_ && (pixel >> 24) < 0x80);
        // A dark colour that reduces to 0 stays opaque: the decision was
        // made from the file's colour above, never from the reduced value.
        const uint32_t value = seeThrough ? 0 : ToTarget(pixel, targetFormat_);
        if (made_.bytesPerPixel == 2) {
            const auto value16 = static_cast<uint16_t>(value);
            std::memcpy(out_, &value16, 2);
        } else {
            std::memcpy(out_, &value, 4);
        }
        out_ += made_.bytesPerPixel;
        if (!seeThrough && runStart < 0) {
            runStart = x;
        } else if (seeThrough && runStart >= 0) {
            AddRun(runStart, x);
            runStart = -1;
        }
    }
    if (runStart >= 0) {
        AddRun(runStart, made_.width);
    }
}

Image ImageBuilder::Finish() {
    made_.rowSpans.push_back(static_cast<uint32_t>(made_.spans.size()));
    made_.spans.shrink_to_fit();
    made_.pixels.Shrink(static_cast<size_t>(made_.width) * static_cast<size_t>(made_.height) *
                        static_cast<size_t>(made_.bytesPerPixel));
    made_.opaque = made_.spans.size() == static_cast<size_t>(made_.height) &&
                   std::all_of(made_.spans.begin(), made_.spans.end(), [&](const OpaqueSpan& span) {
                       return span.start == 0 && span.length == made_.width;
                   });
    return std::move(made_);
}

void ImageBuilder::AddRun(int32_t start, int32_t end) {
    made_.spans.push_back(
        OpaqueSpan{static_cast<uint16_t>(start), static_cast<uint16_t>(end - start)});
}

}  // namespace dxsdl
