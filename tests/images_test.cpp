#include <gtest/gtest.h>

#include <algorithm>

#include "assets/embedded.h"
#include "runtime/images.h"
#include "test_files.h"

using namespace runtime;

namespace {

const std::uint8_t* PixelOf(const ImagePixels& px, int x, int y) {
    return px.bits.data() + static_cast<std::size_t>(px.height - 1 - y) * px.stride + x * (px.depth / 8);
}

const ImagePixels& Pixels(int number) { return *ImagePixelsFromHandle(ImageHandle(number)); }

void Fill(int number, int x, int y, int w, int h, ColourValue c) {
    ASSERT_NE(BeginDrawing(ImageDrawTarget(number)), 0u);
    FillBox(x, y, w, h, c);
    EndDrawing();
}

}  // namespace

class Images : public ::testing::Test {
protected:
    void SetUp() override { InitImages(); }
    void TearDown() override { FreeImageObject(AllImages); }
};

TEST_F(Images, NewImageIsBlackWithPaddedBottomUpRows) {
    ASSERT_NE(CreateImageObject(200, 640, 384), 0u);
    const ImagePixels& px = Pixels(200);
    EXPECT_EQ(px.stride, 1920);
    EXPECT_TRUE(std::all_of(px.bits.begin(), px.bits.end(), [](std::uint8_t b) { return b == 0; }));
    ASSERT_NE(CreateImageObject(7, 5, 3), 0u);
    EXPECT_EQ(Pixels(7).stride, 16);
    EXPECT_EQ(CreateImageObject(8, 0, 10), 0u);
    EXPECT_EQ(ImageHandle(8), 0u);
}

TEST_F(Images, FillBoxWritesExactBytesAndTopRowIsStoredLast) {
    CreateImageObject(1, 16, 16);
    Fill(1, 0, 0, 16, 16, RgbColour(204, 0, 51));
    const ImagePixels& px = Pixels(1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t* p = PixelOf(px, x, y);
            ASSERT_EQ(p[0], 0x33);
            ASSERT_EQ(p[1], 0x00);
            ASSERT_EQ(p[2], 0xCC);
        }
    CreateImageObject(2, 4, 4);
    Fill(2, 0, 0, 4, 1, RgbColour(1, 2, 3));
    const ImagePixels& small = Pixels(2);
    const std::uint8_t* lastStored = small.bits.data() + 3 * small.stride;
    EXPECT_EQ(lastStored[0], 3);
    EXPECT_EQ(small.bits[0], 0) << "the bottom row is untouched";
}

TEST_F(Images, FillBoxClipsAndHandlesNegativeSizes) {
    CreateImageObject(200, 640, 384);
    const auto before = Pixels(200).bits;
    Fill(200, 0, 384, 16, 8, RgbColour(255, 255, 255));
    Fill(200, 0, 500, 16, 8, RgbColour(255, 255, 255));
    Fill(200, -20, 0, 16, 8, RgbColour(255, 255, 255));
    EXPECT_EQ(Pixels(200).bits, before);

    Fill(200, 630, 380, 16, 8, RgbColour(9, 9, 9));  // cut at the right and bottom edges
    const ImagePixels& px = Pixels(200);
    EXPECT_EQ(PixelOf(px, 639, 383)[0], 9);
    EXPECT_EQ(PixelOf(px, 630, 380)[0], 9);
    EXPECT_EQ(PixelOf(px, 629, 380)[0], 0);

    CreateImageObject(3, 20, 20);
    Fill(3, 10, 10, -4, 3, RgbColour(0, 0, 200));
    int filled = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (PixelOf(Pixels(3), x, y)[0] == 200) {
                ++filled;
                EXPECT_TRUE(x >= 6 && x <= 9 && y >= 10 && y <= 12) << x << "," << y;
            }
    EXPECT_EQ(filled, 12);
}

TEST_F(Images, DrawingNeedsATargetAndEndsCleanly) {
    EXPECT_EQ(BeginDrawing(ImageDrawTarget(55)), 0u);
    FillBox(0, 0, 10, 10, 0xFFFFFF);  // nothing current: ignored
    EndDrawing();
    FreeImageObject(99);

    static int finished = -1;
    std::vector<std::uint8_t> mem(3 * 4 * 2);
    DrawSurface s{mem.data(), 12, 4, 2, 3, [](int flag, void*) { finished = flag; }, nullptr};
    ASSERT_NE(BeginDrawing(MakeDrawTarget(s)), 0u);
    FillBox(0, 0, 4, 2, RgbColour(1, 1, 1));
    EXPECT_EQ(finished, -1);
    EndDrawing();
    EXPECT_EQ(finished, 1);
    DrawSurface none{};
    none.finish = [](int flag, void*) { finished = flag; };
    EXPECT_EQ(BeginDrawing(MakeDrawTarget(none)), 0u);
    EXPECT_EQ(finished, 0);
}

