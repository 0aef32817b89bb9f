// The universal-driver host: finding and loading a plug-in, its driver services and the
// life cycle it drives.
#include "unidrv_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "test_support.h"

namespace {

using unidrv::DriverServices;
using unidrv::UnidrvHost;

TEST(UnidrvHostTest, LibraryFileNames) {
    EXPECT_EQ(UnidrvHost::LibraryFileName("UNIKV580R.DLL"), "UNIKV580R.so");
    EXPECT_EQ(UnidrvHost::LibraryFileName("unikv580r.dll"), "unikv580r.so");
    EXPECT_EQ(UnidrvHost::LibraryFileName("UNIKV580R"), "UNIKV580R.so");
    EXPECT_EQ(UnidrvHost::LibraryFileName("UNIKV580R.so"), "UNIKV580R.so");
}

TEST(UnidrvHostTest, PluginIsFoundInThePluginFolderOrNextToTheProgram) {
    unsetenv("KV580_PLUGIN_DIR");
    const auto nextToProgram = UnidrvHost::FindPlugin("UNIKV580R.DLL");
    EXPECT_EQ(nextToProgram.filename(), "UNIKV580R.so");
    EXPECT_TRUE(std::filesystem::exists(nextToProgram)) << nextToProgram;
    setenv("KV580_PLUGIN_DIR", "/opt/plugins", 1);
    EXPECT_EQ(UnidrvHost::FindPlugin("UNIKV580R.DLL"), "/opt/plugins/UNIKV580R.so");
    unsetenv("KV580_PLUGIN_DIR");
    // A name with folders in it is not looked up at all.
    EXPECT_TRUE(UnidrvHost::FindPlugin("../../etc/evil.DLL").empty());
    EXPECT_TRUE(UnidrvHost::FindPlugin("..\\evil.DLL").empty());
}

TEST(UnidrvHostTest, LoadFailuresAreReported) {
    testing_support::TempRoot root;
    UnidrvHost host;
    std::string error;
    EXPECT_FALSE(host.Load(root.path() / "missing.so", error));
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
    // A library that is not a plug-in.
    EXPECT_FALSE(host.Load(testing_support::BinDir() / "libkv580platform.so", error));
    EXPECT_NE(error.find("DllGetClassObject"), std::string::npos) << error;
    EXPECT_FALSE(host.loaded());
    DEVMODEW dm = {};
    EXPECT_FALSE(host.EnablePDEV(nullptr, u"x", &dm, 1, error));
    EXPECT_EQ(host.Unload(), S_OK);
}

TEST(UnidrvHostTest, FullLifeCycle) {
    testing_support::TempRoot root;
    UnidrvHost host;
    std::string error;
    ASSERT_TRUE(host.Load(UnidrvHost::FindPlugin("UNIKV580R.DLL"), error)) << error;
    EXPECT_FALSE(host.Load(UnidrvHost::FindPlugin("UNIKV580R.DLL"), error));
    EXPECT_EQ(host.implementedMethods().at("ImageProcessing"), S_OK);
    EXPECT_EQ(host.implementedMethods().at("DriverDMS"), S_FALSE);
    EXPECT_EQ(host.hookOrder().size(), 29u);
    DEVMODEW dm = {};
    dm.dmSize = sizeof(dm);
    // No printer handle: the plug-in falls back to defaults and the passed name.
    ASSERT_TRUE(host.EnablePDEV(nullptr, u"Passed", &dm, 1, error)) << error;
    ASSERT_NE(host.devobj()->pdevOEM, nullptr);
    EXPECT_EQ(host.devobj()->pPublicDM, &dm);
    EXPECT_EQ(host.surface()->dhpdev, reinterpret_cast<DHPDEV>(host.devobj()));
    EXPECT_FALSE(host.EnablePDEV(nullptr, u"Passed", &dm, 1, error));  // one device at a time
    EXPECT_EQ(host.CommandCallback(5), S_OK);
    host.DisablePDEV();
    EXPECT_EQ(host.devobj(), nullptr);
    EXPECT_EQ(host.Unload(), S_OK);
    EXPECT_FALSE(host.loaded());
    EXPECT_EQ(host.services().references(), 0);
}

TEST(DriverServicesTest, DriverSettingsFromTheJobOptions) {
    DriverServices services;
    char text[256];
    DWORD needed = 0;
    DWORD options = 0;
    services.options.inputBin = "Option2";
    services.options.orientation = "LANDSCAPE_CC270";
    EXPECT_EQ(
        services.DrvGetDriverSetting(nullptr, "InputBin", text, sizeof(text), &needed, &options),
        S_OK);
    EXPECT_STREQ(text, "Option2");
    EXPECT_EQ(needed, 8u);
    EXPECT_EQ(options, 1u);
    EXPECT_EQ(
        services.DrvGetDriverSetting(nullptr, "Orientation", text, sizeof(text), &needed, &options),
        S_OK);
    EXPECT_STREQ(text, "LANDSCAPE_CC270");
    // Too small a buffer, an unknown feature, a forced failure.
    EXPECT_NE(services.DrvGetDriverSetting(nullptr, "Orientation", text, 4, &needed, &options),
              S_OK);
    EXPECT_EQ(needed, 16u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_NE(
        services.DrvGetDriverSetting(nullptr, "Resolution", text, sizeof(text), &needed, &options),
        S_OK);
    services.failDriverSetting = true;
    services.driverSettingError = 1168;
    EXPECT_EQ(
        services.DrvGetDriverSetting(nullptr, "InputBin", text, sizeof(text), &needed, &options),
        E_FAIL);
    EXPECT_EQ(GetLastError(), 1168u);
}

TEST(DriverServicesTest, SpoolWritesAndTheirLimit) {
    DriverServices services;
    BYTE bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    DWORD written = 0;
    EXPECT_EQ(services.DrvWriteSpoolBuf(nullptr, bytes, 10, &written), S_OK);
    EXPECT_EQ(written, 10u);
    services.maxBytesPerWrite = 4;
    EXPECT_EQ(services.DrvWriteSpoolBuf(nullptr, bytes, 10, &written), S_OK);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(services.spooled.size(), 14u);
    EXPECT_EQ(services.writeSizes, (std::vector<DWORD>{10, 10}));
    services.failWrites = true;
    EXPECT_EQ(services.DrvWriteSpoolBuf(nullptr, bytes, 10, &written), E_FAIL);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(services.DrvWriteSpoolBuf(nullptr, nullptr, 3, &written), E_INVALIDARG);
    services.failWrites = false;
    std::string sunk;
    services.sink = [&sunk](const BYTE* data, DWORD count) {
        sunk.append(reinterpret_cast<const char*>(data), count);
        return count;
    };
    EXPECT_EQ(services.DrvWriteSpoolBuf(nullptr, bytes, 3, &written), S_OK);
    EXPECT_EQ(sunk, std::string("\x01\x02\x03", 3));
    EXPECT_EQ(services.spooled.size(), 14u);
    // The methods the plug-in never uses.
    EXPECT_EQ(services.DrvXMoveTo(nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(services.DrvWriteAbortBuf(nullptr, nullptr, 0, 0), E_NOTIMPL);
}

}  // namespace
