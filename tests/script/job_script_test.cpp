// Job-script parsing: defaults, every key, errors with line and column or key path, pictures.
#include "job_script.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>

#include "png_writer.h"
#include "test_support.h"

namespace {

using namespace jobscript;
using testing_support::TempDir;
using testing_support::WriteFile;

JobScript Parse(const std::string& text) {
    return ParseJobScript(text, "job.json", "/scripts");
}

// The message of the ScriptError that parsing `text` throws ("" when it parses).
std::string ErrorOf(const std::string& text) {
    try {
        Parse(text);
    } catch (const ScriptError& e) {
        return e.what();
    }
    return "";
}

TEST(JobScriptDefaults, AMinimalScriptGetsTheReceiptDefaults) {
    const JobScript s = Parse(R"({"pages": [{}]})");
    EXPECT_EQ(s.document, "job.json");
    ASSERT_EQ(s.pages.size(), 1u);
    EXPECT_TRUE(s.pages[0].items.empty());
    EXPECT_EQ(s.paper.width, 576);
    EXPECT_EQ(s.paper.height, 1000);
    EXPECT_EQ(s.paper.bpp, 1);
    EXPECT_EQ(s.paper.band, 256);
    EXPECT_EQ(s.devmode.copies, 1);
    EXPECT_EQ(s.devmode.orientation, Orientation::Portrait);
    EXPECT_EQ(s.devmode.source, PaperSource::Receipt);
    EXPECT_EQ(s.devmode.color, ColorMode::Monochrome);
    EXPECT_EQ(s.options, (std::map<std::string, std::string>{{"InputBin", "Option1"},
                                                             {"Orientation", "PORTRAIT"}}));
    EXPECT_EQ(s.folder, "/scripts");
}

TEST(JobScriptDefaults, ItemDefaults) {
    const JobScript s = Parse(R"({"pages": [{"items": [
        {"type": "rect", "x": 1, "y": 2, "width": 3, "height": 4},
        {"type": "image", "path": "a.png", "x": 5, "y": 6},
        {"type": "text", "text": "Hi", "x": 7, "y": 8}]}]})");
    const auto& items = s.pages[0].items;
    ASSERT_EQ(items.size(), 3u);
    const auto& rect = std::get<RectItem>(items[0]);
    EXPECT_EQ(rect.gray, 0);
    const auto& image = std::get<ImageItem>(items[1]);
    EXPECT_EQ(image.width, 0);  // filled from the picture when it is loaded
    EXPECT_FALSE(image.stretch);
    EXPECT_EQ(image.file, std::filesystem::path("/scripts/a.png"));
    const auto& text = std::get<TextItem>(items[2]);
    EXPECT_EQ(text.font, "Arial");
    EXPECT_EQ(text.height, 24);
    EXPECT_EQ(text.weight, 400);
    EXPECT_FALSE(text.italic || text.underline || text.strikeout);
}

