// Text keys, coupons, barcode preview data, copies, journal and preview through the whole road
// of a print job: `kv580 print` of job scripts on a fresh root, the clock pinned.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "win32/files.h"
#include "win32/system_root.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kTime = "KV580_FAKE_TIME=2026-12-11T10:20:30";
const std::string kJournal = "20261211_102030.jnl";

// Settings bytes: the driver's defaults with the given changes.
std::string Misc(std::initializer_list<std::pair<int, int>> changes) {
    unsigned char misc[44] = {};
    for (int i : {2, 4, 7, 9, 11, 13}) misc[i] = 25;
    misc[5] = 1;
    misc[19] = 1;
    misc[20] = 1;
    misc[35] = 10;
    misc[36] = 1;
    for (auto [index, value] : changes) misc[index] = static_cast<unsigned char>(value);
    return ToHex(std::string(reinterpret_cast<char*>(misc), sizeof misc));
}

std::string Text(const std::string& text, const std::string& font, int y) {
    return R"({"type": "text", "text": ")" + text + R"(", "font": ")" + font +
           R"(", "x": 0, "y": )" + std::to_string(y) + R"(, "height": 24})";
}

std::string Job(const std::vector<std::string>& items, const std::string& devmode = "") {
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? "" : ", ") + item;
    return R"({"document": "t", "paper": {"width": 576, "height": 200}, )" +
           (devmode.empty() ? "" : R"("devmode": )" + devmode + ", ") + R"("pages": [{"items": [)" +
           list + "]}]}";
}

class PrintTextKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Kv({"printer", "add", printer}).exitCode, 0);
        fs::create_directories(folder / "PreviewBin");
    }
    RunResult Kv(std::vector<std::string> args, std::vector<std::string> env = {}) {
        args.insert(args.begin(), {"--root", root.string()});
        env.push_back(kTime);
        env.push_back("KV580_SHELL_RECORD=" + (dir.path() / "shell.txt").string());
        return RunKv580(args, env);
    }
    void Set(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"printer-data", printer, "set"};
        all.insert(all.end(), args.begin(), args.end());
        RunResult r = Kv(all);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    void SetMisc(std::initializer_list<std::pair<int, int>> changes) {
        Set({"MISC", "--hex", Misc(changes)});
    }
    void SetKeys(const std::vector<std::string>& keys) {
        Set({"NumTextKey", "--key", "TextKeyFunction", "--dword", std::to_string(keys.size())});
        for (size_t k = 0; k < keys.size(); ++k) {
            std::string name = "TextKey0" + std::to_string(k);
            Set({name, "--key", "TextKeyFunction", "--string", keys[k]});
        }
    }
    // Prints and returns the spooled bytes.
    std::string Print(const std::string& script, std::vector<std::string> env = {}) {
        WriteFile(dir.path() / "job.json", script);
        const fs::path out = dir.path() / "out.prn";
        fs::remove(out);
        RunResult r = Kv({"print", (dir.path() / "job.json").string(), "--printer", printer,
                          "--out", out.string()},
                         env);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0 ? ReadFile(out) : std::string();
    }
    size_t Count(const std::string& haystack, const std::string& needle) {
        size_t n = 0;
        for (size_t p = haystack.find(needle); p != std::string::npos;
             p = haystack.find(needle, p + 1)) {
            ++n;
        }
        return n;
    }

    TempDir dir;
    fs::path root = dir.path() / "root";
    fs::path folder = root / "Windows" / "LBR-KV580";
    std::string printer = "Front Desk 2";
};

// Font commands of FontA1x1 at X 0, then the text and its feed of 24 dots.
std::string FontA(const std::string& text) {
    return FromHex("1B 74 10 08 4D 00 41 1D 21 00 1B 24 00 00") + text + FromHex("1B 4A 18");
}

