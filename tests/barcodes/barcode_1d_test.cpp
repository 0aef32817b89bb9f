// 1D barcode commands: field A, field B, scaling, limits, Code128 subset C and the data
// lengths a barcode can carry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "barcode_fixture.h"

namespace {

class Barcode1dTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&pdev, 0, sizeof(pdev));
        LoadDefaultBarcodeRecords(pdev);
        CapturedLog().clear();
    }
    void TearDown() override { platform::ResetAllocationFaults(); }
    Built Make(const char* font, const std::string& text, DWORD x = 0, float rate = 1.0f,
               DWORD bufferSize = 0) {
        return Build(Get1dCodeCommand, &pdev, font, text, GetBarcodeType(font), x, rate,
                     bufferSize);
    }
    OEMPDEV pdev;
};

TEST_F(Barcode1dTest, UpcAAtFullSize) {
    const Built b = Make("UPC-A", "01234567890", 40);
    ASSERT_EQ(b.result, 16u);
    EXPECT_EQ(Hex(b.fieldA), "1D 77 02 1D 68 32 00 00 00 00 00 00 1B 24 28 00");
    EXPECT_EQ(Hex(b.fieldB), "1D 6B 41 0B " + Hex(std::string("01234567890")));
    EXPECT_EQ(b.height, 50u);
}

TEST_F(Barcode1dTest, FixedSystemsUseTheirTypeAsM) {
    const char* names[] = {"UPC-A", "UPC-E",   "JAN13(EAN)", "JAN8 (EAN)", "Code39",
                           "ITF",   "Codabar", "Code93",     "Code128"};
    BYTE m = 0x41;
    for (const char* name : names) {
        const Built b = Make(name, "1234");
        ASSERT_EQ(b.result, 16u) << name;
        EXPECT_EQ(static_cast<BYTE>(b.fieldB[2]), m++) << name;
    }
}

struct Code128Case {
    const char* text;
    const char* fieldB;
};

class Code128Test : public Barcode1dTest, public ::testing::WithParamInterface<Code128Case> {};

TEST_P(Code128Test, SubsetCPacking) {
    const Built b = Make("Code128", GetParam().text);
    ASSERT_EQ(b.result, 16u);
    EXPECT_EQ(Hex(b.fieldB), GetParam().fieldB);
}

INSTANTIATE_TEST_SUITE_P(Texts, Code128Test,
                         ::testing::Values(Code128Case{"{C123456", "1D 6B 49 05 7B 43 0C 22 38"},
                                           // Odd length: sent as it is.
                                           Code128Case{"{C12345",
                                                       "1D 6B 49 07 7B 43 31 32 33 34 35"},
                                           // No "{C": sent as it is.
                                           Code128Case{"{B1234", "1D 6B 49 06 7B 42 31 32 33 34"},
                                           // Just "{C" (length 2): not packed.
                                           Code128Case{"{C", "1D 6B 49 02 7B 43"},
                                           Code128Case{"{C0099", "1D 6B 49 04 7B 43 00 63"}));

TEST_F(Barcode1dTest, Code128SubsetCIsLogged) {
    ASSERT_EQ(Make("Code128", "{C1234").result, 16u);
    EXPECT_TRUE(LogHas("Get1dCodeCommand : BARTYPE_CODE128 TYPE"));
    EXPECT_TRUE(LogHas("Get1dCodeCommand : CODE128 SUBSET C"));
    CapturedLog().clear();
    ASSERT_EQ(Make("Code128", "{B1234").result, 16u);
    EXPECT_TRUE(LogHas("Get1dCodeCommand : not satisfy conditions for code128 subset C."));
}

TEST_F(Barcode1dTest, UserBarcodeAtHalfRate) {
    const Built b = Make("Barcode1", "01234567890", 100, 0.5f);
    ASSERT_EQ(b.result, 16u);
    EXPECT_EQ(Hex(b.fieldA), "1D 77 02 1D 68 19 1D 48 00 1D 66 00 1B 24 32 00");
    EXPECT_EQ(Hex(b.fieldB.substr(0, 4)), "1D 6B 41 0B");
    EXPECT_EQ(b.height, 25u);
}

TEST_F(Barcode1dTest, UserRecordCarriesHriAndSystem) {
    const BYTE record[5] = {8, 4, 80, 2, 1};  // Code128, width 4, height 80, HRI below, font B
    std::memcpy(pdev.UIInfo.BarcodeInfo + 5 * 4, record, 5);
    const Built b = Make("BARCODE5", "ABC", 300);
    ASSERT_EQ(b.result, 16u);
    EXPECT_EQ(Hex(b.fieldA), "1D 77 04 1D 68 50 1D 48 02 1D 66 01 1B 24 2C 01");
    EXPECT_EQ(Hex(b.fieldB), "1D 6B 49 03 41 42 43");
    EXPECT_EQ(b.height, 80u);
}

