// The receipt picture as an 8-bit greyscale PNG (libpng).
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "emulator/emulator.h"

namespace emulator {

bool WritePng(const Picture& picture, const std::filesystem::path& path, std::string& error) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() <
            static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)) {
        error = "empty picture";
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) {
        error = "cannot create " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        error = "libpng could not be started";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = "cannot write " + path.string();
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), 8, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // 8 dots per millimetre.
    png_set_pHYs(png, info, 8000, 8000, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y) {
        png_write_row(png, picture.pixels.data() +
                               static_cast<size_t>(y) * static_cast<size_t>(picture.width));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) {
        error = "cannot write " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace emulator
