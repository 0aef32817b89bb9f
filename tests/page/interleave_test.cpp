// Interleaving of image rows and device text, with device-text lists built directly.
#include "page/interleave.h"

#include "page_fixture.h"
#include "text_records.h"

namespace page_test {
namespace {

// What the output holds, in order: "rows A..B" for raster stretches (row numbers read from
// the rows themselves) and the bytes of anything else as "text <bytes>".
std::vector<std::string> Outline(const std::string& bytes, int width) {
    std::vector<std::string> out;
    for (const auto& c : DecodeCommands(bytes)) {
        if (c.kind == emulator::CommandKind::RasterImage) {
            const std::string one = bytes.substr(c.offset, c.length);
            auto rows = DecodedRows(one, width);
            out.push_back("rows " + std::to_string(RowNumberOf(rows.front())) + ".." +
                          std::to_string(RowNumberOf(rows.back())));
        } else if (c.kind == emulator::CommandKind::Text) {
            out.push_back("text " + bytes.substr(c.offset, c.length));
        }
    }
    // Strips of one stretch follow each other; join them.
    std::vector<std::string> joined;
    for (const auto& s : out) {
        if (!joined.empty() && s.rfind("rows ", 0) == 0 && joined.back().rfind("rows ", 0) == 0) {
            const auto a = joined.back().substr(5, joined.back().find("..") - 5);
            const auto b = s.substr(s.find("..") + 2);
            const auto aEnd = std::stoi(joined.back().substr(joined.back().find("..") + 2));
            if (std::stoi(s.substr(5, s.find("..") - 5)) == aEnd + 1) {
                joined.back() = "rows " + a + ".." + b;
                continue;
            }
        }
        joined.push_back(s);
    }
    return joined;
}

class InterleaveTest : public PageTest {
protected:
    void SetDeviceText(std::initializer_list<std::vector<BYTE>> records) {
        std::vector<BYTE> buf;
        for (const auto& r : records) buf.insert(buf.end(), r.begin(), r.end());
        SetBuffer(state->pDevTxtBufStart, state->dwDevTxtBufSize, buf);
    }
    std::vector<std::string> Run(DWORD height, float rate = 1.0f) {
        CxImage image;
        MakeMono(image, 32, height, RowNumberDot);
        last = AddImageAndDevFontData(plugin, &devobj, &image, rate);
        return Outline(Output(), 32);
    }
    HRESULT last = E_FAIL;
};

using Lines = std::vector<std::string>;

TEST_F(InterleaveTest, WithoutDeviceTextTheWholeImageGoes) {
    EXPECT_EQ(Run(400), (Lines{"rows 0..399"}));
    EXPECT_EQ(last, S_OK);
}

TEST_F(InterleaveTest, BlankTailIsLeftOutUnlessTrueTypeTextReachesIt) {
    struct Case {
        DWORD textY, textH;
        int topCrop;
        const char* rows;
    } cases[] = {
        {100, 20, 0, "rows 0..699"},
        {750, 30, 10, "rows 0..769"},  // 780 - 10
        {750, 30, 0, "rows 0..779"},
    };
    for (const auto& c : cases) {
        ClearOutput();
        state->bBlankBand = 1;
        state->dwBlankHeight = 300;
        state->dwLastTxt_PosY = c.textY;
        state->dwLastTxt_Height = c.textH;
        settings()[23] = c.topCrop != 0;
        settings()[24] = static_cast<BYTE>(c.topCrop);
        EXPECT_EQ(Run(1000), (Lines{c.rows})) << c.textY;
    }
}

TEST_F(InterleaveTest, DeviceLinesGoBetweenTheRowsAboveAndBelow) {
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_FONT, 24, 100, "L1", "\n"),
                   DeviceRecord(FTYPE_DEVICE_FONT, 24, 200, "L2", "\n")});
    EXPECT_EQ(Run(400),
              (Lines{"rows 0..98", "text L1", "rows 124..198", "text L2", "rows 224..399"}));
    EXPECT_EQ(last, S_OK);
}

TEST_F(InterleaveTest, LineBytesAreFieldAThenFieldBThenNul) {
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_FONT, 24, 0, "\x1b!\x01", "AB\n")});
    CxImage image;
    MakeMono(image, 32, 24, RowNumberDot);
    AddImageAndDevFontData(plugin, &devobj, &image, 1.0f);
    EXPECT_EQ(Output(), std::string("\x1b!\x01"
                                    "AB\n",
                                    6) +
                            std::string(1, '\0'));
}

TEST_F(InterleaveTest, BarcodeTakesNoRows) {
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_BARCODE, 80, 100, "BC")});
    EXPECT_EQ(Run(300), (Lines{"rows 0..98", "text BC", "rows 100..299"}));
}

TEST_F(InterleaveTest, FontControlTakesItsHeightOnlyWithoutRotation) {
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_FONT_CONTROL, 24, 100, "FC")});
    EXPECT_EQ(Run(300), (Lines{"rows 0..98", "text FC", "rows 124..299"}));
    ClearOutput();
    settings()[21] = 1;
    EXPECT_EQ(Run(300), (Lines{"rows 0..98", "text FC", "rows 100..299"}));
}

TEST_F(InterleaveTest, LinesBelowTheImageAreNotSent) {
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_FONT, 24, 500, "XX")});
    EXPECT_EQ(Run(400), (Lines{"rows 0..399"}));
}

TEST_F(InterleaveTest, PictureBesideALineIsSentAfterIt) {
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_FONT, 24, 100, "L1")});
    SetImageRects({{200, 110, 300, 150}});
    EXPECT_EQ(Run(300), (Lines{"rows 0..98", "text L1", "rows 100..113", "rows 124..299"}));
}

TEST_F(InterleaveTest, ReducedPagePlacesLinesAtScaledRows) {
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_FONT, 40, 300, "L1")});
    EXPECT_EQ(Run(300, 0.5f), (Lines{"rows 0..148", "text L1", "rows 170..299"}));
}

TEST_F(InterleaveTest, DamagedListEndsTheWalk) {
    auto r = DeviceRecord(FTYPE_DEVICE_FONT, 24, 100, "L1");
    r[17] = 0xFF;  // field A claims more bytes than the list holds
    SetDeviceText({r});
    EXPECT_EQ(Run(200), (Lines{"rows 0..199"}));
}

TEST_F(InterleaveTest, RotatedPageSendsEverythingBelowTheLastLine) {
    settings()[21] = 2;
    state->bBlankBand = 1;
    state->dwBlankHeight = 100;
    SetDeviceText({DeviceRecord(FTYPE_DEVICE_FONT, 24, 50, "L1")});
    EXPECT_EQ(Run(200), (Lines{"rows 0..48", "text L1", "rows 74..199"}));
}

}  // namespace
}  // namespace page_test
