// The game's truth values: a comparison gives -1 for true and 0 for false, and
// conditions are combined with bitwise AND and tested for non-zero.
#pragma once

#include <cstdint>

constexpr int32_t TruthValue(bool condition) {
    return condition ? -1 : 0;
}
