// Page preparation: reduction rate, the crops, sorting of picture rectangles, the half-turn
// device-text mirror, the dump file name, and whole pages through CreateImageData.
#include "page/page_preparation.h"

#include "page/band_capture.h"
#include "page_fixture.h"
#include "text_records.h"
#include "win32/clock.h"

namespace page_test {
namespace {

class PreparationTest : public PageTest {};

TEST_F(PreparationTest, ReduceRateTable) {
    struct Case {
        int b38, b40, b41;
        float rate;
        int stored41;
    } cases[] = {
        {0, 2, 50, 1.0f, 50}, {1, 0, 50, 1.0f, 50},   {1, 1, 50, 0.75f, 50},
        {1, 2, 50, 0.5f, 50}, {1, 3, 50, 0.25f, 50},  {1, 4, 60, 0.6f, 60},
        {1, 4, 5, 0.1f, 10},  {1, 4, 150, 1.0f, 100}, {1, 9, 50, 1.0f, 50},
    };
    for (const auto& c : cases) {
        settings()[38] = static_cast<BYTE>(c.b38);
        settings()[40] = static_cast<BYTE>(c.b40);
        settings()[41] = static_cast<BYTE>(c.b41);
        EXPECT_FLOAT_EQ(PageReduceRate(state), c.rate) << c.b38 << " " << c.b40 << " " << c.b41;
        EXPECT_EQ(settings()[41], c.stored41);
    }
}

TEST(ScaledValue, RoundsHalfUp) {
    EXPECT_EQ(ScaledValue(2100, 0.5f), 1050u);
    EXPECT_EQ(ScaledValue(101, 0.5f), 51u);
    EXPECT_EQ(ScaledValue(3, 0.25f), 1u);
    EXPECT_EQ(ScaledValue(7, 1.0f), 7u);
}

TEST_F(PreparationTest, SortImageRectsIsStableByTop) {
    SetImageRects({{1, 40, 2, 50}, {1, 10, 2, 20}, {3, 40, 4, 60}, {1, 5, 2, 8}});
    ASSERT_EQ(SortImageRects(state->pImgRectBufStart, state->dwImgRectBufSize), 1);
    std::vector<std::pair<int, int>> order;  // (top, left)
    for (DWORD i = 0; i < 4; ++i) {
        const BYTE* r = state->pImgRectBufStart + i * 8;
        order.emplace_back(r[2] | r[3] << 8, r[0]);
    }
    EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{5, 1}, {10, 1}, {40, 1}, {40, 3}}));
}

TEST_F(PreparationTest, SortImageRectsPlacesTheNextRecordBeforeAnEmptyLookingOne) {
    // A record with left and right both 0 counts as an empty slot.
    SetImageRects({{0, 10, 0, 20}, {1, 30, 2, 40}});
    ASSERT_EQ(SortImageRects(state->pImgRectBufStart, state->dwImgRectBufSize), 1);
    EXPECT_EQ(state->pImgRectBufStart[2], 30);
    EXPECT_EQ(state->pImgRectBufStart[10], 10);
}

TEST_F(PreparationTest, SortImageRectsWithoutMemoryLeavesTheList) {
    SetImageRects({{1, 40, 2, 50}, {1, 10, 2, 20}});
    platform::FailAllocation(1);
    EXPECT_EQ(SortImageRects(state->pImgRectBufStart, state->dwImgRectBufSize), 0);
    platform::ResetAllocationFaults();
    EXPECT_EQ(state->pImgRectBufStart[2], 40);
}

TEST_F(PreparationTest, HalfTurnMirrorsAndReversesDeviceText) {
    auto a = DeviceRecord(FTYPE_DEVICE_FONT, 24, 100, "AA", "x");
    auto b = DeviceRecord(FTYPE_DEVICE_BARCODE, 0, 300, "BBBB");
    std::vector<BYTE> buf = a;
    buf.insert(buf.end(), b.begin(), b.end());
    SetBuffer(state->pDevTxtBufStart, state->dwDevTxtBufSize, buf);
    EXPECT_EQ(RePositionDevTxt_R180(state->pDevTxtBufStart, state->dwDevTxtBufSize, 1000), 0);
    const BYTE* p = state->pDevTxtBufStart;
    EXPECT_EQ(p[0], FTYPE_DEVICE_BARCODE);
    EXPECT_EQ(TxtRecWord(p, kTxtRecY), 700);
    p += TxtRecLength(p);
    EXPECT_EQ(p[0], FTYPE_DEVICE_FONT);
    EXPECT_EQ(TxtRecWord(p, kTxtRecY), 900);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 21), 3), "AAx");
}

