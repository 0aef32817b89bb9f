// kv580 print as its user meets it: a job script in, the job's bytes out.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

using namespace testing_support;

namespace {

const std::string kPrinter = "ORVANEX LBR-KV580 - Receipt";

class PrintCommandTest : public ::testing::Test {
protected:
    RunResult Kv(std::vector<std::string> args, std::vector<std::string> env = {}) {
        args.insert(args.begin(), {"--root", (dir.path() / "root").string()});
        return RunKv580(args, env);
    }
    std::filesystem::path Script(const std::string& name, const std::string& json) {
        WriteFile(dir.path() / name, json);
        return dir.path() / name;
    }
    TempDir dir;
};

TEST_F(PrintCommandTest, FreshRootGetsThePrinterAndTheJobBytes) {
    auto job = Script("job.json", R"({"document": "d", "pages": [{"items": []}, {"items": []}]})");
    auto out = dir.path() / "job.prn";
    auto r = Kv({"print", job.string(), "--out", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "job 1 on '" + kPrinter + "': 2 pages, 17 bytes -> " + out.string() + "\n");
    EXPECT_EQ(ToHex(ReadFile(out)), "1B 40 1B 3D 01 00 1B 33 00 00 0A 1D 56 42 00 1B 32");
    // Delivered to the printer's port as well, and the page counter stored.
    EXPECT_EQ(ReadFile(dir.path() / "root" / "ports" / "KV580.prn"), ReadFile(out));
    auto pages = Kv({"printer-data", kPrinter, "get", "PAGES"});
    EXPECT_EQ(pages.out, "REG_BINARY 02 00\n");
    auto printers = Kv({"printers"});
    EXPECT_EQ(printers.out.rfind(kPrinter + "\t", 0), 0u) << printers.out;
}

TEST_F(PrintCommandTest, SettingsSetByTheServiceToolsChangeTheJob) {
    ASSERT_EQ(Kv({"printer", "add", "Shop"}).exitCode, 0);
    std::string misc(88, '0');
    auto setByte = [&](int index, int value) {
        static const char* digits = "0123456789ABCDEF";
        misc[index * 2] = digits[value >> 4];
        misc[index * 2 + 1] = digits[value & 15];
    };
    setByte(0, 2);  // two line feeds
    setByte(5, 0);  // no cut at the job end
    setByte(10, 1);
    setByte(11, 0x10);  // beep before the job
    ASSERT_EQ(Kv({"printer-data", "Shop", "set", "MISC", "--hex", misc}).exitCode, 0);
    ASSERT_EQ(Kv({"printer-data", "Shop", "set", "StartDoc", "--hex", "1B 61 01"}).exitCode, 0);
    auto job = Script("job.json", R"({"pages": [{"items": []}]})");
    auto out = dir.path() / "shop.prn";
    auto r = Kv({"print", job.string(), "--printer", "Shop", "--out", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ToHex(ReadFile(out)),
              "1B 40 1B 3D 01 1B 42 00 10 1B 61 01 1B 4A 00 0A 0A "
              "00 1B 33 00 00 0A 1B 4A 00 1B 32 0C");
}

TEST_F(PrintCommandTest, BadInputGivesOneClearLineAndNoOutput) {
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::string> extra;
        std::vector<std::string> env;
        std::string message;
    } cases[] = {
        {"syntax error", "{\"pages\": [\n  {\"items\": [}\n]}", {}, {}, "line 2, column"},
        {"unknown key", R"({"pagez": []})", {}, {}, "pagez"},
        {"missing picture",
         R"({"pages": [{"items": [{"type": "image", "path": "logo.png", "x": 0, "y": 0}]}]})",
         {},
         {},
         "logo.png"},
        {"unknown printer", R"({"pages": []})", {"--printer", "Nobody"}, {}, "Nobody"},
        {"bad spool limit",
         R"({"pages": []})",
         {},
         {"KV580_SPOOL_MAX_WRITE=lots"},
         "KV580_SPOOL_MAX_WRITE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto job = Script("bad.json", c.script);
        auto out = dir.path() / "bad.prn";
        std::vector<std::string> args = {"print", job.string(), "--out", out.string()};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        auto r = Kv(args, c.env);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_EQ(r.err.rfind("kv580: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "bad.prn.partial"));
    }
}

TEST_F(PrintCommandTest, GreyscalePicturesPrintTheSameWhetherBlittedOrStretched) {
    // A picture drawn at its own size goes through BitBlt and is held back until the next band;
    // it must still count as a picture for the greyscale rows, exactly as a stretched one does.
    std::filesystem::copy_file(std::filesystem::path(KV580_SOURCE_DIR) / "examples" / "ramp.png",
                               dir.path() / "ramp.png");
    ASSERT_EQ(Kv({"printer", "add", "Grey"}).exitCode, 0);
    std::string misc =
        "00001900190100190019001900190000000000010100000000000000000000000001000a0100000000000000";
    ASSERT_EQ(Kv({"printer-data", "Grey", "set", "MISC", "--hex", misc}).exitCode, 0);
    std::string bytes[2];
    for (int stretch = 0; stretch < 2; ++stretch) {
        auto job = Script("grey.json", std::string(R"({"pages": [{"items": [{"type": "image", )") +
                                           R"("path": "ramp.png", "x": 0, "y": 0, "stretch": )" +
                                           (stretch ? "true" : "false") + "}]}]}");
        auto out = dir.path() / "grey.prn";
        auto r = Kv({"print", job.string(), "--printer", "Grey", "--out", out.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        bytes[stretch] = ReadFile(out);
    }
    EXPECT_EQ(ToHex(bytes[0]), ToHex(bytes[1]));
    // Four tone planes were sent (plane selectors 4 to 7 of the compressed form).
    EXPECT_NE(ToHex(bytes[0]).find("08 43 52 07"), std::string::npos);
}

}  // namespace
