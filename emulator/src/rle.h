// The printer's run-length code for compressed raster planes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace emulator {

// Decodes `input` until `needed` plane bytes are produced or the input ends: 00 n stands for n
// bytes 00, FF n for n bytes FF, any other byte for itself. A run that would overshoot `needed`
// is cut at it. Appends the bytes to `out` and returns the number of input bytes consumed.
size_t DecodeRle(std::span<const uint8_t> input, size_t needed, std::vector<uint8_t>& out);

}  // namespace emulator
