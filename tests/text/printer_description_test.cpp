// The printer description the host reads, and the engine font objects it builds runs with.
#include "printer_description.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "win32/engine_text.h"

namespace {

TEST(PrinterDescription, ThePackageFileListsTheDeviceFonts) {
    const unidrv::PrinterDescription d =
        unidrv::LoadPrinterDescription(std::filesystem::path(KV580_PACKAGE_DIR) / "LBRKV580R.GPD");
    for (const char* name :
         {"FontA1x1", "FontA8x8", "FontB1x1 Ext", "FontC2x2 255", "Korean2x2", "Chinese2312 2x2",
          "ChineseBIG5 1x1", "Japanese1x2", "FontControl", "Control", "FontControlA", "UPC-A",
          "JAN13 (EAN)", "Barcode9", "QR Code", "MAXI Code[Mode4]", "DATAMATRIX", "2D-Code8"}) {
        EXPECT_EQ(d.FindDeviceFont(name), name);
    }
    EXPECT_EQ(d.FindDeviceFont("qr code"), "QR Code");
    EXPECT_EQ(d.FindDeviceFont("Arial"), "");
    EXPECT_EQ(d.dpiX, 203);
    ASSERT_EQ(d.paperSources.size(), 2u);
    EXPECT_EQ(d.paperSources[1].number, 266);
    EXPECT_EQ(d.orientations.size(), 2u);
}

TEST(PrinterDescription, BadLinesNameTheirPlace) {
    for (const char* text : {"Bogus: 1\n", "DeviceFont\n", "Resolution: 2x3 4\n",
                             "PaperSource: Option1 many Receipt\n", "Model:\n"}) {
        EXPECT_THROW(unidrv::ParsePrinterDescription(text, "t.gpd"), std::runtime_error) << text;
    }
    try {
        unidrv::ParsePrinterDescription("# comment\n\nBogus: 1\n", "t.gpd");
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "t.gpd: line 3: unknown key 'Bogus'");
    }
}

TEST(EngineFont, AnswersForItsOwnObjectsOnly) {
    platform::EngineFontDescription desc;
    desc.family = u"FontA1x1";
    desc.flFontType = FO_TYPE_DEVICE;
    desc.italic = true;
    desc.strikeout = true;
    desc.emHeight = 24;
    FONTOBJ* font = platform::CreateEngineFont(desc);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->flFontType, FO_TYPE_DEVICE | FO_SIM_ITALIC);
    IFIMETRICS* ifi = FONTOBJ_pifi(font);
    ASSERT_NE(ifi, nullptr);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(reinterpret_cast<const BYTE*>(ifi) +
                                                               ifi->dpwszFamilyName)),
              u"FontA1x1");
    EXPECT_EQ(ifi->fsSelection, FM_SEL_ITALIC | FM_SEL_STRIKEOUT);
    XFORML x{};
    EXPECT_EQ(XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(font), &x), GX_SCALE);
    EXPECT_FLOAT_EQ(x.eM22 * ifi->fwdUnitsPerEm, 24.0f);
    platform::DeleteEngineFont(font);
    EXPECT_EQ(FONTOBJ_pifi(font), nullptr);  // released: no longer answered
    FONTOBJ foreign{};
    EXPECT_EQ(FONTOBJ_pxoGetXform(&foreign), nullptr);
    EXPECT_EQ(XFORMOBJ_iGetXform(nullptr, &x), DDI_ERROR);
    desc.emHeight = -1;
    EXPECT_EQ(platform::CreateEngineFont(desc), nullptr);
    desc.emHeight = NAN;
    EXPECT_EQ(platform::CreateEngineFont(desc), nullptr);
}

}  // namespace
