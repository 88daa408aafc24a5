// Arbitrary bytes through the library's image path as a file would take it:
// header check and decoding, the conversion for each back buffer format, and
// drawing the result clipped; and through the loading of the file itself,
// which must give the same image wherever both give one. Besides the
// sanitizers' findings, any result that breaks what the drawing code relies on
// stops the run.
#include <SDL.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "library_view.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "image_load_fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) {
        Fail(what);
    }
}

// A small target with a clip rectangle inside it, every byte marked, so a
// write outside the clip shows.
constexpr int kTargetW = 48;
constexpr int kTargetH = 40;
constexpr uint8_t kMark = 0xA5;
constexpr dxsdl::ClipRect kClip{3, 2, 45, 37};

SDL_Surface* Target(uint32_t format) {
    static SDL_Surface* rgb565 = nullptr;
    static SDL_Surface* rgb888 = nullptr;
    SDL_Surface*& target = format == SDL_PIXELFORMAT_RGB565 ? rgb565 : rgb888;
    if (target == nullptr) {
        target =
            SDL_CreateRGBSurfaceWithFormat(0, kTargetW, kTargetH, SDL_BITSPERPIXEL(format), format);
        Check(target != nullptr, "cannot make a drawing target");
    }
    return target;
}

void CheckImage(const dxsdl::Image& image, const SDL_Surface* decoded) {
    Check(image.width == decoded->w && image.height == decoded->h, "image size changed");
    const size_t bpp = static_cast<size_t>(image.bytesPerPixel);
    const size_t rowBytes = static_cast<size_t>(image.width) * bpp;
    Check(image.pixels.size() == rowBytes * static_cast<size_t>(image.height),
          "pixel count does not match the size");
    Check(image.rowSpans.size() == static_cast<size_t>(image.height) + 1, "row index size");
    Check(image.rowSpans.front() == 0 && image.rowSpans.back() == image.spans.size(),
          "row index does not cover the runs");
    bool everyRowWhole = true;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint32_t first = image.rowSpans[static_cast<size_t>(y)];
        const uint32_t last = image.rowSpans[static_cast<size_t>(y) + 1];
        Check(first <= last, "row index goes backwards");
        everyRowWhole = everyRowWhole && last - first == 1 && image.spans[first].start == 0 &&
                        image.spans[first].length == image.width;
        // Runs are in order, apart, and inside the row; pixels between them
        // are zero.
        int32_t x = 0;
        const uint8_t* row = image.pixels.data() + static_cast<size_t>(y) * rowBytes;
        for (uint32_t i = first; i < last; ++i) {
            const dxsdl::OpaqueSpan& span = image.spans[i];
            Check(span.length > 0 && span.start >= x && (i == first || span.start > x),
                  "runs overlap, touch or are empty");
            Check(span.start + span.length <= image.width, "run past the row's end");
            for (int32_t gap = x * image.bytesPerPixel; gap < span.start * image.bytesPerPixel;
                 ++gap) {
                Check(row[gap] == 0, "a see-through pixel is not zero");
            }
            x = span.start + span.length;
        }
        for (size_t gap = static_cast<size_t>(x) * bpp; gap < rowBytes; ++gap) {
            Check(row[gap] == 0, "a see-through pixel is not zero");
        }
    }
    Check(image.opaque == everyRowWhole, "the opaque flag is wrong");
}

void DrawEverywhere(const dxsdl::Image& image, uint32_t format, const uint8_t* data, size_t size) {
    SDL_Surface* target = Target(format);
    const auto* pixels = static_cast<uint8_t*>(target->pixels);
    // Places from the input, so the fuzzer steers them: across each clip edge
    // and fully outside it.
    const int32_t dx = size > 0 ? data[size - 1] % 7 : 0;
    const int32_t places[][2] = {
        {kClip.left - image.width / 2 - dx, kClip.top - 1},
        {kClip.right - image.width / 2 + dx, kClip.bottom - image.height / 2},
        {kClip.left + dx, kClip.top + dx},
        {-image.width, -image.height},
        {kTargetW, kTargetH}};
    for (const auto& place : places) {
        for (bool transparent : {false, true}) {
            std::memset(target->pixels, kMark, static_cast<size_t>(target->pitch) * kTargetH);
            dxsdl::DrawImage(image, target, kClip, place[0], place[1], transparent);
            const int bpp = target->format->BytesPerPixel;
            for (int y = 0; y < kTargetH; ++y) {
                for (int x = 0; x < target->pitch; ++x) {
                    const bool inside = y >= kClip.top && y < kClip.bottom &&
                                        x >= kClip.left * bpp && x < kClip.right * bpp;
                    Check(inside || pixels[y * target->pitch + x] == kMark,
                          "drawing wrote outside the clip rectangle");
                }
            }
        }
    }
}

