// A fresh system root with one printer whose "TextKeyFunction" values the tests set, a device
// object with a device state on it, and the folder "LBR-KV580" for image files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "fakes.h"
#include "oempdev.h"
#include "test_support.h"
#include "win32/heap.h"
#include "win32/registry.h"
#include "win32/winspool.h"

namespace textkeys_test {

class TextKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorded().Clear();
        std::u16string printer = u"P", port = u"KV580:", driver = u"ORVANEX LBR-KV580 - Receipt";
        PRINTER_INFO_2W info{};
        info.pPrinterName = printer.data();
        info.pPortName = port.data();
        info.pDriverName = driver.data();
        HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
        ASSERT_NE(added, nullptr) << GetLastError();
        ClosePrinter(added);
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(u"P", &handle, &defaults));
        state = std::make_unique<OEMPDEV>();
        std::memset(state.get(), 0, sizeof(OEMPDEV));
        devobj.hPrinter = handle;
        devobj.pdevOEM = state.get();
        folder = root.path() / "Windows" / "LBR-KV580";
        std::filesystem::create_directories(folder / "PreviewBin");
    }
    void TearDown() override {
        MemFree(state->szCouponImgName);
        if (handle) ClosePrinter(handle);
    }

    // Sets one value under "TextKeyFunction" (a UTF-16 string with its terminator).
    void SetString(const std::u16string& name, const std::u16string& value) {
        ASSERT_EQ(SetPrinterDataExW(handle, u"TextKeyFunction", name.c_str(), REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * 2)),
                  ERROR_SUCCESS);
    }
    void SetRaw(const std::u16string& name, const std::string& bytes, DWORD type = REG_BINARY) {
        ASSERT_EQ(SetPrinterDataExW(handle, u"TextKeyFunction", name.c_str(), type,
                                    reinterpret_cast<const BYTE*>(bytes.data()),
                                    static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    void SetCount(DWORD n) {
        ASSERT_EQ(SetPrinterDataExW(handle, u"TextKeyFunction", u"NumTextKey", REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&n), sizeof n),
                  ERROR_SUCCESS);
    }
    // Key k: "TEXT_KEY\tREPLACE_IMAGE\tALTERNATE_TEXT\tCOUPON_IMAGE".
    void SetKey(int k, const std::u16string& value) {
        std::u16string n = u"TextKey";
        n += static_cast<char16_t>(u'0' + k / 10);
        n += static_cast<char16_t>(u'0' + k % 10);
        SetString(n, value);
    }
    void WriteImage(const std::string& name, const std::string& bytes) {
        testing_support::WriteFile(folder / (name + ".bin"), bytes);
    }

    // A text buffer from LocalAlloc as the dispatcher makes it: the text, then spare zeros.
    struct Text {
        char* p = nullptr;
        DWORD length = 0;
        DWORD size = 0;
        Text(const std::string& s, DWORD spare = 16) {
            size = static_cast<DWORD>(s.size()) + spare;
            p = static_cast<char*>(LocalAlloc(LPTR, size));
            std::memcpy(p, s.data(), s.size());
            length = static_cast<DWORD>(s.size());
        }
        ~Text() { LocalFree(p); }
        std::string str() const { return std::string(p, length); }
    };

    testing_support::TempRoot root;
    HANDLE handle = nullptr;
    std::unique_ptr<OEMPDEV> state;
    DEVOBJ devobj{};
    std::filesystem::path folder;
};

}  // namespace textkeys_test
