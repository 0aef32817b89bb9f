// The text objects GDI hands a driver's DrvTextOut for a job-script text item (STROBJ and
// FONTOBJ with its IFIMETRICS and font transform), and the host's own text drawing into the
// page surface.
#pragma once

#include <functional>
#include <string>

#include "job_script.h"
#include "page_surface.h"
#include "printer_description.h"
#include "win32/winddi.h"

namespace unidrv {

// Face the host draws a device font with (an approximation of the printer's own glyphs).
inline constexpr const char16_t* kDeviceFontFace = u"DejaVu Sans Mono";

// One run of text as GDI describes it to the driver. The font is a device font
// (FO_TYPE_DEVICE) when the description lists the item's family, else TrueType.
class TextRun {
public:
    TextRun(const jobscript::TextItem& item, const PrinterDescription& description);
    ~TextRun();
    TextRun(const TextRun&) = delete;
    TextRun& operator=(const TextRun&) = delete;

    STROBJ* strobj() { return &m_strobj; }
    FONTOBJ* fontobj() { return m_font; }  // null when the engine could not make the font
    bool deviceFont() const { return m_device; }
    const std::u16string& family() const { return m_family; }

private:
    std::u16string m_text;
    std::u16string m_family;
    bool m_device = false;
    STROBJ m_strobj{};
    FONTOBJ* m_font = nullptr;
};

// Width in dots of the item's text as the host draws it.
std::int32_t TextItemWidth(const jobscript::TextItem& item, bool deviceFont);

// Draws the item into the surface with the platform's GDI text (black on the page; the part
// off the page is clipped). A device font is drawn with kDeviceFontFace.
void DrawTextItem(const jobscript::TextItem& item, bool deviceFont,
                  jobscript::PageSurface& surface);

// What the host's own DrvTextOut does with a run that reaches it: the job player sets this
// for the page it plays (per thread); without a receiver the run is only noted.
using HostTextReceiver = std::function<void(STROBJ*, FONTOBJ*)>;
void SetHostTextReceiver(HostTextReceiver receiver);
void DeliverHostText(STROBJ* pstro, FONTOBJ* pfo);

}  // namespace unidrv
