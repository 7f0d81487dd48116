#include <array>
// Page to PNG and PNG to page without a window: exact both ways, strict
// about what it is given, and nothing written when it fails.
#include <png.h>

#include <cstdio>
#include <functional>
#include <random>
#include <tuple>

#include <jpeglib.h>

#include "documents/conversions.h"
#include <gtest/gtest.h>

#include "lores/lores_page.h"
#include "lores/startup_picture.h"
#include "png_reader.h"
#include "test_files.h"

using namespace testfiles;
using documents::ExportPageAsPng;
using documents::ImportPngAsPage;

namespace {

documents::ImportOptions Holes(const std::string& page) {
    documents::ImportOptions options;
    options.holesFrom = page;
    return options;
}

// The block rules, for a picture of equal blocks that is not lores already.
documents::ImportOptions BlockRules() {
    documents::ImportOptions options;
    options.dither = documents::DitherMethod::None;
    return options;
}

std::vector<std::uint8_t> Bytes(const lores::LoresPage& p) { return {p.begin(), p.end()}; }

// A PNG of any colour type and depth, written by libpng itself; pixel(x, y,
// out) gives each pixel's bytes as the type and depth lay them out.
void WritePng(const std::string& path, int width, int height, int type, int depth, int bytesPerPixel,
              const std::function<void(int, int, std::uint8_t*)>& pixel, const std::vector<png_color>& palette = {}) {
    FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, depth, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * bytesPerPixel);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixel(x, y, row.data() + x * bytesPerPixel);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

// A JPEG written by libjpeg itself, row(y) giving each row's bytes in the
// colour space. Progressive, it has a scan for each AC coefficient of each
// component: 190 scans for YCbCr, valid but far beyond what cameras write.
std::vector<std::uint8_t> Jpeg(int width, int height, J_COLOR_SPACE space, int components,
                               const std::function<const std::uint8_t*(int)>& row, int quality = 95,
                               bool scanEach = false, bool adobe = true) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.write_Adobe_marker = adobe && space == JCS_CMYK;
    std::vector<jpeg_scan_info> scans(1, jpeg_scan_info{3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int component = 0; scanEach && component < 3; ++component)
        for (int k = 1; k < 64; ++k) scans.push_back({1, {component, 0, 0, 0}, k, k, 0, 0});
    if (scanEach) {
        c.scan_info = scans.data();
        c.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = const_cast<std::uint8_t*>(row(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> bytes(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&c);
    return bytes;
}

// A JPEG of one colour (components bytes a pixel, in the colour space given).
std::vector<std::uint8_t> FlatJpeg(int width, int height, J_COLOR_SPACE space, std::vector<std::uint8_t> pixel,
                                   bool scanEach = false, bool adobe = true) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < width; ++x) row.insert(row.end(), pixel.begin(), pixel.end());
    return Jpeg(width, height, space, static_cast<int>(pixel.size()), [&](int) { return row.data(); }, 95, scanEach, adobe);
}

std::uint8_t Channel(int colour, int k) { return static_cast<std::uint8_t>(lores::LoresPalette[colour] >> (8 * k)); }

lores::LoresPage RandomPage(std::mt19937& random) {
    lores::LoresPage p{};
    for (auto& b : p) b = static_cast<std::uint8_t>(random());
    return p;
}

}  // namespace

TEST(Conversions, RoundTripsAreExactAndEveryKindOfPngReads) {
    TempDir dir;
    std::mt19937 random(3);
    for (int i = 0; i < 4; ++i) {
        const lores::LoresPage page = i == 0 ? lores::StartupPicture() : RandomPage(random);
        WriteAll(dir / "p", Bytes(page));
        ASSERT_TRUE(ExportPageAsPng(dir / "p", dir / "p.png").ok);
        const auto result = ImportPngAsPage(dir / "p.png", dir / "q", Holes(dir / "p"));
        EXPECT_EQ(result.message, (dir / "p.png") + ": by nearest colour (standard palette): 0 blocks not uniform, 0 colours not in the palette");
        ASSERT_EQ(ReadAll(dir / "q"), Bytes(page)) << "page " << i << ", holes included";
    }
    const lores::LoresPage page = RandomPage(random);
    const auto colour = [&](int x, int y) { return lores::PixelAt(page, x, y); };
    lores::LoresPage expected{};  // holes zero without --holes-from
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) lores::PlotPixel(expected, x, y, colour(x, y));

