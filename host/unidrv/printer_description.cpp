// Reading the printer description file.
#include "printer_description.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "win32/system_root.h"

#ifndef KV580_PACKAGE_DIR
#define KV580_PACKAGE_DIR ""
#endif

namespace unidrv {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void Fail(std::string_view source, std::size_t line, const std::string& what) {
    throw std::runtime_error(std::string(source) + ": line " + std::to_string(line) + ": " + what);
}

int ParseNumber(std::string_view source, std::size_t line, const std::string& word) {
    if (word.empty() || word.size() > 6 ||
        word.find_first_not_of("0123456789") != std::string::npos) {
        Fail(source, line, "'" + word + "' is not a number");
    }
    return std::atoi(word.c_str());
}

}  // namespace

std::string PrinterDescription::FindDeviceFont(std::string_view family) const {
    for (const std::string& font : deviceFonts) {
        if (EqualNoCase(font, family)) return font;
    }
    return {};
}

PrinterDescription ParsePrinterDescription(std::string_view text, std::string_view sourceName) {
    PrinterDescription d;
    d.dpiX = d.dpiY = 0;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) Fail(sourceName, lineNumber, "no ':' after the key");
        const std::string_view key = Trim(line.substr(0, colon));
        const std::string value(Trim(line.substr(colon + 1)));
        if (value.empty()) Fail(sourceName, lineNumber, "no value for " + std::string(key));
        if (key == "Model") {
            d.model = value;
        } else if (key == "Resolution") {
            std::istringstream words(value);
            std::string x, y;
            words >> x >> y;
            d.dpiX = ParseNumber(sourceName, lineNumber, x);
            d.dpiY = ParseNumber(sourceName, lineNumber, y);
        } else if (key == "PaperSource") {
            std::istringstream words(value);
            PaperSourceEntry entry;
            std::string number;
            words >> entry.option >> number;
            entry.number = ParseNumber(sourceName, lineNumber, number);
            std::getline(words, entry.name);
            entry.name = std::string(Trim(entry.name));
            d.paperSources.push_back(entry);
        } else if (key == "Orientation") {
            d.orientations.push_back(value);
        } else if (key == "DeviceFont") {
            if (value.size() > 255) Fail(sourceName, lineNumber, "device font name too long");
            if (d.FindDeviceFont(value).empty()) d.deviceFonts.push_back(value);
        } else {
            Fail(sourceName, lineNumber, "unknown key '" + std::string(key) + "'");
        }
    }
    if (d.dpiX == 0) d.dpiX = d.dpiY = 203;
    return d;
}

PrinterDescription LoadPrinterDescription(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the printer description '" + file.string() + "'");
    std::ostringstream text;
    text << in.rdbuf();
    return ParsePrinterDescription(text.str(), file.filename().string());
}

std::filesystem::path FindPrinterDescription() {
    std::error_code ec;
    if (const char* env = std::getenv("KV580_GPD"); env != nullptr && *env != '\0') {
        return env;
    }
    const std::filesystem::path installed = platform::SystemRoot() / "Windows" / "System32" /
                                            "spool" / "drivers" / "x64" / "3" /
                                            kPrinterDescriptionFile;
    if (std::filesystem::is_regular_file(installed, ec)) return installed;
    const std::filesystem::path package =
        std::filesystem::path(KV580_PACKAGE_DIR) / kPrinterDescriptionFile;
    if (std::string_view(KV580_PACKAGE_DIR).size() != 0 &&
        std::filesystem::is_regular_file(package, ec)) {
        return package;
    }
    return {};
}

}  // namespace unidrv
