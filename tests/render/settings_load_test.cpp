// Device creation and the settings load: "MISC", the configuration file, the barcode records,
// the command values, the printer name, the palette and the host's current options.
#include <cstring>

#include "plugin_fixture.h"
#include "win32/heap.h"
#include "win32/palette.h"

namespace render_test {
namespace {

class SettingsTest : public PluginTest {};

std::vector<int> Bytes(const BYTE* data, size_t count) {
    return {data, data + count};
}

std::vector<int> DefaultBytes() {
    std::vector<int> bytes(44, 0);
    for (int i : {2, 4, 7, 9, 11, 13}) {
        bytes[i] = 25;
    }
    bytes[5] = 1;
    bytes[19] = 1;
    bytes[20] = 1;
    bytes[35] = 10;
    bytes[36] = 1;
    // Recomputed at device creation: receipt paper (byte 31 = 0), portrait (byte 42 = 0).
    return bytes;
}

TEST_F(SettingsTest, NoMiscAndNoConfigurationFileGiveTheDefaults) {
    Enable();
    EXPECT_EQ(Bytes(Settings().byteValue, 44), DefaultBytes());
    EXPECT_EQ(Settings().byPage, 0);
    // Byte 43 is 0 by default: the log went off and its files were deleted.
    EXPECT_EQ(NoJobLog(), "");
}

TEST_F(SettingsTest, ConfigurationFileFillsOnlyItsKeysWhenMiscIsMissing) {
    WriteConfig(
        "[LBRKV580R]\r\nPREFERENCE[19]=300\r\nPREFERENCE[0]=7\r\nPREFERENCE[35]=abc\r\n"
        "PREFERENCE[43]=1\r\n[Other]\r\nPREFERENCE[1]=1\r\n");
    SetProperty(u"StartDoc", "\x1b\x40");
    Enable();
    std::vector<int> expected = DefaultBytes();
    expected[19] = 44;  // 300 modulo 256
    expected[0] = 7;
    expected[35] = 0;  // no digits
    expected[43] = 1;
    EXPECT_EQ(Bytes(Settings().byteValue, 44), expected);
    // The command values are read after the file in any case.
    EXPECT_EQ(Settings().dwStartDoc, 2u);
    const std::string log = NoJobLog();
    EXPECT_TRUE(
        HasLine(log, "OEMEnablePDEV : failed to get data from the windows registry. (MISC)"));
    EXPECT_TRUE(HasLine(log, "OEMEnablePDEV : m_UIInfo->byteValue[19] = 44"));
    EXPECT_TRUE(HasLine(log, "OEMEnablePDEV : m_UIInfo->byteValue[19] : 2c"));
    EXPECT_TRUE(
        HasLine(log, "OEMEnablePDEV : PREFERENCE[1], GetPrivateProfileString failed with 2"));
}

TEST_F(SettingsTest, JunkConfigurationFileKeepsTheDefaults) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>((i * 7919) % 256);
    }
    WriteConfig(junk);
    Enable();
    EXPECT_EQ(Bytes(Settings().byteValue, 44), DefaultBytes());
}

TEST_F(SettingsTest, MiscPresentMeansTheConfigurationFileIsNotRead) {
    WriteConfig("[LBRKV580R]\r\nPREFERENCE[0]=9\r\n");
    SetMisc({{0, 3}, {19, 2}});
    Enable();
    EXPECT_EQ(Settings().byteValue[0], 3);
    EXPECT_EQ(Settings().byteValue[19], 2);
    EXPECT_EQ(Settings().byteValue[2], 0);  // no defaults either
    EXPECT_EQ(NoJobLog().find("PREFERENCE["), std::string::npos);
}

TEST_F(SettingsTest, MiscOfWrongSize) {
    // Longer than 44 bytes: not read at all.
    SetProperty(u"MISC", std::string(45, '\x05'));
    Enable();
    std::vector<int> expected = DefaultBytes();
    EXPECT_EQ(Bytes(Settings().byteValue, 44), expected);
    host.reset();

    // Shorter: the bytes read are used, the rest stay 0.
    SetProperty(u"MISC", std::string(10, '\x05'));
    Enable();
    std::vector<int> shortExpected(44, 0);
    for (int i = 0; i < 10; ++i) {
        shortExpected[i] = 5;
    }
    shortExpected[31] = 0;  // receipt
    EXPECT_EQ(Bytes(Settings().byteValue, 44), shortExpected);
}

