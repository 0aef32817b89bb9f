// The printer description (package/LBRKV580R.GPD): the device fonts, paper sources,
// orientations and resolution the universal-driver host offers for the printer.
//
// Format: one entry a line, "Key: value"; '#' starts a comment; blank lines are ignored.
//   Model: <text>                       Resolution: <x dpi> <y dpi>
//   PaperSource: <option> <number> <display name>
//   Orientation: <option>               DeviceFont: <family name>
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace unidrv {

struct PaperSourceEntry {
    std::string option;  // "Option1"
    int number = 0;      // DEVMODE dmDefaultSource (265 receipt, 266 ticket)
    std::string name;    // "Receipt"
};

struct PrinterDescription {
    std::string model;
    int dpiX = 203;
    int dpiY = 203;
    std::vector<PaperSourceEntry> paperSources;
    std::vector<std::string> orientations;
    std::vector<std::string> deviceFonts;  // in file order

    // The description's spelling of a device font, matched ignoring ASCII case as the font
    // mapper does; empty when the family is not a device font of the printer.
    std::string FindDeviceFont(std::string_view family) const;
};

// The file name of the printer description in the package and the driver folder.
inline constexpr const char* kPrinterDescriptionFile = "LBRKV580R.GPD";

// Parses description text; `sourceName` names it in errors. Throws std::runtime_error
// ("LBRKV580R.GPD: line 7: ...") for an unknown key or a malformed value.
PrinterDescription ParsePrinterDescription(std::string_view text, std::string_view sourceName);

// Reads and parses a description file. Throws std::runtime_error naming the file.
PrinterDescription LoadPrinterDescription(const std::filesystem::path& file);

// Where the host finds the description: $KV580_GPD when set; else the installed driver's copy
// under the system root (Windows/System32/spool/drivers/x64/3); else the package folder of
// the source tree. Empty when none exists.
std::filesystem::path FindPrinterDescription();

}  // namespace unidrv