TEST_F(Images, DecodesTheToolIconsAndRefusesShortData) {
    ASSERT_NE(LoadImageFromMemory(19, assets::IconUndoBmp, assets::IconUndoBmpSize), 0u);
    const ImageInfo undo = ImageRecordOf(19);
    EXPECT_EQ(undo.width, 16);
    EXPECT_EQ(undo.height, 15);
    EXPECT_EQ(undo.depth, 24);
    EXPECT_EQ(undo.formatTag, FormatBmp);
    // Row 12 of the undo picture starts with nine black pixels; row 0 is grey.
    EXPECT_EQ(PixelOf(*undo.pixels, 0, 11)[0], 0);
    EXPECT_EQ(PixelOf(*undo.pixels, 0, 0)[0], 234);

    ASSERT_NE(LoadImageFromMemory(20, assets::IconPenBmp, assets::IconPenBmpSize), 0u);
    const std::uint8_t* red = PixelOf(*ImageRecordOf(20).pixels, 9, 1);  // 'r' = (191, 0, 0)
    EXPECT_EQ(red[2], 191);
    EXPECT_EQ(red[0], 0);

    EXPECT_EQ(LoadImageFromMemory(21, assets::IconPenBmp, assets::IconPenBmpSize - 1), 0u);
    EXPECT_EQ(LoadImageFromMemory(20, assets::IconPenBmp, 30), 0u);
    EXPECT_EQ(ImageHandle(20), 0u) << "the number is released even when decoding fails";
    const std::uint8_t junk[64] = {'X', 'Y'};
    EXPECT_EQ(LoadImageFromMemory(21, junk, sizeof junk), 0u);
}

TEST_F(Images, ThirtyTwoBitBmpWithoutAlphaBecomesOpaque) {
    std::vector<std::uint8_t> pixels(2 * 2 * 4, 0);
    pixels[0] = 0x11;
    const auto bmp = testfiles::Bmp32(2, 2, pixels);
    ASSERT_NE(LoadImageFromMemory(0, bmp.data(), bmp.size()), 0u);
    const ImageInfo info = ImageRecordOf(0);
    EXPECT_EQ(info.depth, 32);
    EXPECT_EQ(info.sourceDepth, 32);
    EXPECT_EQ(info.pixels->bits[0], 0x11);
    EXPECT_EQ(info.pixels->bits[3], 255);
}

TEST_F(Images, IconDataDecodesWithItsMask) {
    // One 2x2 entry at 24 bits: the first pixel masked out.
    std::vector<std::uint8_t> ico = {0, 0, 1, 0, 1, 0, 2, 2, 0, 0, 1, 0, 24, 0};
    const std::uint32_t size = 40 + 2 * 8 + 2 * 4, offset = 22;
    for (int i = 0; i < 4; ++i) ico.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    for (int i = 0; i < 4; ++i) ico.push_back(static_cast<std::uint8_t>(offset >> (8 * i)));
    std::vector<std::uint8_t> header(40, 0);
    header[0] = 40;
    header[4] = 2;
    header[8] = 4;
    header[12] = 1;
    header[14] = 24;
    ico.insert(ico.end(), header.begin(), header.end());
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 6; ++i) ico.push_back(0x40);
        ico.push_back(0);
        ico.push_back(0);
    }
    ico.insert(ico.end(), {0x80, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(LoadImageFromMemory(5, ico.data(), ico.size()), 0u);
    const ImageInfo info = ImageRecordOf(5);
    EXPECT_EQ(info.formatTag, FormatIcon);
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(info.pixels->bits[3], 0);
    EXPECT_EQ(info.pixels->bits[7], 255);
    EXPECT_EQ(ImageDrawTarget(5), nullptr) << "icons are not drawing targets";
}

TEST_F(Images, ExtremeBoxesAndImagesFailSafely) {
    ASSERT_NE(runtime::CreateImageObject(1, 8, 8), 0u);
    ASSERT_NE(runtime::BeginDrawing(runtime::ImageDrawTarget(1)), 0u);
    runtime::FillBox(INT_MAX - 5, 0, 10, 1, 0xFFFFFF);
    runtime::FillBox(0, INT_MAX - 5, 1, 10, 0xFFFFFF);
    runtime::FillBox(INT_MIN + 2, 0, -10, 1, 0xFFFFFF);
    runtime::FillBox(-5, -5, INT_MAX, INT_MAX, 0x0000FF);  // clipped to the whole image
    runtime::EndDrawing();
    const auto* px = runtime::ImageRecordOf(1).pixels;
    for (std::size_t i = 0; i < px->bits.size(); i += 3) ASSERT_EQ(px->bits[i + 2], 0xFF) << i;

    // Freeing the image being drawn on ends the drawing.
    ASSERT_NE(runtime::BeginDrawing(runtime::ImageDrawTarget(1)), 0u);
    runtime::FreeImageObject(1);
    runtime::FillBox(0, 0, 8, 8, 0);
    runtime::EndDrawing();
    EXPECT_EQ(runtime::ImageHandle(1), 0u);
}
