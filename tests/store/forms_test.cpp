// Forms: built-in forms of a new root, user forms added, changed and deleted.
#include "store_fixture.h"

namespace store_test {
namespace {

std::vector<FORM_INFO_1W> Forms(HANDLE printer, std::vector<BYTE>& buffer) {
    DWORD needed = 0, count = 0;
    EXPECT_FALSE(EnumFormsW(printer, 1, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    buffer.resize(needed);
    EXPECT_TRUE(EnumFormsW(printer, 1, buffer.data(), needed, &needed, &count));
    const auto* forms = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
    return std::vector<FORM_INFO_1W>(forms, forms + count);
}

FORM_INFO_1W Form(WCHAR* name, LONG cx, LONG cy) {
    return FORM_INFO_1W{FORM_USER, name, {cx, cy}, {0, 0, cx, cy}};
}

TEST_F(StoreTest, NewRootHasBuiltinForms) {
    std::vector<BYTE> buffer;
    auto forms = Forms(user, buffer);
    ASSERT_GE(forms.size(), 5u);
    for (const auto& form : forms) EXPECT_EQ(form.Flags, FORM_BUILTIN);
    EXPECT_EQ(std::u16string(forms[0].pName), u"Letter");
    EXPECT_EQ(forms[0].Size.cx, 215900);
}

TEST_F(StoreTest, UserFormLifecycle) {
    std::u16string name = u"Shop[KV580]";
    auto form = Form(name.data(), 72000, 200000);
    ASSERT_TRUE(AddFormW(user, 1, reinterpret_cast<LPBYTE>(&form)));
    EXPECT_FALSE(AddFormW(user, 1, reinterpret_cast<LPBYTE>(&form)));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    DWORD needed = 0;
    EXPECT_FALSE(GetFormW(user, name.c_str(), 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(GetFormW(user, u"shop[kv580]", 1, buffer.data(), needed, &needed));
    const auto* got = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
    EXPECT_EQ(got->Flags, FORM_USER);
    EXPECT_EQ(std::u16string(got->pName), name);
    EXPECT_EQ(got->Size.cx, 72000);
    EXPECT_EQ(got->ImageableArea.bottom, 200000);

    auto changed = Form(name.data(), 97200, 3276000);
    ASSERT_TRUE(SetFormW(user, name.c_str(), 1, reinterpret_cast<LPBYTE>(&changed)));
    ASSERT_TRUE(GetFormW(user, name.c_str(), 1, buffer.data(), needed, &needed));
    EXPECT_EQ(reinterpret_cast<const FORM_INFO_1W*>(buffer.data())->Size.cy, 3276000);

    std::vector<BYTE> list;
    auto forms = Forms(user, list);
    EXPECT_EQ(std::u16string(forms.back().pName), name) << "user forms follow the built-in ones";

    ASSERT_TRUE(DeleteFormW(user, name.c_str()));
    EXPECT_FALSE(GetFormW(user, name.c_str(), 1, buffer.data(), needed, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FORM_NAME);
    EXPECT_FALSE(DeleteFormW(user, name.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FORM_NAME);
}

TEST_F(StoreTest, BuiltinFormsCannotBeChangedOrDeleted) {
    std::u16string name = u"A4";
    auto form = Form(name.data(), 1000, 1000);
    EXPECT_FALSE(DeleteFormW(admin, u"A4"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetFormW(admin, u"A4", 1, reinterpret_cast<LPBYTE>(&form)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    DWORD needed = 0;
    std::vector<BYTE> buffer(256);
    ASSERT_TRUE(GetFormW(user, u"A4", 1, buffer.data(), 256, &needed));
    EXPECT_EQ(reinterpret_cast<const FORM_INFO_1W*>(buffer.data())->Size.cx, 210000);
    EXPECT_EQ(reinterpret_cast<const FORM_INFO_1W*>(buffer.data())->Flags, FORM_BUILTIN);
}

TEST_F(StoreTest, BadFormsAreRefused) {
    std::u16string name = u"Bad";
    struct Case {
        FORM_INFO_1W form;
        DWORD error;
    } cases[] = {
        {{FORM_USER, name.data(), {0, 100}, {0, 0, 0, 100}}, ERROR_INVALID_FORM_SIZE},
        {{FORM_USER, name.data(), {100, 100}, {0, 0, 101, 100}}, ERROR_INVALID_FORM_SIZE},
        {{FORM_USER, name.data(), {100, 100}, {50, 0, 40, 100}}, ERROR_INVALID_FORM_SIZE},
        {{FORM_USER, nullptr, {100, 100}, {0, 0, 100, 100}}, ERROR_INVALID_FORM_NAME},
        {{FORM_USER,
          const_cast<WCHAR*>(u"A name of thirty-two characters!"),
          {100, 100},
          {0, 0, 100, 100}},
         ERROR_INVALID_FORM_NAME},
    };
    for (auto& c : cases) {
        EXPECT_FALSE(AddFormW(admin, 1, reinterpret_cast<LPBYTE>(&c.form)));
        EXPECT_EQ(GetLastError(), c.error);
    }
}

}  // namespace
}  // namespace store_test