TEST_F(PrintTextKeys, TextKeysReplaceTextInsertImagesAndSendCouponsOnceAtTheEnd) {
    SetMisc({{27, 1}, {30, 1}});  // text keys on, journal kept
    SetKeys({"TOTAL\t_NULL_\tSUM:\t_NULL_", "LOGO\tshop", "WIN\t_NULL_\t_NULL_\tc1",
             "BONUS\t_NULL_\t_NULL_\tc2"});
    WriteFile(folder / "shop.bin", "<SHOP>");
    WriteFile(folder / "c1.bin", "<C1>");
    WriteFile(folder / "c2.bin", "<C2>");
    const std::string out =
        Print(Job({Text("TOTAL TOTAL", "FontA1x1", 10), Text("xxLOGOyy", "FontA1x1", 40),
                   Text("WIN", "FontA1x1", 70), Text("BONUS", "FontA1x1", 100),
                   Text("WIN AGAIN", "FontA1x1", 130)}));
    // TOTAL TOTAL became SUM: SUM: (two bytes shorter).
    EXPECT_NE(out.find(FontA("SUM: SUM:")), std::string::npos) << ToHex(out);
    EXPECT_EQ(out.find("TOTAL"), std::string::npos);
    // xxLOGOyy: device text xx, the bytes of shop.bin, device text yy, in that order.
    const size_t xx = out.find(FontA("xx"));
    const size_t shop = out.find("<SHOP>");
    const size_t yy = out.find(FontA("yy"));
    ASSERT_NE(xx, std::string::npos);
    ASSERT_NE(shop, std::string::npos);
    ASSERT_NE(yy, std::string::npos);
    EXPECT_LT(xx, shop);
    EXPECT_LT(shop, yy);
    EXPECT_EQ(out.find("LOGO"), std::string::npos);
    // Coupons c1 and c2 once each, in that order, after the last page, before the job's end.
    EXPECT_EQ(Count(out, "<C1>"), 1u);
    EXPECT_EQ(Count(out, "<C2>"), 1u);
    const size_t c1 = out.find("<C1><C2>");
    ASSERT_NE(c1, std::string::npos);
    EXPECT_GT(c1, out.find(FontA("WIN AGAIN")));
    // The journal holds the same bytes, coupons included.
    EXPECT_EQ(ReadFile(folder / kJournal), out);
}

TEST_F(PrintTextKeys, WithoutTheKeyTableOrWithTextKeysOffTheTextIsPrintedAsItIs) {
    WriteFile(folder / "shop.bin", "<SHOP>");
    SetMisc({{27, 1}});
    std::string out = Print(Job({Text("xxLOGOyy", "FontA1x1", 10)}));  // no NumTextKey
    EXPECT_NE(out.find(FontA("xxLOGOyy")), std::string::npos) << ToHex(out);
    SetKeys({"LOGO\tshop"});
    SetMisc({{27, 0}});
    out = Print(Job({Text("xxLOGOyy", "FontA1x1", 10)}));
    EXPECT_NE(out.find(FontA("xxLOGOyy")), std::string::npos) << ToHex(out);
    EXPECT_EQ(out.find("<SHOP>"), std::string::npos);
}

TEST_F(PrintTextKeys, ImageAndCouponNamesNeverLeaveTheirFolder) {
    SetMisc({{27, 1}});
    SetKeys({"LOGO\t..\\secret", "WIN\t_NULL_\t_NULL_\t../secret", "BIG\t_NULL_\t_NULL_\ta/b"});
    WriteFile(root / "Windows" / "secret.bin", "<SECRET>");
    fs::create_directories(folder / "a");
    WriteFile(folder / "a" / "b.bin", "<SECRET>");
    WriteFile(folder / "a.bin", "<SECRET>");
    WriteFile(folder / "b.bin", "<SECRET>");
    const std::string out = Print(Job({Text("xLOGOy WIN BIG", "FontA1x1", 10)}));
    EXPECT_EQ(out.find("<SECRET>"), std::string::npos) << ToHex(out);
    EXPECT_NE(out.find(FontA("x")), std::string::npos);
}

