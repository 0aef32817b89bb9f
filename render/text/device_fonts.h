// Device fonts: the printer's resident fonts, the font-control commands and the dispatcher
// that turns a device-font run into a text record.
#pragma once

#include "win32/types.h"
#include "win32/winddi.h"

struct OEMPDEV;

// Builds and appends the record of one device-font run; TRUE when a record (or a text-key
// sequence) was added.
BOOL AddDevFontInfoToBuf(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo);

// Class of a device-font family name (UTF-8): FTYPE_DEVICE_FONT_CONTROL for exactly
// "FontControl" or "Control", FTYPE_DEVICE_FONT_CONTROL_A for exactly "FontControlA",
// FTYPE_DEVICE_FONT for names with "FontA", "FontB", "FontC", "Chinese", "Korean" or
// "Japanese" (ASCII case ignored), FTYPE_DEVICE_BARCODE otherwise (also for a missing name).
BYTE GetDeviceFontType(const char* szFontName);

// Code page of a device-font text, chosen from the family name: 936, 950, 949, 932 or CP_ACP.
UINT GetDevFontCodePage(const char* szFontName);

// Position of the first occurrence of szPattern in szText comparing with ASCII upper-casing;
// -1 when there is none or either string is missing or empty.
constexpr LONG kNotFound = -1;
LONG FindSubstringNoCase(const char* szText, const char* szPattern);

// Allocates the font command (256 bytes, LocalAlloc; the caller frees it with LocalFree),
// fills it and returns its length (9, 12 or 14), or 0. Appends the trailer (1C 2E for the
// Korean, Chinese and Japanese fonts, then the feed 1B 4A h) to szAnsiText in place and raises
// *pdwAnsiTextLength; szAnsiText must have at least 5 spare bytes after the text.
// X outside 0..65535 is clamped into it.
DWORD GetDevFontCommand(PBYTE* ppbyCommand, const char* szFontName, char* szAnsiText,
                        DWORD* pdwAnsiTextLength, LONG lX, FONTOBJ* pfo);

// Font-control table commands for the text (characters outside the table give nothing;
// "F" and "f" set the drawer-only flags of the device state). Allocates the command
// (LocalAlloc; the caller frees it); returns its length, or 0 with no command.
DWORD GetFontControlCommand(OEMPDEV* pOemPDEV, PBYTE* ppbyCommand, const char* szAnsiText,
                            DWORD dwAnsiTextLength);

// Commands from the "FontControlA" section of "LBRKV580R.INI" in the print processor folder.
// Allocates the command (LocalAlloc; the caller frees it); returns its length, or 0.
DWORD GetCommandFromFile(OEMPDEV* pOemPDEV, PBYTE* ppbyCommand, const char* szAnsiText,
                         DWORD dwAnsiTextLength);
