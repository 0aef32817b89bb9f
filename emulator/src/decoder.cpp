// Decoder: printer command stream -> list of commands.
//
// Reads the commands the rendering plug-in and its user strings send (the printer's ESC/POS
// style command set with its 08-prefixed extensions). Every byte of the input ends up in exactly
// one command; unknown bytes become Unknown commands, commands cut short by the end of the input
// are marked Truncated. The decoder keeps the little state it needs to read text: code table,
// two-byte mode and two-byte code system.
#include <algorithm>
#include <cstring>

#include "code_pages.h"
#include "emulator/emulator.h"
#include "rle.h"

namespace emulator {

int64_t Command::arg(const std::string& name, int64_t fallback) const {
    for (const auto& [key, value] : args) {
        if (key == name) return value;
    }
    return fallback;
}

namespace {

constexpr uint8_t NUL = 0x00, BS = 0x08, HT = 0x09, LF = 0x0A, FF = 0x0C, CR = 0x0D;
constexpr uint8_t DLE = 0x10, ESC = 0x1B, FS = 0x1C, GS = 0x1D;

class Decoder {
public:
    Decoder(std::span<const uint8_t> bytes, const Options& options)
        : m_bytes(bytes), m_options(options) {}

    std::vector<Command> Run() {
        while (m_pos < m_bytes.size()) {
            size_t before = m_pos;
            DecodeOne();
            if (m_pos <= before) m_pos = before + 1;  // never stall
        }
        return std::move(m_out);
    }

private:
    size_t Left() const { return m_bytes.size() - m_pos; }
    uint8_t At(size_t i) const { return m_pos + i < m_bytes.size() ? m_bytes[m_pos + i] : 0; }
    bool Has(size_t n) const { return Left() >= n; }

    // Adds a command of `length` bytes at the current position (shortened and marked truncated
    // when the input ends before) and moves past it.
    Command& Emit(CommandKind kind, std::string mnemonic, size_t length) {
        Command c;
        c.kind = kind;
        c.mnemonic = std::move(mnemonic);
        c.offset = m_pos;
        if (length > Left()) {
            c.status = CommandStatus::Truncated;
            length = Left();
        }
        c.length = length;
        m_pos += length;
        m_lastEndsFeedSequence = false;
        m_out.push_back(std::move(c));
        return m_out.back();
    }

    // A command with `argCount` one-byte arguments after a `prefixLength`-byte prefix.
    Command& Simple(CommandKind kind, std::string mnemonic, size_t prefixLength,
                    std::initializer_list<const char*> argNames) {
        std::vector<std::pair<std::string, int64_t>> args;
        size_t i = prefixLength;
        for (const char* name : argNames) {
            if (Has(i + 1)) args.emplace_back(name, At(i));
            ++i;
        }
        Command& c = Emit(kind, std::move(mnemonic), i);
        c.args = std::move(args);
        return c;
    }

    // A command whose two argument bytes form a little-endian 16-bit value.
    Command& Word(CommandKind kind, std::string mnemonic, size_t prefixLength, const char* name) {
        bool complete = Has(prefixLength + 2);
        int64_t value = At(prefixLength) | At(prefixLength + 1) << 8;
        Command& c = Emit(kind, std::move(mnemonic), prefixLength + 2);
        if (complete) c.args.emplace_back(name, value);
        return c;
    }

    Command& UnknownBytes(size_t length, const std::string& mnemonic) {
        Command& c = Emit(CommandKind::Unknown, mnemonic, length);
        c.status = CommandStatus::Unknown;
        return c;
    }

    void DecodeOne() {
        uint8_t b = At(0);
        if (b >= 0x20) return DecodeText();
        switch (b) {
            case NUL:
                return DecodeNul();
            case BS:
                return DecodeBs();
            case HT:
                Emit(CommandKind::HorizontalTab, "HT", 1);
                return;
            case LF:
                Emit(CommandKind::LineFeed, "LF", 1);
                return;
            case CR:
                Emit(CommandKind::CarriageReturn, "CR", 1);
                return;
            case FF:
                Emit(CommandKind::FormFeed, "FF", 1);
                m_lastEndsFeedSequence = true;
                return;
            case DLE:
                return DecodeDle();
            case ESC:
                return DecodeEsc();
            case FS:
                return DecodeFs();
            case GS:
                return DecodeGs();
            default: {
                char name[8];
                std::snprintf(name, sizeof name, "%02X", b);
                UnknownBytes(1, name).note = "control byte";
                return;
            }
        }
    }

