// Barcode preview data: the preview block behind field B of a barcode record.
#include "text/barcode_preview.h"

#include <gtest/gtest.h>

#include "text/barcodes.h"
#include "textkeys_fixture.h"

namespace textkeys_test {
namespace {

using testing_support::FromHex;
using testing_support::ToHex;

class BarcodePreviewTest : public TextKeysTest {
protected:
    struct FieldB {
        PBYTE p = nullptr;
        DWORD length = 0;
        explicit FieldB(const std::string& s) {
            p = static_cast<PBYTE>(LocalAlloc(LPTR, s.size() + 1));
            std::memcpy(p, s.data(), s.size());
            length = static_cast<DWORD>(s.size());
        }
        ~FieldB() { LocalFree(p); }
        std::string str() const { return std::string(reinterpret_cast<char*>(p), length); }
    };
    void WritePreview(const std::string& name, const std::string& bytes) {
        testing_support::WriteFile(folder / "PreviewBin" / name, bytes);
    }
};

TEST_F(BarcodePreviewTest, QrCodeWithA1000BytePreviewFile) {
    std::string picture(1000, '\0');
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i);
    WritePreview("2D_QRCODE.bin", picture);
    const std::string data = FromHex("1D 28 6B 04 00 31 50 30 41");
    FieldB b(data);
    ASSERT_TRUE(AddBarCodePreviewData(&devobj, "QR Code", &b.p, &b.length, BARTYPE_QRCODE));
    ASSERT_EQ(b.length, data.size() + 1014);
    EXPECT_EQ(b.str().substr(0, data.size()), data);
    EXPECT_EQ(ToHex(b.str().substr(data.size(), 14)),
              ToHex(FromHex("00 00 00 1B 40 F6 03") + "ORVANEX"));
    EXPECT_EQ(b.str().substr(data.size() + 14), picture);
}

TEST_F(BarcodePreviewTest, FileByBarcodeKind) {
    WritePreview("1D_CODE.bin", "1D");
    WritePreview("2D_PDF417.bin", "PDF");
    WritePreview("2D_QRCODE.bin", "QR");
    WritePreview("2D_DATAMATRIX.bin", "DM");
    WritePreview("2D_GS1DATABAR.bin", "GS1");
    state->UIInfo.CodeData[0] = CODE2D_DATABAR;    // "2D-Code1" is a DataBar
    state->UIInfo.CodeData[20] = CODE2D_MAXICODE;  // "2D-Code2" a MaxiCode
    struct Case {
        DWORD type;
        const char* name;
        const char* picture;  // null: no block
    };
    const Case cases[] = {
        {BARTYPE_UPC_A, "UPC-A", "1D"},       {BARTYPE_CODE39, "Code39", "1D"},
        {BARTYPE_USER_1D, "Barcode1", "1D"},  {BARTYPE_PDF417, "PDF417", "PDF"},
        {BARTYPE_QRCODE, "QR Code", "QR"},    {BARTYPE_DATAMATRIX, "DataMatrix", "DM"},
        {BARTYPE_USER_2D, "2D-Code1", "GS1"}, {BARTYPE_MAXICODE_1, "MaxiCode", nullptr},
    };
    for (const Case& c : cases) {
        FieldB b("DATA");
        const BOOL added = AddBarCodePreviewData(&devobj, c.name, &b.p, &b.length, c.type);
        if (c.picture == nullptr) {
            EXPECT_FALSE(added) << c.name;
            EXPECT_EQ(b.str(), "DATA");
        } else {
            ASSERT_TRUE(added) << c.name;
            EXPECT_EQ(b.str().substr(18), c.picture) << c.name;
        }
    }
}

TEST_F(BarcodePreviewTest, FailuresLeaveFieldBAsItWas) {
    FieldB b("CODE39DATA");
    PBYTE before = b.p;
    // No "1D_CODE.bin".
    EXPECT_FALSE(AddBarCodePreviewData(&devobj, "Code39", &b.p, &b.length, BARTYPE_CODE39));
    EXPECT_TRUE(Recorded().Logged("AddBarCodePreviewData : CreateFile returned NULL. (2)"));
    // A picture that would not fit in a record's field B.
    WritePreview("1D_CODE.bin", std::string(70000, 'x'));
    EXPECT_FALSE(AddBarCodePreviewData(&devobj, "Code39", &b.p, &b.length, BARTYPE_CODE39));
    // Out of memory for the new field B.
    WritePreview("1D_CODE.bin", "1D");
    platform::FailAllocation(1);
    EXPECT_FALSE(AddBarCodePreviewData(&devobj, "Code39", &b.p, &b.length, BARTYPE_CODE39));
    platform::ResetAllocationFaults();
    EXPECT_TRUE(Recorded().Logged("AddBarCodePreviewData : failed to allocate the buffer."));
    EXPECT_EQ(b.p, before);
    EXPECT_EQ(b.str(), "CODE39DATA");
    // Missing arguments.
    EXPECT_FALSE(AddBarCodePreviewData(nullptr, "Code39", &b.p, &b.length, BARTYPE_CODE39));
    EXPECT_FALSE(AddBarCodePreviewData(&devobj, "Code39", nullptr, &b.length, BARTYPE_CODE39));
}

TEST_F(BarcodePreviewTest, EmptyPreviewFileGivesTheBareHeader) {
    WritePreview("2D_PDF417.bin", "");
    FieldB b("D");
    ASSERT_TRUE(AddBarCodePreviewData(&devobj, "PDF417", &b.p, &b.length, BARTYPE_PDF417));
    EXPECT_EQ(ToHex(b.str()), ToHex(FromHex("44 00 00 00 1B 40 0E 00") + "ORVANEX"));
}

}  // namespace
}  // namespace textkeys_test
