// Finding, reading and decoding an image file by the name the game gives.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace dxsdl {

// The name with every '\' turned into '/', the game's names being Windows
// paths.
std::string NormalizeSeparators(const char* name);

// Where a name refers to: an absolute path as it stands; a relative one in the
// working directory if anything of that name is there, else in
// `executableDirectory` (ending in a separator, or empty for none) if it is
// there, else in the install's data folder, `executableDirectory`
// ../share/chaser/. Empty with a reason when none has it.
std::string FindImageFile(const std::string& name, const std::string& executableDirectory,
                          std::string* reason);

// Decodes a whole image file held in memory (`size` bytes at `data`). The
// header is checked before any decoding, so an oversized or damaged image
// costs no more than its file. Null with a reason on failure; otherwise the
// caller frees the surface. Needs no video: SDL need not even be started.
SDL_Surface* DecodeImageBytes(const uint8_t* data, size_t size, std::string* reason);

// Reads the whole file and decodes it as DecodeImageBytes does.
SDL_Surface* ReadImageFile(const std::string& path, std::string* reason);

}  // namespace dxsdl