// The input as a file, loaded as the game loads its art (uncompressed BMPs a
// few rows at a time, PNGs decoded in place, the rest whole), within the
// default budget. False when the load refuses it.
bool LoadAsFile(const uint8_t* data, size_t size, uint32_t format, dxsdl::Image* image) {
    static const std::string path = [] {
        const char* shm = "/dev/shm";
        const std::string folder = access(shm, W_OK) == 0 ? shm : "/tmp";
        return folder + "/image_load_fuzz-" + std::to_string(getpid());
    }();
    static const bool removedAtExit = [] {
        return std::atexit([] { std::remove(path.c_str()); }) == 0;
    }();
    static_cast<void>(removedAtExit);
    FILE* file = std::fopen(path.c_str(), "wb");
    Check(file != nullptr && std::fwrite(data, 1, size, file) == size, "cannot write the input");
    std::fclose(file);
    // One table for every input, its lines used up: refusals stay silent.
    static dxsdl::ImageTable table;
    table.images.clear();
    table.usedBytes = 0;
    table.reportedNames.clear();
    table.listedFailures = dxsdl::kListedFailures;
    table.unlistedFailures = 0;
    const int32_t handle = dxsdl::LoadImage(table, path.c_str(), format);
    if (handle < 0) {
        return false;
    }
    *image = std::move(table.images[static_cast<size_t>(handle)]);
    return true;
}

// Both ways into an image give the same one.
void CheckSame(const dxsdl::Image& file, const dxsdl::Image& whole) {
    Check(file.width == whole.width && file.height == whole.height &&
              file.pixels.size() == whole.pixels.size() &&
              std::memcmp(file.pixels.data(), whole.pixels.data(), file.pixels.size()) == 0,
          "the file's pixels differ from the whole decoding's");
    Check(file.rowSpans == whole.rowSpans && file.spans.size() == whole.spans.size() &&
              std::equal(file.spans.begin(), file.spans.end(), whole.spans.begin(),
                         [](const dxsdl::OpaqueSpan& a, const dxsdl::OpaqueSpan& b) {
                             return a.start == b.start && a.length == b.length;
                         }),
          "the file's runs differ from the whole decoding's");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string reason;
    SDL_Surface* decoded = dxsdl::DecodeImageBytes(data, size, &reason);
    if (decoded == nullptr) {
        Check(!reason.empty(), "refused without a reason");
        return 0;
    }
    Check(decoded->w > 0 && decoded->h > 0 && decoded->w <= dxsdl::kMaxImageSide &&
              decoded->h <= dxsdl::kMaxImageSide,
          "decoded an image of a size the header check refuses");
    // A long run can cap the size it converts and checks pixel by pixel
    // (IMAGE_FUZZ_MAX_PIXELS): a few hundred bytes of run-length data make a
    // picture of millions of pixels, and the fuzzer then spends most of its
    // time on a handful of them. Decoding and the header check still see
    // every input.
    static const int64_t maxPixels = [] {
        const char* text = std::getenv("IMAGE_FUZZ_MAX_PIXELS");
        return text != nullptr ? std::strtoll(text, nullptr, 10) : int64_t{0};
    }();
    const int64_t pixels = int64_t{decoded->w} * decoded->h;
    if (maxPixels > 0 && pixels > maxPixels) {
        SDL_FreeSurface(decoded);
        return 0;
    }
    // The 32-bit back buffer runs the same conversion with wider pixels: worth
    // its time on images small enough to keep the run fast.
    constexpr int64_t kSecondFormatPixels = int64_t{1} << 20;
    const bool both = pixels <= kSecondFormatPixels;
    for (uint32_t format : {SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_RGB888}) {
        if (format == SDL_PIXELFORMAT_RGB888 && !both) {
            continue;
        }
        dxsdl::Image image;
        if (dxsdl::MakeImage(decoded, format, &image, &reason)) {
            CheckImage(image, decoded);
            DrawEverywhere(image, format, data, size);
            dxsdl::Image fromFile;
            if (LoadAsFile(data, size, format, &fromFile)) {
                CheckSame(fromFile, image);
            }
        } else {
            Check(!reason.empty(), "conversion failed without a reason");
        }
    }
    SDL_FreeSurface(decoded);
    return 0;
}