    // An emulator screenshot, 280x192 in blocks of 7x4, one pixel off the palette.
    WritePng(dir / "shot.png", 280, 192, PNG_COLOR_TYPE_RGB, 8, 3, [&](int x, int y, std::uint8_t* p) {
        for (int k = 0; k < 3; ++k) p[k] = Channel(colour(x / 7, y / 4), k);
        if (x == 0 && y == 0) p[0] ^= 1;
    });
    // A palette image at 40x48 and a 16-bit one at 80x96.
    std::vector<png_color> palette;
    for (int n = 0; n < 16; ++n) palette.push_back({Channel(n, 0), Channel(n, 1), Channel(n, 2)});
    WritePng(dir / "indexed.png", 40, 48, PNG_COLOR_TYPE_PALETTE, 8, 1,
             [&](int x, int y, std::uint8_t* p) { *p = static_cast<std::uint8_t>(colour(x, y)); }, palette);
    WritePng(dir / "deep.png", 80, 96, PNG_COLOR_TYPE_RGB, 16, 6, [&](int x, int y, std::uint8_t* p) {
        for (int k = 0; k < 6; ++k) p[k] = Channel(colour(x / 2, y / 2), k / 2);  // each channel * 257
    });
    for (const char* name : {"shot", "indexed", "deep"}) {
        const bool shot = std::string(name) == "shot";  // lores but for one pixel: lores at heart, asked or not
        const auto result = ImportPngAsPage(dir / (std::string(name) + ".png"), dir / name, shot ? BlockRules() : documents::ImportOptions());
        if (shot) {
            EXPECT_EQ(ImportPngAsPage(dir / "shot.png", dir / "shot-default").message, result.message);
        }
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(ReadAll(dir / name), Bytes(expected)) << name;
        if (std::string(name) == "shot") {
            EXPECT_EQ(result.message, (dir / "shot.png") + ": by nearest colour (standard palette): 1 block not uniform, 1 colour not in the palette");
        }
    }
}

TEST(Conversions, TiesGoToTheFirstColourToGetThereAndAlphaIsRounded) {
    TempDir dir;
    // Alpha over black lands exactly on a palette colour only when rounded.
    int colour = -1, alpha = 0;
    std::array<std::uint8_t, 3> source{};
    for (int n = 1; n < 16 && colour < 0; ++n)
        for (int a = 1; a < 255 && colour < 0; ++a) {
            bool exact = true, truncationMisses = false;
            for (int k = 0; k < 3; ++k) {
                int found = -1;
                for (int x = 0; x < 256; ++x)
                    if ((x * a + 127) / 255 == Channel(n, k) && (found < 0 || (x * a) / 255 != Channel(n, k))) found = x;
                exact = exact && found >= 0;
                if (found >= 0) {
                    source[k] = static_cast<std::uint8_t>(found);
                    truncationMisses = truncationMisses || (found * a) / 255 != Channel(n, k);
                }
            }
            if (exact && truncationMisses) colour = n, alpha = a;
        }
    ASSERT_GE(colour, 0);
    // Block (0, 0): colours 1, 2 / 2, 1 (two each: 2 got there first); block
    // (1, 0): the blended pixel.
    WritePng(dir / "ties.png", 80, 96, PNG_COLOR_TYPE_RGBA, 8, 4, [&](int x, int y, std::uint8_t* p) {
        const int n = x < 2 && y < 2 ? ((x + y) % 2 ? 2 : 1) : 0;
        for (int k = 0; k < 3; ++k) p[k] = Channel(n, k);
        p[3] = 255;
        if (x >= 2 && x < 4 && y < 2) {
            for (int k = 0; k < 3; ++k) p[k] = source[k];
            p[3] = static_cast<std::uint8_t>(alpha);
        }
    });
    const auto result = ImportPngAsPage(dir / "ties.png", dir / "out", BlockRules());
    EXPECT_EQ(result.message, (dir / "ties.png") + ": by nearest colour (standard palette): 1 block not uniform, 0 colours not in the palette");
    lores::LoresPage got{};
    const auto bytes = ReadAll(dir / "out");
    std::copy_n(bytes.begin(), 1024, got.begin());
    EXPECT_EQ(lores::PixelAt(got, 0, 0), 2) << "the first colour to reach the highest count";
    EXPECT_EQ(lores::PixelAt(got, 1, 0), colour);
}

