// Text keys: reading the key table, tokens, text replacement, image keys and image files.
#include "text/text_keys.h"

#include <gtest/gtest.h>

#include "textkeys_fixture.h"
#include "win32/codepage.h"
#include "win32/files.h"

namespace textkeys_test {
namespace {

using testing_support::FromHex;

// ---- Key table ---------------------------------------------------------------------------------

TEST_F(TextKeysTest, NumTextKeyStoredAsNumberReadsAsItself) {
    SetCount(3);
    DWORD size = 0;
    char* value = GetPrinterDataFromReg(&devobj, u"NumTextKey", &size, CP_UTF8);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(static_cast<BYTE>(value[0]), 3);
    LocalFree(value);
}

TEST_F(TextKeysTest, ValueIsConvertedFromUtf16) {
    SetString(u"TextKey00", u"TOTAL\tshop\tSUM:\tc1");
    DWORD size = 0;
    char* value = GetPrinterDataFromReg(&devobj, u"TextKey00", &size, CP_UTF8);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::string(value), "TOTAL\tshop\tSUM:\tc1");
    EXPECT_EQ(size, 19u);  // 18 characters and the terminator
    LocalFree(value);
}

TEST_F(TextKeysTest, ValueLongerInUtf8ThanStoredReadsAsEmpty) {
    // Three euro signs: 6 bytes stored without terminator, 9 bytes + NUL in UTF-8.
    SetRaw(u"TextKey00", std::string("\xAC\x20\xAC\x20\xAC\x20", 6));
    DWORD size = 99;
    char* value = GetPrinterDataFromReg(&devobj, u"TextKey00", &size, CP_UTF8);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(value[0], '\0');
    LocalFree(value);
}

TEST_F(TextKeysTest, OddSizedValueWithoutTerminatorIsReadSafely) {
    SetRaw(u"TextKey00", std::string("A\0B", 3));
    DWORD size = 0;
    char* value = GetPrinterDataFromReg(&devobj, u"TextKey00", &size, CP_UTF8);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::string(value), "A");
    LocalFree(value);
}

TEST_F(TextKeysTest, MissingValueOrPrinterHandleReadsNothing) {
    DWORD size = 7;
    EXPECT_EQ(GetPrinterDataFromReg(&devobj, u"NumTextKey", &size, CP_UTF8), nullptr);
    EXPECT_TRUE(Recorded().Logged("GetPrinterDataFromReg : GetPrinterDataEx failed. (2)"));
    devobj.hPrinter = nullptr;
    EXPECT_EQ(GetPrinterDataFromReg(&devobj, u"NumTextKey", &size, CP_UTF8), nullptr);
    EXPECT_TRUE(Recorded().Logged("GetPrinterDataFromReg : pdevobj->hPrinter is NULL."));
    EXPECT_EQ(size, 0u);
}

TEST(TextKeyTokens, SplitAtTabs) {
    struct Case {
        std::string value;
        DWORD index;
        const char* expected;  // null: none
    };
    const Case cases[] = {
        {"KEY\timg\talt\tcoupon", 0, "KEY"},
        {"KEY\timg\talt\tcoupon", 3, "coupon"},
        {"KEY\t\t\timg\t\talt", 1, "img"},  // runs of TABs separate like one
        {"KEY\t\t\timg\t\talt", 2, "alt"},
        {"KEY\t\t\timg\t\talt", 3, nullptr},  // missing
        {"\tKEY\timg", 0, "KEY"},             // a leading TAB holds no token
        {"KEY\t_NULL_\talt", 1, "_NULL_"},    // the place holder is a token like any other
        {"a\tb\tc\td\te", 3, "d"},            // tokens after the fourth are ignored
        {"a\tb\tc\td\te", 4, nullptr},
        {"", 0, nullptr},
    };
    for (const Case& c : cases) {
        DWORD length = 99;
        char* token = GetTokenFromTextKeyData(
            c.value.c_str(), static_cast<DWORD>(c.value.size() + 1), &length, c.index);
        if (c.expected == nullptr) {
            EXPECT_EQ(token, nullptr) << c.value << " #" << c.index;
            EXPECT_EQ(length, 0u);
        } else {
            ASSERT_NE(token, nullptr) << c.value << " #" << c.index;
            EXPECT_EQ(std::string(token), c.expected);
            EXPECT_EQ(length, std::strlen(c.expected));
        }
        LocalFree(token);
    }
    // The value size bounds the walk even without a terminator.
    DWORD length = 0;
    char* token = GetTokenFromTextKeyData("ABCDEF", 3, &length, 0);
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(std::string(token), "ABC");
    LocalFree(token);
}

// ---- Replacement with text ---------------------------------------------------------------------

