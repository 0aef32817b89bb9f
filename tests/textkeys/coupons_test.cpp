// Coupons: names collected from the job's text, sent once each at the end of the job.
#include "text/coupons.h"

#include <gtest/gtest.h>

#include "text/text_keys.h"
#include "textkeys_fixture.h"

namespace textkeys_test {
namespace {

class CouponsTest : public TextKeysTest {
protected:
    std::string List() const {
        if (state->szCouponImgName == nullptr) return "<none>";
        EXPECT_EQ(state->dwCouponImgNameLength, std::strlen(state->szCouponImgName) + 1);
        return state->szCouponImgName;
    }
    void Run(const std::string& s) {
        Text text(s);
        ASSERT_TRUE(SaveCouponImgName(&devobj, &text.p, &text.length));
        EXPECT_EQ(text.str(), s);  // the text itself is not changed
    }
    // A stand-in plug-in object: the coupon code only hands it on to WriteDirect.
    CRenderPlugin* Plugin() { return reinterpret_cast<CRenderPlugin*>(&pluginBytes); }
    long long pluginBytes = 0;
};

TEST_F(CouponsTest, TwoRunsForC1AndOneForC2LeaveC1C2AndSendEachOnce) {
    SetCount(2);
    SetKey(0, u"WIN\t_NULL_\t_NULL_\tc1");
    SetKey(1, u"BONUS\t_NULL_\t_NULL_\tc2");
    Run("YOU WIN");
    Run("BONUS");
    Run("WIN WIN AGAIN");
    EXPECT_EQ(List(), "c1/c2");
    EXPECT_TRUE(Recorded().Logged(
        "SaveCouponImgName : adding a coupon name without checking at first time."));
    EXPECT_TRUE(Recorded().Logged("SaveCouponImgName : The coupon name, 'c1' already exist."));

    WriteImage("c1", "<coupon one>");
    WriteImage("c2", "<coupon two>");
    EXPECT_TRUE(SendCouponImageData(Plugin(), &devobj));
    ASSERT_EQ(Recorded().directWrites.size(), 1u);  // one write for the whole block
    EXPECT_EQ(Recorded().directWrites[0], "<coupon one><coupon two>");
    EXPECT_EQ(state->szCouponImgName, nullptr);
    EXPECT_EQ(state->dwCouponImgNameLength, 0u);
    // The list is gone: a second end of document sends nothing.
    EXPECT_FALSE(SendCouponImageData(Plugin(), &devobj));
    EXPECT_EQ(Recorded().directWrites.size(), 1u);
}

TEST_F(CouponsTest, CheckCouponNameAlreadyExist) {
    EXPECT_FALSE(CheckCouponNameAlreadyExist(&devobj, "c1", 2));  // no list
    const char list[] = "c1/coupon2/x";
    state->szCouponImgName = static_cast<char*>(MemCalloc(sizeof list, 1));
    std::memcpy(state->szCouponImgName, list, sizeof list);
    state->dwCouponImgNameLength = sizeof list;
    struct Case {
        const char* name;
        BOOL expected;
    };
    const Case cases[] = {{"c1", TRUE}, {"coupon2", TRUE},    {"x", TRUE},
                          {"c", FALSE}, {"coupon", FALSE},    {"c1/", FALSE},
                          {"X", FALSE}, {"c1/coupon2", FALSE}};
    for (const Case& c : cases) {
        EXPECT_EQ(
            CheckCouponNameAlreadyExist(&devobj, c.name, static_cast<DWORD>(std::strlen(c.name))),
            c.expected)
            << c.name;
    }
}

TEST_F(CouponsTest, KeysWithoutCouponOrWithBadNamesAddNothing) {
    SetCount(5);
    SetKey(0, u"A\t_NULL_\t_NULL_\t_NULL_");  // no coupon
    SetKey(1, u"A\timg\talt");                // coupon missing
    SetKey(2, u"A\t_NULL_\t_NULL_\t../etc");  // leaves the folder
    SetKey(3, u"A\t_NULL_\t_NULL_\tx/y");     // would read as two names
    // key 4 is missing: skipped
    Run("AAA");
    EXPECT_EQ(List(), "<none>");
}

TEST_F(CouponsTest, ManyCouponsGrowTheListWithoutLimit) {
    const int n = 60;
    SetCount(n);
    std::string text;
    std::string expected;
    for (int k = 0; k < n; ++k) {
        std::u16string name(100, u'a');
        name += static_cast<char16_t>(u'A' + k % 26);
        name += static_cast<char16_t>(u'0' + k / 26);
        std::u16string key = u"K";
        key += static_cast<char16_t>(u'0' + k / 10);
        key += static_cast<char16_t>(u'0' + k % 10);
        SetKey(k, key + u"\t_NULL_\t_NULL_\t" + name);
        text += std::string("K") + static_cast<char>('0' + k / 10) +
                static_cast<char>('0' + k % 10) + " ";
        if (k) expected += "/";
        expected += std::string(100, 'a') + static_cast<char>('A' + k % 26) +
                    static_cast<char>('0' + k / 26);
    }
    Run(text);
    EXPECT_EQ(List(), expected);  // 6000+ bytes: no fixed buffer
}

TEST_F(CouponsTest, MissingCouponImageIsLeftOut) {
    const char list[] = "gone/c2";
    state->szCouponImgName = static_cast<char*>(MemCalloc(sizeof list, 1));
    std::memcpy(state->szCouponImgName, list, sizeof list);
    state->dwCouponImgNameLength = sizeof list;
    WriteImage("c2", "TWO");
    EXPECT_TRUE(SendCouponImageData(Plugin(), &devobj));
    ASSERT_EQ(Recorded().directWrites.size(), 1u);
    EXPECT_EQ(Recorded().directWrites[0], "TWO");
}

TEST_F(CouponsTest, ShortSpoolerWriteIsReported) {
    const char list[] = "c1";
    state->szCouponImgName = static_cast<char*>(MemCalloc(sizeof list, 1));
    std::memcpy(state->szCouponImgName, list, sizeof list);
    state->dwCouponImgNameLength = sizeof list;
    WriteImage("c1", "0123456789");
    Recorded().spoolLimit = 4;
    EXPECT_FALSE(SendCouponImageData(Plugin(), &devobj));
    EXPECT_EQ(state->szCouponImgName, nullptr);
}

TEST_F(CouponsTest, NoImageReadableSendsNothing) {
    const char list[] = "a/b";
    state->szCouponImgName = static_cast<char*>(MemCalloc(sizeof list, 1));
    std::memcpy(state->szCouponImgName, list, sizeof list);
    state->dwCouponImgNameLength = sizeof list;
    EXPECT_TRUE(SendCouponImageData(Plugin(), &devobj));
    EXPECT_TRUE(Recorded().directWrites.empty());
}

}  // namespace
}  // namespace textkeys_test
