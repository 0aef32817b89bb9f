// The LBR-KV580 printer emulator: turns the printer command stream into a list of commands
// and a picture of the receipt, 576 dots wide at 8 dots per millimetre.
//
//   auto result = emulator::Emulate(bytes, {});
//   emulator::WritePng(result.receipt.picture, "out.png", error);
//   std::string json = emulator::ListingJson(result, bytes, {});
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "emulator/command.h"

namespace emulator {

struct Options {
    int widthDots = 576;         // printable width in dots
    int marginDots = 32;         // blank paper drawn around the printable area (4 mm)
    int maxLengthDots = 200000;  // paper drawn at most this long (25 m); more is cut off
    int cjkCodePage = 936;       // two-byte text without FS C: 936, 949 or 950 (932 by FS C)
    bool greyscaleRasterPlanes = false;  // GS v 0: combine four commands as tone planes 0..3
};

// Turns the bytes into commands. Never fails: unknown or truncated bytes become commands of
// kind Unknown or status Truncated and decoding goes on after them.
std::vector<Command> Decode(std::span<const uint8_t> bytes, const Options& options = {});

// The paper: one byte per dot, 0 black .. 255 white; row 0 is the top of the paper. The
// printable area starts at (marginDots, marginDots).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height

    uint8_t at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// Something the renderer put on the paper (or decided not to), for the listing and for tests.
struct DrawnObject {
    size_t offset = 0;  // offset of the command that drew it
    std::string kind;   // "text", "raster", "barcode", "symbol", "nv_image", "cut", "bit_image"
    int x = 0, y = 0, width = 0, height = 0;  // on the paper, in dots
    std::string symbology;  // barcodes and symbols: "UPC-A", "QR Code" ...; cuts: the cut kind
    std::string data;       // barcodes and symbols: the data as encoded; text: the text (UTF-8)
    std::string status;     // "drawn", "placeholder", "not printed"
    std::string note;       // why a placeholder / not printed, or other remarks
};

struct Receipt {
    Picture picture;
    std::vector<DrawnObject> objects;
    std::vector<std::string> warnings;  // renderer-level notes (paper limit reached, no font ...)
};

// Draws the commands the way the printer prints them.
Receipt Render(std::span<const Command> commands, const Options& options = {});

struct Emulation {
    std::vector<Command> commands;
    Receipt receipt;
};

// Decode, then Render.
Emulation Emulate(std::span<const uint8_t> bytes, const Options& options = {});

// Writes the picture as an 8-bit greyscale PNG; false with `error` set on failure.
bool WritePng(const Picture& picture, const std::filesystem::path& path, std::string& error);

// The JSON listing of commands and drawn objects (format: docs/emulator.md); `input` is the
// stream the emulation was made from.
std::string ListingJson(const Emulation& emulation, std::span<const uint8_t> input,
                        const Options& options);

// The listing name of a command kind ("print and feed", "compressed raster" ...).
const char* KindName(CommandKind kind);

}  // namespace emulator
