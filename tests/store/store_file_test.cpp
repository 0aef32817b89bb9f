// The store file: creation, refusal of damaged or foreign files (left unchanged), and several
// processes writing to one printer at once.
#include <sqlite3.h>

#include <future>

#include "store_fixture.h"

namespace store_test {
namespace {

using testing_support::ReadFile;
using testing_support::RunKv580;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(StoreFile, CreateStoreIsRepeatableAndKeepsData) {
    testing_support::TempRoot root;
    std::string error;
    ASSERT_TRUE(platform::CreateStore(root.path(), error)) << error;
    HANDLE printer = AddTestPrinter(u"Kept");
    ASSERT_NE(printer, nullptr);
    ClosePrinter(printer);
    ASSERT_TRUE(platform::CreateStore(root.path(), error)) << error;
    HANDLE again = Open(u"Kept", PRINTER_ALL_ACCESS);
    EXPECT_NE(again, nullptr);
    ClosePrinter(again);
}

void MakeForeignDatabase(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text TEXT)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

TEST(StoreFile, DamagedOrForeignStoreIsRefusedAndLeftUnchanged) {
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> make;
    } cases[] = {
        {"text", [](const std::filesystem::path& f) { WriteFile(f, "this is not a database\n"); }},
        {"truncated header", [](const std::filesystem::path& f) { WriteFile(f, "SQLite form"); }},
        {"foreign database", MakeForeignDatabase},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::TempRoot root;
        auto file = root.path() / "system.db";
        c.make(file);
        std::string before = ReadFile(file);
        std::string error;
        EXPECT_FALSE(platform::CreateStore(root.path(), error));
        EXPECT_NE(error.find(file.string()), std::string::npos) << error;
        HANDLE handle = nullptr;
        EXPECT_FALSE(OpenPrinterW(u"P", &handle, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_BADDB);
        EXPECT_EQ(AddTestPrinter(u"P"), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_BADDB);
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\X", 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  static_cast<LSTATUS>(ERROR_BADDB));
        auto result = RunKv580({"--root", root.path().string(), "printers"});
        EXPECT_NE(result.exitCode, 0);
        EXPECT_NE(result.err.find(file.string()), std::string::npos) << result.err;
        EXPECT_EQ(ReadFile(file), before);
        EXPECT_FALSE(std::filesystem::exists(root.path() / "system.db-wal"));
    }
}

TEST(StoreFile, TwoProcessesWritingAThousandValuesEachLoseNone) {
    testing_support::TempRoot root;
    HANDLE printer = AddTestPrinter(u"Shared");
    ASSERT_NE(printer, nullptr);
    auto writer = testing_support::BinDir() / "store_writer";
    auto run = [&](const char* prefix) {
        return testing_support::Run(writer, {root.path().string(), "Shared", prefix, "1000"});
    };
    auto first = std::async(std::launch::async, run, "a");
    auto second = std::async(std::launch::async, run, "b");
    auto a = first.get(), b = second.get();
    ASSERT_EQ(a.exitCode, 0) << a.err;
    ASSERT_EQ(b.exitCode, 0) << b.err;

    DWORD needed = 0, count = 0;
    ASSERT_EQ(EnumPrinterDataExW(printer, u"Load", nullptr, 0, &needed, &count), ERROR_MORE_DATA);
    std::vector<BYTE> buffer(needed);
    ASSERT_EQ(EnumPrinterDataExW(printer, u"Load", buffer.data(), needed, &needed, &count), 0u);
    EXPECT_EQ(count, 2000u);
    DWORD value = 0;
    ASSERT_EQ(GetPrinterDataExW(printer, u"Load", u"b0999", nullptr,
                                reinterpret_cast<BYTE*>(&value), 4, &needed),
              0u);
    EXPECT_EQ(value, 999u);
    ClosePrinter(printer);
}

}  // namespace
}  // namespace store_test
