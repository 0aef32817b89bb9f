// The JSON listing of an emulation (format described in docs/emulator.md).
#include <nlohmann/json.hpp>

#include "code_pages.h"
#include "emulator/emulator.h"

namespace emulator {

const char* KindName(CommandKind kind) {
    switch (kind) {
        case CommandKind::Nul:
            return "NUL";
        case CommandKind::Text:
            return "text";
        case CommandKind::LineFeed:
            return "print and line feed";
        case CommandKind::CarriageReturn:
            return "carriage return";
        case CommandKind::HorizontalTab:
            return "horizontal tab";
        case CommandKind::FormFeed:
            return "form feed";
        case CommandKind::PrintAndFeed:
            return "print and feed";
        case CommandKind::PrintAndFeedLines:
            return "print and feed lines";
        case CommandKind::LineSpacing:
            return "line spacing";
        case CommandKind::DefaultLineSpacing:
            return "default line spacing";
        case CommandKind::Initialize:
            return "initialize printer";
        case CommandKind::SelectPeripheral:
            return "select peripheral device";
        case CommandKind::CodeTable:
            return "character code table";
        case CommandKind::FontSelect:
            return "font select";
        case CommandKind::CharacterFont:
            return "character font";
        case CommandKind::PrintMode:
            return "print mode";
        case CommandKind::CharacterSize:
            return "character size";
        case CommandKind::AbsolutePosition:
            return "absolute print position";
        case CommandKind::RelativePosition:
            return "relative print position";
        case CommandKind::Emphasis:
            return "emphasized mode";
        case CommandKind::Underline:
            return "underline mode";
        case CommandKind::Justification:
            return "justification";
        case CommandKind::Reverse:
            return "reverse printing";
        case CommandKind::RightSpacing:
            return "right-side character spacing";
        case CommandKind::TabStops:
            return "tab stops";
        case CommandKind::LeftMargin:
            return "left margin";
        case CommandKind::PrintAreaWidth:
            return "print area width";
        case CommandKind::KanjiOn:
            return "two-byte mode on";
        case CommandKind::KanjiOff:
            return "two-byte mode off";
        case CommandKind::KanjiCodeSystem:
            return "two-byte code system";
        case CommandKind::KanjiPrintMode:
            return "two-byte print mode";
        case CommandKind::RasterImage:
            return "raster image";
        case CommandKind::CompressedRaster:
            return "compressed raster";
        case CommandKind::RasterStripEnd:
            return "raster strip end";
        case CommandKind::BitImage:
            return "bit image";
        case CommandKind::DefineDownloadedImage:
            return "define downloaded image";
        case CommandKind::PrintDownloadedImage:
            return "print downloaded image";
        case CommandKind::Cut:
            return "cut";
        case CommandKind::PageMarker:
            return "page marker";
        case CommandKind::DrawerPulse:
            return "drawer pulse";
        case CommandKind::Beep:
            return "beep";
        case CommandKind::NvImageFsP:
            return "NV image";
        case CommandKind::GraphicsGsL:
            return "graphics";
        case CommandKind::BarcodeModuleWidth:
            return "barcode module width";
        case CommandKind::BarcodeHeight:
            return "barcode height";
        case CommandKind::HriPosition:
            return "HRI position";
        case CommandKind::HriFont:
            return "HRI font";
        case CommandKind::Barcode:
            return "barcode";
        case CommandKind::Symbol2D:
            return "2D symbol";
        case CommandKind::PreviewBlock:
            return "barcode preview block";
        case CommandKind::RealTime:
            return "real-time command";
        case CommandKind::Other:
            return "other command";
        case CommandKind::Unknown:
            return "unknown";
    }
    return "unknown";
}

namespace {

const char* StatusName(CommandStatus status) {
    switch (status) {
        case CommandStatus::Ok:
            return "ok";
        case CommandStatus::Truncated:
            return "truncated";
        case CommandStatus::Unknown:
            return "unknown";
    }
    return "unknown";
}

std::string Hex(std::span<const uint8_t> bytes, size_t limit) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        if (i) out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    if (bytes.size() > limit) out += " ...";
    return out;
}

// Bytes as JSON-safe text: valid UTF-8 stays, other bytes become U+FFFD.
std::string SafeText(const std::string& bytes) {
    std::string out;
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        bool valid = extra >= 0 && i + static_cast<size_t>(extra) < bytes.size();
        for (int k = 1; valid && k <= extra; ++k)
            valid = (static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]) & 0xC0) == 0x80;
        if (!valid) {
            AppendUtf8(0xFFFD, out);
            ++i;
            continue;
        }
        out.append(bytes, i, static_cast<size_t>(extra) + 1);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

}  // namespace

