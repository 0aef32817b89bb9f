// kv580 printer add|delete, kv580 printers, kv580 printer-data: the service tools for printers
// and their printer data in the store of the system root.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "win32/strings.h"
#include "win32/system_root.h"
#include "win32/winspool.h"

namespace kv580 {
namespace {

constexpr const char* kDriverName = "ORVANEX LBR-KV580 - Receipt";
// A named port: jobs are delivered to ports/KV580.prn under the root.
constexpr const char* kDefaultPort = "KV580:";
constexpr const char* kDefaultKey = "PrinterDriverData\\Properties";

std::u16string Wide(const std::string& text) {
    return platform::Utf8ToUtf16(text);
}
std::string Narrow(const WCHAR* text) {
    return text ? platform::Utf16ToUtf8(std::u16string_view(text)) : std::string();
}

// Makes the chosen root current and checks its store, so that a damaged store is reported
// with the file's name before anything else happens.
void UseStore(const GlobalOptions& options) {
    UseChosenRoot(options);
    std::string error;
    if (!platform::OpenStore(error)) throw CommandError(error);
}

std::string ErrorText(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return "not found";
        case ERROR_ACCESS_DENIED:
            return "access denied";
        case ERROR_INVALID_PRINTER_NAME:
            return "no such printer or invalid printer name";
        case ERROR_PRINTER_ALREADY_EXISTS:
            return "a printer of that name exists already";
        case ERROR_INVALID_PARAMETER:
            return "invalid parameter";
        case ERROR_BADDB:
            return platform::LastStoreError();
        default:
            return "error " + std::to_string(code);
    }
}

[[noreturn]] void Failed(const std::string& what, DWORD code) {
    throw CommandError(what + ": " + ErrorText(code) + " (" + std::to_string(code) + ")");
}

// An open printer handle, closed when it goes.
class Printer {
public:
    Printer(const std::string& name, DWORD access) {
        std::u16string wide = Wide(name);
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
        if (!OpenPrinterW(wide.c_str(), &m_handle, &defaults)) {
            Failed("cannot open printer '" + name + "'", GetLastError());
        }
    }
    ~Printer() { ClosePrinter(m_handle); }
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

std::string TypeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return "REG_NONE";
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
        case REG_QWORD:
            return "REG_QWORD";
        default:
            return "TYPE_" + std::to_string(type);
    }
}

std::string Hex(const BYTE* data, std::size_t size) {
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02X" : "%02X", data[i]);
        text += pair;
    }
    return text;
}

std::vector<BYTE> ParseHex(const std::string& text) {
    std::vector<BYTE> bytes;
    int high = -1;
    for (char c : text) {
        int nibble = -1;
        if (c >= '0' && c <= '9') nibble = c - '0';
        if (c >= 'a' && c <= 'f') nibble = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') nibble = c - 'A' + 10;
        if (nibble < 0) {
            if (c == ' ' || c == ',' || c == ':' || c == '\t' || c == '-') continue;
            throw CommandError(std::string("--hex: '") + c + "' is not a hexadecimal digit");
        }
        if (high < 0) {
            high = nibble;
        } else {
            bytes.push_back(static_cast<BYTE>(high * 16 + nibble));
            high = -1;
        }
    }
    if (high >= 0) throw CommandError("--hex: odd number of hexadecimal digits");
    return bytes;
}

DWORD ParseDword(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno == ERANGE ||
        value > 0xFFFFFFFFull) {
        throw CommandError("--dword: '" + text + "' is not a number from 0 to 4294967295");
    }
    return static_cast<DWORD>(value);
}

// ---- kv580 printer add / delete, kv580 printers ---------------------------------------------
void AddPrinter(const GlobalOptions& options, const std::string& name, const std::string& port) {
    UseStore(options);
    std::u16string wideName = Wide(name), widePort = Wide(port), driver = Wide(kDriverName);
    std::u16string datatype = u"RAW", processor = u"winprint";
    PRINTER_INFO_2W info{};
    info.pPrinterName = wideName.data();
    info.pPortName = widePort.data();
    info.pDriverName = driver.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = datatype.data();
    info.Priority = 1;
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!printer) Failed("cannot add printer '" + name + "'", GetLastError());
    ClosePrinter(printer);
    std::printf("printer added: %s (driver %s, port %s)\n", name.c_str(), kDriverName,
                port.c_str());
}

