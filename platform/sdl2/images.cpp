// The image table: loading a file the game names into an image ready for the
// back buffer, within the budget all images share; the handles; and the lines
// that sum up the loads that failed.
#include "images.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "conversion.h"
#include "decoding.h"
#include "files.h"
#include "image_names.h"
#include "messages.h"

namespace dxsdl {
// ---------------------------------------------------------------------------
// The handle table

namespace {

// A file this small is read in one go with its header: some four hundred
// small files load at start-up, where every call to the system shows. A
// larger one has its header read first, and the rest where it is needed.
constexpr uint64_t kReadWholeBytes = uint64_t{64} << 10;

// Handles are indices; past this many images they could not stay positive.
constexpr size_t kMaxImages = 0x7FFFFFFF;

// What loading leaves free for the game to play on: its display's buffers, a
// window surface of a whole screen, its strings, the libraries' own needs.
constexpr uint64_t kPlayingRoom = uint64_t{16} << 20;
// Whether the memory is there is asked again once loads have taken this much
// since it was last asked, and for every image this large.
constexpr uint64_t kAskEvery = uint64_t{1} << 20;

// Whether `bytes` could be allocated now. Asked for address space only: the
// block is never touched, so nothing becomes resident.
bool MemoryToBeHad(uint64_t bytes) {
    if (bytes > SIZE_MAX) {
        return false;
    }
#ifdef __EMSCRIPTEN__
    // A web page's memory grows as it is asked for and never shrinks again:
    // asking would keep it. The browser's limit is far past the budget.
    return true;
#else
    void* block = std::malloc(static_cast<size_t>(bytes));
    std::free(block);
    return block != nullptr;
#endif
}

// A failed load, counted whatever memory is left: it gets one of the few
// lines or counts for the summary, and never more than that.
int32_t Fail(ImageTable& table, const std::string& name, const std::string& reason,
             bool folderMissing = false) noexcept {
    try {
        if (!table.reportedNames.insert(name).second) {
            return -1;
        }
    } catch (const std::bad_alloc&) {
        // Not remembered: asked for again, the name counts again.
    }
    if (folderMissing) {
        try {
            table.missingFolders.insert(FolderOf(name));
        } catch (const std::bad_alloc&) {
            // The summary still counts the file, naming fewer folders.
        }
        ++table.missingFiles;
    } else if (table.listedFailures < kListedFailures) {
        ++table.listedFailures;
        ReportLine({"cannot load image \"", name, "\": ", reason});
    } else {
        ++table.unlistedFailures;
    }
    return -1;
}

// The three ways into an image, by how the file is decoded (decoding.h). Each
// gives the image, or false with a reason.

bool LoadPng([[maybe_unused]] FileReader& file, [[maybe_unused]] const std::vector<uint8_t>& bytes,
             [[maybe_unused]] const ImageHeader& header, [[maybe_unused]] uint32_t targetFormat,
             [[maybe_unused]] Image* image, std::string* reason) {
#ifdef DXLIBDLL_HAVE_PNG
    // Decoded at four bytes a pixel into a block that becomes the image's
    // pixels: each row is converted where it lies, and the block then gives
    // back what the target format does not need.
    const auto width = static_cast<int32_t>(header.width);
    const auto height = static_cast<int32_t>(header.height);
    PixelBytes block(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    const uint8_t* decoded = block.data();
    // A small file was read whole already.
    if (!(bytes.size() == file.Size()
              ? DecodePngBytes(bytes.data(), bytes.size(), header, block.data(), reason)
              : DecodePngFile(file.Stream(), header, block.data(), reason))) {
        return false;
    }
    // libpng gives alpha whatever the file holds.
    ImageBuilder builder(width, height, targetFormat, true, std::move(block));
    for (int32_t y = 0; y < height; ++y) {
        builder.AddRow(decoded + static_cast<size_t>(y) * static_cast<size_t>(width) * 4);
    }
    *image = builder.Finish();
    return true;
#else
    *reason = "PNG images are not supported by this build of the library";
    return false;
#endif
}

bool LoadBmpRows(FileReader& file, const std::vector<uint8_t>& bytes, const ImageHeader& header,
                 uint32_t targetFormat, Image* image, std::string* reason) {
    BmpRowReader rows;
    // From the bytes read already (all of a small file), else from the file.
    const auto read = [&](uint64_t offset, uint8_t* out, size_t count, std::string* why) {
        if (offset <= bytes.size() && count <= bytes.size() - offset) {
            std::memcpy(out, bytes.data() + offset, count);
            return true;
        }
        return file.ReadAt(offset, out, count, why);
    };
    if (!rows.Start(header, read, reason)) {
        return false;
    }
    const auto width = static_cast<int32_t>(header.width);
    const auto height = static_cast<int32_t>(header.height);
    std::optional<ImageBuilder> builder;
    for (int32_t first = 0; first < height; first += kRowsPerStep) {
        const int32_t count = std::min(kRowsPerStep, height - first);
        SDL_Surface* band = rows.Rows(first, count, reason);
        if (band == nullptr) {
            return false;
        }
        if (!builder) {
            builder.emplace(width, height, targetFormat, HasOwnTransparency(band),
                            PixelBytes(static_cast<size_t>(width) * static_cast<size_t>(height) *
                                       TargetBytesPerPixel(targetFormat)));
        }
        if (!AddSurfaceRows(band, 0, count, *builder, reason)) {
            return false;
        }
    }
    *image = builder->Finish();
    return true;
}

bool LoadBmpSurface(FileReader& file, std::vector<uint8_t>& bytes, const ImageHeader& header,
                    uint32_t targetFormat, Image* image, std::string* reason) {
    if (!file.ReadAll(&bytes, reason)) {
        return false;
    }
    // Freed however this ends, running out of memory included.
    const std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> decoded(
        DecodeInspectedImage(bytes.data(), bytes.size(), header, reason), SDL_FreeSurface);
    // The file's bytes go before the image's pixels come.
    std::vector<uint8_t>().swap(bytes);
    return decoded && MakeImage(decoded.get(), targetFormat, image, reason);
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
        !file.ReadStart(file.Size() <= kReadWholeBytes ? file.Size() : kImageHeaderBytes, &bytes,
                        &reason) ||
        !InspectImageHeader(bytes.data(), bytes.size(), file.Size(), &header, &reason)) {
        return Fail(table, name, reason);
    }
    // Everything the load takes, counted before any of it is spent: the
    // pixels, the most runs of opaque pixels the rows can have (every other
    // pixel see-through), and what decoding takes beside them.
    const auto width = static_cast<uint64_t>(header.width);
    const auto height = static_cast<uint64_t>(header.height);
    const uint64_t needed = bytes.size() + width * height * TargetBytesPerPixel(targetFormat) +
                            height * ((width + 1) / 2) * sizeof(OpaqueSpan) +
                            (height + 1) * sizeof(uint32_t) +
                            DecodingBytes(header, file.Size(),
                                          static_cast<uint32_t>(TargetBytesPerPixel(targetFormat)));
    if (needed > table.budgetBytes || table.usedBytes > table.budgetBytes - needed) {
        return Fail(table, name,
                    "it needs " + ByteCount(needed) +
                        " to load, and the images loaded before it hold " +
                        ByteCount(table.usedBytes) + " of the " + ByteCount(table.budgetBytes) +
                        " allowed (DXLIBDLL_IMAGE_BUDGET)");
    }
    if (table.images.size() >= kMaxImages) {
        return Fail(table, name, "too many images loaded");
    }
    // Images load only while all they need, and room for the game to play
    // on, can be had: under a limit (ulimit -v, a container's) an image is
    // refused here, before any decoding, rather than part way through or by
    // taking the memory the display's library or the game need next. Asked
    // for every megabyte that loads take, so after loading the room is
    // there, less a megabyte at most.
    table.takenSinceAsked += needed;
    if (table.takenSinceAsked >= kAskEvery) {
        if (!MemoryToBeHad(needed + kPlayingRoom)) {
            return Fail(table, name,
                        "not enough memory to load it: it needs " + ByteCount(needed) + ", and " +
                            ByteCount(kPlayingRoom) + " stay free for the game");
        }
        table.takenSinceAsked = 0;
    }
    Image image;
    bool made = false;
    switch (DecodingOf(header)) {
        case Decoding::Png:
            made = LoadPng(file, bytes, header, targetFormat, &image, &reason);
            break;
        case Decoding::Rows:
            made = LoadBmpRows(file, bytes, header, targetFormat, &image, &reason);
            break;
        case Decoding::Surface:
            made = LoadBmpSurface(file, bytes, header, targetFormat, &image, &reason);
            break;
    }
    if (!made) {
        return Fail(table, name, reason);
    }
    // What it keeps: no more than was counted for it.
    const size_t cost = ImageBytes(image);
    table.images.push_back(std::move(image));
    table.usedBytes += cost;
    return static_cast<int32_t>(table.images.size() - 1);
}

}  // namespace

std::string ByteCount(uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    size_t unit = 0;
    while (unit + 1 < std::size(kUnits) && bytes >= (uint64_t{1024} << (10 * (unit + 1)))) {
        ++unit;
    }
    const uint64_t size = uint64_t{1024} << (10 * unit);
    const std::string whole = std::to_string(bytes / size);
    if (bytes % size == 0) {
        return whole + " " + kUnits[unit];
    }
    // Two decimals, cut rather than rounded up, and the exact count beside.
    const uint64_t hundredths = (bytes % size) * 100 / size;
    return whole + (hundredths < 10 ? ".0" : ".") + std::to_string(hundredths) + " " +
           kUnits[unit] + " (" + std::to_string(bytes) + " bytes)";
}

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
                   ByteCount(kDefaultImageBudget));
        return kDefaultImageBudget;
    }
    return static_cast<size_t>(number) << shift;
}

