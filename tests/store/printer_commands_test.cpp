// kv580 printer add|delete, kv580 printers and kv580 printer-data, run as a user would.
#include "store_fixture.h"

namespace store_test {
namespace {

using testing_support::RunKv580;

class PrinterCommands : public ::testing::Test {
protected:
    testing_support::TempDir dir;
    testing_support::RunResult Kv580(std::vector<std::string> args) {
        args.insert(args.begin(), {"--root", dir.path().string()});
        return RunKv580(args);
    }
};

TEST_F(PrinterCommands, NewUserRoundTripsMisc) {
    ASSERT_EQ(Kv580({"root", "init"}).exitCode, 0);
    auto added = Kv580({"printer", "add", "P"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    std::string hex;
    for (int i = 0; i < 44; ++i) hex += (i ? " " : "") + std::string(i == 19 ? "01" : "00");
    hex.replace(hex.size() - 2, 2, "AB");
    auto set = Kv580({"printer-data", "P", "set", "MISC", "--hex", hex});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    auto get = Kv580({"printer-data", "P", "get", "MISC"});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "REG_BINARY " + hex + "\n");

    EXPECT_EQ(Kv580({"printers"}).out, "P\tORVANEX LBR-KV580 - Receipt\tKV580:\t0x00000000\n");
    EXPECT_EQ(Kv580({"printer-data", "P", "list"}).out, "MISC\tREG_BINARY\t44\n");
    EXPECT_EQ(Kv580({"printer-data", "P", "get", "printerName", "--key", "DsSpooler"}).out,
              "REG_SZ 50 00 00 00\n");
}

TEST_F(PrinterCommands, ValueKindsAndDeletion) {
    ASSERT_EQ(Kv580({"printer", "add", "P", "--port", "COM1:"}).exitCode, 0);
    struct Case {
        std::vector<std::string> set;
        std::string shown;
    } cases[] = {
        {{"--dword", "0x10"}, "REG_DWORD 10 00 00 00\n"},
        {{"--string", "AB"}, "REG_SZ 41 00 42 00 00 00\n"},
        {{"--hex", "1b4a00"}, "REG_BINARY 1B 4A 00\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"printer-data", "P", "set", "V", "--key", "K"};
        args.insert(args.end(), c.set.begin(), c.set.end());
        ASSERT_EQ(Kv580(args).exitCode, 0);
        EXPECT_EQ(Kv580({"printer-data", "P", "get", "V", "--key", "K"}).out, c.shown);
    }
    EXPECT_EQ(Kv580({"printer-data", "P", "delete", "V", "--key", "K"}).exitCode, 0);
    auto missing = Kv580({"printer-data", "P", "get", "V", "--key", "K"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("not found"), std::string::npos);
    ASSERT_EQ(Kv580({"printer", "delete", "P"}).exitCode, 0);
    EXPECT_EQ(Kv580({"printers"}).out, "");
}

TEST_F(PrinterCommands, BadInputGivesOneClearLine) {
    ASSERT_EQ(Kv580({"printer", "add", "P"}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"printer-data", "Q", "get", "MISC"}, "cannot open printer 'Q'"},
        {{"printer-data", "P", "set", "MISC", "--hex", "123"}, "odd number"},
        {{"printer-data", "P", "set", "MISC", "--hex", "zz"}, "not a hexadecimal digit"},
        {{"printer-data", "P", "set", "N", "--dword", "4294967296"}, "--dword"},
        {{"printer-data", "P", "set", "N"}, "exactly one of"},
        {{"printer", "add", "P"}, "exists already"},
        {{"printer", "delete", "Q"}, "cannot open printer 'Q'"},
    };
    for (const auto& c : cases) {
        auto result = Kv580(c.args);
        EXPECT_NE(result.exitCode, 0) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace store_test