TEST(JobScriptParse, EveryKey) {
    const JobScript s = Parse(R"({
        "document": "Receipt 42",
        "paper": {"width": 384, "height": 2000, "bpp": 8, "band": 100},
        "devmode": {"copies": 3, "orientation": "landscape", "source": "ticket", "color": "color"},
        "options": {"InputBin": "Option7"},
        "pages": [
          {"items": [{"type": "rect", "x": -5, "y": 10, "width": 20, "height": 30, "gray": 128}]},
          {"items": [
            {"type": "image", "path": "pics\\logo.png", "x": 1, "y": 2, "width": 30, "height": 40,
             "stretch": true},
            {"type": "text", "text": "Total 9,99 €", "font": "DejaVu Sans", "x": 3, "y": 4,
             "height": 32, "weight": 700, "italic": true, "underline": true, "strikeout": true}]}]})");
    EXPECT_EQ(s.document, "Receipt 42");
    EXPECT_EQ(s.paper.width, 384);
    EXPECT_EQ(s.paper.height, 2000);
    EXPECT_EQ(s.paper.bpp, 8);
    EXPECT_EQ(s.paper.band, 100);
    EXPECT_EQ(s.devmode.copies, 3);
    EXPECT_EQ(s.devmode.orientation, Orientation::Landscape);
    EXPECT_EQ(s.devmode.source, PaperSource::Ticket);
    EXPECT_EQ(s.devmode.color, ColorMode::Color);
    // An option the script names wins; the other follows the DEVMODE.
    EXPECT_EQ(s.options.at("InputBin"), "Option7");
    EXPECT_EQ(s.options.at("Orientation"), "LANDSCAPE_CC270");
    ASSERT_EQ(s.pages.size(), 2u);
    const auto& rect = std::get<RectItem>(s.pages[0].items[0]);
    EXPECT_EQ(rect.x, -5);
    EXPECT_EQ(rect.gray, 128);
    const auto& image = std::get<ImageItem>(s.pages[1].items[0]);
    EXPECT_EQ(image.path, "pics\\logo.png");
    EXPECT_EQ(image.file, std::filesystem::path("/scripts/pics/logo.png"));
    EXPECT_EQ(image.width, 30);
    EXPECT_EQ(image.height, 40);
    EXPECT_TRUE(image.stretch);
    const auto& text = std::get<TextItem>(s.pages[1].items[1]);
    EXPECT_EQ(text.text, "Total 9,99 \xE2\x82\xAC");
    EXPECT_EQ(text.font, "DejaVu Sans");
    EXPECT_EQ(text.height, 32);
    EXPECT_EQ(text.weight, 700);
    EXPECT_TRUE(text.italic && text.underline && text.strikeout);
}

TEST(JobScriptParse, DevmodeDrivesTheDefaultDepthAndOptions) {
    EXPECT_EQ(Parse(R"({"devmode": {"color": "color"}, "pages": []})").paper.bpp, 8);
    EXPECT_EQ(
        Parse(R"({"devmode": {"color": "color"}, "paper": {"bpp": 1}, "pages": []})").paper.bpp, 1);
    const JobScript ticket = Parse(R"({"devmode": {"source": "ticket"}, "pages": []})");
    EXPECT_EQ(ticket.options.at("InputBin"), "Option2");
    EXPECT_EQ(ticket.options.at("Orientation"), "PORTRAIT");
    const JobScript named = Parse(R"({"options": {"Orientation": "LANDSCAPE_CC90"}, "pages": []})");
    EXPECT_EQ(named.options.at("Orientation"), "LANDSCAPE_CC90");
    EXPECT_TRUE(Parse(R"({"pages": []})").pages.empty());
}

struct SyntaxCase {
    const char* text;
    const char* expected;  // start of the message
};

class JobScriptSyntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(JobScriptSyntax, ErrorNamesLineAndColumn) {
    const std::string message = ErrorOf(GetParam().text);
    EXPECT_EQ(message.rfind(GetParam().expected, 0), 0u) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobScriptSyntax,
    ::testing::Values(
        // A missing comma between two members: the error is at the end of the second key.
        SyntaxCase{"{\n  \"document\": \"a\"\n  \"pages\": []\n}", "job.json: line 3, column 9: "},
        // A trailing comma before the closing bracket.
        SyntaxCase{"{\"pages\": [\n  {},\n]}", "job.json: line 3, column 1: "},
        // A bare word where a value belongs.
        SyntaxCase{"{\"pages\": [{\"items\": [{\"type\": rect}]}]}",
                   "job.json: line 1, column 32: "},
        // A string that never ends.
        SyntaxCase{"{\n\"document\": \"abc", "job.json: line 2, column 17: "},
        SyntaxCase{"", "job.json: line 1, column 1: "},
        SyntaxCase{"{\"pages\": []} x", "job.json: line 1, column 15: "}));

TEST(JobScriptSyntax, MessageKeepsTheParserDetail) {
    EXPECT_EQ(ErrorOf("{\"pages\": [}"),
              "job.json: line 1, column 12: syntax error while parsing value - unexpected '}'; "
              "expected '[', '{', or a literal");
}

