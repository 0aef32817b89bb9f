// Raster command generation: rows of the prepared page image as GS v 0 raster commands or as
// the run-length compressed 08 43 52 form, one plane (black = 1) or four tone planes.
#include "page/raster_commands.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "page/band_capture.h"
#include "plugin/debug_log.h"
#include "plugin/job_flow.h"
#include "win32/heap.h"
#include "ximage.h"

namespace {

constexpr DWORD kMonoPlanes = 1;
constexpr DWORD kGreyPlanes = 4;

// ---- Command building blocks ---------------------------------------------------------------

// 00 00 00 1B 4A 00 1D 76 30 00 xL xH yL yH: three NULs, ESC J 0, GS v 0 mode 0.
PBYTE PutRasterImageHeader(PBYTE p, DWORD dwWidthBytes, DWORD dwRows) {
    const BYTE header[] = {0x00, 0x00, 0x00, 0x1B, 0x4A, 0x00, 0x1D, 0x76, 0x30, 0x00};
    std::memcpy(p, header, sizeof(header));
    p += sizeof(header);
    *p++ = static_cast<BYTE>(dwWidthBytes & 0xFF);
    *p++ = static_cast<BYTE>((dwWidthBytes >> 8) & 0xFF);
    *p++ = static_cast<BYTE>(dwRows & 0xFF);
    *p++ = static_cast<BYTE>((dwRows >> 8) & 0xFF);
    return p;
}

// 00 00 00 08 43 52 p 00 00 00 00 wL wH hL hH: one compressed plane of a strip.
PBYTE PutCompressedRasterHeader(PBYTE p, BYTE byPlane, DWORD dwWidthDots, DWORD dwRows) {
    const BYTE header[] = {0x00, 0x00, 0x00, 0x08, 0x43, 0x52};
    std::memcpy(p, header, sizeof(header));
    p += sizeof(header);
    *p++ = byPlane;
    *p++ = 0x00;
    *p++ = 0x00;
    *p++ = 0x00;
    *p++ = 0x00;
    *p++ = static_cast<BYTE>(dwWidthDots & 0xFF);
    *p++ = static_cast<BYTE>((dwWidthDots >> 8) & 0xFF);
    *p++ = static_cast<BYTE>(dwRows & 0xFF);
    *p++ = static_cast<BYTE>((dwRows >> 8) & 0xFF);
    return p;
}
constexpr DWORD kCompressedHeaderBytes = 15;

// 08 43 52 FF 00 00: end of a compressed strip.
PBYTE PutCompressedStripEnd(PBYTE p) {
    const BYTE end[] = {0x08, 0x43, 0x52, 0xFF, 0x00, 0x00};
    std::memcpy(p, end, sizeof(end));
    return p + sizeof(end);
}
constexpr DWORD kCompressedStripEndBytes = 6;

// Plane selector of the compressed form.
BYTE CompressedPlaneSelector(DWORD dwPlane, BOOL bMultiTone) {
    return bMultiTone ? static_cast<BYTE>(4 + dwPlane) : 0;
}

// ---- Dot classification ---------------------------------------------------------------------

bool IsBlackDot(RGBQUAD c) {
    return c.rgbRed < 128 || c.rgbGreen < 128 || c.rgbBlue < 128;
}

// Tone code of a colour (0 white .. 12 darkest) from its luminance.
BYTE ToneCode(RGBQUAD c) {
    const int lum = static_cast<int>((0.587 * c.rgbGreen + 0.299 * c.rgbRed) + 0.114 * c.rgbBlue);
    if (lum >= 255) return 0;
    if (lum >= 219) return 5;
    if (lum >= 182) return 6;
    if (lum >= 146) return 7;
    if (lum >= 91) return 8;
    if (lum >= 55) return 9;
    if (lum >= 36) return 10;
    if (lum >= 18) return 11;
    return 12;
}

// Outside pictures a dot has two levels: 15 for the dark tones, else 0.
BYTE TwoLevelTone(BYTE tone) {
    return tone > 7 ? 15 : 0;
}

bool HasPaletteFastPath(const CxImage& image) {
    const WORD bpp = image.GetBpp();
    return (image.GetNumColors() != 0 && (bpp == 1 || bpp == 4 || bpp == 8)) || bpp == 24;
}

// Reads the colour index of pixel x of a palette row.
inline BYTE RowIndex(const BYTE* row, DWORD x, WORD bpp) {
    switch (bpp) {
        case 8:
            return row[x];
        case 4:
            return static_cast<BYTE>((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
        default:
            return static_cast<BYTE>((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
}

// One monochrome plane row from an image row (or a constant colour for rows off the image).
void PackMonoRow(const CxImage& image, long y, PBYTE out, DWORD dwWidthBytes,
                 const std::array<BYTE, 256>& black) {
    const DWORD width = image.GetWidth();
    const DWORD height = image.GetHeight();
    if (y < 0 || static_cast<DWORD>(y) >= height || !HasPaletteFastPath(image)) {
        for (DWORD x = 0; x < width; ++x) {
            if (IsBlackDot(image.GetPixelColor(static_cast<long>(x), y))) {
                out[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
            }
        }
        return;
    }
    const BYTE* row = image.GetRow(static_cast<DWORD>(y));
    const WORD bpp = image.GetBpp();
    if (bpp == 1) {
        const BYTE mask1 = black[1] ? 0xFF : 0x00;
        const BYTE mask0 = black[0] ? 0xFF : 0x00;
        for (DWORD i = 0; i < dwWidthBytes; ++i) {
            out[i] = static_cast<BYTE>((row[i] & mask1) | (~row[i] & mask0));
        }
        if (width & 7) {
            out[dwWidthBytes - 1] &= static_cast<BYTE>(0xFF00 >> (width & 7));
        }
        return;
    }
    if (bpp == 24) {
        for (DWORD x = 0; x < width; ++x) {
            const BYTE* p = row + static_cast<size_t>(x) * 3;
            if (p[0] < 128 || p[1] < 128 || p[2] < 128) {
                out[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
            }
        }
        return;
    }
    for (DWORD x0 = 0; x0 < width; x0 += 8) {
        const DWORD n = std::min<DWORD>(8, width - x0);
        BYTE b = 0;
        for (DWORD k = 0; k < n; ++k) {
            b = static_cast<BYTE>(b | (black[RowIndex(row, x0 + k, bpp)] << (7 - k)));
        }
        out[x0 >> 3] = b;
    }
}

// Four tone planes of one row. bPicture: the row lies in a picture rectangle.
void PackToneRow(const CxImage& image, long y, PBYTE* planes, DWORD offset, bool bPicture,
                 const std::array<BYTE, 256>& tones) {
    const DWORD width = image.GetWidth();
    const DWORD height = image.GetHeight();
    const bool inside = y >= 0 && static_cast<DWORD>(y) < height && HasPaletteFastPath(image);
    const BYTE* row = inside ? image.GetRow(static_cast<DWORD>(y)) : nullptr;
    const WORD bpp = image.GetBpp();
    for (DWORD x0 = 0; x0 < width; x0 += 8) {
        const DWORD n = std::min<DWORD>(8, width - x0);
        BYTE b[4] = {0, 0, 0, 0};
        for (DWORD k = 0; k < n; ++k) {
            const DWORD x = x0 + k;
            BYTE tone;
            if (!inside) {
                tone = ToneCode(image.GetPixelColor(static_cast<long>(x), y));
            } else if (bpp == 24) {
                const BYTE* p = row + static_cast<size_t>(x) * 3;
                tone = ToneCode(RGBQUAD{p[0], p[1], p[2], 0});
            } else {
                tone = tones[RowIndex(row, x, bpp)];
            }
            if (!bPicture) tone = TwoLevelTone(tone);
            const int shift = 7 - static_cast<int>(k);
            b[0] = static_cast<BYTE>(b[0] | (((tone >> 3) & 1) << shift));
            b[1] = static_cast<BYTE>(b[1] | (((tone >> 2) & 1) << shift));
            b[2] = static_cast<BYTE>(b[2] | (((tone >> 1) & 1) << shift));
            b[3] = static_cast<BYTE>(b[3] | ((tone & 1) << shift));
        }
        for (int p = 0; p < 4; ++p) {
            planes[p][offset + (x0 >> 3)] = b[p];
        }
    }
}

WORD ReadWord(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

// Releases the plane buffers.
void FreePlanes(PBYTE* planes, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        if (planes[i] != nullptr) {
            LocalFree(planes[i]);
            planes[i] = nullptr;
        }
    }
}

// Allocates dwColorCount zero-filled plane buffers; false when memory runs out.
bool AllocPlanes(PBYTE* planes, DWORD dwColorCount, DWORD dwPlaneBytes) {
    for (DWORD i = 0; i < dwColorCount; ++i) {
        planes[i] = static_cast<PBYTE>(LocalAlloc(LPTR, dwPlaneBytes));
        if (planes[i] == nullptr) {
            FreePlanes(planes, dwColorCount);
            return false;
        }
    }
    return true;
}

// Values shared by both builders for one call.
struct RasterGeometry {
    DWORD dwBmWidth_Byte = 0;
    DWORD dwColorCount = 0;
    DWORD dwStrips = 0;
    DWORD dwPlaneBytes = 0;  // dwBmWidth_Byte x 246
};

bool ComputeGeometry(const CxImage* pImage, DWORD dwDivHeight, BOOL bMultiTone, RasterGeometry& g) {
    if (pImage == nullptr || !pImage->IsValid()) return false;
    const DWORD width = pImage->GetWidth();
    g.dwBmWidth_Byte = width / 8 + ((width % 8) != 0 ? 1 : 0);
    g.dwColorCount = bMultiTone ? kGreyPlanes : kMonoPlanes;
    g.dwStrips = dwDivHeight / kRasterStripRows + ((dwDivHeight % kRasterStripRows) ? 1 : 0);
    g.dwPlaneBytes = g.dwBmWidth_Byte * kRasterStripRows;
    return g.dwBmWidth_Byte != 0;
}

// Output size of the sequence as planned before encoding; 0 when it does not fit 32 bits.
DWORD PlannedOutputSize(const RasterGeometry& g, DWORD dwDivHeight, DWORD dwFramingPerStrip) {
    const ULONGLONG size = static_cast<ULONGLONG>(g.dwStrips) * dwFramingPerStrip +
                           static_cast<ULONGLONG>(g.dwColorCount) * g.dwBmWidth_Byte * dwDivHeight;
    return size > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(size);
}

}  // namespace

DWORD EncodePlaneRLE(const BYTE* pPlane, DWORD dwLen, PBYTE pOut) {
    PBYTE p = pOut;
    DWORD i = 0;
    while (i < dwLen) {
        const BYTE b = pPlane[i];
        if (b == 0x00 || b == 0xFF) {
            DWORD n = 1;
            while (n < 255 && i + n < dwLen && pPlane[i + n] == b) ++n;
            *p++ = b;
            *p++ = static_cast<BYTE>(n);
            i += n;
        } else {
            *p++ = b;
            ++i;
        }
    }
    return static_cast<DWORD>(p - pOut);
}

/*
 * CreateImageBuffer: packs rows dwStartY .. dwStartY + dwCount - 1 into the plane buffers,
 * every row starting a new byte. Monochrome: a dot is black (1) when red, green or blue is
 * below 128. Greyscale: four planes of a 4-bit tone code; rows outside the page's picture
 * rectangles have two levels only. Rows below the image read as its out-of-range colour.
 * Returns the bytes written per plane.
 */
DWORD CreateImageBuffer(PDEVOBJ pdevobj, PBYTE* ppPlanes, CxImage* pImage, DWORD dwStartY,
                        DWORD dwCount, BOOL bMultiTone) {
    RasterGeometry g;
    if (ppPlanes == nullptr || !ComputeGeometry(pImage, dwCount, bMultiTone, g)) return 0;
    dwCount = std::min(dwCount, kRasterStripRows);
    const DWORD colors = pImage->GetNumColors();

    if (!bMultiTone) {
        std::array<BYTE, 256> black{};
        for (DWORD i = 0; i < colors && i < 256; ++i) {
            black[i] = IsBlackDot(pImage->GetPaletteColor(i)) ? 1 : 0;
        }
        for (DWORD r = 0; r < dwCount; ++r) {
            PackMonoRow(*pImage, static_cast<long>(dwStartY + r),
                        ppPlanes[0] + static_cast<size_t>(r) * g.dwBmWidth_Byte, g.dwBmWidth_Byte,
                        black);
        }
        return dwCount * g.dwBmWidth_Byte;
    }

    std::array<BYTE, 256> tones{};
    for (DWORD i = 0; i < colors && i < 256; ++i) {
        tones[i] = ToneCode(pImage->GetPaletteColor(i));
    }
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    const BYTE* rects = pOemPDEV != nullptr ? pOemPDEV->pImgRectBufStart : nullptr;
    const DWORD rectCount = rects != nullptr ? pOemPDEV->dwImgRectBufSize / 8 : 0;
    DWORD searchFrom = 0;  // the record that matched the previous picture row
    for (DWORD r = 0; r < dwCount; ++r) {
        const DWORD y = dwStartY + r;
        bool bPicture = false;
        for (DWORD i = searchFrom; i < rectCount; ++i) {
            const BYTE* rec = rects + static_cast<size_t>(i) * 8;
            if (ReadWord(rec + 2) <= y && y <= ReadWord(rec + 6)) {
                bPicture = true;
                searchFrom = i;
                break;
            }
        }
        PackToneRow(*pImage, static_cast<long>(y), ppPlanes,
                    static_cast<DWORD>(static_cast<size_t>(r) * g.dwBmWidth_Byte), bPicture, tones);
    }
    return dwCount * g.dwBmWidth_Byte;
}

/*
 * MakeImageCommands: the plain form. Per strip and plane: 00 00 00, ESC J 0, GS v 0 0 with
 * the row width in bytes and the strip height, the plane bytes, one 00.
 */
HRESULT MakeImageCommands(PDEVOBJ pdevobj, CxImage* pImage, DWORD dwStartY, DWORD dwDivHeight,
                          PBYTE* ppOutBuf, DWORD* pdwOutLen, BOOL bMultiTone) {
    DebugLog("MakeImageCommands : START");
    if (ppOutBuf == nullptr || pdwOutLen == nullptr) return E_FAIL;
    *ppOutBuf = nullptr;
    *pdwOutLen = 0;
    RasterGeometry g;
    if (!ComputeGeometry(pImage, dwDivHeight, bMultiTone, g) || dwDivHeight == 0) {
        DebugLog("MakeImageCommands : END");
        return E_FAIL;
    }
    PBYTE planes[kGreyPlanes] = {};
    const DWORD dwOutSize = PlannedOutputSize(g, dwDivHeight, kPlainPlaneFraming * g.dwColorCount);
    if (dwOutSize == 0 || !AllocPlanes(planes, g.dwColorCount, g.dwPlaneBytes)) {
        DebugLog("MakeImageCommands : LocalAlloc failed (%d)", ERROR_NOT_ENOUGH_MEMORY);
        return E_FAIL;
    }
    PBYTE pOut = nullptr;
    DWORD dwOutAlloc = 0;
    if (!bGrowBuffer(&pOut, &dwOutAlloc, dwOutSize)) {
        FreePlanes(planes, g.dwColorCount);
        DebugLog("MakeImageCommands : LocalAlloc failed (%d)", ERROR_NOT_ENOUGH_MEMORY);
        return E_FAIL;
    }
    PBYTE p = pOut;
    DWORD start = dwStartY;
    DWORD left = dwDivHeight;
    while (left > 0) {
        const DWORD h = std::min(left, kRasterStripRows);
        const DWORD bytes = CreateImageBuffer(pdevobj, planes, pImage, start, h, bMultiTone);
        for (DWORD plane = 0; plane < g.dwColorCount; ++plane) {
            p = PutRasterImageHeader(p, g.dwBmWidth_Byte, h);
            std::memcpy(p, planes[plane], bytes);
            p += bytes;
            *p++ = 0x00;
            std::memset(planes[plane], 0, bytes);
        }
        start += h;
        left -= h;
    }
    FreePlanes(planes, g.dwColorCount);
    *ppOutBuf = pOut;
    *pdwOutLen = static_cast<DWORD>(p - pOut);
    DebugLog("MakeImageCommands : END");
    return *pdwOutLen != 0 ? S_OK : E_FAIL;
}

/*
 * MakeImageCommandsWithRLE: the compressed form. Per strip: one 08 43 52 block per plane
 * (plane selector 0, or 4..7 in greyscale mode; width in dots, strip height, the encoded plane
 * bytes), then the strip terminator 08 43 52 FF 00 00.
 *
 * The output is sized for the raw plane bytes plus the framing. Only single 00 / FF bytes take
 * more room encoded than raw; the buffer grows when the planned room would run short, by at
 * least an eighth of its size so that a page full of isolated bytes is not copied over and
 * over.
 */
HRESULT MakeImageCommandsWithRLE(PDEVOBJ pdevobj, CxImage* pImage, DWORD dwStartY,
                                 DWORD dwDivHeight, PBYTE* ppOutBuf, DWORD* pdwOutLen,
                                 BOOL bMultiTone) {
    DebugLog("MakeImageCommandsWithRLE : START");
    if (ppOutBuf == nullptr || pdwOutLen == nullptr) return E_FAIL;
    *ppOutBuf = nullptr;
    *pdwOutLen = 0;
    RasterGeometry g;
    if (!ComputeGeometry(pImage, dwDivHeight, bMultiTone, g) || dwDivHeight == 0) {
        DebugLog("MakeImageCommandsWithRLE : END");
        return E_FAIL;
    }
    const DWORD framing = bMultiTone ? kRleStripFramingGrey : kRleStripFramingMono;
    const DWORD dwOutSize = PlannedOutputSize(g, dwDivHeight, framing);
    PBYTE planes[kGreyPlanes] = {};
    if (dwOutSize == 0 || !AllocPlanes(planes, g.dwColorCount, g.dwPlaneBytes)) {
        DebugLog("MakeImageCommandsWithRLE : LocalAlloc failed (%d)", ERROR_NOT_ENOUGH_MEMORY);
        return E_FAIL;
    }
    // Scratch for one encoded plane: at most two bytes per raw byte.
    auto* pEncoded = static_cast<PBYTE>(LocalAlloc(LPTR, static_cast<SIZE_T>(g.dwPlaneBytes) * 2));
    PBYTE pOut = nullptr;
    DWORD dwOutAlloc = 0;
    if (pEncoded == nullptr || !bGrowBuffer(&pOut, &dwOutAlloc, dwOutSize)) {
        if (pEncoded != nullptr) LocalFree(pEncoded);
        FreePlanes(planes, g.dwColorCount);
        DebugLog("MakeImageCommandsWithRLE : LocalAlloc failed (%d)", ERROR_NOT_ENOUGH_MEMORY);
        return E_FAIL;
    }
    const DWORD widthDots = g.dwBmWidth_Byte * 8;
    DWORD pos = 0;
    // Room still planned for the raw bytes and framing that follow the current plane.
    ULONGLONG plannedAhead = dwOutSize;
    DWORD start = dwStartY;
    DWORD left = dwDivHeight;
    HRESULT hr = S_OK;
    while (left > 0 && hr == S_OK) {
        const DWORD h = std::min(left, kRasterStripRows);
        const DWORD bytes = CreateImageBuffer(pdevobj, planes, pImage, start, h, bMultiTone);
        for (DWORD plane = 0; plane < g.dwColorCount; ++plane) {
            const DWORD encoded = EncodePlaneRLE(planes[plane], bytes, pEncoded);
            plannedAhead -= kCompressedHeaderBytes + bytes;
            const ULONGLONG needed =
                static_cast<ULONGLONG>(pos) + kCompressedHeaderBytes + encoded + plannedAhead;
            if (needed > dwOutAlloc) {
                const ULONGLONG grown = std::max<ULONGLONG>(
                    needed, static_cast<ULONGLONG>(dwOutAlloc) + dwOutAlloc / 8);
                if (grown > 0xFFFFFFFFull ||
                    !bGrowBuffer(&pOut, &dwOutAlloc, static_cast<DWORD>(grown - dwOutAlloc))) {
                    DebugLog("MakeImageCommandsWithRLE : bGrowBuffer failed.");
                    hr = E_FAIL;
                    break;
                }
            }
            PBYTE p = PutCompressedRasterHeader(
                pOut + pos, CompressedPlaneSelector(plane, bMultiTone), widthDots, h);
            std::memcpy(p, pEncoded, encoded);
            pos += kCompressedHeaderBytes + encoded;
            std::memset(planes[plane], 0, bytes);
        }
        if (hr != S_OK) break;
        PutCompressedStripEnd(pOut + pos);
        pos += kCompressedStripEndBytes;
        plannedAhead -= kCompressedStripEndBytes;
        start += h;
        left -= h;
    }
    LocalFree(pEncoded);
    FreePlanes(planes, g.dwColorCount);
    if (hr != S_OK) {
        FreeBuffer(&pOut, &dwOutAlloc);
        return E_FAIL;
    }
    *ppOutBuf = pOut;
    *pdwOutLen = pos;
    DebugLog("MakeImageCommandsWithRLE : END");
    return pos != 0 ? S_OK : E_FAIL;
}

/*
 * AddImageCommands: builds the raster commands of dwDivHeight rows from dwStartY and appends
 * them to the page output with one AddPrintDataTobeSent.
 */
HRESULT AddImageCommands(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, CxImage* pImage, DWORD dwStartY,
                         DWORD dwDivHeight, BOOL bRLE, BOOL bMultiTone) {
    DebugLog("AddImageCommands : START");
    POEMPDEV pOemPDEV = DeviceState(pdevobj);
    DebugLog("AddImageCommands : dwStartY = %d, dwDivHeight = %d, byteValue[31] = %d", dwStartY,
             dwDivHeight, pOemPDEV != nullptr ? pOemPDEV->UIInfo.byteValue[31] : 0);
    PBYTE pCmd = nullptr;
    DWORD dwCmdLen = 0;
    HRESULT hr = bRLE ? MakeImageCommandsWithRLE(pdevobj, pImage, dwStartY, dwDivHeight, &pCmd,
                                                 &dwCmdLen, bMultiTone)
                      : MakeImageCommands(pdevobj, pImage, dwStartY, dwDivHeight, &pCmd, &dwCmdLen,
                                          bMultiTone);
    if (FAILED(hr)) {
        DebugLog("AddImageCommands : MakeImageCommandsWithRLE failed.");
    } else if (pCmd != nullptr && dwCmdLen != 0) {
        if (!AddPrintDataTobeSent(pOemCP, pCmd, dwCmdLen)) {
            DebugLog("AddImageCommands : AddPrintDataTobeSent failed.");
            hr = E_FAIL;
        }
    }
    // The builder's buffer may be larger than the bytes written; release it whole.
    DWORD dwRelease = dwCmdLen;
    FreeBuffer(&pCmd, &dwRelease);
    DebugLog("AddImageCommands : END");
    return hr;
}