TEST_F(TextKeysTest, ReplacementWithText) {
    struct Case {
        std::vector<std::u16string> keys;
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{u"TOTAL\t_NULL_\tSUM:\t_NULL_"}, "TOTAL TOTAL", "SUM: SUM:"},
        {{u"A\t_NULL_\tAA\t_NULL_"}, "A", "AA"},             // the inserted text is not revisited
        {{u"AB\t_NULL_\tXY\t_NULL_"}, "ABABA", "XYXYA"},     // same length: in place
        {{u"A\t_NULL_\tB", u"B\t_NULL_\tC"}, "A-B", "C-C"},  // keys in order on the result
        {{u"A\t_NULL_\t_NULL_\t_NULL_"}, "AAA", "AAA"},      // no alternate text
        {{u"A\timg"}, "AAA", "AAA"},                         // alternate text missing
        {{u"LONGKEY\t_NULL_\tx"}, "LONG", "LONG"},           // key longer than the text
        {{u"abc\t_NULL_\tSUPERCALIFRAGILISTIC"}, "[abc]", "[SUPERCALIFRAGILISTIC]"},
    };
    for (const Case& c : cases) {
        SetCount(static_cast<DWORD>(c.keys.size()));
        for (size_t k = 0; k < c.keys.size(); ++k) SetKey(static_cast<int>(k), c.keys[k]);
        Text text(c.text);
        const DWORD oldLength = text.length, oldSize = text.size;
        ASSERT_TRUE(TextReplacementWithText(&devobj, &text.p, &text.length, &text.size));
        EXPECT_EQ(text.str(), c.expected) << c.text;
        // Length and buffer size change by the same difference; the spare bytes stay zero.
        EXPECT_EQ(text.size - oldSize, text.length - oldLength);
        for (DWORD i = text.length; i < text.size; ++i) ASSERT_EQ(text.p[i], 0) << c.text;
        ASSERT_EQ(DeletePrinterKeyW(handle, u"TextKeyFunction"), ERROR_SUCCESS);
    }
}

TEST_F(TextKeysTest, TotalBecomesSumAndTheTextShrinksByTwo) {
    SetCount(1);
    SetKey(0, u"TOTAL\t_NULL_\tSUM:\t_NULL_");
    Text text("TOTAL TOTAL", 1028);
    ASSERT_TRUE(TextReplacementWithText(&devobj, &text.p, &text.length, &text.size));
    EXPECT_EQ(text.str(), "SUM: SUM:");
    EXPECT_EQ(text.length, 9u);
    EXPECT_EQ(text.size, 11u + 1028u - 2u);
}

TEST_F(TextKeysTest, WithoutNumTextKeyNothingHappens) {
    SetKey(0, u"A\t_NULL_\tB\tc1");
    Text text("AAA");
    char* before = text.p;
    EXPECT_FALSE(TextReplacementWithText(&devobj, &text.p, &text.length, &text.size));
    EXPECT_FALSE(SaveCouponImgName(&devobj, &text.p, &text.length));
    EXPECT_EQ(AddTextKeyImgBufAndDevFontData(&devobj, nullptr, nullptr, nullptr, "FontA1x1", text.p,
                                             text.length, 0),
              0u);
    EXPECT_EQ(text.p, before);
    EXPECT_EQ(text.str(), "AAA");
    EXPECT_EQ(state->szCouponImgName, nullptr);
    EXPECT_TRUE(Recorded().records.empty());
}

// ---- Image keys --------------------------------------------------------------------------------

TEST_F(TextKeysTest, LogoInTheMiddleGivesThreeRecords) {
    SetCount(1);
    SetKey(0, u"LOGO\tshop\t_NULL_\t_NULL_");
    const std::string image = FromHex("1D 2A 01 01 FF 00 1D 2F 00");
    WriteImage("shop", image);
    Text text("xxLOGOyy");
    DWORD total = AddTextKeyImgBufAndDevFontData(&devobj, nullptr, nullptr, nullptr, "FontA1x1",
                                                 text.p, text.length, 100);
    EXPECT_EQ(total, kFakeCommand.size() * 2 + image.size());
    const auto& r = Recorded().records;
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].type, 1);
    EXPECT_EQ(r[0].fieldA, kFakeCommand);
    EXPECT_EQ(r[0].fieldB, "xx" + kFakeFeed);
    EXPECT_EQ(r[1].type, 1);
    EXPECT_EQ(r[1].fieldA, image);
    EXPECT_EQ(r[1].fieldB, "");
    EXPECT_EQ(r[2].fieldA, kFakeCommand);
    EXPECT_EQ(r[2].fieldB, "yy" + kFakeFeed);
}

