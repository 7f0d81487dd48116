// The GIF writer's bytes against the published GIF89a layout, worked out by
// hand: header, screen and colour table, the loop forever, and each frame's
// delay and image, block by block to the trailer.
#include <gtest/gtest.h>

#include "runtime/gif_writer.h"

using namespace runtime;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& from, std::size_t at, std::size_t length) {
    return at + length <= from.size() ? std::vector<std::uint8_t>(from.begin() + at, from.begin() + at + length)
                                      : std::vector<std::uint8_t>();
}

}  // namespace

TEST(GifWriter, WritesTheLayoutOfALoopingGif89a) {
    const std::vector<std::uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
    const int width = 5, height = 3;
    const std::vector<int> delays = {3, 4, 300};
    std::vector<std::uint8_t> gif;
    std::string why;
    GifOut* out = GifBegin(width, height, colours, gif, why);
    ASSERT_NE(out, nullptr) << why;
    std::vector<std::uint8_t> pixels(width * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i % 4);
    for (const int delay : delays) ASSERT_TRUE(GifFrame(out, delay, pixels.data()));
    ASSERT_TRUE(GifEnd(out));

    // "GIF89a"; the screen 5x3 little-endian; a global table of 2^(1+1) colours,
    // colour resolution 8 bits (0x80 | 7 << 4 | 1); background 0, aspect 0.
    ASSERT_EQ(Slice(gif, 0, 13), Bytes({'G', 'I', 'F', '8', '9', 'a', 5, 0, 3, 0, 0xF1, 0, 0}));
    EXPECT_EQ(Slice(gif, 13, 12), Bytes({0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0x12, 0x34, 0x56}));
    // The application extension that loops forever: NETSCAPE2.0, sub-block 1, count 0.
    EXPECT_EQ(Slice(gif, 25, 19), Bytes({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1,
                                          0, 0, 0}));
    std::size_t at = 44;
    for (const int delay : delays) {
        SCOPED_TRACE(delay);
        // A graphic control extension: left in place (disposal 1), no
        // transparent colour (its index byte then means nothing), the delay
        // in hundredths little-endian.
        ASSERT_LT(at + 19, gif.size());
        EXPECT_EQ(Slice(gif, at, 8), Bytes({0x21, 0xF9, 4, 0x04, delay & 0xFF, delay >> 8, gif[at + 6], 0}));
        // The whole screen, no local table, not interlaced; LZW codes start at
        // the table's two bits.
        EXPECT_EQ(Slice(gif, at + 8, 11), Bytes({0x2C, 0, 0, 0, 0, 5, 0, 3, 0, 0, 2}));
        at += 19;
        while (at < gif.size() && gif[at] != 0) at += 1 + gif[at];  // the data's sub-blocks
        ++at;  // their terminator
    }
    EXPECT_EQ(Slice(gif, at, 1), Bytes({0x3B})) << "the trailer, just after the last frame";
    EXPECT_EQ(at + 1, gif.size());

    EXPECT_EQ(GifBegin(width, height, {1, 2, 3}, gif, why), nullptr) << "three colours are no table";
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(GifEnd(nullptr));
}
