// Font objects of the engine: FONTOBJ with its IFIMETRICS and font transform.
//
// Every font object lives in a table of live objects, so a pointer the engine did not make
// (or one already released) is recognised and answered with null instead of being read.
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "win32/engine_text.h"

namespace {

struct EngineFont {
    FONTOBJ fo{};
    XFORMOBJ xo{};
    XFORML xform{};
    std::unique_ptr<std::byte[]> ifi;  // IFIMETRICS followed by the family name
};

std::mutex g_fontLock;

std::unordered_map<const void*, EngineFont*>& LiveFonts() {
    static auto* table = new std::unordered_map<const void*, EngineFont*>();
    return *table;
}
std::unordered_map<const void*, EngineFont*>& LiveTransforms() {
    static auto* table = new std::unordered_map<const void*, EngineFont*>();
    return *table;
}

EngineFont* FindFont(const void* key, std::unordered_map<const void*, EngineFont*>& table) {
    auto it = table.find(key);
    return it == table.end() ? nullptr : it->second;
}

}  // namespace

namespace platform {

FONTOBJ* CreateEngineFont(const EngineFontDescription& d) {
    if (d.unitsPerEm < 1 || !std::isfinite(d.emHeight) || d.emHeight < 0.0) {
        return nullptr;
    }
    auto font = std::unique_ptr<EngineFont>(new (std::nothrow) EngineFont());
    if (!font) {
        return nullptr;
    }
    const std::size_t nameBytes = (d.family.size() + 1) * sizeof(WCHAR);
    const std::size_t total = sizeof(IFIMETRICS) + nameBytes;
    font->ifi.reset(new (std::nothrow) std::byte[total]());
    if (!font->ifi) {
        return nullptr;
    }
    auto* ifi = reinterpret_cast<IFIMETRICS*>(font->ifi.get());
    ifi->cjThis = static_cast<ULONG>(total);
    ifi->dpwszFamilyName = static_cast<PTRDIFF>(sizeof(IFIMETRICS));
    ifi->dpwszStyleName = ifi->dpwszFamilyName;
    ifi->dpwszFaceName = ifi->dpwszFamilyName;
    ifi->dpwszUniqueName = ifi->dpwszFamilyName;
    std::memcpy(font->ifi.get() + sizeof(IFIMETRICS), d.family.data(),
                d.family.size() * sizeof(WCHAR));
    ifi->jWinCharSet = d.charSet;
    ifi->jWinPitchAndFamily = d.pitchAndFamily;
    ifi->usWinWeight = d.weight;
    ifi->fsSelection = static_cast<USHORT>(
        (d.italic ? FM_SEL_ITALIC : 0) | (d.underline ? FM_SEL_UNDERSCORE : 0) |
        (d.strikeout ? FM_SEL_STRIKEOUT : 0) | (d.weight >= 700 ? FM_SEL_BOLD : 0));
    if (ifi->fsSelection == 0) {
        ifi->fsSelection = FM_SEL_REGULAR;
    }
    ifi->fwdUnitsPerEm = d.unitsPerEm;
    ifi->fwdWinAscender = static_cast<FWORD>(d.unitsPerEm * 4 / 5);
    ifi->fwdWinDescender = static_cast<FWORD>(d.unitsPerEm / 5);
    ifi->wcFirstChar = 0x20;
    ifi->wcLastChar = 0xFFFD;
    ifi->wcDefaultChar = u'?';
    ifi->wcBreakChar = u' ';

    const float scale = static_cast<float>(d.emHeight / d.unitsPerEm);
    font->xform = {scale, 0.0f, 0.0f, scale, 0.0f, 0.0f};
    font->fo.flFontType = d.flFontType | (d.italic ? FO_SIM_ITALIC : 0);
    font->fo.cxMax = d.cxMax;
    font->fo.sizLogResPpi = {203, 203};
    font->fo.ulStyleSize = static_cast<ULONG>(d.emHeight + 0.5);

    std::lock_guard<std::mutex> lock(g_fontLock);
    EngineFont* raw = font.release();
    raw->fo.iUniq = static_cast<ULONG>(LiveFonts().size() + 1);
    LiveFonts()[&raw->fo] = raw;
    LiveTransforms()[&raw->xo] = raw;
    return &raw->fo;
}

void DeleteEngineFont(FONTOBJ* pfo) {
    std::lock_guard<std::mutex> lock(g_fontLock);
    EngineFont* font = FindFont(pfo, LiveFonts());
    if (font == nullptr) {
        return;
    }
    LiveFonts().erase(&font->fo);
    LiveTransforms().erase(&font->xo);
    delete font;
}

}  // namespace platform

extern "C" {

IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo) {
    std::lock_guard<std::mutex> lock(g_fontLock);
    EngineFont* font = FindFont(pfo, LiveFonts());
    return font == nullptr ? nullptr : reinterpret_cast<IFIMETRICS*>(font->ifi.get());
}

XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo) {
    std::lock_guard<std::mutex> lock(g_fontLock);
    EngineFont* font = FindFont(pfo, LiveFonts());
    return font == nullptr ? nullptr : &font->xo;
}

ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform) {
    std::lock_guard<std::mutex> lock(g_fontLock);
    EngineFont* font = FindFont(pxo, LiveTransforms());
    if (font == nullptr) {
        return DDI_ERROR;
    }
    const XFORML& x = font->xform;
    if (pxform != nullptr) {
        *pxform = x;
    }
    if (x.eM12 != 0.0f || x.eM21 != 0.0f) {
        return GX_GENERAL;
    }
    if (x.eM11 != 1.0f || x.eM22 != 1.0f) {
        return GX_SCALE;
    }
    return (x.eDx != 0.0f || x.eDy != 0.0f) ? GX_OFFSET : GX_IDENTITY;
}

}  // extern "C"
