#include "image_table.h"

#include <set>
#include <vector>

#include "diagnostics.h"
#include "image_file.h"

namespace dxsdl {
namespace {

std::vector<Image> images;
std::string executableDirectory;
// File names already reported, so a game that asks again and again for a
// missing file does not flood the terminal.
std::set<std::string> reportedNames;

// Handles are indices; past this many images they could not stay positive.
constexpr size_t kMaxImages = 0x7FFFFFFF;

int32_t Fail(const std::string& name, const std::string& reason) {
    if (reportedNames.insert(name).second) {
        ReportLine("cannot load image \"" + name + "\": " + reason);
    }
    return -1;
}

}  // namespace

void SetExecutableDirectory(const std::string& directory) {
    executableDirectory = directory;
}

int32_t LoadImage(const char* fileName, uint32_t targetFormat) {
    if (fileName == nullptr) {
        return Fail("(null)", "no file name given");
    }
    const std::string name = NormalizeSeparators(fileName);
    std::string reason;
    const std::string path = FindImageFile(name, executableDirectory, &reason);
    if (path.empty()) {
        return Fail(fileName, reason);
    }
    SDL_Surface* decoded = ReadImageFile(path, &reason);
    if (decoded == nullptr) {
        return Fail(fileName, reason);
    }
    Image image;
    const bool made = MakeImage(decoded, targetFormat, &image, &reason);
    SDL_FreeSurface(decoded);
    if (!made) {
        return Fail(fileName, reason);
    }
    if (images.size() >= kMaxImages) {
        return Fail(fileName, "too many images loaded");
    }
    images.push_back(std::move(image));
    return static_cast<int32_t>(images.size() - 1);
}

const Image* FindImage(int32_t handle) {
    if (handle < 0 || static_cast<size_t>(handle) >= images.size()) {
        return nullptr;
    }
    return &images[static_cast<size_t>(handle)];
}

void ForgetAllImages() {
    // swap, not clear: the memory goes back as the library shuts down.
    std::vector<Image>().swap(images);
    reportedNames.clear();
}

}  // namespace dxsdl
