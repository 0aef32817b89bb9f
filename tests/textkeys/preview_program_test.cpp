// The preview application stand-in OVXPreview.exe: placing it into the program folder of a
// root, starting it through the shell with a printer name that holds spaces, and what it makes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "preview_install.h"
#include "test_support.h"
#include "win32/shellapi.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

// Waits until the file exists and ends with a newline (the program appends whole lines).
std::string WaitForLine(const fs::path& path) {
    for (int i = 0; i < 200; ++i) {
        if (fs::exists(path)) {
            std::string text = ReadFile(path);
            if (!text.empty() && text.back() == '\n') return text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "";
}

const std::string kReceipt = std::string("\x1B@HELLO\n\x1DV\x00", 11);

TEST(PreviewProgram, TurnsThePreviewFileIntoAPictureAndLogsWhatItReceived) {
    testing_support::TempDir dir;
    fs::copy_file(testing_support::BinDir() / "OVXPreview.exe", dir.path() / "OVXPreview.exe");
    WriteFile(dir.path() / "OVXPreview.prn", kReceipt);
    // Started from another folder: it finds the file in its own folder.
    auto result = testing_support::Run(dir.path() / "OVXPreview.exe", {"Front Desk 2"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string line = ReadFile(dir.path() / "OVXPreview.log");
    EXPECT_EQ(line.rfind("OVXPreview\targuments 1\tprinter Front Desk 2\tOVXPreview.prn 11 bytes\t"
                         "OVXPreview.png ",
                         0),
              0u)
        << line;
    const std::string png = ReadFile(dir.path() / "OVXPreview.png");
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

TEST(PreviewProgram, WithoutPreviewFileItSaysSoAndFails) {
    testing_support::TempDir dir;
    fs::copy_file(testing_support::BinDir() / "OVXPreview.exe", dir.path() / "OVXPreview.exe");
    auto result = testing_support::Run(dir.path() / "OVXPreview.exe", {});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(ReadFile(dir.path() / "OVXPreview.log"),
              "OVXPreview\targuments 0\tprinter \tOVXPreview.prn missing\tno picture\n");
    EXPECT_FALSE(fs::exists(dir.path() / "OVXPreview.png"));
}

TEST(PreviewProgram, InstalledIntoTheRootAndStartedThroughTheShellWithOneArgument) {
    testing_support::TempRoot root;
    std::string error;
    ASSERT_TRUE(InstallPreviewProgram(error)) << error;
    const fs::path folder = root.path() / "Windows" / "LBR-KV580";
    ASSERT_TRUE(fs::is_regular_file(folder / "OVXPreview.exe"));
    // Installing again replaces the copy and leaves no temporary file behind.
    ASSERT_TRUE(InstallPreviewProgram(error)) << error;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);

    WriteFile(folder / "OVXPreview.prn", kReceipt);
    // Quotes, a semicolon and a dollar sign: no shell ever sees the name.
    const std::u16string printer = u"Front Desk \"A\"; $HOME";
    INT_PTR result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, u"open", u"OVXPreview.exe", printer.c_str(),
                      u"C:\\Windows\\LBR-KV580\\", SW_SHOWNORMAL));
    ASSERT_GT(result, 32);
    const std::string line = WaitForLine(folder / "OVXPreview.log");
    EXPECT_EQ(line.rfind("OVXPreview\targuments 1\tprinter Front Desk \"A\"; $HOME\t", 0), 0u)
        << line;
}

}  // namespace
