// Font engine of the GDI subset on fontconfig (finding a face for a LOGFONTW) and FreeType
// (sizes, advances, glyph pictures). All functions run under the GDI lock.
#include "gdi/font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>

#include "gdi/gdi_state.h"
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

namespace gdi {
namespace {

// The face that stands in when fontconfig cannot answer at all.
constexpr const char* kFallbackFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// Em height used for lfHeight 0, and the largest em height realised.
constexpr int kDefaultEmPixels = 16;
constexpr int kMaxEmPixels = 4096;
// Slant of synthetic italics (x += 0.2 y).
constexpr FT_Fixed kObliqueShear = 0x3333;

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) return static_cast<FT_Library>(nullptr);
        return lib;
    }();
    return library;
}

bool FontconfigReady() {
    static const bool ready = [] {
        if (FcInit() != FcTrue) return false;
        // Hand fontconfig's configuration back at exit; the check for leaks runs after it.
        std::atexit([] {
            auto lock = GdiLock();
            FcFini();
        });
        return true;
    }();
    return ready;
}

// Faces stay open for the life of the process; sizes are per font object.
FT_Face OpenFace(const std::string& file, int index) {
    static auto* faces = new std::map<std::pair<std::string, int>, FT_Face>();
    const auto key = std::make_pair(file, index);
    if (auto it = faces->find(key); it != faces->end()) return it->second;
    FT_Library lib = Library();
    if (lib == nullptr) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, file.c_str(), index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    (*faces)[key] = face;
    return face;
}

const char* LangOfCharset(BYTE charset) {
    switch (charset) {
        case SHIFTJIS_CHARSET:
            return "ja";
        case HANGUL_CHARSET:
            return "ko";
        case GB2312_CHARSET:
            return "zh-cn";
        case CHINESEBIG5_CHARSET:
            return "zh-tw";
        default:
            return nullptr;
    }
}

const char* GenericFamily(BYTE pitchAndFamily) {
    const BYTE family = pitchAndFamily & 0xF0;
    if ((pitchAndFamily & 0x03) == FIXED_PITCH || family == FF_MODERN) return "monospace";
    if (family == FF_ROMAN) return "serif";
    return "sans-serif";
}

LONG RequestedWeight(const LOGFONTW& lf) {
    return lf.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(lf.lfWeight, 1000);
}

// fontconfig lookup, remembered per distinct request.
bool MatchFont(const LOGFONTW& lf, FontMatch* out) {
    const std::string name = FaceNameUtf8(lf.lfFaceName, LF_FACESIZE);
    const LONG weight = RequestedWeight(lf);
    const bool italic = lf.lfItalic != 0;
    std::string key = name;
    key += '\0';
    key += std::to_string(weight) + ':' + (italic ? "i" : "r") + ':' +
           std::to_string(lf.lfCharSet) + ':' + std::to_string(lf.lfPitchAndFamily);
    static auto* cache = new std::map<std::string, FontMatch>();
    if (auto it = cache->find(key); it != cache->end()) {
        *out = it->second;
        return true;
    }

    FontMatch m;
    bool found = false;
    if (FontconfigReady()) {
        FcPattern* pat = FcPatternCreate();
        if (pat != nullptr) {
            if (!name.empty()) {
                FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
            }
            FcPatternAddString(
                pat, FC_FAMILY,
                reinterpret_cast<const FcChar8*>(GenericFamily(lf.lfPitchAndFamily)));
            FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(static_cast<int>(weight)));
            FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
            FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
            if (const char* lang = LangOfCharset(lf.lfCharSet)) {
                FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
            }
            FcConfigSubstitute(nullptr, pat, FcMatchPattern);
            FcDefaultSubstitute(pat);
            FcResult result = FcResultNoMatch;
            FcPattern* match = FcFontMatch(nullptr, pat, &result);
            if (match != nullptr) {
                FcChar8* file = nullptr;
                FcChar8* family = nullptr;
                int index = 0;
                int faceWeight = FC_WEIGHT_REGULAR;
                int faceSlant = FC_SLANT_ROMAN;
                if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
                    m.file = reinterpret_cast<const char*>(file);
                    FcPatternGetInteger(match, FC_INDEX, 0, &index);
                    FcPatternGetInteger(match, FC_WEIGHT, 0, &faceWeight);
                    FcPatternGetInteger(match, FC_SLANT, 0, &faceSlant);
                    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch) {
                        m.family = reinterpret_cast<const char*>(family);
                    }
                    m.index = index;
                    m.embolden = weight >= FW_SEMIBOLD && faceWeight < FC_WEIGHT_DEMIBOLD;
                    m.oblique = italic && faceSlant == FC_SLANT_ROMAN;
                    found = true;
                }
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pat);
        }
    }
    if (!found) {
        m.file = kFallbackFile;
        m.index = 0;
        m.family = "DejaVu Sans";
        m.embolden = weight >= FW_SEMIBOLD;
        m.oblique = italic;
    }
    (*cache)[key] = m;
    *out = m;
    return true;
}

