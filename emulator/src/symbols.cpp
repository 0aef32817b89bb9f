// zint does the symbology work; this file only chooses symbologies and options and copies the
// module matrix out of zint's symbol structure.
#include "symbols.h"

#include <zint.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace emulator {
namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
using SymbolPtr = std::unique_ptr<zint_symbol, SymbolDeleter>;

SymbolPtr NewSymbol(int symbology) {
    SymbolPtr s(ZBarcode_Create());
    if (s) {
        s->symbology = symbology;
        s->show_hrt = 1;
        s->input_mode = DATA_MODE;
    }
    return s;
}

// Runs the encoder and copies the matrix (zint keeps bit c of a row at byte c / 8, bit c % 8).
EncodedSymbol Finish(zint_symbol* s, const std::string& data) {
    EncodedSymbol out;
    out.encodedData = data;
    if (!s) {
        out.error = "zint could not be started";
        return out;
    }
    if (data.empty()) {
        out.error = "no data";
        return out;
    }
    int rc = ZBarcode_Encode(s, reinterpret_cast<const unsigned char*>(data.data()),
                             static_cast<int>(data.size()));
    if (rc >= ZINT_ERROR || s->rows <= 0 || s->width <= 0) {
        out.error = s->errtxt[0] ? s->errtxt : "cannot encode";
        return out;
    }
    out.ok = true;
    out.rows = std::min(s->rows, 200);
    out.columns = std::min(s->width, 1152);
    out.modules.assign(static_cast<size_t>(out.rows * out.columns), 0);
    for (int r = 0; r < out.rows; ++r) {
        for (int c = 0; c < out.columns; ++c) {
            out.modules[static_cast<size_t>(r * out.columns + c)] =
                (s->encoded_data[r][c >> 3] >> (c & 7)) & 1;
        }
        out.rowHeights.push_back(s->row_height[r]);
    }
    out.humanReadable = reinterpret_cast<const char*>(s->text);
    return out;
}

std::string AsString(const std::vector<uint8_t>& data) {
    return std::string(data.begin(), data.end());
}

}  // namespace

std::string Code128Text(const std::vector<uint8_t>& data, std::string& warning) {
    std::string text;
    char set = 0;
    size_t i = 0;
    if (data.size() < 2 || data[0] != '{' || (data[1] != 'A' && data[1] != 'B' && data[1] != 'C')) {
        warning =
            "data does not start with a code set selection ({A, {B or {C); read as code set B";
        set = 'B';
    }
    while (i < data.size()) {
        uint8_t b = data[i];
        if (b == '{' && i + 1 < data.size()) {
            uint8_t n = data[i + 1];
            i += 2;
            switch (n) {
                case 'A':
                case 'B':
                case 'C':
                    set = static_cast<char>(n);
                    continue;
                case '{':
                    text += '{';
                    continue;
                case 'S':
                case '1':
                case '2':
                case '3':
                case '4':
                    if (warning.empty()) warning = "function characters left out";
                    continue;
                default:
                    if (warning.empty()) warning = "unknown {-sequence left out";
                    continue;
            }
        }
        ++i;
        if (set == 'C') {
            if (b > 99) {
                if (warning.empty()) warning = "code set C value above 99 left out";
                continue;
            }
            text += static_cast<char>('0' + b / 10);
            text += static_cast<char>('0' + b % 10);
        } else {
            text += static_cast<char>(b);
        }
    }
    return text;
}

EncodedSymbol EncodeBarcode(int system, const std::vector<uint8_t>& data) {
    int m = system <= 6 ? system + 65 : system;
    std::string text = AsString(data);
    std::string warning;
    int symbology = 0;
    switch (m) {
        case 65:
            symbology = BARCODE_UPCA;
            break;
        case 66:
            symbology = BARCODE_UPCE;
            break;
        case 67:
        case 68:
            symbology = BARCODE_EANX;
            break;
        case 69:
            symbology = BARCODE_CODE39;
            // The printer takes the start / stop character "*" as optional.
            if (text.size() >= 2 && text.front() == '*' && text.back() == '*')
                text = text.substr(1, text.size() - 2);
            break;
        case 70:
            symbology = BARCODE_C25INTER;
            break;
        case 71:
            symbology = BARCODE_CODABAR;
            break;
        case 72:
            symbology = BARCODE_CODE93;
            break;
        case 73:
            symbology = BARCODE_CODE128;
            text = Code128Text(data, warning);
            break;
        default: {
            EncodedSymbol out;
            out.error = "unknown barcode system";
            return out;
        }
    }
    SymbolPtr s = NewSymbol(symbology);
    EncodedSymbol out = Finish(s.get(), text);
    if (out.ok && !warning.empty()) out.error = warning;  // drawn, with a remark
    if (m == 69 && out.ok) out.humanReadable = "*" + text + "*";
    return out;
}

EncodedSymbol EncodeQrCode(const std::vector<uint8_t>& data, int errorLevel) {
    SymbolPtr s = NewSymbol(BARCODE_QRCODE);
    if (s) s->option_1 = std::clamp(errorLevel, 0, 3) + 1;
    return Finish(s.get(), AsString(data));
}

