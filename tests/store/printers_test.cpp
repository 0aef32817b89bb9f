// Printers: opening, adding, level-2 information with the DEVMODE, DocumentPropertiesW.
#include <cstring>

#include "store_fixture.h"

namespace store_test {
namespace {

std::vector<BYTE> GetInfo2(HANDLE printer) {
    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterW(printer, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> buffer(needed);
    EXPECT_TRUE(GetPrinterW(printer, 2, buffer.data(), needed, &needed));
    return buffer;
}

TEST(PrinterOpen, UnknownPrinterIsInvalidName) {
    testing_support::TempRoot root;
    HANDLE handle = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(OpenPrinterW(u"Nobody", &handle, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(StoreTest, AddPrinterRefusesTakenAndBadNames) {
    EXPECT_EQ(AddTestPrinter(u"p"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PRINTER_ALREADY_EXISTS);
    for (const char16_t* bad : {u"", u"a,b", u"a\\b"}) {
        EXPECT_EQ(AddTestPrinter(bad), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    }
}

TEST_F(StoreTest, LevelTwoInformationWithDefaultDevMode) {
    auto buffer = GetInfo2(user);
    const auto& info = *reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    EXPECT_EQ(std::u16string(info.pPrinterName), u"P");
    EXPECT_EQ(std::u16string(info.pPortName), u"KV580:");
    EXPECT_EQ(std::u16string(info.pDriverName), u"ORVANEX LBR-KV580 - Receipt");
    EXPECT_EQ(std::u16string(info.pPrintProcessor), u"winprint");
    EXPECT_EQ(std::u16string(info.pDatatype), u"RAW");
    ASSERT_NE(info.pDevMode, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.pDevMode) % alignof(DEVMODEW), 0u);
    EXPECT_EQ(info.pDevMode->dmSize, sizeof(DEVMODEW));
    EXPECT_EQ(info.pDevMode->dmSpecVersion, DM_SPECVERSION);
    EXPECT_EQ(info.pDevMode->dmCopies, 1);
    EXPECT_EQ(std::u16string(info.pDevMode->dmDeviceName), u"P");
}

TEST_F(StoreTest, SetPrinterStoresFieldsAndDevModeWithPrivateBytes) {
    auto buffer = GetInfo2(admin);
    auto info = *reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    std::vector<BYTE> devmode(sizeof(DEVMODEW) + 8);
    std::memcpy(devmode.data(), info.pDevMode, sizeof(DEVMODEW));
    auto* dm = reinterpret_cast<DEVMODEW*>(devmode.data());
    dm->dmDriverExtra = 8;
    dm->dmDriverVersion = 0x0100;
    dm->dmCopies = 44;
    for (int i = 0; i < 8; ++i) devmode[sizeof(DEVMODEW) + i] = static_cast<BYTE>(0xA0 + i);
    std::u16string processor = u"LBR-KV580 - Receipt PRINT PROCESSOR";
    info.pDevMode = dm;
    info.pPrintProcessor = processor.data();
    info.Attributes = PRINTER_ATTRIBUTE_RAW_ONLY;
    info.pSecurityDescriptor = nullptr;
    EXPECT_FALSE(SetPrinterW(user, 2, reinterpret_cast<LPBYTE>(&info), 0));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(SetPrinterW(admin, 2, reinterpret_cast<LPBYTE>(&info), 0));

    auto after = GetInfo2(user);
    const auto& stored = *reinterpret_cast<const PRINTER_INFO_2W*>(after.data());
    EXPECT_EQ(stored.Attributes, PRINTER_ATTRIBUTE_RAW_ONLY);
    EXPECT_EQ(std::u16string(stored.pPrintProcessor), processor);
    EXPECT_EQ(stored.pDevMode->dmCopies, 44);
    EXPECT_EQ(0, std::memcmp(stored.pDevMode, devmode.data(), devmode.size()));
    EXPECT_EQ(DocumentPropertiesW(nullptr, user, u"P", nullptr, nullptr, 0),
              static_cast<LONG>(sizeof(DEVMODEW) + 8));
}

TEST_F(StoreTest, DocumentPropertiesMergesOnlyMarkedFields) {
    LONG size = DocumentPropertiesW(nullptr, user, u"P", nullptr, nullptr, 0);
    ASSERT_EQ(size, static_cast<LONG>(sizeof(DEVMODEW)));
    std::vector<BYTE> block(size);
    auto* dm = reinterpret_cast<DEVMODEW*>(block.data());
    ASSERT_EQ(DocumentPropertiesW(nullptr, user, u"P", dm, nullptr, DM_OUT_BUFFER), 1);
    EXPECT_EQ(dm->dmOrientation, DMORIENT_PORTRAIT);

    dm->dmFields = DM_COPIES | DM_PAPERWIDTH;
    dm->dmCopies = 3;
    dm->dmPaperWidth = 720;
    dm->dmOrientation = DMORIENT_LANDSCAPE;  // not marked: the printer's value stays
    ASSERT_EQ(DocumentPropertiesW(nullptr, user, u"P", dm, dm, DM_IN_BUFFER | DM_OUT_BUFFER), 1);
    EXPECT_EQ(dm->dmCopies, 3);
    EXPECT_EQ(dm->dmPaperWidth, 720);
    EXPECT_EQ(dm->dmOrientation, DMORIENT_PORTRAIT);
    EXPECT_TRUE(dm->dmFields & DM_ORIENTATION);

    // The printer's own default is not changed by DocumentPropertiesW; opening by name works.
    ASSERT_EQ(DocumentPropertiesW(nullptr, nullptr, u"P", dm, nullptr, DM_OUT_BUFFER), 1);
    EXPECT_EQ(dm->dmCopies, 1);
    EXPECT_LT(DocumentPropertiesW(nullptr, nullptr, u"Nobody", nullptr, nullptr, 0), 0);
}

TEST_F(StoreTest, CopyCountUpdateThroughLevelTwo) {
    // The user-interface plug-in's default-DEVMODE update: fetch, change dmCopies, store.
    LONG size = DocumentPropertiesW(nullptr, admin, u"P", nullptr, nullptr, 0);
    std::vector<BYTE> block(size);
    auto* dm = reinterpret_cast<DEVMODEW*>(block.data());
    ASSERT_EQ(DocumentPropertiesW(nullptr, admin, u"P", dm, nullptr, DM_OUT_BUFFER), 1);
    auto buffer = GetInfo2(admin);
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    info->pDevMode = dm;
    dm->dmCopies = static_cast<SHORT>(300 & 0xFF);
    ASSERT_TRUE(SetPrinterW(admin, 2, buffer.data(), 0));
    auto after = GetInfo2(user);
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_2W*>(after.data())->pDevMode->dmCopies, 44);
}

TEST_F(StoreTest, EnumPrintersListsAll) {
    HANDLE second = AddTestPrinter(u"Second", u"COM1:");
    ASSERT_NE(second, nullptr);
    ClosePrinter(second);
    DWORD needed = 0, count = 0;
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(
        EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count));
    ASSERT_EQ(count, 2u);
    const auto* infos = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    EXPECT_EQ(std::u16string(infos[0].pPrinterName), u"P");
    EXPECT_EQ(std::u16string(infos[1].pPortName), u"COM1:");
    EXPECT_EQ(infos[1].pDevMode->dmSize, sizeof(DEVMODEW));
}

TEST_F(StoreTest, DeletePrinterNeedsDeleteAccessAndRemovesData) {
    DWORD v = 1;
    ASSERT_EQ(SetPrinterDataExW(admin, u"PrinterDriverData\\Properties", u"X", REG_DWORD,
                                reinterpret_cast<BYTE*>(&v), 4),
              0u);
    EXPECT_FALSE(DeletePrinter(user));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(DeletePrinter(admin));
    EXPECT_EQ(Open(u"P", PRINTER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
    // A new printer of the same name starts without the old data.
    HANDLE again = AddTestPrinter(u"P");
    ASSERT_NE(again, nullptr);
    DWORD needed = 0;
    EXPECT_EQ(GetPrinterDataExW(again, u"PrinterDriverData\\Properties", u"X", nullptr, nullptr, 0,
                                &needed),
              ERROR_FILE_NOT_FOUND);
    ClosePrinter(again);
}

}  // namespace
}  // namespace store_test
