// Cost of reading printer data from the store: one 44-byte GetPrinterDataExW ("MISC"), and the
// ten reads a device context makes when it is created.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "win32/system_root.h"
#include "win32/winspool.h"

namespace {

constexpr const WCHAR* kProperties = u"PrinterDriverData\\Properties";

// A fresh root in a temporary folder with printer "P" and its settings values.
class BenchRoot {
public:
    BenchRoot() {
        char pattern[] = "/tmp/kv580-bench-store-XXXXXX";
        m_path = mkdtemp(pattern);
        platform::SetSystemRoot(m_path);
        std::u16string name = u"P", port = u"KV580:", driver = u"ORVANEX LBR-KV580 - Receipt";
        PRINTER_INFO_2W info{};
        info.pPrinterName = name.data();
        info.pPortName = port.data();
        info.pDriverName = driver.data();
        HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
        ClosePrinter(added);
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        OpenPrinterW(u"P", &m_printer, &defaults);
        std::vector<BYTE> misc(44, 1), commands(16, 0x1B), barcode(45, 3), code(160, 2);
        Set(u"MISC", misc);
        for (const WCHAR* value : {u"StartDoc", u"StartPage", u"EndPage", u"EndDoc"}) {
            Set(value, commands);
        }
        Set(u"BarcodeInfo", barcode);
        Set(u"CodeData", code);
    }
    ~BenchRoot() {
        ClosePrinter(m_printer);
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    HANDLE printer() const { return m_printer; }

private:
    void Set(const WCHAR* value, const std::vector<BYTE>& bytes) {
        SetPrinterDataExW(m_printer, kProperties, value, REG_BINARY, bytes.data(),
                          static_cast<DWORD>(bytes.size()));
    }
    std::filesystem::path m_path;
    HANDLE m_printer = nullptr;
};

void BM_GetPrinterDataEx44Bytes(benchmark::State& state) {
    BenchRoot root;
    BYTE buffer[44];
    DWORD type = 0, needed = 0;
    for (auto _ : state) {
        DWORD code = GetPrinterDataExW(root.printer(), kProperties, u"MISC", &type, buffer,
                                       sizeof buffer, &needed);
        if (code != ERROR_SUCCESS || needed != 44) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_GetPrinterDataEx44Bytes);

// The reads of a device context: the printer name, "MISC", the barcode records, the four
// command strings (size query and read), as the rendering plug-in makes them.
void BM_DeviceContextSettingsReads(benchmark::State& state) {
    BenchRoot root;
    std::vector<BYTE> buffer(512);
    DWORD type = 0, needed = 0;
    for (auto _ : state) {
        GetPrinterDataExW(root.printer(), u"DsSpooler", u"printerName", &type, buffer.data(), 512,
                          &needed);
        for (const WCHAR* value : {u"MISC", u"BarcodeInfo", u"CodeData", u"StartDoc", u"StartPage",
                                   u"EndPage", u"EndDoc", u"TextKeyFunction"}) {
            GetPrinterDataExW(root.printer(), kProperties, value, &type, buffer.data(), 512,
                              &needed);
        }
        GetPrinterDataExW(root.printer(), u"TextKeyFunction", u"NumTextKey", &type, buffer.data(),
                          512, &needed);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_DeviceContextSettingsReads);

void BM_SetPrinterDataEx2Bytes(benchmark::State& state) {
    BenchRoot root;
    BYTE pages[2] = {1, 0};
    for (auto _ : state) {
        ++pages[0];
        SetPrinterDataExW(root.printer(), kProperties, u"PAGES", REG_BINARY, pages, 2);
    }
}
BENCHMARK(BM_SetPrinterDataEx2Bytes);

}  // namespace
