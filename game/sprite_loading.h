// Loading of the tile and sprite tables from resource\bmp.
#pragma once

// Fills TileHandles[0..50] and SpriteHandles[0..50][1..7] with the handles the
// library gives for resource\bmp\NN.bmp and resource\bmp\chrNN-J.bmp; failed
// loads are stored as they come. Called once, before the frame loop.
void LoadImages();
