// Conversion: decoded pixels made into an image for the back buffer.
#include "conversion.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "decoding.h"

namespace dxsdl {

namespace {

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

// Rows first..first+count-1 of `decoded` as a new ARGB8888 surface: a view of
// those rows with the source's palette and colour key, converted by SDL. A few
// rows at a time keep the conversion's memory small beside the image itself.
SDL_Surface* ConvertRows(SDL_Surface* decoded, int first, int count) {
    if (first == 0 && count == decoded->h) {
        return SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    }
    auto* rows = static_cast<uint8_t*>(decoded->pixels) +
                 static_cast<size_t>(first) * static_cast<size_t>(decoded->pitch);
    SDL_Surface* view =
        SDL_CreateRGBSurfaceWithFormatFrom(rows, decoded->w, count, decoded->format->BitsPerPixel,
                                           decoded->pitch, decoded->format->format);
    if (view == nullptr) {
        return nullptr;
    }
    if (decoded->format->palette != nullptr) {
        SDL_SetSurfacePalette(view, decoded->format->palette);
    }
    Uint32 key = 0;
    if (SDL_GetColorKey(decoded, &key) == 0) {
        SDL_SetColorKey(view, SDL_TRUE, key);
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(view, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(view);
    return argb;
}

}  // namespace

size_t TargetBytesPerPixel(uint32_t targetFormat) {
    return targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
}

// Surfaces with a colour key of their own (paletted PNGs with a transparent
// entry) come out of the ARGB conversion with that key as alpha 0.
bool HasOwnTransparency(SDL_Surface* decoded) {
    return SDL_ISPIXELFORMAT_ALPHA(decoded->format->format) || SDL_HasColorKey(decoded) ||
           (decoded->format->palette != nullptr && [&] {
               for (int i = 0; i < decoded->format->palette->ncolors; ++i) {
                   if (decoded->format->palette->colors[i].a != SDL_ALPHA_OPAQUE) {
                       return true;
                   }
               }
               return false;
           }());
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

bool AddSurfaceRows(SDL_Surface* decoded, int32_t first, int32_t count, ImageBuilder& builder,
                    std::string* reason) {
    // Freed however this ends, running out of memory included.
    const std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> argb(
        ConvertRows(decoded, first, count), SDL_FreeSurface);
    if (!argb) {
        ThrowIfSdlOutOfMemory();
        *reason = std::string("cannot convert its pixels: ") + SDL_GetError();
        return false;
    }
    for (int32_t row = 0; row < count; ++row) {
        builder.AddRow(static_cast<const uint8_t*>(argb->pixels) +
                       static_cast<size_t>(row) * static_cast<size_t>(argb->pitch));
    }
    return true;
}

bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason) {
    const size_t bytes = static_cast<size_t>(decoded->w) * static_cast<size_t>(decoded->h) *
                         TargetBytesPerPixel(targetFormat);
    ImageBuilder builder(decoded->w, decoded->h, targetFormat, HasOwnTransparency(decoded),
                         PixelBytes(bytes));
    for (int32_t first = 0; first < decoded->h; first += kRowsPerStep) {
        if (!AddSurfaceRows(decoded, first, std::min(kRowsPerStep, decoded->h - first), builder,
                            reason)) {
            return false;
        }
    }
    *image = builder.Finish();
    return true;
}

}  // namespace dxsdl
