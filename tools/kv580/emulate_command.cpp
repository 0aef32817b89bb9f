// kv580 emulate FILE.prn --png OUT.png [--json OUT.json] [--width DOTS]: the printer emulator.
#if HAVE_KV580EMULATOR

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "command.h"
#include "emulator/emulator.h"

namespace kv580 {
namespace {

struct EmulateOptions {
    std::string input;
    std::string png;
    std::string json;
    int width = 576;
    int margin = 32;
    int cjk = 936;
    bool greyPlanes = false;
};

constexpr std::uintmax_t kMaxInput = 256u * 1024u * 1024u;

std::vector<uint8_t> ReadInput(const std::string& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) throw CommandError("cannot read " + path + ": " + ec.message());
    if (size > kMaxInput) throw CommandError(path + " is larger than 256 MiB");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CommandError("cannot open " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) throw CommandError("cannot read " + path);
    return bytes;
}

void WriteText(const std::string& path, const std::string& text) {
    if (path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw CommandError("cannot write " + path);
}

void Emulate(const EmulateOptions& o) {
    if (o.cjk != 936 && o.cjk != 949 && o.cjk != 950 && o.cjk != 932)
        throw CommandError("--cjk must be 932, 936, 949 or 950");
    std::vector<uint8_t> bytes = ReadInput(o.input);
    emulator::Options options;
    options.widthDots = o.width;
    options.marginDots = o.margin;
    options.cjkCodePage = o.cjk;
    options.greyscaleRasterPlanes = o.greyPlanes;
    emulator::Emulation result = emulator::Emulate(bytes, options);
    std::string error;
    if (!emulator::WritePng(result.receipt.picture, o.png, error)) throw CommandError(error);
    if (!o.json.empty()) WriteText(o.json, emulator::ListingJson(result, bytes, options));

    size_t unknown = 0, truncated = 0, cuts = 0, pages = 0;
    for (const auto& c : result.commands) {
        unknown += c.status == emulator::CommandStatus::Unknown;
        truncated += c.status == emulator::CommandStatus::Truncated;
        cuts += c.kind == emulator::CommandKind::Cut && c.status == emulator::CommandStatus::Ok;
        pages +=
            c.kind == emulator::CommandKind::PageMarker && c.status == emulator::CommandStatus::Ok;
    }
    int length = result.receipt.picture.height - 2 * o.margin;
    FILE* summary = o.json == "-" ? stderr : stdout;
    std::fprintf(summary,
                 "emulated %zu bytes: %zu commands (%zu unknown, %zu truncated), %zu page markers, "
                 "%zu cuts; paper %d dots (%.1f mm) -> %s\n",
                 bytes.size(), result.commands.size(), unknown, truncated, pages, cuts, length,
                 length / 8.0, o.png.c_str());
    for (const auto& warning : result.receipt.warnings)
        std::fprintf(stderr, "warning: %s\n", warning.c_str());
}

const CommandGroup kEmulateCommands(60, [](CLI::App& app, const GlobalOptions&) {
    static EmulateOptions options;
    auto* cmd = app.add_subcommand("emulate", "Draw the receipt a printer command stream prints");
    cmd->add_option("file", options.input, "Printer command stream (.prn)")
        ->required()
        ->type_name("FILE");
    cmd->add_option("--png", options.png, "Picture of the receipt")
        ->required()
        ->type_name("OUT.png");
    cmd->add_option("--json", options.json, "Command listing as JSON (- for standard output)")
        ->type_name("OUT.json");
    cmd->add_option("--width", options.width, "Printable width in dots")
        ->check(CLI::Range(8, 4096))
        ->type_name("DOTS");
    cmd->add_option("--margin", options.margin, "Blank paper around the printable area, in dots")
        ->check(CLI::Range(0, 512))
        ->type_name("DOTS");
    cmd->add_option("--cjk", options.cjk, "Code page of two-byte text without FS C (936, 949, 950)")
        ->type_name("CP");
    cmd->add_flag("--grey-planes", options.greyPlanes,
                  "Read four GS v 0 images of equal size as the tone planes of one strip");
    cmd->callback([] { Emulate(options); });
});

}  // namespace
}  // namespace kv580

#endif  // HAVE_KV580EMULATOR
