// The host's page surface: rasterising a job script's page and cutting it into bands.
#include "page_surface.h"

#include <algorithm>
#include <string>

namespace jobscript {
namespace {

// 8x8 ordered-dither (Bayer) thresholds 0..63.
constexpr std::uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

// The part [first, last) of a span [start, start + length) that lies in [0, limit).
struct Span {
    std::int64_t first, last;
};
Span Clip(std::int64_t start, std::int64_t length, std::int64_t limit) {
    return {std::max<std::int64_t>(start, 0), std::min<std::int64_t>(start + length, limit)};
}

}  // namespace

const std::array<PaletteEntry, 256>& DevicePalette8() {
    static const std::array<PaletteEntry, 256> palette = [] {
        std::array<PaletteEntry, 256> p{};
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            p[static_cast<std::size_t>(i)] = {v, v, v};
        }
        return p;
    }();
    return palette;
}

const std::array<PaletteEntry, 2>& DevicePalette1() {
    static const std::array<PaletteEntry, 2> palette = {PaletteEntry{0, 0, 0},
                                                        PaletteEntry{255, 255, 255}};
    return palette;
}

std::uint8_t Luminance(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
}

bool DitherWhite(std::uint8_t gray, std::int32_t x, std::int32_t y) {
    // Number of the 64 pattern cells that are white for this level, rounded: 0 .. 64.
    const int whiteCells = (gray * 64 + 127) / 255;
    return kBayer8[y & 7][x & 7] < whiteCells;
}

PageSurface::PageSurface(std::int32_t width, std::int32_t height, int bpp)
    : m_width(width), m_height(height), m_bpp(bpp), m_stride(0) {
    if (bpp != 1 && bpp != 8) {
        throw std::invalid_argument("a page surface has 1 or 8 bits per pixel, not " +
                                    std::to_string(bpp));
    }
    if (width < 1 || height < 1 || width > 65535 || height > 65535) {
        throw std::invalid_argument("a page surface is 1 to 65535 dots on a side");
    }
    m_stride = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp) + 31) / 32) * 4;
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(m_stride) * static_cast<std::uint64_t>(height);
    if (bytes > kMaxSurfaceBytes) {
        throw std::invalid_argument("a page surface of " + std::to_string(width) + " x " +
                                    std::to_string(height) + " dots is too large");
    }
    m_bits.assign(static_cast<std::size_t>(bytes), 0xFF);
}

std::span<std::uint8_t> PageSurface::row(std::int32_t y) {
    return {m_bits.data() + static_cast<std::size_t>(y) * m_stride, m_stride};
}

std::span<const std::uint8_t> PageSurface::row(std::int32_t y) const {
    return {m_bits.data() + static_cast<std::size_t>(y) * m_stride, m_stride};
}

std::uint8_t PageSurface::PixelIndex(std::int32_t x, std::int32_t y) const {
    const auto line = row(y);
    if (m_bpp == 8) return line[static_cast<std::size_t>(x)];
    return (line[static_cast<std::size_t>(x) / 8] >> (7 - (x % 8))) & 1;
}

void PageSurface::SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index) {
    auto line = row(y);
    if (m_bpp == 8) {
        line[static_cast<std::size_t>(x)] = index;
        return;
    }
    const auto mask = static_cast<std::uint8_t>(0x80u >> (x % 8));
    std::uint8_t& byte = line[static_cast<std::size_t>(x) / 8];
    byte = (index & 1) ? static_cast<std::uint8_t>(byte | mask)
                       : static_cast<std::uint8_t>(byte & ~mask);
}

bool PageSurface::IsWhite(std::int32_t x, std::int32_t y) const {
    return PixelIndex(x, y) == (m_bpp == 8 ? 255 : 1);
}

void PageSurface::SetGray(std::int32_t x, std::int32_t y, std::uint8_t gray) {
    if (m_bpp == 8) {
        SetPixelIndex(x, y, gray);
    } else {
        SetPixelIndex(x, y, DitherWhite(gray, x, y) ? 1 : 0);
    }
}