void DeletePrinterCommand(const GlobalOptions& options, const std::string& name) {
    UseStore(options);
    Printer printer(name, PRINTER_ALL_ACCESS);
    if (!DeletePrinter(printer.get()))
        Failed("cannot delete printer '" + name + "'", GetLastError());
    std::printf("printer deleted: %s\n", name.c_str());
}

void ListPrinters(const GlobalOptions& options) {
    UseStore(options);
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) {
        Failed("cannot list printers", GetLastError());
    }
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        std::printf("%s\t%s\t%s\t0x%08X\n", Narrow(printers[i].pPrinterName).c_str(),
                    Narrow(printers[i].pDriverName).c_str(), Narrow(printers[i].pPortName).c_str(),
                    printers[i].Attributes);
    }
}

// ---- kv580 printer-data ---------------------------------------------------------------------
struct DataOptions {
    std::string printer;
    std::string value;
    std::string key = kDefaultKey;
    std::string hex;
    std::string dword;
    std::string text;
    std::string file;
};

void GetData(const GlobalOptions& options, const DataOptions& data) {
    UseStore(options);
    Printer printer(data.printer, READ_CONTROL | PRINTER_ACCESS_USE);
    std::u16string key = Wide(data.key), value = Wide(data.value);
    DWORD type = 0, needed = 0;
    DWORD code =
        GetPrinterDataExW(printer.get(), key.c_str(), value.c_str(), &type, nullptr, 0, &needed);
    std::vector<BYTE> bytes(needed);
    if (code == ERROR_MORE_DATA || code == ERROR_SUCCESS) {
        code = GetPrinterDataExW(printer.get(), key.c_str(), value.c_str(), &type, bytes.data(),
                                 needed, &needed);
    }
    if (code != ERROR_SUCCESS) Failed("cannot read '" + data.key + "\\" + data.value + "'", code);
    std::string hex = Hex(bytes.data(), needed);
    std::printf("%s%s%s\n", TypeName(type).c_str(), hex.empty() ? "" : " ", hex.c_str());
}