EncodedSymbol EncodePdf417(const std::vector<uint8_t>& data, int columns, int rows, int errorLevel,
                           bool truncated) {
    SymbolPtr s = NewSymbol(truncated ? BARCODE_PDF417COMP : BARCODE_PDF417);
    if (s) {
        s->option_1 = errorLevel >= 0 && errorLevel <= 8 ? errorLevel : -1;
        if (columns >= 1 && columns <= 30) s->option_2 = columns;
        if (rows >= 3 && rows <= 90) s->option_3 = rows;
    }
    EncodedSymbol out = Finish(s.get(), AsString(data));
    if (!out.ok && s && (s->option_2 || s->option_3)) {
        // Rows and columns the data does not fit: the printer picks its own, so does zint.
        SymbolPtr retry = NewSymbol(truncated ? BARCODE_PDF417COMP : BARCODE_PDF417);
        if (retry) retry->option_1 = s->option_1;
        out = Finish(retry.get(), AsString(data));
        if (out.ok) out.error = "rows / columns ignored: the data does not fit them";
    }
    return out;
}

EncodedSymbol EncodeDataMatrix(const std::vector<uint8_t>& data) {
    SymbolPtr s = NewSymbol(BARCODE_DATAMATRIX);
    return Finish(s.get(), AsString(data));
}

EncodedSymbol EncodeDataBar(const std::vector<uint8_t>& data, int type) {
    int symbology = BARCODE_DBAR_STK;
    if (type == 49 || type == 73) symbology = BARCODE_DBAR_OMNSTK;
    if (type == 76) symbology = BARCODE_DBAR_EXPSTK;
    SymbolPtr s = NewSymbol(symbology);
    if (s && symbology == BARCODE_DBAR_EXPSTK) s->input_mode = GS1_MODE;
    return Finish(s.get(), AsString(data));
}

EncodedSymbol EncodeComposite(int a, int b, const std::vector<uint8_t>& linear,
                              const std::vector<uint8_t>& component) {
    int symbology = 0;
    int ccType = 0;
    if (a == 0x30) {
        switch (b) {
            case 0x41:
            case 0x42:
                symbology = BARCODE_EANX_CC;
                break;
            case 0x43:
                symbology = BARCODE_UPCA_CC;
                break;
            case 0x45:
            case 0x46:
                symbology = BARCODE_UPCE_CC;
                break;
            case 0x47:
            case 0x48:
                symbology = BARCODE_DBAR_OMN_CC;
                break;
            case 0x49:
                symbology = BARCODE_DBAR_STK_CC;
                break;
            case 0x4A:
                symbology = BARCODE_DBAR_OMNSTK_CC;
                break;
            case 0x4B:
                symbology = BARCODE_DBAR_LTD_CC;
                break;
            case 0x4C:
                symbology = BARCODE_DBAR_EXP_CC;
                break;
            case 0x4D:
                symbology = BARCODE_DBAR_EXPSTK_CC;
                break;
            default:
                break;
        }
    } else if (a == 0x31 && (b == 0x41 || b == 0x42)) {
        symbology = BARCODE_GS1_128_CC;
        ccType = b == 0x42 ? 3 : 0;
    }
    if (!symbology) {
        EncodedSymbol out;
        out.error = "unknown linear component";
        return out;
    }
    SymbolPtr s = NewSymbol(symbology);
    std::string primary = AsString(linear);
    std::string cc = AsString(component.empty() ? linear : component);
    if (s) {
        s->input_mode = GS1_MODE;
        if (cc.find('(') != std::string::npos) s->input_mode |= GS1PARENS_MODE;
        s->option_1 = ccType;
        std::snprintf(s->primary, sizeof s->primary, "%s", primary.substr(0, 127).c_str());
    }
    return Finish(s.get(), cc);
}

EncodedSymbol EncodeMaxiCode(const std::vector<uint8_t>& data, int mode, int targetWidth) {
    EncodedSymbol out;
    out.encodedData = AsString(data);
    std::string remark;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int useMode = attempt == 0 ? mode : 4;
        if (attempt == 1) {
            if (mode == 4) break;
            remark = "mode " + std::to_string(mode) + " not encodable (" + out.error +
                     "); drawn in mode 4";
        }
        double scale = 1.0;
        for (int pass = 0; pass < 2; ++pass) {
            SymbolPtr s = NewSymbol(BARCODE_MAXICODE);
            if (!s) return out;
            s->option_1 = useMode;
            s->scale = static_cast<float>(scale);
            s->show_hrt = 0;
            int rc = ZBarcode_Encode_and_Buffer(s.get(),
                                                reinterpret_cast<const unsigned char*>(data.data()),
                                                static_cast<int>(data.size()), 0);
            if (rc >= ZINT_ERROR || !s->bitmap || s->bitmap_width <= 0) {
                out.error = s->errtxt[0] ? s->errtxt : "cannot encode";
                break;
            }
            if (pass == 0) {
                scale = std::clamp(static_cast<double>(targetWidth) / s->bitmap_width, 0.1, 20.0);
                continue;
            }
            out.ok = true;
            out.error = remark;
            out.bitmapWidth = s->bitmap_width;
            out.bitmapHeight = s->bitmap_height;
            out.bitmap.resize(static_cast<size_t>(out.bitmapWidth * out.bitmapHeight));
            for (size_t i = 0; i < out.bitmap.size(); ++i) {
                const unsigned char* px = s->bitmap + i * 3;
                out.bitmap[i] = (px[0] + px[1] + px[2]) < 3 * 128 ? 1 : 0;
            }
            return out;
        }
        if (data.empty()) break;
    }
    if (out.error.empty()) out.error = "cannot encode";
    return out;
}

}  // namespace emulator
