// The decoder: command streams built by hand -> the command listing.
#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "stream_builder.h"

namespace {

using emulator::Command;
using emulator::CommandKind;
using emulator::CommandStatus;
using namespace emulator_test;

std::vector<CommandKind> Kinds(const std::vector<Command>& commands) {
    std::vector<CommandKind> kinds;
    for (const auto& c : commands) kinds.push_back(c.kind);
    return kinds;
}

// Every byte belongs to exactly one command, in order.
void ExpectCoverage(const std::vector<Command>& commands, size_t size) {
    size_t next = 0;
    for (const auto& c : commands) {
        ASSERT_EQ(c.offset, next);
        ASSERT_GT(c.length, 0u);
        next += c.length;
    }
    EXPECT_EQ(next, size);
}

TEST(Decoder, StartOfJobIsResetAndSelect) {
    auto commands = emulator::Decode(B({0x1B, 0x40, 0x1B, 0x3D, 0x01}));
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].kind, CommandKind::Initialize);
    EXPECT_EQ(commands[1].kind, CommandKind::SelectPeripheral);
    EXPECT_EQ(commands[1].arg("n"), 1);
}

TEST(Decoder, PageEndFeedSequenceWithPageMarker) {
    Bytes stream = B({0x00, 0x1B, 0x33, 0x00, 0x00, 0x0A, 0x1B, 0x4A, 0x00, 0x1B, 0x32, 0x0C, 0x00,
                      0x08, 0x01, 0x00});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    EXPECT_EQ(Kinds(commands),
              (std::vector<CommandKind>{CommandKind::Nul, CommandKind::LineSpacing,
                                        CommandKind::Nul, CommandKind::LineFeed,
                                        CommandKind::PrintAndFeed, CommandKind::DefaultLineSpacing,
                                        CommandKind::FormFeed, CommandKind::PageMarker}));
    EXPECT_EQ(commands.back().arg("page"), 1);
    EXPECT_EQ(commands.back().note, "page 1");
}

TEST(Decoder, CutSequenceNamesTheCutAndPage300) {
    Bytes stream = B({0x00, 0x1B, 0x33, 0x00, 0x00, 0x0A, 0x1D, 0x56, 0x42, 0x00, 0x1B, 0x32, 0x00,
                      0x08, 0x2C, 0x01});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    const Command& cut = commands[4];
    EXPECT_EQ(cut.kind, CommandKind::Cut);
    EXPECT_EQ(cut.arg("m"), 66);
    EXPECT_EQ(cut.arg("n"), 0);
    EXPECT_EQ(cut.note, "feed to the cutter and partial cut");
    EXPECT_EQ(commands.back().kind, CommandKind::PageMarker);
    EXPECT_EQ(commands.back().arg("page"), 300);
}

// Page 77 is 00 08 4D 00, which must not be read as the font select 08 4D 00 L.
TEST(Decoder, PageMarkerIsReadOnlyRightAfterTheFeedSequence) {
    Bytes stream =
        B({0x1B, 0x32, 0x00, 0x08, 0x4D, 0x00, 0x1B, 0x40, 0x00, 0x08, 0x4D, 0x00, 0x42});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(commands[1].kind, CommandKind::PageMarker);
    EXPECT_EQ(commands[1].arg("page"), 77);
    EXPECT_EQ(commands[3].kind, CommandKind::Nul);
    EXPECT_EQ(commands[4].kind, CommandKind::FontSelect);
    EXPECT_EQ(commands[4].arg("font"), 'B');
    EXPECT_EQ(commands[4].note, "font B");
}