std::string ListingJson(const Emulation& emulation, std::span<const uint8_t> input,
                        const Options& options) {
    using nlohmann::ordered_json;
    ordered_json root;
    root["format"] = "kv580-emulator-listing";
    root["version"] = 1;
    root["input_bytes"] = input.size();
    const Picture& picture = emulation.receipt.picture;
    root["paper"] = {{"dots_per_mm", 8},
                     {"print_width_dots", options.widthDots},
                     {"margin_dots", options.marginDots},
                     {"picture_width", picture.width},
                     {"picture_height", picture.height},
                     {"length_dots", std::max(0, picture.height - 2 * options.marginDots)}};

    size_t unknown = 0, truncated = 0, cuts = 0;
    ordered_json pages = ordered_json::array();
    ordered_json commands = ordered_json::array();
    for (const Command& c : emulation.commands) {
        ordered_json j;
        j["offset"] = c.offset;
        j["length"] = c.length;
        j["command"] = c.mnemonic;
        j["name"] = KindName(c.kind);
        if (c.offset <= input.size())
            j["bytes"] =
                Hex(input.subspan(c.offset, std::min(c.length, input.size() - c.offset)), 24);
        if (!c.args.empty()) {
            ordered_json args = ordered_json::object();
            for (const auto& [name, value] : c.args) args[name] = value;
            j["args"] = args;
        }
        if (c.kind == CommandKind::Text) {
            j["text"] = SafeText(c.note);
        } else if (!c.note.empty()) {
            j["note"] = SafeText(c.note);
        }
        if (c.kind == CommandKind::Barcode || c.kind == CommandKind::Symbol2D) {
            if (!c.data.empty()) {
                j["data"] = SafeText(std::string(c.data.begin(), c.data.end()));
                j["data_hex"] = Hex(c.data, 4096);
            }
        } else if (!c.data.empty()) {
            j["data_bytes"] = c.data.size();
        }
        j["status"] = StatusName(c.status);
        if (c.status == CommandStatus::Unknown) ++unknown;
        if (c.status == CommandStatus::Truncated) ++truncated;
        if (c.kind == CommandKind::Cut && c.status == CommandStatus::Ok) ++cuts;
        if (c.kind == CommandKind::PageMarker && c.status == CommandStatus::Ok) {
            pages.push_back({{"page", c.arg("page")}, {"offset", c.offset}});
        }
        commands.push_back(std::move(j));
    }

    ordered_json objects = ordered_json::array();
    for (const DrawnObject& o : emulation.receipt.objects) {
        ordered_json j;
        j["offset"] = o.offset;
        j["kind"] = o.kind;
        j["status"] = o.status;
        j["x"] = o.x;
        j["y"] = o.y;
        j["width"] = o.width;
        j["height"] = o.height;
        if (!o.symbology.empty()) j[o.kind == "cut" ? "cut" : "symbology"] = o.symbology;
        if (!o.data.empty()) j["data"] = SafeText(o.data);
        if (!o.note.empty()) j["note"] = SafeText(o.note);
        objects.push_back(std::move(j));
    }

    root["summary"] = {{"commands", emulation.commands.size()},
                       {"unknown", unknown},
                       {"truncated", truncated},
                       {"cuts", cuts},
                       {"page_markers", pages.size()}};
    root["warnings"] = emulation.receipt.warnings;
    root["page_markers"] = pages;
    root["commands"] = commands;
    root["objects"] = objects;
    // Any byte that is no UTF-8 left in a string becomes U+FFFD rather than an exception.
    return root.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace emulator
