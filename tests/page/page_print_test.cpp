// Whole pages through `kv580 print`: a page with a picture, rectangles and TrueType text is
// printed on a fresh root with settings stored by `kv580 printer-data`; the spooled raster
// commands are decoded and compared dot for dot with the page the plug-in prepared (its
// diagnostic page dump), in both command forms and with one and four planes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "png_writer.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RunKv580;

constexpr const char* kPrinter = "ORVANEX LBR-KV580 - Receipt";

// A page image read back from a BMP file written by the plug-in (rows in memory order, row 0
// the top of the page).
struct Page {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> grey;  // luminance-free: the palette colour's red, green, blue
    std::vector<std::array<uint8_t, 3>> rgb;
    const std::array<uint8_t, 3>& at(int x, int y) const {
        return rgb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

Page ReadBmp(const std::string& bytes) {
    Page page;
    auto u32 = [&](size_t o) {
        return static_cast<uint32_t>(
            static_cast<uint8_t>(bytes[o]) | static_cast<uint8_t>(bytes[o + 1]) << 8 |
            static_cast<uint8_t>(bytes[o + 2]) << 16 |
            static_cast<uint32_t>(static_cast<uint8_t>(bytes[o + 3])) << 24);
    };
    const uint32_t offBits = u32(10);
    page.width = static_cast<int>(u32(18));
    page.height = std::abs(static_cast<int32_t>(u32(22)));
    const int bpp = static_cast<uint8_t>(bytes[28]);
    const size_t eff = ((static_cast<size_t>(page.width) * bpp + 31) / 32) * 4;
    const size_t palette = 14 + 40;
    page.rgb.resize(static_cast<size_t>(page.width) * static_cast<size_t>(page.height));
    for (int y = 0; y < page.height; ++y) {
        const size_t row = offBits + static_cast<size_t>(y) * eff;
        for (int x = 0; x < page.width; ++x) {
            int index = 0;
            if (bpp == 1) {
                index = (static_cast<uint8_t>(bytes[row + x / 8]) >> (7 - x % 8)) & 1;
            } else {
                index = static_cast<uint8_t>(bytes[row + static_cast<size_t>(x)]);
            }
            const size_t p = palette + static_cast<size_t>(index) * 4;
            page.rgb[static_cast<size_t>(y) * static_cast<size_t>(page.width) +
                     static_cast<size_t>(x)] = {static_cast<uint8_t>(bytes[p + 2]),
                                                static_cast<uint8_t>(bytes[p + 1]),
                                                static_cast<uint8_t>(bytes[p])};
        }
    }
    return page;
}

int ToneOf(const std::array<uint8_t, 3>& c, bool picture) {
    const int lum = static_cast<int>((0.587 * c[1] + 0.299 * c[0]) + 0.114 * c[2]);
    int tone = lum >= 255   ? 0
               : lum >= 219 ? 5
               : lum >= 182 ? 6
               : lum >= 146 ? 7
               : lum >= 91  ? 8
               : lum >= 55  ? 9
               : lum >= 36  ? 10
               : lum >= 18  ? 11
                            : 12;
    if (!picture) tone = tone > 7 ? 15 : 0;
    return tone;
}

// Decoded dots of the spooled raster commands: per plane, the rows stacked. Plane 0 of the
// monochrome form holds 1 for black.
struct Decoded {
    int widthBytes = 0;
    std::map<int, std::vector<uint8_t>> planes;  // plane index 0..3 -> rows
    int rows(int plane = 0) const {
        return widthBytes ? static_cast<int>(planes.at(plane).size()) / widthBytes : 0;
    }
    int bit(int plane, int x, int y) const {
        const auto& p = planes.at(plane);
        return (p[static_cast<size_t>(y * widthBytes + x / 8)] >> (7 - x % 8)) & 1;
    }
};

// Plain commands of the greyscale form carry the four planes one after another.
Decoded DecodeRaster(const std::string& bytes, bool greyscale = false) {
    Decoded d;
    auto commands = emulator::Decode(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    int plainIndex = 0;
    for (const auto& c : commands) {
        int plane = 0;
        if (c.kind == emulator::CommandKind::RasterImage) {
            d.widthBytes = static_cast<int>(c.arg("width_bytes"));
            plane = plainIndex;
        } else if (c.kind == emulator::CommandKind::CompressedRaster) {
            d.widthBytes = static_cast<int>((c.arg("width_dots") + 7) / 8);
            const int selector = static_cast<int>(c.arg("plane"));
            plane = selector >= 4 ? selector - 4 : 0;
        } else {
            continue;
        }
        auto& rows = d.planes[plane];
        rows.insert(rows.end(), c.data.begin(), c.data.end());
        if (c.kind == emulator::CommandKind::RasterImage && greyscale) {
            plainIndex = (plainIndex + 1) % 4;
        }
    }
    return d;
}

class PagePrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.path() / "root";
        // A first job creates the default printer on the fresh root.
        testing_support::WriteFile(dir.path() / "empty.json", R"({"pages": []})");
        auto r = Kv580({"print", (dir.path() / "empty.json").string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        fs::create_directories(root / "Temp" / "LBR-KV580");
        // A picture with every grey level in steps, 64 x 64.
        std::vector<uint8_t> pixels(64 * 64);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x)
                pixels[static_cast<size_t>(y * 64 + x)] =
                    static_cast<uint8_t>((x / 8) * 32 + (y / 16) * 8);
        }
        auto png = script_test::EncodePng(script_test::PngSpec(64, 64, 0, 8, pixels));
        testing_support::WriteFile(dir.path() / "grey.png", std::string(png.begin(), png.end()));
    }

    testing_support::RunResult Kv580(std::vector<std::string> args) {
        args.insert(args.begin(), {"--root", root.string()});
        return RunKv580(args);
    }

    // Stores "MISC": log on (byte 43), brightness unchanged (byte 35 = 10), plus changes.
    void SetMisc(std::initializer_list<std::pair<int, int>> changes) {
        std::vector<int> bytes(44, 0);
        bytes[43] = 1;
        bytes[35] = 10;
        for (auto [i, v] : changes) bytes[static_cast<size_t>(i)] = v;
        std::string hex;
        for (int b : bytes) {
            char t[4];
            std::snprintf(t, sizeof(t), "%02X", b);
            hex += t;
        }
        auto r = Kv580({"printer-data", kPrinter, "set", "MISC", "--hex", hex});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    // Prints the job (pages text given) and returns the spooled bytes; the page dump is read
    // into `page`.
    std::string Print(const std::string& paper, const std::string& items, Page& page) {
        for (auto& e : fs::recursive_directory_iterator(root)) {
            if (e.path().extension() == ".bmp") fs::remove(e.path());
        }
        const std::string job =
            R"({"paper": )" + paper + R"(, "pages": [{"items": [)" + items + "]}]}";
        testing_support::WriteFile(dir.path() / "job.json", job);
        const fs::path out = dir.path() / "out.bin";
        auto r = Kv580({"print", (dir.path() / "job.json").string(), "--out", out.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        for (auto& e : fs::recursive_directory_iterator(root)) {
            if (e.path().extension() == ".bmp") {
                page = ReadBmp(testing_support::ReadFile(e.path()));
            }
        }
        EXPECT_GT(page.width, 0) << "no page dump";
        return fs::exists(out) ? testing_support::ReadFile(out) : std::string();
    }

    testing_support::TempDir dir;
    fs::path root;
};

const char* kItems =
    R"({"type": "image", "path": "grey.png", "x": 100, "y": 20, "width": 64, "height": 64},
       {"type": "rect", "x": 300, "y": 30, "width": 100, "height": 40, "gray": 0},
       {"type": "rect", "x": 0, "y": 100, "width": 576, "height": 20, "gray": 128},
       {"type": "text", "text": "ORVANEX 0123", "font": "DejaVu Sans", "x": 10, "y": 130,
        "height": 32})";

TEST_F(PagePrintTest, MonochromeDotsEqualThePageInBothForms) {
    for (int rle : {0, 1}) {
        SetMisc({{36, rle}});
        Page page;
        const std::string bytes =
            Print(R"({"width": 576, "height": 400, "bpp": 1, "band": 64})", kItems, page);
        const Decoded d = DecodeRaster(bytes);
        ASSERT_EQ(d.widthBytes, 72);
        // The blank tail of a receipt is cut: the page ends one row below the text.
        ASSERT_EQ(d.rows(), page.height) << "rle " << rle;
        EXPECT_LT(page.height, 400);
        int black = 0;
        for (int y = 0; y < page.height; ++y) {
            for (int x = 0; x < page.width; ++x) {
                const auto& c = page.at(x, y);
                const int expected = (c[0] < 128 || c[1] < 128 || c[2] < 128) ? 1 : 0;
                black += expected;
                ASSERT_EQ(d.bit(0, x, y), expected) << x << "," << y << " rle " << rle;
            }
        }
        EXPECT_GT(black, 4000);  // the picture, the rectangle, the grey bar and the text
    }
}

TEST_F(PagePrintTest, GreyscaleFourPlanesCarryTheToneCodes) {
    for (int rle : {0, 1}) {
        SetMisc({{33, 1}, {36, rle}});
        Page page;
        const std::string bytes =
            Print(R"({"width": 576, "height": 300, "bpp": 8, "band": 100})", kItems, page);
        const Decoded d = DecodeRaster(bytes, true);
        ASSERT_EQ(d.planes.size(), 4u);
        ASSERT_EQ(d.rows(0), page.height);
        for (int y = 0; y < page.height; ++y) {
            // Picture rows: the picture's rectangle (rows 20 .. 84) and the black rectangle's.
            const bool picture = (y >= 20 && y <= 84);
            for (int x = 0; x < page.width; ++x) {
                const int tone = ToneOf(page.at(x, y), picture);
                const int got = d.bit(0, x, y) << 3 | d.bit(1, x, y) << 2 | d.bit(2, x, y) << 1 |
                                d.bit(3, x, y);
                ASSERT_EQ(got, tone) << x << "," << y << " rle " << rle;
            }
        }
    }
}

// Total raster rows and the raster width in bytes of a job under the settings.
struct Shape {
    int rows;
    int widthBytes;
};
class PageSettingsTest : public PagePrintTest {
protected:
    Shape PrintShape(const std::string& paper, std::initializer_list<std::pair<int, int>> misc) {
        SetMisc(misc);
        Page page;
        const std::string bytes = Print(paper, kItems, page);
        const Decoded d = DecodeRaster(bytes);
        return {d.widthBytes ? d.rows() : 0, d.widthBytes};
    }
};

TEST_F(PageSettingsTest, EachSettingSwitchesItsStep) {
    const std::string mono = R"({"width": 576, "height": 400, "bpp": 1, "band": 64})";
    const std::string grey = R"({"width": 576, "height": 400, "bpp": 8, "band": 64})";
    const Shape base = PrintShape(mono, {});
    EXPECT_EQ(base.widthBytes, 72);
    EXPECT_LT(base.rows, 400);  // blank tail cut on receipt paper
    // Reduction 50 %: half the width, about half the rows.
    const Shape half = PrintShape(mono, {{38, 1}, {40, 2}});
    EXPECT_EQ(half.widthBytes, 36);
    EXPECT_NEAR(half.rows, base.rows / 2, 2);
    // Top crop 10 and bottom crop 5: one row more at the top, one fewer at the bottom.
    const Shape cropped = PrintShape(mono, {{23, 1}, {24, 10}, {25, 1}, {26, 5}});
    EXPECT_EQ(cropped.rows, base.rows - 11 - 4);
    // A quarter turn: the kept page length equals the paper width, then turned.
    const Shape turned = PrintShape(mono, {{21, 1}});
    EXPECT_EQ(turned.rows, 576);
    // Dithering an 8-bit page by error diffusion prints the same shape in one plane.
    const Shape dithered = PrintShape(grey, {{34, 1}, {36, 1}});
    EXPECT_EQ(dithered.widthBytes, 72);
    EXPECT_GT(dithered.rows, 0);
}

TEST_F(PageSettingsTest, TicketPaperKeepsTheWholePage) {
    const std::string paper = R"({"width": 576, "height": 400, "bpp": 1, "band": 64})";
    SetMisc({{31, 1}});
    const std::string job = R"({"paper": )" + paper +
                            R"(, "devmode": {"source": "ticket"}, "pages": [{"items": [)" + kItems +
                            "]}]}";
    testing_support::WriteFile(dir.path() / "ticket.json", job);
    const fs::path out = dir.path() / "ticket.bin";
    auto r = Kv580({"print", (dir.path() / "ticket.json").string(), "--out", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(DecodeRaster(testing_support::ReadFile(out)).rows(), 400);
}

}  // namespace
