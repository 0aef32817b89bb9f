// Font engine of the GDI subset: LOGFONTW -> a sized FreeType face found through fontconfig,
// text measuring and glyph rasterising. Called with the GDI lock held.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "win32/wingdi.h"

struct FT_FaceRec_;
struct FT_SizeRec_;

namespace gdi {

// What a LOGFONTW resolved to.
struct FontMatch {
    std::string file;
    int index = 0;
    std::string family;
    bool embolden = false;  // asked bold, the face is lighter
    bool oblique = false;   // asked italic, the face is upright
};

// A face at one size, with the metrics GDI reports.
class FontInstance {
public:
    ~FontInstance();
    FontInstance(const FontInstance&) = delete;
    FontInstance& operator=(const FontInstance&) = delete;

    // Realises the font; NULL (last error set) when no face can be loaded.
    static std::unique_ptr<FontInstance> Create(const LOGFONTW& lf);
    // The same, shared with earlier fonts of equal LOGFONTW (their sizes and advances are
    // kept, so drawing many text runs in a few fonts does not realise a font every time).
    static std::shared_ptr<FontInstance> Shared(const LOGFONTW& lf);

    int ascent() const { return m_ascent; }
    int descent() const { return m_descent; }
    int height() const { return m_ascent + m_descent; }
    const FontMatch& match() const { return m_match; }

    // Width of the text (UTF-16 code units) in pixels: the sum of the advances.
    std::int64_t Advance(const WCHAR* text, int count);
    // Draws the text with the top-left of its cell at (x, y); plot(x, y) is called for every
    // pixel the glyphs cover by half or more, and for the underline and strike-out rows.
    void Draw(const WCHAR* text, int count, std::int64_t x, std::int64_t y,
              const std::function<void(std::int64_t, std::int64_t)>& plot);
    void Metrics(TEXTMETRICW* tm);

private:
    // A glyph's dots (covered by half or more), 1 byte per pixel, placed from the pen at the
    // baseline: column `left`, row `-top`.
    struct GlyphPicture {
        int left = 0;
        int top = 0;
        int width = 0;
        int rows = 0;
        std::vector<std::uint8_t> on;
    };

    FontInstance() = default;
    const GlyphPicture& Picture(unsigned glyph);
    bool Activate();
    int GlyphAdvance(unsigned glyph);
    unsigned GlyphOf(char32_t cp);

    LOGFONTW m_lf{};
    FontMatch m_match;
    FT_FaceRec_* m_face = nullptr;  // shared, owned by the face cache
    FT_SizeRec_* m_size = nullptr;  // owned
    int m_ascent = 0;
    int m_descent = 0;
    int m_emPixelsY = 0;
    int m_emPixelsX = 0;
    int m_boldExtra = 0;  // pixels added to every advance by emboldening
    std::unordered_map<unsigned, int> m_advances;
    std::unordered_map<unsigned, GlyphPicture> m_pictures;
    std::size_t m_pictureBytes = 0;
};

// UTF-16 (bounded, stops at NUL) -> UTF-8; broken surrogates become U+FFFD.
std::string FaceNameUtf8(const WCHAR* name, std::size_t maxUnits);

}  // namespace gdi
