// The job command flow and the job control commands, through the loaded plug-in: the bytes
// that reach the spooler, the page counter, drawer-only pages, the journal and the preview.
#include <cstdlib>

#include "plugin_fixture.h"
#include "win32/files.h"
#include "win32/paths.h"

namespace render_test {
namespace {

using testing_support::FromHex;
using testing_support::ToHex;

const std::string kReset = "1B 40 1B 3D 01";
const std::string kCut = "00 1B 33 00 00 0A 1D 56 42 00 1B 32";
const std::string kNoCut = "00 1B 33 00 00 0A 1B 4A 00 1B 32 0C";

class JobFlowTest : public PluginTest {
protected:
    // Runs a job of `pages` pages that capture nothing; returns the spooled bytes as hex.
    std::string RunJob(int pages, DWORD jobId = 7) {
        host->StartDoc(u"receipt", jobId);
        for (int i = 0; i < pages; ++i) {
            host->StartPage();
            host->SendPage();
        }
        host->EndDoc();
        return ToHex(host->services().spooled);
    }
    std::filesystem::path ProgramFolder() const { return root->path() / "Windows" / "LBR-KV580"; }

    // One page whose single 576-dot band of `rows` rows has black dots in a pattern, so that it
    // converts to raster commands.
    void PrintedPage(LONG rows = 40) {
        host->StartPage();
        const DWORD rowBytes = 72;
        std::vector<BYTE> bits(rows * rowBytes, 0xFF);
        for (size_t i = 0; i < bits.size(); i += 3) bits[i] = static_cast<BYTE>(i * 37);
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof header;
        header.biWidth = 576;
        header.biHeight = rows;
        header.biPlanes = 1;
        header.biBitCount = 1;
        header.biSizeImage = rows * rowBytes;
        IPPARAMS params = {};
        params.dwSize = sizeof params;
        params.bBanding = TRUE;
        PBYTE result = nullptr;
        host->plugin()->ImageProcessing(host->devobj(), bits.data(), &header, nullptr, BMF_1BPP,
                                        &params, &result);
        host->SendPage();
    }
};

TEST_F(JobFlowTest, DefaultJobIsResetThenTheJobEndCut) {
    SetMisc({{43, 0},
             {2, 25},
             {4, 25},
             {5, 1},
             {7, 25},
             {9, 25},
             {11, 25},
             {13, 25},
             {19, 1},
             {20, 1},
             {35, 10},
             {36, 1}});
    Enable();
    // Pages without a page bitmap send nothing, not even their start-of-page block.
    EXPECT_EQ(RunJob(2), kReset + " " + kCut);
    BYTE pages[2] = {};
    DWORD type = 0, needed = 0;
    ASSERT_EQ(GetPrinterDataExW(printer, kProperties, u"PAGES", &type, pages, 2, &needed),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(pages[0], 2);
    EXPECT_EQ(pages[1], 0);
}

TEST_F(JobFlowTest, StartAndEndOfJobBlocksFollowTheSettings) {
    struct Case {
        const char* name;
        std::initializer_list<std::pair<int, int>> misc;
        std::string startDoc, endDoc;
        std::string expected;
    } cases[] = {
        {"drawers, beep, string and NV image by key code",
         {{6, 1}, {7, 0x20}, {8, 1}, {9, 0x21}, {10, 1}, {11, 5}, {15, 3}, {20, 1}, {5, 1}},
         "AB",
         "",
         kReset + " 1B 70 00 20 FF 1B 70 01 21 FF 1B 42 00 05 41 42 1B 4A 00 " +
             "1D 28 4C 06 00 30 45 30 32 01 01 " + kCut},
        {"NV image by number", {{15, 3}, {20, 0}, {5, 1}}, "", "", kReset + " 1C 70 03 00 " + kCut},
        {"line feeds only, no cut at the job end",
         {{0, 3}, {5, 0}},
         "",
         "",
         kReset + " 0A 0A 0A " + kNoCut},
        {"end of job: string, NV image, drawers, beep, feeds",
         {{18, 2}, {20, 0}, {1, 1}, {2, 25}, {3, 1}, {4, 26}, {12, 1}, {13, 9}, {0, 1}, {5, 2}},
         "",
         "Z",
         kReset + " 5A 1B 4A 00 1C 70 02 00 1B 70 00 19 FF 1B 70 01 1A FF 1B 42 00 09 0A " + kCut},
        {"line feeds above 99 are cut to 99", {{0, 150}, {5, 3}}, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetMisc(c.misc);
        if (!c.startDoc.empty()) SetProperty(u"StartDoc", c.startDoc);
        if (!c.endDoc.empty()) SetProperty(u"EndDoc", c.endDoc);
        host.reset();
        Enable();
        std::string expected = c.expected;
        if (expected.empty()) {  // 99 line feeds, and cut mode 3 sends no sequence
            expected = kReset;
            for (int i = 0; i < 99; ++i) expected += " 0A";
        }
        EXPECT_EQ(RunJob(1), expected);
        DeletePrinterDataExW(printer, kProperties, u"StartDoc");
        DeletePrinterDataExW(printer, kProperties, u"EndDoc");
    }
}

TEST_F(JobFlowTest, UnknownCallbackIdOnlyLogsItsTwoLines) {
    SetMisc();
    Enable();
    host->StartDoc(u"doc", 9);
    const auto before = testing_support::ReadFile(LogFile(JobPart(9)));
    EXPECT_EQ(host->CommandCallback(5), S_OK);
    const auto after = testing_support::ReadFile(LogFile(JobPart(9)));
    EXPECT_EQ(after.substr(before.size()),
              "06:45:00:000: CommandCallback : START, CallBack ID = 5 \r\n"
              "06:45:00:000: CommandCallback : END, CallBack ID = 5 \r\n");
    EXPECT_TRUE(host->services().spooled.size() == 5);  // only the reset so far
}

TEST_F(JobFlowTest, DrawerOnlyPagesSendOnlyTheDrawerCommandAndNoCut) {
    SetMisc({{43, 0}, {5, 2}});
    Enable();
    host->StartDoc(u"drawer", 3);
    for (int page = 0; page < 2; ++page) {
        host->StartPage();
        State()->bNoCutNoFeeds = TRUE;  // what the font-control text of the page sets
        if (page == 1) State()->bNoCutNoFeeds2 = TRUE;
        host->SendPage();
    }
    host->EndDoc();
    EXPECT_EQ(ToHex(host->services().spooled),
              kReset + " 1B 70 00 19 FF 1B 70 00 19 FF 1B 70 01 19 FF");
    // Each drawer command is a write of its own.
    const std::vector<DWORD> sizes = {5, 5, 5, 5};
    EXPECT_EQ(host->services().writeSizes, sizes);
}

TEST_F(JobFlowTest, CopiesGoIntoThePreviewFileAndTheJournalIsDeleted) {
    std::filesystem::create_directories(ProgramFolder());
    auto launches = root->path() / "launches.txt";
    setenv("KV580_SHELL_RECORD", launches.c_str(), 1);
    SetMisc({{43, 0}, {5, 1}, {29, 1}, {30, 0}});
    devmode.dmCopies = 3;
    Enable();
    const std::string job = FromHex(RunJob(1));
    unsetenv("KV580_SHELL_RECORD");
    EXPECT_EQ(testing_support::ReadFile(ProgramFolder() / "OVXPreview.prn"), job + job + job);
    // The journal is gone; only the preview file is left.
    int journals = 0;
    for (auto& entry : std::filesystem::directory_iterator(ProgramFolder())) {
        journals += entry.path().extension() == ".jnl";
    }
    EXPECT_EQ(journals, 0);
    // The preview program gets the printer name (with its space) as its one argument.
    const std::string launch = testing_support::ReadFile(launches);
    EXPECT_NE(launch.find("OVXPreview.exe\tKV580 Receipt\t"), std::string::npos) << launch;
}

TEST_F(JobFlowTest, KeptJournalIsAppendedToInTheSameSecondUnlessItIsHeldOpen) {
    std::filesystem::create_directories(ProgramFolder());
    SetMisc({{43, 0}, {5, 1}, {19, 2}, {30, 1}});
    Enable();
    const std::string first = FromHex(RunJob(1, 1));
    // Copies 1 in the DEVMODE and byte 19 = 2: the journal holds the job twice.
    std::filesystem::path kept;
    for (auto& entry : std::filesystem::directory_iterator(ProgramFolder())) {
        if (entry.path().extension() == ".jnl") kept = entry.path();
    }
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(testing_support::ReadFile(kept), first + first);

    // A second job in the same second appends to the same journal; its copy is of itself only.
    host->services().spooled.clear();
    const std::string second = FromHex(RunJob(1, 2));
    EXPECT_EQ(testing_support::ReadFile(kept), first + first + second + second);

    // While another holder keeps the journal open, the job runs without one.
    HANDLE holder = CreateFileW(platform::ToWindowsPath(kept).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    host->services().spooled.clear();
    EXPECT_EQ(FromHex(RunJob(1, 3)), second);
    CloseHandle(holder);
    EXPECT_EQ(testing_support::ReadFile(kept), first + first + second + second);
}

TEST_F(JobFlowTest, CutModeTwoCutsAfterEveryPageAndAtTheJobEnd) {
    SetMisc({{43, 0}, {5, 2}, {36, 1}});
    Enable();
    host->StartDoc(u"two pages", 4);
    PrintedPage();
    PrintedPage();
    host->EndDoc();
    const std::string bytes = ToHex(host->services().spooled);
    const std::string page1 = kCut + " 00 08 01 00", page2 = kCut + " 00 08 02 00";
    const auto first = bytes.find(page1);
    ASSERT_NE(first, std::string::npos) << bytes;
    const auto second = bytes.find(page2, first);
    ASSERT_NE(second, std::string::npos) << bytes;
    EXPECT_EQ(bytes.substr(bytes.size() - kCut.size() - 1), " " + kCut);
    EXPECT_EQ(bytes.find(kReset), 0u);
}

TEST_F(JobFlowTest, ThePageMarkerCarriesTheSixteenBitPageCounter) {
    SetMisc({{43, 0}, {5, 1}});
    Enable();
    host->StartDoc(u"long job", 5);
    State()->UIInfo.byPage = 299;  // the next page is the 300th of the device context
    PrintedPage();
    EXPECT_NE(ToHex(host->services().spooled).find(kNoCut + " 00 08 2C 01"), std::string::npos);
    State()->UIInfo.byPage = 0xFFFF;  // and the counter wraps to 0
    PrintedPage();
    EXPECT_NE(ToHex(host->services().spooled).find(kNoCut + " 00 08 00 00"), std::string::npos);
    host->EndDoc();
}

TEST_F(JobFlowTest, PageWritesGoInChunksOfAtMost4096BytesAsTheSpoolerTakesThem) {
    SetMisc({{43, 0}, {5, 1}, {36, 0}});  // plain raster: a large page buffer
    Enable();
    host->services().maxBytesPerWrite = 1000;
    host->StartDoc(u"chunks", 6);
    host->services().writeSizes.clear();
    PrintedPage(130);
    const std::vector<DWORD> sizes = host->services().writeSizes;
    ASSERT_GT(sizes.size(), 5u);
    // Every call offers the next unsent bytes, at most 4096, and the spooler takes 1000.
    const DWORD pageBytes = static_cast<DWORD>(host->services().spooled.size()) - 5;
    DWORD rest = pageBytes;
    for (size_t i = 0; i < sizes.size(); ++i) {
        ASSERT_EQ(sizes[i], rest < 4096 ? rest : 4096u) << "call " << i;
        rest -= rest < 1000 ? rest : 1000;
    }
    EXPECT_EQ(rest, 0u);
    EXPECT_EQ(sizes.size(), (pageBytes + 999) / 1000);
    host->EndDoc();
}

TEST_F(JobFlowTest, ASpoolerThatTakesNothingIsGivenUpAfterAFewTries) {
    SetMisc({{43, 0}, {5, 1}});
    Enable();
    host->StartDoc(u"stuck", 8);
    host->services().sink = [](const BYTE*, DWORD) -> DWORD { return 0; };
    host->services().writeSizes.clear();
    PrintedPage();
    // Three calls that made no progress, then the page is given up and the job goes on.
    EXPECT_EQ(host->services().writeSizes.size(), 3u);
    host->services().sink = nullptr;
    host->EndDoc();
    EXPECT_EQ(ToHex(host->services().spooled), kReset + " " + kCut);
}

}  // namespace
}  // namespace render_test