    void DecodeNul() {
        // 00 08 lo hi right behind the feed sequence that ends a page: the page marker.
        if (m_lastEndsFeedSequence && At(1) == BS) {
            bool complete = Has(4);
            int64_t page = At(2) | At(3) << 8;
            Command& c = Emit(CommandKind::PageMarker, "00 08", 4);
            if (complete) {
                c.args.emplace_back("page", page);
                c.note = "page " + std::to_string(page);
            }
            return;
        }
        size_t n = 0;
        while (n < Left() && At(n) == NUL) ++n;
        Command& c = Emit(CommandKind::Nul, "NUL", n);
        c.args.emplace_back("count", static_cast<int64_t>(n));
    }

    void DecodeBs() {
        if (At(1) == 0x4D) {
            Command& c = Simple(CommandKind::FontSelect, "08 4D", 2, {"n", "font"});
            if (c.status == CommandStatus::Ok) c.note = FontName(static_cast<int>(c.arg("font")));
            return;
        }
        if (At(1) == 0x43 && At(2) == 0x52 && Has(3)) {
            if (At(3) == 0xFF) {
                Command& c = Emit(CommandKind::RasterStripEnd, "08 43 52 FF", 6);
                if (c.status == CommandStatus::Ok &&
                    (m_bytes[c.offset + 4] || m_bytes[c.offset + 5]))
                    c.note = "non-zero bytes after the strip terminator";
                return;
            }
            return DecodeCompressedRaster();
        }
        UnknownBytes(1, "08").note = "08 without a known command after it";
    }

    static std::string FontName(int font) {
        switch (font) {
            case 'A':
            case 0:
            case '0':
                return "font A";
            case 'B':
            case 1:
            case '1':
                return "font B";
            case 'C':
            case 2:
            case '2':
                return "font C";
            default:
                return "unknown font (font A used)";
        }
    }

    void DecodeCompressedRaster() {
        constexpr size_t kHeader = 12;  // 08 43 52 p 00 00 00 00 wL wH hL hH
        if (!Has(kHeader)) {
            Command& c = Emit(CommandKind::CompressedRaster, "08 43 52", kHeader);
            if (Has(0) && c.length >= 4) c.args.emplace_back("plane", m_bytes[c.offset + 3]);
            return;
        }
        int plane = At(3);
        bool reservedZero = At(4) == 0 && At(5) == 0 && At(6) == 0 && At(7) == 0;
        int widthDots = At(8) | At(9) << 8;
        int height = At(10) | At(11) << 8;
        size_t dataStart = m_pos + kHeader;
        size_t rowBytes = (static_cast<size_t>(widthDots) + 7) / 8;
        size_t needed = rowBytes * static_cast<size_t>(height);
        std::vector<uint8_t> plane_bytes;
        size_t consumed = DecodeRle(m_bytes.subspan(dataStart), needed, plane_bytes);
        bool complete = plane_bytes.size() == needed;
        Command& c = Emit(CommandKind::CompressedRaster, "08 43 52", kHeader + consumed);
        c.args = {{"plane", plane},
                  {"width_dots", widthDots},
                  {"height", height},
                  {"encoded_length", static_cast<int64_t>(consumed)}};
        c.data = std::move(plane_bytes);
        if (!complete) c.status = CommandStatus::Truncated;
        if (plane == 0) {
            c.note = "monochrome plane";
        } else if (plane >= 4 && plane <= 7) {
            c.note = "tone plane " + std::to_string(plane - 4);
        } else {
            c.note = "unknown plane selector";
        }
        if (!reservedZero) c.note += "; non-zero reserved bytes";
        if (widthDots % 8) c.note += "; width not a multiple of 8";
    }