TEST(JobScriptSyntax, PositionOfOffset) {
    const std::string text = "ab\ncd\n\nx";
    EXPECT_EQ(PositionOfOffset(text, 0).line, 1u);
    EXPECT_EQ(PositionOfOffset(text, 1).column, 2u);
    EXPECT_EQ(PositionOfOffset(text, 3).line, 2u);
    EXPECT_EQ(PositionOfOffset(text, 3).column, 1u);
    EXPECT_EQ(PositionOfOffset(text, 7).line, 4u);
    EXPECT_EQ(PositionOfOffset(text, 99).column, 2u);  // just after the last byte
}

struct KeyCase {
    const char* text;
    const char* expected;  // whole message
};

class JobScriptKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(JobScriptKeys, ErrorNamesTheKeyPath) {
    EXPECT_EQ(ErrorOf(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Unknown, JobScriptKeys,
    ::testing::Values(
        KeyCase{R"({"pages": [], "pagez": 1})",
                "job.json: unknown key \"pagez\" (allowed: \"document\", \"pages\", \"paper\", "
                "\"devmode\", \"options\")"},
        KeyCase{R"({"pages": [{"item": []}]})",
                "job.json: pages[0]: unknown key \"item\" (allowed: \"items\")"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "rect", "x": 0, "y": 0, "widht": 1, "height": 1}]}]})",
            "job.json: pages[0].items[0]: unknown key \"widht\" (allowed: \"type\", \"x\", "
            "\"y\", \"width\", \"height\", \"gray\")"},
        KeyCase{R"({"paper": {"dpi": 203}, "pages": []})",
                "job.json: paper: unknown key \"dpi\" (allowed: \"width\", \"height\", \"bpp\", "
                "\"band\")"},
        KeyCase{R"({"devmode": {"colour": "color"}, "pages": []})",
                "job.json: devmode: unknown key \"colour\" (allowed: \"copies\", \"orientation\", "
                "\"source\", \"color\")"},
        KeyCase{R"({"options": {"InputBim": "Option1"}, "pages": []})",
                "job.json: options: unknown key \"InputBim\" (allowed: \"InputBin\", "
                "\"Orientation\")"}));

INSTANTIATE_TEST_SUITE_P(
    Duplicate, JobScriptKeys,
    ::testing::Values(KeyCase{R"({"pages": [], "pages": []})", "job.json: duplicate key \"pages\""},
                      KeyCase{R"({"paper": {"bpp": 1, "bpp": 8}, "pages": []})",
                              "job.json: paper: duplicate key \"bpp\""},
                      KeyCase{
                          R"({"pages": [{"items": []}, {"items": [[1, {"a": 1}], {"type": "rect"},
                   {"type": "rect", "x": 1, "x": 2}]}]})",
                          "job.json: pages[1].items[2]: duplicate key \"x\""}));

