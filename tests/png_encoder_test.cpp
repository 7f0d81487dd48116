#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>

#include "png_reader.h"
#include "runtime/images.h"
#include "runtime/png_encoder.h"
#include "test_files.h"

using namespace runtime;
using namespace testfiles;

class PngEncoder : public ::testing::Test {
protected:
    void SetUp() override {
        InitImages();
        ResetEncoders();
        RegisterPngEncoder();
        RegisterPngEncoder();
        // The export's image: top-left 16x8 block in colour 1, a white bottom row.
        CreateImageObject(200, 640, 384);
        BeginDrawing(ImageDrawTarget(200));
        FillBox(0, 0, 16, 8, RgbColour(204, 0, 51));
        FillBox(0, 383, 640, 1, RgbColour(255, 255, 255));
        EndDrawing();
    }
    TempDir dir;
};

TEST_F(PngEncoder, WritesExactlyTheChunksRowsAndPixels) {
    ASSERT_EQ(SaveImageObject(200, dir / "out.png", EncoderPng), 1);
    const testpng::Png png = testpng::Read(ReadAll(dir / "out.png"));
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(png.width, 640u);
    EXPECT_EQ(png.height, 384u);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colourType, 2);
    EXPECT_EQ(png.compression, 0);
    EXPECT_EQ(png.filter, 0);
    EXPECT_EQ(png.interlace, 0);
    for (int f : png.rowFilters) ASSERT_EQ(f, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t* p = png.At(x, y);
            ASSERT_EQ(p[0], 204);
            ASSERT_EQ(p[1], 0);
            ASSERT_EQ(p[2], 51);
        }
    EXPECT_EQ(png.At(16, 0)[0], 0);
    EXPECT_EQ(png.At(0, 8)[0], 0);
    EXPECT_EQ(png.At(300, 383)[1], 255) << "the last PNG row is the bottom picture row";
    EXPECT_EQ(png.At(300, 0)[1], 0);
}

TEST_F(PngEncoder, ThirtyTwoBitImagesKeepAlphaOrLieOverWhite) {
    const auto bmp = Bmp32(1, 1, {0, 100, 200, 128});  // blue 0, green 100, red 200, alpha 128
    ASSERT_NE(LoadImageFromMemory(1, bmp.data(), bmp.size()), 0u);
    ASSERT_EQ(SaveImageObject(1, dir / "rgba.png", EncoderPng), 1);
    testpng::Png png = testpng::Read(ReadAll(dir / "rgba.png"));
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.colourType, 6);
    EXPECT_EQ(png.At(0, 0)[3], 128);

    ASSERT_EQ(SaveImageObjectAs(1, dir / "flat.png", EncoderPng, 7, 24), 1);
    png = testpng::Read(ReadAll(dir / "flat.png"));
    ASSERT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.colourType, 2);
    EXPECT_EQ(png.At(0, 0)[0], (128 * (200 - 255) + 65025) / 255);
    EXPECT_EQ(png.At(0, 0)[2], (128 * (0 - 255) + 65025) / 255);
}

TEST_F(PngEncoder, FailuresReturnZeroAndLeaveNothing) {
    EXPECT_EQ(SaveImageObject(200, "", EncoderPng), 0);
    EXPECT_EQ(SaveImageObject(201, dir / "none.png", EncoderPng), 0);
    EXPECT_EQ(SaveImageObject(200, dir / "bmp.png", 0x11223344), 0);
    EXPECT_EQ(SaveImageObject(200, dir / "missing/x.png", EncoderPng), 0);
    EXPECT_EQ(SaveImageObject(200, dir.path(), EncoderPng), 0);
    EXPECT_TRUE(Entries(dir.path()).empty());
    EXPECT_EQ(SaveImageObject(200, "/dev/full", EncoderPng), 0);
    EXPECT_TRUE(Exists("/dev/full"));
    ResetEncoders();
    EXPECT_EQ(SaveImageObject(200, dir / "late.png", EncoderPng), 0);
    EXPECT_FALSE(Exists(dir / "late.png"));
}

// A disk that fills up half way: the old file must survive intact.
TEST_F(PngEncoder, FailedWriteKeepsTheFileItWouldReplace) {
    const auto old = Pattern(700, 5);
    WriteAll(dir / "keep.png", old);
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{300, 300};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(SaveImageObject(200, dir / "keep.png", EncoderPng) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must report failure";
    EXPECT_EQ(ReadAll(dir / "keep.png"), old);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"keep.png"});
}
