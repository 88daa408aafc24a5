// The images the game loads: the table of them by handle, the memory budget
// they share, and the summary lines for the loads that failed.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "image.h"

namespace dxsdl {

// All loaded images together hold at most this many bytes unless the
// environment variable DXLIBDLL_IMAGE_BUDGET says otherwise.
inline constexpr size_t kDefaultImageBudget = size_t{256} * 1024 * 1024;

// At most this many failed files get a line of their own between two
// summaries; the rest are counted.
inline constexpr int32_t kListedFailures = 5;

// The images the game has loaded, by handle: a handle is an index into the
// table, valid until the library shuts down.
struct ImageTable {
    std::vector<Image> images;
    // Where relative names are looked up when the working directory lacks
    // them: ending in a separator, or empty for none.
    std::string executableDirectory;
    // File names already reported, so a game that asks again and again for a
    // missing file does not flood the terminal.
    std::set<std::string> reportedNames;
    // Failures not yet summed up: files whose whole folder is missing (one
    // line names the folders), and files past the listed few.
    std::set<std::string> missingFolders;
    int32_t missingFiles = 0;
    int32_t listedFailures = 0;
    int32_t unlistedFailures = 0;
    // The bytes the loaded images hold, and the most they may hold.
    size_t usedBytes = 0;
    size_t budgetBytes = kDefaultImageBudget;
    // Loads leave room for the game to play on (the display's library needs
    // memory at every frame): what they took since that room was last found
    // free (the first load looks at once), and whether a load ran out of
    // memory all the same, after which every load is refused at once.
    uint64_t takenSinceAsked = UINT64_MAX / 2;
    bool memoryRanOut = false;
};

// The image budget: DXLIBDLL_IMAGE_BUDGET in bytes, or with a K, M or G
// suffix (powers of 1024); the default after a line when it makes no sense.
// Read once, at start-up.
size_t ImageBudgetFromEnvironment();

// The bytes an image holds in memory.
size_t ImageBytes(const Image& image);

// A number of bytes as a player reads it: "850 bytes", "5 KiB", or, when it
// is not a whole number of its unit, "1.29 MiB (1357824 bytes)". For
// messages.
std::string ByteCount(uint64_t bytes);

// Loads the named file for a back buffer of this SDL pixel format, for
// dxLoadGraph. The handle (0 or more), or -1. A failure is reported once per
// file name: a file whose folder is missing everywhere it was looked for is
// counted for the summary; others get a line naming the file and the reason,
// the first few of them, the rest counted. Running out of memory, or past the
// budget, is such a failure too: the process goes on.
int32_t LoadImage(ImageTable& table, const char* fileName, uint32_t targetFormat) noexcept;

// Writes what failed loads since the last summary left unsaid: one line for
// the missing folders (where they were looked for, how many images failed),
// one for the failures past the listed few. Nothing when there is nothing.
// Called at each frame shown and at shut-down.
void ReportLoadSummary(ImageTable& table) noexcept;

// Forgets every loaded image; their handles name nothing any more, and the
// memory goes back at once.
void ForgetAllImages(ImageTable& table);

// Null for a handle that names no loaded image.
const Image* FindImage(const ImageTable& table, int32_t handle);

}  // namespace dxsdl
