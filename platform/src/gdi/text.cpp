// Fonts and text: CreateFontIndirectW, the text extent, text metrics and TextOutW.
#include <algorithm>

#include "gdi/gdi_state.h"

using namespace gdi;

namespace {

// Extent of count code units of text in the context's font; false with the last error set.
bool Extent(const char* function, HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return false;
    if (size == nullptr || count < 0 || (text == nullptr && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (ShouldFail(function)) return false;
    FontInstance* font = FontOf(*dc);
    if (font == nullptr) return false;
    const std::int64_t width = count == 0 ? 0 : font->Advance(text, count);
    size->cx = static_cast<LONG>(std::min<std::int64_t>(width, 0x7FFFFFFF));
    size->cy = font->height();
    return true;
}

}  // namespace

extern "C" {

HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
    auto lock = GdiLock();
    if (lplf == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (ShouldFail("CreateFontIndirectW")) return nullptr;
    auto font = std::make_unique<Font>();
    font->lf = *lplf;
    font->instance = FontInstance::Shared(font->lf);
    if (font->instance == nullptr) return nullptr;
    return AsGdiObj(Insert(std::move(font)));
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl) {
    return Extent("GetTextExtentPoint32W", hdc, lpString, c, psizl) ? TRUE : FALSE;
}

BOOL GetTextExtentPointW(HDC hdc, LPCWSTR lpString, int c, LPSIZE lpsz) {
    return Extent("GetTextExtentPointW", hdc, lpString, c, lpsz) ? TRUE : FALSE;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return FALSE;
    if (lptm == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FontInstance* font = FontOf(*dc);
    if (font == nullptr) return FALSE;
    font->Metrics(lptm);
    return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return FALSE;
    if (c < 0 || (lpString == nullptr && c > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (ShouldFail("TextOutW")) return FALSE;
    FontInstance* font = FontOf(*dc);
    if (font == nullptr) return FALSE;
    Bitmap* target = TargetOf(*dc);
    if (target == nullptr || c == 0) return TRUE;  // the screen shows nothing

    if (dc->bkMode == OPAQUE) {
        // The cell box of the text is filled with the background colour first.
        const std::uint32_t bk = target->ColorToRaw(dc->bkColor);
        const std::int64_t right = std::min<std::int64_t>(
            static_cast<std::int64_t>(x) + font->Advance(lpString, c), target->width);
        const std::int64_t bottom =
            std::min<std::int64_t>(static_cast<std::int64_t>(y) + font->height(), target->height);
        const std::int64_t left = std::max(x, 0);
        for (std::int64_t row = std::max(y, 0); row < bottom && left < right; ++row) {
            target->FillSpan(static_cast<LONG>(row), static_cast<LONG>(left),
                             static_cast<LONG>(right), bk);
        }
    }
    const std::uint32_t ink = target->ColorToRaw(dc->textColor);
    font->Draw(lpString, c, x, y, [&](std::int64_t px, std::int64_t py) {
        if (target->Contains(px, py)) {
            target->SetRaw(static_cast<LONG>(px), static_cast<LONG>(py), ink);
        }
    });
    return TRUE;
}

}  // extern "C"
