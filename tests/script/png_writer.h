// Writes small PNG files for the tests, in every colour type and bit depth.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace script_test {

struct PngSpec {
    PngSpec(int w, int h, int type, int depth, std::vector<std::uint8_t> data,
            std::vector<std::uint8_t> plte = {}, std::vector<std::uint8_t> trns = {})
        : width(w),
          height(h),
          colorType(type),
          bitDepth(depth),
          rows(std::move(data)),
          palette(std::move(plte)),
          transparency(std::move(trns)) {}

    int width = 1;
    int height = 1;
    int colorType = 0;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    std::vector<std::uint8_t> rows;          // packed rows as PNG stores them (16-bit big-endian)
    std::vector<std::uint8_t> palette;       // r, g, b triples
    std::vector<std::uint8_t> transparency;  // tRNS alpha per palette entry
};

std::vector<std::uint8_t> EncodePng(const PngSpec& spec);

}  // namespace script_test