TEST(Conversions, WhatCannotBeConvertedIsSaidAndNothingIsWritten) {
    TempDir dir;
    WriteAll(dir / "short", Pattern(1000));
    WriteAll(dir / "long", Pattern(1025));
    WriteAll(dir / "page", Pattern(1024));
    EXPECT_EQ(ExportPageAsPng(dir / "short", dir / "out.png").message, (dir / "short") + ": shorter than a 1024-byte page");
    EXPECT_EQ(ExportPageAsPng(dir / "long", dir / "out.png").message, (dir / "long") + ": longer than a 1024-byte page");
    EXPECT_FALSE(ExportPageAsPng(dir / "missing", dir / "out.png").ok);
    EXPECT_FALSE(ExportPageAsPng(dir / "page", dir / "no/folder.png").ok);

    WritePng(dir / "odd.png", 41, 48, PNG_COLOR_TYPE_RGB, 8, 3, [](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = 0; });
    documents::ImportOptions strict;
    strict.strict = true;
    EXPECT_EQ(ImportPngAsPage(dir / "odd.png", dir / "out", strict).message,
              (dir / "odd.png") + ": 41x48 does not divide into 40x48 equal blocks");
    ASSERT_TRUE(ExportPageAsPng(dir / "page", dir / "whole.png").ok);
    auto truncated = ReadAll(dir / "whole.png");
    truncated.resize(truncated.size() / 2);
    WriteAll(dir / "truncated.png", truncated);
    EXPECT_FALSE(ImportPngAsPage(dir / "truncated.png", dir / "out").ok);
    EXPECT_EQ(ImportPngAsPage(dir / "page", dir / "out").message, (dir / "page") + ": not a PNG or JPEG image");
    EXPECT_FALSE(ImportPngAsPage(dir / "whole.png", dir / "out", Holes(dir / "short")).ok) << "holes from a non-page";
    EXPECT_EQ(Entries(dir.path()),
              (std::vector<std::string>{"long", "odd.png", "page", "short", "truncated.png", "whole.png"}));
}