TEST_F(PreparationTest, BottomBlankAreaIsCutBelowTheLastContentRow) {
    struct Case {
        bool text;
        DWORD bottomText;
        DWORD rows;
    } cases[] = {{false, 0, 502}, {true, 800, 802}, {true, 300, 502}, {true, 5000, 2000}};
    for (const auto& c : cases) {
        CxImage image;
        MakeMono(image, 64, 2000, [](DWORD x, DWORD y) { return y == 500 && x == 63; });
        settings()[31] = 0;
        state->bBlankBand = 1;
        state->dwBlankHeight = 256;
        state->dwBlankSize = 99;
        LocalFree(state->pTxtBufStart);
        state->pTxtBufStart = c.text ? static_cast<PBYTE>(LocalAlloc(LPTR, 1)) : nullptr;
        state->dwBottomTxtCoordinate = c.bottomText;
        EXPECT_EQ(CropBottomBlankArea(&devobj, &image), 1);
        EXPECT_EQ(image.GetHeight(), c.rows) << c.bottomText;
        EXPECT_EQ(ImageRows(image, 500, 1)[0].back(), '#');
        EXPECT_EQ(state->bBlankBand, 0);
        EXPECT_EQ(state->dwBlankHeight, 0u);
        EXPECT_EQ(state->dwBlankSize, 0u);
    }
}

TEST_F(PreparationTest, BlankPageAndTicketPaperAreNotCut) {
    CxImage image;
    MakeMono(image, 64, 300, [](DWORD x, DWORD y) { return x == 0 && y == 0; });
    state->bBlankBand = 1;
    EXPECT_EQ(CropBottomBlankArea(&devobj, &image), 0);  // content only in row 0
    EXPECT_EQ(image.GetHeight(), 300u);
    EXPECT_EQ(state->bBlankBand, 1);
    settings()[31] = 1;
    MakeMono(image, 64, 300, [](DWORD, DWORD y) { return y == 10; });
    EXPECT_EQ(CropBottomBlankArea(&devobj, &image), 0);
    EXPECT_EQ(image.GetHeight(), 300u);
}

TEST_F(PreparationTest, TopAndBottomCropCase2) {
    struct Case {
        int top, bottom;
        DWORD first, rows;
    } cases[] = {{10, 0, 11, 89}, {0, 5, 1, 95}, {10, 5, 11, 85}};
    for (const auto& c : cases) {
        CxImage image;
        MakeMono(image, 32, 100, RowNumberDot);
        settings()[23] = c.top != 0;
        settings()[24] = static_cast<BYTE>(c.top);
        settings()[25] = c.bottom != 0;
        settings()[26] = static_cast<BYTE>(c.bottom);
        EXPECT_EQ(CropImageTopAndBottom(&devobj, &image, 32, 100, 100), 1);
        ASSERT_EQ(image.GetHeight(), c.rows);
        EXPECT_EQ(RowNumberOf(ImageRows(image, 0, 1)[0]), static_cast<int>(c.first));
    }
}

TEST_F(PreparationTest, TopAndBottomCropThatLeavesNothingFails) {
    CxImage image;
    MakeMono(image, 32, 100, RowNumberDot);
    settings()[23] = 1;
    settings()[24] = 60;
    settings()[25] = 1;
    settings()[26] = 40;
    EXPECT_EQ(CropImageTopAndBottom(&devobj, &image, 32, 100, 100), 0);
    EXPECT_EQ(image.GetHeight(), 100u);
}

TEST_F(PreparationTest, QuarterTurnPageIsCutToThePaperWidth) {
    CxImage image;
    MakeMono(image, 576, 2000, RowNumberDot);
    settings()[21] = 1;
    state->bBlankBand = 1;
    EXPECT_EQ(CropImageTopAndBottom(&devobj, &image, 576, 2000, 2000), 1);
    ASSERT_EQ(image.GetHeight(), 576u);
    EXPECT_EQ(RowNumberOf(ImageRows(image, 0, 1)[0]), 1);
    EXPECT_EQ(RowNumberOf(ImageRows(image, 575, 1)[0]), 576);
    EXPECT_EQ(state->bBlankBand, 0);
}

TEST_F(PreparationTest, DumpFileNameCarriesDateTimeAndJob) {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 12;
    t.wHour = 14;
    t.wMinute = 5;
    platform::SetFakeTime(t);
    WCHAR path[MAX_PATH];
    PageDumpFileName(42, path, MAX_PATH);
    platform::SetFakeTime(std::nullopt);
    EXPECT_EQ(std::u16string(path), u"c:\\temp\\LBR-KV580\\LBR-KV580_0312_1405_00042.bmp");
}

