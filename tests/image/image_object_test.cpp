// The image object: storage, life cycle, pixel and palette access, Decode, WriteBmp, grey.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "image_test_util.h"
#include "test_support.h"
#include "win32/heap.h"
#include "ximage.h"

using namespace image_test;

namespace {

struct CreateCase {
    DWORD width, height, bppIn;
    WORD bpp;
    DWORD effWidth, entries;
};

class CreateTest : public testing::TestWithParam<CreateCase> {};

TEST_P(CreateTest, FillsHeaderAndLayout) {
    const CreateCase& c = GetParam();
    CxImage img;
    void* block = img.Create(c.width, c.height, c.bppIn);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(img.GetBpp(), c.bpp);
    EXPECT_EQ(img.GetEffWidth(), c.effWidth);
    EXPECT_EQ(img.GetNumColors(), c.entries);
    const BITMAPINFOHEADER& h = img.GetHeader();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, static_cast<LONG>(c.width));
    EXPECT_EQ(h.biHeight, static_cast<LONG>(c.height));
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, c.effWidth * c.height);
    EXPECT_EQ(h.biClrUsed, c.entries);
    EXPECT_EQ(h.biClrImportant, 0u);
    EXPECT_EQ(h.biXPelsPerMeter, 3780);
    EXPECT_EQ(h.biYPelsPerMeter, 3780);
    // The block is header, palette, rows; the header copy in the block matches.
    EXPECT_EQ(std::memcmp(block, &h, 40), 0);
    EXPECT_EQ(img.GetBits(), static_cast<BYTE*>(block) + 40 + c.entries * 4);
    EXPECT_EQ(img.GetBitmapBlockSize(), 40 + c.entries * 4 + c.effWidth * c.height);
    for (DWORD i = 0; i < c.entries; ++i) EXPECT_TRUE(Same(img.GetPaletteColor(i), Rgb(0, 0, 0)));
    EXPECT_EQ(img.GetRow(c.height - 1), img.GetBits() + (c.height - 1) * c.effWidth);
    EXPECT_EQ(img.GetRow(c.height), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, CreateTest,
    testing::Values(CreateCase{10, 3, 1, 1, 4, 2}, CreateCase{10, 3, 0, 1, 4, 2},
                    CreateCase{10, 3, 3, 4, 8, 16}, CreateCase{10, 3, 8, 8, 12, 256},
                    CreateCase{10, 3, 16, 24, 32, 0}, CreateCase{33, 2, 1, 1, 8, 2},
                    CreateCase{1, 1, 24, 24, 4, 0}));

TEST(ImageObject, CreateRejectsZeroSize) {
    for (auto [w, h] : {std::pair{0u, 5u}, std::pair{5u, 0u}}) {
        CxImage img;
        EXPECT_EQ(img.Create(w, h, 1), nullptr);
        EXPECT_STREQ(img.GetLastErrorText(),
                     "CxImage::Create : width and height must be greater than zero");
        EXPECT_FALSE(img.IsValid());
    }
}

TEST(ImageObject, CreateReportsAllocationFailure) {
    CxImage img;
    platform::FailAllocation(1);
    EXPECT_EQ(img.Create(10, 10, 8), nullptr);
    platform::ResetAllocationFaults();
    EXPECT_STREQ(img.GetLastErrorText(), "CxImage::Create can't allocate memory");
    // Sizes the header cannot hold fail the same way, without trying.
    EXPECT_EQ(img.Create(0x80000000u, 1, 1), nullptr);
    EXPECT_EQ(img.Create(0x7FFFFFFFu, 0x7FFFFFFFu, 24), nullptr);
    EXPECT_STREQ(img.GetLastErrorText(), "CxImage::Create can't allocate memory");
}