TEST(Conversions, PalettesIndexImportAndStrictness) {
    TempDir dir;
    std::mt19937 random(8);
    const lores::LoresPage page = RandomPage(random);
    WriteAll(dir / "p", Bytes(page));
    // Every palette exports its own colours, block for block.
    for (const lores::NamedPalette& palette : lores::Palettes()) {
        ASSERT_TRUE(ExportPageAsPng(dir / "p", dir / "p.png", palette).ok);
        const testpng::Png png = testpng::Read(ReadAll(dir / "p.png"));
        ASSERT_TRUE(png.ok) << png.error;
        for (int y = 0; y < 48; y += 5)
            for (int x = 0; x < 40; x += 3) {
                const std::uint8_t* px = png.At(x * 16 + 8, y * 8 + 4);
                const auto v = palette.colours[lores::PixelAt(page, x, y)];
                ASSERT_EQ((px[0] | px[1] << 8 | px[2] << 16), static_cast<int>(v)) << palette.name << " " << x << "," << y;
            }
        // ... and an import in the same palette gives the page back (where
        // a palette has two equal greys, as the machine does, the first).
        documents::ImportOptions options = Holes(dir / "p");
        options.palette = &palette;
        ASSERT_TRUE(ImportPngAsPage(dir / "p.png", dir / "back", options).ok);
        lores::LoresPage expected = page;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 40; ++x) {
                const auto v = palette.colours[lores::PixelAt(page, x, y)];
                const auto first = std::find(palette.colours.begin(), palette.colours.end(), v) - palette.colours.begin();
                lores::PlotPixel(expected, x, y, static_cast<int>(first));
            }
        EXPECT_EQ(ReadAll(dir / "back"), Bytes(expected)) << palette.name;
    }

    // A palette PNG whose palette is a lores palette in lores order: the
    // index is the colour, in any of the program's palettes or an
    // emulator's own (its magenta and dark blue here).
    const auto colour = [&](int x, int y) { return static_cast<std::uint8_t>(lores::PixelAt(page, x, y)); };
    const auto indexedCopy = [&](const std::string& path, const std::vector<png_color>& colours) {
        WritePng(path, 80, 96, PNG_COLOR_TYPE_PALETTE, 8, 1,
                 [&](int x, int y, std::uint8_t* p) { p[0] = colour(x / 2, y / 2); }, colours);
    };
    for (const lores::NamedPalette& named : lores::Palettes()) {
        std::vector<png_color> ordered;
        for (int n = 0; n < 16; ++n) {
            const auto v = named.colours[n];
            ordered.push_back({static_cast<png_byte>(v), static_cast<png_byte>(v >> 8), static_cast<png_byte>(v >> 16)});
        }
        indexedCopy(dir / "art.png", ordered);
        const auto result = ImportPngAsPage(dir / "art.png", dir / "art", Holes(dir / "p"));
        EXPECT_EQ(result.message, (dir / "art.png") + ": by palette index: 0 blocks not uniform") << named.name;
        EXPECT_EQ(ReadAll(dir / "art"), Bytes(page)) << "every byte, by index: " << named.name;
    }
    std::vector<png_color> emulator;
    for (int n = 0; n < 16; ++n) emulator.push_back({Channel(n, 0), Channel(n, 1), Channel(n, 2)});
    emulator[1] = {227, 30, 96};
    emulator[2] = {96, 78, 189};
    // Its greys near-equal: 5 at 156 is nearest the program's grey 10, and
    // both numbers count for either.
    emulator[5] = {156, 156, 156};
    emulator[10] = {157, 157, 157};
    bool usesGreys[2] = {};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) usesGreys[0] |= colour(x, y) == 5, usesGreys[1] |= colour(x, y) == 10;
    ASSERT_TRUE(usesGreys[0] && usesGreys[1]);
    indexedCopy(dir / "emulator.png", emulator);
    auto result = ImportPngAsPage(dir / "emulator.png", dir / "art", Holes(dir / "p"));
    EXPECT_EQ(result.message, (dir / "emulator.png") + ": by palette index: 0 blocks not uniform");
    EXPECT_EQ(ReadAll(dir / "art"), Bytes(page));

    // Any other palette is only a list of colours (a quantiser's order):
    // the same lores colours reversed, imported by colour, give the page.
    std::vector<png_color> reversed;
    for (int n = 0; n < 16; ++n) reversed.push_back({Channel(15 - n, 0), Channel(15 - n, 1), Channel(15 - n, 2)});
    WritePng(dir / "quantised.png", 80, 96, PNG_COLOR_TYPE_PALETTE, 8, 1,
             [&](int x, int y, std::uint8_t* p) { p[0] = static_cast<std::uint8_t>(15 - colour(x / 2, y / 2)); },
             reversed);
    result = ImportPngAsPage(dir / "quantised.png", dir / "art", Holes(dir / "p"));
    EXPECT_EQ(result.message, (dir / "quantised.png") + ": by nearest colour (standard palette; the picture's own "
                                                         "palette is not in lores order): 0 blocks not uniform, 0 "
                                                         "colours not in the palette");
    lores::LoresPage byColour = page;  // two numbers of one colour come back as the first
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) {
            const auto& colours = lores::LoresPalette;
            const auto first = std::find(colours.begin(), colours.end(), colours[lores::PixelAt(page, x, y)]);
            lores::PlotPixel(byColour, x, y, static_cast<int>(first - colours.begin()));
        }
    EXPECT_EQ(ReadAll(dir / "art"), Bytes(byColour));
    indexedCopy(dir / "art.png", emulator);

    // In a palette where two numbers share a colour (the machine's greys),
    // --strict refuses a picture in that colour: it cannot say which.
    {
        lores::LoresPage grey{};
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 40; ++x) lores::PlotPixel(grey, x, y, 10);
        WriteAll(dir / "grey", Bytes(grey));
        const lores::NamedPalette* ypbpr = lores::FindPalette("ypbpr");
        ASSERT_NE(ypbpr, nullptr);
        ASSERT_EQ(ypbpr->colours[5], ypbpr->colours[10]);
        ASSERT_TRUE(ExportPageAsPng(dir / "grey", dir / "grey.png", *ypbpr, false).ok);
        documents::ImportOptions strictGrey;
        strictGrey.strict = true;
        strictGrey.palette = ypbpr;
        result = ImportPngAsPage(dir / "grey.png", dir / "grey-back", strictGrey);
        EXPECT_FALSE(result.ok) << result.message;
        EXPECT_NE(result.message.find("1920 blocks in a colour two of its numbers share"), std::string::npos)
            << result.message;
        EXPECT_FALSE(Exists(dir / "grey-back"));
        // A grey near the shared one is no shared colour: taken, and not said to be.
        const auto v = ypbpr->colours[10];
        WritePng(dir / "near-grey.png", 40, 48, PNG_COLOR_TYPE_RGB, 8, 3, [&](int, int, std::uint8_t* p) {
            p[0] = static_cast<std::uint8_t>(v & 0xFF), p[1] = static_cast<std::uint8_t>(((v >> 8) & 0xFF) ^ 1),
            p[2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
        });
        documents::ImportOptions nearGrey;
        nearGrey.palette = ypbpr;
        result = ImportPngAsPage(dir / "near-grey.png", dir / "near-back", nearGrey);
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.message.find("two of its numbers share"), std::string::npos) << result.message;
    }
    // A palette of seventeen colours whose picture uses index 16 is no lores
    // order: taken by colour, and nothing read past a sixteen-entry table.
    {
        std::vector<png_color> seventeen;
        for (int n = 0; n < 16; ++n) seventeen.push_back({Channel(n, 0), Channel(n, 1), Channel(n, 2)});
        seventeen.push_back({Channel(15, 0), Channel(15, 1), Channel(15, 2)});
        WritePng(dir / "seventeen.png", 40, 48, PNG_COLOR_TYPE_PALETTE, 8, 1,
                 [&](int x, int y, std::uint8_t* p) { p[0] = static_cast<std::uint8_t>(x == 0 && y == 0 ? 16 : 3); },
                 seventeen);
        result = ImportPngAsPage(dir / "seventeen.png", dir / "seventeen");
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_NE(result.message.find("by nearest colour"), std::string::npos) << result.message;
        EXPECT_EQ(ReadAll(dir / "seventeen")[0] & 0x0F, 15) << "index 16 is white, by colour";
    }

    // --strict: a mixed block or an inexact colour writes nothing.
    documents::ImportOptions strict;
    strict.strict = true;
    WritePng(dir / "mixed.png", 80, 96, PNG_COLOR_TYPE_RGB, 8, 3, [&](int x, int y, std::uint8_t* p) {
        for (int k = 0; k < 3; ++k) p[k] = Channel(x == 0 && y == 0 ? 1 : colour(x / 2, y / 2), k);
    });
    EXPECT_FALSE(ImportPngAsPage(dir / "mixed.png", dir / "strict", strict).ok);
    WritePng(dir / "off.png", 40, 48, PNG_COLOR_TYPE_RGB, 8, 3, [&](int x, int y, std::uint8_t* p) {
        for (int k = 0; k < 3; ++k) p[k] = Channel(colour(x, y), k);
        if (x == 7) p[1] ^= 1;
    });
    result = ImportPngAsPage(dir / "off.png", dir / "strict", strict);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("colours not in the palette"), std::string::npos);
    EXPECT_FALSE(Exists(dir / "strict"));
    EXPECT_TRUE(ImportPngAsPage(dir / "art.png", dir / "strict", strict).ok) << "exact by index";
}

