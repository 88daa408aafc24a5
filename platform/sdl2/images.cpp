// The image table: loading a file the game names into an image ready for the
// back buffer, within the budget all images share; the handles; and the lines
// that sum up the loads that failed.
#include "images.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "decoding.h"
#include "files.h"
#include "messages.h"

namespace dxsdl {

// ---------------------------------------------------------------------------
// Conversion

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

}  // namespace

namespace {

// Rows first..first+count-1 of `decoded` as a new ARGB8888 surface: a view of
// those rows with the source's palette and colour key, converted by SDL. A few
// rows at a time keep the conversion's memory small beside the image itself.
SDL_Surface* ConvertRows(SDL_Surface* decoded, int first, int count) {
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

constexpr int kRowsPerConversion = 16;

}  // namespace

bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason) {
    const bool ownTransparency = HasOwnTransparency(decoded);
    const int32_t bytesPerPixel = targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
    Image made;
    made.pixels.swap(image->pixels);  // a buffer the caller may have made ready
    made.width = decoded->w;
    made.height = decoded->h;
    made.bytesPerPixel = bytesPerPixel;
    made.pixels.resize(static_cast<size_t>(decoded->w) * static_cast<size_t>(decoded->h) *
                       static_cast<size_t>(bytesPerPixel));
    made.rowSpans.reserve(static_cast<size_t>(decoded->h) + 1);

    uint8_t* out = made.pixels.data();
    // Freed however this ends, running out of memory included.
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> chunk(nullptr, SDL_FreeSurface);
    SDL_Surface* argb = nullptr;
    int32_t chunkFirst = 0;
    for (int32_t y = 0; y < decoded->h; ++y) {
        if (argb == nullptr || y - chunkFirst >= argb->h) {
            chunkFirst = y;
            chunk.reset(ConvertRows(decoded, y, std::min(kRowsPerConversion, decoded->h - y)));
            argb = chunk.get();
            if (argb == nullptr) {
                *reason = std::string("cannot convert its pixels: ") + SDL_GetError();
                return false;
            }
        }
        made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
        const auto* row = reinterpret_cast<const uint8_t*>(argb->pixels) +
                          static_cast<size_t>(y - chunkFirst) * static_cast<size_t>(argb->pitch);
        int32_t runStart = -1;
        for (int32_t x = 0; x < made.width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + static_cast<size_t>(x) * 4, sizeof pixel);
            const bool seeThrough =
                (pixel & 0x00FFFFFFu) == 0 || (ownTransparency && (pixel >> 24) < 0x80);
            // A dark colour that reduces to 0 stays opaque: the decision was
            // made from the file's colour above, never from the reduced value.
            const uint32_t value = seeThrough ? 0 : ToTarget(pixel, targetFormat);
            if (bytesPerPixel == 2) {
                const auto value16 = static_cast<uint16_t>(value);
                std::memcpy(out, &value16, 2);
            } else {
                std::memcpy(out, &value, 4);
            }
            out += bytesPerPixel;
            if (!seeThrough && runStart < 0) {
                runStart = x;
            } else if (seeThrough && runStart >= 0) {
                made.spans.push_back(OpaqueSpan{runStart, x - runStart});
                runStart = -1;
            }
        }
        if (runStart >= 0) {
            made.spans.push_back(OpaqueSpan{runStart, made.width - runStart});
        }
    }
    chunk.reset();
    made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
    made.spans.shrink_to_fit();
    made.opaque = made.spans.size() == static_cast<size_t>(made.height) &&
                  std::all_of(made.spans.begin(), made.spans.end(), [&](const OpaqueSpan& span) {
                      return span.start == 0 && span.length == made.width;
                  });
    *image = std::move(made);
    return true;
}

// ---------------------------------------------------------------------------
// The handle table

