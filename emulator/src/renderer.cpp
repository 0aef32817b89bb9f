// Renderer: decoded commands -> picture of the receipt.
//
// Follows the printer's standard mode: characters collect in a line buffer and are printed by
// LF, ESC J, ESC d, FF or anything that needs the head at the start of a line; raster images,
// barcodes and symbols print at once and move the paper by their height. `m_y` is the paper
// position of the print head, in dots from the top of the printable area.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "code_pages.h"
#include "emulator/emulator.h"
#include "font_renderer.h"
#include "symbols.h"

namespace emulator {
namespace {

constexpr int kDefaultLineSpacing = 30;

struct CellSize {
    int width;
    int height;
};

// Font A 12 x 24, font B 9 x 17, font C 8 x 16 dots.
CellSize FontCell(int font) {
    switch (font) {
        case 1:
            return {9, 17};
        case 2:
            return {8, 16};
        default:
            return {12, 24};
    }
}

struct SymbolSettings {
    // PDF417
    int pdfColumns = 0, pdfRows = 0, pdfModuleWidth = 3, pdfRowHeight = 3, pdfLevel = -1;
    bool pdfTruncated = false;
    // QR Code
    int qrModel = 2, qrModuleSize = 3, qrLevel = 0;
    // DataMatrix, GS1 DataBar, composite, MaxiCode
    int dmModuleSize = 3, dataBarWidth = 2, compositeWidth = 2, maxiMode = 2;
    // stored data per symbol
    std::optional<std::vector<uint8_t>> pdfData, qrData, dmData, dataBarData, maxiData;
    int dataBarType = 72;
    struct Store {
        int a = 0, b = 0;
        std::vector<uint8_t> data;
    };
    std::vector<Store> compositeStores;
};

struct PrinterState {
    int lineSpacing = kDefaultLineSpacing;
    int font = 0;
    int widthMul = 1, heightMul = 1;
    bool bold = false;
    int underline = 0;
    bool reverse = false;
    int justification = 0;
    int rightSpacing = 0;
    int leftMargin = 0;
    int areaWidth = 0;
    std::vector<int> tabColumns;  // empty: every 8 columns
    bool tabsSet = false;
    int barWidth = 3, barHeight = 162, hriPosition = 0, hriFont = 0;
    SymbolSettings symbols;
    bool enabled = true;
};

// One piece of the line buffer: a character cell or a bit image, ready to print.
struct LineItem {
    int x = 0;
    CellBitmap bitmap;
    std::string text;
};

// Raster planes waiting for the rest of their strip.
struct PendingStrip {
    size_t offset = 0;
    int width = 0;   // dots
    int height = 0;  // rows
    int scaleX = 1, scaleY = 1;
    std::optional<std::vector<uint8_t>> mono;
    std::array<std::optional<std::vector<uint8_t>>, 4> tones;
    bool empty() const {
        return !mono && std::none_of(tones.begin(), tones.end(),
                                     [](const auto& t) { return t.has_value(); });
    }
};

class Renderer {
public:
    explicit Renderer(const Options& options) : m_options(options) {
        m_width = std::clamp(options.widthDots, 8, 4096);
        m_margin = std::clamp(options.marginDots, 0, 512);
        m_limit = std::max(1, options.maxLengthDots);
        m_pictureWidth = m_width + 2 * m_margin;
        Reset();
        if (!m_fonts.HasFont())
            m_receipt.warnings.push_back("no monospace font found: text drawn as boxes");
    }

    Receipt Run(std::span<const Command> commands) {
        for (const Command& c : commands) Execute(c);
        FlushRaster();
        if (!m_line.empty()) PrintLine(0);
        int paperRows = std::max({m_y, m_lowest, 1});
        paperRows = std::min(paperRows, m_limit);
        int rows = paperRows + 2 * m_margin;
        EnsureRows(rows);
        m_receipt.picture.width = m_pictureWidth;
        m_receipt.picture.height = rows;
        m_receipt.picture.pixels.resize(static_cast<size_t>(rows) *
                                        static_cast<size_t>(m_pictureWidth));
        return std::move(m_receipt);
    }

private:
    // ---- the paper -------------------------------------------------------------------------

    void EnsureRows(int rows) {
        size_t needed = static_cast<size_t>(rows) * static_cast<size_t>(m_pictureWidth);
        if (m_receipt.picture.pixels.size() >= needed) return;
        size_t grown = std::max(needed, m_receipt.picture.pixels.size() * 3 / 2);
        grown = std::min(grown, static_cast<size_t>(m_limit + 2 * m_margin) *
                                    static_cast<size_t>(m_pictureWidth));
        grown = std::max(grown, needed);
        m_receipt.picture.pixels.resize(grown, 255);
    }

    // Darkens dot (x, y) of the printable area (paper coordinates) to `value`.
    void Dot(int x, int y, uint8_t value = 0) {
        if (x < 0 || x >= m_width || y < 0) return;
        if (y >= m_limit) {
            LimitReached();
            return;
        }
        int px = x + m_margin, py = y + m_margin;
        EnsureRows(py + 1 + m_margin);
        uint8_t& p =
            m_receipt.picture.pixels[static_cast<size_t>(py) * static_cast<size_t>(m_pictureWidth) +
                                     static_cast<size_t>(px)];
        p = std::min(p, value);
        m_lowest = std::max(m_lowest, y + 1);
    }

