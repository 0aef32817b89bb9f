// 2D code commands: field A with the option commands, field B with the store and print
// commands, the reduction limits and the data lengths a code can carry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "barcode_fixture.h"

namespace {

class Barcode2dTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&pdev, 0, sizeof(pdev));
        LoadDefaultBarcodeRecords(pdev);
        CapturedLog().clear();
    }
    void TearDown() override { platform::ResetAllocationFaults(); }
    Built Make(const char* font, const std::string& text, DWORD x = 0, float rate = 1.0f,
               DWORD bufferSize = 0) {
        return Build(Get2dCodeCommand, &pdev, font, text, GetBarcodeType(font), x, rate,
                     bufferSize);
    }
    // A user record for "2D-Code1".
    BYTE* Record1() { return pdev.UIInfo.CodeData; }
    OEMPDEV pdev;
};

TEST_F(Barcode2dTest, QrCodeAtFullSize) {
    const Built b = Make("QR Code", "ABC", 8);
    ASSERT_EQ(b.result, 29u);
    EXPECT_EQ(Hex(b.fieldA),
              "1B 24 08 00 1D 28 6B 04 00 31 41 32 00 1D 28 6B 03 00 31 43 03 1D 28 6B 03 00 31 "
              "45 30");
    EXPECT_EQ(Hex(b.fieldB), "1D 28 6B 06 00 31 50 30 41 42 43 1D 28 6B 03 00 31 51 30");
    EXPECT_EQ(b.height, 24u);  // unchanged
}

TEST_F(Barcode2dTest, Pdf417Defaults) {
    const Built b = Make("PDF417", "hello", 0);
    ASSERT_EQ(b.result, 53u);
    EXPECT_EQ(Hex(b.fieldA),
              "1B 24 00 00 "
              "1D 28 6B 03 00 30 41 00 1D 28 6B 03 00 30 42 00 1D 28 6B 03 00 30 43 03 "
              "1D 28 6B 03 00 30 44 03 1D 28 6B 04 00 30 45 30 30 1D 28 6B 03 00 30 46 00");
    EXPECT_EQ(Hex(b.fieldB),
              "1D 28 6B 08 00 30 50 30 " + Hex(std::string("hello")) + " 1D 28 6B 03 00 30 51 30");
}

TEST_F(Barcode2dTest, MaxiCodeModesByName) {
    struct Case {
        const char* font;
        const char* mode;
    };
    for (const Case& c : {Case{"MAXI Code[Mode2]", "32"}, Case{"MAXI Code[Mode3]", "33"},
                          Case{"MAXI Code[Mode4]", "34"}, Case{"MAXI Code", "34"}}) {
        const Built b = Make(c.font, "data");
        ASSERT_EQ(b.result, 12u) << c.font;
        EXPECT_EQ(Hex(b.fieldA.substr(4)), std::string("1D 28 6B 03 00 32 41 ") + c.mode);
        EXPECT_EQ(Hex(b.fieldB.substr(0, 8)), "1D 28 6B 07 00 32 50 30");
        EXPECT_EQ(Hex(b.fieldB.substr(12)), "1D 28 6B 03 00 32 51 30");
    }
}

TEST_F(Barcode2dTest, MaxiCodeRecordWithUnknownModeSendsModeFour) {
    Record1()[0] = CODE2D_MAXICODE;
    struct Case {
        BYTE stored;
        BYTE sent;
    };
    for (const Case& c :
         {Case{'2', '2'}, Case{'3', '3'}, Case{'4', '4'}, Case{0, '4'}, Case{'5', '4'},
          Case{'1', '4'}, Case{0xFF, '4'}, Case{2, '2'}, Case{3, '3'}, Case{4, '4'}}) {
        Record1()[10] = c.stored;
        const Built b = Make("2D-Code1", "data");
        ASSERT_EQ(b.result, 12u);
        EXPECT_EQ(static_cast<BYTE>(b.fieldA[11]), c.sent) << int(c.stored);
    }
}

