// Well-known folders and the mapping of Windows paths onto the system root.
#include "win32/paths.h"

#include <gtest/gtest.h>

#include "files_test_util.h"
#include "win32/system_root.h"

namespace fs = std::filesystem;
using files_test::W;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root.path() / "Windows" / "LBR-KV580");
        testing_support::WriteFile(root.path() / "Windows" / "LBR-KV580" / "Config.OVX", "x");
    }
    void TearDown() override {
        SetCurrentDirectoryW(u"C:\\");
        platform::SetModulePathResolver(nullptr);
    }
    testing_support::TempRoot root;
};

TEST_F(PathsTest, WellKnownFoldersFollowTheBufferRule) {
    WCHAR buffer[64];
    EXPECT_EQ(GetWindowsDirectoryW(buffer, 64), 10u);
    EXPECT_EQ(std::u16string(buffer), u"C:\\Windows");
    EXPECT_EQ(GetSystemDirectoryW(buffer, 64), 19u);
    EXPECT_EQ(std::u16string(buffer), u"C:\\Windows\\System32");
    EXPECT_EQ(GetSystemWindowsDirectoryW(buffer, 64), 10u);
    EXPECT_EQ(GetTempPathW(64, buffer), 8u);
    EXPECT_EQ(std::u16string(buffer), u"C:\\Temp\\");

    // Too small: nothing copied, the size needed with the terminator.
    WCHAR small[10] = {u'?'};
    EXPECT_EQ(GetWindowsDirectoryW(small, 10), 11u);
    EXPECT_EQ(small[0], u'?');
    EXPECT_EQ(GetWindowsDirectoryW(nullptr, 0), 11u);
    EXPECT_EQ(GetTempPathW(8, buffer), 9u);

    char narrow[64];
    EXPECT_EQ(GetWindowsDirectoryA(narrow, 64), 10u);
    EXPECT_STREQ(narrow, "C:\\Windows");
    EXPECT_EQ(GetSystemDirectoryA(narrow, 5), 20u);
    EXPECT_EQ(GetTempPathA(64, narrow), 8u);
    EXPECT_STREQ(narrow, "C:\\Temp\\");
}

struct MapCase {
    const char* input;
    const char* expected;  // below the root; nullptr when refused
    DWORD error;           // last error when refused
};

