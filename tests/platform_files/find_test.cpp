// Folder enumeration with FindFirstFile / FindNextFile.
#include <gtest/gtest.h>

#include <vector>

#include "files_test_util.h"

namespace fs = std::filesystem;
using files_test::W;

namespace {

class FindTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(logs() / "Sub");
        testing_support::WriteFile(logs() / "LBR-KV580_1211_00042_OEMUNI.LOG", "12345");
        testing_support::WriteFile(logs() / "b.bin", "");
        testing_support::WriteFile(logs() / "a.BMP", std::string(70000, 'x'));
    }
    fs::path logs() const { return root.path() / "Windows" / "temp" / "LBR-KV580"; }

    // The names FindFirstFileW/FindNextFileW give for a pattern; "!<error>" when none.
    std::vector<std::string> Names(const std::string& pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(W(pattern).c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return {"!" + std::to_string(GetLastError())};
        do {
            names.push_back(platform::Utf16ToUtf8(data.cFileName));
        } while (FindNextFileW(h, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(h));
        return names;
    }
    testing_support::TempRoot root;
};

TEST_F(FindTest, PatternsMatchWithoutRegardToCase) {
    using V = std::vector<std::string>;
    const std::string folder = "C:\\WINDOWS\\Temp\\lbr-kv580\\";
    EXPECT_EQ(Names(folder + "*.*"),
              (V{".", "..", "a.BMP", "b.bin", "LBR-KV580_1211_00042_OEMUNI.LOG", "Sub"}));
    EXPECT_EQ(Names(folder + "*"), Names(folder + "*.*"));
    EXPECT_EQ(Names(folder + "*.log"), (V{"LBR-KV580_1211_00042_OEMUNI.LOG"}));
    EXPECT_EQ(Names(folder + "?.b*"), (V{"a.BMP", "b.bin"}));
    EXPECT_EQ(Names(folder + "lbr-kv580_????_*_oemuni.log"),
              (V{"LBR-KV580_1211_00042_OEMUNI.LOG"}));
    EXPECT_EQ(Names(folder + "B.BIN"), (V{"b.bin"}));
    EXPECT_EQ(Names(folder + "*.txt"), (V{"!" + std::to_string(ERROR_FILE_NOT_FOUND)}));
    EXPECT_EQ(Names("C:\\Windows\\NoSuch\\*.*"), (V{"!" + std::to_string(ERROR_PATH_NOT_FOUND)}));
    EXPECT_EQ(Names(folder), (V{"!" + std::to_string(ERROR_FILE_NOT_FOUND)}));
    EXPECT_EQ(Names("D:\\*.*"), (V{"!" + std::to_string(ERROR_ACCESS_DENIED)}));
}

TEST_F(FindTest, TheRootListsNeitherDotsNorBookkeeping) {
    // Bookkeeping of share modes lives under the root; it is not listed.
    HANDLE h = CreateFileW(u"C:\\Temp\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    auto names = Names("C:\\*");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Windows"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "."), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), ".kv580"), 0);
}

TEST_F(FindTest, RecordsCarryAttributesSizesAndTimes) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\Windows\\temp\\LBR-KV580\\*.*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int seen = 0;
    do {
        std::string name = data.cFileName;
        if (name == "a.BMP") {
            EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
            EXPECT_EQ(data.nFileSizeLow, 70000u);
            EXPECT_EQ(data.nFileSizeHigh, 0u);
            HANDLE f = CreateFileA("C:\\Windows\\temp\\LBR-KV580\\a.BMP", GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            FILETIME written{};
            GetFileTime(f, nullptr, nullptr, &written);
            CloseHandle(f);
            EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, written.dwLowDateTime);
            EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, written.dwHighDateTime);
            ++seen;
        } else if (name == "Sub" || name == "." || name == "..") {
            EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_EQ(data.nFileSizeLow, 0u);
            ++seen;
        }
    } while (FindNextFileA(h, &data));
    EXPECT_EQ(seen, 4);
    FindClose(h);
}

TEST_F(FindTest, DeletingWhileEnumerating) {
    // The clean-up of the log folder deletes as it goes.
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"C:\\Windows\\temp\\LBR-KV580\\*.*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int deleted = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::u16string path = u"C:\\Windows\\temp\\LBR-KV580\\" + std::u16string(data.cFileName);
        if (DeleteFileW(path.c_str())) ++deleted;
    } while (FindNextFileW(h, &data));
    FindClose(h);
    EXPECT_EQ(deleted, 3);
    EXPECT_TRUE(fs::exists(logs() / "Sub"));
    EXPECT_FALSE(fs::exists(logs() / "b.bin"));
}

TEST_F(FindTest, BadHandles) {
    WIN32_FIND_DATAW data;
    EXPECT_FALSE(FindNextFileW(nullptr, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    HANDLE file = CreateFileW(u"C:\\Temp\\f", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_FALSE(FindClose(file));  // not a find handle
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