    void DecodeDle() {
        switch (At(1)) {
            case 0x04:
                Simple(CommandKind::RealTime, "DLE EOT", 2, {"n"}).note = "status request";
                return;
            case 0x05:
                Simple(CommandKind::RealTime, "DLE ENQ", 2, {"n"}).note = "real-time request";
                return;
            case 0x14:
                Simple(CommandKind::RealTime, "DLE DC4", 2, {"fn", "m", "t"}).note =
                    "real-time pulse / request";
                return;
            default:
                UnknownBytes(Has(2) ? 2 : 1, "DLE");
                return;
        }
    }

    void DecodeEsc() {
        if (!Has(2)) {
            Emit(CommandKind::Unknown, "ESC", 2);
            return;
        }
        uint8_t c = At(1);
        switch (c) {
            case '@':
                return DecodeEscAt();
            case 'J':
                Simple(CommandKind::PrintAndFeed, "ESC J", 2, {"n"});
                return;
            case 'd':
                Simple(CommandKind::PrintAndFeedLines, "ESC d", 2, {"n"});
                return;
            case '3':
                Simple(CommandKind::LineSpacing, "ESC 3", 2, {"n"});
                return;
            case '2':
                Emit(CommandKind::DefaultLineSpacing, "ESC 2", 2);
                m_lastEndsFeedSequence = true;
                return;
            case '=':
                Simple(CommandKind::SelectPeripheral, "ESC =", 2, {"n"});
                return;
            case 't': {
                Command& cmd = Simple(CommandKind::CodeTable, "ESC t", 2, {"n"});
                if (cmd.status == CommandStatus::Ok) m_codeTable = static_cast<int>(cmd.arg("n"));
                return;
            }
            case 'M':
                Simple(CommandKind::CharacterFont, "ESC M", 2, {"n"});
                return;
            case '!':
                Simple(CommandKind::PrintMode, "ESC !", 2, {"n"});
                return;
            case '$':
                Word(CommandKind::AbsolutePosition, "ESC $", 2, "position");
                return;
            case '\\':
                Word(CommandKind::RelativePosition, "ESC \\", 2, "offset");
                return;
            case 'E':
                Simple(CommandKind::Emphasis, "ESC E", 2, {"n"});
                return;
            case 'G':
                Simple(CommandKind::Other, "ESC G", 2, {"n"}).note = "double-strike";
                return;
            case '-':
                Simple(CommandKind::Underline, "ESC -", 2, {"n"});
                return;
            case 'a':
                Simple(CommandKind::Justification, "ESC a", 2, {"n"});
                return;
            case ' ':
                Simple(CommandKind::RightSpacing, "ESC SP", 2, {"n"});
                return;
            case 'p': {
                Command& cmd = Simple(CommandKind::DrawerPulse, "ESC p", 2, {"m", "t1", "t2"});
                if (cmd.status == CommandStatus::Ok) {
                    int m = static_cast<int>(cmd.arg("m"));
                    cmd.note = "drawer " + std::to_string((m & 1) + 1) + " pulse, on " +
                               std::to_string(cmd.arg("t1") * 2) + " ms, off " +
                               std::to_string(cmd.arg("t2") * 2) + " ms";
                }
                return;
            }
            case 'B': {
                Command& cmd = Simple(CommandKind::Beep, "ESC B", 2, {"n", "t"});
                if (cmd.status == CommandStatus::Ok)
                    cmd.note = "beep " + std::to_string(cmd.arg("n")) + " times, duration " +
                               std::to_string(cmd.arg("t"));
                return;
            }
            case 'D': {
                size_t n = 2;
                while (n < Left() && At(n) != 0 && n < 2 + 33) ++n;
                bool terminated = n < Left() && At(n) == 0;
                std::vector<uint8_t> stops(m_bytes.begin() + static_cast<long>(m_pos) + 2,
                                           m_bytes.begin() + static_cast<long>(m_pos + n));
                Command& cmd = Emit(CommandKind::TabStops, "ESC D", terminated ? n + 1 : n);
                cmd.data = std::move(stops);
                if (!terminated && cmd.status == CommandStatus::Ok) cmd.note = "no terminating NUL";
                return;
            }
            case '*': {
                int m = At(2);
                size_t columns = At(3) | At(4) << 8;
                size_t k = (m == 32 || m == 33) ? columns * 3 : columns;
                bool header = Has(5);
                Command& cmd = Emit(CommandKind::BitImage, "ESC *", 5 + (header ? k : 0));
                if (header) {
                    cmd.args = {{"m", m}, {"columns", static_cast<int64_t>(columns)}};
                    cmd.data.assign(m_bytes.begin() + static_cast<long>(cmd.offset) + 5,
                                    m_bytes.begin() + static_cast<long>(cmd.offset + cmd.length));
                }
                return;
            }
            case 'i':
                Emit(CommandKind::Cut, "ESC i", 2).note = "full cut";
                return;
            case 'm':
                Emit(CommandKind::Cut, "ESC m", 2).note = "partial cut";
                return;
            case 'c': {
                if (At(2) >= '3' && At(2) <= '5') {
                    Simple(CommandKind::Other, "ESC c", 3, {"n"}).note = "panel / sensor setting";
                } else {
                    UnknownBytes(2, "ESC c");
                }
                return;
            }
            case 'R':
                Simple(CommandKind::Other, "ESC R", 2, {"n"}).note = "international character set";
                return;
            case 'V':
                Simple(CommandKind::Other, "ESC V", 2, {"n"}).note = "90 degree rotation";
                return;
            case '{':
                Simple(CommandKind::Other, "ESC {", 2, {"n"}).note = "upside-down mode";
                return;
            case 'U':
                Simple(CommandKind::Other, "ESC U", 2, {"n"}).note = "unidirectional printing";
                return;
            case '%':
                Simple(CommandKind::Other, "ESC %", 2, {"n"}).note = "user-defined characters";
                return;
            case '?':
                Simple(CommandKind::Other, "ESC ?", 2, {"n"}).note =
                    "cancel user-defined character";
                return;
            case 'r':
                Simple(CommandKind::Other, "ESC r", 2, {"n"}).note = "print colour";
                return;
            case 'e':
                Simple(CommandKind::Other, "ESC e", 2, {"n"}).note = "reverse feed (ignored)";
                return;
            case 'L':
                Emit(CommandKind::Other, "ESC L", 2).note = "page mode (not emulated)";
                return;
            case 'S':
                Emit(CommandKind::Other, "ESC S", 2).note = "standard mode";
                return;
            case 'T':
                Simple(CommandKind::Other, "ESC T", 2, {"n"}).note = "page mode direction";
                return;
            case 'W':
                Emit(CommandKind::Other, "ESC W", 10).note = "page mode area";
                return;
            default: {
                char name[16];
                std::snprintf(name, sizeof name, "ESC %02X", c);
                UnknownBytes(2, name);
                return;
            }
        }
    }