void SetData(const GlobalOptions& options, const DataOptions& data) {
    int given = !data.hex.empty() + !data.dword.empty() + !data.text.empty() + !data.file.empty();
    if (given != 1) throw CommandError("give exactly one of --hex, --dword, --string, --file");
    DWORD type = REG_BINARY;
    std::vector<BYTE> bytes;
    if (!data.hex.empty()) {
        bytes = ParseHex(data.hex);
    } else if (!data.dword.empty()) {
        DWORD number = ParseDword(data.dword);
        type = REG_DWORD;
        bytes.resize(4);
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(number >> (8 * i));
    } else if (!data.text.empty()) {
        type = REG_SZ;
        std::u16string wide = Wide(data.text);
        for (char16_t c : wide) {
            bytes.push_back(static_cast<BYTE>(c & 0xFF));
            bytes.push_back(static_cast<BYTE>(c >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
    } else {
        std::ifstream in(data.file, std::ios::binary);
        if (!in) throw CommandError("--file: cannot read '" + data.file + "'");
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    UseStore(options);
    Printer printer(data.printer, PRINTER_ALL_ACCESS);
    std::u16string key = Wide(data.key), value = Wide(data.value);
    DWORD code = SetPrinterDataExW(printer.get(), key.c_str(), value.c_str(), type, bytes.data(),
                                   static_cast<DWORD>(bytes.size()));
    if (code != ERROR_SUCCESS) Failed("cannot write '" + data.key + "\\" + data.value + "'", code);
}

void DeleteData(const GlobalOptions& options, const DataOptions& data) {
    UseStore(options);
    Printer printer(data.printer, PRINTER_ALL_ACCESS);
    std::u16string key = Wide(data.key), value = Wide(data.value);
    DWORD code = DeletePrinterDataExW(printer.get(), key.c_str(), value.c_str());
    if (code != ERROR_SUCCESS) Failed("cannot delete '" + data.key + "\\" + data.value + "'", code);
}

void ListData(const GlobalOptions& options, const DataOptions& data) {
    UseStore(options);
    Printer printer(data.printer, READ_CONTROL | PRINTER_ACCESS_USE);
    std::u16string key = Wide(data.key);
    DWORD needed = 0, count = 0;
    DWORD code = EnumPrinterDataExW(printer.get(), key.c_str(), nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (code == ERROR_MORE_DATA || code == ERROR_SUCCESS) {
        code =
            EnumPrinterDataExW(printer.get(), key.c_str(), buffer.data(), needed, &needed, &count);
    }
    if (code == ERROR_FILE_NOT_FOUND) return;  // a key without values lists nothing
    if (code != ERROR_SUCCESS) Failed("cannot list '" + data.key + "'", code);
    const auto* values = reinterpret_cast<const PRINTER_ENUM_VALUESW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        std::printf("%s\t%s\t%u\n", Narrow(values[i].pValueName).c_str(),
                    TypeName(values[i].dwType).c_str(), values[i].cbData);
    }
}

const CommandGroup kPrinterCommands(20, [](CLI::App& app, const GlobalOptions& options) {
    auto* printer = app.add_subcommand("printer", "Add or delete a printer");
    printer->require_subcommand(1);
    {
        auto* add = printer->add_subcommand("add", "Add a printer of the LBR-KV580 receipt driver");
        auto name = std::make_shared<std::string>();
        auto port = std::make_shared<std::string>(kDefaultPort);
        add->add_option("NAME", *name, "Printer name")->required();
        add->add_option("--port", *port,
                        "Port: FILE: (jobs name their file) or any name, delivered to "
                        "ports/<name>.prn under the root")
            ->capture_default_str();
        add->callback([&options, name, port] { AddPrinter(options, *name, *port); });
    }
    {
        auto* remove = printer->add_subcommand("delete", "Delete a printer with its data");
        auto name = std::make_shared<std::string>();
        remove->add_option("NAME", *name, "Printer name")->required();
        remove->callback([&options, name] { DeletePrinterCommand(options, *name); });
    }
    app.add_subcommand("printers", "List printers: name, driver, port, attributes")
        ->callback([&options] { ListPrinters(options); });

    auto* data = app.add_subcommand("printer-data", "Read and write a printer's printer data");
    auto shared = std::make_shared<DataOptions>();
    data->add_option("PRINTER", shared->printer, "Printer name")->required();
    data->require_subcommand(1);
    auto addKey = [shared](CLI::App* command) {
        command->add_option("--key", shared->key, "Printer-data key")->capture_default_str();
    };
    auto* get = data->add_subcommand("get", "Print a value's type and bytes in hexadecimal");
    get->add_option("VALUE", shared->value, "Value name")->required();
    addKey(get);
    get->callback([&options, shared] { GetData(options, *shared); });

    auto* set = data->add_subcommand("set", "Write a value");
    set->add_option("VALUE", shared->value, "Value name")->required();
    auto* hex = set->add_option("--hex", shared->hex, "REG_BINARY from hexadecimal bytes");
    auto* dword = set->add_option("--dword", shared->dword, "REG_DWORD from a number");
    auto* text = set->add_option("--string", shared->text, "REG_SZ from text");
    auto* file = set->add_option("--file", shared->file, "REG_BINARY from a file's bytes");
    hex->excludes(dword)->excludes(text)->excludes(file);
    dword->excludes(text)->excludes(file);
    text->excludes(file);
    addKey(set);
    set->callback([&options, shared] { SetData(options, *shared); });

    auto* remove = data->add_subcommand("delete", "Delete a value");
    remove->add_option("VALUE", shared->value, "Value name")->required();
    addKey(remove);
    remove->callback([&options, shared] { DeleteData(options, *shared); });

    auto* list = data->add_subcommand("list", "List the values of a key: name, type, size");
    addKey(list);
    list->callback([&options, shared] { ListData(options, *shared); });
});

}  // namespace
}  // namespace kv580