TEST(ImageObject, CreateOnValidImageReplacesIt) {
    CxImage img;
    ASSERT_NE(img.Create(100, 100, 24), nullptr);
    ASSERT_NE(img.Create(2, 2, 1), nullptr);  // no leak under ASan
    EXPECT_EQ(img.GetWidth(), 2u);
}

TEST(ImageObject, PixelLayoutPerDepth) {
    CxImage one;
    ASSERT_NE(one.Create(10, 3, 1), nullptr);
    one.SetPixelIndex(9, 1, 1);
    EXPECT_EQ(one.GetRow(1)[1], 0x40);  // byte 1, bit 6
    one.SetPixelIndex(0, 0, 1);
    EXPECT_EQ(one.GetRow(0)[0], 0x80);
    one.SetPixelIndex(0, 0, 2);  // masked to one bit
    EXPECT_EQ(one.GetRow(0)[0], 0x00);

    CxImage four;
    ASSERT_NE(four.Create(10, 3, 4), nullptr);
    four.SetPixelIndex(3, 0, 0xA);
    four.SetPixelIndex(2, 0, 0x15);  // masked to 5
    EXPECT_EQ(four.GetRow(0)[1], 0x5A);
    EXPECT_EQ(four.GetPixelIndex(3, 0), 0xA);
    EXPECT_EQ(four.GetPixelIndex(2, 0), 0x5);

    CxImage eight;
    ASSERT_NE(eight.Create(10, 3, 8), nullptr);
    eight.SetPixelIndex(7, 2, 200);
    EXPECT_EQ(eight.GetRow(2)[7], 200);

    CxImage rgb;
    ASSERT_NE(rgb.Create(10, 3, 24), nullptr);
    rgb.SetPixelColor(2, 1, Rgb(10, 20, 30));
    const BYTE* p = rgb.GetRow(1) + 6;
    EXPECT_EQ(p[0], 30);  // blue
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    rgb.SetPixelIndex(2, 1, 5);  // no palette: ignored
    EXPECT_EQ(rgb.GetPixelIndex(2, 1), 0);
}

TEST(ImageObject, GuardedAccessOutsideTheImage) {
    CxImage img;
    Fill(img, 8, {{7, 8}, {9, 10}});
    RGBQUAD pal[11] = {};
    for (int i = 0; i < 11; ++i) pal[i] = Rgb(static_cast<BYTE>(i * 20), 1, 2);
    img.SetPalette(pal, 11);

    img.SetPixelIndex(2, 0, 99);  // outside: ignored
    img.SetPixelIndex(-1, 0, 99);
    img.SetPixelColor(0, 2, Rgb(0, 0, 0));
    EXPECT_EQ(Indexes(img), (std::vector<std::vector<int>>{{7, 8}, {9, 10}}));

    // Background index -1: index reads give the first pixel byte, colour reads pixel (0, 0).
    EXPECT_EQ(img.GetPixelIndex(5, 5), 7);
    EXPECT_TRUE(Same(img.GetPixelColor(-1, 0), pal[7]));
    EXPECT_TRUE(Same(img.GetPixelColor(1, 1), pal[10]));

    img.SetBackgroundIndex(9);
    EXPECT_EQ(img.GetPixelIndex(-3, 0), 9);
    EXPECT_TRUE(Same(img.GetPixelColor(0, 7), pal[9]));

    CxImage rgb;
    ASSERT_NE(rgb.Create(2, 2, 24), nullptr);
    rgb.SetPixelColor(0, 0, Rgb(1, 2, 3));
    EXPECT_TRUE(Same(rgb.GetPixelColor(-1, -1), Rgb(1, 2, 3)));
    rgb.SetBackgroundColor(RGBQUAD{4, 5, 6, 7});
    EXPECT_EQ(rgb.GetPixelColor(0, 0).rgbReserved, 7);  // reserved from the background colour
    rgb.SetBackgroundIndex(0);
    EXPECT_TRUE(Same(rgb.GetPixelColor(9, 9), (RGBQUAD{4, 5, 6, 7})));

    CxImage empty;
    empty.SetBackgroundColor(RGBQUAD{1, 2, 3, 0});
    EXPECT_EQ(empty.GetPixelIndex(0, 0), 0);
    EXPECT_TRUE(Same(empty.GetPixelColor(0, 0), (RGBQUAD{1, 2, 3, 0})));
    empty.SetPixelColor(0, 0, Rgb(1, 1, 1));  // nothing to write into
    EXPECT_EQ(empty.GetRow(0), nullptr);
    EXPECT_EQ(empty.GetPalette(), nullptr);
    EXPECT_EQ(empty.GetBitmapInfo(), nullptr);
}