    void DecodeEscAt() {
        // 00 00 00 1B 40 len "ORVANEX" data: a barcode preview block (its length counts from
        // the first 00); a plain 1B 40 is the printer reset.
        static constexpr char kMaker[] = "ORVANEX";
        bool preview = Has(11) && std::memcmp(&m_bytes[m_pos + 4], kMaker, 7) == 0;
        if (!preview) {
            Emit(CommandKind::Initialize, "ESC @", 2);
            m_codeTable = 0;
            m_kanji = false;
            m_kanjiSystem = -1;
            return;
        }
        size_t blockLength = At(2) | At(3) << 8;
        size_t length = blockLength >= 14 ? blockLength - 3 : 11;
        Command& c = Emit(CommandKind::PreviewBlock, "ESC @ ORVANEX", length);
        c.args = {{"block_length", static_cast<int64_t>(blockLength)},
                  {"file_size", static_cast<int64_t>(blockLength >= 14 ? blockLength - 14 : 0)}};
        c.note = "barcode preview block";
        if (blockLength < 14) c.note += " (length field below 14)";
    }

    void DecodeFs() {
        switch (At(1)) {
            case '&':
                Emit(CommandKind::KanjiOn, "FS &", 2);
                m_kanji = true;
                return;
            case '.':
                Emit(CommandKind::KanjiOff, "FS .", 2);
                m_kanji = false;
                return;
            case 'C': {
                Command& c = Simple(CommandKind::KanjiCodeSystem, "FS C", 2, {"n"});
                if (c.status == CommandStatus::Ok) {
                    int n = static_cast<int>(c.arg("n"));
                    m_kanjiSystem = (n == 0 || n == '0') ? kJisCodeSystem : 932;
                    c.note = m_kanjiSystem == 932 ? "Shift JIS" : "JIS";
                }
                return;
            }
            case 'p': {
                Command& c = Simple(CommandKind::NvImageFsP, "FS p", 2, {"n", "m"});
                if (c.status == CommandStatus::Ok)
                    c.note = "print NV image " + std::to_string(c.arg("n"));
                return;
            }
            case '!':
                Simple(CommandKind::KanjiPrintMode, "FS !", 2, {"n"});
                return;
            case '-':
                Simple(CommandKind::Other, "FS -", 2, {"n"}).note = "two-byte underline";
                return;
            case 'S':
                Simple(CommandKind::Other, "FS S", 2, {"n1", "n2"}).note = "two-byte spacing";
                return;
            case 'W':
                Simple(CommandKind::Other, "FS W", 2, {"n"}).note = "two-byte quadruple size";
                return;
            case '(':
                return SkipParameterBlock("FS (", At(2));
            default:
                UnknownBytes(Has(2) ? 2 : 1, Has(2) ? Hex2("FS", At(1)) : "FS");
                return;
        }
    }

