// ShellExecuteW: a program of a folder started with one untouched argument, or recorded.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "test_support.h"
#include "win32/shellapi.h"

using namespace testing_support;

namespace {

INT_PTR Result(HINSTANCE h) {
    return static_cast<INT_PTR>(reinterpret_cast<ULONG_PTR>(h));
}

// A stand-in program that writes its first argument and its working folder to files.
void MakeEchoProgram(const std::filesystem::path& program) {
    WriteFile(program,
              "#!/bin/sh\nprintf '%s' \"$1\" > arg.tmp && pwd > cwd.txt && mv arg.tmp arg.txt\n");
    chmod(program.c_str(), 0755);
}

std::string WaitForFile(const std::filesystem::path& path) {
    for (int i = 0; i < 200 && !std::filesystem::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ReadFile(path);
}

}  // namespace

TEST(ShellExecute, StartsTheProgramOfTheFolderWithTheParametersAsOneArgument) {
    TempRoot root;
    auto folder = root.path() / "Windows" / "LBR-KV580";
    MakeEchoProgram(folder / "OVXPreview.exe");
    const char16_t* name = u"Shop Printer; rm -rf / \"quoted\" $HOME";
    auto h = ShellExecuteW(nullptr, u"open", u"OVXPreview.exe", name, u"C:\\Windows\\LBR-KV580\\",
                           SW_SHOWNORMAL);
    ASSERT_GT(Result(h), 32);
    EXPECT_EQ(WaitForFile(folder / "arg.txt"), "Shop Printer; rm -rf / \"quoted\" $HOME");
    EXPECT_EQ(ReadFile(folder / "cwd.txt"), std::filesystem::canonical(folder).string() + "\n");
}

TEST(ShellExecute, RecordsLaunchesInsteadOfRunningThem) {
    TempRoot root;
    auto record = root.path() / "launches.txt";
    setenv("KV580_SHELL_RECORD", record.c_str(), 1);
    auto h = ShellExecuteW(nullptr, u"open", u"OVXPreview.exe", u"My Printer",
                           u"C:\\Windows\\LBR-KV580\\", SW_SHOWNORMAL);
    unsetenv("KV580_SHELL_RECORD");
    ASSERT_GT(Result(h), 32);
    auto folder = root.path() / "Windows" / "LBR-KV580";
    EXPECT_EQ(ReadFile(record), "open\t" + (folder / "OVXPreview.exe").string() + "\tMy Printer\t" +
                                    folder.string() + "\n");
}

TEST(ShellExecute, FailuresGiveTheShellCodes) {
    TempRoot root;
    struct Case {
        const char16_t* verb;
        const char16_t* file;
        const char16_t* folder;
        INT_PTR expected;
    } cases[] = {
        {u"open", u"Missing.exe", u"C:\\Windows", SE_ERR_FNF},
        {u"print", u"Missing.exe", u"C:\\Windows", SE_ERR_NOASSOC},
        {u"open", u"x.exe", u"D:\\Elsewhere", SE_ERR_ACCESSDENIED},
        {u"open", u"..\\..\\..\\bin\\sh", u"C:\\Windows", SE_ERR_ACCESSDENIED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Result(ShellExecuteW(nullptr, c.verb, c.file, u"", c.folder, SW_SHOWNORMAL)),
                  c.expected);
    }
}
