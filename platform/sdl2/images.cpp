// Loading images and drawing them into the back buffer.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "library_state.h"

namespace {

constexpr int32_t kLargestSide = 8192;

void Report(const std::string& name, const std::string& reason) {
    LibraryState& lib = Library();
    if (lib.reportedFiles.insert(name).second) {
        std::fprintf(stderr, "dxlib: cannot load %s: %s\n", name.c_str(), reason.c_str());
    }
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The file to open: as named (backslashes made native), else beside the executable.
std::string Resolve(const std::string& name) {
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (IsRegularFile(path) || path.empty() || path[0] == '/') {
        return path;
    }
    char* base = SDL_GetBasePath();
    if (base != nullptr) {
        const std::string beside = std::string(base) + path;
        SDL_free(base);
        if (IsRegularFile(beside)) {
            return beside;
        }
    }
    return path;
}

// Refuses a BMP whose header claims a side beyond the limit, before any pixel
// memory is asked for. Returns an empty string when the header is acceptable.
std::string CheckBmpHeader(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "cannot open the file";
    }
    unsigned char header[26] = {};
    const size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    if (got < sizeof header || header[0] != 'B' || header[1] != 'M') {
        return got == 0 ? "the file is empty" : "not a BMP image";
    }
    int32_t width = 0;
    int32_t height = 0;
    std::memcpy(&width, header + 18, 4);
    std::memcpy(&height, header + 22, 4);
    const int64_t w = width < 0 ? -static_cast<int64_t>(width) : width;
    const int64_t h = height < 0 ? -static_cast<int64_t>(height) : height;
    if (w > kLargestSide || h > kLargestSide) {
        return "image larger than 8192 pixels a side";
    }
    return "";
}

}  // namespace

void CloseImages() {
    LibraryState& lib = Library();
    for (LoadedImage& image : lib.images) {
        SDL_FreeSurface(image.pixels);
    }
    lib.images.clear();
}

int32_t LoadImageFile(const char* fileName) {
    LibraryState& lib = Library();
    const std::string name = fileName == nullptr ? std::string() : std::string(fileName);
    if (!lib.started) {
        Report(name, "the library is not started");
        return -1;
    }
    const std::string path = Resolve(name);
    if (!IsRegularFile(path)) {
        Report(name, "no such file");
        return -1;
    }
    const std::string refused = CheckBmpHeader(path);
    if (!refused.empty()) {
        Report(name, refused);
        return -1;
    }
    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    if (loaded == nullptr) {
        Report(name, SDL_GetError());
        return -1;
    }
    // Transparency comes from the file's own colours, before any reduction to
    // 16 bits can turn a dark colour into black.
    SDL_Surface* truecolour = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_XRGB8888, 0);
    SDL_FreeSurface(loaded);
    if (truecolour == nullptr) {
        Report(name, SDL_GetError());
        return -1;
    }
    LoadedImage image;
    image.opaque.resize(static_cast<size_t>(truecolour->w) * static_cast<size_t>(truecolour->h));
    for (int y = 0; y < truecolour->h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(truecolour->pixels) + y * truecolour->pitch);
        for (int x = 0; x < truecolour->w; ++x) {
            image.opaque[static_cast<size_t>(y) * static_cast<size_t>(truecolour->w) +
                         static_cast<size_t>(x)] = (row[x] & 0x00ffffffu) != 0 ? 1 : 0;
        }
    }
    image.pixels = SDL_ConvertSurface(truecolour, lib.backBuffer->format, 0);
    SDL_FreeSurface(truecolour);
    if (image.pixels == nullptr) {
        Report(name, SDL_GetError());
        return -1;
    }
    lib.images.push_back(std::move(image));
    return static_cast<int32_t>(lib.images.size() - 1);
}

int32_t DrawImage(int32_t x, int32_t y, int32_t handle, int32_t transFlag) {
    LibraryState& lib = Library();
    if (!lib.started || handle < 0 || static_cast<size_t>(handle) >= lib.images.size()) {
        return -1;
    }
    const LoadedImage& image = lib.images[static_cast<size_t>(handle)];
    const SDL_Surface* source = image.pixels;
    const SDL_Rect& area = lib.drawArea;
    // Work in 64 bits so no coordinate can overflow.
    const int64_t left = std::max<int64_t>(x, area.x);
    const int64_t top = std::max<int64_t>(y, area.y);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + source->w, area.x + area.w);
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + source->h, area.y + area.h);
    if (left >= right || top >= bottom) {
        return 0;
    }
    const int bytes = source->format->BytesPerPixel;
    SDL_Surface* target = lib.backBuffer;
    for (int64_t row = top; row < bottom; ++row) {
        const int64_t sourceRow = row - y;
        const auto* from = static_cast<const uint8_t*>(source->pixels) + sourceRow * source->pitch;
        auto* to = static_cast<uint8_t*>(target->pixels) + row * target->pitch;
        const uint8_t* mask = image.opaque.data() + sourceRow * source->w;
        if (transFlag == 0) {
            std::memcpy(to + left * bytes, from + (left - x) * bytes,
                        static_cast<size_t>((right - left) * bytes));
            continue;
        }
        for (int64_t column = left; column < right; ++column) {
            if (mask[column - x] != 0) {
                std::memcpy(to + column * bytes, from + (column - x) * bytes,
                            static_cast<size_t>(bytes));
            }
        }
    }
    return 0;
}