    static std::string Hex2(const char* prefix, uint8_t b) {
        char name[16];
        std::snprintf(name, sizeof name, "%s %02X", prefix, b);
        return name;
    }

    // xx ( X pL pH ...: a command family with a 16-bit parameter count.
    void SkipParameterBlock(const std::string& prefix, uint8_t letter) {
        size_t count = At(3) | At(4) << 8;
        std::string name = letter >= 0x21 && letter <= 0x7E
                               ? prefix + " " + static_cast<char>(letter)
                               : Hex2(prefix.c_str(), letter);
        Command& c = Emit(CommandKind::Other, name, 5 + count);
        c.args.emplace_back("parameter_bytes", static_cast<int64_t>(count));
    }

    void DecodeGs() {
        if (!Has(2)) {
            Emit(CommandKind::Unknown, "GS", 2);
            return;
        }
        switch (At(1)) {
            case '!': {
                Command& c = Simple(CommandKind::CharacterSize, "GS !", 2, {"n"});
                if (c.status == CommandStatus::Ok) {
                    int n = static_cast<int>(c.arg("n"));
                    c.args.emplace_back("width", ((n >> 4) & 7) + 1);
                    c.args.emplace_back("height", (n & 7) + 1);
                }
                return;
            }
            case 'B':
                Simple(CommandKind::Reverse, "GS B", 2, {"n"});
                return;
            case 'H':
                Simple(CommandKind::HriPosition, "GS H", 2, {"n"});
                return;
            case 'f':
                Simple(CommandKind::HriFont, "GS f", 2, {"n"});
                return;
            case 'h':
                Simple(CommandKind::BarcodeHeight, "GS h", 2, {"n"});
                return;
            case 'w':
                Simple(CommandKind::BarcodeModuleWidth, "GS w", 2, {"n"});
                return;
            case 'k':
                return DecodeBarcode();
            case 'v':
                return DecodeRasterImage();
            case '(': {
                if (At(2) == 'k') return DecodeSymbol();
                if (At(2) == 'L') return DecodeGraphics(false);
                return SkipParameterBlock("GS (", At(2));
            }
            case '8':
                if (At(2) == 'L') return DecodeGraphics(true);
                UnknownBytes(2, "GS 8");
                return;
            case 'V':
                return DecodeCut();
            case '*': {
                size_t x = At(2), y = At(3);
                bool header = Has(4);
                Command& c =
                    Emit(CommandKind::DefineDownloadedImage, "GS *", 4 + (header ? x * y * 8 : 0));
                if (header) {
                    c.args = {{"x", static_cast<int64_t>(x)}, {"y", static_cast<int64_t>(y)}};
                    c.data.assign(m_bytes.begin() + static_cast<long>(c.offset) + 4,
                                  m_bytes.begin() + static_cast<long>(c.offset + c.length));
                }
                return;
            }
            case '/':
                Simple(CommandKind::PrintDownloadedImage, "GS /", 2, {"m"});
                return;
            case 'L':
                Word(CommandKind::LeftMargin, "GS L", 2, "margin");
                return;
            case 'W':
                Word(CommandKind::PrintAreaWidth, "GS W", 2, "width");
                return;
            case 'P':
                Simple(CommandKind::Other, "GS P", 2, {"x", "y"}).note = "motion units";
                return;
            case 'a':
                Simple(CommandKind::Other, "GS a", 2, {"n"}).note = "automatic status back";
                return;
            case 'r':
                Simple(CommandKind::Other, "GS r", 2, {"n"}).note = "status request";
                return;
            case 'I':
                Simple(CommandKind::Other, "GS I", 2, {"n"}).note = "printer ID request";
                return;
            case 'b':
                Simple(CommandKind::Other, "GS b", 2, {"n"}).note = "smoothing";
                return;
            case '$':
                Word(CommandKind::Other, "GS $", 2, "position").note =
                    "page mode vertical position";
                return;
            case '\\':
                Word(CommandKind::Other, "GS \\", 2, "offset").note = "page mode vertical offset";
                return;
            case 'T':
                Simple(CommandKind::Other, "GS T", 2, {"n"}).note = "print position to line start";
                return;
            default:
                UnknownBytes(2, Hex2("GS", At(1)));
                return;
        }
    }