namespace {

// Handles are indices; past this many images they could not stay positive.
constexpr size_t kMaxImages = 0x7FFFFFFF;

std::string Mebibytes(size_t bytes) {
    return std::to_string((bytes + (size_t{1} << 20) - 1) >> 20) + " MiB";
}

int32_t Fail(ImageTable& table, const std::string& name, const std::string& reason,
             bool folderMissing = false) {
    if (!table.reportedNames.insert(name).second) {
        return -1;
    }
    if (folderMissing) {
        table.missingFolders.insert(FolderOf(name));
        ++table.missingFiles;
    } else if (table.listedFailures < kListedFailures) {
        ++table.listedFailures;
        ReportLine("cannot load image \"" + name + "\": " + reason);
    } else {
        ++table.unlistedFailures;
    }
    return -1;
}

int32_t LoadOrFail(ImageTable& table, const std::string& name, uint32_t targetFormat) {
    std::string reason;
    bool folderMissing = false;
    const std::string path =
        FindImageFile(name, table.executableDirectory, &reason, &folderMissing);
    if (path.empty()) {
        return Fail(table, name, reason, folderMissing);
    }
    // The header first: a file that is no image, or an image that cannot
    // fit the budget, is refused before the rest of it is read.
    FileReader file;
    std::vector<uint8_t> bytes;
    ImageHeader header;
    if (!file.Open(path, kMaxImageFileBytes, FileReader::Kinds::RegularOnly, "an image", &reason) ||
        !file.ReadStart(kImageHeaderBytes, &bytes, &reason) ||
        !InspectImageHeader(bytes.data(), bytes.size(), file.Size(), &header, &reason)) {
        return Fail(table, name, reason);
    }
    const size_t bytesPerPixel = targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
    const size_t least =
        static_cast<size_t>(header.width) * static_cast<size_t>(header.height) * bytesPerPixel;
    const auto overBudget = [&](size_t needed) {
        return needed > table.budgetBytes || table.usedBytes > table.budgetBytes - needed;
    };
    const auto budgetReason = [&](size_t needed) {
        return "it needs " + Mebibytes(needed) + " and the images loaded before it hold " +
               Mebibytes(table.usedBytes) + " of the " + Mebibytes(table.budgetBytes) +
               " allowed (DXLIBDLL_IMAGE_BUDGET)";
    };
    if (overBudget(least)) {
        return Fail(table, name, budgetReason(least));
    }
    // The image's own pixels, the bulk of what it holds, before any decoding:
    // when memory is short, the load fails here at once.
    Image image;
    image.pixels.resize(least);
    if (!file.ReadAll(&bytes, &reason)) {
        return Fail(table, name, reason);
    }
    SDL_Surface* decoded = DecodeInspectedImage(bytes.data(), bytes.size(), header, &reason);
    std::vector<uint8_t>().swap(bytes);  // the file's bytes are not needed from here on
    if (decoded == nullptr) {
        return Fail(table, name, reason);
    }
    bool made = false;
    try {
        made = MakeImage(decoded, targetFormat, &image, &reason);
    } catch (const std::bad_alloc&) {
        SDL_FreeSurface(decoded);
        throw;
    }
    SDL_FreeSurface(decoded);
    if (!made) {
        return Fail(table, name, reason);
    }
    const size_t cost = ImageBytes(image);
    if (overBudget(cost)) {
        return Fail(table, name, budgetReason(cost));
    }
    if (table.images.size() >= kMaxImages) {
        return Fail(table, name, "too many images loaded");
    }
    table.images.push_back(std::move(image));
    table.usedBytes += cost;
    return static_cast<int32_t>(table.images.size() - 1);
}

}  // namespace

size_t ImageBytes(const Image& image) {
    return image.pixels.capacity() + image.spans.capacity() * sizeof(OpaqueSpan) +
           image.rowSpans.capacity() * sizeof(uint32_t);
}

size_t ImageBudgetFromEnvironment() {
    const char* text = SDL_getenv("DXLIBDLL_IMAGE_BUDGET");
    if (text == nullptr || *text == '\0') {
        return kDefaultImageBudget;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(text, &end, 10);
    int shift = 0;
    if (end != text && *end != '\0' && end[1] == '\0') {
        switch (*end) {
            case 'k':
            case 'K':
                shift = 10;
                ++end;
                break;
            case 'm':
            case 'M':
                shift = 20;
                ++end;
                break;
            case 'g':
            case 'G':
                shift = 30;
                ++end;
                break;
            default:
                break;
        }
    }
    const bool digitsFirst = *text >= '0' && *text <= '9';
    if (!digitsFirst || end == text || *end != '\0' || errno == ERANGE ||
        number > (SIZE_MAX >> shift)) {
        ReportLine(std::string("DXLIBDLL_IMAGE_BUDGET=") + text +
                   " is not a size in bytes (such as 268435456 or 256M); using " +
                   Mebibytes(kDefaultImageBudget));
        return kDefaultImageBudget;
    }
    return static_cast<size_t>(number) << shift;
}

int32_t LoadImage(ImageTable& table, const char* fileName, uint32_t targetFormat) {
    if (fileName == nullptr) {
        return Fail(table, "(null)", "no file name given");
    }
    // Names are shown as this system writes paths.
    const std::string name = FileNameFromGame(fileName);
    try {
        return LoadOrFail(table, name, targetFormat);
    } catch (const std::bad_alloc&) {
        // Whatever was being made for this image is gone again by now.
        return Fail(table, name, "not enough memory to load it");
    }
}

namespace {

void WriteLoadSummary(const ImageTable& table) {
    if (table.missingFiles > 0) {
        std::string folders;
        for (const std::string& folder : table.missingFolders) {
            folders += (folders.empty() ? "\"" : ", \"") + folder + "\"";
        }
        std::string beside = table.executableDirectory;
        while (beside.size() > 1 && (beside.back() == '/' || beside.back() == '\\')) {
            beside.pop_back();
        }
        std::string where = "in the working directory (" + WorkingDirectory() + ")";
        if (!beside.empty()) {
            where += " or beside the program (" + beside + ")";
        }
        ReportLine(std::to_string(table.missingFiles) + " image" +
                   (table.missingFiles == 1 ? "" : "s") + " could not be loaded: no folder " +
                   folders + " " + where);
    }
    if (table.unlistedFailures > 0) {
        ReportLine(std::to_string(table.unlistedFailures) + " more image" +
                   (table.unlistedFailures == 1 ? "" : "s") +
                   " could not be loaded (only the first " + std::to_string(kListedFailures) +
                   " are listed)");
    }
}

}  // namespace

void ReportLoadSummary(ImageTable& table) noexcept {
    try {
        WriteLoadSummary(table);
    } catch (const std::bad_alloc&) {
        ReportLine("some images could not be loaded");
    }
    table.missingFolders.clear();
    table.missingFiles = 0;
    table.listedFailures = 0;
    table.unlistedFailures = 0;
}

const Image* FindImage(const ImageTable& table, int32_t handle) {
    if (handle < 0 || static_cast<size_t>(handle) >= table.images.size()) {
        return nullptr;
    }
    return &table.images[static_cast<size_t>(handle)];
}

}  // namespace dxsdl