// A page captured as one 1-bpp band of the plug-in's page format (0 black, 1 white).
void CapturePage(POEMPDEV state, const CxImage& page) {
    const DWORD w = page.GetWidth();
    const DWORD h = page.GetHeight();
    const DWORD eff = CxImageEffWidth(w, 1);
    std::vector<BYTE> bits(static_cast<size_t>(eff) * h, 0xFF);
    for (DWORD y = 0; y < h; ++y) {
        for (DWORD x = 0; x < w; ++x) {
            const RGBQUAD c = page.GetPixelColor(static_cast<long>(x), static_cast<long>(y));
            if (c.rgbRed < 128) bits[y * eff + x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
        }
    }
    PageTest::SetBuffer(state->pBufStart, state->dwBufSize, bits);
    std::vector<BYTE> table = {0, 0, 0, 0, 255, 255, 255, 0};
    PageTest::SetBuffer(state->pColorTable, state->dwBufSize, table);
    state->dwBufSize = static_cast<DWORD>(bits.size());
    state->dwColorTableEntries = 2;
    state->bmInfoHeader = {};
    state->bmInfoHeader.biSize = 40;
    state->bmInfoHeader.biWidth = static_cast<LONG>(w);
    state->bmInfoHeader.biHeight = static_cast<LONG>(h);
    state->bmInfoHeader.biPlanes = 1;
    state->bmInfoHeader.biBitCount = 1;
    state->bmInfoHeader.biSizeImage = static_cast<DWORD>(bits.size());
}

TEST_F(PreparationTest, CreateImageDataPrintsThePageAndCutsTheBlankTail) {
    CxImage page;
    MakeMono(page, 96, 300, [](DWORD x, DWORD y) { return y < 120 && RowNumberDot(x, y); });
    CapturePage(state, page);
    settings()[31] = 0;   // blank tail may be cut
    settings()[35] = 10;  // brightness unchanged
    settings()[36] = 1;
    ASSERT_EQ(CreateImageData(plugin, &devobj), S_OK);
    EXPECT_EQ(state->pBufStart, nullptr);  // released once decoded
    auto rows = DecodedRows(Output(), 96);
    ASSERT_EQ(rows.size(), 121u);  // last content row 119, plus one row
    EXPECT_EQ(rows, ImageRows(page, 0, 121));
}

TEST_F(PreparationTest, CreateImageDataHalfTurn) {
    CxImage page;
    MakeMono(page, 64, 50, RowNumberDot);
    CapturePage(state, page);
    settings()[31] = 1;  // ticket paper, receipt not selected: no cut
    settings()[21] = 2;
    settings()[35] = 10;
    ASSERT_EQ(CreateImageData(plugin, &devobj), S_OK);
    auto rows = DecodedRows(Output(), 64);
    ASSERT_EQ(rows.size(), 50u);
    // Row 0 printed is the page's last row, mirrored left to right.
    std::string last = ImageRows(page, 49, 1)[0];
    EXPECT_EQ(rows[0], std::string(last.rbegin(), last.rend()));
}

TEST_F(PreparationTest, CreateImageDataOfAnUndecodablePageFails) {
    CxImage page;
    MakeMono(page, 64, 10, RowNumberDot);
    CapturePage(state, page);
    state->bmInfoHeader.biBitCount = 3;  // no such depth
    state->bmInfoHeader.biWidth = 0;
    EXPECT_EQ(CreateImageData(plugin, &devobj), E_FAIL);
    EXPECT_EQ(plugin->m_dwTotalBufSize, 0u);
}

TEST_F(PreparationTest, ReducedPageKeepsRowsUpToTheLowestPicture) {
    CxImage page;
    MakeMono(page, 64, 400, [](DWORD, DWORD y) { return y == 10; });
    CapturePage(state, page);
    settings()[31] = 1;
    settings()[35] = 10;
    settings()[38] = 1;
    settings()[40] = 2;  // 50 %
    SetImageRects({{1, 0, 60, 420}});
    ASSERT_EQ(CreateImageData(plugin, &devobj), S_OK);
    auto rasters = Rasters(Output());
    int rows = 0;
    for (const auto& r : rasters) rows += r.rows;
    EXPECT_EQ(rows, 200);
    EXPECT_EQ(rasters[0].widthBytes, 4);  // 32 dots
}

}  // namespace
}  // namespace page_test