int32_t LoadImage(ImageTable& table, const char* fileName, uint32_t targetFormat) noexcept {
    std::string name;
    try {
        if (fileName == nullptr) {
            return Fail(table, "(null)", "no file name given");
        }
        // Names are shown as this system writes paths.
        name = FileNameFromGame(fileName);
        if (table.memoryRanOut) {
            return Fail(table, name, "not enough memory to load it: memory ran out while loading");
        }
        return LoadOrFail(table, name, targetFormat);
    } catch (const std::bad_alloc&) {
        // Whatever was being made for this image is gone again by now. Memory
        // ran short of what was asked for moments ago: the loads still to
        // come are refused, so that the game plays on in what is left.
        table.memoryRanOut = true;
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
            where += ", beside the program (" + beside + ") or in its install's data folder (" +
                     InstallDataFolder(table.executableDirectory) + ")";
        }
        for (const std::string& folder : table.missingFolders) {
            where += CaseHint(folder, table.executableDirectory);
        }
        // A plain file where the folder should be is easily taken for it.
        for (const std::string& folder : table.missingFolders) {
            if (IsFileNotFolder(folder)) {
                where += "; \"" + folder + "\" in the working directory is a file, not a folder";
            }
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
        // Without memory for the folders' names, the counts still.
        char missing[16] = "";
        char unlisted[16] = "";
        char listed[16] = "";
        std::to_chars(missing, missing + sizeof missing - 1, table.missingFiles);
        std::to_chars(unlisted, unlisted + sizeof unlisted - 1, table.unlistedFailures);
        std::to_chars(listed, listed + sizeof listed - 1, kListedFailures);
        if (table.missingFiles > 0) {
            ReportLine({missing, " images could not be loaded: their folder is missing"});
        }
        if (table.unlistedFailures > 0) {
            ReportLine({unlisted, " more images could not be loaded (only the first ", listed,
                        " are listed)"});
        }
    }
    table.missingFolders.clear();
    table.missingFiles = 0;
    table.listedFailures = 0;
    table.unlistedFailures = 0;
}

void ForgetAllImages(ImageTable& table) {
    // swap, not clear: the memory goes back at once.
    std::vector<Image>().swap(table.images);
    table.reportedNames.clear();
    table.usedBytes = 0;
    table.memoryRanOut = false;
}

const Image* FindImage(const ImageTable& table, int32_t handle) {
    if (handle < 0 || static_cast<size_t>(handle) >= table.images.size()) {
        return nullptr;
    }
    return &table.images[static_cast<size_t>(handle)];
}

}  // namespace dxsdl
