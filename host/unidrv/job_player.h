// Playing a job script into the rendering plug-in, as Unidrv plays a print job, and the whole
// print job around it: printer, spooler job, plug-in, device context, delivery.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "job_script.h"
#include "unidrv_host.h"

namespace unidrv {

// The printer created on a root that has none (until an installer registers printers).
inline constexpr const char* kDefaultPrinterName = "ORVANEX LBR-KV580 - Receipt";
inline constexpr const char* kDriverName = "ORVANEX LBR-KV580 - Receipt";
// The plug-in library named by the driver's configuration.
inline constexpr const char* kRenderPluginFile = "UNIKV580R.DLL";

// Plays the pages of `script` on the host's enabled device: StartDoc, and for every page the
// page start, the drawing calls through the plug-in's hooks, banding with every band handed to
// ImageProcessing, the page end; then EndDoc. False with `error` when the device is missing.
bool PlayJob(UnidrvHost& host, const jobscript::JobScript& script, DWORD jobId, std::string& error);

struct PrintRequest {
    std::filesystem::path script;  // the job script
    std::string printer;           // empty: the default printer (created when the root has none)
    std::filesystem::path out;     // empty: no copy of the spooled bytes
    DWORD maxBytesPerWrite = 0;    // fault switch: at most this many bytes per spooler write
};

struct PrintOutcome {
    DWORD jobId = 0;
    std::size_t pages = 0;
    std::uint64_t bytes = 0;
    std::string printer;
};

// Runs the job end to end. Throws std::runtime_error with one clear message on failure; the
// output file is then not written (nothing half-written is left).
PrintOutcome PrintJob(const PrintRequest& request);

}  // namespace unidrv
