// Run-length decoding of compressed raster planes (08 43 52).
#include "rle.h"

#include <algorithm>

namespace emulator {

size_t DecodeRle(std::span<const uint8_t> input, size_t needed, std::vector<uint8_t>& out) {
    size_t start = out.size();
    // Each input byte yields at most 255 / 2 bytes on average; never reserve beyond that.
    out.reserve(start + std::min(needed, input.size() * 128 + 1));
    size_t i = 0;
    while (out.size() - start < needed && i < input.size()) {
        uint8_t b = input[i++];
        if (b == 0x00 || b == 0xFF) {
            if (i >= input.size()) break;  // run byte without its count: the input is cut short
            size_t count = std::min<size_t>(input[i++], needed - (out.size() - start));
            out.insert(out.end(), count, b);
        } else {
            out.push_back(b);
        }
    }
    return i;
}

}  // namespace emulator
