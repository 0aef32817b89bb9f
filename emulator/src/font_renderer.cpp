// Character cells drawn with FreeType in monochrome (a thermal head has no grey).
#include "font_renderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

namespace emulator {

struct FontRenderer::Face {
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
    }
};

namespace {

// The file of the best font for `pattern`, optionally one that has `codePoint`; empty if none.
std::string MatchFont(const char* pattern, char32_t codePoint) {
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (!pat) return {};
    FcCharSet* charset = nullptr;
    if (codePoint) {
        charset = FcCharSetCreate();
        FcCharSetAddChar(charset, codePoint);
        FcPatternAddCharSet(pat, FC_CHARSET, charset);
    }
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    std::string path;
    if (match) {
        FcChar8* file = nullptr;
        FcCharSet* has = nullptr;
        bool covers =
            !codePoint || (FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch &&
                           FcCharSetHasChar(has, codePoint));
        if (covers && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            path = reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(match);
    }
    if (charset) FcCharSetDestroy(charset);
    FcPatternDestroy(pat);
    return path;
}

// fontconfig once per process; its configuration is handed back at exit, before the leak check.
bool FontconfigReady() {
    static const bool ready = [] {
        if (FcInit() != FcTrue) return false;
        std::atexit([] { FcFini(); });
        return true;
    }();
    return ready;
}

}  // namespace

CellBitmap BoxCell(int width, int height) {
    CellBitmap cell{width, height, std::vector<uint8_t>(static_cast<size_t>(width * height), 0)};
    int x0 = width > 4 ? 1 : 0, x1 = width > 4 ? width - 2 : width - 1;
    int y0 = height > 6 ? 2 : 0, y1 = height > 6 ? height - 3 : height - 1;
    for (int x = x0; x <= x1; ++x) {
        cell.at(x, y0) = 1;
        cell.at(x, y1) = 1;
    }
    for (int y = y0; y <= y1; ++y) {
        cell.at(x0, y) = 1;
        cell.at(x1, y) = 1;
    }
    return cell;
}

FontRenderer::FontRenderer() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return;
    m_library = library;
    if (!FontconfigReady()) return;
    std::string path = MatchFont("DejaVu Sans Mono:spacing=mono", 0);
    if (path.empty()) path = MatchFont("monospace", 0);
    if (!path.empty()) m_primary = LoadFace(path);
}

FontRenderer::~FontRenderer() {
    m_cells.clear();
    m_fallback.clear();
    m_faces.clear();
    if (m_library) FT_Done_FreeType(static_cast<FT_Library>(m_library));
}

FontRenderer::Face* FontRenderer::LoadFace(const std::string& path) {
    if (auto it = m_faces.find(path); it != m_faces.end()) return it->second.get();
    auto face = std::make_unique<Face>();
    if (FT_New_Face(static_cast<FT_Library>(m_library), path.c_str(), 0, &face->face) != 0) {
        face->face = nullptr;
        m_faces.emplace(path, nullptr);
        return nullptr;
    }
    Face* raw = face.get();
    m_faces.emplace(path, std::move(face));
    return raw;
}

FontRenderer::Face* FontRenderer::FaceFor(char32_t codePoint) {
    if (!m_library) return nullptr;
    if (m_primary && FT_Get_Char_Index(m_primary->face, codePoint) != 0) return m_primary;
    if (auto it = m_fallback.find(codePoint); it != m_fallback.end()) return it->second;
    Face* found = nullptr;
    // Faces already loaded first, then ask fontconfig once for this character.
    for (auto& [path, face] : m_faces) {
        if (face && FT_Get_Char_Index(face->face, codePoint) != 0) {
            found = face.get();
            break;
        }
    }
    if (!found) {
        std::string path = MatchFont("sans-serif", codePoint);
        if (!path.empty()) {
            Face* face = LoadFace(path);
            if (face && FT_Get_Char_Index(face->face, codePoint) != 0) found = face;
        }
    }
    m_fallback.emplace(codePoint, found);
    return found;
}

bool FontRenderer::Draw(Face* holder, char32_t codePoint, CellBitmap& cell) {
    FT_Face face = holder->face;
    FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (index == 0 || face->units_per_EM == 0) return false;
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE) != 0) return false;
    double units = face->units_per_EM;
    double advance = face->glyph->metrics.horiAdvance / units;
    if (advance <= 0.1) advance = 0.6;
    double lineHeight = (face->ascender - face->descender) / units;
    if (lineHeight <= 0.1) lineHeight = 1.2;
    int em = static_cast<int>(std::floor(std::min(cell.width / advance, cell.height / lineHeight)));
    if (em < 4) return false;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0) return false;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP) {
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return false;
    }
    const FT_Bitmap& bitmap = slot->bitmap;
    double ascender = face->ascender / units * em;
    double descender = -face->descender / units * em;
    int baseline =
        static_cast<int>(std::lround((cell.height - (ascender + descender)) / 2 + ascender));
    int advancePx = static_cast<int>(slot->advance.x >> 6);
    int originX = (cell.width - advancePx) / 2;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        int y = baseline - slot->bitmap_top + static_cast<int>(row);
        if (y < 0 || y >= cell.height) continue;
        const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
        for (unsigned col = 0; col < bitmap.width; ++col) {
            int x = originX + slot->bitmap_left + static_cast<int>(col);
            if (x < 0 || x >= cell.width) continue;
            bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                          ? (line[col >> 3] >> (7 - (col & 7))) & 1
                          : line[col] >= 128;
            if (on) cell.at(x, y) = 1;
        }
    }
    return true;
}

FontRenderer& FontRenderer::Shared() {
    static FontRenderer renderer;
    return renderer;
}

CellBitmap FontRenderer::Cell(char32_t codePoint, int width, int height) {
    width = std::clamp(width, 1, 512);
    height = std::clamp(height, 1, 512);
    std::lock_guard lock(m_mutex);
    if (m_cells.size() > 50000) m_cells.clear();
    auto key = std::make_tuple(codePoint, width, height);
    if (auto it = m_cells.find(key); it != m_cells.end()) return it->second;
    CellBitmap cell{width, height, std::vector<uint8_t>(static_cast<size_t>(width * height), 0)};
    bool drawn = false;
    if (codePoint == U' ' || codePoint == 0x3000 || codePoint == 0xA0) {
        drawn = true;  // blank
    } else if (codePoint != 0) {
        if (Face* face = FaceFor(codePoint)) drawn = Draw(face, codePoint, cell);
    }
    if (!drawn) cell = BoxCell(width, height);
    return m_cells.emplace(key, std::move(cell)).first->second;
}

}  // namespace emulator