TEST(ImageObject, FindNearestIndex) {
    CxImage img;
    ASSERT_NE(img.Create(4, 1, 1), nullptr);
    img.SetStandardPalette();
    EXPECT_EQ(img.FindNearestIndex(Rgb(127, 127, 127)), 0);
    EXPECT_EQ(img.FindNearestIndex(Rgb(128, 128, 128)), 1);
    EXPECT_EQ(img.FindNearestIndex(Rgb(255, 255, 255)), 1);

    // The cache is dropped when the palette changes.
    const RGBQUAD swapped[2] = {Rgb(255, 255, 255), Rgb(0, 0, 0)};
    img.SetPalette(swapped, 2);
    EXPECT_EQ(img.FindNearestIndex(Rgb(255, 255, 255)), 0);

    // Ties keep the lower index; biClrImportant limits the search.
    CxImage four;
    ASSERT_NE(four.Create(1, 1, 4), nullptr);
    const RGBQUAD pal[4] = {Rgb(0, 0, 0), Rgb(100, 0, 0), Rgb(120, 0, 0), Rgb(100, 0, 0)};
    four.SetPalette(pal, 4);
    EXPECT_EQ(four.FindNearestIndex(Rgb(110, 0, 0)), 1);
    EXPECT_EQ(four.FindNearestIndex(Rgb(100, 0, 0)), 1);
    EXPECT_EQ(four.FindNearestIndex(Rgb(0, 0, 1)), 0);  // black is nearest
    four.SetClrImportant(1);
    four.SetPalette(pal, 4);  // drops the cache
    EXPECT_EQ(four.FindNearestIndex(Rgb(120, 0, 0)), 0);

    CxImage rgb;
    ASSERT_NE(rgb.Create(1, 1, 24), nullptr);
    EXPECT_EQ(rgb.FindNearestIndex(Rgb(9, 9, 9)), 0);
}

TEST(ImageObject, GreyPaletteAndGreyTest) {
    struct Case {
        DWORD bpp;
        std::vector<int> greys;  // entries 0, 1, last
    };
    for (const Case& c : {Case{1, {0, 255, 255}}, Case{4, {0, 17, 255}}, Case{8, {0, 1, 255}}}) {
        CxImage img;
        ASSERT_NE(img.Create(1, 1, c.bpp), nullptr);
        img.SetGreyPalette();
        EXPECT_TRUE(Same(img.GetPaletteColor(0), Rgb(0, 0, 0)));
        const BYTE g1 = static_cast<BYTE>(c.greys[1]);
        EXPECT_TRUE(Same(img.GetPaletteColor(1), Rgb(g1, g1, g1)));
        EXPECT_TRUE(Same(img.GetPaletteColor(img.GetNumColors() - 1), Rgb(255, 255, 255)));
        EXPECT_EQ(img.IsGreyScale(), c.bpp == 8);
    }
    CxImage img;
    ASSERT_NE(img.Create(1, 1, 8), nullptr);
    img.SetGreyPalette();
    EXPECT_TRUE(Same(img.GetPaletteColor(256), Rgb(0, 0, 0)));  // beyond the palette
    RGBQUAD odd = Rgb(5, 5, 6);
    img.SetPalette(&odd, 1);
    EXPECT_FALSE(img.IsGreyScale());
}