TEST(Decoder, DeviceFontLine) {
    // FontA2x1, text AB, X = 100, height 24: field A, field B and the trailing NUL.
    Bytes stream = B({0x1B, 0x74, 0x10, 0x08, 0x4D, 0x00, 0x41, 0x1D, 0x21, 0x10,
                      0x1B, 0x24, 0x64, 0x00, 0x41, 0x42, 0x1B, 0x4A, 0x18, 0x00});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    EXPECT_EQ(
        Kinds(commands),
        (std::vector<CommandKind>{CommandKind::CodeTable, CommandKind::FontSelect,
                                  CommandKind::CharacterSize, CommandKind::AbsolutePosition,
                                  CommandKind::Text, CommandKind::PrintAndFeed, CommandKind::Nul}));
    EXPECT_EQ(commands[0].arg("n"), 16);
    EXPECT_EQ(commands[2].arg("width"), 2);
    EXPECT_EQ(commands[2].arg("height"), 1);
    EXPECT_EQ(commands[3].arg("position"), 100);
    EXPECT_EQ(commands[4].note, "AB");
    EXPECT_EQ(commands[5].arg("n"), 24);
}

TEST(Decoder, CodeTableChangesHowHighBytesRead) {
    auto commands = emulator::Decode(B({0x1B, 0x74, 0x10, 0x80, 0xE9, 0x1B, 0x74, 0x00, 0x82}));
    EXPECT_EQ(commands[1].note, "\u20AC\u00E9");  // CP1252
    EXPECT_EQ(commands[3].note, "\u00E9");        // CP437
}

struct TwoByteCase {
    const char* name;
    Bytes stream;
    int cjkCodePage;
    const char* text;
};

class DecoderTwoByte : public testing::TestWithParam<TwoByteCase> {};

