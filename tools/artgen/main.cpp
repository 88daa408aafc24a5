// artgen DIR: writes the game's sample art (408 bitmaps) into DIR.
// artgen --icons DIR: writes the desktop icon, as PNG at each size, into DIR.
#include <cstdio>
#include <exception>
#include <string>

#include "art.h"

int main(int argc, char** argv) {
    const bool icons = argc == 3 && std::string(argv[1]) == "--icons";
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: artgen DIR\n       artgen --icons DIR\n");
        return 2;
    }
    try {
        std::string error;
        const bool written =
            icons ? artgen::WriteIcons(argv[2], &error) : artgen::WriteArt(argv[1], &error);
        if (!written) {
            std::fprintf(stderr, "artgen: %s\n", error.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
