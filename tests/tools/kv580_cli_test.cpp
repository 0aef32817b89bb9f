// The kv580 command line as its user meets it.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

using namespace testing_support;

TEST(Kv580Cli, VersionAndHelp) {
    auto version = RunKv580({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("kv580 "), std::string::npos);

    auto help = RunKv580({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--root"), std::string::npos);
    EXPECT_NE(help.out.find("root"), std::string::npos);
}

TEST(Kv580Cli, RootInitCreatesTheWindowsTreeInTheChosenRoot) {
    TempDir dir;
    auto viaFlag = dir.path() / "flag";
    auto r = RunKv580({"--root", viaFlag.string(), "root", "init"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(viaFlag / "Windows" / "temp"));
    EXPECT_TRUE(std::filesystem::is_directory(viaFlag / "Windows/System32/spool/drivers"));

    auto viaEnv = dir.path() / "env";
    r = RunKv580({"root", "init"}, {"KV580_ROOT=" + viaEnv.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(viaEnv / "Windows"));

    r = RunKv580({"root", "path"}, {"KV580_ROOT=" + viaEnv.string()});
    EXPECT_EQ(r.out, viaEnv.string() + "\n");
}

TEST(Kv580Cli, ErrorsAreOneLineAndNonZero) {
    struct Case {
        std::vector<std::string> args;
    } cases[] = {{{"no-such-command"}}, {{}}, {{"root", "init", "--bogus"}}};
    for (const auto& c : cases) {
        auto r = RunKv580(c.args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_EQ(r.err.rfind("kv580: error: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }

    TempDir dir;
    auto blocked = dir.path() / "file";
    WriteFile(blocked, "x");
    auto r = RunKv580({"--root", (blocked / "root").string(), "root", "init"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("cannot create folder"), std::string::npos) << r.err;
}