TEST_P(DecoderTwoByte, ReadsTwoByteTextInItsCodePage) {
    emulator::Options options;
    options.cjkCodePage = GetParam().cjkCodePage;
    auto commands = emulator::Decode(GetParam().stream, options);
    std::string text;
    for (const auto& c : commands)
        if (c.kind == CommandKind::Text) text += c.note;
    EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, DecoderTwoByte,
    testing::Values(
        // Korean2x2 device font: 1C 26, 1D 21 11, 1B 24, text, 1C 2E, 1B 4A h.
        TwoByteCase{"Korean",
                    B({0x1C, 0x26, 0x1D, 0x21, 0x11, 0x1B, 0x24, 0, 0, 0xB0, 0xA1, 0x41, 0x1C, 0x2E,
                       0x1B, 0x4A, 0x18}),
                    949, "\uAC00A"},
        TwoByteCase{"Gb2312", B({0x1C, 0x26, 0xD6, 0xD0, 0xCE, 0xC4, 0x1C, 0x2E}), 936,
                    "\u4E2D\u6587"},
        TwoByteCase{"Big5", B({0x1C, 0x26, 0xA4, 0xA4, 0xA4, 0xE5, 0x1C, 0x2E}), 950,
                    "\u4E2D\u6587"},
        // Japanese: FS C 1 chooses Shift JIS whatever the option says.
        TwoByteCase{"ShiftJis",
                    B({0x1C, 0x26, 0x1C, 0x43, 0x01, 0x82, 0xA0, 0x93, 0xFA, 0x1C, 0x2E}), 936,
                    "\u3042\u65E5"},
        // Outside two-byte mode the same bytes are single characters of the code table.
        TwoByteCase{"KanjiOff", B({0x1B, 0x74, 0x10, 0xB0, 0xA1}), 949, "\u00B0\u00A1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Decoder, UncompressedRasterOf384By10) {
    Bytes stream = RasterGsV0(48, 10, Bytes(480, 0));
    ASSERT_EQ(stream.size(), 495u);
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    EXPECT_EQ(Kinds(commands),
              (std::vector<CommandKind>{CommandKind::Nul, CommandKind::PrintAndFeed,
                                        CommandKind::RasterImage, CommandKind::Nul}));
    EXPECT_EQ(commands[2].arg("width_bytes"), 48);
    EXPECT_EQ(commands[2].arg("height"), 10);
    EXPECT_EQ(commands[2].data.size(), 480u);
}

TEST(Decoder, CompressedRasterOf384By10) {
    Bytes stream =
        FromHexBytes("00 00 00 08 43 52 00 00 00 00 00 80 01 0A 00 00 FF 00 E1 08 43 52 FF 00 00");
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    ASSERT_EQ(Kinds(commands),
              (std::vector<CommandKind>{CommandKind::Nul, CommandKind::CompressedRaster,
                                        CommandKind::RasterStripEnd}));
    const Command& raster = commands[1];
    EXPECT_EQ(raster.status, CommandStatus::Ok);
    EXPECT_EQ(raster.arg("plane"), 0);
    EXPECT_EQ(raster.arg("width_dots"), 384);
    EXPECT_EQ(raster.arg("height"), 10);
    EXPECT_EQ(raster.arg("encoded_length"), 4);
    EXPECT_EQ(raster.data, Bytes(480, 0));
}

struct RleCase {
    const char* name;
    Bytes encoded;
    Bytes plane;
};

class DecoderRle : public testing::TestWithParam<RleCase> {};

TEST_P(DecoderRle, DecodesPlaneBytesExactly) {
    const auto& p = GetParam();
    Bytes stream = Cat(
        {B({0x08, 0x43, 0x52, 0x00, 0, 0, 0, 0}), Le16(p.plane.size() * 8), Le16(1), p.encoded});
    auto commands = emulator::Decode(stream);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].status, CommandStatus::Ok);
    EXPECT_EQ(commands[0].data, p.plane);
    EXPECT_EQ(commands[0].length, stream.size());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DecoderRle,
    testing::Values(RleCase{"Mixed", B({0x00, 0x03, 0x12, 0xFF, 0x02, 0x34, 0x00, 0x01}),
                            B({0x00, 0x00, 0x00, 0x12, 0xFF, 0xFF, 0x34, 0x00})},
                    RleCase{"LongRunSplit", B({0xFF, 0xFF, 0xFF, 0x05}), Bytes(260, 0xFF)},
                    RleCase{"Literals", B({0x01, 0x7F, 0xFE}), B({0x01, 0x7F, 0xFE})},
                    RleCase{"ZeroCountRun", B({0x00, 0x00, 0x55}), B({0x55})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Decoder, GreyscaleStripHasFourPlanesAndOneTerminator) {
    Bytes stream;
    for (int p = 0; p < 4; ++p)
        stream = Cat({stream, CompressedPlane(4 + p, 1, 1, B({0x80 >> p}))});
    stream = Cat({stream, StripEnd()});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    int planes = 0;
    for (const auto& c : commands) {
        if (c.kind != CommandKind::CompressedRaster) continue;
        EXPECT_EQ(c.arg("plane"), 4 + planes);
        EXPECT_EQ(c.note, "tone plane " + std::to_string(planes));
        EXPECT_EQ(c.data, B({0x80 >> planes}));
        ++planes;
    }
    EXPECT_EQ(planes, 4);
    EXPECT_EQ(commands.back().kind, CommandKind::RasterStripEnd);
}

TEST(Decoder, JobControlAndFontControlCommands) {
    struct Case {
        Bytes bytes;
        CommandKind kind;
        const char* note;
    };
    const Case cases[] = {
        {B({0x1B, 0x70, 0x00, 0x19, 0xFF}), CommandKind::DrawerPulse,
         "drawer 1 pulse, on 50 ms, off 510 ms"},
        {B({0x1B, 0x70, 0x01, 0x7D, 0xFF}), CommandKind::DrawerPulse,
         "drawer 2 pulse, on 250 ms, off 510 ms"},
        {B({0x1B, 0x42, 0x00, 0x05}), CommandKind::Beep, "beep 0 times, duration 5"},
        {B({0x1C, 0x70, 0x03, 0x00}), CommandKind::NvImageFsP, "print NV image 3"},
        {B({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, 0x30, 0x32, 0x01, 0x01}),
         CommandKind::GraphicsGsL, "print NV graphics, key \"02\""},
        {B({0x1D, 0x56, 0x01}), CommandKind::Cut, "partial cut"},
        {B({0x1D, 0x56, 0x00}), CommandKind::Cut, "full cut"},
        {B({0x1B, 0x45, 0x01}), CommandKind::Emphasis, ""},
        {B({0x1B, 0x2D, 0x01}), CommandKind::Underline, ""},
        {B({0x1B, 0x61, 0x02}), CommandKind::Justification, ""},
        {B({0x1D, 0x42, 0x01}), CommandKind::Reverse, ""},
        {B({0x1D, 0x48, 0x02}), CommandKind::HriPosition, ""},
        {B({0x1D, 0x66, 0x01}), CommandKind::HriFont, ""},
        {B({0x1D, 0x77, 0x02}), CommandKind::BarcodeModuleWidth, ""},
        {B({0x1D, 0x68, 0x32}), CommandKind::BarcodeHeight, ""},
        {B({0x09}), CommandKind::HorizontalTab, ""},
        {B({0x0D}), CommandKind::CarriageReturn, ""},
    };
    for (const auto& c : cases) {
        auto commands = emulator::Decode(c.bytes);
        ASSERT_EQ(commands.size(), 1u) << testing::PrintToString(c.bytes);
        EXPECT_EQ(commands[0].kind, c.kind) << testing::PrintToString(c.bytes);
        EXPECT_EQ(commands[0].status, CommandStatus::Ok);
        EXPECT_EQ(commands[0].note, c.note);
        EXPECT_EQ(commands[0].length, c.bytes.size());
    }
    // Function 25 of GS ( L is listed with its key but is no print function.
    auto fn25 =
        emulator::Decode(B({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x25, 0x30, 0x30, 0x01, 0x01}));
    ASSERT_EQ(fn25.size(), 1u);
    EXPECT_EQ(fn25[0].arg("fn"), 0x25);
    EXPECT_EQ(fn25[0].arg("kc2"), 0x30);
}

TEST(Decoder, OneDimensionalBarcode) {
    // Font "UPC-A", 11 digits, X = 40.
    Bytes stream = Cat({B({0x1D, 0x77, 0x02, 0x1D, 0x68, 0x32, 0,    0,    0,    0,
                           0,    0,    0x1B, 0x24, 0x28, 0x00, 0x1D, 0x6B, 0x41, 0x0B}),
                        S("01234567890"), B({0x00})});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    const Command& barcode = commands[commands.size() - 2];
    EXPECT_EQ(barcode.kind, CommandKind::Barcode);
    EXPECT_EQ(barcode.arg("m"), 65);
    EXPECT_EQ(barcode.arg("n"), 11);
    EXPECT_EQ(barcode.note, "UPC-A");
    EXPECT_EQ(barcode.data, S("01234567890"));
    // Format A: data up to a NUL.
    auto formatA = emulator::Decode(Cat({B({0x1D, 0x6B, 0x04}), S("ABC"), B({0x00})}));
    ASSERT_EQ(formatA.size(), 1u);
    EXPECT_EQ(formatA[0].note, "Code39");
    EXPECT_EQ(formatA[0].data, S("ABC"));
}

TEST(Decoder, QrCodeFieldsAAndB) {
    Bytes stream = FromHexBytes(
        "1B 24 08 00 1D 28 6B 04 00 31 41 32 00 1D 28 6B 03 00 31 43 03 1D 28 6B 03 00 31 45 30 "
        "1D 28 6B 06 00 31 50 30 41 42 43 1D 28 6B 03 00 31 51 30");
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    ASSERT_EQ(commands.size(), 6u);
    EXPECT_EQ(commands[1].note, "QR Code: model");
    EXPECT_EQ(commands[1].arg("p1"), 0x32);
    EXPECT_EQ(commands[2].note, "QR Code: module size");
    EXPECT_EQ(commands[3].note, "QR Code: error correction level");
    EXPECT_EQ(commands[4].note, "QR Code: store data");
    EXPECT_EQ(commands[4].data, S("ABC"));
    EXPECT_EQ(commands[5].note, "QR Code: print symbol");
}

TEST(Decoder, PreviewBlockIsSkippedWhole) {
    // 00 00 00 1B 40, block length 14 + 6, "ORVANEX", six file bytes (with command-like bytes).
    Bytes stream = Cat({B({0, 0, 0, 0x1B, 0x40, 20, 0}), S("ORVANEX"),
                        B({0x1D, 0x56, 0x00, 0x1B, 0x40, 0x0A}), B({0x1B, 0x40})});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[1].kind, CommandKind::PreviewBlock);
    EXPECT_EQ(commands[1].arg("file_size"), 6);
    EXPECT_EQ(commands[1].length, 17u);
    EXPECT_EQ(commands[2].kind, CommandKind::Initialize);
}

TEST(Decoder, UnknownBytesAreListedAndDecodingGoesOn) {
    Bytes stream = B({0x07, 0x1B, 0xFE, 0x08, 0x99, 0x0A});
    auto commands = emulator::Decode(stream);
    ExpectCoverage(commands, stream.size());
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0].status, CommandStatus::Unknown);
    EXPECT_EQ(commands[1].status, CommandStatus::Unknown);
    EXPECT_EQ(commands[1].mnemonic, "ESC FE");
    EXPECT_EQ(commands[2].status, CommandStatus::Unknown);
    EXPECT_EQ(commands.back().kind, CommandKind::LineFeed);
}