struct LimitCase {
    BYTE width;
    BYTE height;
    float rate;
    BYTE sentWidth;
    BYTE sentHeight;
};

class Barcode1dLimitTest : public Barcode1dTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(Barcode1dLimitTest, WidthAndHeightLimits) {
    const LimitCase& c = GetParam();
    pdev.UIInfo.BarcodeInfo[1] = c.width;
    pdev.UIInfo.BarcodeInfo[2] = c.height;
    const Built b = Make("Barcode1", "12345678901", 0, c.rate);
    ASSERT_EQ(b.result, 16u);
    EXPECT_EQ(static_cast<BYTE>(b.fieldA[2]), c.sentWidth);
    EXPECT_EQ(static_cast<BYTE>(b.fieldA[5]), c.sentHeight);
    EXPECT_EQ(b.height, c.sentHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Barcode1dLimitTest,
    ::testing::Values(LimitCase{9, 50, 1.0f, 6, 50}, LimitCase{1, 50, 1.0f, 2, 50},
                      LimitCase{0, 0, 1.0f, 2, 1}, LimitCase{3, 1, 0.25f, 2, 1},
                      LimitCase{255, 255, 0.75f, 6, 191}, LimitCase{5, 255, 1.0f, 5, 255}));

TEST_F(Barcode1dTest, TypesOutsideTheOneDRangeMakeNothing) {
    for (DWORD type : {0u, 64u, 74u, 128u, 130u, 152u}) {
        CapturedLog().clear();
        const Built b = Build(Get1dCodeCommand, &pdev, "Barcode1", "123", type, 0, 1.0f);
        EXPECT_EQ(b.result, 0u) << type;
        EXPECT_TRUE(LogHas("Get1dCodeCommand : NOT SUPPORTTED BARCODE TYPE.")) << type;
    }
}

TEST_F(Barcode1dTest, BadUserNumberOrSystemMakesNothing) {
    EXPECT_EQ(Build(Get1dCodeCommand, &pdev, "Barcode12", "123", 129, 0, 1.0f).result, 0u);
    EXPECT_EQ(Build(Get1dCodeCommand, &pdev, "Barcode0", "123", 129, 0, 1.0f).result, 0u);
    pdev.UIInfo.BarcodeInfo[0] = 9;  // beyond Code128: the printer has no such system here
    EXPECT_EQ(Make("Barcode1", "123").result, 0u);
    pdev.UIInfo.BarcodeInfo[0] = 0xFF;
    EXPECT_EQ(Make("Barcode1", "123").result, 0u);
}

TEST_F(Barcode1dTest, DataLengthLimitIsOneByte) {
    const Built full = Make("Code39", std::string(255, '7'));
    ASSERT_EQ(full.result, 16u);
    EXPECT_EQ(full.fieldB.size(), 259u);
    EXPECT_EQ(Hex(full.fieldB.substr(0, 4)), "1D 6B 45 FF");

    CapturedLog().clear();
    EXPECT_EQ(Make("Code39", std::string(256, '7')).result, 0u);
    EXPECT_TRUE(LogHas("Get1dCodeCommand : DATA IS TOO LONG FOR A BARCODE. (256)"));
    EXPECT_EQ(Make("Code39", std::string(1000, '7')).result, 0u);

    // Subset C packs 2 + 2 x 253 digits into 255 bytes: that still fits.
    const Built packed = Make("Code128", "{C" + std::string(506, '4'));
    ASSERT_EQ(packed.result, 16u);
    EXPECT_EQ(Hex(packed.fieldB.substr(0, 4)), "1D 6B 49 FF");
    EXPECT_EQ(Make("Code128", "{C" + std::string(508, '4')).result, 0u);
}

TEST_F(Barcode1dTest, TextBufferTooSmall) {
    EXPECT_EQ(Make("UPC-A", "12345678901", 0, 1.0f, 14).result, 0u);
    EXPECT_TRUE(LogHas("Get1dCodeCommand : BUFFER SIZE IS NOT ENOUGH. (dwAnsiTextBufSize)"));
    EXPECT_EQ(Make("UPC-A", "12345678901", 0, 1.0f, 15).result, 16u);
}

TEST_F(Barcode1dTest, AllocationFailureMakesNothing) {
    for (unsigned long n : {1ul, 2ul}) {
        platform::FailAllocation(n);
        EXPECT_EQ(Make("UPC-A", "12345678901").result, 0u) << n;
        EXPECT_TRUE(LogHas("Get1dCodeCommand : failed to allocate the buffer. (pbyBuffer)"));
    }
}

TEST_F(Barcode1dTest, LargePositionSplitsIntoTwoBytes) {
    const Built b = Make("ITF", "1234", 0x1234);
    ASSERT_EQ(b.result, 16u);
    EXPECT_EQ(Hex(b.fieldA.substr(12)), "1B 24 34 12");
}

}  // namespace
