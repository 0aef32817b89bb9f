// kv580 print JOB.json: plays a job script through the rendering plug-in into the spooler.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "command.h"
#include "job_player.h"
#include "win32/system_root.h"
#ifdef HAVE_KV580PREVIEWINSTALL
#include "preview_install.h"
#endif

namespace kv580 {
namespace {

// KV580_SPOOL_MAX_WRITE=N limits how many bytes one spooler write takes (a fault switch).
DWORD SpoolWriteLimit() {
    const char* text = std::getenv("KV580_SPOOL_MAX_WRITE");
    if (text == nullptr || *text == 0) return 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    if (*end != 0 || value == 0 || value > 0xFFFFFFFFul) {
        throw CommandError("KV580_SPOOL_MAX_WRITE: '" + std::string(text) +
                           "' is not a positive number of bytes");
    }
    return static_cast<DWORD>(value);
}

void Print(const GlobalOptions& options, const std::string& script, const std::string& printer,
           const std::string& out) {
    UseChosenRoot(options);
#ifdef HAVE_KV580PREVIEWINSTALL
    // Until an installer places the package's programs, a root gets the preview program here.
    if (!std::filesystem::exists(platform::SystemRoot() / "Windows" / "LBR-KV580" /
                                 "OVXPreview.exe")) {
        std::string error;
        if (!InstallPreviewProgram(error)) {
            std::fprintf(stderr, "kv580: warning: the preview program was not placed: %s\n",
                         error.c_str());
        }
    }
#endif
    unidrv::PrintRequest request;
    request.script = script;
    request.printer = printer;
    request.out = out;
    request.maxBytesPerWrite = SpoolWriteLimit();
    unidrv::PrintOutcome outcome;
    try {
        outcome = unidrv::PrintJob(request);
    } catch (const std::exception& e) {
        throw CommandError(e.what());
    }
    std::printf("job %u on '%s': %zu page%s, %llu bytes%s%s\n", outcome.jobId,
                outcome.printer.c_str(), outcome.pages, outcome.pages == 1 ? "" : "s",
                static_cast<unsigned long long>(outcome.bytes), out.empty() ? "" : " -> ",
                out.c_str());
}

const CommandGroup kPrintCommand(30, [](CLI::App& app, const GlobalOptions& options) {
    auto* print = app.add_subcommand("print", "Print a job script through the rendering plug-in");
    auto script = std::make_shared<std::string>();
    auto printer = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    print->add_option("JOB", *script, "Job script (JSON, see docs/job-script.md)")->required();
    print->add_option("--printer", *printer,
                      "Printer (default: the package's printer, created on a fresh root)");
    print->add_option("--out", *out, "Also write the spooled bytes to this file");
    print->callback([&options, script, printer, out] { Print(options, *script, *printer, *out); });
});

}  // namespace
}  // namespace kv580