    void DecodeCut() {
        int m = At(2);
        bool withFeed = m == 65 || m == 66 || m == 97 || m == 98 || m == 103 || m == 104;
        Command& c = withFeed ? Simple(CommandKind::Cut, "GS V", 2, {"m", "n"})
                              : Simple(CommandKind::Cut, "GS V", 2, {"m"});
        if (c.status != CommandStatus::Ok) return;
        switch (m) {
            case 0:
            case 48:
                c.note = "full cut";
                break;
            case 1:
            case 49:
                c.note = "partial cut";
                break;
            case 65:
                c.note = "feed to the cutter and full cut";
                break;
            case 66:
                c.note = "feed to the cutter and partial cut";
                break;
            case 97:
                c.note = "reserve full cut";
                break;
            case 98:
                c.note = "reserve partial cut";
                break;
            case 103:
                c.note = "feed and full cut";
                break;
            case 104:
                c.note = "feed and partial cut";
                break;
            default:
                c.kind = CommandKind::Unknown;
                c.status = CommandStatus::Unknown;
                c.note = "unknown cut function";
                break;
        }
    }

    static const char* BarcodeSystemName(int m) {
        switch (m) {
            case 0:
            case 65:
                return "UPC-A";
            case 1:
            case 66:
                return "UPC-E";
            case 2:
            case 67:
                return "JAN13 (EAN)";
            case 3:
            case 68:
                return "JAN8 (EAN)";
            case 4:
            case 69:
                return "Code39";
            case 5:
            case 70:
                return "ITF";
            case 6:
            case 71:
                return "Codabar";
            case 72:
                return "Code93";
            case 73:
                return "Code128";
            default:
                return nullptr;
        }
    }

    void DecodeBarcode() {
        int m = At(2);
        if (!Has(3)) {
            Emit(CommandKind::Barcode, "GS k", 3);
            return;
        }
        size_t dataStart = 3, dataLength = 0, total = 0;
        if (m <= 6) {  // format A: data up to a NUL
            size_t n = 3;
            while (n < Left() && At(n) != 0 && n < 3 + 255) ++n;
            dataLength = n - 3;
            total = n + 1;  // the NUL
        } else {            // format B: count byte
            dataStart = 4;
            dataLength = At(3);
            total = 4 + dataLength;
            if (!Has(4)) total = 4;
        }
        size_t available = std::min(dataLength, Left() > dataStart ? Left() - dataStart : 0);
        std::vector<uint8_t> data(
            m_bytes.begin() + static_cast<long>(m_pos + dataStart),
            m_bytes.begin() + static_cast<long>(m_pos + dataStart + available));
        Command& c = Emit(CommandKind::Barcode, "GS k", total);
        c.args = {{"m", m}, {"n", static_cast<int64_t>(dataLength)}};
        c.data = std::move(data);
        const char* name = BarcodeSystemName(m);
        if (name) {
            c.note = name;
        } else {
            c.status = CommandStatus::Unknown;
            c.note = "unknown barcode system";
        }
    }

