// Raster command generation: rows of the prepared page image turned into the printer's raster
// commands (plain GS v 0 or the run-length compressed 08 43 52 form, one or four bit planes),
// in strips of at most 246 rows.
#pragma once

#include "plugin/intrface.h"

class CxImage;

// Rows per strip: every strip is a self-contained command (or group of commands).
constexpr DWORD kRasterStripRows = 246;
// Framing bytes per strip of the plain form (per plane) and of the compressed form.
constexpr DWORD kPlainPlaneFraming = 15;
constexpr DWORD kRleStripFramingMono = 21;
constexpr DWORD kRleStripFramingGrey = 66;

// Queues rows dwStartY .. dwStartY + dwDivHeight - 1 of the image as raster commands.
// bRLE selects the compressed form, bMultiTone four tone planes. S_OK / E_FAIL.
HRESULT AddImageCommands(CRenderPlugin* pOemCP, PDEVOBJ pdevobj, CxImage* pImage, DWORD dwStartY,
                         DWORD dwDivHeight, BOOL bRLE, BOOL bMultiTone);

// Build the whole command sequence of the rows into a new heap buffer (*ppOutBuf, released by
// the caller with FreeBuffer) and return the number of bytes written in *pdwOutLen.
// E_FAIL when nothing was written or memory ran out (then *ppOutBuf is null).
HRESULT MakeImageCommandsWithRLE(PDEVOBJ pdevobj, CxImage* pImage, DWORD dwStartY,
                                 DWORD dwDivHeight, PBYTE* ppOutBuf, DWORD* pdwOutLen,
                                 BOOL bMultiTone);
HRESULT MakeImageCommands(PDEVOBJ pdevobj, CxImage* pImage, DWORD dwStartY, DWORD dwDivHeight,
                          PBYTE* ppOutBuf, DWORD* pdwOutLen, BOOL bMultiTone);

// Packs rows dwStartY .. dwStartY + dwCount - 1 (dwCount <= 246) into the plane buffers
// (one in monochrome, four in greyscale mode; each dwBmWidth_Byte x 246 bytes, zero on entry).
// Returns dwCount x dwBmWidth_Byte, the bytes written per plane.
DWORD CreateImageBuffer(PDEVOBJ pdevobj, PBYTE* ppPlanes, CxImage* pImage, DWORD dwStartY,
                        DWORD dwCount, BOOL bMultiTone);

// The run-length encoding of one plane: runs of 00 and FF bytes (at most 255 long) as
// "00 n" / "FF n", other bytes as themselves. Writes into pOut (room for 2 x dwLen bytes is
// always enough) and returns the bytes written.
DWORD EncodePlaneRLE(const BYTE* pPlane, DWORD dwLen, PBYTE pOut);