TEST_F(TextKeysTest, ImageKeyCases) {
    struct Case {
        std::vector<std::u16string> keys;
        std::string text;
        std::vector<std::string> fieldsB;  // "#name" for an image record of name.bin
    };
    WriteImage("a", "<A>");
    WriteImage("b", "<B>");
    const std::vector<Case> cases = {
        {{u"LOGO\ta"}, "LOGO", {"#a"}},  // the key alone: only the image
        {{u"LOGO\ta"}, "LOGOLOGO", {"#a", "#a"}},
        {{u"LOGO\ta"}, "plain", {"plain"}},  // no key: one ordinary text record
        // The lowest-numbered key wins, even when a later key comes first in the text.
        {{u"BB\tb", u"AA\ta"}, "AA BB AA", {"AA ", "#b", " ", "#a"}},
        {{u"LOGO\t_NULL_\tx", u"LOGO\ta"}, "-LOGO-", {"-", "#a", "-"}},  // key 0 has no image
        {{u"LOGO\tmissing"}, "xLOGOy", {"x", "y"}},     // unreadable image: left out, key removed
        {{u"LOGO\t..\\secret"}, "xLOGOy", {"x", "y"}},  // a name leaving the folder reads nothing
        {{u"LOGO\tsub/a"}, "xLOGOy", {"x", "y"}},
    };
    for (const Case& c : cases) {
        Recorded().Clear();
        SetCount(static_cast<DWORD>(c.keys.size()));
        for (size_t k = 0; k < c.keys.size(); ++k) SetKey(static_cast<int>(k), c.keys[k]);
        Text text(c.text);
        AddTextKeyImgBufAndDevFontData(&devobj, nullptr, nullptr, nullptr, "FontA1x1", text.p,
                                       text.length, 0);
        std::vector<std::string> got;
        for (const Record& r : Recorded().records) {
            if (r.fieldA == kFakeCommand) {
                got.push_back(r.fieldB.substr(0, r.fieldB.size() - kFakeFeed.size()));
            } else {
                got.push_back("#" + std::string(r.fieldA == "<A>" ? "a" : "b"));
            }
        }
        EXPECT_EQ(got, c.fieldsB) << c.text;
        ASSERT_EQ(DeletePrinterKeyW(handle, u"TextKeyFunction"), ERROR_SUCCESS);
    }
}

TEST_F(TextKeysTest, ImageLargerThanARecordFieldIsCarriedByRecordsInARow) {
    SetCount(1);
    SetKey(0, u"LOGO\tbig");
    std::string image(70000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
    WriteImage("big", image);
    Text text("LOGO");
    EXPECT_EQ(AddTextKeyImgBufAndDevFontData(&devobj, nullptr, nullptr, nullptr, "FontA1x1", text.p,
                                             text.length, 0),
              70000u);
    const auto& r = Recorded().records;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].fieldA.size(), 65535u);
    EXPECT_EQ(r[0].fieldA + r[1].fieldA, image);
}

TEST_F(TextKeysTest, ImageFileNames) {
    WriteImage("shop", "SHOP");
    testing_support::WriteFile(root.path() / "Windows" / "secret.bin", "SECRET");
    struct Case {
        std::string name;
        DWORD expected;
    };
    const Case cases[] = {
        {"shop", 4},     {"../secret", 0}, {"..\\secret", 0},
        {"sub/shop", 0}, {"C:shop", 0},    {"..", 0},
        {"", 0},         {"missing", 0},   {std::string(300, 'n'), 0},  // more than 255 characters
    };
    for (const Case& c : cases) {
        PBYTE buffer = nullptr;
        DWORD size = 99;
        EXPECT_EQ(GetTextKeyImgBufFromFile(c.name.c_str(), &buffer, &size), c.expected) << c.name;
        EXPECT_EQ(size, c.expected);
        if (c.expected) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "SHOP");
        }
        LocalFree(buffer);
    }
    EXPECT_TRUE(Recorded().Logged("GetTextKeyImgBufFromFile : CreateFile returned NULL. (2)"));
}

TEST_F(TextKeysTest, ImageFileHeldWithoutSharingIsNotRead) {
    WriteImage("shop", "SHOP");
    const std::u16string path = u"C:\\Windows\\LBR-KV580\\shop.bin";
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PBYTE buffer = nullptr;
    DWORD size = 0;
    EXPECT_EQ(GetTextKeyImgBufFromFile("shop", &buffer, &size), 0u);
    CloseHandle(held);
    EXPECT_EQ(GetTextKeyImgBufFromFile("shop", &buffer, &size), 4u);
    LocalFree(buffer);
}

}  // namespace
}  // namespace textkeys_test
