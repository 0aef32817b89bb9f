// PNG writing for the tests through libpng.
#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <stdexcept>

namespace script_test {
namespace {

void OnWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void OnFlush(png_structp) {}

bool Encode(const PngSpec& spec, std::vector<std::uint8_t>& out,
            std::vector<png_const_bytep>& rowPtrs, std::vector<png_color>& entries) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, OnWrite, OnFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width),
                 static_cast<png_uint_32>(spec.height), spec.bitDepth, spec.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!entries.empty()) {
        png_set_PLTE(png, info, entries.data(), static_cast<int>(entries.size()));
    }
    if (!spec.transparency.empty()) {
        png_set_tRNS(png, info, spec.transparency.data(),
                     static_cast<int>(spec.transparency.size()), nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rowPtrs.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngSpec& spec) {
    const std::size_t rowBytes = spec.rows.size() / static_cast<std::size_t>(spec.height);
    std::vector<png_const_bytep> rowPtrs;
    for (int y = 0; y < spec.height; ++y) {
        rowPtrs.push_back(spec.rows.data() + static_cast<std::size_t>(y) * rowBytes);
    }
    std::vector<png_color> entries;
    for (std::size_t i = 0; i + 2 < spec.palette.size(); i += 3) {
        entries.push_back({spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
    }
    std::vector<std::uint8_t> out;
    if (!Encode(spec, out, rowPtrs, entries))
        throw std::runtime_error("cannot encode the test PNG");
    return out;
}

}  // namespace script_test
