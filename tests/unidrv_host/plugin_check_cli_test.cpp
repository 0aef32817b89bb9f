// The plug-in loaded by the real kv580 program on a printer made with the command line.
#include <gtest/gtest.h>

#include <ctime>

#include "test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::RunKv580;

TEST(PluginCheckCliTest, LoadsEnablesAndUnloadsWithItsLog) {
    testing_support::TempDir dir;
    const std::string root = dir.path().string();
    // Today's date (the log clean-up compares it with real file times) at a fixed time.
    const std::time_t now = std::time(nullptr);
    std::tm today = {};
    gmtime_r(&now, &today);
    char pinned[32];
    std::strftime(pinned, sizeof(pinned), "%Y-%m-%dT06:45:00", &today);
    char logName[64];
    std::strftime(logName, sizeof(logName), "LBR-KV580_%m%d_0645_OEMUNI.LOG", &today);
    const std::vector<std::string> env = {std::string("KV580_FAKE_TIME=") + pinned};
    ASSERT_EQ(RunKv580({"--root", root, "root", "init"}).exitCode, 0);
    auto r = RunKv580({"--root", root, "printer", "add", "KV580 Receipt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Settings with the diagnostic log on (byte 43) and a 600-byte "StartDoc" (ignored).
    std::string misc(44 * 3, ' ');
    for (int i = 0; i < 44; ++i) {
        misc.replace(i * 3, 2, i == 43 ? "01" : "00");
    }
    r = RunKv580({"--root", root, "printer-data", "KV580 Receipt", "set", "MISC", "--hex", misc});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunKv580({"--root", root, "printer-data", "KV580 Receipt", "set", "StartDoc", "--hex",
                  std::string(600 * 2, '4')});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    r = RunKv580({"--root", root, "plugin", "check", "KV580 Receipt", "--input-bin", "Option2"},
                 env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("signature: 0x4D534654"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("hooks: 29"), std::string::npos);
    EXPECT_NE(r.out.find("unload: S_OK"), std::string::npos);

    const std::string log = ReadFile(dir.path() / "Windows" / "temp" / "LBR-KV580" / logName);
    for (const char* line :
         {"06:45:00:000: DLL_PROCESS_ATTACH \r\n",
          "06:45:00:000: OEMEnablePDEV : PRINTER NAME = KV580 Receipt \r\n",
          "06:45:00:000: OEMEnablePDEV : failed to get data from the windows registry. (StartDoc) "
          "\r\n",
          "06:45:00:000: IsReceiptPrintSelected : Option2 / TICKET \r\n",
          "06:45:00:000: EnablePDEV : pUIInfo->byteValue[31] : 1 \r\n",
          "06:45:00:000: DisablePDEV : END \r\n", "06:45:00:000: DLL_PROCESS_DETACH \r\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
}

TEST(PluginCheckCliTest, UnknownPrinterIsAClearError) {
    testing_support::TempDir dir;
    ASSERT_EQ(RunKv580({"--root", dir.path().string(), "root", "init"}).exitCode, 0);
    auto r = RunKv580({"--root", dir.path().string(), "plugin", "check", "Nobody"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("cannot open printer \"Nobody\""), std::string::npos) << r.err;
}

}  // namespace
