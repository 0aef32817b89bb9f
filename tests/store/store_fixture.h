// A fresh system root with one printer "P" on the port "KV580:", for the store tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "win32/winspool.h"

namespace store_test {

inline HANDLE AddTestPrinter(const std::u16string& name, const std::u16string& port = u"KV580:") {
    std::u16string printer = name, portName = port, driver = u"ORVANEX LBR-KV580 - Receipt";
    PRINTER_INFO_2W info{};
    info.pPrinterName = printer.data();
    info.pPortName = portName.data();
    info.pDriverName = driver.data();
    return AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}

inline HANDLE Open(const std::u16string& name, DWORD access) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE handle = nullptr;
    if (!OpenPrinterW(name.c_str(), &handle, &defaults)) return nullptr;
    return handle;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        HANDLE added = AddTestPrinter(u"P");
        ASSERT_NE(added, nullptr) << GetLastError();
        ClosePrinter(added);
        admin = Open(u"P", PRINTER_ALL_ACCESS);
        user = Open(u"P", READ_CONTROL | PRINTER_ACCESS_USE);
        ASSERT_NE(admin, nullptr);
        ASSERT_NE(user, nullptr);
    }
    void TearDown() override {
        if (admin) ClosePrinter(admin);
        if (user) ClosePrinter(user);
    }

    testing_support::TempRoot root;
    HANDLE admin = nullptr;
    HANDLE user = nullptr;
};

}  // namespace store_test