void PageSurface::FillRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                           std::uint8_t gray) {
    if (width <= 0 || height <= 0) return;
    const Span cols = Clip(x, width, m_width);
    const Span rows = Clip(y, height, m_height);
    for (std::int64_t py = rows.first; py < rows.last; ++py) {
        for (std::int64_t px = cols.first; px < cols.last; ++px) {
            SetGray(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py), gray);
        }
    }
}

void PageSurface::DrawPicture(const Picture& picture, std::int32_t x, std::int32_t y,
                              std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return;
    const Span cols = Clip(x, width, m_width);
    const Span rows = Clip(y, height, m_height);
    for (std::int64_t py = rows.first; py < rows.last; ++py) {
        const std::int64_t dy = py - y;
        const auto sy = static_cast<std::int32_t>((2 * dy + 1) * picture.height / (2 * height));
        for (std::int64_t px = cols.first; px < cols.last; ++px) {
            const std::int64_t dx = px - x;
            const auto sx = static_cast<std::int32_t>((2 * dx + 1) * picture.width / (2 * width));
            const Picture::Rgb c = picture.At(sx, sy);
            SetGray(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py),
                    Luminance(c.r, c.g, c.b));
        }
    }
}

bool PageSurface::RowsBlank(std::int32_t top, std::int32_t count) const {
    // Pad bits are kept white, so a blank row is all 0xFF bytes in both depths.
    const auto begin =
        m_bits.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(top) * m_stride);
    const auto end =
        begin + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(count) * m_stride);
    return std::all_of(begin, end, [](std::uint8_t b) { return b == 0xFF; });
}

std::vector<DrawCall> DrawCalls(const Page& page) {
    std::vector<DrawCall> calls;
    calls.reserve(page.items.size());
    for (std::size_t i = 0; i < page.items.size(); ++i) {
        const Item& item = page.items[i];
        if (const auto* rect = std::get_if<RectItem>(&item)) {
            calls.push_back({DrawCallKind::FillRect,
                             i,
                             {rect->x, rect->y, rect->x + rect->width, rect->y + rect->height}});
        } else if (const auto* image = std::get_if<ImageItem>(&item)) {
            const std::int32_t sw = image->picture ? image->picture->width : image->width;
            const std::int32_t sh = image->picture ? image->picture->height : image->height;
            const bool sameSize = sw == image->width && sh == image->height;
            calls.push_back(
                {!image->stretch && sameSize ? DrawCallKind::BitBlt : DrawCallKind::StretchBlt,
                 i,
                 {image->x, image->y, image->x + image->width, image->y + image->height},
                 sw,
                 sh});
        } else {
            const auto& text = std::get<TextItem>(item);
            calls.push_back(
                {DrawCallKind::TextOut, i, {text.x, text.y, text.x, text.y + text.height}});
        }
    }
    return calls;
}

void RasterisePage(const Page& page, PageSurface& surface, const TextDrawer& drawText) {
    for (const Item& item : page.items) {
        if (const auto* rect = std::get_if<RectItem>(&item)) {
            surface.FillRect(rect->x, rect->y, rect->width, rect->height,
                             static_cast<std::uint8_t>(rect->gray));
        } else if (const auto* image = std::get_if<ImageItem>(&item)) {
            if (image->picture) {
                surface.DrawPicture(*image->picture, image->x, image->y, image->width,
                                    image->height);
            }
        } else if (drawText) {
            drawText(std::get<TextItem>(item), surface);
        }
    }
}

std::vector<Band> SplitIntoBands(const PageSurface& surface, std::int32_t bandHeight) {
    if (bandHeight < 1) {
        throw std::invalid_argument("a band has at least 1 row");
    }
    std::vector<Band> bands;
    for (std::int32_t top = 0; top < surface.height(); top += bandHeight) {
        const std::int32_t height = std::min(bandHeight, surface.height() - top);
        Band band;
        band.top = top;
        band.height = height;
        band.blank = surface.RowsBlank(top, height);
        band.bits = surface.bits().subspan(static_cast<std::size_t>(top) * surface.stride(),
                                           static_cast<std::size_t>(height) * surface.stride());
        bands.push_back(band);
        if (surface.height() - top <= bandHeight) break;  // no overflow of top + bandHeight
    }
    return bands;
}

}  // namespace jobscript