TEST_F(SettingsTest, BarcodeRecordsAndTheirDefaults) {
    SetMisc();
    SetProperty(u"BarcodeInfo", std::string(66, '\x01'));  // longer than 65: defaults
    Enable();
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(Bytes(Settings().BarcodeInfo + 5 * i, 5), (std::vector<int>{i, 3, 50, 0, 0}));
    }
    const std::vector<int> codeTail = {0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x01, 0x03, 0x00, 0x34,
                                       0x03, 0x32, 0x02, 0x02, 0x20, 0x02, 0x02, 0x31, 0x00};
    const int firstBytes[8] = {0, 1, 2, 3, 4, 0, 1, 2};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Settings().CodeData[20 * i], firstBytes[i]);
        EXPECT_EQ(Bytes(Settings().CodeData + 20 * i + 1, 19), codeTail);
    }
    std::string log = NoJobLog();
    EXPECT_TRUE(HasLine(
        log, "OEMEnablePDEV : failed to get data from the windows registry. (BarcodeInfo)"));
    EXPECT_TRUE(
        HasLine(log, "OEMEnablePDEV : failed to get data from the windows registry. (CodeData)"));
    host.reset();

    SetProperty(u"BarcodeInfo", std::string(45, '\x07'));
    SetProperty(u"CodeData", std::string(160, '\x09'));
    Enable();
    EXPECT_EQ(Settings().BarcodeInfo[44], 7);
    EXPECT_EQ(Settings().BarcodeInfo[45], 0);
    EXPECT_EQ(Settings().CodeData[159], 9);
}

TEST_F(SettingsTest, CommandValuesUpTo512Bytes) {
    SetMisc();
    SetProperty(u"StartDoc", std::string(600, 'A'));  // ignored whole, not cut
    SetProperty(u"StartPage", std::string(512, 'B'));
    SetProperty(u"EndPage", "\x1b\x64\x03");
    Enable();
    EXPECT_EQ(Settings().dwStartDoc, 0u);
    EXPECT_EQ(Settings().byStartDocCmd[0], 0);
    EXPECT_EQ(Settings().dwStartPage, 512u);
    EXPECT_EQ(Settings().byStartPageCmd[511], 'B');
    EXPECT_EQ(Settings().dwEndPage, 3u);
    EXPECT_EQ(std::memcmp(Settings().byEndPageCmd, "\x1b\x64\x03", 3), 0);
    EXPECT_EQ(Settings().dwEndDoc, 0u);
    const std::string log = NoJobLog();
    EXPECT_TRUE(
        HasLine(log, "OEMEnablePDEV : failed to get data from the windows registry. (StartDoc)"));
    EXPECT_TRUE(
        HasLine(log, "OEMEnablePDEV : failed to get data from the windows registry. (EndDoc)"));
    EXPECT_EQ(log.find("(StartPage)"), std::string::npos);
}

TEST_F(SettingsTest, PrinterNameFromDsSpoolerElseFromTheHost) {
    SetMisc();
    Enable();
    EXPECT_EQ(std::u16string(State()->wszPrinterName), kPrinterName);
    EXPECT_STREQ(State()->szPrinterName, "KV580 Receipt");
    EXPECT_TRUE(HasLine(NoJobLog(), "OEMEnablePDEV : PRINTER NAME = KV580 Receipt"));
    host.reset();

    ASSERT_EQ(DeletePrinterDataExW(printer, u"DsSpooler", u"printerName"), ERROR_SUCCESS);
    Enable();
    EXPECT_EQ(std::u16string(State()->wszPrinterName), kPassedName);
    EXPECT_STREQ(State()->szPrinterName, "Name Passed By Host");
    EXPECT_TRUE(HasLine(NoJobLog(), "OEMEnablePDEV : GetPrinterDataEx failed. (2)"));
}

TEST_F(SettingsTest, OversizedDsSpoolerNameIsTerminated) {
    SetMisc();
    std::u16string longName(300, u'N');
    ASSERT_EQ(SetPrinterDataExW(printer, u"DsSpooler", u"printerName", REG_SZ,
                                reinterpret_cast<const BYTE*>(longName.c_str()),
                                static_cast<DWORD>((longName.size() + 1) * 2)),
              ERROR_SUCCESS);
    Enable();
    // Too large for the field: the host's name stands in.
    EXPECT_EQ(std::u16string(State()->wszPrinterName), kPassedName);

    host.reset();
    std::u16string exact(256, u'M');  // fills the field without a terminator
    ASSERT_EQ(SetPrinterDataExW(printer, u"DsSpooler", u"printerName", REG_BINARY,
                                reinterpret_cast<const BYTE*>(exact.data()), 512),
              ERROR_SUCCESS);
    Enable();
    EXPECT_EQ(std::u16string(State()->wszPrinterName).size(), 255u);
    EXPECT_EQ(std::strlen(State()->szPrinterName), 255u);
}

struct OptionCase {
    const char* inputBin;
    const char* orientation;
    bool fail;
    int byte31;
    int byte42;
};

