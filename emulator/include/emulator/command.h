// The printer emulator's view of a command stream: one decoded command per entry, with the
// offset and length of its bytes, its arguments and, where it carries any, its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace emulator {

// What a decoded command does. The listing names each kind (see listing.cpp).
enum class CommandKind {
    Nul,                    // a run of 00 bytes
    Text,                   // printable bytes: characters in the current code table / two-byte mode
    LineFeed,               // LF
    CarriageReturn,         // CR
    HorizontalTab,          // HT
    FormFeed,               // FF
    PrintAndFeed,           // ESC J n
    PrintAndFeedLines,      // ESC d n
    LineSpacing,            // ESC 3 n
    DefaultLineSpacing,     // ESC 2
    Initialize,             // ESC @
    SelectPeripheral,       // ESC = n
    CodeTable,              // ESC t n
    FontSelect,             // 08 4D n L
    CharacterFont,          // ESC M n
    PrintMode,              // ESC ! n
    CharacterSize,          // GS ! n
    AbsolutePosition,       // ESC $ nL nH
    RelativePosition,       // ESC \ nL nH
    Emphasis,               // ESC E n
    Underline,              // ESC - n
    Justification,          // ESC a n
    Reverse,                // GS B n
    RightSpacing,           // ESC SP n
    TabStops,               // ESC D n1 .. NUL
    LeftMargin,             // GS L nL nH
    PrintAreaWidth,         // GS W nL nH
    KanjiOn,                // FS &
    KanjiOff,               // FS .
    KanjiCodeSystem,        // FS C n
    KanjiPrintMode,         // FS ! n
    RasterImage,            // GS v 0 m xL xH yL yH d...
    CompressedRaster,       // 08 43 52 p 00 00 00 00 wL wH hL hH rle...
    RasterStripEnd,         // 08 43 52 FF 00 00
    BitImage,               // ESC * m nL nH d...
    DefineDownloadedImage,  // GS * x y d...
    PrintDownloadedImage,   // GS / m
    Cut,                    // GS V ..., ESC i, ESC m
    PageMarker,             // 00 08 lo hi after a page-end feed sequence
    DrawerPulse,            // ESC p m t1 t2
    Beep,                   // ESC B n t
    NvImageFsP,             // FS p n m
    GraphicsGsL,            // GS ( L / GS 8 L
    BarcodeModuleWidth,     // GS w n
    BarcodeHeight,          // GS h n
    HriPosition,            // GS H n
    HriFont,                // GS f n
    Barcode,                // GS k m ...
    Symbol2D,               // GS ( k pL pH cn fn ...
    PreviewBlock,           // 00 00 00 1B 40 len "ORVANEX" data
    RealTime,               // DLE EOT / DLE ENQ / DLE DC4
    Other,                  // a known command with nothing to draw (listed with its bytes)
    Unknown,                // bytes the emulator does not know
};

// How completely the bytes of a command were present.
enum class CommandStatus {
    Ok,
    Truncated,  // the stream ended inside the command; the missing bytes are taken as absent
    Unknown,    // not a command of this printer
};

// One character of a text run.
struct Glyph {
    char32_t codePoint = 0;   // 0: no character for these bytes in the code page (drawn as a box)
    bool doubleByte = false;  // a two-byte (Kanji / Hanzi / Hangul) character
    uint16_t code = 0;        // the byte, or the two bytes (lead byte high)
};

struct Command {
    CommandKind kind = CommandKind::Unknown;
    CommandStatus status = CommandStatus::Ok;
    size_t offset = 0;                                  // position of the first byte in the stream
    size_t length = 0;                                  // number of bytes the command took
    std::string mnemonic;                               // "ESC J", "GS ( k", "08 43 52" ...
    std::vector<std::pair<std::string, int64_t>> args;  // named numeric arguments, in order
    std::vector<uint8_t> data;  // payload: barcode / symbol data, raster plane bytes (decoded)
    std::vector<Glyph> glyphs;  // Text only
    std::string note;           // human-readable detail ("partial cut", "page 3" ...)

    // The named argument, or `fallback` when the command has none of that name.
    int64_t arg(const std::string& name, int64_t fallback = 0) const;
};

}  // namespace emulator
