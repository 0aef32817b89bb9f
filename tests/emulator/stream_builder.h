// Small helpers the emulator tests use to write command streams byte by byte.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace emulator_test {

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

// "1B 40 0A" -> bytes (spaces ignored).
inline Bytes FromHexBytes(const std::string& hex) {
    Bytes out;
    int high = -1;
    for (char c : hex) {
        int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                       : -1;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

inline Bytes S(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Le16(size_t v) {
    return B({static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF)});
}

// The printer's run-length code: 00 n / FF n for runs, other bytes as themselves.
inline Bytes Rle(const Bytes& plane) {
    Bytes out;
    size_t i = 0;
    while (i < plane.size()) {
        uint8_t b = plane[i];
        if (b == 0x00 || b == 0xFF) {
            size_t n = 1;
            while (i + n < plane.size() && plane[i + n] == b && n < 255) ++n;
            out.push_back(b);
            out.push_back(static_cast<uint8_t>(n));
            i += n;
        } else {
            out.push_back(b);
            ++i;
        }
    }
    return out;
}

// 00 00 00 08 43 52 p 00 00 00 00 wL wH hL hH + encoded plane.
inline Bytes CompressedPlane(int plane, int widthBytes, int height, const Bytes& data) {
    return Cat({B({0, 0, 0, 0x08, 0x43, 0x52, plane, 0, 0, 0, 0}),
                Le16(static_cast<size_t>(widthBytes) * 8), Le16(static_cast<size_t>(height)),
                Rle(data)});
}

inline Bytes StripEnd() {
    return B({0x08, 0x43, 0x52, 0xFF, 0x00, 0x00});
}

// 00 00 00 1B 4A 00 1D 76 30 00 xL xH yL yH data 00.
inline Bytes RasterGsV0(int widthBytes, int height, const Bytes& data) {
    return Cat({B({0, 0, 0, 0x1B, 0x4A, 0x00, 0x1D, 0x76, 0x30, 0x00}),
                Le16(static_cast<size_t>(widthBytes)), Le16(static_cast<size_t>(height)), data,
                B({0})});
}

// GS ( k store + print for symbol cn.
inline Bytes Symbol(int cn, const Bytes& options, const std::string& data,
                    const Bytes& storeExtra = {}) {
    return Cat({options, B({0x1D, 0x28, 0x6B}), Le16(data.size() + 3 + storeExtra.size()),
                B({cn, 0x50, 0x30}), storeExtra, S(data),
                B({0x1D, 0x28, 0x6B, 0x03, 0x00, cn, 0x51, 0x30})});
}

}  // namespace emulator_test
