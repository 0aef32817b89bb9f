// Loading the driver settings record from the printer's data (and, when "MISC" is missing,
// from the configuration file).
#pragma once

#include "oempdev.h"

// Printer-data key of the driver's settings.
inline constexpr const WCHAR* kPropertiesKey = u"PrinterDriverData\\Properties";

// The 44 setting bytes used whenever "MISC" cannot be read.
void SetDefaultSettings(BYTE (&byteValue)[kSettingBytes]);

// Reads "MISC" into byteValue; on failure applies the defaults and the configuration file.
void LoadMiscSettings(HANDLE hPrinter, UIInfo& info);
// Reads "BarcodeInfo" and "CodeData", each with its defaults when it cannot be read.
void LoadBarcodeSettings(HANDLE hPrinter, UIInfo& info);
// Reads the four command values and their lengths (0 when missing or over 512 bytes).
void LoadCommandSettings(HANDLE hPrinter, UIInfo& info);
