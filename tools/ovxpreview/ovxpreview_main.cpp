// OVXPreview.exe, the stand-in of the package's preview application.
//
// The rendering plug-in starts it at the end of a previewed job with the printer name as its
// one argument, in the program folder "C:\Windows\LBR-KV580\". It turns "OVXPreview.prn" of
// its own folder into a picture with the printer emulator, "OVXPreview.png" next to it, and
// appends one line of what it received to "OVXPreview.log" there:
//   OVXPreview<TAB>arguments N<TAB>printer NAME<TAB>OVXPreview.prn B bytes<TAB>RESULT
// where RESULT is "OVXPreview.png WxH" or the reason no picture was made.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "emulator/emulator.h"

namespace fs = std::filesystem;

namespace {

fs::path OwnFolder(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) self = fs::absolute(argv0 != nullptr ? argv0 : ".", ec);
    return self.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = OwnFolder(argc > 0 ? argv[0] : nullptr);
    const std::string printer = argc > 1 ? argv[1] : "";
    const fs::path prn = folder / "OVXPreview.prn";
    const fs::path png = folder / "OVXPreview.png";

    std::string line =
        "OVXPreview\targuments " + std::to_string(argc > 0 ? argc - 1 : 0) + "\tprinter " + printer;
    int exitCode = 0;
    std::ifstream in(prn, std::ios::binary);
    if (!in) {
        line += "\tOVXPreview.prn missing\tno picture";
        exitCode = 1;
    } else {
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        line += "\tOVXPreview.prn " + std::to_string(bytes.size()) + " bytes";
        emulator::Emulation emulation = emulator::Emulate(bytes);
        std::string error;
        // Written under a temporary name first, so a reader never sees half a picture.
        const fs::path temporary = folder / ("OVXPreview.png.new." + std::to_string(::getpid()));
        std::error_code ec;
        if (emulator::WritePng(emulation.receipt.picture, temporary, error) &&
            (fs::rename(temporary, png, ec), !ec)) {
            line += "\tOVXPreview.png " + std::to_string(emulation.receipt.picture.width) + "x" +
                    std::to_string(emulation.receipt.picture.height);
        } else {
            fs::remove(temporary, ec);
            line += "\tno picture: " + (error.empty() ? std::string("cannot rename") : error);
            exitCode = 1;
        }
    }
    std::ofstream log(folder / "OVXPreview.log", std::ios::app | std::ios::binary);
    log << line << '\n';
    std::fprintf(stdout, "%s\n", line.c_str());
    return exitCode;
}
