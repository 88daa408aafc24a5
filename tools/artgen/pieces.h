// The parts of the art, drawn by their own files.
#pragma once

#include "image.h"

namespace artgen {

// The whole landscape the tiles are cut from: 51 tiles wide.
Image Landscape();
inline constexpr int kLandscapeHeight = 152;
// Where the ground starts in the landscape; strip sprites are drawn 100 pixels
// down and are 32 high, so their bottom row stands on it.
inline constexpr int kGroundTop = 132;

// A creature or item of the sprite strip (16 x 32), for any row but the
// player's and the chaser's.
Image StripSprite(int row, int column);

// The whole player, 32 wide and the upper part's height plus the lower
// part's: the game draws the two parts one above the other.
Image PlayerFigure(int column);
inline constexpr int kPlayerLowerHeight = 48;

// The chaser (32 x 32) and its variants.
Image Chaser(int column);

}  // namespace artgen