int RoundScaled(std::int64_t units, int pixels, int unitsPerEm) {
    return static_cast<int>(
        std::lround(static_cast<double>(units) * pixels / std::max(unitsPerEm, 1)));
}

char32_t NextCodePoint(const WCHAR* text, int count, int* i) {
    const char16_t u = text[*i];
    ++*i;
    if (u >= 0xD800 && u <= 0xDBFF) {
        if (*i < count && text[*i] >= 0xDC00 && text[*i] <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                (static_cast<char32_t>(text[*i]) - 0xDC00);
            ++*i;
            return cp;
        }
        return 0xFFFD;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) return 0xFFFD;
    return u;
}

}  // namespace

std::string FaceNameUtf8(const WCHAR* name, std::size_t maxUnits) {
    std::string out;
    std::size_t n = 0;
    while (n < maxUnits && name[n] != 0) ++n;
    for (int i = 0; i < static_cast<int>(n);) {
        const char32_t cp = NextCodePoint(name, static_cast<int>(n), &i);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

FontInstance::~FontInstance() {
    if (m_size != nullptr) FT_Done_Size(m_size);
}

std::unique_ptr<FontInstance> FontInstance::Create(const LOGFONTW& lf) {
    std::unique_ptr<FontInstance> font(new FontInstance());
    font->m_lf = lf;
    MatchFont(lf, &font->m_match);
    FT_Face face = OpenFace(font->m_match.file, font->m_match.index);
    if (face == nullptr && font->m_match.file != kFallbackFile) {
        font->m_match.file = kFallbackFile;
        font->m_match.index = 0;
        face = OpenFace(kFallbackFile, 0);
    }
    if (face == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    font->m_face = face;

    // Vertical metrics as GDI takes them from a TrueType face: the OS/2 Windows ascent and
    // descent, else the face's own ascender and descender.
    const int upem = std::max<int>(face->units_per_EM, 1);
    std::int64_t winAscent = face->ascender;
    std::int64_t winDescent = -static_cast<std::int64_t>(face->descender);
    std::int64_t avgWidth = upem / 2;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
        if (os2->xAvgCharWidth > 0) avgWidth = os2->xAvgCharWidth;
    }
    const std::int64_t cellUnits = std::max<std::int64_t>(winAscent + winDescent, 1);

    std::int64_t emY = kDefaultEmPixels;
    if (lf.lfHeight < 0) {
        emY = -static_cast<std::int64_t>(lf.lfHeight);
    } else if (lf.lfHeight > 0) {
        emY = std::llround(static_cast<double>(lf.lfHeight) * upem / cellUnits);
    }
    emY = std::clamp<std::int64_t>(emY, 1, kMaxEmPixels);
    std::int64_t emX = emY;
    if (lf.lfWidth != 0) {
        const std::int64_t w = std::abs(static_cast<std::int64_t>(lf.lfWidth));
        emX = std::clamp<std::int64_t>(std::llround(static_cast<double>(w) * upem / avgWidth), 1,
                                       kMaxEmPixels);
    }
    font->m_emPixelsY = static_cast<int>(emY);
    font->m_emPixelsX = static_cast<int>(emX);

    if (FT_New_Size(face, &font->m_size) != 0) {
        font->m_size = nullptr;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!font->Activate()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (lf.lfHeight > 0 && emY < kMaxEmPixels) {
        font->m_ascent = RoundScaled(winAscent, lf.lfHeight, static_cast<int>(cellUnits));
        font->m_descent = lf.lfHeight - font->m_ascent;
    } else {
        font->m_ascent = RoundScaled(winAscent, font->m_emPixelsY, upem);
        font->m_descent = RoundScaled(winDescent, font->m_emPixelsY, upem);
    }
    if (font->m_match.embolden) {
        font->m_boldExtra = std::max(1, static_cast<int>(std::lround(emX / 24.0)));
    }
    return font;
}

std::shared_ptr<FontInstance> FontInstance::Shared(const LOGFONTW& lf) {
    // Equal fonts: equal fields, face names equal up to their end.
    LOGFONTW key = lf;
    bool ended = false;
    for (WCHAR& ch : key.lfFaceName) {
        ended = ended || ch == 0;
        if (ended) ch = 0;
    }
    static auto* cache = new std::map<std::string, std::shared_ptr<FontInstance>>();
    std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
    if (auto it = cache->find(bytes); it != cache->end()) return it->second;
    std::shared_ptr<FontInstance> font = Create(lf);
    if (font == nullptr) return nullptr;
    if (cache->size() >= 64) cache->clear();  // fonts in use keep their instance
    (*cache)[bytes] = font;
    return font;
}

bool FontInstance::Activate() {
    if (FT_Activate_Size(m_size) != 0) return false;
    return FT_Set_Char_Size(m_face, static_cast<FT_F26Dot6>(m_emPixelsX) * 64,
                            static_cast<FT_F26Dot6>(m_emPixelsY) * 64, 72, 72) == 0;
}

unsigned FontInstance::GlyphOf(char32_t cp) {
    return FT_Get_Char_Index(m_face, cp);
}

int FontInstance::GlyphAdvance(unsigned glyph) {
    if (auto it = m_advances.find(glyph); it != m_advances.end()) return it->second;
    int advance = 0;
    if (FT_Load_Glyph(m_face, glyph, FT_LOAD_NO_BITMAP) == 0) {
        advance = static_cast<int>((m_face->glyph->advance.x + 32) >> 6) + m_boldExtra;
    }
    m_advances[glyph] = advance;
    return advance;
}

std::int64_t FontInstance::Advance(const WCHAR* text, int count) {
    if (!Activate()) return 0;
    std::int64_t width = 0;
    for (int i = 0; i < count;) width += GlyphAdvance(GlyphOf(NextCodePoint(text, count, &i)));
    return width;
}

const FontInstance::GlyphPicture& FontInstance::Picture(unsigned glyph) {
    if (auto it = m_pictures.find(glyph); it != m_pictures.end()) return it->second;
    // Pictures are kept up to a few megabytes per font; huge sizes start afresh.
    if (m_pictureBytes > (std::size_t{4} << 20)) {
        m_pictures.clear();
        m_pictureBytes = 0;
    }
    GlyphPicture& g = m_pictures[glyph];
    if (FT_Load_Glyph(m_face, glyph, FT_LOAD_NO_BITMAP) != 0) return g;
    FT_GlyphSlot slot = m_face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (m_boldExtra > 0) FT_Outline_EmboldenXY(&slot->outline, m_boldExtra * 64, 0);
        if (m_match.oblique) {
            FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.on.assign(static_cast<std::size_t>(g.width) * g.rows, 0);
    for (int row = 0; row < g.rows; ++row) {
        const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(row) * bm.pitch;
        for (int col = 0; col < g.width; ++col) {
            bool on = false;
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                on = (src[col >> 3] & (0x80 >> (col & 7))) != 0;
            } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
                // A pixel belongs to the glyph when it is covered by half or more.
                on = src[col] >= 128;
            }
            g.on[static_cast<std::size_t>(row) * g.width + col] = on ? 1 : 0;
        }
    }
    m_pictureBytes += g.on.size() + sizeof(GlyphPicture);
    return g;
}

void FontInstance::Draw(const WCHAR* text, int count, std::int64_t x, std::int64_t y,
                        const std::function<void(std::int64_t, std::int64_t)>& plot) {
    if (!Activate()) return;
    const std::int64_t baseline = y + m_ascent;
    // Renders one glyph with its origin at pen; calls dot for every pixel covered by half or
    // more. False when the glyph has no picture.
    auto render = [&](unsigned glyph, std::int64_t pen,
                      const std::function<void(std::int64_t, std::int64_t)>& dot) {
        const GlyphPicture& g = Picture(glyph);
        const std::int64_t left = pen + g.left;
        const std::int64_t top = baseline - g.top;
        for (int row = 0; row < g.rows; ++row) {
            const std::uint8_t* src = g.on.data() + static_cast<std::size_t>(row) * g.width;
            for (int col = 0; col < g.width; ++col) {
                if (src[col] != 0) dot(left + col, top + row);
            }
        }
    };

    std::int64_t pen = x;
    if (m_lf.lfItalic != 0 && count > 0) {
        // An italic run leans right, into the room its box has there (the extent plus its
        // height); a slanted descender of the first character would otherwise stick out on
        // the left, so the run starts that much further right.
        int first = 0;
        const unsigned glyph = GlyphOf(NextCodePoint(text, count, &first));
        std::int64_t inkLeft = x;
        render(glyph, x, [&](std::int64_t px, std::int64_t) { inkLeft = std::min(inkLeft, px); });
        pen += x - inkLeft;
    }
    for (int i = 0; i < count;) {
        const unsigned glyph = GlyphOf(NextCodePoint(text, count, &i));
        render(glyph, pen, plot);
        pen += GlyphAdvance(glyph);
    }

    const std::int64_t width = Advance(text, count);
    const int upem = std::max<int>(m_face->units_per_EM, 1);
    auto rule = [&](std::int64_t top, int thickness) {
        top = std::clamp<std::int64_t>(top, y, y + height() - thickness);
        for (int r = 0; r < thickness; ++r) {
            for (std::int64_t c = 0; c < width; ++c) plot(x + c, top + r);
        }
    };
    if (m_lf.lfUnderline != 0) {
        const int thickness =
            std::max(1, RoundScaled(m_face->underline_thickness, m_emPixelsY, upem));
        const int centre = RoundScaled(-m_face->underline_position, m_emPixelsY, upem);
        rule(baseline + centre - thickness / 2, thickness);
    }
    if (m_lf.lfStrikeOut != 0) {
        int position = m_ascent * 3 / 10;
        int thickness = std::max(1, m_emPixelsY / 14);
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2))) {
            if (os2->yStrikeoutSize > 0) {
                position = RoundScaled(os2->yStrikeoutPosition, m_emPixelsY, upem);
                thickness = std::max(1, RoundScaled(os2->yStrikeoutSize, m_emPixelsY, upem));
            }
        }
        rule(baseline - position, thickness);
    }
}

