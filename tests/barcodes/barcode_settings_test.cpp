// The barcode name table and the lookup of a barcode font's settings record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "barcode_fixture.h"

namespace {

struct NameCase {
    const char* name;
    DWORD type;
};

class BarcodeTypeTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(BarcodeTypeTest, FamilyNameGivesType) {
    EXPECT_EQ(GetBarcodeType(GetParam().name), GetParam().type) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, BarcodeTypeTest,
    ::testing::Values(NameCase{"UPC-A", 65}, NameCase{"upc-e", 66}, NameCase{"JAN13(EAN)", 67},
                      NameCase{"jan13 (ean)", 67}, NameCase{"JAN8 (EAN)", 68},
                      NameCase{"Code39", 69}, NameCase{"ITF", 70}, NameCase{"Codabar", 71},
                      NameCase{"Code93", 72}, NameCase{"CODE128", 73}, NameCase{"Barcode1", 129},
                      NameCase{"barcode9", 129}, NameCase{"PDF417", 130}, NameCase{"qr code", 131},
                      NameCase{"DataMatrix", 132}, NameCase{"DATAMATRIX Code", 132},
                      NameCase{"MAXI Code", 133}, NameCase{"maxi code[mode2]", 134},
                      NameCase{"MAXI Code[Mode3]", 135}, NameCase{"MAXI Code[Mode4]", 136},
                      NameCase{"2D-Code1", 152}, NameCase{"2d-code8", 152},
                      // Names that are no row: no barcode.
                      NameCase{"QR Code2", 0}, NameCase{"Barcode12", 0}, NameCase{"Barcode0", 0},
                      NameCase{"2D-Code0", 0}, NameCase{"2D-Code9", 0}, NameCase{"UPC", 0},
                      NameCase{" UPC-A", 0}, NameCase{"", 0}, NameCase{"FontA1x1", 0}));

TEST(BarcodeTypeTest, MissingAndOverlongNamesFindNothing) {
    EXPECT_EQ(GetBarcodeType(nullptr), 0u);
    const std::string longName = std::string("MAXI Code[Mode4]") + std::string(300, 'x');
    EXPECT_EQ(GetBarcodeType(longName.c_str()), 0u);
}

TEST(BarcodeTypeTest, MatchIsLogged) {
    CapturedLog().clear();
    ASSERT_EQ(GetBarcodeType("qr code"), 131u);
    EXPECT_TRUE(LogHas("GetBarcodeType : MATCHED BARCODE = QR Code, 131"));
}

TEST(BarcodeFlagTable, ThirtySevenRowsEndingWithAnEmptyRow) {
    ASSERT_EQ(kBarcodeFlagRows, 37u);
    EXPECT_STREQ(BarcodeFlag[0].szFlag, "UPC-A");
    EXPECT_STREQ(BarcodeFlag[35].szFlag, "2D-Code8");
    EXPECT_STREQ(BarcodeFlag[36].szFlag, "");
    EXPECT_EQ(BarcodeFlag[36].dwBarType, 0u);
    static_assert(sizeof(BARCODEFLAG) == 36);
}

class CodeSettingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&pdev, 0, sizeof(pdev));
        LoadDefaultBarcodeRecords(pdev);
        CapturedLog().clear();
    }
    OEMPDEV pdev;
};

TEST_F(CodeSettingTest, Barcode7WithDefaultRecordsIsCodabar) {
    BYTE record[5] = {0, 2, 50, 0, 0};
    ASSERT_TRUE(Get1d2dCodeSetting(&pdev, "Barcode7", 129, record, nullptr));
    EXPECT_EQ(Hex(record, 5), "06 03 32 00 00");
}

