#include <gtest/gtest.h>

#include "lores/lores_page.h"
#include "lores/startup_picture.h"

using namespace lores;

TEST(LoresPage, RowTableMatchesBothFormsOfTheRule) {
    const int expected[TextRows] = {0,  128, 256, 384, 512, 640, 768, 896, 40,  168, 296, 424,
                                    552, 680, 808, 936, 80,  208, 336, 464, 592, 720, 848, 976};
    for (int r = 0; r < TextRows; ++r) {
        EXPECT_EQ(RowBaseTable[r], expected[r]) << r;
        EXPECT_EQ(RowBaseTable[r], 128 * (r % 8) + 40 * (r / 8)) << r;
    }
}

TEST(LoresPage, PaletteValuesPackRedLowBlueHigh) {
    EXPECT_EQ(LoresPalette[0], 0u);
    EXPECT_EQ(LoresPalette[1], 204u + 0u * 256 + 51u * 65536);
    EXPECT_EQ(LoresPalette[6], 51u + 51u * 256 + 255u * 65536);
    EXPECT_EQ(LoresPalette[9], 255u + 102u * 256);
    EXPECT_EQ(LoresPalette[15], 0xFFFFFFu);
}

TEST(LoresPage, PlotReplacesOnlyItsOwnNibble) {
    LoresPage page{};
    const int at = RowBaseTable[3] + 5;  // pixels (5, 6) and (5, 7)
    page[at] = 0x3C;
    PlotPixel(page, 5, 6, 9);
    EXPECT_EQ(page[at], 0x39);
    page[at] = 0x3C;
    PlotPixel(page, 5, 7, 9);
    EXPECT_EQ(page[at], 0x9C);
    EXPECT_EQ(PixelAt(page, 5, 7), 9);
    EXPECT_EQ(PixelAt(page, 5, 6), 0xC);

    // Both pixels of a text row share a byte, at the corners of the page too.
    LoresPage p{};
    PlotPixel(p, 0, 16, 7);
    EXPECT_EQ(p[40], 0x07);
    PlotPixel(p, 39, 47, 0xA);
    EXPECT_EQ(p[1015], 0xA0);
}

TEST(LoresPage, PlotOutsideThePageChangesNothing) {
    LoresPage page{};
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 7);
    const LoresPage before = page;
    for (auto [x, y] : {std::pair{40, 0}, {-1, 0}, {0, 48}, {0, -1}, {-1000, 5000}, {39, 48}}) {
        PlotPixel(page, x, y, 15);
    }
    EXPECT_EQ(page, before);
}

TEST(LoresPage, StartupPictureHasTheAppleAndItsScreenHoles) {
    const LoresPage& p = StartupPicture();
    EXPECT_EQ(PixelAt(p, 23, 2), 4);
    EXPECT_EQ(PixelAt(p, 22, 3), 4);
    EXPECT_EQ(PixelAt(p, 11, 17), 9);
    EXPECT_EQ(PixelAt(p, 12, 17), 13);
    EXPECT_EQ(PixelAt(p, 0, 0), 0);
    EXPECT_EQ(PixelAt(p, 29, 31), 6);
    EXPECT_EQ(p[150], 0x40);
    const std::uint8_t block0[8] = {0x0e, 0xff, 0x00, 0x00, 0xff, 0xff, 0x1c, 0x00};
    const std::uint8_t block3[8] = {0x60, 0xff, 0x00, 0x17, 0xff, 0xff, 0x00, 0x00};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(p[120 + i], block0[i]);
        EXPECT_EQ(p[3 * 128 + 120 + i], block3[i]);
    }
    EXPECT_EQ(p[6 * 128 + 120], 0xff);
}
