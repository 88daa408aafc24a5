#include <algorithm>
#include <cstdint>
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

Image FilledIcon(int side) {
    const Image icon = Icon();
    // The figure's bounds, in the icon's pixels.
    int minX = icon.width();
    int minY = icon.height();
    int maxX = -1;
    int maxY = -1;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            if (icon.Opaque(x, y)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    const int64_t extent = side;
    // A point (px, py) of the picture is inside the safe circle when its
    // distance from the centre is at most 0.4 of the side: in whole numbers,
    // 25 ((2px - side)^2 + (2py - side)^2) <= 16 side^2.
    const auto inside = [extent](int64_t px, int64_t py) {
        return 25 * ((2 * px - extent) * (2 * px - extent) +
                     (2 * py - extent) * (2 * py - extent)) <=
               16 * extent * extent;
    };
    // Whether the figure, enlarged `scale` times and placed at (left, top),
    // lies in the safe circle: every corner of every enlarged pixel.
    const auto fits = [&](int scale, int left, int top) {
        for (int y = minY; y <= maxY; ++y) {
            for (int x = minX; x <= maxX; ++x) {
                if (!icon.Opaque(x, y)) {
                    continue;
                }
                for (int corner = 0; corner < 4; ++corner) {
                    const int64_t px = left + static_cast<int64_t>(x + corner % 2) * scale;
                    const int64_t py = top + static_cast<int64_t>(y + corner / 2) * scale;
                    if (!inside(px, py)) {
                        return false;
                    }
                }
            }
        }
        return true;
    };
    // The largest scale that fits, centred; at 1 whatever fits.
    int scale = side / icon.width();
    int left = 0;
    int top = 0;
    for (;; --scale) {
        left = (side - (minX + maxX + 1) * scale) / 2;
        top = (side - (minY + maxY + 1) * scale) / 2;
        if (scale <= 1 || fits(scale, left, top)) {
            break;
        }
    }
    Image filled(side, side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int fromX = x - left;
            const int fromY = y - top;
            const bool figure =
                fromX >= 0 && fromY >= 0 && icon.Opaque(fromX / scale, fromY / scale);
            filled.Set(x, y,
                       figure ? icon.At(fromX / scale, fromY / scale) : kMaskableIconBackground);
        }
    }
    return filled;
}

Image MaskableIcon() {
    return FilledIcon(kMaskableIconSize);
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
    return WritePng(directory / kMaskableIconName, MaskableIcon(), 1, error) &&
           WritePng(directory / kTouchIconName, FilledIcon(kTouchIconSize), 1, error);
}

}  // namespace artgen
