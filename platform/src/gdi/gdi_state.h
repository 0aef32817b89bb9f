// Inner workings of the GDI subset: objects, the handle table, the lock and the fault switch.
//
// Every public GDI function takes the lock first (GdiLock) and then works on the objects of
// the table; nothing here locks by itself.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gdi/font_engine.h"
#include "win32/wingdi.h"

namespace gdi {

enum class Kind { Dc, Bitmap, Font, Brush, Pen };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
    int selectCount = 0;  // device contexts that have this object selected
};

// A bitmap: device-dependent (monochrome or colour, rows top-down, padded to 2 bytes) or a DIB
// section (layout of its header, rows padded to 4 bytes). Pixels are read and written as "raw"
// values: the palette index for 1, 4 and 8 bpp, an RGB colour value for deeper formats.
struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    ~Bitmap() override;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    LONG width = 0;
    LONG height = 0;
    WORD bpp = 1;
    LONG stride = 0;
    bool dib = false;
    bool topDown = true;
    bool monoDdb = false;        // device-dependent monochrome: 0 black, 1 white
    BYTE* bits = nullptr;        // LocalAlloc block, stride * height bytes
    bool ownsBits = true;        // false for a view of someone else's rows
    std::vector<RGBQUAD> table;  // colour table for 1, 4 and 8 bpp
    BITMAPINFOHEADER header{};   // DIB sections: the header they were made with
    void* selectedIn = nullptr;  // the memory context that holds it, if any

    BYTE* Row(LONG y) const {
        const LONG r = topDown ? y : height - 1 - y;
        return bits + static_cast<std::size_t>(r) * static_cast<std::size_t>(stride);
    }
    bool Contains(std::int64_t x, std::int64_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    std::uint32_t GetRaw(LONG x, LONG y) const;
    void SetRaw(LONG x, LONG y, std::uint32_t raw);
    // Sets pixels x0 .. x1 - 1 of row y (inside the bitmap) to raw.
    void FillSpan(LONG y, LONG x0, LONG x1, std::uint32_t raw);
    COLORREF RawToColor(std::uint32_t raw) const;
    std::uint32_t ColorToRaw(COLORREF color) const;
};

// Makes a bitmap with zero-filled bits; NULL (last error set) when the size is not allowed or
// memory runs out.
std::unique_ptr<Bitmap> MakeBitmap(LONG width, LONG height, WORD bpp, bool dib, bool topDown);

// Rows padded to 4 bytes (DIB) or 2 bytes (device-dependent).
std::int64_t DibStride(std::int64_t width, int bpp);

struct Font : Object {
    Font() : Object(Kind::Font) {}
    LOGFONTW lf{};
    std::shared_ptr<FontInstance> instance;  // made on first use, shared by equal fonts
};

struct Brush : Object {
    Brush() : Object(Kind::Brush) {}
    LOGBRUSH lb{};
};

struct Pen : Object {
    Pen() : Object(Kind::Pen) {}
    COLORREF color = 0;
    bool null = false;
};

struct Dc : Object {
    Dc() : Object(Kind::Dc) {}
    bool memory = false;
    HGDIOBJ font = nullptr;
    HGDIOBJ bitmap = nullptr;  // memory contexts only
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
};

// The one lock of the GDI subset.
std::unique_lock<std::mutex> GdiLock();

// Handle table.
std::uintptr_t Insert(std::unique_ptr<Object> object);
Object* Find(const void* handle);
void Erase(const void* handle);
template <class T>
T* FindAs(const void* handle, Kind kind) {
    Object* o = Find(handle);
    return (o != nullptr && o->kind == kind) ? static_cast<T*>(o) : nullptr;
}
inline HGDIOBJ AsGdiObj(std::uintptr_t h) {
    return reinterpret_cast<HGDIOBJ>(h);
}
inline HDC AsDc(std::uintptr_t h) {
    return reinterpret_cast<HDC>(h);
}

// Stock objects (made on first use, never deleted).
HGDIOBJ Stock(int index);
HGDIOBJ StockMonoBitmap();

// Looks a device context up; unknown handle: NULL and ERROR_INVALID_HANDLE.
Dc* FindDc(HDC hdc);
// The bitmap a context draws on (NULL for a screen context).
Bitmap* TargetOf(const Dc& dc);
// The realised font selected into the context; NULL (last error set) when it cannot be made.
FontInstance* FontOf(Dc& dc);

// Fault switch: true when this call of `function` is to fail (the last error is then set).
bool ShouldFail(const char* function);

// Colour helpers.
inline int Luminance(COLORREF c) {
    return (2 * GetRValue(c) + 5 * GetGValue(c) + GetBValue(c)) / 8;
}
COLORREF BrushColor(const Dc& dc, bool* isNull);

}  // namespace gdi
