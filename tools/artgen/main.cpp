// artgen DIR: writes the game's sample art (408 bitmaps) into DIR.
#include <cstdio>
#include <exception>
#include <string>

#include "art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen DIR\n");
        return 2;
    }
    try {
        std::string error;
        if (!artgen::WriteArt(argv[1], &error)) {
            std::fprintf(stderr, "artgen: %s\n", error.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