    void DecodeRasterImage() {
        if (At(2) != '0') {
            UnknownBytes(3, "GS v");
            return;
        }
        bool header = Has(8);
        size_t widthBytes = At(4) | At(5) << 8;
        size_t height = At(6) | At(7) << 8;
        size_t k = widthBytes * height;
        Command& c = Emit(CommandKind::RasterImage, "GS v 0", 8 + (header ? k : 0));
        if (!header) return;
        c.args = {{"mode", m_bytes[c.offset + 3]},
                  {"width_bytes", static_cast<int64_t>(widthBytes)},
                  {"height", static_cast<int64_t>(height)}};
        c.data.assign(m_bytes.begin() + static_cast<long>(c.offset) + 8,
                      m_bytes.begin() + static_cast<long>(c.offset + c.length));
    }

    // GS ( k pL pH cn fn ...: the two-dimensional symbol commands.
    void DecodeSymbol() {
        size_t count = At(3) | At(4) << 8;
        bool header = Has(7) && count >= 2;
        Command& c = Emit(CommandKind::Symbol2D, "GS ( k", 5 + count);
        if (!header) {
            if (c.status == CommandStatus::Ok) c.note = "parameter count below 2";
            return;
        }
        int cn = m_bytes[c.offset + 5];
        int fn = m_bytes[c.offset + 6];
        c.args = {{"cn", cn}, {"fn", fn}};
        size_t paramStart = c.offset + 7;
        size_t paramEnd = c.offset + c.length;
        auto param = [&](size_t i) -> int64_t {
            return paramStart + i < paramEnd ? m_bytes[paramStart + i] : -1;
        };
        const char* symbol = nullptr;
        switch (cn) {
            case 0x30:
                symbol = "PDF417";
                break;
            case 0x31:
                symbol = "QR Code";
                break;
            case 0x32:
                symbol = "MaxiCode";
                break;
            case 0x33:
                symbol = "GS1 DataBar";
                break;
            case 0x34:
                symbol = "composite symbol";
                break;
            case 0x3D:
                symbol = "DataMatrix";
                break;
            default:
                break;
        }
        std::string what;
        if (fn == 0x50) {  // store: m, [type bytes], data
            size_t skip = 1;
            if (cn == 0x33) skip = 2;
            if (cn == 0x34) skip = 3;
            c.args.emplace_back("m", param(0));
            if (cn == 0x33) c.args.emplace_back("type", param(1));
            if (cn == 0x34) {
                c.args.emplace_back("a", param(1));
                c.args.emplace_back("b", param(2));
            }
            if (paramStart + skip < paramEnd)
                c.data.assign(m_bytes.begin() + static_cast<long>(paramStart + skip),
                              m_bytes.begin() + static_cast<long>(paramEnd));
            what = "store data";
        } else if (fn == 0x51) {
            c.args.emplace_back("m", param(0));
            what = "print symbol";
        } else if (fn == 0x52) {
            c.args.emplace_back("m", param(0));
            what = "transmit size";
        } else {
            for (size_t i = 0; paramStart + i < paramEnd && i < 4; ++i) {
                c.args.emplace_back("p" + std::to_string(i + 1), param(i));
            }
            what = SymbolOptionName(cn, fn);
        }
        if (!symbol) {
            c.status = CommandStatus::Unknown;
            c.note = "unknown symbol";
        } else {
            c.note = std::string(symbol) + ": " + what;
        }
    }

