// A fresh system root with one printer of the receipt driver, and the rendering plug-in loaded
// the way the universal-driver host loads it (dlopen through unidrv::UnidrvHost).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "oempdev.h"
#include "test_support.h"
#include "unidrv_host.h"
#include "win32/clock.h"
#include "win32/devmode.h"
#include "win32/registry.h"
#include "win32/winspool.h"

namespace render_test {

inline constexpr const WCHAR* kPrinterName = u"KV580 Receipt";
inline constexpr const WCHAR* kProperties = u"PrinterDriverData\\Properties";
inline constexpr const WCHAR* kPassedName = u"Name Passed By Host";

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetFakeTime(std::nullopt);
        SYSTEMTIME now = {};
        GetLocalTime(&now);
        // The real date (file times are real), a fixed time of day.
        today = now;
        today.wHour = 6;
        today.wMinute = 45;
        today.wSecond = 0;
        today.wMilliseconds = 0;
        platform::SetFakeTime(today);

        root = std::make_unique<testing_support::TempRoot>();
        std::u16string port = u"LPT1:";
        std::u16string driver = u"LBR-KV580 Receipt";
        std::u16string name = kPrinterName;
        PRINTER_INFO_2W info = {};
        info.pPrinterName = name.data();
        info.pPortName = port.data();
        info.pDriverName = driver.data();
        printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
        ASSERT_NE(printer, nullptr) << GetLastError();
        devmode = {};
        devmode.dmSize = sizeof(DEVMODEW);
        devmode.dmSpecVersion = DM_SPECVERSION;
        devmode.dmCopies = 1;
        devmode.dmOrientation = DMORIENT_PORTRAIT;
    }

    void TearDown() override {
        host.reset();
        if (printer != nullptr) {
            ClosePrinter(printer);
        }
        root.reset();
        platform::SetFakeTime(std::nullopt);
    }

    // Writes a REG_BINARY value of the driver's properties key.
    void SetProperty(const WCHAR* name, const std::string& bytes) {
        ASSERT_EQ(SetPrinterDataExW(printer, kProperties, name, REG_BINARY,
                                    reinterpret_cast<const BYTE*>(bytes.data()),
                                    static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }

    // The 44 setting bytes with selected changes.
    static std::string Misc(std::initializer_list<std::pair<int, int>> changes = {}) {
        std::string bytes(44, '\0');
        for (auto [index, value] : changes) {
            bytes[index] = static_cast<char>(value);
        }
        return bytes;
    }

    // Writes "MISC" with logging on (byte 43 = 1) plus the changes.
    void SetMisc(std::initializer_list<std::pair<int, int>> changes = {}) {
        std::string bytes = Misc(changes);
        bool logSet = false;
        for (auto [index, value] : changes) {
            logSet = logSet || index == 43;
            (void)value;
        }
        if (!logSet) {
            bytes[43] = 1;
        }
        SetProperty(u"MISC", bytes);
    }

    // Writes the configuration file of the Windows directory's "LBR-KV580" folder.
    void WriteConfig(const std::string& text) {
        auto folder = root->path() / "Windows" / "LBR-KV580";
        std::filesystem::create_directories(folder);
        testing_support::WriteFile(folder / "LBRKV580R_Config.OVX", text);
    }

    // Loads the plug-in (a new host each time).
    void Load() {
        host = std::make_unique<unidrv::UnidrvHost>();
        std::string error;
        ASSERT_TRUE(host->Load(unidrv::UnidrvHost::FindPlugin("UNIKV580R.DLL"), error)) << error;
    }

    // Loads the plug-in and enables a device context on the printer.
    void Enable(ULONG bitsPerPixel = 1) {
        if (!host) {
            Load();
        }
        std::string error;
        ASSERT_TRUE(host->EnablePDEV(printer, kPassedName, &devmode, bitsPerPixel, error)) << error;
    }

    POEMPDEV State() { return static_cast<POEMPDEV>(host->devobj()->pdevOEM); }
    const UIInfo& Settings() { return State()->UIInfo; }

    std::filesystem::path LogFolder() const {
        return root->path() / "Windows" / "temp" / "LBR-KV580";
    }
    // "MMDD_0645" of today: the no-job part of a log file name.
    std::string NoJobPart() const {
        char text[16];
        std::snprintf(text, sizeof(text), "%02u%02u_0645", today.wMonth, today.wDay);
        return text;
    }
    std::string JobPart(unsigned jobId) const {
        char text[24];
        std::snprintf(text, sizeof(text), "%02u%02u_%05u", today.wMonth, today.wDay, jobId);
        return text;
    }
    std::filesystem::path LogFile(const std::string& part, bool wide = false) const {
        return LogFolder() / ("LBR-KV580_" + part + (wide ? "_OEMUNI_W.LOG" : "_OEMUNI.LOG"));
    }
    // The 8-bit log of the time outside a job ("" when there is none).
    std::string NoJobLog() const {
        auto path = LogFile(NoJobPart());
        return std::filesystem::exists(path) ? testing_support::ReadFile(path) : std::string();
    }
    // True when the log holds the line "06:45:00:000: <message> \r\n".
    static bool HasLine(const std::string& log, const std::string& message) {
        return log.find("06:45:00:000: " + message + " \r\n") != std::string::npos;
    }

    SYSTEMTIME today = {};
    std::unique_ptr<testing_support::TempRoot> root;
    HANDLE printer = nullptr;
    DEVMODEW devmode = {};
    std::unique_ptr<unidrv::UnidrvHost> host;
};

}  // namespace render_test
