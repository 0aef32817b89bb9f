// Job scripts: the JSON files that `kv580 print` plays into the universal-driver host.
//
// A script names the document, the paper, the job's DEVMODE choices and driver options, and
// for every page the drawing items in the order an application would draw them. The format
// is described for users in docs/job-script.md; this header turns it into plain structs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "png_picture.h"

namespace jobscript {

// A script that cannot be used: one line that names the file and the place of the fault
// ("job.json: line 3, column 14: ..." or "job.json: pages[0].items[2].width: ...").
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// {"type": "rect"}: a rectangle filled with a solid grey brush (0 black .. 255 white).
struct RectItem {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    int gray = 0;
};

// {"type": "image"}: a PNG picture scaled into its rectangle.
struct ImageItem {
    std::string path;                        // as written in the script
    std::filesystem::path file;              // resolved inside the script's folder
    std::shared_ptr<const Picture> picture;  // set by LoadPictures
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;   // 0 in the script: the picture's own width (set by LoadPictures)
    std::int32_t height = 0;  // likewise for the height
    bool stretch = false;
};

// {"type": "text"}: a run of text in a font family; drawn through the host's GDI text.
struct TextItem {
    std::string text;  // UTF-8
    std::string font = "Arial";
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t height = 24;  // font height in dots
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

using Item = std::variant<RectItem, ImageItem, TextItem>;

struct Page {
    std::vector<Item> items;
};

// The page the host renders: size in dots, bits per pixel of the surface, rows per band.
struct Paper {
    std::int32_t width = 576;  // 72 mm at 8 dots per millimetre
    std::int32_t height = 1000;
    int bpp = 1;              // 1, or 8 with the device palette
    std::int32_t band = 256;  // rows per band handed to ImageProcessing
};

enum class Orientation { Portrait, Landscape };
enum class PaperSource { Receipt, Ticket };
enum class ColorMode { Monochrome, Color };

// The job's public DEVMODE choices.
struct DevmodeChoices {
    int copies = 1;
    Orientation orientation = Orientation::Portrait;
    PaperSource source = PaperSource::Receipt;
    ColorMode color = ColorMode::Monochrome;
};

struct JobScript {
    std::string document;  // document name for StartDoc
    std::vector<Page> pages;
    Paper paper;
    DevmodeChoices devmode;
    std::map<std::string, std::string> options;  // feature name -> option text
    std::filesystem::path folder;                // pictures are found relative to this
};

// Largest page the host renders, in bytes of surface bits (rows padded to 4 bytes).
inline constexpr std::uint64_t kMaxPageBytes = 256u * 1024u * 1024u;

// Feature names a script may set under "options".
inline constexpr std::string_view kOptionFeatures[] = {"InputBin", "Orientation"};

// Parses script text. `sourceName` names the script in error messages; `folder` is where
// relative picture paths are resolved (nothing is read here). Throws ScriptError.
JobScript ParseJobScript(std::string_view text, std::string_view sourceName,
                         const std::filesystem::path& folder);

// Loads every picture of the script (each file once) and fills in the default image sizes.
// Throws ScriptError naming the item and the picture's path.
void LoadPictures(JobScript& script, std::string_view sourceName);

// Reads, parses and loads the pictures of the script file. Throws ScriptError.
JobScript LoadJobScript(const std::filesystem::path& file);

// Line and column (both from 1) of the byte at `offset` (0-based) of `text`; columns count
// bytes. An offset past the end gives the position just after the last byte.
struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;
};
TextPosition PositionOfOffset(std::string_view text, std::size_t offset);

}  // namespace jobscript
