// The page surface the universal-driver host renders a job script's page into, the drawing
// calls a page's items make, and the split of the rendered page into bands.
//
// Surface layout (that of a device-independent bitmap as the rendering plug-in receives it):
// rows top-down (row 0 is the top of the page), each row padded to a multiple of 4 bytes.
//   1 bpp: leftmost pixel in the most significant bit; palette entry 0 is black and entry 1
//          is white, so a set bit is WHITE and a blank row is all 0xFF bytes.
//   8 bpp: one palette index per byte; the device palette is the grey ramp, entry i =
//          (i, i, i), so index 0 is black and index 255 white.
// Pad bits and pad bytes are always white (1 bits / 0xFF), so a blank band is all 0xFF.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <vector>

#include "job_script.h"

namespace jobscript {

struct PaletteEntry {
    std::uint8_t red, green, blue;
};

// The 256-entry device palette used for 8-bpp pages (the grey ramp above).
const std::array<PaletteEntry, 256>& DevicePalette8();

// The 2-entry palette of 1-bpp pages: black, white.
const std::array<PaletteEntry, 2>& DevicePalette1();

// Luminance of a colour, (299 r + 587 g + 114 b) / 1000 rounded; white stays 255.
std::uint8_t Luminance(std::uint8_t r, std::uint8_t g, std::uint8_t b);

// Whether a grey level g is drawn white at pixel (x, y) of a 1-bpp page: the 8x8 ordered
// (Bayer) pattern anchored at the page's top-left corner. g = 0 is all black, 255 all white,
// 128 exactly half of the pixels.
bool DitherWhite(std::uint8_t gray, std::int32_t x, std::int32_t y);

class PageSurface {
public:
    // A white page. Throws std::invalid_argument for a size or depth the host cannot make.
    PageSurface(std::int32_t width, std::int32_t height, int bpp);

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    int bpp() const { return m_bpp; }
    std::size_t stride() const { return m_stride; }  // bytes per row, a multiple of 4
    std::span<const std::uint8_t> bits() const { return m_bits; }
    std::span<std::uint8_t> row(std::int32_t y);
    std::span<const std::uint8_t> row(std::int32_t y) const;

    // Palette index of a pixel (0 or 1 at 1 bpp); the point must be on the page.
    std::uint8_t PixelIndex(std::int32_t x, std::int32_t y) const;
    void SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index);
    // Whether a pixel is pure white.
    bool IsWhite(std::int32_t x, std::int32_t y) const;

    // Sets a pixel to a grey level: the index itself at 8 bpp, the dither pattern at 1 bpp.
    void SetGray(std::int32_t x, std::int32_t y, std::uint8_t gray);

    // Fills the part of the rectangle that lies on the page with a grey level, as a solid
    // brush would be drawn.
    void FillRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::uint8_t gray);

    // Draws a picture scaled into the rectangle by nearest neighbour (StretchBlt in
    // COLORONCOLOR mode): destination pixel dx takes source column
    // floor((2 dx + 1) * source width / (2 * width)), rows likewise; colours become the
    // luminance, drawn with SetGray. Only the part on the page is drawn.
    void DrawPicture(const Picture& picture, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height);

    // Whether rows [top, top + count) are all white.
    bool RowsBlank(std::int32_t top, std::int32_t count) const;

private:
    std::int32_t m_width;
    std::int32_t m_height;
    int m_bpp;
    std::size_t m_stride;
    std::vector<std::uint8_t> m_bits;
};

// Largest page the host makes: sides up to 65535 dots, at most this many bytes of bits.
inline constexpr std::uint64_t kMaxSurfaceBytes = kMaxPageBytes;

// ---- Drawing calls -------------------------------------------------------------------------

// What GDI hands the driver for an item.
enum class DrawCallKind {
    FillRect,    // a solid brush fill: DrvBitBlt with no source and a brush (ROP4 0xF0F0)
    BitBlt,      // a picture at its own size (stretch false, rectangle = picture size)
    StretchBlt,  // a picture scaled into its rectangle (stretch true, or a different size)
    TextOut,     // a text run: DrvTextOut
};

// A destination rectangle in device coordinates, right and bottom exclusive (a RECTL).
struct DestRect {
    std::int32_t left, top, right, bottom;
};

struct DrawCall {
    DrawCallKind kind;
    std::size_t item;              // index into Page::items
    DestRect dest;                 // the item's rectangle (for text: x, y, x, y + height)
    std::int32_t sourceWidth = 0;  // pictures: the picture's size
    std::int32_t sourceHeight = 0;
};

// The calls of a page's items, in drawing order. Image items must have their pictures
// loaded (LoadPictures) so that their sizes are known.
std::vector<DrawCall> DrawCalls(const Page& page);

// ---- Rasterising ---------------------------------------------------------------------------

// Draws one text item into the surface; set by the job player (GDI text of the platform).
using TextDrawer = std::function<void(const TextItem& item, PageSurface& surface)>;

// Draws the page's items into the surface in order: rectangles, pictures, and text through
// `drawText` when it is set (text items are skipped otherwise).
void RasterisePage(const Page& page, PageSurface& surface, const TextDrawer& drawText = {});

// ---- Bands ---------------------------------------------------------------------------------

// One band of a page: `height` rows from row `top`, `bits` = those rows (stride x height).
struct Band {
    std::int32_t top = 0;
    std::int32_t height = 0;
    bool blank = false;  // every pixel white
    std::span<const std::uint8_t> bits;
};

// Bands of `bandHeight` rows from the top of the page; the last one holds what is left.
// Throws std::invalid_argument for a band height below 1. The bands view the surface.
std::vector<Band> SplitIntoBands(const PageSurface& surface, std::int32_t bandHeight);

}  // namespace jobscript
