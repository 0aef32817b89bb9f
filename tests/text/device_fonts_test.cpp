// Device-font commands: family-name classes, font commands and trailers, the font-control
// table and INI file, and the dispatcher's records.
#include "text/device_fonts.h"

#include <filesystem>

#include "log_stub.h"
#include "test_support.h"
#include "text_fixture.h"
#include "win32/codepage.h"
#include "win32/winspool.h"

using testing_support::FromHex;
using testing_support::ToHex;
using namespace text_test;

namespace {

// Captures one run in a device font and returns the number of records stored.
size_t Capture(TextDevice& d, const std::u16string& family, const std::u16string& text, LONG x,
               LONG y, double height) {
    StrRun run(text, x, y);
    AddDevFontInfoToBuf(d.surface(), &run.str, d.Font(family, height, true));
    return d.Records().size();
}

TEST(GetDeviceFontType, ClassifiesFamilyNames) {
    struct Case {
        const char* name;
        BYTE type;
    };
    for (const Case& c :
         {Case{"FontControl", FTYPE_DEVICE_FONT_CONTROL},
          Case{"Control", FTYPE_DEVICE_FONT_CONTROL},
          Case{"FontControlA", FTYPE_DEVICE_FONT_CONTROL_A},
          Case{"fontcontrol", FTYPE_DEVICE_BARCODE}, Case{"CONTROL", FTYPE_DEVICE_BARCODE},
          Case{"fontcontrola", FTYPE_DEVICE_BARCODE}, Case{"fonta1x1", FTYPE_DEVICE_FONT},
          Case{"FontB2x2", FTYPE_DEVICE_FONT}, Case{"Korean1x1", FTYPE_DEVICE_FONT},
          Case{"Chinese2312 1x1", FTYPE_DEVICE_FONT}, Case{"JAPANESE1x1", FTYPE_DEVICE_FONT},
          Case{"Code39", FTYPE_DEVICE_BARCODE}, Case{"", FTYPE_DEVICE_BARCODE}}) {
        EXPECT_EQ(GetDeviceFontType(c.name), c.type) << c.name;
    }
    EXPECT_EQ(GetDeviceFontType(nullptr), FTYPE_DEVICE_BARCODE);
}

TEST(GetDevFontCodePage, FirstMatchingNameWins) {
    EXPECT_EQ(GetDevFontCodePage("Chinese2312 1x1"), 936u);
    EXPECT_EQ(GetDevFontCodePage("chinesebig5 1x1"), 950u);
    EXPECT_EQ(GetDevFontCodePage("Korean2x2"), 949u);
    EXPECT_EQ(GetDevFontCodePage("Japanese1x1"), 932u);
    EXPECT_EQ(GetDevFontCodePage("FontA1x1"), CP_ACP);
}

TEST(FindSubstringNoCase, NaiveSearchIgnoringAsciiCase) {
    EXPECT_EQ(FindSubstringNoCase("FontA1x1", "fonta"), 0);
    EXPECT_EQ(FindSubstringNoCase("xxKOREAN2x2", "Korean"), 2);
    EXPECT_EQ(FindSubstringNoCase("aaab", "aab"), 1);  // restarts after a partial match
    EXPECT_EQ(FindSubstringNoCase("abc", "abcd"), kNotFound);
    EXPECT_EQ(FindSubstringNoCase("", "a"), kNotFound);
    EXPECT_EQ(FindSubstringNoCase("abc", ""), kNotFound);
    EXPECT_EQ(FindSubstringNoCase(nullptr, "a"), kNotFound);
    EXPECT_EQ(FindSubstringNoCase("abc", nullptr), kNotFound);
}

struct CommandCase {
    const char16_t* family;
    const char* fieldA;  // with X = 100 (64 00)
    const char* trailer;
};

TEST(AddDevFontInfoToBuf, TextFontsBuildTheirCommandsAndTrailers) {
    const CommandCase cases[] = {
        {u"FontA2x1", "1B 74 10 08 4D 00 41 1D 21 10 1B 24 64 00", "1B 4A 18"},
        {u"FontB1x1 Ext", "1B 74 00 08 4D 00 42 1D 21 00 1B 24 64 00", "1B 4A 18"},
        {u"FontA1x1 255", "1B 74 FF 08 4D 00 41 1D 21 00 1B 24 64 00", "1B 4A 18"},
        {u"FontB11", "1B 74 10 08 4D 00 42 1D 21 00 1B 24 64 00", "1B 4A 18"},
        {u"FontC3X4", "1B 74 10 08 4D 00 43 1D 21 23 1B 24 64 00", "1B 4A 18"},
        {u"Korean2x2", "1C 26 1D 21 11 1B 24 64 00", "1C 2E 1B 4A 18"},
        {u"Chinese2312 2x2", "1C 26 1D 21 11 1B 24 64 00", "1C 2E 1B 4A 18"},
        {u"Japanese1x2", "1C 26 1C 43 01 1D 21 01 1B 24 64 00", "1C 2E 1B 4A 18"},
        {u"FontA", "1B 74 10 08 4D 00 41 1D 21 00 1B 24 64 00", "1B 4A 18"},  // short name
    };
    for (const CommandCase& c : cases) {
        TextDevice d;
        ASSERT_EQ(Capture(d, c.family, u"AB", 100, 40, 24), 1u);
        EXPECT_EQ(d.Record(0)[0], FTYPE_DEVICE_FONT);
        EXPECT_EQ(ToHex(d.FieldA(0)), c.fieldA);
        EXPECT_EQ(ToHex(d.FieldB(0)), "41 42 " + std::string(c.trailer));
        EXPECT_EQ(TxtRecWord(d.Record(0), kTxtRecHeight), 24);
        EXPECT_EQ(TxtRecWord(d.Record(0), kTxtRecY), 40);
    }
}

TEST(AddDevFontInfoToBuf, KoreanTextIsInCodePage949AndTallFontsFeed255) {
    TextDevice d;
    ASSERT_EQ(Capture(d, u"Korean1x1", u"\uD55C\uAE00", 300, 0, 300), 1u);
    EXPECT_EQ(ToHex(d.FieldA(0)), "1C 26 1D 21 00 1B 24 2C 01");
    EXPECT_EQ(ToHex(d.FieldB(0)), "C7 D1 B1 DB 1C 2E 1B 4A FF");
    EXPECT_TRUE(LogHas("GetDevFontCommand : FEED COMMANDS ADDED : 1B 4A ff"));
}

TEST(AddDevFontInfoToBuf, NegativeXPrintsAtTheLeftEdge) {
    TextDevice d;
    ASSERT_EQ(Capture(d, u"FontA1x1", u"A", -40, -3, 24), 1u);
    EXPECT_EQ(ToHex(d.FieldA(0)).substr(30), "1B 24 00 00");
    EXPECT_EQ(TxtRecWord(d.Record(0), kTxtRecY), 0);
}

TEST(AddDevFontInfoToBuf, BadRunsLeaveNoRecord) {
    TextDevice d;
    StrRun empty(u"", 0, 0);
    EXPECT_FALSE(AddDevFontInfoToBuf(d.surface(), &empty.str, d.Font(u"FontA1x1", 24, true)));
    StrRun glyphs(u"AB", 0, 0);
    glyphs.str.pwszOrg = nullptr;
    EXPECT_FALSE(AddDevFontInfoToBuf(d.surface(), &glyphs.str, d.Font(u"FontA1x1", 24, true)));
    StrRun nul(std::u16string(1, u'\0') + u"A", 0, 0);  // converts to nothing
    EXPECT_FALSE(AddDevFontInfoToBuf(d.surface(), &nul.str, d.Font(u"FontA1x1", 24, true)));
    // A 300-character family name is no font of the printer: taken for a barcode name that
    // matches nothing.
    StrRun run(u"AB", 0, 0);
    EXPECT_FALSE(
        AddDevFontInfoToBuf(d.surface(), &run.str, d.Font(std::u16string(300, u'F'), 24, true)));
    EXPECT_FALSE(AddDevFontInfoToBuf(d.surface(), &run.str,
                                     d.Font(u"FontA" + std::u16string(300, u'\uAC00'), 24, true)));
    EXPECT_FALSE(AddDevFontInfoToBuf(nullptr, &run.str, d.Font(u"FontA1x1", 24, true)));
    EXPECT_EQ(d.state().pTxtBufStart, nullptr);
}

TEST(AddDevFontInfoToBuf, ReducedTurnedOrPreviewedPagesDrawDeviceTextAsTrueType) {
    for (int which = 0; which < 3; ++which) {
        TextDevice d;
        if (which == 0) {
            d.settings()[38] = 1;
            d.settings()[40] = 1;  // 75 %
        } else if (which == 1) {
            d.settings()[21] = 1;
        } else {
            d.settings()[29] = 1;
        }
        ASSERT_EQ(Capture(d, u"FontA1x1", u"AB", 10, 20, 24), 1u);
        EXPECT_EQ(d.Record(0)[0], FTYPE_TRUETYPE);
        EXPECT_EQ(ToHex(d.FieldA(0)), "46 00 6F 00 6E 00 74 00 41 00 31 00 78 00 31 00 00");
        EXPECT_EQ(ToHex(d.FieldB(0)), "41 00 42 00 00 00");
        EXPECT_TRUE(LogHas("AddDevFontInfoToBuf : Set the font type as TTF"));
    }
}

TEST(AddDevFontInfoToBuf, BarcodesStayDeviceBarcodesOnAReducedPage) {
    TextDevice d;
    d.settings()[38] = 1;
    d.settings()[40] = 1;
    ASSERT_EQ(Capture(d, u"Code39", u"123", 40, 0, 24), 1u);
    EXPECT_EQ(d.Record(0)[0], FTYPE_DEVICE_BARCODE);
    EXPECT_EQ(ToHex(d.FieldB(0)), "1D 6B 45 03 31 32 33");
    // Unknown barcode names print nothing.
    EXPECT_EQ(Capture(d, u"QR Code2", u"123", 40, 0, 24), 1u);
}

// ---- Font control ------------------------------------------------------------------------------

TEST(FontControl, TableCommandsInTextOrder) {
    TextDevice d;
    ASSERT_EQ(Capture(d, u"FontControl", u"(w)Xz", 0, 30, 24), 1u);
    EXPECT_EQ(d.Record(0)[0], FTYPE_DEVICE_FONT_CONTROL);
    EXPECT_EQ(ToHex(d.FieldA(0)), "1B 45 00 1B 61 00 1B 45 01");
    EXPECT_EQ(d.FieldB(0), "");
    ASSERT_EQ(Capture(d, u"Control", u"RmP", 0, 30, 24), 2u);
    EXPECT_EQ(ToHex(d.FieldA(1)),
              "1D 28 4C 06 00 30 25 30 30 01 01 1D 28 4C 06 00 30 25 30 34 02 02 0A 1D 56 42 00");
}

TEST(FontControl, DrawerOnlyLettersSetTheFlagsAndAddNoBytes) {
    TextDevice d;
    EXPECT_EQ(Capture(d, u"FontControl", u"F", 0, 0, 24), 0u);
    EXPECT_TRUE(d.state().bNoCutNoFeeds);
    EXPECT_FALSE(d.state().bNoCutNoFeeds2);
    EXPECT_EQ(Capture(d, u"FontControl", u"fA", 0, 0, 24), 1u);
    EXPECT_TRUE(d.state().bNoCutNoFeeds2);
    EXPECT_EQ(ToHex(d.FieldA(0)), "1B 70 00 19 FF");
}

TEST(FontControl, EmptyTextGivesNoCommand) {
    PBYTE command = nullptr;
    EXPECT_EQ(GetFontControlCommand(nullptr, &command, "", 0), 0u);
    EXPECT_EQ(command, nullptr);
    EXPECT_TRUE(LogHas("GetFontControlCommand : dwAnsiTextLength is Zero."));
}

class FontControlFile : public ::testing::Test {
protected:
    testing_support::TempRoot root;
    std::filesystem::path folder =
        root.path() / "Windows" / "System32" / "spool" / "prtprocs" / "x64";
    void WriteIni(const std::string& text) {
        std::filesystem::create_directories(folder);
        testing_support::WriteFile(folder / "LBRKV580R.INI", text);
    }
};

TEST_F(FontControlFile, ValuesAreUpperCaseHexPairs) {
    WriteIni("[FontControlA]\n41=1b40\n42=1B4\n43=1BZZ40\n44=1B6101\n45=1B4_\n");
    struct Case {
        const char* text;
        const char* bytes;
    };
    for (const Case& c : {Case{"A", ""}, Case{"B", ""}, Case{"C", "1B 40"},
                          Case{"DC", "1B 61 01 1B 40"}, Case{"E", "1B"}, Case{"Z", ""}}) {
        TextDevice d;
        PBYTE command = nullptr;
        const DWORD n = GetCommandFromFile(&d.state(), &command, c.text,
                                           static_cast<DWORD>(std::strlen(c.text)));
        EXPECT_EQ(ToHex(std::string(reinterpret_cast<char*>(command), n)), c.bytes) << c.text;
        LocalFree(command);
    }
}

TEST_F(FontControlFile, TheDispatcherStoresATypeFourRecord) {
    WriteIni("[FontControlA]\n40=1B40\n");
    TextDevice d;
    ASSERT_EQ(Capture(d, u"FontControlA", u"@@", 0, 12, 24), 1u);
    EXPECT_EQ(d.Record(0)[0], FTYPE_DEVICE_FONT_CONTROL_A);
    EXPECT_EQ(ToHex(d.FieldA(0)), "1B 40 1B 40");
    EXPECT_EQ(d.FieldB(0), "");
}

TEST_F(FontControlFile, AMissingFileOrBadArgumentsGiveNothing) {
    TextDevice d;
    PBYTE command = nullptr;
    EXPECT_EQ(GetCommandFromFile(&d.state(), &command, "A", 1), 0u);
    EXPECT_EQ(GetCommandFromFile(nullptr, &command, "A", 1), 0u);
    EXPECT_TRUE(LogHas("GetCommandFromFile : pOemPDEV is NULL."));
    EXPECT_EQ(GetCommandFromFile(&d.state(), &command, nullptr, 1), 0u);
    EXPECT_TRUE(LogHas("GetCommandFromFile : szAnsiText is NULL."));
    EXPECT_EQ(GetCommandFromFile(&d.state(), &command, "A", 0), 0u);
    EXPECT_TRUE(LogHas("GetCommandFromFile : dwAnsiTextLength is Zero."));
    EXPECT_EQ(command, nullptr);
}

TEST(PrintProcessorDirectory, AnswersTheSpoolerFolder) {
    char folder[256] = {};
    DWORD needed = 0;
    ASSERT_TRUE(GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(folder),
                                            sizeof(folder), &needed));
    EXPECT_STREQ(folder, "C:\\Windows\\System32\\spool\\prtprocs\\x64");
    EXPECT_EQ(needed, std::strlen(folder) + 1);
    char x86[] = "Windows NT x86";
    ASSERT_TRUE(GetPrintProcessorDirectoryA(nullptr, x86, 1, reinterpret_cast<LPBYTE>(folder),
                                            sizeof(folder), &needed));
    EXPECT_STREQ(folder, "C:\\Windows\\System32\\spool\\prtprocs\\W32X86");
    EXPECT_FALSE(GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(folder),
                                             4, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(GetPrintProcessorDirectoryA(nullptr, nullptr, 2, reinterpret_cast<LPBYTE>(folder),
                                             sizeof(folder), &needed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);
    char mars[] = "Mars";
    EXPECT_FALSE(GetPrintProcessorDirectoryA(nullptr, mars, 1, reinterpret_cast<LPBYTE>(folder),
                                             sizeof(folder), &needed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ENVIRONMENT);
}

}  // namespace
