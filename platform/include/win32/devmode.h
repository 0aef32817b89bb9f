// The device mode record DEVMODEW: a print job's or a printer's page and device settings.
//
// The record has the published layout (220 bytes for spec version 0x0401). A driver may append
// dmDriverExtra private bytes right after the dmSize public bytes; wherever the platform stores
// or copies a DEVMODEW it keeps those bytes with it.
#pragma once

#include <cstddef>

#include "win32/types.h"

constexpr int CCHDEVICENAME = 32;
constexpr int CCHFORMNAME = 32;

struct DEVMODEW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    union {
        struct {
            SHORT dmOrientation;
            SHORT dmPaperSize;
            SHORT dmPaperLength;
            SHORT dmPaperWidth;
            SHORT dmScale;
            SHORT dmCopies;
            SHORT dmDefaultSource;
            SHORT dmPrintQuality;
        };
        struct {
            POINTL dmPosition;
            DWORD dmDisplayOrientation;
            DWORD dmDisplayFixedOutput;
        };
    };
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    union {
        DWORD dmDisplayFlags;
        DWORD dmNup;
    };
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
using PDEVMODEW = DEVMODEW*;
using LPDEVMODEW = DEVMODEW*;
using NPDEVMODEW = DEVMODEW*;
using DEVMODE = DEVMODEW;
using PDEVMODE = DEVMODEW*;
using LPDEVMODE = DEVMODEW*;

static_assert(sizeof(DEVMODEW) == 220);
static_assert(offsetof(DEVMODEW, dmFields) == 72);
static_assert(offsetof(DEVMODEW, dmOrientation) == 76);
static_assert(offsetof(DEVMODEW, dmPrintQuality) == 90);
static_assert(offsetof(DEVMODEW, dmColor) == 92);
static_assert(offsetof(DEVMODEW, dmFormName) == 102);
static_assert(offsetof(DEVMODEW, dmLogPixels) == 166);
static_assert(offsetof(DEVMODEW, dmBitsPerPel) == 168);
static_assert(offsetof(DEVMODEW, dmNup) == 180);
static_assert(offsetof(DEVMODEW, dmPanningHeight) == 216);

constexpr WORD DM_SPECVERSION = 0x0401;

// dmFields: which members of the record carry a value.
constexpr DWORD DM_ORIENTATION = 0x00000001;
constexpr DWORD DM_PAPERSIZE = 0x00000002;
constexpr DWORD DM_PAPERLENGTH = 0x00000004;
constexpr DWORD DM_PAPERWIDTH = 0x00000008;
constexpr DWORD DM_SCALE = 0x00000010;
constexpr DWORD DM_POSITION = 0x00000020;
constexpr DWORD DM_NUP = 0x00000040;
constexpr DWORD DM_DISPLAYORIENTATION = 0x00000080;
constexpr DWORD DM_COPIES = 0x00000100;
constexpr DWORD DM_DEFAULTSOURCE = 0x00000200;
constexpr DWORD DM_PRINTQUALITY = 0x00000400;
constexpr DWORD DM_COLOR = 0x00000800;
constexpr DWORD DM_DUPLEX = 0x00001000;
constexpr DWORD DM_YRESOLUTION = 0x00002000;
constexpr DWORD DM_TTOPTION = 0x00004000;
constexpr DWORD DM_COLLATE = 0x00008000;
constexpr DWORD DM_FORMNAME = 0x00010000;
constexpr DWORD DM_LOGPIXELS = 0x00020000;
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD DM_DISPLAYFLAGS = 0x00200000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x00400000;
constexpr DWORD DM_ICMMETHOD = 0x00800000;
constexpr DWORD DM_ICMINTENT = 0x01000000;
constexpr DWORD DM_MEDIATYPE = 0x02000000;
constexpr DWORD DM_DITHERTYPE = 0x04000000;
constexpr DWORD DM_PANNINGWIDTH = 0x08000000;
constexpr DWORD DM_PANNINGHEIGHT = 0x10000000;
constexpr DWORD DM_DISPLAYFIXEDOUTPUT = 0x20000000;

// dmOrientation
constexpr SHORT DMORIENT_PORTRAIT = 1;
constexpr SHORT DMORIENT_LANDSCAPE = 2;

// dmColor
constexpr SHORT DMCOLOR_MONOCHROME = 1;
constexpr SHORT DMCOLOR_COLOR = 2;

// dmDefaultSource; values from DMBIN_USER up belong to the driver.
constexpr SHORT DMBIN_FIRST = 1;
constexpr SHORT DMBIN_UPPER = 1;
constexpr SHORT DMBIN_ONLYONE = 1;
constexpr SHORT DMBIN_LOWER = 2;
constexpr SHORT DMBIN_MIDDLE = 3;
constexpr SHORT DMBIN_MANUAL = 4;
constexpr SHORT DMBIN_ENVELOPE = 5;
constexpr SHORT DMBIN_ENVMANUAL = 6;
constexpr SHORT DMBIN_AUTO = 7;
constexpr SHORT DMBIN_TRACTOR = 8;
constexpr SHORT DMBIN_SMALLFMT = 9;
constexpr SHORT DMBIN_LARGEFMT = 10;
constexpr SHORT DMBIN_LARGECAPACITY = 11;
constexpr SHORT DMBIN_CASSETTE = 14;
constexpr SHORT DMBIN_FORMSOURCE = 15;
constexpr SHORT DMBIN_LAST = 15;
constexpr SHORT DMBIN_USER = 256;

// dmPaperSize (the few the platform's built-in forms use); DMPAPER_USER and up: driver's own.
constexpr SHORT DMPAPER_LETTER = 1;
constexpr SHORT DMPAPER_LEGAL = 5;
constexpr SHORT DMPAPER_EXECUTIVE = 7;
constexpr SHORT DMPAPER_A4 = 9;
constexpr SHORT DMPAPER_A5 = 11;
constexpr SHORT DMPAPER_B5 = 13;
constexpr SHORT DMPAPER_ENV_10 = 20;
constexpr SHORT DMPAPER_USER = 256;

// dmPrintQuality (negative device-independent values)
constexpr SHORT DMRES_DRAFT = -1;
constexpr SHORT DMRES_LOW = -2;
constexpr SHORT DMRES_MEDIUM = -3;
constexpr SHORT DMRES_HIGH = -4;

// dmDuplex, dmTTOption, dmCollate
constexpr SHORT DMDUP_SIMPLEX = 1;
constexpr SHORT DMDUP_VERTICAL = 2;
constexpr SHORT DMDUP_HORIZONTAL = 3;
constexpr SHORT DMTT_BITMAP = 1;
constexpr SHORT DMTT_DOWNLOAD = 2;
constexpr SHORT DMTT_SUBDEV = 3;
constexpr SHORT DMTT_DOWNLOAD_OUTLINE = 4;
constexpr SHORT DMCOLLATE_FALSE = 0;
constexpr SHORT DMCOLLATE_TRUE = 1;

// DocumentPropertiesW modes.
constexpr DWORD DM_UPDATE = 1;
constexpr DWORD DM_COPY = 2;
constexpr DWORD DM_PROMPT = 4;
constexpr DWORD DM_MODIFY = 8;
constexpr DWORD DM_OUT_DEFAULT = DM_UPDATE;
constexpr DWORD DM_OUT_BUFFER = DM_COPY;
constexpr DWORD DM_IN_PROMPT = DM_PROMPT;
constexpr DWORD DM_IN_BUFFER = DM_MODIFY;