TEST(ImageObject, Resolution) {
    CxImage img;
    ASSERT_NE(img.Create(2, 2, 1), nullptr);
    struct Case {
        long dpi, storedDpi;
        LONG ppm;
    };
    for (const Case& c : {Case{203, 203, 7992}, Case{300, 300, 11811}, Case{0, 96, 3780},
                          Case{-5, 96, 3780}, Case{96, 96, 3780}}) {
        img.SetXDpi(c.dpi);
        img.SetYDpi(c.dpi);
        EXPECT_EQ(img.GetXDpi(), c.storedDpi);
        EXPECT_EQ(img.GetHeader().biXPelsPerMeter, c.ppm);
        EXPECT_EQ(img.GetHeader().biYPelsPerMeter, c.ppm);
        // The copy inside the bitmap block follows.
        EXPECT_EQ(static_cast<const BITMAPINFOHEADER*>(static_cast<void*>(img.GetBits() - 48))
                      ->biXPelsPerMeter,
                  c.ppm);
    }
    // A new image takes the current resolution.
    img.SetXDpi(203);
    ASSERT_NE(img.Create(2, 2, 8), nullptr);
    EXPECT_EQ(img.GetHeader().biXPelsPerMeter, 7992);
}

TEST(ImageObject, TakeOverMovesEverything) {
    CxImage a, b;
    Fill(b, 8, {{1, 2, 3}});
    b.SetXDpi(203);
    BYTE* bits = b.GetBits();
    ASSERT_NE(a.Create(5, 5, 24), nullptr);
    EXPECT_TRUE(a.TakeOver(b));
    EXPECT_EQ(a.GetBits(), bits);
    EXPECT_EQ(a.GetWidth(), 3u);
    EXPECT_EQ(a.GetXDpi(), 203);
    EXPECT_EQ(a.GetPixelIndex(2, 0), 3);
    EXPECT_FALSE(b.IsValid());
    EXPECT_EQ(b.GetWidth(), 0u);
    EXPECT_EQ(b.GetBits(), nullptr);
    EXPECT_TRUE(a.TakeOver(a));  // moving into itself keeps the image
    EXPECT_EQ(a.GetPixelIndex(1, 0), 2);
    EXPECT_TRUE(a.Release());
    EXPECT_FALSE(a.IsValid());
}

// ---- Decode -------------------------------------------------------------------------------

BITMAPINFOHEADER Header(LONG w, LONG h, WORD bpp, DWORD sizeImage = 0) {
    BITMAPINFOHEADER hd{};
    hd.biSize = 40;
    hd.biWidth = w;
    hd.biHeight = h;
    hd.biPlanes = 1;
    hd.biBitCount = bpp;
    hd.biSizeImage = sizeImage;
    hd.biXPelsPerMeter = 7992;
    hd.biYPelsPerMeter = 0;
    return hd;
}

TEST(Decode, MonochromePage) {
    const BITMAPINFOHEADER hd = Header(32, 3, 1, 12);
    const RGBQUAD pal[2] = {{0, 0, 0, 9}, {255, 255, 255, 9}};
    const BYTE bits[12] = {0x0F, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 1};
    CxImage img;
    ASSERT_TRUE(img.Decode(&hd, bits, pal, sizeof(pal)));
    EXPECT_EQ(img.GetWidth(), 32u);
    EXPECT_EQ(img.GetHeight(), 3u);
    EXPECT_EQ(img.GetBpp(), 1);
    EXPECT_TRUE(Same(img.GetPixelColor(0, 0), Rgb(0, 0, 0)));
    EXPECT_TRUE(Same(img.GetPixelColor(4, 0), Rgb(255, 255, 255)));  // reserved reset to 0
    EXPECT_TRUE(Same(img.GetPixelColor(31, 2), Rgb(255, 255, 255)));
    EXPECT_TRUE(Same(img.GetPixelColor(30, 2), Rgb(0, 0, 0)));
    EXPECT_EQ(std::memcmp(img.GetBits(), bits, 12), 0);  // rows in memory order
    EXPECT_EQ(img.GetXDpi(), 203);
    EXPECT_EQ(img.GetYDpi(), 96);  // 0 pels per metre
}

