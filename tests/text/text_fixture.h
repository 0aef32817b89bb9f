// A device context for the text functions compiled straight into the test: a zeroed device
// state behind a DEVOBJ and a surface, engine font objects, and the run objects GDI would hand
// DrvTextOut.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "plugin/oempdev.h"
#include "text/text_records.h"
#include "win32/engine_text.h"
#include "win32/heap.h"

namespace text_test {

// Bytes of a record field or buffer as a std::string for comparisons with FromHex.
inline std::string Bytes(const BYTE* p, DWORD n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Counts the runs that reach the host's own DrvTextOut.
inline int g_hostTextOutCalls = 0;
inline BOOL HostTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*,
                        POINTL*, MIX) {
    ++g_hostTextOutCalls;
    return TRUE;
}

class TextDevice {
public:
    TextDevice() : m_state(std::make_unique<OEMPDEV>()) {
        *m_state = OEMPDEV{};
        m_state->m_pfnDrvTextOut = &HostTextOut;
        m_devobj.dwSize = sizeof(DEVOBJ);
        m_devobj.pdevOEM = m_state.get();
        m_surface.dhpdev = reinterpret_cast<DHPDEV>(&m_devobj);
        g_hostTextOutCalls = 0;
    }
    ~TextDevice() {
        LocalFree(m_state->pTxtBufStart);
        LocalFree(m_state->pDevTxtBufStart);
        LocalFree(m_state->szCouponImgName);
        for (FONTOBJ* f : m_fonts) platform::DeleteEngineFont(f);
    }
    TextDevice(const TextDevice&) = delete;
    TextDevice& operator=(const TextDevice&) = delete;

    OEMPDEV& state() { return *m_state; }
    BYTE* settings() { return m_state->UIInfo.byteValue; }
    SURFOBJ* surface() { return &m_surface; }
    PDEVOBJ devobj() { return &m_devobj; }

    // An engine font; device fonts get FO_TYPE_DEVICE.
    FONTOBJ* Font(const std::u16string& family, double height, bool device, bool italic = false) {
        platform::EngineFontDescription d;
        d.family = family;
        d.flFontType = device ? FO_TYPE_DEVICE : FO_TYPE_TRUETYPE;
        d.emHeight = height;
        d.italic = italic;
        d.weight = 700;
        d.underline = true;
        d.charSet = 0x81;
        d.pitchAndFamily = 0x31;
        FONTOBJ* f = platform::CreateEngineFont(d);
        m_fonts.push_back(f);
        return f;
    }

    // Records of the text buffer as (type, Y) pairs in buffer order.
    std::vector<std::pair<int, int>> Records(bool deviceBuffer = false) const {
        std::vector<std::pair<int, int>> out;
        const BYTE* p = deviceBuffer ? m_state->pDevTxtBufStart : m_state->pTxtBufStart;
        const DWORD size = deviceBuffer ? m_state->dwDevTxtBufSize : m_state->dwTxtBufSize;
        for (DWORD at = 0; p != nullptr && at + kTxtRecHeaderSize <= size;
             at += TxtRecLength(p + at)) {
            out.emplace_back(p[at], TxtRecWord(p + at, kTxtRecY));
        }
        return out;
    }
    // The record at an index of the text buffer.
    const BYTE* Record(int index) const {
        const BYTE* p = m_state->pTxtBufStart;
        DWORD at = 0;
        for (int i = 0; i < index; ++i) at += TxtRecLength(p + at);
        return p + at;
    }
    std::string FieldA(int index) const {
        const BYTE* r = Record(index);
        return Bytes(r + kTxtRecHeaderSize, TxtRecWord(r, kTxtRecLengthA));
    }
    std::string FieldB(int index) const {
        const BYTE* r = Record(index);
        return Bytes(r + kTxtRecHeaderSize + TxtRecWord(r, kTxtRecLengthA),
                     TxtRecWord(r, kTxtRecLengthB));
    }

private:
    std::unique_ptr<OEMPDEV> m_state;
    DEVOBJ m_devobj{};
    SURFOBJ m_surface{};
    std::vector<FONTOBJ*> m_fonts;
};

// A text run at (x, y).
struct StrRun {
    std::u16string text;
    STROBJ str{};
    StrRun(std::u16string t, LONG x, LONG y) : text(std::move(t)) {
        str.cGlyphs = static_cast<ULONG>(text.size());
        str.pwszOrg = text.data();
        str.rclBkGround = {x, y, x + 10 * static_cast<LONG>(text.size()), y + 24};
    }
};

}  // namespace text_test
