// Fuzz target: any byte stream decodes into commands that cover every byte, renders without
// fault on a short paper, and lists as JSON.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "emulator/emulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    emulator::Options options;
    // A narrow, short paper keeps each run fast; the drawing code is the same at any size.
    options.widthDots = 256;
    options.maxLengthDots = 1024;
    options.greyscaleRasterPlanes = size > 0 && (data[0] & 1);
    emulator::Emulation result;
    result.commands = emulator::Decode(bytes, options);
    size_t next = 0;
    for (const auto& c : result.commands) {
        if (c.offset != next || c.length == 0) std::abort();
        next += c.length;
    }
    if (next != size) std::abort();
    result.receipt = emulator::Render(result.commands, options);
    if (result.receipt.picture.height > options.maxLengthDots + 2 * options.marginDots)
        std::abort();
    std::string json = emulator::ListingJson(result, bytes, options);
    if (json.empty()) std::abort();
    return 0;
}