TEST(Decode, SizesAndLimits) {
    // biSizeImage 0 is computed; a negative height counts as its size; rows are not reordered.
    const BITMAPINFOHEADER hd = Header(3, -2, 8);
    const BYTE bits[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    CxImage img;
    ASSERT_TRUE(img.Decode(&hd, bits, nullptr, 0));
    EXPECT_EQ(img.GetHeight(), 2u);
    EXPECT_EQ(Indexes(img), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 5, 6}}));

    // A short buffer: only what bitsBytes offers is read, the rest stays 0.
    CxImage part;
    ASSERT_TRUE(part.Decode(&hd, bits, nullptr, 0, 5));
    EXPECT_EQ(Indexes(part), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 0, 0}}));

    // biSizeImage larger than the image: never more than the pixel area.
    const BITMAPINFOHEADER big = Header(3, 2, 8, 1000);
    std::vector<BYTE> many(1000, 7);
    CxImage capped;
    ASSERT_TRUE(capped.Decode(&big, many.data(), nullptr, 0));
    EXPECT_EQ(capped.GetPixelIndex(2, 1), 7);

    // A palette shorter than the image's: the rest stays black.
    CxImage p;
    const RGBQUAD one[1] = {{10, 20, 30, 40}};
    ASSERT_TRUE(p.Decode(&hd, bits, one, sizeof(one)));
    EXPECT_TRUE(Same(p.GetPaletteColor(0), (RGBQUAD{10, 20, 30, 0})));
    EXPECT_TRUE(Same(p.GetPaletteColor(1), Rgb(0, 0, 0)));

    // Compressed data is not copied, but the image exists.
    BITMAPINFOHEADER rle = Header(3, 2, 8);
    rle.biCompression = BI_RLE8;
    CxImage c;
    ASSERT_TRUE(c.Decode(&rle, bits, nullptr, 0));
    EXPECT_EQ(Indexes(c), (std::vector<std::vector<int>>{{0, 0, 0}, {0, 0, 0}}));
}

TEST(Decode, BadHeadersFail) {
    CxImage img;
    EXPECT_FALSE(img.Decode(nullptr, nullptr, nullptr, 0));
    for (const BITMAPINFOHEADER& hd :
         {Header(0, 5, 1), Header(-4, 5, 1), Header(4, 0, 8), Header(4, INT32_MIN, 8)}) {
        const BYTE bits[4] = {};
        EXPECT_FALSE(img.Decode(&hd, bits, nullptr, 0));
        EXPECT_FALSE(img.IsValid());
    }
}

// ---- WriteBmp -----------------------------------------------------------------------------

// A stream that keeps what is written, optionally refusing after some bytes.
class MemoryStream : public ImageStream {
public:
    std::string data;
    size_t limit = static_cast<size_t>(-1);
    bool Close() override { return true; }
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        if (data.size() + size * count > limit) return 0;
        data.append(static_cast<const char*>(buffer), size * count);
        return count;
    }
    bool Seek(long, int) override { return false; }
    long Tell() override { return static_cast<long>(data.size()); }
    long Size() override { return static_cast<long>(data.size()); }
    bool Flush() override { return true; }
    bool AtEnd() override { return true; }
    long ErrorState() override { return 0; }
    long GetByte() override { return -1; }
    char* GetLine(char*, int) override { return nullptr; }
    long ScanFormat(const char*, void*) override { return -1; }
};

