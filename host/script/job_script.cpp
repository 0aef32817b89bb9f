// Job-script parsing: JSON text -> JobScript, with errors that say where the fault is.
#include "job_script.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

namespace jobscript {
namespace {

using nlohmann::json;

// Coordinates and sizes a script may use (pages are at most 65535 dots on a side).
constexpr std::int64_t kMaxCoordinate = 65535;
constexpr std::int64_t kMaxCopies = 9999;
constexpr std::size_t kMaxOptionLength = 255;   // the host answers in a 256-byte buffer
constexpr std::size_t kMaxFontNameLength = 31;  // a LOGFONT face name holds 32 characters
constexpr std::uintmax_t kMaxScriptBytes = 64u * 1024u * 1024u;

std::string Quote(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string Join(std::initializer_list<std::string_view> names) {
    std::string out;
    for (std::string_view name : names) {
        if (!out.empty()) out += ", ";
        out += Quote(name);
    }
    return out;
}

// Counts the code points of UTF-8 text (the parser has already checked the encoding).
std::size_t CodePoints(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Reads values out of the parsed document; every failure names the key path.
class Reader {
public:
    explicit Reader(std::string source) : m_source(std::move(source)) {}

    [[noreturn]] void Fail(const std::string& path, const std::string& message) const {
        throw ScriptError(m_source + ": " + (path.empty() ? "" : path + ": ") + message);
    }

    static std::string Child(const std::string& path, std::string_view key) {
        return path.empty() ? std::string(key) : path + "." + std::string(key);
    }
    static std::string Index(const std::string& path, std::size_t i) {
        return path + "[" + std::to_string(i) + "]";
    }

    void ExpectObject(const json& value, const std::string& path) const {
        if (!value.is_object()) {
            Fail(path, std::string("expected an object, got ") + value.type_name());
        }
    }

    void ExpectArray(const json& value, const std::string& path) const {
        if (!value.is_array()) {
            Fail(path, std::string("expected an array, got ") + value.type_name());
        }
    }

    // Every key of the object must be one of `allowed`.
    void CheckKeys(const json& object, const std::string& path,
                   std::initializer_list<std::string_view> allowed) const {
        for (const auto& [key, value] : object.items()) {
            if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
                Fail(path.empty() ? "" : path,
                     "unknown key " + Quote(key) + " (allowed: " + Join(allowed) + ")");
            }
        }
    }

    const json* Find(const json& object, std::string_view key) const {
        auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    }

    const json& Require(const json& object, const std::string& path, std::string_view key) const {
        const json* value = Find(object, key);
        if (value == nullptr) {
            Fail(path, "missing key " + Quote(key));
        }
        return *value;
    }

    std::int64_t Int(const json& value, const std::string& path, std::int64_t min,
                     std::int64_t max) const {
        if (!value.is_number_integer()) {
            Fail(path, std::string("expected an integer, got ") + value.type_name());
        }
        if (value.is_number_unsigned() &&
            value.get<std::uint64_t>() > static_cast<std::uint64_t>(max)) {
            Fail(path, "must be from " + std::to_string(min) + " to " + std::to_string(max) +
                           ", got " + std::to_string(value.get<std::uint64_t>()));
        }
        const std::int64_t v = value.get<std::int64_t>();
        if (v < min || v > max) {
            Fail(path, "must be from " + std::to_string(min) + " to " + std::to_string(max) +
                           ", got " + std::to_string(v));
        }
        return v;
    }

    template <typename T>
    void OptionalInt(const json& object, const std::string& path, std::string_view key, T& out,
                     std::int64_t min, std::int64_t max) const {
        if (const json* value = Find(object, key)) {
            out = static_cast<T>(Int(*value, Child(path, key), min, max));
        }
    }

    template <typename T>
    void RequiredInt(const json& object, const std::string& path, std::string_view key, T& out,
                     std::int64_t min, std::int64_t max) const {
        out = static_cast<T>(Int(Require(object, path, key), Child(path, key), min, max));
    }

    std::string String(const json& value, const std::string& path) const {
        if (!value.is_string()) {
            Fail(path, std::string("expected a string, got ") + value.type_name());
        }
        std::string text = value.get<std::string>();
        if (text.find('\0') != std::string::npos) {
            Fail(path, "must not contain a NUL character");
        }
        return text;
    }

    bool Bool(const json& value, const std::string& path) const {
        if (!value.is_boolean()) {
            Fail(path, std::string("expected true or false, got ") + value.type_name());
        }
        return value.get<bool>();
    }

    void OptionalBool(const json& object, const std::string& path, std::string_view key,
                      bool& out) const {
        if (const json* value = Find(object, key)) {
            out = Bool(*value, Child(path, key));
        }
    }

    // A string that must be one of the names; returns its index.
    std::size_t Choice(const json& value, const std::string& path,
                       std::initializer_list<std::string_view> names) const {
        const std::string text = String(value, path);
        auto it = std::find(names.begin(), names.end(), text);
        if (it == names.end()) {
            Fail(path, "unknown value " + Quote(text) + " (allowed: " + Join(names) + ")");
        }
        return static_cast<std::size_t>(it - names.begin());
    }

    const std::string& source() const { return m_source; }

private:
    std::string m_source;
};

// Lexical join of a picture path onto the script's folder; the result stays in the folder.
std::filesystem::path ResolveInside(const Reader& reader, const std::string& path,
                                    const std::string& text, const std::filesystem::path& folder) {
    if (text.empty()) {
        reader.Fail(path, "the picture path is empty");
    }
    std::string slashed = text;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const std::filesystem::path relative(slashed);
    if (relative.has_root_directory() || relative.has_root_name()) {
        reader.Fail(path,
                    "picture path " + Quote(text) + " must be relative to the script's folder");
    }
    const std::filesystem::path normal = relative.lexically_normal();
    if (normal.empty() || *normal.begin() == ".." || normal == ".") {
        reader.Fail(path, "picture path " + Quote(text) + " leaves the script's folder");
    }
    return folder / normal;
}

RectItem ParseRect(const Reader& r, const json& item, const std::string& path) {
    r.CheckKeys(item, path, {"type", "x", "y", "width", "height", "gray"});
    RectItem rect;
    r.RequiredInt(item, path, "x", rect.x, -kMaxCoordinate, kMaxCoordinate);
    r.RequiredInt(item, path, "y", rect.y, -kMaxCoordinate, kMaxCoordinate);
    r.RequiredInt(item, path, "width", rect.width, 0, kMaxCoordinate);
    r.RequiredInt(item, path, "height", rect.height, 0, kMaxCoordinate);
    r.OptionalInt(item, path, "gray", rect.gray, 0, 255);
    return rect;
}

ImageItem ParseImage(const Reader& r, const json& item, const std::string& path,
                     const std::filesystem::path& folder) {
    r.CheckKeys(item, path, {"type", "path", "x", "y", "width", "height", "stretch"});
    ImageItem image;
    const std::string pathKey = Reader::Child(path, "path");
    image.path = r.String(r.Require(item, path, "path"), pathKey);
    image.file = ResolveInside(r, pathKey, image.path, folder);
    r.RequiredInt(item, path, "x", image.x, -kMaxCoordinate, kMaxCoordinate);
    r.RequiredInt(item, path, "y", image.y, -kMaxCoordinate, kMaxCoordinate);
    r.OptionalInt(item, path, "width", image.width, 1, kMaxCoordinate);
    r.OptionalInt(item, path, "height", image.height, 1, kMaxCoordinate);
    r.OptionalBool(item, path, "stretch", image.stretch);
    return image;
}

TextItem ParseText(const Reader& r, const json& item, const std::string& path) {
    r.CheckKeys(
        item, path,
        {"type", "text", "font", "x", "y", "height", "weight", "italic", "underline", "strikeout"});
    TextItem text;
    text.text = r.String(r.Require(item, path, "text"), Reader::Child(path, "text"));
    if (const json* font = r.Find(item, "font")) {
        const std::string fontPath = Reader::Child(path, "font");
        text.font = r.String(*font, fontPath);
        if (text.font.empty() || CodePoints(text.font) > kMaxFontNameLength) {
            r.Fail(fontPath, "a font family name has 1 to 31 characters");
        }
    }
    r.RequiredInt(item, path, "x", text.x, -kMaxCoordinate, kMaxCoordinate);
    r.RequiredInt(item, path, "y", text.y, -kMaxCoordinate, kMaxCoordinate);
    r.OptionalInt(item, path, "height", text.height, 1, kMaxCoordinate);
    r.OptionalInt(item, path, "weight", text.weight, 0, 1000);
    r.OptionalBool(item, path, "italic", text.italic);
    r.OptionalBool(item, path, "underline", text.underline);
    r.OptionalBool(item, path, "strikeout", text.strikeout);
    return text;
}

Item ParseItem(const Reader& r, const json& item, const std::string& path,
               const std::filesystem::path& folder) {
    r.ExpectObject(item, path);
    const std::size_t type = r.Choice(r.Require(item, path, "type"), Reader::Child(path, "type"),
                                      {"rect", "image", "text"});
    switch (type) {
        case 0:
            return ParseRect(r, item, path);
        case 1:
            return ParseImage(r, item, path, folder);
        default:
            return ParseText(r, item, path);
    }
}

void ParsePaper(const Reader& r, const json& value, Paper& paper, bool& bppGiven) {
    const std::string path = "paper";
    r.ExpectObject(value, path);
    r.CheckKeys(value, path, {"width", "height", "bpp", "band"});
    r.OptionalInt(value, path, "width", paper.width, 1, kMaxCoordinate);
    r.OptionalInt(value, path, "height", paper.height, 1, kMaxCoordinate);
    r.OptionalInt(value, path, "band", paper.band, 1, kMaxCoordinate);
    if (const json* bpp = r.Find(value, "bpp")) {
        const std::string bppPath = Reader::Child(path, "bpp");
        paper.bpp = static_cast<int>(r.Int(*bpp, bppPath, 1, 8));
        if (paper.bpp != 1 && paper.bpp != 8) {
            r.Fail(bppPath, "must be 1 or 8, got " + std::to_string(paper.bpp));
        }
        bppGiven = true;
    }
}

void ParseDevmode(const Reader& r, const json& value, DevmodeChoices& devmode) {
    const std::string path = "devmode";
    r.ExpectObject(value, path);
    r.CheckKeys(value, path, {"copies", "orientation", "source", "color"});
    r.OptionalInt(value, path, "copies", devmode.copies, 1, kMaxCopies);
    if (const json* v = r.Find(value, "orientation")) {
        devmode.orientation = static_cast<Orientation>(
            r.Choice(*v, Reader::Child(path, "orientation"), {"portrait", "landscape"}));
    }
    if (const json* v = r.Find(value, "source")) {
        devmode.source = static_cast<PaperSource>(
            r.Choice(*v, Reader::Child(path, "source"), {"receipt", "ticket"}));
    }
    if (const json* v = r.Find(value, "color")) {
        devmode.color = static_cast<ColorMode>(
            r.Choice(*v, Reader::Child(path, "color"), {"monochrome", "color"}));
    }
}

void ParseOptions(const Reader& r, const json& value, std::map<std::string, std::string>& out) {
    const std::string path = "options";
    r.ExpectObject(value, path);
    for (const auto& [key, option] : value.items()) {
        if (std::find(std::begin(kOptionFeatures), std::end(kOptionFeatures), key) ==
            std::end(kOptionFeatures)) {
            r.Fail(path, "unknown key " + Quote(key) + " (allowed: \"InputBin\", \"Orientation\")");
        }
        const std::string optionPath = Reader::Child(path, key);
        std::string text = r.String(option, optionPath);
        if (text.size() > kMaxOptionLength) {
            r.Fail(optionPath, "an option text has at most 255 bytes");
        }
        out[key] = std::move(text);
    }
}

// The part of nlohmann's message after its own position prefix.
std::string ParseErrorDetail(const char* what) {
    std::string text(what);
    const std::size_t column = text.find(", column ");
    if (column != std::string::npos) {
        const std::size_t colon = text.find(": ", column);
        if (colon != std::string::npos) return text.substr(colon + 2);
    }
    const std::size_t bracket = text.find("] ");
    return bracket == std::string::npos ? text : text.substr(bracket + 2);
}

// Follows the parser through the document and stops at a key that appears twice in one
// object (the parser itself would silently keep the last one).
class DuplicateKeyCheck {
public:
    explicit DuplicateKeyCheck(std::string source) : m_source(std::move(source)) {}

    void OnEvent(json::parse_event_t event, const json& parsed) {
        switch (event) {
            case json::parse_event_t::object_start:
            case json::parse_event_t::array_start:
                m_frames.push_back({event == json::parse_event_t::array_start, 0, {}, {}});
                break;
            case json::parse_event_t::key: {
                Frame& frame = m_frames.back();
                frame.key = parsed.get<std::string>();
                if (!frame.keys.insert(frame.key).second) {
                    const std::string path = Path();
                    throw ScriptError(m_source + ": " + (path.empty() ? "" : path + ": ") +
                                      "duplicate key " + Quote(frame.key));
                }
                break;
            }
            case json::parse_event_t::object_end:
            case json::parse_event_t::array_end:
                m_frames.pop_back();
                ElementDone();
                break;
            case json::parse_event_t::value:
                ElementDone();
                break;
        }
    }

private:
    struct Frame {
        bool array;
        std::size_t index;
        std::set<std::string> keys;
        std::string key;
    };

    void ElementDone() {
        if (!m_frames.empty() && m_frames.back().array) ++m_frames.back().index;
    }

    // Key path of the innermost object (the one being read).
    std::string Path() const {
        std::string path;
        for (std::size_t i = 0; i + 1 < m_frames.size(); ++i) {
            const Frame& frame = m_frames[i];
            if (frame.array) {
                path += "[" + std::to_string(frame.index) + "]";
            } else {
                path = Reader::Child(path, frame.key);
            }
        }
        return path;
    }

    std::string m_source;
    std::vector<Frame> m_frames;
};

}  // namespace

TextPosition PositionOfOffset(std::string_view text, std::size_t offset) {
    TextPosition position;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++position.line;
            position.column = 1;
        } else {
            ++position.column;
        }
    }
    return position;
}

