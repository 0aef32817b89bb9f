// Private profile files: lookups, lists, truncation, encodings, damaged files and writing.
#include "win32/profile.h"

#include <gtest/gtest.h>

#include <random>

#include "files_test_util.h"

namespace fs = std::filesystem;
using files_test::W;

namespace {

constexpr const char16_t* kConfig = u"C:\\Windows\\LBR-KV580\\LBRKV580R_Config.OVX";

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder());
        testing_support::WriteFile(folder() / "LBRKV580R_Config.OVX",
                                   "; LBR-KV580 receipt settings\r\n"
                                   "[LBRKV580R]\r\n"
                                   "PREFERENCE[0] = 1\r\n"
                                   "  preference[19]=  3  \r\n"
                                   "Quoted = \"  spaced value  \"\n"
                                   ";PREFERENCE[30]=1\n"
                                   "a line without equals sign\r\n"
                                   "Empty=\r\n"
                                   "START_DOCUMENT_CMD=<1B>@\r\n"
                                   "\r\n"
                                   "[ Other ]\r\n"
                                   "Key=other\r\n"
                                   "Number=-17x\r\n");
    }
    fs::path folder() const { return root.path() / "Windows" / "LBR-KV580"; }

    // GetPrivateProfileStringW of the configuration file: value, count, last error.
    struct Result {
        std::u16string value;
        DWORD count;
        DWORD error;
    };
    Result Get(const char16_t* section, const char16_t* key, const char16_t* fallback,
               DWORD size = 257, const char16_t* file = kConfig) {
        std::vector<WCHAR> buffer(size + 1, u'#');
        SetLastError(12345);
        DWORD count = GetPrivateProfileStringW(section, key, fallback, buffer.data(), size, file);
        DWORD error = GetLastError();
        return {std::u16string(buffer.data(), count), count, error};
    }
    testing_support::TempRoot root;
};

TEST_F(ProfileTest, Lookups) {
    struct Case {
        const char16_t* section;
        const char16_t* key;
        const char16_t* fallback;
        const char16_t* value;
        DWORD error;
    } cases[] = {
        {u"LBRKV580R", u"PREFERENCE[0]", nullptr, u"1", ERROR_SUCCESS},
        {u"lbrkv580r", u"Preference[19]", nullptr, u"3", ERROR_SUCCESS},
        {u"LBRKV580R", u"Quoted", nullptr, u"  spaced value  ", ERROR_SUCCESS},
        {u"LBRKV580R", u"Empty", u"dflt", u"", ERROR_SUCCESS},
        {u"LBRKV580R", u"START_DOCUMENT_CMD", nullptr, u"<1B>@", ERROR_SUCCESS},
        {u"other", u"KEY", nullptr, u"other", ERROR_SUCCESS},
        {u"LBRKV580R", u"PREFERENCE[30]", nullptr, u"", ERROR_FILE_NOT_FOUND},
        {u"LBRKV580R", u"a line without equals sign", nullptr, u"", ERROR_FILE_NOT_FOUND},
        {u"LBRKV580R", u"Missing", u"dflt  ", u"dflt", ERROR_FILE_NOT_FOUND},
        {u"LBRKV580R", u"Missing", u"", u"", ERROR_FILE_NOT_FOUND},
        {u"LBRKV580R", u"Key", nullptr, u"", ERROR_FILE_NOT_FOUND},
        {u"NoSection", u"PREFERENCE[0]", u"9", u"9", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.key));
        Result r = Get(c.section, c.key, c.fallback);
        EXPECT_EQ(r.value, c.value);
        EXPECT_EQ(r.count, std::u16string(c.value).size());
        EXPECT_EQ(r.error, c.error);
    }
}

TEST_F(ProfileTest, TruncationAndTinyBuffers) {
    Result r = Get(u"LBRKV580R", u"Quoted", nullptr, 5);
    EXPECT_EQ(r.value, u"  sp");
    EXPECT_EQ(r.count, 4u);
    r = Get(u"LBRKV580R", u"Missing", u"default", 4);
    EXPECT_EQ(r.value, u"def");
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(Get(u"LBRKV580R", u"Quoted", nullptr, 1).count, 0u);
    EXPECT_EQ(GetPrivateProfileStringW(u"LBRKV580R", u"Quoted", nullptr, nullptr, 10, kConfig), 0u);

    char narrow[3];
    EXPECT_EQ(GetPrivateProfileStringA("LBRKV580R", "Quoted", "", narrow, 3,
                                       "C:\\Windows\\LBR-KV580\\LBRKV580R_Config.OVX"),
              2u);
    EXPECT_STREQ(narrow, "  ");
}

