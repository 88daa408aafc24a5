// The images the game has loaded, by handle: a handle is an index into the
// table, valid until the library shuts down.
#pragma once

#include <cstdint>
#include <string>

#include "image.h"

namespace dxsdl {

// Where relative names are looked up when the working directory lacks them.
void SetExecutableDirectory(const std::string& directory);

// Loads the named file for a back buffer of this SDL pixel format. The handle
// (0 or more), or -1 after one line on standard error naming the file and the
// reason (one line per file name, however often it is asked for).
int32_t LoadImage(const char* fileName, uint32_t targetFormat);

// Null for a handle that names no loaded image.
const Image* FindImage(int32_t handle);

// Forgets every image; their handles name nothing any more.
void ForgetAllImages();

}  // namespace dxsdl