JobScript ParseJobScript(std::string_view text, std::string_view sourceName,
                         const std::filesystem::path& folder) {
    const std::string source = sourceName.empty() ? "job script" : std::string(sourceName);
    json document;
    try {
        DuplicateKeyCheck check(source);
        document = json::parse(text.begin(), text.end(),
                               [&check](int, json::parse_event_t event, json& parsed) {
                                   check.OnEvent(event, parsed);
                                   return true;
                               });
    } catch (const json::parse_error& e) {
        // e.byte counts the bytes read, so the offending byte is at e.byte - 1.
        const TextPosition at = PositionOfOffset(text, e.byte == 0 ? 0 : e.byte - 1);
        throw ScriptError(source + ": line " + std::to_string(at.line) + ", column " +
                          std::to_string(at.column) + ": " + ParseErrorDetail(e.what()));
    }

    const Reader r(source);
    if (!document.is_object()) {
        r.Fail("", std::string("a job script is a JSON object, got ") + document.type_name());
    }
    r.CheckKeys(document, "", {"document", "pages", "paper", "devmode", "options"});

    JobScript script;
    script.folder = folder;
    if (const json* name = r.Find(document, "document")) {
        script.document = r.String(*name, "document");
    } else {
        const std::string fileName = std::filesystem::path(sourceName).filename().string();
        script.document = fileName.empty() ? "Untitled" : fileName;
    }

    bool bppGiven = false;
    if (const json* paper = r.Find(document, "paper")) {
        ParsePaper(r, *paper, script.paper, bppGiven);
    }
    if (const json* devmode = r.Find(document, "devmode")) {
        ParseDevmode(r, *devmode, script.devmode);
    }
    if (!bppGiven) {
        script.paper.bpp = script.devmode.color == ColorMode::Color ? 8 : 1;
    }
    const std::uint64_t stride =
        ((static_cast<std::uint64_t>(script.paper.width) * script.paper.bpp + 31) / 32) * 4;
    if (stride * static_cast<std::uint64_t>(script.paper.height) > kMaxPageBytes) {
        r.Fail("paper", "a page of " + std::to_string(script.paper.width) + " x " +
                            std::to_string(script.paper.height) + " dots at " +
                            std::to_string(script.paper.bpp) + " bpp is too large");
    }

    // The driver options follow the DEVMODE unless the script names them.
    script.options["InputBin"] =
        script.devmode.source == PaperSource::Receipt ? "Option1" : "Option2";
    script.options["Orientation"] =
        script.devmode.orientation == Orientation::Portrait ? "PORTRAIT" : "LANDSCAPE_CC270";
    if (const json* options = r.Find(document, "options")) {
        ParseOptions(r, *options, script.options);
    }

    const json& pages = r.Require(document, "", "pages");
    r.ExpectArray(pages, "pages");
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const std::string pagePath = Reader::Index("pages", p);
        const json& page = pages[p];
        r.ExpectObject(page, pagePath);
        r.CheckKeys(page, pagePath, {"items"});
        Page out;
        if (const json* items = r.Find(page, "items")) {
            const std::string itemsPath = Reader::Child(pagePath, "items");
            r.ExpectArray(*items, itemsPath);
            for (std::size_t i = 0; i < items->size(); ++i) {
                out.items.push_back(ParseItem(r, (*items)[i], Reader::Index(itemsPath, i), folder));
            }
        }
        script.pages.push_back(std::move(out));
    }
    return script;
}

