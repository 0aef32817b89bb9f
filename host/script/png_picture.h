// PNG pictures for job scripts, decoded into 8-bit grey or 8-bit RGB.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace jobscript {

// A picture that cannot be read; the message names the file.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A decoded picture: rows top-down, no padding, 1 byte per pixel (grey) or 3 (red, green,
// blue). Pictures with transparency are composed over white when decoded.
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int channels = 0;  // 1 = grey, 3 = RGB
    std::vector<std::uint8_t> pixels;

    struct Rgb {
        std::uint8_t r, g, b;
    };
    Rgb At(std::int32_t x, std::int32_t y) const {
        const std::uint8_t* p =
            pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                             static_cast<std::size_t>(x)) *
                                static_cast<std::size_t>(channels);
        return channels == 1 ? Rgb{p[0], p[0], p[0]} : Rgb{p[0], p[1], p[2]};
    }
};

// Largest picture side accepted, and the largest pixel count.
inline constexpr std::uint32_t kMaxPictureSide = 32768;
inline constexpr std::uint64_t kMaxPicturePixels = 64u * 1024u * 1024u;

// Decodes PNG bytes: grey, grey+alpha, palette (with or without transparency), RGB and RGBA,
// 1 to 16 bits per sample; 16-bit samples are scaled to 8 bits with rounding, alpha is
// composed over white as c * a / 255 + 255 * (255 - a) / 255 (rounded). Grey pictures stay
// grey, everything else becomes RGB. No gamma correction. Throws PictureError.
Picture DecodePng(std::span<const std::uint8_t> bytes, const std::string& name);

// Reads and decodes a PNG file. Throws PictureError naming the file.
Picture LoadPng(const std::filesystem::path& file);

}  // namespace jobscript