    static std::string SymbolOptionName(int cn, int fn) {
        if (cn == 0x30) {
            switch (fn) {
                case 0x41:
                    return "number of columns";
                case 0x42:
                    return "number of rows";
                case 0x43:
                    return "module width";
                case 0x44:
                    return "row height";
                case 0x45:
                    return "error correction level";
                case 0x46:
                    return "options";
                default:
                    break;
            }
        }
        if (cn == 0x31) {
            switch (fn) {
                case 0x41:
                    return "model";
                case 0x43:
                    return "module size";
                case 0x45:
                    return "error correction level";
                default:
                    break;
            }
        }
        if (cn == 0x32 && fn == 0x41) return "mode";
        if (cn == 0x3D && fn == 0x43) return "module size";
        if ((cn == 0x33 || cn == 0x34) && fn == 0x43) return "module width";
        return "function " + std::to_string(fn);
    }

    // GS ( L pL pH m fn ... and GS 8 L p1 p2 p3 p4 m fn ...: graphics.
    void DecodeGraphics(bool longForm) {
        size_t lengthBytes = longForm ? 4 : 2;
        size_t count = 0;
        for (size_t i = 0; i < lengthBytes; ++i) count |= static_cast<size_t>(At(3 + i)) << (8 * i);
        size_t head = 3 + lengthBytes;
        Command& c = Emit(CommandKind::GraphicsGsL, longForm ? "GS 8 L" : "GS ( L", head + count);
        size_t paramStart = c.offset + head;
        size_t paramEnd = c.offset + c.length;
        auto param = [&](size_t i) -> int64_t {
            return paramStart + i < paramEnd ? m_bytes[paramStart + i] : -1;
        };
        if (count < 2 || paramEnd - paramStart < 2) {
            if (c.status == CommandStatus::Ok) c.note = "parameter count below 2";
            return;
        }
        int fn = static_cast<int>(param(1));
        c.args = {{"m", param(0)}, {"fn", fn}};
        if (fn == 0x45) {
            c.args.emplace_back("kc1", param(2));
            c.args.emplace_back("kc2", param(3));
            c.args.emplace_back("x", param(4));
            c.args.emplace_back("y", param(5));
            char key[8];
            std::snprintf(key, sizeof key, "%c%c", static_cast<char>(param(2) & 0x7F),
                          static_cast<char>(param(3) & 0x7F));
            c.note = std::string("print NV graphics, key \"") + key + "\"";
        } else if (fn == 0x25) {
            c.args.emplace_back("kc1", param(2));
            c.args.emplace_back("kc2", param(3));
            c.args.emplace_back("x", param(4));
            c.args.emplace_back("y", param(5));
            c.note = "function 0x25 (not a print function of the command set; nothing printed)";
        } else {
            c.note = "graphics function " + std::to_string(fn);
        }
    }

    void DecodeText() {
        size_t start = m_pos;
        std::vector<Glyph> glyphs;
        int codePage = m_kanjiSystem > 0 ? m_kanjiSystem : m_options.cjkCodePage;
        size_t i = m_pos;
        while (i < m_bytes.size() && m_bytes[i] >= 0x20) {
            uint8_t b = m_bytes[i];
            Glyph g;
            if (m_kanji && IsLeadByte(codePage, b) && i + 1 < m_bytes.size() &&
                IsTrailByte(codePage, m_bytes[i + 1])) {
                g.code = static_cast<uint16_t>(b << 8 | m_bytes[i + 1]);
                g.doubleByte = true;
                g.codePoint = DoubleByteToUnicode(codePage, g.code);
                i += 2;
            } else {
                g.code = b;
                g.codePoint = SingleByteToUnicode(m_codeTable, b);
                ++i;
            }
            glyphs.push_back(g);
        }
        m_pos = start;
        Command& c = Emit(CommandKind::Text, "text", i - start);
        c.glyphs = std::move(glyphs);
        for (const auto& g : c.glyphs) AppendUtf8(g.codePoint, c.note);
    }

    std::span<const uint8_t> m_bytes;
    const Options& m_options;
    size_t m_pos = 0;
    std::vector<Command> m_out;
    bool m_lastEndsFeedSequence = false;
    int m_codeTable = 0;
    bool m_kanji = false;
    int m_kanjiSystem = -1;  // -1: not chosen by FS C, the option's code page applies
};

}  // namespace

std::vector<Command> Decode(std::span<const uint8_t> bytes, const Options& options) {
    return Decoder(bytes, options).Run();
}

}  // namespace emulator