TEST_F(PathsTest, MapsWindowsPathsOntoTheRoot) {
    const std::string rootText = root.path().string();
    const std::string linuxInside = rootText + "/Windows/LBR-KV580";
    const std::string linuxClimbing = rootText + "/../elsewhere";
    const MapCase cases[] = {
        {"C:\\Windows", "Windows", 0},
        {"c:\\WINDOWS\\TEMP", "Windows/temp", 0},
        {"C:/windows/lbr-kv580/config.ovx", "Windows/LBR-KV580/Config.OVX", 0},
        {"C:\\Windows\\LBR-KV580\\New.jnl", "Windows/LBR-KV580/New.jnl", 0},
        {"C:\\Windows\\NoSuch\\Deeper", "Windows/NoSuch/Deeper", 0},
        {"C:\\", "", 0},
        {"C:\\Windows\\temp\\", "Windows/temp", 0},
        {"\\Windows\\System32", "Windows/System32", 0},
        {"Windows\\System32", "Windows/System32", 0},
        {"C:Windows", "Windows", 0},
        {"C:\\Windows\\..\\Temp", "Temp", 0},
        {"C:\\Windows\\.\\temp\\..", "Windows", 0},
        {"C:\\Windows.", "Windows", 0},
        {"\\\\?\\C:\\Windows", "Windows", 0},
        {linuxInside.c_str(), "Windows/LBR-KV580", 0},
        {"C:\\..", nullptr, ERROR_ACCESS_DENIED},
        {"C:\\Windows\\..\\..\\etc\\passwd", nullptr, ERROR_ACCESS_DENIED},
        {"..\\x", nullptr, ERROR_ACCESS_DENIED},
        {"D:\\Windows", nullptr, ERROR_ACCESS_DENIED},
        {"1:\\x", nullptr, ERROR_ACCESS_DENIED},
        {"\\\\server\\share\\file", nullptr, ERROR_ACCESS_DENIED},
        {"\\\\.\\COM1", nullptr, ERROR_ACCESS_DENIED},
        {"//server/share", nullptr, ERROR_ACCESS_DENIED},
        {"/etc/passwd", nullptr, ERROR_ACCESS_DENIED},
        {linuxClimbing.c_str(), nullptr, ERROR_ACCESS_DENIED},
        {"", nullptr, ERROR_INVALID_NAME},
        {"C:\\Windows\\file.txt:stream", nullptr, ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        fs::path out;
        SetLastError(0);
        bool ok = platform::MapWindowsPath(W(c.input), out);
        if (c.expected) {
            ASSERT_TRUE(ok) << GetLastError();
            fs::path want =
                std::string(c.expected).empty() ? root.path() : root.path() / c.expected;
            EXPECT_EQ(out, want);
            fs::path narrow;
            ASSERT_TRUE(platform::MapWindowsPath(std::string_view(c.input), narrow));
            EXPECT_EQ(narrow, want);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    // A NUL inside the name is refused, not cut.
    fs::path out;
    EXPECT_FALSE(platform::MapWindowsPath(std::u16string_view(u"C:\\Windows\0x", 12), out));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST_F(PathsTest, LinksThatLeaveTheRootAreRefused) {
    testing_support::TempDir outside;
    fs::create_symlink(outside.path(), root.path() / "Windows" / "escape");
    fs::create_directory_symlink(root.path() / "Temp", root.path() / "Windows" / "inside");
    fs::path out;
    EXPECT_FALSE(platform::MapWindowsPath(std::u16string_view(u"C:\\Windows\\escape\\x"), out));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(platform::MapWindowsPath(std::u16string_view(u"C:\\Windows\\ESCAPE"), out));
    EXPECT_TRUE(platform::MapWindowsPath(std::u16string_view(u"C:\\Windows\\inside\\x"), out));
    EXPECT_EQ(out, root.path() / "Windows" / "inside" / "x");
}

TEST_F(PathsTest, ToWindowsPathIsTheInverseInsideTheRoot) {
    EXPECT_EQ(platform::ToWindowsPath(root.path()), u"C:\\");
    EXPECT_EQ(platform::ToWindowsPath(root.path() / "Windows" / "temp" / "a.log"),
              u"C:\\Windows\\temp\\a.log");
    EXPECT_EQ(platform::ToWindowsPath("/etc/passwd"), u"");
    EXPECT_EQ(platform::ToWindowsPath(root.path() / ".." / "x"), u"");
}

TEST_F(PathsTest, RelativeNamesFollowTheCurrentDirectory) {
    WCHAR buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryW(MAX_PATH, buffer), 3u);
    EXPECT_EQ(std::u16string(buffer), u"C:\\");
    ASSERT_TRUE(SetCurrentDirectoryW(u"c:\\windows\\lbr-kv580"));
    GetCurrentDirectoryW(MAX_PATH, buffer);
    EXPECT_EQ(std::u16string(buffer), u"C:\\Windows\\LBR-KV580");
    fs::path out;
    ASSERT_TRUE(platform::MapWindowsPath(std::u16string_view(u".\\config.ovx"), out));
    EXPECT_EQ(out, root.path() / "Windows" / "LBR-KV580" / "Config.OVX");
    ASSERT_TRUE(platform::MapWindowsPath(std::u16string_view(u"..\\..\\Temp"), out));
    EXPECT_EQ(out, root.path() / "Temp");
    EXPECT_FALSE(platform::MapWindowsPath(std::u16string_view(u"..\\..\\..\\x"), out));

    EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\NoSuchFolder"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\Windows\\LBR-KV580\\Config.OVX"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(SetCurrentDirectoryW(u"E:\\"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    char narrow[4];
    EXPECT_EQ(GetCurrentDirectoryA(4, narrow), 21u);  // "C:\Windows\LBR-KV580" + terminator
}

TEST_F(PathsTest, ModuleFileName) {
    WCHAR buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    ASSERT_GT(n, 0u);
    // The test program lives outside the root.
    EXPECT_EQ(std::u16string(buffer), u"C:\\Program Files\\kv580\\test_platform_files");

    // Too small: cut, terminated, nSize returned.
    WCHAR small[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(small), u"C:\\P");

    auto module = reinterpret_cast<HMODULE>(0x1234);
    EXPECT_EQ(GetModuleFileNameW(module, buffer, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    fs::path plugin = root.path() / "Windows" / "System32" / "spool" / "UNIKV580R.DLL";
    platform::SetModulePathResolver([&](HMODULE m, fs::path& out) {
        if (m != module) return false;
        out = plugin;
        return true;
    });
    char narrow[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(module, narrow, MAX_PATH), 39u);
    EXPECT_STREQ(narrow, "C:\\Windows\\System32\\spool\\UNIKV580R.DLL");
}

}  // namespace