TEST(Conversions, ThumbnailsAreTheLargestWholeMultipleOfThePicturesShapeThatFits) {
    TempDir dir;
    std::mt19937 random(12);
    const lores::LoresPage page = RandomPage(random);
    WriteAll(dir / "p", Bytes(page));
    struct Size {
        int asked, width, height;
    };
    for (const Size s : {Size{48, 40, 48}, Size{79, 40, 48}, Size{80, 80, 48}, Size{128, 120, 72}, Size{256, 240, 144},
                         Size{300, 280, 168}, Size{640, 640, 384}, Size{4000, 640, 384}}) {
        ASSERT_TRUE(documents::ThumbnailOfPage(dir / "p", dir / "t.png", s.asked).ok) << s.asked;
        const testpng::Png png = testpng::Read(ReadAll(dir / "t.png"));
        ASSERT_TRUE(png.ok) << png.error;
        EXPECT_EQ(png.width, static_cast<std::uint32_t>(s.width)) << s.asked;
        EXPECT_EQ(png.height, static_cast<std::uint32_t>(s.height)) << s.asked;
        // A cell is width/40 pixels wide; row of cells y starts at pixel
        // row floor(y * height / 48).
        const int bw = s.width / 40;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                const std::uint8_t* px = png.At(x, y);
                int cy = 47;
                while (cy > 0 && cy * s.height / 48 > y) --cy;
                const int c = lores::PixelAt(page, x / bw, cy);
                ASSERT_TRUE(px[0] == Channel(c, 0) && px[1] == Channel(c, 1) && px[2] == Channel(c, 2))
                    << s.asked << ": " << x << "," << y;
            }
    }
    EXPECT_FALSE(documents::ThumbnailOfPage(dir / "p", dir / "t.png", 32).ok) << "too small for a block a pixel";
    EXPECT_FALSE(documents::ThumbnailOfPage(dir / "missing", dir / "u.png", 128).ok);
    EXPECT_FALSE(Exists(dir / "u.png"));
}

