// GDI objects: the handle table, stock objects, the fault switch, bitmap pixel access and the
// object functions (GetStockObject, DeleteObject, GetObjectW, GetObjectType).
#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <unordered_map>

#include "gdi/gdi_state.h"
#include "win32/heap.h"

namespace gdi {
namespace {

// Largest bitmap block handed out (bytes).
constexpr std::int64_t kMaxBitmapBytes = std::int64_t{1} << 30;

std::mutex& LockObject() {
    static std::mutex m;
    return m;
}

struct Table {
    std::unordered_map<std::uintptr_t, std::unique_ptr<Object>> objects;
    // Handles are never reused in a process, so a stale handle is always recognised.
    std::uintptr_t next = 0x10000;
    std::map<int, HGDIOBJ> stock;
    HGDIOBJ stockBitmap = nullptr;
    std::map<std::string, int> faults;
};

Table& TheTable() {
    static auto* table = new Table();
    return *table;
}

std::unique_ptr<Object> MakeStock(int index) {
    auto brush = [](UINT style, COLORREF c) {
        auto b = std::make_unique<Brush>();
        b->lb = LOGBRUSH{style, c, 0};
        return b;
    };
    auto pen = [](COLORREF c, bool isNull) {
        auto p = std::make_unique<Pen>();
        p->color = c;
        p->null = isNull;
        return p;
    };
    auto font = [](LONG height, const char16_t* face, BYTE pitch) {
        auto f = std::make_unique<Font>();
        f->lf.lfHeight = height;
        f->lf.lfWeight = FW_NORMAL;
        f->lf.lfCharSet = DEFAULT_CHARSET;
        f->lf.lfPitchAndFamily = pitch;
        for (int i = 0; face[i] != 0 && i < LF_FACESIZE - 1; ++i) f->lf.lfFaceName[i] = face[i];
        return f;
    };
    switch (index) {
        case WHITE_BRUSH:
            return brush(BS_SOLID, RGB(255, 255, 255));
        case LTGRAY_BRUSH:
            return brush(BS_SOLID, RGB(192, 192, 192));
        case GRAY_BRUSH:
            return brush(BS_SOLID, RGB(128, 128, 128));
        case DKGRAY_BRUSH:
            return brush(BS_SOLID, RGB(64, 64, 64));
        case BLACK_BRUSH:
            return brush(BS_SOLID, RGB(0, 0, 0));
        case NULL_BRUSH:
            return brush(BS_NULL, 0);
        case WHITE_PEN:
            return pen(RGB(255, 255, 255), false);
        case BLACK_PEN:
            return pen(RGB(0, 0, 0), false);
        case NULL_PEN:
            return pen(0, true);
        case OEM_FIXED_FONT:
        case ANSI_FIXED_FONT:
        case SYSTEM_FIXED_FONT:
            return font(16, u"Courier", FIXED_PITCH | FF_MODERN);
        case ANSI_VAR_FONT:
            return font(-11, u"MS Sans Serif", VARIABLE_PITCH | FF_SWISS);
        case SYSTEM_FONT:
        case DEVICE_DEFAULT_FONT:
            return font(16, u"System", VARIABLE_PITCH | FF_SWISS);
        case DEFAULT_GUI_FONT:
            return font(-11, u"MS Shell Dlg", VARIABLE_PITCH | FF_SWISS);
        default:
            return nullptr;
    }
}

}  // namespace

std::unique_lock<std::mutex> GdiLock() {
    return std::unique_lock<std::mutex>(LockObject());
}

std::uintptr_t Insert(std::unique_ptr<Object> object) {
    Table& t = TheTable();
    const std::uintptr_t h = t.next;
    t.next += 4;
    t.objects.emplace(h, std::move(object));
    return h;
}

Object* Find(const void* handle) {
    Table& t = TheTable();
    auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second.get();
}

void Erase(const void* handle) {
    TheTable().objects.erase(reinterpret_cast<std::uintptr_t>(handle));
}

HGDIOBJ Stock(int index) {
    Table& t = TheTable();
    if (auto it = t.stock.find(index); it != t.stock.end()) return it->second;
    std::unique_ptr<Object> o = MakeStock(index);
    if (o == nullptr) return nullptr;
    o->stock = true;
    HGDIOBJ h = AsGdiObj(Insert(std::move(o)));
    t.stock[index] = h;
    return h;
}

HGDIOBJ StockMonoBitmap() {
    Table& t = TheTable();
    if (t.stockBitmap == nullptr) {
        std::unique_ptr<Bitmap> b = MakeBitmap(1, 1, 1, false, true);
        if (b == nullptr) return nullptr;
        b->stock = true;
        t.stockBitmap = AsGdiObj(Insert(std::move(b)));
    }
    return t.stockBitmap;
}

Dc* FindDc(HDC hdc) {
    Dc* dc = FindAs<Dc>(hdc, Kind::Dc);
    if (dc == nullptr) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

Bitmap* TargetOf(const Dc& dc) {
    return dc.memory ? FindAs<Bitmap>(dc.bitmap, Kind::Bitmap) : nullptr;
}

FontInstance* FontOf(Dc& dc) {
    Font* f = FindAs<Font>(dc.font, Kind::Font);
    if (f == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (f->instance == nullptr) f->instance = FontInstance::Shared(f->lf);
    return f->instance.get();
}

bool ShouldFail(const char* function) {
    Table& t = TheTable();
    auto it = t.faults.find(function);
    if (it == t.faults.end()) return false;
    if (--it->second > 0) return false;
    t.faults.erase(it);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
}

COLORREF BrushColor(const Dc& dc, bool* isNull) {
    const Brush* b = FindAs<Brush>(dc.brush, Kind::Brush);
    *isNull = b == nullptr || b->lb.lbStyle == BS_NULL;
    return b == nullptr ? 0 : b->lb.lbColor;
}

// ---- Bitmaps --------------------------------------------------------------------------------

std::int64_t DibStride(std::int64_t width, int bpp) {
    return ((width * bpp + 31) / 32) * 4;
}

Bitmap::~Bitmap() {
    if (ownsBits && bits != nullptr) LocalFree(bits);
}

std::unique_ptr<Bitmap> MakeBitmap(LONG width, LONG height, WORD bpp, bool dib, bool topDown) {
    if (width <= 0 || height <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::int64_t stride =
        dib ? DibStride(width, bpp) : ((static_cast<std::int64_t>(width) * bpp + 15) / 16) * 2;
    const std::int64_t bytes = stride * height;
    if (stride > std::numeric_limits<LONG>::max() || bytes > kMaxBitmapBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto b = std::make_unique<Bitmap>();
    b->bits = static_cast<BYTE*>(LocalAlloc(LPTR, static_cast<SIZE_T>(bytes)));
    if (b->bits == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->stride = static_cast<LONG>(stride);
    b->dib = dib;
    b->topDown = topDown;
    if (!dib && bpp == 1) {
        b->monoDdb = true;
        b->table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    }
    return b;
}

std::uint32_t Bitmap::GetRaw(LONG x, LONG y) const {
    const BYTE* row = Row(y);
    switch (bpp) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4:
            return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        case 8:
            return row[x];
        case 16: {
            const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            return RGB(static_cast<BYTE>((r << 3) | (r >> 2)),
                       static_cast<BYTE>((g << 3) | (g >> 2)),
                       static_cast<BYTE>((b << 3) | (b >> 2)));
        }
        case 24:
            return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        default:
            return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
}

void Bitmap::SetRaw(LONG x, LONG y, std::uint32_t raw) {
    BYTE* row = Row(y);
    switch (bpp) {
        case 1: {
            const BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
            row[x >> 3] =
                static_cast<BYTE>((raw & 1) ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask));
            break;
        }
        case 4: {
            const int shift = (x & 1) ? 0 : 4;
            row[x >> 1] =
                static_cast<BYTE>((row[x >> 1] & ~(0x0F << shift)) | ((raw & 0x0F) << shift));
            break;
        }
        case 8:
            row[x] = static_cast<BYTE>(raw);
            break;
        case 16: {
            const unsigned v = ((GetRValue(raw) >> 3) << 10) | ((GetGValue(raw) >> 3) << 5) |
                               (GetBValue(raw) >> 3);
            row[2 * x] = static_cast<BYTE>(v & 0xFF);
            row[2 * x + 1] = static_cast<BYTE>(v >> 8);
            break;
        }
        case 24:
            row[3 * x] = GetBValue(raw);
            row[3 * x + 1] = GetGValue(raw);
            row[3 * x + 2] = GetRValue(raw);
            break;
        default:
            row[4 * x] = GetBValue(raw);
            row[4 * x + 1] = GetGValue(raw);
            row[4 * x + 2] = GetRValue(raw);
            row[4 * x + 3] = 0;
            break;
    }
}

void Bitmap::FillSpan(LONG y, LONG x0, LONG x1, std::uint32_t raw) {
    BYTE* row = Row(y);
    if (bpp == 8) {
        std::memset(row + x0, static_cast<int>(raw & 0xFF), static_cast<std::size_t>(x1 - x0));
        return;
    }
    if (bpp == 1) {
        const BYTE fill = (raw & 1) ? 0xFF : 0x00;
        while (x0 < x1 && (x0 & 7) != 0) SetRaw(x0++, y, raw);
        while (x1 > x0 && (x1 & 7) != 0) SetRaw(--x1, y, raw);
        if (x1 > x0) std::memset(row + x0 / 8, fill, static_cast<std::size_t>((x1 - x0) / 8));
        return;
    }
    for (LONG x = x0; x < x1; ++x) SetRaw(x, y, raw);
}

COLORREF Bitmap::RawToColor(std::uint32_t raw) const {
    if (bpp > 8) return raw & 0xFFFFFF;
    if (raw >= table.size()) return RGB(0, 0, 0);
    const RGBQUAD& q = table[raw];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

std::uint32_t Bitmap::ColorToRaw(COLORREF color) const {
    if (bpp > 8) return color & 0xFFFFFF;
    if (monoDdb) return Luminance(color) >= 128 ? 1 : 0;
    std::uint32_t best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        const long dr = static_cast<long>(table[i].rgbRed) - GetRValue(color);
        const long dg = static_cast<long>(table[i].rgbGreen) - GetGValue(color);
        const long db = static_cast<long>(table[i].rgbBlue) - GetBValue(color);
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

}  // namespace gdi

using namespace gdi;

extern "C" {

HGDIOBJ GetStockObject(int i) {
    auto lock = GdiLock();
    HGDIOBJ h = Stock(i);
    if (h == nullptr) SetLastError(ERROR_INVALID_PARAMETER);
    return h;
}

BOOL DeleteObject(HGDIOBJ ho) {
    auto lock = GdiLock();
    Object* o = Find(ho);
    if (o == nullptr || o->kind == Kind::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock) return TRUE;
    if (o->selectCount > 0) {
        // Still selected into a device context: deleting it would leave the context dangling.
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    Erase(ho);
    return TRUE;
}

int GetObjectW(HANDLE h, int c, LPVOID pv) {
    auto lock = GdiLock();
    Object* o = Find(h);
    if (o == nullptr || o->kind == Kind::Dc || c < 0) {
        SetLastError(o == nullptr || o->kind == Kind::Dc ? ERROR_INVALID_HANDLE
                                                         : ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto copyOut = [&](const void* record, int size) {
        if (pv == nullptr) return size;
        const int n = std::min(size, c);
        std::memcpy(pv, record, static_cast<std::size_t>(n));
        return n;
    };
    switch (o->kind) {
        case Kind::Bitmap: {
            const auto* b = static_cast<const Bitmap*>(o);
            DIBSECTION ds{};
            ds.dsBm.bmType = 0;
            ds.dsBm.bmWidth = b->width;
            ds.dsBm.bmHeight = b->height;
            ds.dsBm.bmWidthBytes = b->stride;
            ds.dsBm.bmPlanes = 1;
            ds.dsBm.bmBitsPixel = b->bpp;
            ds.dsBm.bmBits = b->dib ? b->bits : nullptr;
            const bool section =
                b->dib && (pv == nullptr || c >= static_cast<int>(sizeof(DIBSECTION)));
            if (pv != nullptr && c < static_cast<int>(sizeof(BITMAP))) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            if (!section) return copyOut(&ds.dsBm, static_cast<int>(sizeof(BITMAP)));
            ds.dsBmih = b->header;
            return copyOut(&ds, static_cast<int>(sizeof(DIBSECTION)));
        }
        case Kind::Font:
            return copyOut(&static_cast<const Font*>(o)->lf, static_cast<int>(sizeof(LOGFONTW)));
        case Kind::Brush:
            return copyOut(&static_cast<const Brush*>(o)->lb, static_cast<int>(sizeof(LOGBRUSH)));
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

DWORD GetObjectType(HGDIOBJ h) {
    auto lock = GdiLock();
    Object* o = Find(h);
    if (o == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (o->kind) {
        case Kind::Dc:
            return static_cast<Dc*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
        case Kind::Bitmap:
            return OBJ_BITMAP;
        case Kind::Font:
            return OBJ_FONT;
        case Kind::Brush:
            return OBJ_BRUSH;
        case Kind::Pen:
            return OBJ_PEN;
    }
    return 0;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto lock = GdiLock();
    auto b = std::make_unique<Brush>();
    b->lb = LOGBRUSH{BS_SOLID, color & 0xFFFFFF, 0};
    return AsGdiObj(Insert(std::move(b)));
}

}  // extern "C"

namespace platform {

void FailGdiCall(std::string_view function, int nth) {
    auto lock = GdiLock();
    auto& faults = TheTable().faults;
    if (nth <= 0) {
        faults.erase(std::string(function));
    } else {
        faults[std::string(function)] = nth;
    }
}

int LiveGdiObjectCount() {
    auto lock = GdiLock();
    int n = 0;
    for (const auto& [h, o] : TheTable().objects) {
        if (!o->stock) ++n;
    }
    return n;
}

}  // namespace platform