TEST_F(Barcode2dTest, DataMatrixReduction) {
    struct Case {
        float rate;
        const char* size;
    };
    for (const Case& c : {Case{1.0f, "03"}, Case{0.5f, "02"}, Case{0.25f, "02"}}) {
        const Built b = Make("DATAMATRIX", "xyz", 100, c.rate);
        ASSERT_EQ(b.result, 12u);
        EXPECT_EQ(Hex(b.fieldA.substr(4)), std::string("1D 28 6B 03 00 3D 43 ") + c.size);
    }
    EXPECT_EQ(Hex(Make("DATAMATRIX", "xyz", 100, 0.5f).fieldA.substr(0, 4)), "1B 24 32 00");
    EXPECT_EQ(Hex(Make("DATAMATRIX", "xyz", 100, 0.75f).fieldA.substr(0, 4)), "1B 24 4B 00");
}

TEST_F(Barcode2dTest, DataBarFromDefaultRecords) {
    const Built b = Make("2D-Code4", "0123456789012");
    ASSERT_EQ(b.result, 12u);
    EXPECT_EQ(Hex(b.fieldA.substr(4)), "1D 28 6B 03 00 33 43 02");
    EXPECT_EQ(Hex(b.fieldB), "1D 28 6B 11 00 33 50 30 48 " + Hex(std::string("0123456789012")) +
                                 " 1D 28 6B 03 00 33 51 30");
    Record1()[0] = CODE2D_DATABAR;
    Record1()[12] = 1;
    EXPECT_EQ(static_cast<BYTE>(Make("2D-Code1", "1").fieldB[8]), 0x49);
}

TEST_F(Barcode2dTest, CompositeCarriesTheDataTwice) {
    const std::string data = "0123456789";
    const Built b = Make("2D-Code5", data);  // default record: kind 4, byte 14 = 2
    ASSERT_EQ(b.result, 12u);
    EXPECT_EQ(Hex(b.fieldA.substr(4)), "1D 28 6B 03 00 34 43 20");  // width as stored
    ASSERT_EQ(b.fieldB.size(), 48u);
    EXPECT_EQ(Hex(b.fieldB), "1D 28 6B 0F 00 34 50 30 30 43 " + Hex(data) +
                                 " 1D 28 6B 0F 00 34 50 30 31 41 " + Hex(data) +
                                 " 1D 28 6B 03 00 34 51 30");
}

TEST_F(Barcode2dTest, CompositeLinearComponentTable) {
    const char* expected[] = {"30 41", "30 42", "30 43", "30 45", "30 46", "30 47", "30 48",
                              "30 49", "30 4A", "30 4B", "30 4D", "31 41", "31 42", "30 41"};
    Record1()[0] = CODE2D_COMPOSITE;
    for (BYTE choice = 0; choice < 14; ++choice) {
        Record1()[14] = choice == 13 ? 200 : choice;
        const Built b = Make("2D-Code1", "1");
        ASSERT_EQ(b.result, 12u);
        EXPECT_EQ(Hex(b.fieldB.substr(8, 2)), expected[choice]) << int(choice);
    }
}

TEST_F(Barcode2dTest, RecordValuesWithoutReductionAreSentAsStored) {
    const BYTE record[20] = {0, 40, 9, 200, 1, 9, 1};
    std::memcpy(Record1(), record, sizeof(record));
    const Built b = Make("2D-Code1", "x");
    ASSERT_EQ(b.result, 53u);
    EXPECT_EQ(Hex(b.fieldA.substr(4)),
              "1D 28 6B 03 00 30 41 28 1D 28 6B 03 00 30 42 C8 1D 28 6B 03 00 30 43 09 "
              "1D 28 6B 03 00 30 44 01 1D 28 6B 04 00 30 45 30 30 1D 28 6B 03 00 30 46 01");
}

