// C streams on Windows paths.
#include <gtest/gtest.h>

#include <cerrno>

#include "files_test_util.h"

namespace fs = std::filesystem;

namespace {

class StreamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root.path() / "Windows" / "LBR-KV580");
        testing_support::WriteFile(config(), "[LBRKV580R]\r\nPREFERENCE[0]=1\r\n");
    }
    fs::path config() const {
        return root.path() / "Windows" / "LBR-KV580" / "LBRKV580R_Config.OVX";
    }
    testing_support::TempRoot root;
};

TEST_F(StreamsTest, ReadWriteAppend) {
    FILE* in = _wfopen(u"c:\\windows\\LBR-KV580\\lbrkv580r_config.ovx", u"r");
    ASSERT_NE(in, nullptr);
    char line[64];
    ASSERT_NE(fgets(line, sizeof line, in), nullptr);
    EXPECT_STREQ(line, "[LBRKV580R]\r\n");
    EXPECT_EQ(fseek(in, 0, SEEK_END), 0);
    EXPECT_EQ(ftell(in), 30);
    EXPECT_EQ(fclose(in), 0);

    FILE* out = fopen_win("C:\\Temp\\out.txt", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(fwrite("abc", 1, 3, out), 3u);
    EXPECT_EQ(fclose(out), 0);
    out = _wfopen(u"C:\\Temp\\out.txt", u"a");
    ASSERT_NE(out, nullptr);
    fputs("def", out);
    fclose(out);
    EXPECT_EQ(testing_support::ReadFile(root.path() / "Temp" / "out.txt"), "abcdef");
    out = _wfopen(u"C:\\Temp\\out.txt", u"w+, ccs=UTF-8");
    ASSERT_NE(out, nullptr);
    fclose(out);
    EXPECT_EQ(testing_support::ReadFile(root.path() / "Temp" / "out.txt"), "");
}

TEST_F(StreamsTest, FailuresSetErrno) {
    struct Case {
        const char16_t* path;
        const char16_t* mode;
        int error;
    } cases[] = {
        {u"C:\\Windows\\LBR-KV580\\none.OVX", u"r", ENOENT},
        {u"C:\\NoFolder\\x.txt", u"w", ENOENT},
        {u"D:\\x.txt", u"w", EACCES},
        {u"C:\\..\\x.txt", u"w", EACCES},
        {u"C:\\Temp\\x.txt", u"q", EINVAL},
        {u"C:\\Windows", u"r", EACCES},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.path));
        errno = 0;
        EXPECT_EQ(_wfopen(c.path, c.mode), nullptr);
        EXPECT_EQ(errno, c.error);
    }
    EXPECT_EQ(_wfopen(nullptr, u"r"), nullptr);
}

TEST_F(StreamsTest, StreamsTakePartInShareModes) {
    const char16_t* name = u"C:\\Windows\\LBR-KV580\\LBRKV580R_Config.OVX";
    HANDLE exclusive =
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    errno = 0;
    EXPECT_EQ(_wfopen(name, u"r"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(exclusive);

    FILE* reader = _wfopen(name, u"r");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    HANDLE sharing = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(sharing, INVALID_HANDLE_VALUE);
    CloseHandle(sharing);
    fclose(reader);

    SetFileAttributesW(name, FILE_ATTRIBUTE_READONLY);
    errno = 0;
    EXPECT_EQ(_wfopen(name, u"w"), nullptr);
    EXPECT_EQ(errno, EACCES);
    FILE* stillReadable = _wfopen(name, u"rb");
    EXPECT_NE(stillReadable, nullptr);
    if (stillReadable) fclose(stillReadable);
    SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
