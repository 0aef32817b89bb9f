// Text records: the per-page list of captured text runs and the device-text list ordered by
// vertical position, their byte layout, the writer and the readers, and the code-page helpers
// the text functions share.
//
// Record layout (all numbers little-endian, 16-bit numbers unsigned):
//   0  type (FTYPE_*)            1  height (2)         3  width      4  escapement
//   5  orientation               6  weight (2)         8  italic     9  underline
//   10 strike-out                11 character set      12 pitch and family
//   13 X (2)                     15 Y (2)              17 N_A (2)    19 N_B (2)
//   21 field A (N_A bytes), then field B (N_B bytes). Record length = 21 + N_A + N_B.
#pragma once

#include "win32/types.h"
#include "win32/winddi.h"
#include "win32/wingdi.h"

struct OEMPDEV;

// ---- Record types ------------------------------------------------------------------------------
constexpr BYTE FTYPE_UNKNOWN = 0;
constexpr BYTE FTYPE_DEVICE_FONT = 1;
constexpr BYTE FTYPE_DEVICE_BARCODE = 2;
constexpr BYTE FTYPE_DEVICE_FONT_CONTROL = 3;
constexpr BYTE FTYPE_DEVICE_FONT_CONTROL_A = 4;
constexpr BYTE FTYPE_TRUETYPE = 5;

// ---- Record layout -----------------------------------------------------------------------------
constexpr DWORD kTxtRecType = 0;
constexpr DWORD kTxtRecHeight = 1;
constexpr DWORD kTxtRecWidth = 3;
constexpr DWORD kTxtRecEscapement = 4;
constexpr DWORD kTxtRecOrientation = 5;
constexpr DWORD kTxtRecWeight = 6;
constexpr DWORD kTxtRecItalic = 8;
constexpr DWORD kTxtRecUnderline = 9;
constexpr DWORD kTxtRecStrikeOut = 10;
constexpr DWORD kTxtRecCharSet = 11;
constexpr DWORD kTxtRecPitchAndFamily = 12;
constexpr DWORD kTxtRecX = 13;
constexpr DWORD kTxtRecY = 15;
constexpr DWORD kTxtRecLengthA = 17;
constexpr DWORD kTxtRecLengthB = 19;
constexpr DWORD kTxtRecHeaderSize = 21;

// Largest coordinate a record can hold; a position outside 0..65535 is stored clamped.
constexpr LONG kTxtRecMaxCoordinate = 0xFFFF;
// The page pipeline reads a TrueType text into an 8192-byte buffer: a TrueType run keeps at
// most this many characters (the rest of a longer run is left out, and the log says so).
constexpr DWORD kTxtMaxTrueTypeChars = 4095;
constexpr DWORD kTxtTrueTypeTextBufBytes = 8192;

// Little-endian 16-bit field of a record.
inline WORD TxtRecWord(const BYTE* pRecord, DWORD offset) {
    return static_cast<WORD>(pRecord[offset] | (pRecord[offset + 1] << 8));
}
// Length of the record that starts at pRecord (header and both fields).
inline DWORD TxtRecLength(const BYTE* pRecord) {
    return kTxtRecHeaderSize + TxtRecWord(pRecord, kTxtRecLengthA) +
           TxtRecWord(pRecord, kTxtRecLengthB);
}

// ---- Reduction rate ----------------------------------------------------------------------------
// fReduceRate from the settings copy (bytes 38, 40, 41). For choice 4 byte 41 is first clamped
// into byMinPercent..100 and the clamped value written back into the settings copy.
float GetTextReduceRate(OEMPDEV* pOemPDEV, BYTE byMinPercent);

// ---- Capture (writer) --------------------------------------------------------------------------
// DDI text hook: captures the run as text records or hands it to the host's DrvTextOut.
BOOL OEMTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                MIX mix);
// Routes a captured run by font type (device font or TrueType); returns 0.
LONG AddFontsInfoToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo);
// Appends a type-5 record for the run; TRUE when appended.
BOOL AddTtfFontInfoToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo);
// Appends one record to the page's text record buffer; the header fields other than type,
// height and the lengths come from pstro and pfo. TRUE when appended.
BOOL AddFontDataToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, BYTE byFontType, DWORD dwHeight,
                      const BYTE* pFieldA, DWORD dwFieldA, const BYTE* pFieldB, DWORD dwFieldB);
// Height of the font in device pixels; 0xFFFFFFFF when pfo is missing.
DWORD GetFontHeight(FONTOBJ* pfo);

// ---- Readers ------------------------------------------------------------------------------------
// Reads the record at byte offset pos of pOemPDEV->pTxtBufStart. Returns the offset of the
// record's last byte (the caller adds one to reach the next record), or 0 when the type byte
// is none of 1 to 5, the record does not fit in the buffer, or a reader failed.
// Type 5 fills *plf (caller zeroes it), *pX, *pY and pText (cbText bytes, zeroed by the
// caller; field B is copied up to cbText - 2 bytes so the text always ends with a NUL).
// Types 1 to 4 set *pY and copy the record into the device-text buffer in order of Y.
DWORD ExtractFontInfoFromBuf(OEMPDEV* pOemPDEV, DWORD pos, LOGFONTW* plf, DWORD* pX, DWORD* pY,
                             WCHAR* pText, DWORD cbText = kTxtTrueTypeTextBufBytes);
// Type-5 reader: returns pos + record length (pos itself for another type), 0 on failure.
DWORD ExtractTTFInfo(OEMPDEV* pOemPDEV, DWORD pos, LOGFONTW* plf, DWORD* pX, DWORD* pY,
                     WCHAR* pText, DWORD cbText = kTxtTrueTypeTextBufBytes);
// Device-record reader (types 1 to 4): ordered insertion into pDevTxtBufStart. Returns
// pos + record length, 0 on failure (buffer unchanged).
DWORD ExtractDevFontsInfo(OEMPDEV* pOemPDEV, DWORD pos, DWORD* pY);

// ---- Code pages
// ---------------------------------------------------------------------------------- Converts a
// NUL-terminated UTF-16 string to codePage into out (zeroed first). Returns the byte count with the
// terminator, or 0 when it would exceed cbOut (or the input is missing).
DWORD WideToCodePage(const WCHAR* pwszWide, char* pszOut, DWORD cbOut, UINT codePage);
// Converts a NUL-terminated UTF-8 string into pwszOut, a 256-character buffer zeroed first.
// Returns the character count with the terminator, or 0 when more than 256 would be needed.
constexpr DWORD kUtf8ToWideChars = 256;
DWORD Utf8ToWide(const char* pszUtf8, WCHAR* pwszOut);