INSTANTIATE_TEST_SUITE_P(
    WrongValues, JobScriptKeys,
    ::testing::Values(
        KeyCase{R"({"pages": [{"items": [{"type": "text", "text": "a", "x": 0, "y": 0},
                   {"type": "rect", "x": 0, "y": 0, "width": 1, "height": 1},
                   {"type": "rect", "x": 0, "y": 0, "width": "10", "height": 1}]}]})",
                "job.json: pages[0].items[2].width: expected an integer, got string"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "rect", "x": 0.5, "y": 0, "width": 1, "height": 1}]}]})",
            "job.json: pages[0].items[0].x: expected an integer, got number"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "rect", "x": 0, "y": 0, "width": 1, "height": 1, "gray": 256}]}]})",
            "job.json: pages[0].items[0].gray: must be from 0 to 255, got 256"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "rect", "x": 0, "y": 0, "width": -1, "height": 1}]}]})",
            "job.json: pages[0].items[0].width: must be from 0 to 65535, got -1"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "rect", "x": 18446744073709551615, "y": 0, "width": 1, "height": 1}]}]})",
            "job.json: pages[0].items[0].x: must be from -65535 to 65535, got "
            "18446744073709551615"},
        KeyCase{R"({"pages": [{"items": [{"type": "rect", "y": 0, "width": 1, "height": 1}]}]})",
                "job.json: pages[0].items[0]: missing key \"x\""},
        KeyCase{R"({"pages": [{"items": [{"x": 0}]}]})",
                "job.json: pages[0].items[0]: missing key \"type\""},
        KeyCase{R"({"pages": [{"items": [{"type": "circle"}]}]})",
                "job.json: pages[0].items[0].type: unknown value \"circle\" (allowed: \"rect\", "
                "\"image\", \"text\")"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "image", "path": "a.png", "x": 0, "y": 0, "stretch": "yes"}]}]})",
            "job.json: pages[0].items[0].stretch: expected true or false, got string"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "image", "path": "a.png", "x": 0, "y": 0, "width": 0}]}]})",
            "job.json: pages[0].items[0].width: must be from 1 to 65535, got 0"},
        KeyCase{R"({"pages": [{"items": [{"type": "text", "text": 5, "x": 0, "y": 0}]}]})",
                "job.json: pages[0].items[0].text: expected a string, got number"},
        KeyCase{R"({"pages": [{"items": [{"type": "text", "text": "a\u0000b", "x": 0, "y": 0}]}]})",
                "job.json: pages[0].items[0].text: must not contain a NUL character"},
        KeyCase{
            R"({"pages": [{"items": [{"type": "text", "text": "a", "font": "", "x": 0, "y": 0}]}]})",
            "job.json: pages[0].items[0].font: a font family name has 1 to 31 characters"},
        KeyCase{R"({"pages": [{"items": {}}]})",
                "job.json: pages[0].items: expected an array, got object"},
        KeyCase{R"({"pages": [3]})", "job.json: pages[0]: expected an object, got number"},
        KeyCase{R"({"pages": {}})", "job.json: pages: expected an array, got object"},
        KeyCase{R"({"document": "x"})", "job.json: missing key \"pages\""},
        KeyCase{R"([1, 2])", "job.json: a job script is a JSON object, got array"},
        KeyCase{R"({"paper": {"bpp": 4}, "pages": []})",
                "job.json: paper.bpp: must be 1 or 8, got 4"},
        KeyCase{R"({"paper": {"band": 0}, "pages": []})",
                "job.json: paper.band: must be from 1 to 65535, got 0"},
        KeyCase{R"({"paper": {"width": 65535, "height": 65535, "bpp": 8}, "pages": []})",
                "job.json: paper: a page of 65535 x 65535 dots at 8 bpp is too large"},
        KeyCase{R"({"devmode": {"copies": 0}, "pages": []})",
                "job.json: devmode.copies: must be from 1 to 9999, got 0"},
        KeyCase{R"({"devmode": {"orientation": "sideways"}, "pages": []})",
                "job.json: devmode.orientation: unknown value \"sideways\" (allowed: \"portrait\", "
                "\"landscape\")"},
        KeyCase{R"({"options": {"InputBin": 2}, "pages": []})",
                "job.json: options.InputBin: expected a string, got number"}));

struct PathCase {
    const char* path;
    const char* expected;  // "" = accepted
};

class JobScriptPicturePaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(JobScriptPicturePaths, StayInsideTheScriptFolder) {
    const std::string text = std::string(R"({"pages": [{"items": [{"type": "image", "path": ")") +
                             GetParam().path + R"(", "x": 0, "y": 0}]}]})";
    EXPECT_EQ(ErrorOf(text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobScriptPicturePaths,
    ::testing::Values(
        PathCase{"logo.png", ""}, PathCase{"pics/./a/../logo.png", ""},
        PathCase{"pics\\\\logo.png", ""},
        PathCase{"", "job.json: pages[0].items[0].path: the picture path is empty"},
        PathCase{"/etc/logo.png",
                 "job.json: pages[0].items[0].path: picture path \"/etc/logo.png\" must be "
                 "relative to the script's folder"},
        PathCase{"../logo.png",
                 "job.json: pages[0].items[0].path: picture path \"../logo.png\" leaves the "
                 "script's folder"},
        PathCase{"pics/../../logo.png",
                 "job.json: pages[0].items[0].path: picture path \"pics/../../logo.png\" leaves "
                 "the script's folder"},
        PathCase{"..\\\\logo.png",
                 "job.json: pages[0].items[0].path: picture path \"..\\logo.png\" leaves the "
                 "script's folder"},
        PathCase{"pics/..",
                 "job.json: pages[0].items[0].path: picture path \"pics/..\" leaves "
                 "the script's folder"}));

// A script file with pictures next to it.
class JobScriptFiles : public ::testing::Test {
protected:
    void WritePng(const std::string& name, const script_test::PngSpec& spec) {
        const auto bytes = script_test::EncodePng(spec);
        std::filesystem::create_directories((dir.path() / name).parent_path());
        WriteFile(dir.path() / name, std::string(bytes.begin(), bytes.end()));
    }
    std::filesystem::path WriteScript(const std::string& text) {
        WriteFile(dir.path() / "job.json", text);
        return dir.path() / "job.json";
    }
    std::string LoadError(const std::filesystem::path& file) {
        try {
            LoadJobScript(file);
        } catch (const ScriptError& e) {
            return e.what();
        }
        return "";
    }
    TempDir dir;
};

TEST_F(JobScriptFiles, LoadsPicturesOnceAndFillsTheirSize) {
    WritePng("pics/dot.png", {3, 2, PNG_COLOR_TYPE_GRAY, 8, {0, 0, 0, 0, 0, 0}});
    const JobScript s = LoadJobScript(WriteScript(R"({"pages": [
        {"items": [{"type": "image", "path": "pics/dot.png", "x": 0, "y": 0}]},
        {"items": [{"type": "image", "path": "pics/dot.png", "x": 0, "y": 0, "width": 9}]}]})"));
    const auto& a = std::get<ImageItem>(s.pages[0].items[0]);
    const auto& b = std::get<ImageItem>(s.pages[1].items[0]);
    ASSERT_TRUE(a.picture);
    EXPECT_EQ(a.picture, b.picture);
    EXPECT_EQ(a.width, 3);
    EXPECT_EQ(a.height, 2);
    EXPECT_EQ(b.width, 9);
    EXPECT_EQ(b.height, 2);
    EXPECT_EQ(s.folder, dir.path());
}

TEST_F(JobScriptFiles, MissingPictureNamesItsPath) {
    const auto file = WriteScript(
        R"({"pages": [{"items": [{"type": "image", "path": "logo.png", "x": 0, "y": 0}]}]})");
    EXPECT_EQ(LoadError(file), file.string() +
                                   ": pages[0].items[0].path: picture \"logo.png\" not found (" +
                                   (dir.path() / "logo.png").string() + ")");
}

TEST_F(JobScriptFiles, BrokenPictureIsAnError) {
    WriteFile(dir.path() / "logo.png", "not a picture");
    const auto file = WriteScript(
        R"({"pages": [{"items": [{"type": "image", "path": "logo.png", "x": 0, "y": 0}]}]})");
    EXPECT_EQ(LoadError(file), file.string() + ": pages[0].items[0].path: picture \"logo.png\": " +
                                   (dir.path() / "logo.png").string() + ": not a PNG file");
}

TEST_F(JobScriptFiles, FileErrors) {
    EXPECT_EQ(LoadError(dir.path() / "none.json"),
              (dir.path() / "none.json").string() + ": job script not found");
    const auto file = WriteScript("{\n  \"pages\": [\n}");
    EXPECT_EQ(LoadError(file).rfind(file.string() + ": line 3, column 1: ", 0), 0u)
        << LoadError(file);
}

}  // namespace
