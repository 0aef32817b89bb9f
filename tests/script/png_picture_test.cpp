// PNG pictures of job scripts: every colour type and depth ends as 8-bit grey or RGB.
#include "png_picture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "png_writer.h"
#include "test_support.h"

namespace {

using jobscript::DecodePng;
using jobscript::Picture;
using jobscript::PictureError;
using script_test::EncodePng;
using script_test::PngSpec;
using Bytes = std::vector<std::uint8_t>;

struct PngCase {
    const char* name;
    PngSpec spec;
    int channels;
    Bytes pixels;
};

class PngKinds : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngKinds, DecodeToEightBitGreyOrRgb) {
    const PngCase& c = GetParam();
    const Picture picture = DecodePng(EncodePng(c.spec), c.name);
    EXPECT_EQ(picture.width, c.spec.width);
    EXPECT_EQ(picture.height, c.spec.height);
    EXPECT_EQ(picture.channels, c.channels);
    EXPECT_EQ(picture.pixels, c.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, PngKinds,
    ::testing::Values(
        PngCase{"grey8", {2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 200}}, 1, {0, 200}},
        PngCase{"grey1", {3, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0}}, 1, {255, 0, 255}},
        PngCase{"grey2", {4, 1, PNG_COLOR_TYPE_GRAY, 2, {0x1B}}, 1, {0, 85, 170, 255}},
        // 16-bit samples are scaled with rounding: 0x8080 -> 128, 0x1234 -> 18.
        PngCase{"grey16", {2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x80, 0x80, 0x12, 0x34}}, 1, {128, 18}},
        // Alpha over white: transparent -> 255, opaque -> the value, 100 at 128 -> 177.
        PngCase{"greyAlpha",
                {3, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 0, 0, 255, 100, 128}},
                1,
                {255, 0, 177}},
        PngCase{"palette",
                {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, {255, 0, 0, 0, 0, 255}},
                3,
                {255, 0, 0, 0, 0, 255}},
        PngCase{"palette4Transparent",
                {2, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x01}, {10, 20, 30, 40, 50, 60}, {0}},
                3,
                {255, 255, 255, 40, 50, 60}},
        PngCase{"rgb8",
                {1, 2, PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 40, 50, 60}},
                3,
                {10, 20, 30, 40, 50, 60}},
        PngCase{"rgb16",
                {1, 1, PNG_COLOR_TYPE_RGB, 16, {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80}},
                3,
                {255, 0, 128}},
        PngCase{"rgba8",
                {3, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {255, 0, 0, 0, 0, 0, 0, 255, 200, 100, 0, 128}},
                3,
                {255, 255, 255, 0, 0, 0, 227, 177, 127}}),
    [](const ::testing::TestParamInfo<PngCase>& info) { return std::string(info.param.name); });

TEST(PngErrors, NotAPngNamesTheFile) {
    const Bytes bytes = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    try {
        DecodePng(bytes, "logo.gif");
        FAIL() << "no error";
    } catch (const PictureError& e) {
        EXPECT_STREQ(e.what(), "logo.gif: not a PNG file");
    }
}

TEST(PngErrors, TruncatedFileIsAnErrorNotACrash) {
    const Bytes whole = EncodePng({8, 8, PNG_COLOR_TYPE_RGB, 8, Bytes(8 * 8 * 3, 7)});
    for (std::size_t keep :
         {std::size_t{8}, std::size_t{20}, whole.size() / 2, whole.size() - 13}) {
        const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_THROW(DecodePng(part, "cut.png"), PictureError) << keep;
    }
}

TEST(PngErrors, DamagedChecksumIsAnError) {
    Bytes bytes = EncodePng({2, 2, PNG_COLOR_TYPE_GRAY, 8, {1, 2, 3, 4}});
    bytes[20] ^= 0x01;  // inside the IHDR chunk: its CRC no longer matches
    EXPECT_THROW(DecodePng(bytes, "bad.png"), PictureError);
}

TEST(PngErrors, MissingFileNamesThePath) {
    testing_support::TempDir dir;
    const auto file = dir.path() / "absent.png";
    try {
        jobscript::LoadPng(file);
        FAIL() << "no error";
    } catch (const PictureError& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
}

TEST(PngFiles, LoadsAFile) {
    testing_support::TempDir dir;
    const Bytes bytes = EncodePng({1, 1, PNG_COLOR_TYPE_GRAY, 8, {42}});
    testing_support::WriteFile(dir.path() / "dot.png", std::string(bytes.begin(), bytes.end()));
    const Picture picture = jobscript::LoadPng(dir.path() / "dot.png");
    EXPECT_EQ(picture.pixels, Bytes{42});
}

}  // namespace

namespace {

TEST(PngErrors, EveryDamagedByteGivesAPictureOrAnError) {
    const Bytes whole = EncodePng(
        {3, 2, PNG_COLOR_TYPE_PALETTE, 2, {0x1B, 0x00}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {0}});
    for (std::size_t i = 0; i < whole.size(); ++i) {
        Bytes damaged = whole;
        damaged[i] ^= 0xFF;
        try {
            const Picture picture = DecodePng(damaged, "damaged.png");
            EXPECT_EQ(picture.pixels.size(), static_cast<std::size_t>(picture.width) *
                                                 static_cast<std::size_t>(picture.height) *
                                                 static_cast<std::size_t>(picture.channels));
        } catch (const PictureError&) {
        }
    }
}

}  // namespace