TEST_F(ProfileTest, ListsOfSectionsAndKeys) {
    WCHAR buffer[64];
    DWORD n = GetPrivateProfileStringW(nullptr, nullptr, nullptr, buffer, 64, kConfig);
    EXPECT_EQ(std::u16string(buffer, n + 1), std::u16string(u"LBRKV580R\0Other\0\0", 17));
    EXPECT_EQ(n, 16u);
    EXPECT_EQ(buffer[n], u'\0');

    n = GetPrivateProfileStringW(u"OTHER", nullptr, nullptr, buffer, 64, kConfig);
    EXPECT_EQ(std::u16string(buffer, n + 1), std::u16string(u"Key\0Number\0\0", 12));
    EXPECT_EQ(n, 11u);

    // Cut short: size - 2, ending in two terminators.
    n = GetPrivateProfileStringW(nullptr, nullptr, nullptr, buffer, 8, kConfig);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::u16string(buffer, 8), std::u16string(u"LBRKV5\0\0", 8));

    n = GetPrivateProfileStringW(u"Nope", nullptr, nullptr, buffer, 64, kConfig);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buffer[0], u'\0');

    char narrow[64];
    n = GetPrivateProfileStringA("Other", nullptr, nullptr, narrow, 64,
                                 "C:\\Windows\\LBR-KV580\\LBRKV580R_Config.OVX");
    EXPECT_EQ(std::string(narrow, n), std::string("Key\0Number\0", 11));
}

TEST_F(ProfileTest, Integers) {
    const char16_t* file = kConfig;
    EXPECT_EQ(GetPrivateProfileIntW(u"LBRKV580R", u"PREFERENCE[19]", 7, file), 3u);
    EXPECT_EQ(GetPrivateProfileIntW(u"Other", u"Number", 7, file), static_cast<UINT>(-17));
    EXPECT_EQ(GetPrivateProfileIntW(u"Other", u"Key", 7, file), 0u);  // no digits
    EXPECT_EQ(GetPrivateProfileIntW(u"Other", u"Missing", 7, file), 7u);
    EXPECT_EQ(GetPrivateProfileIntW(u"Other", u"Missing", -2, file), static_cast<UINT>(-2));
    EXPECT_EQ(GetPrivateProfileIntA("LBRKV580R", "preference[0]", 0,
                                    "C:\\Windows\\LBR-KV580\\LBRKV580R_Config.OVX"),
              1u);
}

TEST_F(ProfileTest, FilesAndTheirEncodings) {
    // A bare name is looked for in the Windows directory.
    testing_support::WriteFile(root.path() / "Windows" / "LBRKV580R.INI",
                               "[FontControlA]\n41=1B40\n");
    char value[2048];
    EXPECT_EQ(GetPrivateProfileStringA("FontControlA", "41", nullptr, value, 2048, "LBRKV580R.INI"),
              4u);
    EXPECT_STREQ(value, "1B40");

    // UTF-16LE with byte-order mark.
    std::u16string text = u"[LBRKV580R]\r\nName=Größe Ünïcode\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    testing_support::WriteFile(folder() / "wide.ini", bytes);
    Result r = Get(u"LBRKV580R", u"name", nullptr, 257, u"C:\\Windows\\LBR-KV580\\wide.ini");
    EXPECT_EQ(r.value, u"Größe Ünïcode");
    char narrow[64];
    GetPrivateProfileStringA("LBRKV580R", "Name", nullptr, narrow, 64,
                             "C:\\Windows\\LBR-KV580\\wide.ini");
    EXPECT_STREQ(narrow, "Größe Ünïcode");

    // UTF-8 with byte-order mark, and ANSI (code page 1252).
    testing_support::WriteFile(folder() / "utf8.ini", "\xEF\xBB\xBF[S]\nk=caf\xC3\xA9\n");
    EXPECT_EQ(Get(u"S", u"k", nullptr, 257, u"C:\\Windows\\LBR-KV580\\utf8.ini").value, u"café");
    testing_support::WriteFile(folder() / "ansi.ini", "[S]\nk=caf\xE9 \x80\n");
    EXPECT_EQ(Get(u"S", u"k", nullptr, 257, u"C:\\Windows\\LBR-KV580\\ansi.ini").value, u"café €");
}