TEST_F(SettingsTest, PaperTypeAndLandscapeFromTheHostOptions) {
    const OptionCase cases[] = {
        {"Option1", "PORTRAIT", false, 0, 0},
        {"Option2", "LANDSCAPE_CC270", false, 1, 1},
        {"Manual", "LANDSCAPE_CC90", false, 1, 0},  // no "Option1": ticket; 90 degrees: no
        {"Option1", "PORTRAIT", true, 1, 0},        // failing query: ticket, not landscape
    };
    for (const OptionCase& c : cases) {
        SetMisc({{21, 7}, {31, 5}, {42, 9}});
        Load();
        host->services().options.inputBin = c.inputBin;
        host->services().options.orientation = c.orientation;
        host->services().failDriverSetting = c.fail;
        host->services().driverSettingError = 1168;
        Enable();
        EXPECT_EQ(Settings().byteValue[31], c.byte31) << c.inputBin;
        EXPECT_EQ(Settings().byteValue[42], c.byte42) << c.orientation;
        EXPECT_EQ(Settings().byteValue[21], 3) << "7 modulo 4";
        const std::string log = NoJobLog();
        if (c.fail) {
            EXPECT_TRUE(
                HasLine(log, "IsReceiptPrintSelected : DrvGetDriverSetting failed with (1168)"));
            EXPECT_TRUE(HasLine(log, "IsLandscapeMode : dwOptionsReturned = 0"));
        } else {
            EXPECT_TRUE(
                HasLine(log, std::string("IsReceiptPrintSelected : szDrvSetting = ") + c.inputBin));
        }
        EXPECT_TRUE(
            HasLine(log, "EnablePDEV : pUIInfo->byteValue[31] : " + std::to_string(c.byte31)));
        host.reset();
        std::filesystem::remove_all(LogFolder());
    }
}

TEST_F(SettingsTest, EnablePdevLogFrame) {
    SetMisc();
    devmode.dmCopies = 3;
    Enable();
    const std::string log = NoJobLog();
    const std::string hyphens(74, '-');
    const auto start = log.find(hyphens + " \r\n06:45:00:000: EnablePDEV : START");
    ASSERT_NE(start, std::string::npos);
    EXPECT_LT(log.find("DebugDeleteFilesbySize : START"), start);
    EXPECT_TRUE(HasLine(log, "OEMEnablePDEV : dmCopies = 3"));
    EXPECT_TRUE(HasLine(log, "IsReceiptPrintSelected : Option1 / RECEIPT"));
    EXPECT_NE(log.find("EnablePDEV : END \r\n06:45:00:000: " + hyphens), std::string::npos);
    EXPECT_LT(log.find("OEMEnablePDEV : END"), log.find("EnablePDEV : pUIInfo->byteValue[42]"));
}

TEST_F(SettingsTest, NoMemoryForTheDeviceState) {
    SetMisc();
    Load();
    platform::FailAllocation(1);
    std::string error;
    EXPECT_FALSE(host->EnablePDEV(printer, kPassedName, &devmode, 1, error));
    platform::ResetAllocationFaults();
    EXPECT_EQ(host->devobj(), nullptr);
    EXPECT_TRUE(HasLine(NoJobLog(), "OEMEnablePDEV : pOemPDEV is NULL."));
}

TEST_F(SettingsTest, DevicePalette) {
    SetMisc();
    Enable(24);
    ASSERT_NE(State()->hPalette, nullptr);
    EXPECT_EQ(platform::PaletteMode(State()->hPalette), PAL_RGB);
    EXPECT_EQ(host->device()->devInfo.hpalDefault, State()->hPalette);
    host.reset();

    Enable(8);
    EXPECT_EQ(State()->hPalette, host->device()->hostPalette);
    EXPECT_EQ(GetPaletteEntries(State()->hPalette, 0, 0, nullptr), 256u);
}

TEST_F(SettingsTest, HostFunctionsAreSaved) {
    SetMisc();
    Enable();
    EXPECT_NE(State()->m_pfnDrvBitBlt, nullptr);
    EXPECT_NE(State()->m_pfnDrvTransparentBlt, nullptr);
    EXPECT_NE(State()->m_pfnDrvAlphaBlend, nullptr);
    EXPECT_NE(State()->m_pfnDrvEscape, nullptr);
    EXPECT_EQ(State()->dwJobId, 0u);
}

TEST_F(SettingsTest, LogSwitchedOffStaysOffForTheLoadedLibrary) {
    // A debug file left from before is deleted when the log goes off.
    std::filesystem::create_directories(LogFolder());
    testing_support::WriteFile(LogFolder() / "OLD_PAGE.BMP", "x");
    testing_support::WriteFile(LogFolder() / "notes.txt", "x");
    SetMisc({{43, 0}});
    Enable();
    EXPECT_FALSE(std::filesystem::exists(LogFolder() / "OLD_PAGE.BMP"));
    EXPECT_TRUE(std::filesystem::exists(LogFolder() / "notes.txt"));
    EXPECT_EQ(NoJobLog(), "");  // deleted with the other debug files, nothing written since
    host->DisablePDEV();

    // A second device with logging on, in the same loaded library: still nothing.
    SetMisc({{43, 1}});
    std::string error;
    ASSERT_TRUE(host->EnablePDEV(printer, kPassedName, &devmode, 1, error)) << error;
    EXPECT_EQ(NoJobLog(), "");

    // A fresh load starts with the log on again.
    host.reset();
    Load();
    EXPECT_TRUE(HasLine(NoJobLog(), "DLL_PROCESS_ATTACH"));
}

}  // namespace
}  // namespace render_test