TEST_F(PrintTextKeys, QrCodeInPreviewCarriesA1000BytePicture) {
    SetMisc({{29, 1}});  // preview on
    std::string picture(1000, '\0');
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i % 251);
    WriteFile(folder / "PreviewBin" / "2D_QRCODE.bin", picture);
    const std::string out = Print(Job({Text("HELLO", "QR Code", 20)}));
    const std::string block = FromHex("00 00 00 1B 40 F6 03") + "ORVANEX" + picture;
    const size_t at = out.find(block);
    ASSERT_NE(at, std::string::npos) << ToHex(out);
    // Right behind the symbol's print command (GS ( k 03 00 31 51 30).
    EXPECT_EQ(out.rfind(FromHex("1D 28 6B 03 00 31 51 30"), at) + 8, at);
    // The preview copy of the job holds it too, and the preview application was asked for.
    EXPECT_EQ(ReadFile(folder / "OVXPreview.prn"), out);
}

TEST_F(PrintTextKeys, MaxiCodeInPreviewAndPreviewOffGetNoBlock) {
    WriteFile(folder / "PreviewBin" / "2D_QRCODE.bin", "QR");
    WriteFile(folder / "PreviewBin" / "1D_CODE.bin", "1D");
    SetMisc({{29, 1}});
    std::string out = Print(Job({Text("12345", "MAXI Code", 20)}));
    EXPECT_EQ(out.find("ORVANEX"), std::string::npos) << ToHex(out);
    SetMisc({});
    out = Print(Job({Text("HELLO", "QR Code", 20), Text("CODE39", "Code39", 100)}));
    EXPECT_EQ(out.find("ORVANEX"), std::string::npos) << ToHex(out);
}

TEST_F(PrintTextKeys, ThreeCopiesWithPreviewOnAndJournalOff) {
    SetMisc({{29, 1}, {30, 0}});
    const std::string out = Print(Job({Text("COPY", "FontA1x1", 10)}, R"({"copies": 3})"));
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(ReadFile(folder / "OVXPreview.prn"), out + out + out);
    EXPECT_FALSE(fs::exists(folder / kJournal));
    // The printer name with spaces reaches the preview program as one argument.
    const std::string shell = ReadFile(dir.path() / "shell.txt");
    EXPECT_EQ(shell, "open\t" + (folder / "OVXPreview.exe").string() + "\t" + printer + "\t" +
                         folder.string() + "\n");
}

TEST_F(PrintTextKeys, JournalOfTheSameSecondIsAppendedToUnlessHeldOpen) {
    SetMisc({{30, 1}});
    const std::string first = Print(Job({Text("ONE", "FontA1x1", 10)}));
    const std::string second = Print(Job({Text("TWO", "FontA1x1", 10)}));
    EXPECT_EQ(ReadFile(folder / kJournal), first + second);

    // While an earlier job still holds the journal open, the next job runs without one.
    platform::SetSystemRoot(root);
    const std::u16string path = u"C:\\Windows\\LBR-KV580\\20261211_102030.jnl";
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string third = Print(Job({Text("THREE", "FontA1x1", 10)}));
    CloseHandle(held);
    EXPECT_NE(third.find(FontA("THREE")), std::string::npos);
    EXPECT_EQ(ReadFile(folder / kJournal), first + second);
}

TEST_F(PrintTextKeys, ThePreviewProgramGetsThePrinterNameAndMakesAPicture) {
    // Started for real: the program placed as the installer will place it.
    fs::copy_file(BinDir() / "OVXPreview.exe", folder / "OVXPreview.exe");
    SetMisc({{29, 1}});
    WriteFile(dir.path() / "job.json", Job({Text("PREVIEW", "FontA1x1", 10)}));
    RunResult r = RunKv580({"--root", root.string(), "print", (dir.path() / "job.json").string(),
                            "--printer", printer},
                           {kTime});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string line;
    for (int i = 0; i < 200 && (line.empty() || line.back() != '\n'); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (fs::exists(folder / "OVXPreview.log")) line = ReadFile(folder / "OVXPreview.log");
    }
    EXPECT_EQ(line.rfind("OVXPreview\targuments 1\tprinter Front Desk 2\tOVXPreview.prn ", 0), 0u)
        << line;
    EXPECT_NE(line.find("\tOVXPreview.png "), std::string::npos) << line;
    EXPECT_TRUE(fs::exists(folder / "OVXPreview.png"));
}

}  // namespace