// Pictures of every kind either convert, each as it is, or are refused with
// the reason and nothing written: a JPEG in colour, grey or Adobe's inverted
// CMYK decodes to its colour; a transparent PNG is black; one cut short, one
// whose header claims 5000x5000 pixels (refused before decoding) or a file
// of neither kind is said.
TEST(Conversions, PicturesOfEveryKindConvertOrAreRefused) {
    TempDir dir;
    const auto rgb = FlatJpeg(64, 48, JCS_RGB, {200, 40, 30});
    std::vector<std::uint8_t> lying = rgb;
    for (std::size_t i = 0; i + 8 < lying.size(); ++i)
        if (lying[i] == 0xFF && lying[i + 1] == 0xC0) {  // the frame header: height and width after length and precision
            lying[i + 5] = lying[i + 7] = 0x13, lying[i + 6] = lying[i + 8] = 0x88;
            break;
        }
    // The entropy data cut to a third, the end marker after it: damaged,
    // not a picture with its lower part made up.
    std::vector<std::uint8_t> damaged = FlatJpeg(256, 256, JCS_RGB, {90, 140, 30});
    for (std::size_t i = damaged.size() - 2; i > 2; --i)
        if (damaged[i] == 0xFF && damaged[i + 1] == 0xDA) {
            const std::size_t data = i + 2 + (damaged[i + 2] << 8 | damaged[i + 3]);
            damaged.resize(data + (damaged.size() - 2 - data) / 3);
            damaged.insert(damaged.end(), {0xFF, 0xD9});
            break;
        }
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::array<int, 3> colour;  // the decoded middle pixel's
        const char* reason;         // or the failure
    };
    const Case cases[] = {
        {"rgb.jpg", rgb, {200, 40, 30}, nullptr},
        {"grey.jpg", FlatJpeg(40, 40, JCS_GRAYSCALE, {90}), {90, 90, 90}, nullptr},
        {"cmyk.jpg", FlatJpeg(40, 40, JCS_CMYK, {255, 105, 0, 255}), {255, 105, 0}, nullptr},
        {"cmyk-plain.jpg", FlatJpeg(40, 40, JCS_CMYK, {0, 150, 255, 0}, false, false), {255, 105, 0}, nullptr},
        {"cut.jpg", std::vector<std::uint8_t>(rgb.begin(), rgb.begin() + static_cast<long>(rgb.size() / 2)), {},
         "the file ends too early"},
        {"lying.jpg", lying, {}, "too many pixels (more than 16 million)"},
        {"scans.jpg", FlatJpeg(64, 48, JCS_RGB, {200, 40, 30}, true), {}, "too many scans (more than 100)"},
        {"damaged.jpg", damaged, {}, "the picture's data is damaged"},
        {"text.jpg", {'J', 'P', 'E', 'G', '\n'}, {}, "not a PNG or JPEG image"},
        {"empty.png", {}, {}, "the file is empty"},
    };
    for (const Case& c : cases) {
        WriteAll(dir / c.name, c.bytes);
        runtime::DecodedImage image;
        std::string why;
        const bool read = runtime::ReadPictureFile(dir / c.name, image, why);
        const auto result = ImportPngAsPage(dir / c.name, dir / "out");
        if (c.reason) {
            EXPECT_FALSE(read) << c.name;
            EXPECT_EQ(result.message, (dir / c.name) + ": " + c.reason);
            EXPECT_FALSE(Exists(dir / "out")) << c.name;
            continue;
        }
        ASSERT_TRUE(read && result.ok) << c.name << ": " << why << result.message;
        const std::uint8_t* middle = &image.rgba[(static_cast<std::size_t>(image.height / 2) * image.width + image.width / 2) * 4];
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(middle[k], c.colour[static_cast<std::size_t>(k)], 6) << c.name << " channel " << k;
        EXPECT_EQ(middle[3], 255);
        std::remove((dir / "out").c_str());
    }
    // The limits at their edges: 16 million pixels exactly, 16384 a side.
    for (const auto& [w, h, fits] : {std::tuple{4096u, 4096u, true}, {4096u, 4097u, false}, {16384u, 1024u, true},
                                     {16385u, 1u, false}, {1u, 16384u, true}})
        EXPECT_EQ(runtime::SizeProblem(w, h).empty(), fits) << w << "x" << h;
    // A side past the limit is said with the size (libpng would say
    // "Invalid IHDR data"), before anything is decoded.
    WritePng(dir / "wide.png", 20000, 10, PNG_COLOR_TYPE_GRAY, 8, 1, [](int, int, std::uint8_t* p) { *p = 0; });
    EXPECT_EQ(ImportPngAsPage(dir / "wide.png", dir / "out").message,
              (dir / "wide.png") + ": 20000x10 is too large (at most 16384 pixels a side)");
    // Fully transparent white, 16 bits a channel: black over black.
    WritePng(dir / "clear.png", 50, 30, PNG_COLOR_TYPE_RGBA, 16, 8, [](int, int, std::uint8_t* p) {
        for (int k = 0; k < 6; ++k) p[k] = 0xFF;
        p[6] = p[7] = 0;
    });
    ASSERT_TRUE(ImportPngAsPage(dir / "clear.png", dir / "clear").ok);
    EXPECT_EQ(ReadAll(dir / "clear"), std::vector<std::uint8_t>(1024, 0));
}

