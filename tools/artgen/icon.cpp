#include <system_error>

#include "art.h"
#include "png_file.h"

namespace artgen {
namespace {

// Rows of the upper sprite from just under the hat's tip down to the chin.
constexpr int kIconTop = 7;

}  // namespace

Image Icon() {
    const Image upper = Sprite(kPlayerRow, kPlayerUpperColumn);
    Image icon(kIconSize, kIconSize);
    const int left = (kIconSize - upper.width()) / 2;
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < upper.width(); ++x) {
            if (upper.Opaque(x, kIconTop + y)) {
                icon.Set(left + x, y, upper.At(x, kIconTop + y));
            }
        }
    }
    return icon;
}

std::string IconName(int scale) {
    return "chaser-" + std::to_string(kIconSize * scale) + ".png";
}

bool WriteIcons(const std::filesystem::path& directory, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) {
        if (error != nullptr) {
            *error = "cannot make " + directory.string() + ": " + ec.message();
        }
        return false;
    }
    const Image icon = Icon();
    for (int scale : kIconScales) {
        if (!WritePng(directory / IconName(scale), icon, scale, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace artgen