void LoadPictures(JobScript& script, std::string_view sourceName) {
    const std::string source = sourceName.empty() ? "job script" : std::string(sourceName);
    std::map<std::filesystem::path, std::shared_ptr<const Picture>> loaded;
    for (std::size_t p = 0; p < script.pages.size(); ++p) {
        auto& items = script.pages[p].items;
        for (std::size_t i = 0; i < items.size(); ++i) {
            auto* image = std::get_if<ImageItem>(&items[i]);
            if (image == nullptr) continue;
            const std::string where = source + ": pages[" + std::to_string(p) + "].items[" +
                                      std::to_string(i) + "].path: ";
            auto found = loaded.find(image->file);
            if (found == loaded.end()) {
                std::error_code ec;
                if (!std::filesystem::is_regular_file(image->file, ec)) {
                    throw ScriptError(where + "picture \"" + image->path + "\" not found (" +
                                      image->file.string() + ")");
                }
                try {
                    auto picture = std::make_shared<const Picture>(LoadPng(image->file));
                    found = loaded.emplace(image->file, std::move(picture)).first;
                } catch (const PictureError& e) {
                    throw ScriptError(where + "picture \"" + image->path + "\": " + e.what());
                }
            }
            image->picture = found->second;
            if (image->width == 0) image->width = image->picture->width;
            if (image->height == 0) image->height = image->picture->height;
        }
    }
}

JobScript LoadJobScript(const std::filesystem::path& file) {
    const std::string source = file.string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw ScriptError(source + ": job script not found");
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxScriptBytes) {
        throw ScriptError(source +
                          (ec ? ": cannot read the job script" : ": job script is too large"));
    }
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(size))) {
        throw ScriptError(source + ": cannot read the job script");
    }
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    JobScript script = ParseJobScript(text, source, folder);
    LoadPictures(script, source);
    return script;
}

}  // namespace jobscript
