// Text through the whole road of a print job: `kv580 print` of job scripts with text in the
// printer's resident fonts, font-control text and TrueType text, on a fresh system root.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

using namespace testing_support;

namespace {

class PrintText : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path root = dir.path() / "root";

    // Prints the script and returns the spooled bytes.
    std::string Print(const std::string& script) {
        WriteFile(dir.path() / "job.json", script);
        const std::filesystem::path out = dir.path() / "out.prn";
        RunResult r = RunKv580({"--root", root.string(), "print",
                                (dir.path() / "job.json").string(), "--out", out.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0 ? ReadFile(out) : std::string();
    }
};

std::string Page(const std::string& items, int height = 400) {
    return R"({"document": "t", "paper": {"width": 576, "height": )" + std::to_string(height) +
           R"(}, "pages": [{"items": [)" + items + "]}]}";
}

std::string Text(const std::string& text, const std::string& font, int x, int y, int height) {
    return R"({"type": "text", "text": ")" + text + R"(", "font": ")" + font + R"(", "x": )" +
           std::to_string(x) + R"(, "y": )" + std::to_string(y) + R"(, "height": )" +
           std::to_string(height) + "}";
}

// Positions of the byte strings in the output, each searched after the previous one; npos
// for one that is missing.
std::vector<size_t> InOrder(const std::string& out, const std::vector<std::string>& hexParts) {
    std::vector<size_t> at;
    size_t from = 0;
    for (const std::string& hex : hexParts) {
        const size_t p = out.find(FromHex(hex), from);
        at.push_back(p);
        if (p == std::string::npos) break;
        from = p + 1;
    }
    return at;
}

constexpr const char* kRasterRow = "08 43 52";  // start of a raster block

TEST_F(PrintText, DeviceFontLinesPrintAsCommandsAtTheirHeightsBetweenRasterRows) {
    const std::string out = Print(Page(
        Text("AB", "FontA2x1", 100, 50, 24) + "," + Text("Hello", "FontB2x2", 0, 100, 48) + "," +
        Text("\\ud55c\\uae00", "Korean1x1", 0, 200, 24) + "," +
        Text("Plain", "DejaVu Sans", 0, 300, 30) + "," + Text("(x)", "FontControl", 0, 20, 24)));
    const std::vector<std::string> expected = {
        "1B 45 00 1B 61 01 1B 45 01 00",  // font control at Y 20, then the line's 00
        kRasterRow,
        "1B 74 10 08 4D 00 41 1D 21 10 1B 24 64 00 41 42 1B 4A 18 00",  // FontA2x1 "AB" at X 100
        kRasterRow,
        "1B 74 10 08 4D 00 42 1D 21 11 1B 24 00 00 48 65 6C 6C 6F 1B 4A 30 00",  // FontB2x2
        kRasterRow,
        "1C 26 1D 21 00 1B 24 00 00 C7 D1 B1 DB 1C 2E 1B 4A 18 00",  // Korean, code page 949
        kRasterRow,  // the TrueType line is in the page raster
    };
    const std::vector<size_t> at = InOrder(out, expected);
    ASSERT_EQ(at.size(), expected.size());
    for (size_t i = 0; i < at.size(); ++i) {
        EXPECT_NE(at[i], std::string::npos) << expected[i];
    }
}

TEST_F(PrintText, DeviceFontNamesAreMatchedLikeTheFontMapperDoes) {
    const std::string out = Print(Page(Text("AB", "fonta2x1", 100, 50, 24)));
    EXPECT_NE(out.find(FromHex("1B 74 10 08 4D 00 41 1D 21 10 1B 24 64 00 41 42 1B 4A 18")),
              std::string::npos);
}

TEST_F(PrintText, TrueTypeTextIsDrawnIntoThePageRaster) {
    const std::string blank = Print(Page("", 100));
    const std::string text = Print(Page(Text("Total 12.50", "DejaVu Sans", 0, 10, 40), 100));
    EXPECT_GT(text.size(), blank.size() + 50);
    EXPECT_EQ(text.find(FromHex("1B 74")), std::string::npos);  // no device-font command
}

TEST_F(PrintText, DrawerOnlyPageSendsTheDrawerCommandOnEveryLaterPageWithoutCut) {
    const std::string out = Print(
        R"({"document": "d", "paper": {"width": 576, "height": 200}, "pages": [)"
        R"({"items": [)" +
        Text("F", "FontControl", 0, 0, 24) +
        R"(]},)"
        R"({"items": [{"type": "rect", "x": 0, "y": 0, "width": 100, "height": 10, "gray": 0}]},)"
        R"({"items": []}]})");
    const std::string drawer = FromHex("1B 70 00 19 FF");
    ASSERT_GE(out.size(), 3 * drawer.size());
    EXPECT_EQ(out.substr(out.size() - 15), drawer + drawer + drawer);
    EXPECT_EQ(out.find(drawer), out.size() - 15);  // exactly these, nothing else per page
    EXPECT_EQ(out.find(FromHex("1D 56")), std::string::npos);  // no cut
    EXPECT_EQ(out.find(FromHex(kRasterRow)), std::string::npos);
}

TEST_F(PrintText, FontControlATakesItsCommandsFromTheIniFile) {
    const std::filesystem::path folder =
        root / "Windows" / "System32" / "spool" / "prtprocs" / "x64";
    std::filesystem::create_directories(folder);
    WriteFile(folder / "LBRKV580R.INI", "[FontControlA]\n40=1B40\n43=1b61\n45=1B4501\n");
    const std::string out = Print(Page(Text("@CE", "FontControlA", 0, 30, 24)));
    EXPECT_NE(out.find(FromHex("1B 40 1B 45 01 00")), std::string::npos);
}

TEST_F(PrintText, LandscapePagesDrawDeviceFontsIntoTheRaster) {
    const std::string out = Print(
        R"({"document": "l", "paper": {"width": 576, "height": 200},)"
        R"( "devmode": {"orientation": "landscape"}, "options": {"Orientation": "LANDSCAPE_CC270"},)"
        R"( "pages": [{"items": [)" +
        Text("AB", "FontA2x1", 100, 50, 24) + "]}]}");
    EXPECT_EQ(out.find(FromHex("1B 74 10 08 4D")), std::string::npos);
    EXPECT_NE(out.find(FromHex(kRasterRow)), std::string::npos);
}

TEST_F(PrintText, BadTextPrintsNothingAndNeverFails) {
    // An empty run and an unknown barcode name (family names of 300 characters cannot be
    // written in a job script; the unit tests take them).
    const std::string out =
        Print(R"({"document": "b", "paper": {"width": 576, "height": 100}, "pages": [{"items": [)" +
              Text("", "FontA1x1", 0, 0, 24) + "," + Text("QR", "QR Code2", 0, 30, 24) + "]}]}");
    EXPECT_EQ(out.find(FromHex("1B 74")), std::string::npos);
    EXPECT_EQ(out.find(FromHex("1D 28 6B")), std::string::npos);
}

}  // namespace