// A lores screen that went through JPEG (as screenshots travel on the web)
// or a smoothing scale, or one with a stray near-black pixel, is lores at
// heart: every byte comes back. A picture of equal blocks whose blocks are
// not near one colour (a gradient) is still converted.
TEST(Conversions, LoresPicturesBlurredByJpegOrAScaleComeBackExactly) {
    TempDir dir;
    std::mt19937 random(11);
    const lores::LoresPage page = RandomPage(random);  // every neighbour differs: the hardest case
    WriteAll(dir / "p", Bytes(page));
    ASSERT_TRUE(ExportPageAsPng(dir / "p", dir / "p.png").ok);
    runtime::DecodedImage shot;
    std::string why;
    ASSERT_TRUE(runtime::ReadPngFile(dir / "p.png", shot, why));
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < shot.rgba.size(); i += 4) rgb.insert(rgb.end(), &shot.rgba[i], &shot.rgba[i] + 3);
    const auto row = [&](int y) { return rgb.data() + static_cast<std::size_t>(y) * 640 * 3; };
    WriteAll(dir / "q85.jpg", Jpeg(640, 384, JCS_RGB, 3, row, 85));
    WriteAll(dir / "q50.jpg", Jpeg(640, 384, JCS_RGB, 3, row, 50));
    // 640 to 560 columns by area: the pixels across a block's edge are mixtures.
    WritePng(dir / "560.png", 560, 384, PNG_COLOR_TYPE_RGB, 8, 3, [&](int x, int y, std::uint8_t* out) {
        for (int k = 0; k < 3; ++k) {
            double sum = 0;
            for (int s = 0; s < 8; ++s) sum += rgb[(static_cast<std::size_t>(y) * 640 + (x * 8 + s) / 7) * 3 + k];
            out[k] = static_cast<std::uint8_t>(sum / 8 + 0.5);
        }
    });
    for (const char* name : {"q85.jpg", "q50.jpg", "560.png"}) {
        const auto result = ImportPngAsPage(dir / name, dir / "q", Holes(dir / "p"));
        EXPECT_NE(result.message.find("by nearest colour"), std::string::npos) << name << ": " << result.message;
        EXPECT_EQ(ReadAll(dir / "q"), Bytes(page)) << name;
    }
    WritePng(dir / "stray.png", 40, 48, PNG_COLOR_TYPE_RGB, 8, 3, [](int x, int y, std::uint8_t* out) {
        out[0] = out[1] = out[2] = 0;
        if (x == 5 && y == 7) out[0] = 1, out[1] = 2, out[2] = 3;
    });
    ASSERT_TRUE(ImportPngAsPage(dir / "stray.png", dir / "q").ok);
    EXPECT_EQ(ReadAll(dir / "q"), std::vector<std::uint8_t>(1024, 0));
    WritePng(dir / "ramp.png", 640, 384, PNG_COLOR_TYPE_RGB, 8, 3, [](int x, int y, std::uint8_t* out) {
        out[0] = static_cast<std::uint8_t>(x * 255 / 639), out[1] = static_cast<std::uint8_t>(y * 255 / 383), out[2] = 90;
    });
    EXPECT_NE(ImportPngAsPage(dir / "ramp.png", dir / "q").message.find("converted from 640x384"), std::string::npos);
}
