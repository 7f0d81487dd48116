// Page to PNG and PNG to page without a window: exact both ways, strict
// about what it is given, and nothing written when it fails.
#include <png.h>

#include <random>

#include "documents/conversions.h"
#include "editor_fixture.h"
#include "lores/startup_picture.h"
#include "test_files.h"

using namespace testfiles;
using documents::ExportPageAsPng;
using documents::ImportPngAsPage;

namespace {

std::vector<std::uint8_t> Bytes(const lores::LoresPage& p) { return {p.begin(), p.end()}; }

// A PNG of any colour type and depth, written with libpng itself.
void WritePng(const std::string& path, int width, int height, int colourType, int depth,
              const std::vector<std::vector<std::uint8_t>>& rows, const std::vector<png_color>& palette = {}) {
    FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, depth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    for (const auto& row : rows) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

std::array<std::uint8_t, 3> Rgb(int colour) {
    const auto v = lores::LoresPalette[colour];
    return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16)};
}

lores::LoresPage RandomPage(std::mt19937& random) {
    lores::LoresPage p{};
    for (auto& b : p) b = static_cast<std::uint8_t>(random());
    return p;
}

}  // namespace

TEST(Conversions, ARoundTripGivesBackEveryByte) {
    TempDir dir;
    std::mt19937 random(3);
    for (int i = 0; i < 6; ++i) {
        const lores::LoresPage page = i == 0 ? lores::StartupPicture() : RandomPage(random);
        WriteAll(dir / "p", Bytes(page));
        ASSERT_TRUE(ExportPageAsPng(dir / "p", dir / "p.png").ok);
        const auto result = ImportPngAsPage(dir / "p.png", dir / "q", dir / "p");
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.message, (dir / "p.png") + ": 0 blocks not uniform, 0 colours not in the palette");
        ASSERT_EQ(ReadAll(dir / "q"), Bytes(page)) << "page " << i;
    }
    // Without a page to take them from, the holes are zero.
    ASSERT_TRUE(ImportPngAsPage(dir / "p.png", dir / "r", "").ok);
    const auto r = ReadAll(dir / "r");
    for (int i = 0; i < 1024; ++i) {
        if (lores::IsScreenHole(i)) {
            EXPECT_EQ(r[i], 0) << i;
        }
    }
}

TEST(Conversions, PngsOfEveryKindAndSize) {
    TempDir dir;
    std::mt19937 random(4);
    const lores::LoresPage page = RandomPage(random);
    const auto colourAt = [&](int x, int y) { return lores::PixelAt(page, x, y); };

    // An emulator screenshot: 280x192, blocks of 7x4, one stray pixel.
    std::vector<std::vector<std::uint8_t>> rows(192, std::vector<std::uint8_t>(280 * 3));
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 280; ++x) {
            const auto c = Rgb(colourAt(x / 7, y / 4));
            std::copy(c.begin(), c.end(), rows[y].begin() + 3 * x);
        }
    rows[0][0] = rows[0][0] ^ 1;  // off the palette by one, in a block of 28
    WritePng(dir / "shot.png", 280, 192, PNG_COLOR_TYPE_RGB, 8, rows);
    auto result = ImportPngAsPage(dir / "shot.png", dir / "shot", "");
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.message, (dir / "shot.png") + ": 1 blocks not uniform, 1 colours not in the palette");
    lores::LoresPage got{};
    const auto shot = ReadAll(dir / "shot");
    std::copy(shot.begin(), shot.end(), got.begin());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(lores::PixelAt(got, x, y), colourAt(x, y)) << x << "," << y;

    // A palette image at 40x48, and a 16-bit one at 80x96: the same pixels.
    std::vector<png_color> palette;
    for (int n = 0; n < 16; ++n) palette.push_back({Rgb(n)[0], Rgb(n)[1], Rgb(n)[2]});
    std::vector<std::vector<std::uint8_t>> indexed(48, std::vector<std::uint8_t>(40));
    std::vector<std::vector<std::uint8_t>> deep(96, std::vector<std::uint8_t>(80 * 6));
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 80; ++x) {
            if (y < 48 && x < 40) indexed[y][x] = static_cast<std::uint8_t>(colourAt(x, y));
            const auto c = Rgb(colourAt(x / 2, y / 2));
            for (int k = 0; k < 3; ++k) deep[y][6 * x + 2 * k] = deep[y][6 * x + 2 * k + 1] = c[k];  // c * 257
        }
    WritePng(dir / "indexed.png", 40, 48, PNG_COLOR_TYPE_PALETTE, 8, indexed, palette);
    WritePng(dir / "deep.png", 80, 96, PNG_COLOR_TYPE_RGB, 16, deep);
    for (const char* name : {"indexed", "deep"}) {
        result = ImportPngAsPage(dir / (std::string(name) + ".png"), dir / name, "");
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(ReadAll(dir / name), shot) << name;
    }
}

TEST(Conversions, WhatCannotBeConvertedIsSaidAndNothingIsWritten) {
    TempDir dir;
    WriteAll(dir / "short", Pattern(1000));
    WriteAll(dir / "long", Pattern(1025));
    auto result = ExportPageAsPng(dir / "short", dir / "out.png");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, (dir / "short") + ": shorter than a 1024-byte page");
    EXPECT_FALSE(ExportPageAsPng(dir / "long", dir / "out.png").ok);
    EXPECT_FALSE(ExportPageAsPng(dir / "missing", dir / "out.png").ok);
    WriteAll(dir / "page", Pattern(1024));
    result = ExportPageAsPng(dir / "page", dir / "no/such/folder.png");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message.rfind(dir / "no/such/folder.png: ", 0), 0u) << result.message;

    std::vector<std::vector<std::uint8_t>> odd(48, std::vector<std::uint8_t>(41 * 3));
    WritePng(dir / "odd.png", 41, 48, PNG_COLOR_TYPE_RGB, 8, odd);
    result = ImportPngAsPage(dir / "odd.png", dir / "out", "");
    EXPECT_EQ(result.message, (dir / "odd.png") + ": 41x48 does not divide into 40x48 equal blocks");
    ASSERT_TRUE(ExportPageAsPng(dir / "page", dir / "whole.png").ok);
    auto truncated = ReadAll(dir / "whole.png");
    truncated.resize(truncated.size() / 2);
    WriteAll(dir / "truncated.png", truncated);
    EXPECT_FALSE(ImportPngAsPage(dir / "truncated.png", dir / "out", "").ok);
    WriteAll(dir / "text.png", std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'});
    result = ImportPngAsPage(dir / "text.png", dir / "out", "");
    EXPECT_EQ(result.message, (dir / "text.png") + ": not a PNG image");
    EXPECT_FALSE(ImportPngAsPage(dir / "whole.png", dir / "out", dir / "short").ok) << "holes from a non-page";
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"long", "odd.png", "page", "short", "text.png",
                                                             "truncated.png", "whole.png"}));
}

// The command line writes the very bytes the Export picture command writes.
TEST_F(EditorFixture, CommandLineExportIsTheExportCommandsFile) {
    TempDir dir;
    PressAt(5, 5);
    WriteAll(dir / "page", Bytes(s.workingPage()));
    qtdriver::DialogScript script;
    script.Choose(dir / "gui.png");
    Command(editor::CommandId::ExportPicture);
    ASSERT_TRUE(ExportPageAsPng(dir / "page", dir / "cli.png").ok);
    EXPECT_EQ(ReadAll(dir / "cli.png"), ReadAll(dir / "gui.png"));
    EXPECT_FALSE(ReadAll(dir / "gui.png").empty());
}