TEST(WriteBmp, MonochromeFileByteByByte) {
    CxImage img;
    Fill(img, 1,
         {{1, 0, 0, 0, 0, 0, 0, 0, 0, 1},
          {0, 1, 0, 0, 0, 0, 0, 0, 0, 0},
          {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}});
    img.SetStandardPalette();
    MemoryStream out;
    ASSERT_TRUE(img.WriteBmp(&out));
    const std::string expected = testing_support::FromHex(
        "42 4D 4A 00 00 00 00 00 00 00 3E 00 00 00"                    // file header
        "28 00 00 00 0A 00 00 00 03 00 00 00 01 00 01 00 00 00 00 00"  // info header
        "0C 00 00 00 C4 0E 00 00 C4 0E 00 00 02 00 00 00 00 00 00 00"
        "00 00 00 00 FF FF FF 00"  // palette
        "80 40 00 00 40 00 00 00 FF C0 00 00");
    EXPECT_EQ(out.data.size(), 74u);
    EXPECT_EQ(out.data, expected);
}

TEST(WriteBmp, FailuresAreReported) {
    CxImage img;
    MemoryStream out;
    EXPECT_FALSE(img.WriteBmp(&out));
    EXPECT_STREQ(img.GetLastErrorText(), "null image!!!");
    ASSERT_NE(img.Create(10, 3, 8), nullptr);
    EXPECT_FALSE(img.WriteBmp(nullptr));
    EXPECT_STREQ(img.GetLastErrorText(), "null file handler");
    out.limit = 100;  // a full disk in the middle of the block
    EXPECT_FALSE(img.WriteBmp(&out));
    EXPECT_STREQ(img.GetLastErrorText(), "CxImage::WriteBmp : write failed");
}

TEST(WriteBmp, ThroughAFileStream) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    CxImage img;
    ASSERT_NE(img.Create(3, 2, 24), nullptr);
    img.SetPixelColor(2, 1, Rgb(1, 2, 3));
    {
        FileImageStream stream(f, false);
        ASSERT_TRUE(img.WriteBmp(&stream));
        EXPECT_TRUE(stream.Flush());
        EXPECT_EQ(stream.Size(), 14 + 40 + 24);
    }  // not owned: still open
    std::rewind(f);
    BYTE bytes[78] = {};
    ASSERT_EQ(std::fread(bytes, 1, sizeof(bytes), f), sizeof(bytes));
    EXPECT_EQ(bytes[10], 54);          // bfOffBits
    EXPECT_EQ(bytes[54 + 12 + 6], 3);  // row 1, pixel 2, blue
    EXPECT_EQ(bytes[54 + 12 + 8], 1);  // red
    std::fclose(f);
}

// ---- FileImageStream ------------------------------------------------------------------------

TEST(FileImageStream, MapsOntoTheCFile) {
    FileImageStream none(nullptr);
    char line[16];
    int value = 0;
    EXPECT_EQ(none.Write("x", 1, 1), 0u);
    EXPECT_EQ(none.Read(line, 1, 1), 0u);
    EXPECT_FALSE(none.Seek(0, SEEK_SET));
    EXPECT_EQ(none.Tell(), -1);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_FALSE(none.Flush());
    EXPECT_TRUE(none.AtEnd());
    EXPECT_NE(none.ErrorState(), 0);
    EXPECT_FALSE(none.PutByte('a'));
    EXPECT_EQ(none.GetByte(), -1);
    EXPECT_EQ(none.GetLine(line, 16), nullptr);
    EXPECT_EQ(none.ScanFormat("%d", &value), -1);
    EXPECT_FALSE(none.Close());

    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    FileImageStream s(f, true);
    EXPECT_EQ(s.Write("12 ab\nxy", 1, 8), 8u);
    EXPECT_TRUE(s.PutByte('z'));
    EXPECT_TRUE(s.ImageStream::PutByte('!'));
    EXPECT_EQ(s.Tell(), 10);
    EXPECT_EQ(s.Size(), 10);
    EXPECT_EQ(s.Tell(), 10);  // Size puts the position back
    EXPECT_TRUE(s.Seek(0, SEEK_SET));
    EXPECT_EQ(s.ScanFormat("%d", &value), 1);
    EXPECT_EQ(value, 12);
    ASSERT_NE(s.GetLine(line, 16), nullptr);
    EXPECT_STREQ(line, " ab\n");
    EXPECT_EQ(s.GetByte(), 'x');
    char rest[8] = {};
    EXPECT_EQ(s.Read(rest, 1, 8), 3u);
    EXPECT_STREQ(rest, "yz!");
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.ErrorState(), 0);
    EXPECT_TRUE(s.Close());  // owned: closed here (ASan would report a leak otherwise)
    EXPECT_FALSE(s.Close());
}