TEST_F(CodeSettingTest, UserRecordsAreCopiedWhole) {
    for (int i = 0; i < 5; ++i) {
        pdev.UIInfo.BarcodeInfo[40 + i] = static_cast<BYTE>(0xA0 + i);
        pdev.UIInfo.CodeData[140 + i * 4] = static_cast<BYTE>(0xB0 + i);
    }
    BYTE record1d[5] = {};
    ASSERT_TRUE(Get1d2dCodeSetting(&pdev, "Barcode9", 129, record1d, nullptr));
    EXPECT_EQ(Hex(record1d, 5), "A0 A1 A2 A3 A4");
    BYTE record2d[20] = {};
    ASSERT_TRUE(Get1d2dCodeSetting(&pdev, "2D-Code8", 152, nullptr, record2d));
    EXPECT_EQ(record2d[0], 0xB0);
    EXPECT_EQ(record2d[16], 0xB4);
}

TEST_F(CodeSettingTest, TwoDCode4WithDefaultRecordsIsDataBar) {
    BYTE record[20] = {};
    ASSERT_TRUE(Get1d2dCodeSetting(&pdev, "2D-Code4", 152, nullptr, record));
    EXPECT_EQ(record[0], CODE2D_DATABAR);
}

TEST_F(CodeSettingTest, NumbersOutOfRangeGiveFalseAndLeaveTheRecord) {
    struct Case {
        const char* name;
        DWORD type;
    };
    for (const Case& c : {Case{"Barcode12", 129}, Case{"Barcode0", 129}, Case{"Barcode", 129},
                          Case{"Bar", 129}, Case{"Barcode99999999999999999", 129},
                          Case{"2D-Code0", 152}, Case{"2D-Code9", 152}, Case{"2D", 152}}) {
        BYTE record[20] = {7, 7, 7, 7, 7};
        BYTE* record1d = c.type == 129 ? record : nullptr;
        BYTE* record2d = c.type == 152 ? record : nullptr;
        CapturedLog().clear();
        EXPECT_FALSE(Get1d2dCodeSetting(&pdev, c.name, c.type, record1d, record2d)) << c.name;
        EXPECT_EQ(Hex(record, 5), "07 07 07 07 07") << c.name;
        EXPECT_TRUE(LogHas("Get1d2dCodeSetting : NOT SUPPORTTED BARCODE NUMBER")) << c.name;
    }
    BYTE record[5] = {};
    EXPECT_FALSE(Get1d2dCodeSetting(&pdev, nullptr, 129, record, nullptr));
    EXPECT_FALSE(Get1d2dCodeSetting(nullptr, "Barcode1", 129, record, nullptr));
}

TEST_F(CodeSettingTest, NamedTwoDFontsSetKindAndMaxiCodeMode) {
    struct Case {
        DWORD type;
        BYTE kind;
        BYTE mode;
    };
    for (const Case& c :
         {Case{130, 0, 0xEE}, Case{131, 1, 0xEE}, Case{132, 2, 0xEE}, Case{133, 5, '4'},
          Case{134, 5, '2'}, Case{135, 5, '3'}, Case{136, 5, '4'}}) {
        BYTE record[20] = {};
        std::memset(record, 0xEE, sizeof(record));
        ASSERT_TRUE(Get1d2dCodeSetting(&pdev, "any", c.type, nullptr, record));
        EXPECT_EQ(record[0], c.kind) << c.type;
        EXPECT_EQ(record[10], c.mode) << c.type;
        record[0] = record[10] = 0xEE;
        for (BYTE b : record) {
            EXPECT_EQ(b, 0xEE) << c.type;
        }
    }
    BYTE record[20] = {1, 2, 3};
    EXPECT_TRUE(Get1d2dCodeSetting(&pdev, "any", 140, nullptr, record));
    EXPECT_EQ(Hex(record, 3), "01 02 03");
    EXPECT_TRUE(Get1d2dCodeSetting(&pdev, "UPC-A", 65, record, nullptr));
    EXPECT_EQ(Hex(record, 3), "01 02 03");
}

TEST_F(CodeSettingTest, DefaultBytesAreLogged) {
    BYTE record[5] = {0, 2, 50, 0, 0};
    ASSERT_TRUE(Get1d2dCodeSetting(&pdev, "Barcode2", 129, record, nullptr));
    EXPECT_TRUE(LogHas("Get1d2dCodeSetting : DEFAULT BARCODE INFO = 00 02 32 00 00 "));
}

}  // namespace
