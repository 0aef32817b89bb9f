// Device contexts: the screen context, memory contexts, object selection, device
// capabilities and the text colour state.
#include "gdi/gdi_state.h"

using namespace gdi;

namespace {

// The simulated screen.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kScreenDpi = 96;
constexpr int kScreenBitsPixel = 32;

HDC NewDc(bool memory) {
    auto dc = std::make_unique<Dc>();
    dc->memory = memory;
    dc->font = Stock(SYSTEM_FONT);
    dc->brush = Stock(WHITE_BRUSH);
    dc->pen = Stock(BLACK_PEN);
    if (memory) dc->bitmap = StockMonoBitmap();
    if (dc->font == nullptr || dc->brush == nullptr || dc->pen == nullptr ||
        (memory && dc->bitmap == nullptr)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    for (HGDIOBJ h : {dc->font, dc->brush, dc->pen, dc->bitmap}) {
        if (Object* o = Find(h)) ++o->selectCount;
    }
    return AsDc(Insert(std::move(dc)));
}

// Lets go of everything a context holds.
void Deselect(Dc& dc) {
    for (HGDIOBJ h : {dc.font, dc.brush, dc.pen, dc.bitmap}) {
        if (Object* o = Find(h)) {
            --o->selectCount;
            if (o->kind == Kind::Bitmap) static_cast<Bitmap*>(o)->selectedIn = nullptr;
        }
    }
}

}  // namespace

extern "C" {

HDC GetDC(HWND) {
    auto lock = GdiLock();
    if (ShouldFail("GetDC")) return nullptr;
    return NewDc(false);
}

int ReleaseDC(HWND, HDC hDC) {
    auto lock = GdiLock();
    Dc* dc = FindAs<Dc>(hDC, Kind::Dc);
    if (dc == nullptr || dc->memory) return 0;
    Deselect(*dc);
    Erase(hDC);
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    auto lock = GdiLock();
    if (hdc != nullptr && FindDc(hdc) == nullptr) return nullptr;
    if (ShouldFail("CreateCompatibleDC")) return nullptr;
    return NewDc(true);
}

BOOL DeleteDC(HDC hdc) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return FALSE;
    if (!dc->memory) {
        // Contexts from GetDC go back through ReleaseDC.
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Deselect(*dc);
    Erase(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return nullptr;
    Object* o = Find(h);
    if (o == nullptr || o->kind == Kind::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ* slot = nullptr;
    switch (o->kind) {
        case Kind::Font:
            slot = &dc->font;
            break;
        case Kind::Brush:
            slot = &dc->brush;
            break;
        case Kind::Pen:
            slot = &dc->pen;
            break;
        case Kind::Bitmap: {
            auto* b = static_cast<Bitmap*>(o);
            if (!dc->memory) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            if (!b->stock && b->selectedIn != nullptr && b->selectedIn != hdc) {
                // A bitmap lives in one memory context at a time.
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            slot = &dc->bitmap;
            break;
        }
        case Kind::Dc:
            return nullptr;
    }
    HGDIOBJ old = *slot;
    if (old == h) return old;
    if (Object* prev = Find(old)) {
        --prev->selectCount;
        if (prev->kind == Kind::Bitmap) static_cast<Bitmap*>(prev)->selectedIn = nullptr;
    }
    ++o->selectCount;
    if (o->kind == Kind::Bitmap && !o->stock) static_cast<Bitmap*>(o)->selectedIn = hdc;
    *slot = h;
    return old;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return nullptr;
    switch (type) {
        case OBJ_FONT:
            return dc->font;
        case OBJ_BRUSH:
            return dc->brush;
        case OBJ_PEN:
            return dc->pen;
        case OBJ_BITMAP:
            return dc->bitmap;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

int GetDeviceCaps(HDC hdc, int index) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return 0;
    int bitsPixel = kScreenBitsPixel;
    if (const Bitmap* b = TargetOf(*dc)) bitsPixel = b->bpp;
    switch (index) {
        case DRIVERVERSION:
            return 0x4000;
        case TECHNOLOGY:
            return DT_RASDISPLAY;
        case HORZSIZE:
            return kScreenWidth * 254 / (kScreenDpi * 10);
        case VERTSIZE:
            return kScreenHeight * 254 / (kScreenDpi * 10);
        case HORZRES:
            return kScreenWidth;
        case VERTRES:
            return kScreenHeight;
        case BITSPIXEL:
            return bitsPixel;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return bitsPixel <= 8 ? (1 << bitsPixel) : -1;
        case RASTERCAPS:
            return RC_BITBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT;
        case LOGPIXELSX:
        case LOGPIXELSY:
            return kScreenDpi;
        default:
            return 0;
    }
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return CLR_INVALID;
    const COLORREF old = dc->textColor;
    dc->textColor = color & 0xFFFFFF;
    return old;
}

COLORREF GetTextColor(HDC hdc) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    return dc == nullptr ? CLR_INVALID : dc->textColor;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return CLR_INVALID;
    const COLORREF old = dc->bkColor;
    dc->bkColor = color & 0xFFFFFF;
    return old;
}

COLORREF GetBkColor(HDC hdc) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    return dc == nullptr ? CLR_INVALID : dc->bkColor;
}

int SetBkMode(HDC hdc, int mode) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    if (dc == nullptr) return 0;
    if (mode != OPAQUE && mode != TRANSPARENT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

int GetBkMode(HDC hdc) {
    auto lock = GdiLock();
    Dc* dc = FindDc(hdc);
    return dc == nullptr ? 0 : dc->bkMode;
}

}  // extern "C"
