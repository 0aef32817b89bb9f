// Draws characters into the printer's character cells with FreeType; fonts found by fontconfig
// (a monospace font for single-byte text, any font that has the character otherwise).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace emulator {

// A cell of `width` x `height` dots, one byte per dot: 1 black, 0 white.
struct CellBitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bits;

    uint8_t& at(int x, int y) {
        return bits[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    uint8_t at(int x, int y) const {
        return bits[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

class FontRenderer {
public:
    FontRenderer();
    ~FontRenderer();
    FontRenderer(const FontRenderer&) = delete;
    FontRenderer& operator=(const FontRenderer&) = delete;

    // True when at least the monospace font was found.
    bool HasFont() const { return m_primary != nullptr; }

    // The one renderer of the process: fonts are looked up and opened once.
    static FontRenderer& Shared();

    // A cell with the character drawn in it; a box outline when no font has the character.
    // Results are cached per character and cell size. Safe to call from several threads.
    CellBitmap Cell(char32_t codePoint, int width, int height);

private:
    struct Face;
    Face* FaceFor(char32_t codePoint);
    Face* LoadFace(const std::string& path);
    bool Draw(Face* face, char32_t codePoint, CellBitmap& cell);

    std::mutex m_mutex;
    void* m_library = nullptr;  // FT_Library
    Face* m_primary = nullptr;
    std::map<std::string, std::unique_ptr<Face>> m_faces;
    std::map<char32_t, Face*> m_fallback;
    std::map<std::tuple<char32_t, int, int>, CellBitmap> m_cells;
};

// A box outline: what the printer's missing-character glyph looks like here.
CellBitmap BoxCell(int width, int height);

}  // namespace emulator
