// Jobs: spooling and delivery to the port's file or to the caller's output file.
#include "store_fixture.h"

namespace store_test {
namespace {

using testing_support::ReadFile;

DWORD Print(HANDLE printer, const std::string& bytes, WCHAR* outputFile = nullptr) {
    std::u16string name = u"receipt";
    DOC_INFO_1W doc{name.data(), outputFile, nullptr};
    DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc));
    if (job == 0) return 0;
    DWORD written = 0;
    EXPECT_TRUE(StartPagePrinter(printer));
    EXPECT_TRUE(WritePrinter(printer, const_cast<char*>(bytes.data()),
                             static_cast<DWORD>(bytes.size()), &written));
    EXPECT_EQ(written, bytes.size());
    EXPECT_TRUE(EndPagePrinter(printer));
    EXPECT_TRUE(EndDocPrinter(printer));
    return job;
}

TEST_F(StoreTest, JobsGoToThePortFileOneAfterAnother) {
    DWORD first = Print(user, std::string("\x1b@AB", 4));
    DWORD second = Print(user, "CD");
    ASSERT_GT(first, 0u);
    EXPECT_GT(second, first);
    EXPECT_EQ(ReadFile(root.path() / "ports" / "KV580.prn"), std::string("\x1b@ABCD", 6));
    auto spool = root.path() / "Windows" / "System32" / "spool" / "PRINTERS";
    EXPECT_TRUE(std::filesystem::is_empty(spool)) << "delivered spool files are removed";
}

TEST_F(StoreTest, OutputFileOfTheCallerIsWrittenAnew) {
    std::u16string out = u"C:\\Temp\\job.prn";
    testing_support::WriteFile(root.path() / "Temp" / "job.prn", "old contents");
    ASSERT_GT(Print(user, "NEW", out.data()), 0u);
    EXPECT_EQ(ReadFile(root.path() / "Temp" / "job.prn"), "NEW");
    EXPECT_FALSE(std::filesystem::exists(root.path() / "ports" / "KV580.prn"));
    for (const char16_t* refused : {u"D:\\job.prn", u"C:\\..\\job.prn"}) {
        std::u16string name = refused;
        EXPECT_EQ(Print(user, "x", name.data()), 0u);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
}

TEST_F(StoreTest, FilePortNeedsAnOutputFile) {
    HANDLE file = AddTestPrinter(u"F", u"FILE:");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Print(file, "x"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    std::string target = (root.path() / "direct.prn").string();
    std::u16string name(target.begin(), target.end());
    ASSERT_GT(Print(file, "to a file", name.data()), 0u);
    EXPECT_EQ(ReadFile(target), "to a file");
    ClosePrinter(file);
}

TEST_F(StoreTest, WritingWithoutJobAndAbortingDeliverNothing) {
    DWORD written = 5;
    char byte = 'x';
    EXPECT_FALSE(WritePrinter(user, &byte, 1, &written));
    EXPECT_EQ(GetLastError(), ERROR_SPL_NO_STARTDOC);
    EXPECT_EQ(written, 0u);
    DOC_INFO_1W doc{nullptr, nullptr, nullptr};
    ASSERT_GT(StartDocPrinterW(user, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
    EXPECT_EQ(StartDocPrinterW(user, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_STATE);
    ASSERT_TRUE(WritePrinter(user, &byte, 1, &written));
    ASSERT_TRUE(AbortPrinter(user));
    EXPECT_FALSE(std::filesystem::exists(root.path() / "ports" / "KV580.prn"));
}

TEST(PortFile, NamesNeverLeaveThePortsFolder) {
    std::filesystem::path root = "/r";
    struct Case {
        const char16_t* port;
        const char* file;
    } cases[] = {
        {u"KV580:", "/r/ports/KV580.prn"},
        {u"COM1:", "/r/ports/COM1.prn"},
        {u"IP_10.0.0.5", "/r/ports/IP_10.0.0.5.prn"},
        {u"../../etc/x", "/r/ports/.._.._etc_x.prn"},
        {u"..", "/r/ports/_...prn"},
        {u":", "/r/ports/_.prn"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::PortFilePath(root, c.port), std::filesystem::path(c.file)) << c.file;
    }
}

}  // namespace
}  // namespace store_test
