// Installs the preview stand-in into the program folder of the system root.
#include "preview_install.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "win32/paths.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPreviewProgram = "OVXPreview.exe";

// The folder of the running program (where the build puts OVXPreview.exe too).
bool ProgramDirectory(fs::path& dir, std::string& error) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        error = "cannot find the running program: " + ec.message();
        return false;
    }
    dir = self.parent_path();
    return true;
}

}  // namespace

bool InstallPreviewProgram(std::string& error) {
    fs::path dir;
    if (!ProgramDirectory(dir, error)) return false;
    const fs::path source = dir / kPreviewProgram;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) {
        error = "the preview program " + source.string() + " is missing";
        return false;
    }
    fs::path folder;
    if (!platform::MapWindowsPath(std::u16string_view(u"C:\\Windows\\LBR-KV580"), folder)) {
        error = "the program folder C:\\Windows\\LBR-KV580 cannot be mapped onto the root";
        return false;
    }
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return false;
    }
    const fs::path target = folder / kPreviewProgram;
    // Copy under a temporary name, then rename: a preview still running from the old copy
    // keeps its file, and no half-written program is ever started.
    const fs::path temporary =
        folder / (std::string(kPreviewProgram) + ".new." + std::to_string(::getpid()));
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::permissions(temporary,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        ec);
    if (!ec) fs::rename(temporary, target, ec);
    if (ec) {
        error = "cannot place " + target.string() + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}
