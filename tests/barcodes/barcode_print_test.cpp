// Barcodes end to end: a job script with the barcode data as a text item in a barcode font,
// printed with the real `kv580 print` on a fresh root, barcode records set with
// `kv580 printer-data`. The spooled bytes are checked where bytes are the contract, and what
// the emulator draws from them is read back with zxing-cpp, an independent decoder.
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "test_support.h"

namespace {

using testing_support::FromHex;
using testing_support::ReadFile;
using testing_support::RunKv580;
using testing_support::TempDir;
using testing_support::ToHex;
using testing_support::WriteFile;

constexpr const char* kPrinter = "KV580 Receipt";

// The settings the device state falls back to, with the changes a test asks for.
std::string MiscHex(std::initializer_list<std::pair<int, int>> changes) {
    int bytes[44] = {};
    for (int i : {2, 4, 7, 9, 11, 13}) bytes[i] = 25;
    bytes[5] = bytes[19] = bytes[20] = bytes[36] = 1;
    bytes[35] = 10;
    for (auto [index, value] : changes) bytes[index] = value;
    std::string hex;
    static const char* digits = "0123456789ABCDEF";
    for (int b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

struct Printed {
    std::string bytes;  // what the printer received
    emulator::Receipt receipt;
};

class BarcodePrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.path().string();
        ASSERT_EQ(RunKv580({"--root", root, "root", "init"}).exitCode, 0);
        auto r = RunKv580({"--root", root, "printer", "add", kPrinter});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    void SetData(const std::string& value, const std::string& hex) {
        auto r = RunKv580({"--root", root, "printer-data", kPrinter, "set", value, "--hex", hex});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    // Prints one page: the text in the font at (x, 8), and a rule further down so the page
    // image reaches below the barcode.
    Printed Print(const std::string& font, const std::string& text, int x) {
        const std::string job =
            "{\"pages\": [{\"items\": [{\"type\": \"text\", \"text\": " + JsonString(text) +
            ", \"font\": " + JsonString(font) + ", \"x\": " + std::to_string(x) +
            ", \"y\": 8}, {\"type\": \"rect\", \"x\": 0, \"y\": 600, \"width\": 576, "
            "\"height\": 2}]}]}";
        WriteFile(dir.path() / "job.json", job);
        const auto out = dir.path() / "out.prn";
        auto r = RunKv580({"--root", root, "print", (dir.path() / "job.json").string(), "--printer",
                           kPrinter, "--out", out.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        Printed printed;
        printed.bytes = ReadFile(out);
        const std::vector<uint8_t> input(printed.bytes.begin(), printed.bytes.end());
        printed.receipt = emulator::Emulate(input, {}).receipt;
        return printed;
    }

    TempDir dir;
    std::string root;
};

bool Contains(const std::string& bytes, const std::string& hex) {
    return bytes.find(FromHex(hex)) != std::string::npos;
}

std::string Hex(const std::string& text) {
    return ToHex(text);
}

// The barcodes and symbols the emulator put on the paper.
std::vector<emulator::DrawnObject> Symbols(const Printed& printed) {
    std::vector<emulator::DrawnObject> symbols;
    for (const auto& object : printed.receipt.objects) {
        if (object.kind == "barcode" || object.kind == "symbol") symbols.push_back(object);
    }
    return symbols;
}

// Reads the symbol from the picture; small modules (2 dots) are read from the picture
// enlarged twice, as a scanner would see the paper close up.
std::string ReadBack(const Printed& printed, ZXing::BarcodeFormat format) {
    const auto& p = printed.receipt.picture;
    const auto hints = ZXing::DecodeHints().setFormats(format).setTryHarder(true);
    ZXing::ImageView view(p.pixels.data(), p.width, p.height, ZXing::ImageFormat::Lum);
    auto result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) {
        std::vector<uint8_t> big(static_cast<size_t>(p.width) * p.height * 4);
        for (int y = 0; y < 2 * p.height; ++y) {
            for (int x = 0; x < 2 * p.width; ++x) {
                big[static_cast<size_t>(y) * 2 * p.width + x] = p.at(x / 2, y / 2);
            }
        }
        ZXing::ImageView bigView(big.data(), 2 * p.width, 2 * p.height, ZXing::ImageFormat::Lum);
        result = ZXing::ReadBarcode(bigView, hints);
    }
    return result.isValid() ? result.text() : std::string("(unreadable)");
}

bool HasSymbolCommands(const std::string& bytes) {
    return bytes.find(FromHex("1D 6B")) != std::string::npos ||
           bytes.find(FromHex("1D 28 6B")) != std::string::npos;
}

TEST_F(BarcodePrintTest, UpcAPrintsAtItsPosition) {
    const Printed p = Print("UPC-A", "01234567890", 40);
    EXPECT_TRUE(Contains(p.bytes, "1D 77 02 1D 68 32 00 00 00 00 00 00 1B 24 28 00 1D 6B 41 0B " +
                                      Hex("01234567890") + " 00"))
        << ToHex(p.bytes);
    EXPECT_EQ(ReadBack(p, ZXing::BarcodeFormat::UPCA), "012345678905");
}

struct Code128Case {
    const char* text;
    const char* fieldB;
    const char* readBack;  // null: only the bytes are checked
};

class Code128PrintTest : public BarcodePrintTest,
                         public ::testing::WithParamInterface<Code128Case> {};

TEST_P(Code128PrintTest, SubsetCPackingThroughThePrinter) {
    const Printed p = Print("Code128", GetParam().text, 0);
    EXPECT_TRUE(Contains(p.bytes, "1B 24 00 00 " + std::string(GetParam().fieldB) + " 00"))
        << ToHex(p.bytes);
    if (GetParam().readBack != nullptr) {
        EXPECT_EQ(ReadBack(p, ZXing::BarcodeFormat::Code128), GetParam().readBack);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Code128PrintTest,
    ::testing::Values(Code128Case{"{C123456", "1D 6B 49 05 7B 43 0C 22 38", "123456"},
                      Code128Case{"{C12345", "1D 6B 49 07 7B 43 31 32 33 34 35", nullptr},
                      Code128Case{"{B1234", "1D 6B 49 06 7B 42 31 32 33 34", "1234"}));

TEST_F(BarcodePrintTest, UserBarcodeAtHalfRate) {
    // Reduction on (byte 38), 50 % (byte 40), barcodes reduced too (byte 39).
    SetData("MISC", MiscHex({{38, 1}, {39, 1}, {40, 2}}));
    const Printed p = Print("Barcode1", "01234567890", 100);
    EXPECT_TRUE(Contains(p.bytes, "1D 77 02 1D 68 19 1D 48 00 1D 66 00 1B 24 32 00 1D 6B 41 0B"))
        << ToHex(p.bytes);
    EXPECT_EQ(ReadBack(p, ZXing::BarcodeFormat::UPCA), "012345678905");
}

TEST_F(BarcodePrintTest, Barcode7WithoutBarcodeInfoIsCodabar) {
    const Printed p = Print("Barcode7", "A40156B", 16);
    EXPECT_TRUE(Contains(
        p.bytes, "1D 77 03 1D 68 32 1D 48 00 1D 66 00 1B 24 10 00 1D 6B 47 07 " + Hex("A40156B")))
        << ToHex(p.bytes);
    EXPECT_EQ(ReadBack(p, ZXing::BarcodeFormat::Codabar), "40156");
}

TEST_F(BarcodePrintTest, BarcodeInfoRecordsAndLimits) {
    // 45 bytes, read whole. Barcode1: width 9 (sent as 6); Barcode2: width 1 (sent as 2);
    // Barcode9: Code39, width 2, height 60, HRI below in font B.
    std::string info;
    const char* records[] = {"00 09 28 00 00", "00 01 28 00 00", "00 03 32 00 00",
                             "00 03 32 00 00", "00 03 32 00 00", "00 03 32 00 00",
                             "00 03 32 00 00", "00 03 32 00 00", "04 02 3C 02 01"};
    for (const char* r : records) info += std::string(r) + " ";
    SetData("BarcodeInfo", info);
    EXPECT_TRUE(Contains(Print("Barcode1", "01234567890", 0).bytes, "1D 77 06 1D 68 28"));
    EXPECT_TRUE(Contains(Print("Barcode2", "01234567890", 0).bytes, "1D 77 02 1D 68 28"));
    const Printed p = Print("Barcode9", "KV-580", 0);
    EXPECT_TRUE(Contains(
        p.bytes, "1D 77 02 1D 68 3C 1D 48 02 1D 66 01 1B 24 00 00 1D 6B 45 06 " + Hex("KV-580")))
        << ToHex(p.bytes);
    EXPECT_EQ(ReadBack(p, ZXing::BarcodeFormat::Code39), "KV-580");
}

TEST_F(BarcodePrintTest, QrCodeAtFullSize) {
    const Printed p = Print("QR Code", "ABC", 8);
    EXPECT_TRUE(Contains(p.bytes,
                         "1B 24 08 00 1D 28 6B 04 00 31 41 32 00 1D 28 6B 03 00 31 43 03 1D 28 6B "
                         "03 00 31 45 30 1D 28 6B 06 00 31 50 30 41 42 43 1D 28 6B 03 00 31 51 30 "
                         "00"))
        << ToHex(p.bytes);
    EXPECT_EQ(ReadBack(p, ZXing::BarcodeFormat::QRCode), "ABC");
}

TEST_F(BarcodePrintTest, Pdf417Defaults) {
    const Printed p = Print("PDF417", "PDF-417 receipt 42", 0);
    EXPECT_TRUE(Contains(p.bytes,
                         "1B 24 00 00 1D 28 6B 03 00 30 41 00 1D 28 6B 03 00 30 42 00 1D 28 6B 03 "
                         "00 30 43 03 1D 28 6B 03 00 30 44 03 1D 28 6B 04 00 30 45 30 30 1D 28 6B "
                         "03 00 30 46 00 1D 28 6B 15 00 30 50 30 " +
                             Hex("PDF-417 receipt 42")))
        << ToHex(p.bytes);
    EXPECT_EQ(ReadBack(p, ZXing::BarcodeFormat::PDF417), "PDF-417 receipt 42");
}

TEST_F(BarcodePrintTest, MaxiCodeModes) {
    struct Case {
        const char* font;
        const char* mode;
    };
    for (const Case& c : {Case{"MAXI Code[Mode2]", "32"}, Case{"MAXI Code", "34"}}) {
        const Printed p = Print(c.font, "123456789", 0);
        EXPECT_TRUE(Contains(p.bytes, std::string("1B 24 00 00 1D 28 6B 03 00 32 41 ") + c.mode +
                                          " 1D 28 6B 0C 00 32 50 30"))
            << c.font << ": " << ToHex(p.bytes);
        ASSERT_EQ(Symbols(p).size(), 1u) << c.font;
        EXPECT_EQ(Symbols(p)[0].symbology, "MaxiCode");
    }
}

TEST_F(BarcodePrintTest, MaxiCodeRecordWithoutModeUsesModeFour) {
    // "2D-Code1" as MaxiCode with byte 10 = 0, as the user interface's own records hold it.
    std::string data = "05 00 03 00 03 00 00 01 03 00 00 03 00 02 02 02 00 00 00 00 ";
    for (int i = 1; i < 8; ++i)
        data += "00 00 03 00 03 00 00 01 03 00 34 03 00 02 02 02 00 00 00 00 ";
    SetData("CodeData", data);
    const Printed p = Print("2D-Code1", "123456789", 0);
    EXPECT_TRUE(Contains(p.bytes, "1D 28 6B 03 00 32 41 34 1D 28 6B 0C 00 32 50 30"))
        << ToHex(p.bytes);
}

TEST_F(BarcodePrintTest, DataMatrixAtHalfRate) {
    SetData("MISC", MiscHex({{38, 1}, {39, 1}, {40, 2}}));
    const Printed p = Print("DATAMATRIX", "LBR-KV580 0001", 64);
    EXPECT_TRUE(Contains(p.bytes, "1B 24 20 00 1D 28 6B 03 00 3D 43 02 1D 28 6B 11 00 3D 50 30"))
        << ToHex(p.bytes);
    // zxing-cpp does not find DataMatrix symbols of 2-dot modules here; the emulator's own
    // account of what it drew stands in.
    ASSERT_EQ(Symbols(p).size(), 1u);
    EXPECT_EQ(Symbols(p)[0].symbology, "DataMatrix");
    EXPECT_EQ(Symbols(p)[0].status, "drawn");
    EXPECT_EQ(Symbols(p)[0].width, 32);  // 16 modules of 2 dots
    EXPECT_EQ(Symbols(p)[0].data, "LBR-KV580 0001");
}

TEST_F(BarcodePrintTest, DataBarFromDefaultCodeData) {
    const Printed p = Print("2D-Code4", "0123456789012", 0);
    EXPECT_TRUE(
        Contains(p.bytes, "1B 24 00 00 1D 28 6B 03 00 33 43 02 1D 28 6B 11 00 33 50 30 48 " +
                              Hex("0123456789012") + " 1D 28 6B 03 00 33 51 30 00"))
        << ToHex(p.bytes);
    ASSERT_EQ(Symbols(p).size(), 1u);
    EXPECT_EQ(Symbols(p)[0].symbology, "GS1 DataBar");
}

TEST_F(BarcodePrintTest, CompositeSendsTheDataTwice) {
    const Printed p = Print("2D-Code5", "0123456789", 0);
    EXPECT_TRUE(Contains(p.bytes, "1D 28 6B 0F 00 34 50 30 30 43 " + Hex("0123456789") +
                                      " 1D 28 6B 0F 00 34 50 30 31 41 " + Hex("0123456789") +
                                      " 1D 28 6B 03 00 34 51 30 00"))
        << ToHex(p.bytes);
}

TEST_F(BarcodePrintTest, NamesOutsideTheTablePrintNoBarcode) {
    for (const char* font : {"Barcode12", "2D-Code0", "QR Code2"}) {
        const Printed p = Print(font, "12345", 0);
        EXPECT_FALSE(HasSymbolCommands(p.bytes)) << font;
        EXPECT_TRUE(Symbols(p).empty()) << font;
    }
}

TEST_F(BarcodePrintTest, OneDDataLongerThanAByteMakesNoBarcode) {
    const Printed fits = Print("Code39", std::string(255, '7'), 0);
    EXPECT_TRUE(Contains(fits.bytes, "1D 6B 45 FF")) << "255 bytes still fit";
    const Printed p = Print("Code39", std::string(300, '7'), 0);
    EXPECT_FALSE(HasSymbolCommands(p.bytes));
    // No stray data bytes taken for commands: the digits never reach the printer.
    EXPECT_EQ(p.bytes.find(std::string(40, '7')), std::string::npos);
}

TEST_F(BarcodePrintTest, LongTwoDData) {
    // A long run is sent whole with its 16-bit length: 16000 bytes, store command 16003.
    const Printed fits = Print("PDF417", std::string(16000, 'A'), 0);
    EXPECT_TRUE(Contains(fits.bytes, "1D 28 6B 83 3E 30 50 30 41 41"));
    // Longer runs never reach the printer in pieces: no code and none of the data is sent.
    // (The device-font dispatcher takes runs of at most 16000 characters; data beyond the
    // 16-bit store length is refused by the 2D builder itself, see the unit tests.)
    const Printed p = Print("PDF417", std::string(70000, 'A'), 0);
    EXPECT_FALSE(HasSymbolCommands(p.bytes));
    EXPECT_EQ(p.bytes.find(std::string(40, 'A')), std::string::npos);
}

TEST_F(BarcodePrintTest, RecordsOfTheWrongSize) {
    // Too long: read as missing, so the defaults stand ("Barcode7" = Codabar, "2D-Code4" =
    // DataBar). Too short: the bytes that are there are used, the rest reads as zero.
    SetData("BarcodeInfo", std::string(66 * 3, '4'));  // 66 bytes of 0x44
    SetData("CodeData", "03 " + std::string(200 * 3, '1'));
    EXPECT_TRUE(Contains(Print("Barcode7", "A40156B", 0).bytes, "1D 77 03 1D 68 32 1D 48 00"));
    EXPECT_TRUE(Contains(Print("2D-Code4", "0123456789012", 0).bytes, "1D 28 6B 03 00 33 43 02"));

    SetData("BarcodeInfo", "02 04");  // "Barcode1": EAN13, width 4, the rest zero
    SetData("CodeData", "01");        // "2D-Code1": QR Code, every option zero
    const Printed p1 = Print("Barcode1", "401234567890", 0);
    EXPECT_TRUE(Contains(p1.bytes, "1D 77 04 1D 68 01 1D 48 00 1D 66 00 1B 24 00 00 1D 6B 43 0C"))
        << ToHex(p1.bytes);
    const Printed p2 = Print("Barcode5", "01234567890", 0);
    EXPECT_TRUE(Contains(p2.bytes, "1D 77 02 1D 68 01 1D 48 00 1D 66 00 1B 24 00 00 1D 6B 41 0B"));
    const Printed p3 = Print("2D-Code1", "ABC", 0);
    EXPECT_TRUE(Contains(p3.bytes,
                         "1D 28 6B 04 00 31 41 31 00 1D 28 6B 03 00 31 43 00 1D 28 6B "
                         "03 00 31 45 30 1D 28 6B 06 00 31 50 30"))
        << ToHex(p3.bytes);
}

}  // namespace
