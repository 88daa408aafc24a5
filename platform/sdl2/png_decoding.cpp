// PNGs decoded by libpng into the image's own block of B, G, R, A bytes:
// through its simplified API, except 16-bit interlaced files, whose rows the
// simplified API reduces wrongly, which are read row by row. Built where
// libpng is found (DXLIBDLL_HAVE_PNG).
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "decoding.h"

namespace dxsdl {

namespace {

// libpng's own words for what is wrong, in ours where the player would not
// know them.
std::string PngProblem(const char* message) {
    const std::string text(message);
    if (text.find("out of memory") != std::string::npos ||
        text.find("Out of memory") != std::string::npos ||
        text.find("Out of Memory") != std::string::npos ||
        text.find("insufficient memory") != std::string::npos) {
        throw std::bad_alloc();
    }
    const size_t crc = text.find(": CRC error");
    if (crc != std::string::npos) {
        return "damaged PNG: its " + text.substr(0, crc) + " chunk fails its checksum";
    }
    if (text.find("incorrect data check") != std::string::npos) {
        return "damaged PNG: its compressed pixels fail their checksum (" + text + ")";
    }
    // Read from a file, a PNG that ends early fails as libpng's stream
    // read does.
    if (text.find("beyond end of data") != std::string::npos ||
        text.find("Not enough image data") != std::string::npos || text == "Read Error") {
        return "truncated: the PNG ends before its pixels do (" + text + ")";
    }
    return "damaged PNG: " + text;
}

// Decodes a PNG whose reading has begun into rows of width * 4 bytes of B, G,
// R, A. 16-bit files without colour-space chunks are taken as sRGB, as 8-bit
// ones are, so their colours come out the same and are not converted from a
// linear scale.
bool FinishPng(png_image& png, const ImageHeader& header, uint8_t* pixels, std::string* reason) {
    if (png.width != header.width || png.height != header.height) {
        png_image_free(&png);
        *reason = "damaged image: its pixels do not match its header";
        return false;
    }
    png.format = PNG_FORMAT_BGRA;
    png.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    if (png_image_finish_read(&png, nullptr, pixels, static_cast<png_int_32>(png.width * 4),
                              nullptr) == 0) {
        png_image_free(&png);  // its message stays
        *reason = PngProblem(png.message);
        return false;
    }
    return true;
}

// libpng's simplified reader, as some of its releases patch it (Debian's
// 1.6.39 among them), scales a 16-bit interlaced file to 8 bits through a row
// buffer that keeps none of the earlier passes: about half the samples come
// out wrong, without an error. Such a file is read through libpng's row
// interface instead, asking for the very transformations the simplified
// reader asks for (pngread.c, png_image_read_direct, for B, G, R, A bytes
// from 16-bit samples), so it gives the pixels the same file not interlaced
// gives. libpng reports errors by longjmp: what lies between the setjmp and
// the libpng calls holds plain data only.
struct PngRowRead {
    std::jmp_buf jump;
    char message[sizeof png_image::message] = {};
    const uint8_t* data = nullptr;  // from memory: what is left to read
    size_t left = 0;
};

[[noreturn]] void OnPngRowError(png_structp png, png_const_charp message) {
    auto* read = static_cast<PngRowRead*>(png_get_error_ptr(png));
    std::snprintf(read->message, sizeof read->message, "%s", message);
    std::longjmp(read->jump, 1);
}

void OnPngRowWarning(png_structp, png_const_charp) {}

void ReadPngFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* read = static_cast<PngRowRead*>(png_get_io_ptr(png));
    if (count > read->left) {
        png_error(png, "read beyond end of data");
    }
    std::memcpy(out, read->data, count);
    read->data += count;
    read->left -= count;
}

// False with libpng's message in `read`.
bool ReadRowsOfPng(PngRowRead& read, std::FILE* file, const ImageHeader& header, uint8_t* pixels) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, OnPngRowError, OnPngRowWarning);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(read.message, sizeof read.message, "out of memory");
        return false;
    }
    if (setjmp(read.jump) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_benign_errors(png, 1);
    if (file != nullptr) {
        png_init_io(png, file);
    } else {
        png_set_read_fn(png, &read, ReadPngFromMemory);
    }
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    if (width != header.width || png_get_image_height(png, info) != header.height) {
        png_error(png, "its pixels do not match its header");
    }
    const png_byte colourType = png_get_color_type(png, info);
    const bool alpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0) {
        png_set_gray_to_rgb(png);
    }
    // The file's gamma where it gives none: sRGB, as PNG_IMAGE_FLAG_16BIT_sRGB
    // has it for the simplified reader.
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_set_scale_16(png);
    if (!alpha) {
        png_set_add_alpha(png, 255, PNG_FILLER_AFTER);
    }
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (png_get_rowbytes(png, info) != rowBytes) {
        png_error(png, "unexpected row size");
    }
    // Each pass fills in its pixels of every row, over what the earlier
    // passes left there.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < header.height; ++y) {
            png_read_row(png, pixels + y * rowBytes, nullptr);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool DecodeInterlaced16BitPng(std::FILE* file, const uint8_t* data, size_t size,
                              const ImageHeader& header, uint8_t* pixels, std::string* reason) {
    PngRowRead read;
    read.data = data;
    read.left = size;
    if (!ReadRowsOfPng(read, file, header, pixels)) {
        *reason = PngProblem(read.message);
        return false;
    }
    return true;
}

bool NeedsRowReader(const ImageHeader& header) {
    return header.pngBitDepth == 16 && header.pngInterlaced;
}

}  // namespace

bool DecodePngFile(std::FILE* file, const ImageHeader& header, uint8_t* pixels,
                   std::string* reason) {
    if (file == nullptr) {
        *reason = "cannot read it: no stream for it";
        return false;
    }
    if (NeedsRowReader(header)) {
        return DecodeInterlaced16BitPng(file, nullptr, 0, header, pixels, reason);
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_stdio(&png, file) == 0) {
        png_image_free(&png);  // its message stays
        *reason = PngProblem(png.message);
        return false;
    }
    return FinishPng(png, header, pixels, reason);
}

bool DecodePngBytes(const uint8_t* data, size_t size, const ImageHeader& header, uint8_t* pixels,
                    std::string* reason) {
    if (NeedsRowReader(header)) {
        return DecodeInterlaced16BitPng(nullptr, data, size, header, pixels, reason);
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&png, data, size) == 0) {
        png_image_free(&png);  // its message stays
        *reason = PngProblem(png.message);
        return false;
    }
    return FinishPng(png, header, pixels, reason);
}

// Into a surface of B, G, R, A bytes: SDL_PIXELFORMAT_BGRA32, which is
// ARGB8888 on little-endian machines only.
SDL_Surface* DecodePngSurface(const uint8_t* data, size_t size, const ImageHeader& header,
                              std::string* reason) {
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> surface(
        SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(header.width),
                                       static_cast<int>(header.height), 32, SDL_PIXELFORMAT_BGRA32),
        SDL_FreeSurface);
    if (!surface) {
        throw std::bad_alloc();
    }
    if (!DecodePngBytes(data, size, header, static_cast<uint8_t*>(surface->pixels), reason)) {
        return nullptr;
    }
    return surface.release();
}

}  // namespace dxsdl
