// PNG decoding for job-script pictures, through libpng.
#include "png_picture.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>

namespace jobscript {
namespace {

// Where libpng reads from, and what went wrong (libpng reports through callbacks).
struct ReadContext {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t offset = 0;
    char error[256] = {};
};

void OnRead(png_structp png, png_bytep out, png_size_t count) {
    auto* ctx = static_cast<ReadContext*>(png_get_io_ptr(png));
    if (count > ctx->size - ctx->offset) {
        png_error(png, "file is truncated");
    }
    std::memcpy(out, ctx->data + ctx->offset, count);
    ctx->offset += count;
}

void OnError(png_structp png, png_const_charp message) {
    auto* ctx = static_cast<ReadContext*>(png_get_error_ptr(png));
    std::strncpy(ctx->error, message, sizeof(ctx->error) - 1);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Composes a sample with its alpha over white, rounded.
std::uint8_t OverWhite(std::uint8_t c, std::uint8_t a) {
    return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

// Decodes into `rows` (interleaved 8-bit samples, `channelsOut` per pixel as libpng gives
// them, alpha included). Plain C frame: no object with a destructor is created between
// setjmp and the end of reading, so a longjmp from libpng skips nothing.
bool DecodeRaw(ReadContext& ctx, std::vector<std::uint8_t>& raw, std::vector<png_bytep>& rowPtrs,
               png_uint_32& width, png_uint_32& height, int& channelsOut, bool& colour) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning);
    if (png == nullptr) {
        std::strncpy(ctx.error, "out of memory", sizeof(ctx.error) - 1);
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::strncpy(ctx.error, "out of memory", sizeof(ctx.error) - 1);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &ctx, OnRead);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);

    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    if (static_cast<std::uint64_t>(width) * height > kMaxPicturePixels) {
        png_error(png, "picture is too large");
    }
    const int colourType = png_get_color_type(png, info);
    colour = (colourType & PNG_COLOR_MASK_COLOR) != 0;

    png_set_expand(png);  // palette -> RGB, grey below 8 bits -> 8 bits, tRNS -> alpha
    png_set_scale_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    channelsOut = png_get_channels(png, info);
    const png_size_t rowBytes = png_get_rowbytes(png, info);
    if (png_get_bit_depth(png, info) != 8 ||
        rowBytes != static_cast<png_size_t>(width) * static_cast<png_size_t>(channelsOut)) {
        png_error(png, "unsupported pixel format");
    }
    raw.resize(rowBytes * height);
    rowPtrs.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rowPtrs[y] = raw.data() + static_cast<std::size_t>(y) * rowBytes;
    }
    png_read_image(png, rowPtrs.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

Picture DecodePng(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
        throw PictureError(name + ": not a PNG file");
    }
    ReadContext ctx;
    ctx.data = bytes.data();
    ctx.size = bytes.size();
    std::vector<std::uint8_t> raw;
    std::vector<png_bytep> rowPtrs;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int channels = 0;
    bool colour = false;
    bool ok = false;
    try {
        ok = DecodeRaw(ctx, raw, rowPtrs, width, height, channels, colour);
    } catch (const std::bad_alloc&) {
        throw PictureError(name + ": picture is too large to decode");
    }
    if (!ok) {
        throw PictureError(name + ": cannot read the PNG picture: " + ctx.error);
    }
    if (width == 0 || height == 0 || channels < 1 || channels > 4) {
        throw PictureError(name + ": unsupported PNG picture");
    }

    Picture picture;
    picture.width = static_cast<std::int32_t>(width);
    picture.height = static_cast<std::int32_t>(height);
    picture.channels = colour ? 3 : 1;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    picture.pixels.resize(count * static_cast<std::size_t>(picture.channels));
    const bool alpha = (channels == 2 || channels == 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* in = raw.data() + i * static_cast<std::size_t>(channels);
        std::uint8_t* out = picture.pixels.data() + i * static_cast<std::size_t>(picture.channels);
        const std::uint8_t a = alpha ? in[channels - 1] : 255;
        for (int c = 0; c < picture.channels; ++c) {
            out[c] = OverWhite(in[c], a);
        }
    }
    return picture;
}

Picture LoadPng(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw PictureError(file.string() + ": picture not found");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw PictureError(file.string() + ": cannot open the picture");
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        throw PictureError(file.string() + ": cannot read the picture");
    }
    if (static_cast<std::uint64_t>(size) > kMaxPicturePixels * 8) {
        throw PictureError(file.string() + ": picture file is too large");
    }
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        throw PictureError(file.string() + ": cannot read the picture");
    }
    return DecodePng(bytes, file.string());
}

}  // namespace jobscript