void FontInstance::Metrics(TEXTMETRICW* tm) {
    *tm = TEXTMETRICW{};
    Activate();
    const int upem = std::max<int>(m_face->units_per_EM, 1);
    std::int64_t avgUnits = upem / 2;
    std::int64_t lineGap = 0;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2))) {
        if (os2->xAvgCharWidth > 0) avgUnits = os2->xAvgCharWidth;
    }
    if (auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_HHEA))) {
        lineGap = hhea->Line_Gap;
    }
    tm->tmHeight = height();
    tm->tmAscent = m_ascent;
    tm->tmDescent = m_descent;
    tm->tmInternalLeading = std::max(0, height() - m_emPixelsY);
    tm->tmExternalLeading = std::max(0, RoundScaled(lineGap, m_emPixelsY, upem));
    tm->tmAveCharWidth = RoundScaled(avgUnits, m_emPixelsX, upem) + m_boldExtra;
    tm->tmMaxCharWidth = RoundScaled(m_face->max_advance_width, m_emPixelsX, upem) + m_boldExtra;
    tm->tmWeight = m_match.embolden ? FW_BOLD : RequestedWeight(m_lf);
    tm->tmOverhang = 0;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = m_lf.lfItalic != 0 ? 1 : 0;
    tm->tmUnderlined = m_lf.lfUnderline != 0 ? 1 : 0;
    tm->tmStruckOut = m_lf.lfStrikeOut != 0 ? 1 : 0;
    // Low bit set means variable pitch in TEXTMETRIC; TMPF_VECTOR | TMPF_TRUETYPE.
    tm->tmPitchAndFamily = static_cast<BYTE>((FT_IS_FIXED_WIDTH(m_face) ? 0 : 1) | 0x02 | 0x04 |
                                             (m_lf.lfPitchAndFamily & 0xF0));
    tm->tmCharSet = m_lf.lfCharSet;
}

}  // namespace gdi
