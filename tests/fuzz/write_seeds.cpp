// write_seeds DIR: writes the seed images into DIR for the fuzzer to start
// from.
#include <cstdio>
#include <string>

#include "seed_images.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_seeds DIR\n");
        return 2;
    }
    for (const fuzzseed::SeedImage& seed : fuzzseed::MakeSeedImages()) {
        const std::string path = std::string(argv[1]) + "/" + seed.name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr ||
            std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), file) != seed.bytes.size()) {
            std::fprintf(stderr, "write_seeds: cannot write %s\n", path.c_str());
            if (file != nullptr) {
                std::fclose(file);
            }
            return 1;
        }
        std::fclose(file);
    }
    return 0;
}
