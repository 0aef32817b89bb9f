// Text objects for DrvTextOut and the host's own text drawing.
#include "text_objects.h"

#include <algorithm>
#include <cstring>

#include "win32/engine_text.h"
#include "win32/strings.h"
#include "win32/wingdi.h"

namespace unidrv {
namespace {

thread_local HostTextReceiver t_receiver;

constexpr std::int32_t kMaxDrawWidth = 65535;

bool HasNoCase(std::string_view text, std::string_view pattern) {
    auto it =
        std::search(text.begin(), text.end(), pattern.begin(), pattern.end(), [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) ==
                   std::toupper(static_cast<unsigned char>(b));
        });
    return it != text.end();
}

// Windows character set of a device font family.
BYTE CharSetOf(std::string_view family) {
    if (HasNoCase(family, "Korean")) return 129;       // HANGUL_CHARSET
    if (HasNoCase(family, "Chinese2312")) return 134;  // GB2312_CHARSET
    if (HasNoCase(family, "ChineseBIG5")) return 136;  // CHINESEBIG5_CHARSET
    if (HasNoCase(family, "Japanese")) return 128;     // SHIFTJIS_CHARSET
    return 0;                                          // ANSI_CHARSET
}

LOGFONTW DrawingFont(const jobscript::TextItem& item, bool deviceFont) {
    LOGFONTW lf{};
    lf.lfHeight = -std::max<std::int32_t>(1, item.height);
    lf.lfWeight = item.weight;
    lf.lfItalic = item.italic ? 1 : 0;
    lf.lfUnderline = item.underline ? 1 : 0;
    lf.lfStrikeOut = item.strikeout ? 1 : 0;
    std::u16string face =
        deviceFont ? std::u16string(kDeviceFontFace) : platform::Utf8ToUtf16(item.font);
    face.resize(std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
    std::memcpy(lf.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(WCHAR));
    return lf;
}

// A memory device context with the item's font selected; released on every path.
class TextContext {
public:
    TextContext(const jobscript::TextItem& item, bool deviceFont) {
        LOGFONTW lf = DrawingFont(item, deviceFont);
        m_dc = CreateCompatibleDC(nullptr);
        m_font = CreateFontIndirectW(&lf);
        if (m_dc && m_font) m_oldFont = SelectObject(m_dc, m_font);
    }
    ~TextContext() {
        if (m_dc && m_oldFont) SelectObject(m_dc, m_oldFont);
        if (m_font) DeleteObject(m_font);
        if (m_dc) DeleteDC(m_dc);
    }
    TextContext(const TextContext&) = delete;
    TextContext& operator=(const TextContext&) = delete;
    HDC dc() const { return m_oldFont ? m_dc : nullptr; }

private:
    HDC m_dc = nullptr;
    HFONT m_font = nullptr;
    HGDIOBJ m_oldFont = nullptr;
};

}  // namespace

TextRun::TextRun(const jobscript::TextItem& item, const PrinterDescription& description) {
    m_text = platform::Utf8ToUtf16(item.text);
    const std::string deviceName = description.FindDeviceFont(item.font);
    m_device = !deviceName.empty();
    m_family = platform::Utf8ToUtf16(m_device ? deviceName : item.font);

    platform::EngineFontDescription font;
    font.family = m_family;
    font.flFontType = m_device ? FO_TYPE_DEVICE : FO_TYPE_TRUETYPE;
    font.weight = static_cast<USHORT>(std::clamp(item.weight, 0, 1000));
    font.italic = item.italic;
    font.underline = item.underline;
    font.strikeout = item.strikeout;
    font.charSet = m_device ? CharSetOf(deviceName) : 0;
    font.pitchAndFamily = m_device ? 0x31 /* FIXED_PITCH | FF_MODERN */ : 0;
    font.emHeight = std::max<std::int32_t>(0, item.height);
    font.cxMax = static_cast<ULONG>(std::max<std::int32_t>(0, item.height));
    m_font = platform::CreateEngineFont(font);

    m_strobj.cGlyphs = static_cast<ULONG>(m_text.size());
    m_strobj.pwszOrg = m_text.data();
    const std::int32_t width = TextItemWidth(item, m_device);
    m_strobj.rclBkGround = {item.x, item.y,
                            static_cast<LONG>(std::min<std::int64_t>(
                                static_cast<std::int64_t>(item.x) + width, INT32_MAX)),
                            static_cast<LONG>(std::min<std::int64_t>(
                                static_cast<std::int64_t>(item.y) + item.height, INT32_MAX))};
}

TextRun::~TextRun() {
    platform::DeleteEngineFont(m_font);
}

std::int32_t TextItemWidth(const jobscript::TextItem& item, bool deviceFont) {
    if (item.text.empty()) return 0;
    TextContext context(item, deviceFont);
    std::u16string text = platform::Utf8ToUtf16(item.text);
    SIZE extent{};
    if (context.dc() == nullptr || !GetTextExtentPoint32W(context.dc(), text.c_str(),
                                                          static_cast<int>(text.size()), &extent)) {
        return 0;
    }
    return std::min<std::int32_t>(extent.cx, kMaxDrawWidth);
}

void DrawTextItem(const jobscript::TextItem& item, bool deviceFont,
                  jobscript::PageSurface& surface) {
    if (item.text.empty() || item.height <= 0) return;
    TextContext context(item, deviceFont);
    HDC dc = context.dc();
    if (dc == nullptr) return;
    std::u16string text = platform::Utf8ToUtf16(item.text);
    SIZE extent{};
    if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent)) return;
    // Only the part of the text that lands on the page is drawn.
    const std::int64_t left = std::max<std::int64_t>(0, item.x);
    const std::int64_t top = std::max<std::int64_t>(0, item.y);
    const std::int64_t right =
        std::min<std::int64_t>(surface.width(), static_cast<std::int64_t>(item.x) + extent.cx);
    const std::int64_t bottom =
        std::min<std::int64_t>(surface.height(), static_cast<std::int64_t>(item.y) + extent.cy);
    if (left >= right || top >= bottom) return;
    const int width = static_cast<int>(right - left);
    const int height = static_cast<int>(bottom - top);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap) DeleteObject(bitmap);
        return;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    SetTextColor(dc, 0x000000);
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, static_cast<int>(item.x - left), static_cast<int>(item.y - top), text.c_str(),
             static_cast<int>(text.size()));
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = pixels + y * stride + x * 3;
            const int gray = (p[0] + p[1] + p[2]) / 3;
            if (gray < 128) {
                surface.SetGray(static_cast<std::int32_t>(left + x),
                                static_cast<std::int32_t>(top + y), 0);
            }
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
}

void SetHostTextReceiver(HostTextReceiver receiver) {
    t_receiver = std::move(receiver);
}

void DeliverHostText(STROBJ* pstro, FONTOBJ* pfo) {
    if (t_receiver) t_receiver(pstro, pfo);
}

}  // namespace unidrv
