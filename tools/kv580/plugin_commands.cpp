// kv580 plugin check: loads the rendering plug-in the way the universal-driver host does,
// creates one device context on a printer and unloads it again, reporting every step.
#ifdef HAVE_KV580UNIDRVHOST

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "unidrv_host.h"
#include "win32/devmode.h"
#include "win32/strings.h"
#include "win32/winspool.h"

namespace kv580 {
namespace {

struct CheckOptions {
    std::string printer;
    std::string inputBin = "Option1";
    std::string orientation = "PORTRAIT";
    unsigned bitsPerPixel = 1;
};

// The printer's default DEVMODE (public and private part), as a job would start with it.
std::vector<BYTE> DefaultDevmode(HANDLE printer, const std::u16string& name) {
    const LONG size = DocumentPropertiesW(nullptr, printer, name.c_str(), nullptr, nullptr, 0);
    if (size < static_cast<LONG>(sizeof(DEVMODEW))) {
        throw CommandError("cannot read the default DEVMODE of the printer (error " +
                           std::to_string(GetLastError()) + ")");
    }
    std::vector<BYTE> bytes(static_cast<size_t>(size));
    auto* dm = reinterpret_cast<DEVMODEW*>(bytes.data());
    if (DocumentPropertiesW(nullptr, printer, name.c_str(), dm, nullptr, DM_OUT_BUFFER) < 0) {
        throw CommandError("cannot read the default DEVMODE of the printer (error " +
                           std::to_string(GetLastError()) + ")");
    }
    return bytes;
}

void CheckPlugin(const GlobalOptions& options, const CheckOptions& check) {
    UseChosenRoot(options);
    if (check.bitsPerPixel != 1 && check.bitsPerPixel != 8 && check.bitsPerPixel != 24) {
        throw CommandError("--bits must be 1, 8 or 24");
    }
    const std::u16string name = platform::Utf8ToUtf16(check.printer);
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name.c_str(), &printer, nullptr)) {
        throw CommandError("cannot open printer \"" + check.printer + "\" (error " +
                           std::to_string(GetLastError()) + ")");
    }
    std::unique_ptr<void, BOOL (*)(HANDLE)> closer(printer, ClosePrinter);
    std::vector<BYTE> devmode = DefaultDevmode(printer, name);

    const auto library = unidrv::UnidrvHost::FindPlugin("UNIKV580R.DLL");
    unidrv::UnidrvHost host;
    std::string error;
    if (!host.Load(library, error)) {
        throw CommandError(error);
    }
    std::printf("plug-in: %s\n", library.string().c_str());
    std::printf("signature: 0x%08X\n", static_cast<unsigned>(host.signature()));
    std::printf("version: %u\n", static_cast<unsigned>(host.version()));
    std::printf("hooks: %zu\n", host.hookOrder().size());
    std::string methods;
    for (const auto& [method, result] : host.implementedMethods()) {
        if (result == S_OK) {
            methods += (methods.empty() ? "" : " ") + method;
        }
    }
    std::printf("optional methods: %s\n", methods.c_str());

    host.services().options.inputBin = check.inputBin;
    host.services().options.orientation = check.orientation;
    if (!host.EnablePDEV(printer, name, reinterpret_cast<DEVMODEW*>(devmode.data()),
                         check.bitsPerPixel, error)) {
        throw CommandError(error);
    }
    std::printf("device context: enabled\n");
    host.DisablePDEV();
    std::printf("device context: disabled\n");
    const HRESULT unload = host.Unload();
    std::printf("unload: %s\n", unload == S_OK ? "S_OK" : "S_FALSE (library kept loaded)");
}

const CommandGroup kPluginCommands(60, [](CLI::App& app, const GlobalOptions& options) {
    auto* plugin = app.add_subcommand("plugin", "Load the rendering plug-in as the host does");
    plugin->require_subcommand(1);
    auto check = std::make_shared<CheckOptions>();
    auto* cmd = plugin->add_subcommand(
        "check", "Load UNIKV580R, enable and disable one device context on a printer, unload");
    cmd->add_option("PRINTER", check->printer, "Printer name")->required();
    cmd->add_option("--input-bin", check->inputBin,
                    "Paper source option the host reports (Option1 receipt, Option2 ticket)")
        ->capture_default_str();
    cmd->add_option("--orientation", check->orientation,
                    "Orientation option the host reports (PORTRAIT, LANDSCAPE_CC270, ...)")
        ->capture_default_str();
    cmd->add_option("--bits", check->bitsPerPixel, "Bits per pixel of the device (1, 8, 24)")
        ->capture_default_str();
    cmd->callback([&options, check] { CheckPlugin(options, *check); });
});

}  // namespace
}  // namespace kv580

#endif  // HAVE_KV580UNIDRVHOST