    void FillRect(int x, int y, int w, int h, uint8_t value) {
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx) Dot(xx, yy, value);
    }

    void LimitReached() {
        if (m_limitNoted) return;
        m_limitNoted = true;
        m_receipt.warnings.push_back("paper longer than " + std::to_string(m_limit) +
                                     " dots: the rest is not drawn");
    }

    void Feed(int dots) {
        if (dots <= 0) return;
        m_y = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(m_y) + dots, m_limit + 1));
    }

    // A horizontal dashed line across the whole paper, margins included; a partial cut leaves
    // a bridge in the middle.
    void CutLine(int y, bool partial) {
        if (y >= m_limit) return;
        int py = y + m_margin;
        EnsureRows(py + 1 + m_margin);
        m_lowest = std::max(m_lowest, y + 1);
        int bridge0 = m_pictureWidth / 2 - 24, bridge1 = m_pictureWidth / 2 + 24;
        for (int x = 0; x < m_pictureWidth; ++x) {
            if (x % 12 >= 8) continue;
            if (partial && x >= bridge0 && x < bridge1) continue;
            m_receipt.picture.pixels[static_cast<size_t>(py) * static_cast<size_t>(m_pictureWidth) +
                                     static_cast<size_t>(x)] = 96;
        }
    }

    // ---- state ------------------------------------------------------------------------------

    void Reset() {
        bool enabled = m_state.enabled;
        m_state = PrinterState{};
        m_state.enabled = enabled;
        m_state.areaWidth = m_width;
        m_line.clear();
        m_lineX = 0;
    }

    int AreaLeft() const { return std::min(m_state.leftMargin, m_width - 1); }
    int AreaWidth() const { return std::max(1, std::min(m_state.areaWidth, m_width - AreaLeft())); }

    // Left edge of something `width` dots wide printed at the start of a line.
    int PlaceX(int width, int positionInLine) const {
        int area = AreaWidth();
        switch (m_state.justification) {
            case 1:
                return AreaLeft() + std::max(0, (area - width) / 2);
            case 2:
                return AreaLeft() + std::max(0, area - width);
            default:
                return AreaLeft() + positionInLine;
        }
    }

    DrawnObject& AddObject(const Command& c, std::string kind) {
        DrawnObject o;
        o.offset = c.offset;
        o.kind = std::move(kind);
        o.status = "drawn";
        m_receipt.objects.push_back(std::move(o));
        return m_receipt.objects.back();
    }

    void SetBox(DrawnObject& o, int x, int y, int w, int h) const {
        o.x = x + m_margin;
        o.y = y + m_margin;
        o.width = w;
        o.height = h;
    }

    // ---- the line buffer --------------------------------------------------------------------

    void PrintLine(int feed) {
        if (m_line.empty()) {
            m_lineX = 0;
            Feed(feed);
            return;
        }
        int height = 0, extent = 0, start = m_line.front().x;
        std::string text;
        for (const auto& item : m_line) {
            start = std::min(start, item.x);
            height = std::max(height, item.bitmap.height);
            extent = std::max(extent, item.x + item.bitmap.width);
            text += item.text;
        }
        int area = AreaWidth();
        int offset = m_state.justification == 1   ? std::max(0, (area - extent) / 2)
                     : m_state.justification == 2 ? std::max(0, area - extent)
                                                  : 0;
        int left = AreaLeft() + offset;
        for (const auto& item : m_line) {
            int top = m_y + height - item.bitmap.height;
            for (int yy = 0; yy < item.bitmap.height; ++yy)
                for (int xx = 0; xx < item.bitmap.width; ++xx)
                    if (item.bitmap.at(xx, yy)) Dot(left + item.x + xx, top + yy);
        }
        DrawnObject o;
        o.offset = m_lineOffset;
        o.kind = "text";
        o.status = "drawn";
        o.data = text;
        SetBox(o, left + start, m_y, extent - start, height);
        m_receipt.objects.push_back(std::move(o));
        m_line.clear();
        m_lineX = 0;
        Feed(std::max(feed, height));
    }

    void AddToLine(const Command& c, CellBitmap bitmap, int advance, std::string text) {
        if (m_lineX + bitmap.width > AreaWidth() && !m_line.empty()) PrintLine(m_state.lineSpacing);
        if (m_line.empty()) m_lineOffset = c.offset;
        LineItem item;
        item.x = m_lineX;
        item.bitmap = std::move(bitmap);
        item.text = std::move(text);
        m_line.push_back(std::move(item));
        m_lineX += advance;
    }

    // The character cell with the current style applied (size, emphasis, underline, reverse).
    CellBitmap StyledCell(const Glyph& g) {
        CellSize base = FontCell(m_state.font);
        int cw = g.doubleByte ? base.width * 2 : base.width;
        CellBitmap cell = m_fonts.Cell(g.codePoint, cw, base.height);
        int mw = m_state.widthMul, mh = m_state.heightMul;
        int spacing = m_state.rightSpacing;
        CellBitmap out{(cw + spacing) * mw, base.height * mh, {}};
        out.bits.assign(static_cast<size_t>(out.width * out.height), 0);
        for (int y = 0; y < base.height; ++y) {
            for (int x = 0; x < cw; ++x) {
                bool on = cell.at(x, y) || (m_state.bold && x > 0 && cell.at(x - 1, y));
                if (!on) continue;
                for (int dy = 0; dy < mh; ++dy)
                    for (int dx = 0; dx < mw; ++dx) out.at(x * mw + dx, y * mh + dy) = 1;
            }
        }
        if (m_state.underline > 0) {
            for (int t = 0; t < std::min(m_state.underline, 2); ++t)
                for (int x = 0; x < out.width; ++x) out.at(x, out.height - 1 - t) = 1;
        }
        if (m_state.reverse) {
            for (auto& b : out.bits) b = b ? 0 : 1;
        }
        return out;
    }

    void Text(const Command& c) {
        for (const Glyph& g : c.glyphs) {
            CellBitmap cell = StyledCell(g);
            int advance = cell.width;
            std::string text;
            AppendUtf8(g.codePoint, text);
            AddToLine(c, std::move(cell), advance, std::move(text));
        }
    }

    void Tab() {
        CellSize base = FontCell(m_state.font);
        int column = (base.width + m_state.rightSpacing) * m_state.widthMul;
        if (column <= 0) return;
        int current = m_lineX / column;
        int next = -1;
        if (!m_state.tabsSet) {
            next = (current / 8 + 1) * 8;
        } else {
            for (int stop : m_state.tabColumns) {
                if (stop > current) {
                    next = stop;
                    break;
                }
            }
        }
        if (next < 0 || next * column >= AreaWidth()) return;
        m_lineX = next * column;
        if (m_line.empty()) m_lineOffset = 0;
    }

    // ---- raster -----------------------------------------------------------------------------

    static bool RasterNeutral(const Command& c) {
        switch (c.kind) {
            case CommandKind::Nul:
            case CommandKind::CompressedRaster:
            case CommandKind::RasterStripEnd:
                return true;
            case CommandKind::PrintAndFeed:
                return c.arg("n") == 0;
            default:
                return false;
        }
    }

    void DrawStrip(const PendingStrip& strip) {
        size_t rowBytes = (static_cast<size_t>(strip.width) + 7) / 8;
        int drawnWidth = strip.width * strip.scaleX;
        int left = PlaceX(drawnWidth, 0);
        auto bit = [&](const std::vector<uint8_t>& plane, int x, int y) -> int {
            size_t index = static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x / 8);
            return index < plane.size() ? (plane[index] >> (7 - x % 8)) & 1 : 0;
        };
        int visible = std::min(strip.width, (m_width + strip.scaleX - 1) / strip.scaleX);
        for (int y = 0; y < strip.height; ++y) {
            if (m_y + y * strip.scaleY >= m_limit) {
                LimitReached();
                break;
            }
            for (int x = 0; x < visible; ++x) {
                int tone = 0;
                if (strip.mono && bit(*strip.mono, x, y)) tone = 15;
                if (tone == 0) {
                    for (int p = 0; p < 4; ++p)
                        if (strip.tones[p] && bit(*strip.tones[p], x, y)) tone |= 8 >> p;
                }
                if (tone == 0) continue;
                uint8_t value = static_cast<uint8_t>(255 - tone * 17);
                for (int dy = 0; dy < strip.scaleY; ++dy)
                    for (int dx = 0; dx < strip.scaleX; ++dx)
                        Dot(left + x * strip.scaleX + dx, m_y + y * strip.scaleY + dy, value);
            }
        }
    }

    void FlushRaster() {
        if (m_strip.empty()) return;
        PendingStrip strip = std::move(m_strip);
        m_strip = PendingStrip{};
        if (!m_line.empty()) PrintLine(0);
        DrawStrip(strip);
        DrawnObject o;
        o.offset = strip.offset;
        o.kind = "raster";
        o.status = "drawn";
        int planes = strip.mono ? 1 : 0;
        for (const auto& t : strip.tones) planes += t ? 1 : 0;
        o.note = strip.mono ? "monochrome" : std::to_string(planes) + " tone plane(s)";
        int left = PlaceX(strip.width * strip.scaleX, 0);
        SetBox(o, left, m_y, std::min(strip.width * strip.scaleX, m_width - left),
               strip.height * strip.scaleY);
        m_receipt.objects.push_back(std::move(o));
        Feed(strip.height * strip.scaleY);
    }

    void CompressedRaster(const Command& c) {
        int plane = static_cast<int>(c.arg("plane", -1));
        int width = static_cast<int>(c.arg("width_dots"));
        int height = static_cast<int>(c.arg("height"));
        bool mono = plane == 0;
        bool tone = plane >= 4 && plane <= 7;
        if (!mono && !tone) return;  // listed as such; nothing to draw
        if (!m_strip.empty() &&
            (m_strip.width != width || m_strip.height != height || m_strip.scaleX != 1 ||
             m_strip.scaleY != 1 || (mono && m_strip.mono) || (tone && m_strip.tones[plane - 4]))) {
            FlushRaster();
        }
        if (m_strip.empty()) {
            m_strip.offset = c.offset;
            m_strip.width = width;
            m_strip.height = height;
        }
        if (mono) {
            m_strip.mono = c.data;
        } else {
            m_strip.tones[plane - 4] = c.data;
        }
    }

    void RasterImage(const Command& c) {
        int mode = static_cast<int>(c.arg("mode"));
        int width = static_cast<int>(c.arg("width_bytes") * 8);
        int height = static_cast<int>(c.arg("height"));
        int sx = (mode & 1) ? 2 : 1, sy = (mode & 2) ? 2 : 1;
        if (!m_options.greyscaleRasterPlanes) {
            FlushRaster();
            m_strip.offset = c.offset;
            m_strip.width = width;
            m_strip.height = height;
            m_strip.scaleX = sx;
            m_strip.scaleY = sy;
            m_strip.mono = c.data;
            FlushRaster();
            return;
        }
        // Four commands of the same size in a row are the tone planes 0..3 of one strip.
        int next = 0;
        if (!m_strip.empty()) {
            while (next < 4 && m_strip.tones[next]) ++next;
            if (m_strip.width != width || m_strip.height != height || m_strip.scaleX != sx ||
                m_strip.scaleY != sy || next >= 4 || m_strip.mono) {
                FlushRaster();
                next = 0;
            }
        }
        if (m_strip.empty()) {
            m_strip.offset = c.offset;
            m_strip.width = width;
            m_strip.height = height;
            m_strip.scaleX = sx;
            m_strip.scaleY = sy;
        }
        m_strip.tones[next] = c.data;
        if (next == 3) FlushRaster();
    }

    // ESC * and GS /: column-format bit images go into the line buffer.
    void ColumnImage(const Command& c, const std::vector<uint8_t>& data, int columns,
                     int bytesPerColumn, int sx, int sy) {
        if (columns <= 0 || bytesPerColumn <= 0) return;
        columns = std::min(columns, m_width);
        CellBitmap bitmap{columns * sx, bytesPerColumn * 8 * sy, {}};
        bitmap.bits.assign(static_cast<size_t>(bitmap.width * bitmap.height), 0);
        for (int col = 0; col < columns; ++col) {
            for (int byte = 0; byte < bytesPerColumn; ++byte) {
                size_t index = static_cast<size_t>(col * bytesPerColumn + byte);
                if (index >= data.size()) break;
                for (int bitIndex = 0; bitIndex < 8; ++bitIndex) {
                    if (!((data[index] >> (7 - bitIndex)) & 1)) continue;
                    int y = (byte * 8 + bitIndex) * sy;
                    for (int dy = 0; dy < sy; ++dy)
                        for (int dx = 0; dx < sx; ++dx) bitmap.at(col * sx + dx, y + dy) = 1;
                }
            }
        }
        int advance = bitmap.width;
        AddToLine(c, std::move(bitmap), advance, "");
    }

    // ---- placeholders, barcodes, symbols ----------------------------------------------------

    void Label(const std::string& text, int x, int y, int w, int h) {
        CellSize base = FontCell(1);
        int count = static_cast<int>(text.size());
        int textWidth = count * base.width;
        int left = x + std::max(2, (w - textWidth) / 2);
        int top = y + std::max(2, (h - base.height) / 2);
        for (int i = 0; i < count; ++i) {
            if (left + (i + 1) * base.width > x + w - 2) break;
            CellBitmap cell = m_fonts.Cell(static_cast<unsigned char>(text[static_cast<size_t>(i)]),
                                           base.width, base.height);
            for (int yy = 0; yy < cell.height && top + yy < y + h - 1; ++yy)
                for (int xx = 0; xx < cell.width; ++xx)
                    if (cell.at(xx, yy)) Dot(left + i * base.width + xx, top + yy);
        }
    }

    // A labelled box standing in for something the emulator cannot draw; moves the paper.
    void Placeholder(DrawnObject& o, const std::string& label, int w, int h) {
        w = std::min(w, AreaWidth());
        int x = PlaceX(w, m_lineX);
        if (x + w > AreaLeft() + AreaWidth()) x = AreaLeft();
        for (int t = 0; t < 2; ++t) {
            for (int xx = x; xx < x + w; ++xx) {
                Dot(xx, m_y + t, 64);
                Dot(xx, m_y + h - 1 - t, 64);
            }
            for (int yy = m_y; yy < m_y + h; ++yy) {
                Dot(x + t, yy, 64);
                Dot(x + w - 1 - t, yy, 64);
            }
        }
        Label(label, x, m_y, w, h);
        SetBox(o, x, m_y, w, h);
        Feed(h);
        m_lineX = 0;
    }

    void NvImage(const Command& c, const std::string& label, int scaleX, int scaleY) {
        if (!m_line.empty()) PrintLine(0);
        DrawnObject& o = AddObject(c, "nv_image");
        o.status = "placeholder";
        o.data = label;
        o.note = "stored image: its contents live in the printer";
        Placeholder(o, label, 192 * scaleX, 64 * scaleY);
    }

    void DrawModules(const EncodedSymbol& s, int x, int y, int moduleWidth,
                     const std::vector<int>& rowHeights) {
        int top = y;
        for (int r = 0; r < s.rows; ++r) {
            int h = rowHeights[static_cast<size_t>(r)];
            for (int col = 0; col < s.columns; ++col) {
                if (s.dark(r, col)) FillRect(x + col * moduleWidth, top, moduleWidth, h, 0);
            }
            top += h;
        }
    }

    void HriText(const std::string& text, int centreX, int y, int font) {
        CellSize cell = FontCell(font);
        int width = static_cast<int>(text.size()) * cell.width;
        int left = centreX - width / 2;
        for (size_t i = 0; i < text.size(); ++i) {
            CellBitmap bitmap =
                m_fonts.Cell(static_cast<unsigned char>(text[i]), cell.width, cell.height);
            for (int yy = 0; yy < bitmap.height; ++yy)
                for (int xx = 0; xx < bitmap.width; ++xx)
                    if (bitmap.at(xx, yy))
                        Dot(left + static_cast<int>(i) * cell.width + xx, y + yy);
        }
    }

    void Barcode(const Command& c) {
        if (!m_line.empty()) PrintLine(0);
        int m = static_cast<int>(c.arg("m", -1));
        DrawnObject& o = AddObject(c, "barcode");
        o.symbology = c.note;
        if (c.status != CommandStatus::Ok) {
            o.status = "not printed";
            o.note = c.status == CommandStatus::Truncated ? "command cut short"
                                                          : "unknown barcode system";
            return;
        }
        EncodedSymbol s = EncodeBarcode(m, c.data);
        o.data = s.encodedData;
        if (!s.ok) {
            o.status = "not printed";
            o.note = "data not valid for the symbology: " + s.error;
            return;
        }
        if (!s.error.empty()) o.note = s.error;
        int moduleWidth = std::clamp(m_state.barWidth, 1, 6);
        int height = std::max(1, m_state.barHeight);
        int width = s.columns * moduleWidth;
        if (width > AreaWidth() - (m_state.justification == 0 ? m_lineX : 0)) {
            o.status = "not printed";
            o.note = "wider than the print area (" + std::to_string(width) + " dots)";
            m_lineX = 0;
            return;
        }
        int x = PlaceX(width, m_lineX);
        int font = (m_state.hriFont == 1 || m_state.hriFont == 49) ? 1 : 0;
        int hriHeight = FontCell(font).height;
        int position = m_state.hriPosition >= 48 ? m_state.hriPosition - 48 : m_state.hriPosition;
        bool above = position == 1 || position == 3;
        bool below = position == 2 || position == 3;
        int top = m_y;
        if (above) {
            HriText(s.humanReadable, x + width / 2, top, font);
            top += hriHeight;
        }
        DrawModules(s, x, top, moduleWidth,
                    std::vector<int>(static_cast<size_t>(s.rows), height / std::max(1, s.rows)));
        top += height;
        if (below) {
            HriText(s.humanReadable, x + width / 2, top, font);
            top += hriHeight;
        }
        SetBox(o, x, m_y, width, top - m_y);
        Feed(top - m_y);
        m_lineX = 0;
    }

    void Symbol(const Command& c) {
        SymbolSettings& st = m_state.symbols;
        int cn = static_cast<int>(c.arg("cn", -1));
        int fn = static_cast<int>(c.arg("fn", -1));
        int p1 = static_cast<int>(c.arg("p1", -1));
        int p2 = static_cast<int>(c.arg("p2", -1));
        if (c.status != CommandStatus::Ok) return;
        if (fn == 0x50) {
            switch (cn) {
                case 0x30:
                    st.pdfData = c.data;
                    break;
                case 0x31:
                    st.qrData = c.data;
                    break;
                case 0x32:
                    st.maxiData = c.data;
                    break;
                case 0x33:
                    st.dataBarData = c.data;
                    st.dataBarType = static_cast<int>(c.arg("type", 72));
                    break;
                case 0x34:
                    st.compositeStores.push_back(
                        {static_cast<int>(c.arg("a")), static_cast<int>(c.arg("b")), c.data});
                    break;
                case 0x3D:
                    st.dmData = c.data;
                    break;
                default:
                    break;
            }
            return;
        }
        if (fn == 0x51) return PrintSymbol(c, cn);
        switch (cn) {
            case 0x30:
                if (fn == 0x41 && p1 >= 0) st.pdfColumns = p1;
                if (fn == 0x42 && p1 >= 0) st.pdfRows = p1;
                if (fn == 0x43 && p1 >= 0) st.pdfModuleWidth = p1;
                if (fn == 0x44 && p1 >= 0) st.pdfRowHeight = p1;
                if (fn == 0x45 && p1 == 0x30 && p2 >= 0x30 && p2 <= 0x38) st.pdfLevel = p2 - 0x30;
                if (fn == 0x45 && p1 == 0x31) st.pdfLevel = -1;
                if (fn == 0x46 && p1 >= 0) st.pdfTruncated = (p1 & 1) != 0;
                break;
            case 0x31:
                if (fn == 0x41 && p1 >= 0) st.qrModel = (p1 == '1' || p1 == 1) ? 1 : 2;
                if (fn == 0x43 && p1 >= 0) st.qrModuleSize = p1;
                if (fn == 0x45 && p1 >= 0x30 && p1 <= 0x33) st.qrLevel = p1 - 0x30;
                break;
            case 0x32:
                if (fn == 0x41 && p1 >= '2' && p1 <= '6') st.maxiMode = p1 - '0';
                break;
            case 0x33:
                if (fn == 0x43 && p1 >= 0) st.dataBarWidth = p1;
                break;
            case 0x34:
                if (fn == 0x43 && p1 >= 0) st.compositeWidth = p1;
                break;
            case 0x3D:
                if (fn == 0x43 && p1 >= 0) st.dmModuleSize = p1;
                break;
            default:
                break;
        }
    }

    void PrintSymbol(const Command& c, int cn) {
        if (!m_line.empty()) PrintLine(0);
        SymbolSettings& st = m_state.symbols;
        DrawnObject& o = AddObject(c, "symbol");
        EncodedSymbol s;
        int moduleWidth = 1;
        std::vector<int> rowHeights;
        auto missing = [&](const char* name) {
            o.symbology = name;
            o.status = "not printed";
            o.note = "no data stored";
        };
        auto rowsOf = [&](int h) { return std::vector<int>(static_cast<size_t>(s.rows), h); };
        auto rowsFromSymbol = [&](int mw, int fallback) {
            std::vector<int> heights;
            for (int r = 0; r < s.rows; ++r) {
                float h = r < static_cast<int>(s.rowHeights.size())
                              ? s.rowHeights[static_cast<size_t>(r)]
                              : 0;
                heights.push_back(h > 0 ? std::max(1, static_cast<int>(std::lround(h * mw)))
                                        : fallback);
            }
            return heights;
        };
        switch (cn) {
            case 0x30:
                o.symbology = "PDF417";
                if (!st.pdfData) return missing("PDF417");
                s = EncodePdf417(*st.pdfData, st.pdfColumns, st.pdfRows, st.pdfLevel,
                                 st.pdfTruncated);
                moduleWidth = std::clamp(st.pdfModuleWidth, 1, 16);
                rowHeights = rowsOf(moduleWidth * std::clamp(st.pdfRowHeight, 1, 16));
                break;
            case 0x31:
                o.symbology = "QR Code";
                if (!st.qrData) return missing("QR Code");
                s = EncodeQrCode(*st.qrData, st.qrLevel);
                moduleWidth = std::clamp(st.qrModuleSize, 1, 16);
                rowHeights = rowsOf(moduleWidth);
                if (st.qrModel == 1) o.note = "model 1 requested; drawn as model 2";
                break;
            case 0x3D:
                o.symbology = "DataMatrix";
                if (!st.dmData) return missing("DataMatrix");
                s = EncodeDataMatrix(*st.dmData);
                moduleWidth = std::clamp(st.dmModuleSize, 1, 16);
                rowHeights = rowsOf(moduleWidth);
                break;
            case 0x33:
                o.symbology = "GS1 DataBar";
                if (!st.dataBarData) return missing("GS1 DataBar");
                s = EncodeDataBar(*st.dataBarData, st.dataBarType);
                moduleWidth = std::clamp(st.dataBarWidth, 1, 16);
                rowHeights = rowsFromSymbol(moduleWidth, 33 * moduleWidth);
                break;
            case 0x34: {
                o.symbology = "composite symbol";
                if (st.compositeStores.empty()) return missing("composite symbol");
                const auto& linear = st.compositeStores.front();
                std::vector<uint8_t> component = st.compositeStores.size() > 1
                                                     ? st.compositeStores[1].data
                                                     : std::vector<uint8_t>{};
                s = EncodeComposite(linear.a, linear.b, linear.data, component);
                st.compositeStores.clear();
                moduleWidth = std::clamp(st.compositeWidth, 1, 16);
                rowHeights = rowsFromSymbol(moduleWidth, 33 * moduleWidth);
                if (!s.ok) {
                    o.data = s.encodedData;
                    o.status = "placeholder";
                    o.note = "the emulator cannot draw this composite symbol: " + s.error;
                    Placeholder(o, "composite symbol", 288, 96);
                    return;
                }
                break;
            }
            case 0x32: {
                o.symbology = "MaxiCode";
                if (!st.maxiData) return missing("MaxiCode");
                s = EncodeMaxiCode(*st.maxiData, st.maxiMode, 225);
                o.data = s.encodedData;
                if (!s.ok) {
                    o.status = "placeholder";
                    o.note = "the emulator cannot draw this MaxiCode: " + s.error;
                    Placeholder(o, "MaxiCode", 232, 224);
                    return;
                }
                if (!s.error.empty()) o.note = s.error;
                int w = std::min(s.bitmapWidth, AreaWidth());
                int x = PlaceX(w, m_lineX);
                for (int yy = 0; yy < s.bitmapHeight; ++yy)
                    for (int xx = 0; xx < w; ++xx)
                        if (s.bitmap[static_cast<size_t>(yy * s.bitmapWidth + xx)])
                            Dot(x + xx, m_y + yy);
                SetBox(o, x, m_y, w, s.bitmapHeight);
                Feed(s.bitmapHeight);
                m_lineX = 0;
                return;
            }
            default:
                o.status = "not printed";
                o.note = "unknown symbol";
                return;
        }
        o.data = s.encodedData;
        if (!s.ok) {
            o.status = "not printed";
            o.note = "data not valid for the symbol: " + s.error;
            return;
        }
        if (!s.error.empty()) o.note += (o.note.empty() ? "" : "; ") + s.error;
        int width = s.columns * moduleWidth;
        int height = 0;
        for (int h : rowHeights) height += h;
        if (width > AreaWidth() - (m_state.justification == 0 ? m_lineX : 0)) {
            o.status = "not printed";
            o.note = "wider than the print area (" + std::to_string(width) + " dots)";
            m_lineX = 0;
            return;
        }
        int x = PlaceX(width, m_lineX);
        DrawModules(s, x, m_y, moduleWidth, rowHeights);
        SetBox(o, x, m_y, width, height);
        Feed(height);
        m_lineX = 0;
    }

    void Cut(const Command& c) {
        if (c.status != CommandStatus::Ok) return;
        if (!m_line.empty()) PrintLine(0);
        int m = static_cast<int>(c.arg("m", -1));
        bool partial = c.mnemonic == "ESC m" || m == 1 || m == 49 || m == 66 || m == 98 || m == 104;
        if (m == 65 || m == 66 || m == 103 || m == 104) Feed(static_cast<int>(c.arg("n")));
        DrawnObject& o = AddObject(c, "cut");
        o.symbology = c.note;
        SetBox(o, -m_margin, m_y, m_pictureWidth, 1);
        CutLine(m_y, partial);
    }

    // ---- dispatch ---------------------------------------------------------------------------

    void Execute(const Command& c) {
        if (!m_state.enabled && c.kind != CommandKind::SelectPeripheral) return;
        if (!RasterNeutral(c) &&
            !(m_options.greyscaleRasterPlanes && c.kind == CommandKind::RasterImage)) {
            FlushRaster();
        }
        int n = static_cast<int>(c.arg("n"));
        bool ok = c.status == CommandStatus::Ok;
        switch (c.kind) {
            case CommandKind::Text:
                Text(c);
                break;
            case CommandKind::LineFeed:
                PrintLine(m_state.lineSpacing);
                break;
            case CommandKind::FormFeed:
                PrintLine(0);
                break;
            case CommandKind::HorizontalTab:
                Tab();
                break;
            case CommandKind::PrintAndFeed:
                if (ok) PrintLine(n);
                break;
            case CommandKind::PrintAndFeedLines:
                if (ok) PrintLine(m_state.lineSpacing * n);
                break;
            case CommandKind::LineSpacing:
                if (ok) m_state.lineSpacing = n;
                break;
            case CommandKind::DefaultLineSpacing:
                m_state.lineSpacing = kDefaultLineSpacing;
                break;
            case CommandKind::Initialize:
                Reset();
                break;
            case CommandKind::SelectPeripheral:
                if (ok) m_state.enabled = (n & 1) != 0;
                break;
            case CommandKind::FontSelect:
                if (ok) m_state.font = FontIndex(static_cast<int>(c.arg("font")));
                break;
            case CommandKind::CharacterFont:
                if (ok) m_state.font = FontIndex(n);
                break;
            case CommandKind::PrintMode:
                if (ok) {
                    m_state.font = (n & 1) ? 1 : 0;
                    m_state.bold = (n & 8) != 0;
                    m_state.heightMul = (n & 16) ? 2 : 1;
                    m_state.widthMul = (n & 32) ? 2 : 1;
                    m_state.underline = (n & 128) ? 1 : 0;
                }
                break;
            case CommandKind::CharacterSize:
                if (ok) {
                    m_state.widthMul = static_cast<int>(c.arg("width", 1));
                    m_state.heightMul = static_cast<int>(c.arg("height", 1));
                }
                break;
            case CommandKind::AbsolutePosition:
                if (ok) {
                    int position = static_cast<int>(c.arg("position"));
                    if (position < AreaWidth()) {
                        if (m_line.empty()) m_lineOffset = c.offset;
                        m_lineX = position;
                    }
                }
                break;
            case CommandKind::RelativePosition:
                if (ok) {
                    int offset = static_cast<int16_t>(static_cast<uint16_t>(c.arg("offset")));
                    int position = m_lineX + offset;
                    if (position >= 0 && position < AreaWidth()) m_lineX = position;
                }
                break;
            case CommandKind::Emphasis:
                if (ok) m_state.bold = (n & 1) != 0;
                break;
            case CommandKind::Underline:
                if (ok) m_state.underline = (n == 1 || n == '1') ? 1 : (n == 2 || n == '2') ? 2 : 0;
                break;
            case CommandKind::Justification:
                if (ok)
                    m_state.justification = (n == 1 || n == '1') ? 1 : (n == 2 || n == '2') ? 2 : 0;
                break;
            case CommandKind::Reverse:
                if (ok) m_state.reverse = (n & 1) != 0;
                break;
            case CommandKind::RightSpacing:
                if (ok) m_state.rightSpacing = n;
                break;
            case CommandKind::TabStops:
                m_state.tabsSet = true;
                m_state.tabColumns.clear();
                for (uint8_t stop : c.data) {
                    if (m_state.tabColumns.empty() || stop > m_state.tabColumns.back())
                        m_state.tabColumns.push_back(stop);
                }
                break;
            case CommandKind::LeftMargin:
                if (ok && m_line.empty()) m_state.leftMargin = static_cast<int>(c.arg("margin"));
                break;
            case CommandKind::PrintAreaWidth:
                if (ok && m_line.empty()) m_state.areaWidth = static_cast<int>(c.arg("width"));
                break;
            case CommandKind::RasterImage:
                if (c.args.size() >= 3) RasterImage(c);
                break;
            case CommandKind::CompressedRaster:
                CompressedRaster(c);
                break;
            case CommandKind::RasterStripEnd:
                FlushRaster();
                break;
            case CommandKind::BitImage: {
                int m = static_cast<int>(c.arg("m"));
                int columns = static_cast<int>(c.arg("columns"));
                bool tall = m == 32 || m == 33;
                bool single = m == 0 || m == 32;
                if (m == 0 || m == 1 || tall)
                    ColumnImage(c, c.data, columns, tall ? 3 : 1, single ? 2 : 1, tall ? 1 : 3);
                break;
            }
            case CommandKind::DefineDownloadedImage:
                m_downloaded = c.data;
                m_downloadedX = static_cast<int>(c.arg("x"));
                m_downloadedY = static_cast<int>(c.arg("y"));
                break;
            case CommandKind::PrintDownloadedImage: {
                if (!ok || m_downloaded.empty()) break;
                int m = static_cast<int>(c.arg("m"));
                int sx = (m & 1) ? 2 : 1, sy = (m & 2) ? 2 : 1;
                ColumnImage(c, m_downloaded, m_downloadedX * 8, m_downloadedY, sx, sy);
                break;
            }
            case CommandKind::Cut:
                Cut(c);
                break;
            case CommandKind::NvImageFsP:
                if (ok) {
                    int m = static_cast<int>(c.arg("m"));
                    NvImage(c, "NV image " + std::to_string(n), (m & 1) ? 2 : 1, (m & 2) ? 2 : 1);
                }
                break;
            case CommandKind::GraphicsGsL:
                if (c.arg("fn", -1) == 0x45 && c.arg("y", -1) >= 0) {
                    std::string key;
                    key += static_cast<char>(c.arg("kc1") & 0x7F);
                    key += static_cast<char>(c.arg("kc2") & 0x7F);
                    int sx = std::clamp(static_cast<int>(c.arg("x")), 1, 2);
                    int sy = std::clamp(static_cast<int>(c.arg("y")), 1, 2);
                    NvImage(c, "NV graphics \"" + key + "\"", sx, sy);
                }
                break;
            case CommandKind::BarcodeModuleWidth:
                if (ok && n >= 1 && n <= 6) m_state.barWidth = n;
                break;
            case CommandKind::BarcodeHeight:
                if (ok && n >= 1) m_state.barHeight = n;
                break;
            case CommandKind::HriPosition:
                if (ok) m_state.hriPosition = n;
                break;
            case CommandKind::HriFont:
                if (ok) m_state.hriFont = n;
                break;
            case CommandKind::Barcode:
                Barcode(c);
                break;
            case CommandKind::Symbol2D:
                Symbol(c);
                break;
            default:
                break;  // listed only: NUL, CR, drawers, beeps, markers, preview blocks ...
        }
    }

    static int FontIndex(int value) {
        switch (value) {
            case 'B':
            case 1:
            case '1':
                return 1;
            case 'C':
            case 2:
            case '2':
                return 2;
            default:
                return 0;
        }
    }

    const Options& m_options;
    FontRenderer& m_fonts = FontRenderer::Shared();
    Receipt m_receipt;
    int m_width = 576, m_margin = 32, m_limit = 200000, m_pictureWidth = 640;
    int m_y = 0, m_lowest = 0;
    bool m_limitNoted = false;
    PrinterState m_state;
    std::vector<LineItem> m_line;
    int m_lineX = 0;
    size_t m_lineOffset = 0;
    PendingStrip m_strip;
    std::vector<uint8_t> m_downloaded;
    int m_downloadedX = 0, m_downloadedY = 0;
};

}  // namespace

Receipt Render(std::span<const Command> commands, const Options& options) {
    return Renderer(options).Run(commands);
}

Emulation Emulate(std::span<const uint8_t> bytes, const Options& options) {
    Emulation e;
    e.commands = Decode(bytes, options);
    e.receipt = Render(e.commands, options);
    return e;
}

}  // namespace emulator
