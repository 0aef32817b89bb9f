// Choice of the system root and creation of a fresh root's folder tree.
#include "win32/system_root.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace platform {
namespace {

std::mutex g_rootMutex;
std::filesystem::path g_root;
bool g_rootChosen = false;

// The folders every root has, relative to the root. The Windows directory is "Windows".
constexpr const char* kRootFolders[] = {
    "Windows",
    "Windows/System32",
    "Windows/System32/spool",
    "Windows/System32/spool/drivers",
    "Windows/System32/spool/drivers/x64",
    "Windows/System32/spool/drivers/x64/3",
    "Windows/System32/spool/drivers/W32X86",
    "Windows/System32/spool/drivers/W32X86/3",
    "Windows/System32/spool/prtprocs",
    "Windows/System32/spool/prtprocs/x64",
    "Windows/System32/spool/prtprocs/W32X86",
    "Windows/System32/spool/PRINTERS",
    "Windows/SysWOW64",
    "Windows/temp",
    "Windows/inf",
    "Program Files",
    "Program Files (x86)",
    "Temp",
    "ports",
};

}  // namespace

std::filesystem::path DefaultSystemRoot() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return std::filesystem::path(xdg) / "kv580" / "root";
    }
    const char* home = std::getenv("HOME");
    std::filesystem::path base = (home && *home) ? std::filesystem::path(home) : "/tmp";
    return base / ".local" / "share" / "kv580" / "root";
}

void SetSystemRoot(const std::filesystem::path& root) {
    std::lock_guard lock(g_rootMutex);
    std::error_code ec;
    auto absolute = std::filesystem::absolute(root, ec);
    g_root = (ec ? root : absolute).lexically_normal();
    if (g_root.has_filename() == false && g_root != g_root.root_path()) {
        g_root = g_root.parent_path();
    }
    g_rootChosen = true;
}

const std::filesystem::path& SystemRoot() {
    std::lock_guard lock(g_rootMutex);
    if (!g_rootChosen) {
        const char* env = std::getenv("KV580_ROOT");
        std::filesystem::path chosen = (env && *env) ? std::filesystem::path(env) : DefaultSystemRoot();
        std::error_code ec;
        auto absolute = std::filesystem::absolute(chosen, ec);
        g_root = (ec ? chosen : absolute).lexically_normal();
        g_rootChosen = true;
    }
    return g_root;
}

bool CreateRootTree(const std::filesystem::path& root, std::string& error) {
    for (const char* folder : kRootFolders) {
        std::error_code ec;
        std::filesystem::create_directories(root / folder, ec);
        if (ec) {
            error = "cannot create folder '" + (root / folder).string() + "': " + ec.message();
            return false;
        }
    }
    return true;
}

}  // namespace platform