TEST_F(ProfileTest, MissingAndDamagedFilesReadAsMissing) {
    Result r = Get(u"LBRKV580R", u"PREFERENCE[0]", u"d", 257, u"C:\\Windows\\none.ini");
    EXPECT_EQ(r.value, u"d");
    EXPECT_EQ(r.error, ERROR_FILE_NOT_FOUND);
    r = Get(u"LBRKV580R", u"PREFERENCE[0]", nullptr, 257, u"D:\\outside.ini");
    EXPECT_EQ(r.count, 0u);
    EXPECT_EQ(r.error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(u"LBRKV580R", u"PREFERENCE[0]", nullptr, 257, nullptr).count, 0u);

    std::mt19937 random(580);
    std::string junk;
    for (int i = 0; i < 200000; ++i) junk += static_cast<char>(random() & 0xFF);
    junk += std::string("\n[LBRKV580R\0]\nPREFERENCE[0]=5\n", 30);
    junk += std::string(300000, 'A');  // one overlong line without an end
    testing_support::WriteFile(folder() / "junk.ini", junk);
    r = Get(u"LBRKV580R", u"PREFERENCE[0]", nullptr, 257, u"C:\\Windows\\LBR-KV580\\junk.ini");
    EXPECT_EQ(r.count, 0u);
    EXPECT_EQ(r.error, ERROR_FILE_NOT_FOUND);
    WCHAR list[512];
    GetPrivateProfileStringW(nullptr, nullptr, nullptr, list, 512,
                             u"C:\\Windows\\LBR-KV580\\junk.ini");  // must not crash

    // A UTF-16 file without its byte-order mark is junk too.
    std::string wideNoBom;
    for (char c : std::string("[LBRKV580R]\r\nPREFERENCE[0]=1\r\n")) {
        wideNoBom += c;
        wideNoBom += '\0';
    }
    testing_support::WriteFile(folder() / "nobom.ini", wideNoBom);
    EXPECT_EQ(
        Get(u"LBRKV580R", u"PREFERENCE[0]", nullptr, 257, u"C:\\Windows\\LBR-KV580\\nobom.ini")
            .count,
        0u);
}

TEST_F(ProfileTest, WritingKeepsTheRestOfTheFile) {
    const char16_t* file = u"C:\\Windows\\LBR-KV580\\written.ini";
    ASSERT_TRUE(WritePrivateProfileStringW(u"LBRKV580R", u"PREFERENCE[0]", u"1", file));
    ASSERT_TRUE(WritePrivateProfileStringW(u"LBRKV580R", u"PREFERENCE[1]", u"0", file));
    ASSERT_TRUE(WritePrivateProfileStringW(u"Other", u"Key", u"v", file));
    ASSERT_TRUE(WritePrivateProfileStringW(u"lbrkv580r", u"preference[0]", u"2", file));
    ASSERT_TRUE(
        WritePrivateProfileStringA("LBRKV580R", "New", "n", "C:\\Windows\\LBR-KV580\\written.ini"));
    EXPECT_EQ(testing_support::ReadFile(folder() / "written.ini"),
              "[LBRKV580R]\r\npreference[0]=2\r\nPREFERENCE[1]=0\r\nNew=n\r\n\r\n"
              "[Other]\r\nKey=v\r\n");
    ASSERT_TRUE(WritePrivateProfileStringW(u"LBRKV580R", u"PREFERENCE[1]", nullptr, file));
    ASSERT_TRUE(WritePrivateProfileStringW(u"Other", nullptr, nullptr, file));
    EXPECT_EQ(testing_support::ReadFile(folder() / "written.ini"),
              "[LBRKV580R]\r\npreference[0]=2\r\nNew=n\r\n\r\n");
    EXPECT_EQ(Get(u"LBRKV580R", u"PREFERENCE[0]", nullptr, 257, file).value, u"2");

    // Comments and other lines of an existing file stay.
    ASSERT_TRUE(WritePrivateProfileStringW(u"LBRKV580R", u"PREFERENCE[19]", u"4", kConfig));
    std::string config = testing_support::ReadFile(folder() / "LBRKV580R_Config.OVX");
    EXPECT_NE(config.find("; LBR-KV580 receipt settings"), std::string::npos);
    EXPECT_NE(config.find("PREFERENCE[19]=4\r\n"), std::string::npos);
    EXPECT_NE(config.find("Quoted = \"  spaced value  \""), std::string::npos);
    EXPECT_EQ(Get(u"LBRKV580R", u"PREFERENCE[19]", nullptr).value, u"4");
    EXPECT_EQ(Get(u"Other", u"Number", nullptr).value, u"-17x");

    // A UTF-16 file stays UTF-16.
    testing_support::WriteFile(folder() / "wide.ini", std::string("\xFF\xFE[\0S\0]\0\n\0", 10));
    ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"k", u"é", u"C:\\Windows\\LBR-KV580\\wide.ini"));
    EXPECT_EQ(testing_support::ReadFile(folder() / "wide.ini"),
              std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0", 22));
}

TEST_F(ProfileTest, WritingFailures) {
    EXPECT_FALSE(WritePrivateProfileStringW(u"S", u"k", u"v", u"C:\\NoFolder\\x.ini"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(WritePrivateProfileStringW(u"S", u"k", u"v", u"D:\\x.ini"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WritePrivateProfileStringW(nullptr, u"k", u"v", kConfig));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetFileAttributesW(kConfig, FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(WritePrivateProfileStringW(u"LBRKV580R", u"k", u"v", kConfig));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SetFileAttributesW(kConfig, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Get(u"LBRKV580R", u"k", nullptr).count, 0u);
}

}  // namespace