TEST_F(Barcode2dTest, Pdf417ReductionLimits) {
    struct Case {
        BYTE columns, width, rows, rowHeight;
        float rate;
        const char* sent;  // columns rows width height
    };
    const Case cases[] = {
        {40, 9, 200, 20, 0.9f, "1E 5A 08 08"},  // 36 -> 30, 180 -> 90, 8, 18 -> 8
        {10, 3, 4, 3, 0.5f, "05 00 02 02"},     // rows 2 -> automatic, sizes up to 2
        {0, 3, 0, 3, 0.75f, "00 00 02 02"},     // 2.75 -> 2
        {30, 8, 90, 8, 0.99f, "1E 59 08 08"},
    };
    for (const Case& c : cases) {
        const BYTE record[20] = {0, c.columns, c.width, c.rows, c.rowHeight};
        std::memcpy(Record1(), record, sizeof(record));
        const Built b = Make("2D-Code1", "x", 0, c.rate);
        ASSERT_EQ(b.result, 53u);
        const std::string got = Hex(b.fieldA.substr(11, 1) + b.fieldA.substr(19, 1) +
                                    b.fieldA.substr(27, 1) + b.fieldA.substr(35, 1));
        EXPECT_EQ(got, c.sent) << int(c.columns) << " at " << c.rate;
    }
}

TEST_F(Barcode2dTest, QrCodeOptionsAndLimits) {
    struct Case {
        BYTE model, size, level;
        float rate;
        const char* options;  // model, size, level bytes
    };
    const Case cases[] = {
        {1, 3, 0, 1.0f, "32 03 30"},  {0, 3, 3, 1.0f, "31 03 33"}, {2, 3, 4, 1.0f, "31 03 30"},
        {1, 9, 1, 1.0f, "32 09 31"},  {1, 9, 1, 0.5f, "32 05 31"}, {1, 1, 2, 0.25f, "32 01 32"},
        {1, 40, 2, 0.5f, "32 08 32"},
    };
    for (const Case& c : cases) {
        BYTE record[20] = {1};
        record[7] = c.model;
        record[8] = c.size;
        record[9] = c.level;
        std::memcpy(Record1(), record, sizeof(record));
        const Built b = Make("2D-Code1", "x", 0, c.rate);
        ASSERT_EQ(b.result, 29u);
        EXPECT_EQ(Hex(b.fieldA.substr(11, 1) + b.fieldA.substr(20, 1) + b.fieldA.substr(28, 1)),
                  c.options);
    }
}

TEST_F(Barcode2dTest, DataBarAndCompositeWidthLimits) {
    BYTE record[20] = {3};
    record[13] = 20;
    std::memcpy(Record1(), record, sizeof(record));
    EXPECT_EQ(static_cast<BYTE>(Make("2D-Code1", "1", 0, 0.5f).fieldA[11]), 8);
    EXPECT_EQ(static_cast<BYTE>(Make("2D-Code1", "1", 0, 1.0f).fieldA[11]), 20);
    Record1()[0] = 4;
    Record1()[15] = 0;
    EXPECT_EQ(static_cast<BYTE>(Make("2D-Code1", "1", 0, 0.5f).fieldA[11]), 1);
}

TEST_F(Barcode2dTest, UnknownKindOrNumberMakesNothing) {
    Record1()[0] = 6;
    EXPECT_EQ(Make("2D-Code1", "x").result, 0u);
    Record1()[0] = 0xFF;
    EXPECT_EQ(Make("2D-Code1", "x").result, 0u);
    EXPECT_EQ(Build(Get2dCodeCommand, &pdev, "2D-Code0", "x", 152, 0, 1.0f).result, 0u);
    EXPECT_EQ(Build(Get2dCodeCommand, &pdev, "2D-Code9", "x", 152, 0, 1.0f).result, 0u);
}