// ---- ConvertToGrey ----------------------------------------------------------------------

TEST(ConvertToGrey, MonochromeBecomesIdentityGrey) {
    CxImage img;
    Fill(img, 1, {{0, 1, 1}, {1, 0, 0}});
    img.SetStandardPalette();
    ASSERT_TRUE(img.ConvertToGrey());
    EXPECT_EQ(img.GetBpp(), 8);
    EXPECT_TRUE(img.IsGreyScale());
    EXPECT_EQ(Indexes(img), (std::vector<std::vector<int>>{{0, 255, 255}, {255, 0, 0}}));
}

TEST(ConvertToGrey, PaletteAndTrueColourWeights) {
    CxImage pal8;
    Fill(pal8, 8, {{0, 1, 2}});
    const RGBQUAD pal[3] = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255)};
    pal8.SetPalette(pal, 3);
    pal8.SetBackgroundIndex(1);
    ASSERT_TRUE(pal8.ConvertToGrey());
    // 306 x 255 >> 10 = 76, 601 x 255 >> 10 = 149, 117 x 255 >> 10 = 29
    EXPECT_EQ(Indexes(pal8), (std::vector<std::vector<int>>{{76, 149, 29}}));
    EXPECT_TRUE(pal8.IsGreyScale());
    EXPECT_EQ(pal8.GetBackgroundIndex(), 149);

    CxImage pal4;
    Fill(pal4, 4, {{0, 1, 2, 2}});
    pal4.SetPalette(pal, 3);
    ASSERT_TRUE(pal4.ConvertToGrey());
    EXPECT_EQ(pal4.GetBpp(), 8);
    EXPECT_EQ(Indexes(pal4), (std::vector<std::vector<int>>{{76, 149, 29, 29}}));

    CxImage rgb;
    ASSERT_NE(rgb.Create(2, 1, 24), nullptr);
    rgb.SetPixelColor(0, 0, Rgb(100, 150, 200));
    rgb.SetPixelColor(1, 0, Rgb(255, 255, 255));
    rgb.SetXDpi(203);
    ASSERT_TRUE(rgb.ConvertToGrey());
    EXPECT_EQ(rgb.GetBpp(), 8);
    EXPECT_EQ(Indexes(rgb),
              (std::vector<std::vector<int>>{{(117 * 200 + 601 * 150 + 306 * 100) >> 10, 255}}));
    EXPECT_EQ(rgb.GetXDpi(), 203);

    CxImage empty;
    EXPECT_FALSE(empty.ConvertToGrey());
}

TEST(ConvertToGrey, AllocationFailureKeepsTheImage) {
    CxImage img;
    Fill(img, 1, {{0, 1}});
    img.SetStandardPalette();
    platform::FailAllocation(1);
    EXPECT_FALSE(img.ConvertToGrey());
    platform::ResetAllocationFaults();
    EXPECT_EQ(img.GetBpp(), 1);
    EXPECT_TRUE(Same(img.GetPaletteColor(1), Rgb(255, 255, 255)));
}

}  // namespace