TEST(Decoder, TruncatedCommandsKeepWhatIsThere) {
    auto raster =
        emulator::Decode(Cat({B({0x1D, 0x76, 0x30, 0x00, 48, 0, 10, 0}), Bytes(100, 0xAA)}));
    ASSERT_EQ(raster.size(), 1u);
    EXPECT_EQ(raster[0].status, CommandStatus::Truncated);
    EXPECT_EQ(raster[0].data.size(), 100u);

    // A compressed header that promises 65535 x 65535 dots with two data bytes.
    auto huge = emulator::Decode(
        B({0x08, 0x43, 0x52, 0x00, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF}));
    ASSERT_EQ(huge.size(), 1u);
    EXPECT_EQ(huge[0].status, CommandStatus::Truncated);
    EXPECT_EQ(huge[0].data.size(), 255u);

    auto symbol = emulator::Decode(B({0x1D, 0x28, 0x6B, 0x40, 0x00, 0x31, 0x50, 0x30, 0x41}));
    ASSERT_EQ(symbol.size(), 1u);
    EXPECT_EQ(symbol[0].status, CommandStatus::Truncated);
}

// Every prefix of a stream with all kinds of commands decodes, covering every byte.
TEST(Decoder, EveryPrefixOfARichStreamDecodes) {
    Bytes stream =
        Cat({B({0x1B, 0x40, 0x1B, 0x3D, 0x01, 0x1B, 0x74, 0x10, 0x08, 0x4D, 0x00, 0x41, 0x1D, 0x21,
                0x11, 0x1B, 0x24, 0x10, 0x00}),
             S("Total"), B({0x1B, 0x4A, 0x18, 0x00}),
             CompressedPlane(0, 2, 2, B({0xFF, 0x00, 0x12, 0xFF})), StripEnd(),
             RasterGsV0(1, 2, B({0x81, 0x42})), Symbol(0x31, {}, "HELLO"),
             B({0x1D, 0x6B, 0x49, 0x04, 0x7B, 0x42, 0x41, 0x42}),
             B({0x1C, 0x26, 0xB0, 0xA1, 0x1C, 0x2E, 0x1B, 0x70, 0x00, 0x19, 0xFF, 0x00, 0x1B, 0x33,
                0x00, 0x00, 0x0A, 0x1D, 0x56, 0x42, 0x00, 0x1B, 0x32, 0x00, 0x08, 0x02, 0x00})});
    for (size_t n = 0; n <= stream.size(); ++n) {
        Bytes prefix(stream.begin(), stream.begin() + static_cast<long>(n));
        auto commands = emulator::Decode(prefix);
        ExpectCoverage(commands, n);
    }
}

}  // namespace
