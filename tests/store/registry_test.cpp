// The registry: keys, values, the 32-bit and 64-bit views, deletion with and without subkeys.
#include "store_fixture.h"

namespace store_test {
namespace {

constexpr const WCHAR* kUninstall =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVANEX_LBR-KV580 - Receipt";

class RegistryTest : public ::testing::Test {
protected:
    testing_support::TempRoot root;

    HKEY Create(const WCHAR* path, REGSAM view, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_WRITE | view,
                                  nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    LSTATUS OpenStatus(const WCHAR* path, REGSAM view) {
        HKEY key = nullptr;
        LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key);
        if (key) RegCloseKey(key);
        return status;
    }
};

TEST_F(RegistryTest, ValuesRoundTripWithPublishedSizeRules) {
    DWORD disposition = 0;
    HKEY key = Create(kUninstall, 0, &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    std::u16string version = u"1.0.0.1";
    ASSERT_EQ(RegSetValueExW(key, u"DisplayVersion", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(version.data()), 14),
              ERROR_SUCCESS);
    RegCloseKey(key);
    key = Create(kUninstall, 0, &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"displayversion", nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 14u);
    WCHAR text[16] = {};
    size = 4;
    EXPECT_EQ(RegQueryValueExW(key, u"DisplayVersion", nullptr, &type,
                               reinterpret_cast<BYTE*>(text), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 14u);
    size = sizeof text;
    ASSERT_EQ(RegQueryValueExW(key, u"DisplayVersion", nullptr, &type,
                               reinterpret_cast<BYTE*>(text), &size),
              0);
    EXPECT_EQ(std::u16string(text, 7), version);
    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    // A key opened for reading cannot be written.
    EXPECT_EQ(RegSetValueExW(key, u"X", 0, REG_SZ, reinterpret_cast<const BYTE*>(u""), 2),
              ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    EXPECT_EQ(OpenStatus(u"SOFTWARE\\Nothing", 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&type)), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ViewsAreKeptApart) {
    RegCloseKey(Create(u"SOFTWARE\\Vendor\\Only64", KEY_WOW64_64KEY));
    RegCloseKey(Create(u"SOFTWARE\\Vendor\\Only32", KEY_WOW64_32KEY));
    EXPECT_EQ(OpenStatus(u"SOFTWARE\\Vendor\\Only64", KEY_WOW64_64KEY), ERROR_SUCCESS);
    EXPECT_EQ(OpenStatus(u"SOFTWARE\\Vendor\\Only64", 0), ERROR_SUCCESS);
    EXPECT_EQ(OpenStatus(u"SOFTWARE\\Vendor\\Only64", KEY_WOW64_32KEY), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenStatus(u"SOFTWARE\\Vendor\\Only32", KEY_WOW64_32KEY), ERROR_SUCCESS);
    EXPECT_EQ(OpenStatus(u"SOFTWARE\\Vendor\\Only32", KEY_WOW64_64KEY), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenStatus(u"SOFTWARE\\WOW6432Node\\Vendor\\Only32", KEY_WOW64_64KEY), ERROR_SUCCESS);
}

TEST_F(RegistryTest, DeleteKeyExKeepsKeysWithSubkeysShDeleteKeyRemovesThem) {
    std::u16string sub = std::u16string(kUninstall) + u"\\Child";
    RegCloseKey(Create(sub.c_str(), KEY_WOW64_64KEY));
    EXPECT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstall, KEY_WOW64_64KEY, 0),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenStatus(kUninstall, KEY_WOW64_64KEY), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstall, KEY_WOW64_32KEY, 0),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstall), ERROR_SUCCESS);
    EXPECT_EQ(OpenStatus(kUninstall, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenStatus(sub.c_str(), 0), ERROR_FILE_NOT_FOUND);
    RegCloseKey(Create(u"SOFTWARE\\Leaf", 0));
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Leaf"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, KeyDeletedWhileOpen) {
    HKEY key = Create(u"SOFTWARE\\Gone", 0);
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Gone"), ERROR_SUCCESS);
    DWORD v = 1;
    EXPECT_EQ(RegSetValueExW(key, u"V", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4),
              ERROR_KEY_DELETED);
    RegCloseKey(key);
}

}  // namespace
}  // namespace store_test
