// kv580 emulate: the command line writes the picture and the JSON listing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "stream_builder.h"
#include "test_support.h"

namespace {

using namespace emulator_test;
using testing_support::ReadFile;
using testing_support::RunKv580;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string AsString(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

TEST(EmulateCommand, WritesPngAndListing) {
    TempDir dir;
    Bytes job = Cat({B({0x1B, 0x40, 0x1B, 0x3D, 0x01}), S("Hello"), B({0x1B, 0x4A, 0x18}),
                     B({0x00, 0x1B, 0x33, 0x00, 0x00, 0x0A, 0x1B, 0x4A, 0x00, 0x1B, 0x32, 0x0C,
                        0x00, 0x08, 0x01, 0x00}),
                     B({0x00, 0x1B, 0x33, 0x00, 0x00, 0x0A, 0x1D, 0x56, 0x42, 0x00, 0x1B, 0x32}),
                     B({0x1B, 0xFE})});
    WriteFile(dir.path() / "job.prn", AsString(job));
    auto r =
        RunKv580({"emulate", (dir.path() / "job.prn").string(), "--png",
                  (dir.path() / "out.png").string(), "--json", (dir.path() / "out.json").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("1 page markers, 1 cuts"), std::string::npos) << r.out;
    std::string png = ReadFile(dir.path() / "out.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");

    auto listing = nlohmann::json::parse(ReadFile(dir.path() / "out.json"));
    EXPECT_EQ(listing["format"], "kv580-emulator-listing");
    EXPECT_EQ(listing["input_bytes"], job.size());
    EXPECT_EQ(listing["paper"]["picture_width"], 640);
    EXPECT_EQ(listing["summary"]["unknown"], 1);
    EXPECT_EQ(listing["summary"]["cuts"], 1);
    EXPECT_EQ(listing["page_markers"][0]["page"], 1);
    const auto& first = listing["commands"][0];
    EXPECT_EQ(first["command"], "ESC @");
    EXPECT_EQ(first["name"], "initialize printer");
    EXPECT_EQ(first["bytes"], "1B 40");
    EXPECT_EQ(listing["commands"][2]["text"], "Hello");
    bool cutListed = false;
    for (const auto& o : listing["objects"]) {
        if (o["kind"] == "cut") {
            cutListed = true;
            EXPECT_EQ(o["cut"], "feed to the cutter and partial cut");
        }
    }
    EXPECT_TRUE(cutListed);
}

TEST(EmulateCommand, WidthOptionAndErrors) {
    TempDir dir;
    WriteFile(dir.path() / "job.prn", "A\n");
    auto narrow = RunKv580({"emulate", (dir.path() / "job.prn").string(), "--png",
                            (dir.path() / "n.png").string(), "--json", "-", "--width", "384"});
    ASSERT_EQ(narrow.exitCode, 0) << narrow.err;
    EXPECT_EQ(nlohmann::json::parse(narrow.out)["paper"]["picture_width"], 384 + 64);

    auto missing = RunKv580(
        {"emulate", (dir.path() / "none.prn").string(), "--png", (dir.path() / "x.png").string()});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;

    auto noPng = RunKv580({"emulate", (dir.path() / "job.prn").string()});
    EXPECT_NE(noPng.exitCode, 0);

    auto badDir = RunKv580({"emulate", (dir.path() / "job.prn").string(), "--png",
                            (dir.path() / "no" / "such" / "x.png").string()});
    EXPECT_NE(badDir.exitCode, 0);
    EXPECT_NE(badDir.err.find("cannot create"), std::string::npos) << badDir.err;
}

TEST(EmulateCommand, EmptyInputGivesBlankPaper) {
    TempDir dir;
    WriteFile(dir.path() / "empty.prn", "");
    auto r = RunKv580(
        {"emulate", (dir.path() / "empty.prn").string(), "--png", (dir.path() / "e.png").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
