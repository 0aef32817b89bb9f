// Barcode and 2D symbol encoding through zint: module matrices the renderer draws dot by dot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emulator {

struct EncodedSymbol {
    bool ok = false;
    std::string error;  // zint's message when !ok
    int columns = 0;    // modules per row
    int rows = 0;
    std::vector<uint8_t> modules;   // rows * columns, 1 = dark
    std::vector<float> rowHeights;  // per row, in module widths (0 = not given)
    std::string humanReadable;      // text under a 1D barcode
    std::string encodedData;        // the data as given to zint (for the listing)
    // MaxiCode is drawn by zint as a picture (hexagons and bull's eye) instead of modules.
    int bitmapWidth = 0, bitmapHeight = 0;
    std::vector<uint8_t> bitmap;  // 1 = dark

    bool dark(int row, int column) const {
        return modules[static_cast<size_t>(row) * static_cast<size_t>(columns) +
                       static_cast<size_t>(column)] != 0;
    }
};

// GS k system m (65..73 or 0..6) with the data bytes as the printer receives them.
EncodedSymbol EncodeBarcode(int system, const std::vector<uint8_t>& data);

// Code128 data of the command set ("{A", "{B", "{C" code set selections, "{{" for "{") as
// plain text; `warning` explains anything left out.
std::string Code128Text(const std::vector<uint8_t>& data, std::string& warning);

EncodedSymbol EncodeQrCode(const std::vector<uint8_t>& data, int errorLevel /*0..3*/);
EncodedSymbol EncodePdf417(const std::vector<uint8_t>& data, int columns, int rows, int errorLevel,
                           bool truncated);
EncodedSymbol EncodeDataMatrix(const std::vector<uint8_t>& data);
EncodedSymbol EncodeDataBar(const std::vector<uint8_t>& data, int type);
EncodedSymbol EncodeComposite(int a, int b, const std::vector<uint8_t>& linear,
                              const std::vector<uint8_t>& component);
EncodedSymbol EncodeMaxiCode(const std::vector<uint8_t>& data, int mode, int targetWidth);

}  // namespace emulator