TEST_F(Barcode2dTest, ReleasesACommandTheCallerStillHolds) {
    std::string text = "ABC";
    std::vector<BYTE> buffer(2000, 0);
    std::memcpy(buffer.data(), text.data(), text.size());
    DWORD length = 3;
    DWORD height = 0;
    auto command = static_cast<PBYTE>(LocalAlloc(LPTR, 16));
    ASSERT_EQ(Get2dCodeCommand(&pdev, &command, "QR Code", buffer.data(), &length, 2000, 131,
                               &height, 0, 1.0f),
              29u);
    LocalFree(command);  // the sanitizer build reports the first block if it was kept
}

TEST_F(Barcode2dTest, TextBufferTooSmall) {
    EXPECT_EQ(Make("QR Code", "ABC", 0, 1.0f, 18).result, 0u);
    EXPECT_TRUE(LogHas("Get2dCodeCommand : BUFFER SIZE IS NOT ENOUGH. (AnsiTextBufSize)"));
    EXPECT_EQ(Make("QR Code", "ABC", 0, 1.0f, 19).result, 29u);
}

TEST_F(Barcode2dTest, DataLengthBoundedByTheSixteenBitFields) {
    // Field B of a record and the store command count in 16 bits.
    const Built largest = Make("QR Code", std::string(65519, 'A'));
    ASSERT_EQ(largest.result, 29u);
    EXPECT_EQ(largest.fieldB.size(), 65535u);
    EXPECT_EQ(Hex(largest.fieldB.substr(0, 5)), "1D 28 6B F2 FF");
    CapturedLog().clear();
    EXPECT_EQ(Make("QR Code", std::string(65520, 'A')).result, 0u);
    EXPECT_TRUE(LogHas("Get2dCodeCommand : DATA IS TOO LONG FOR A 2D CODE. (65520)"));
    EXPECT_EQ(Make("QR Code", std::string(70000, 'A')).result, 0u);

    EXPECT_EQ(Make("2D-Code4", std::string(65518, '1')).result, 12u);
    EXPECT_EQ(Make("2D-Code4", std::string(65519, '1')).result, 0u);
    EXPECT_EQ(Make("2D-Code5", std::string(32753, '1')).result, 12u);
    EXPECT_EQ(Make("2D-Code5", std::string(32754, '1')).result, 0u);
}

TEST_F(Barcode2dTest, AllocationFailureMakesNothing) {
    for (unsigned long n : {1ul, 2ul}) {
        platform::FailAllocation(n);
        EXPECT_EQ(Make("QR Code", "ABC").result, 0u) << n;
        EXPECT_TRUE(LogHas("Get2dCodeCommand : failed to allocate the buffer. (pbyBuffer)"));
    }
}

TEST(Set2dCodeOptionCmdTest, WritesAllKindsAndToleratesNulls) {
    const BYTE record[20] = {0, 1, 2, 3, 4, 5, 1, 1, 6, 2, '3', 3, 0, 4, 0, 5};
    CODE2D_OPTION_CMDS options = {};
    Set2dCodeOptionCmd(152, record, &options, 1.0f);
    EXPECT_EQ(Hex(options.byDataMatrix, 8), "1D 28 6B 03 00 3D 43 03");
    EXPECT_EQ(Hex(options.byDataBar, 8), "1D 28 6B 03 00 33 43 04");
    EXPECT_EQ(Hex(options.byComposite, 8), "1D 28 6B 03 00 34 43 05");
    EXPECT_EQ(Hex(options.byMaxiCode, 8), "1D 28 6B 03 00 32 41 33");
    EXPECT_EQ(Hex(options.byQrCode, 25),
              "1D 28 6B 04 00 31 41 32 00 1D 28 6B 03 00 31 43 06 1D 28 6B 03 00 31 45 32");
    Set2dCodeOptionCmd(152, nullptr, &options, 1.0f);
    Set2dCodeOptionCmd(152, record, nullptr, 1.0f);
}

}  // namespace
