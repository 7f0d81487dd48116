// The lores page: 40x48 pixels in 16 colours, stored byte for byte as the
// Apple II keeps its text/lores page 1 (1024 bytes, interleaved rows, two
// pixels per byte, 64 screen-hole bytes that belong to no pixel).
#pragma once

#include <array>
#include <cstdint>

namespace lores {

inline constexpr int PageBytes = 1024;
inline constexpr int PageWidth = 40;    // pixels per row
inline constexpr int PageHeight = 48;   // pixel rows
inline constexpr int TextRows = 24;     // two pixel rows per text row
inline constexpr int ColourCount = 16;

using LoresPage = std::array<std::uint8_t, PageBytes>;

// Colour value handed to the drawing layer: red in the low byte, green in the
// middle byte, blue in the high byte.
using ColourValue = std::uint32_t;

struct LoresTables {
    std::array<int, TextRows> rowBase{};             // offset of each text row
    std::array<ColourValue, ColourCount> palette{};  // colour number -> RGB value
};

// Builds the row table with the Apple II base-address rule (without the page's
// $0400 origin) and fills the fixed palette.
constexpr LoresTables BuildLoresTables() {
    LoresTables t;
    for (unsigned r = 0; r < TextRows; ++r) {
        const unsigned hi = (r >> 1) & 3u;
        unsigned lo = (r & 0x18u) + ((r & 1u) ? 0x80u : 0u);
        lo = (lo | (lo << 2)) & 0xFFu;
        t.rowBase[r] = static_cast<int>(256 * hi + lo);
    }
    constexpr std::uint8_t rgb[ColourCount][3] = {
        {0, 0, 0},       {204, 0, 51},    {0, 0, 153},     {204, 51, 204},
        {0, 102, 51},    {102, 102, 102}, {51, 51, 255},   {102, 153, 255},
        {153, 102, 0},   {255, 102, 0},   {153, 153, 153}, {255, 153, 153},
        {0, 204, 0},     {255, 255, 0},   {51, 255, 153},  {255, 255, 255},
    };
    for (int n = 0; n < ColourCount; ++n) {
        t.palette[n] = rgb[n][0] + 256u * rgb[n][1] + 65536u * rgb[n][2];
    }
    return t;
}

inline constexpr LoresTables Tables = BuildLoresTables();
inline constexpr const std::array<int, TextRows>& RowBaseTable = Tables.rowBase;
inline constexpr const std::array<ColourValue, ColourCount>& LoresPalette = Tables.palette;

// True for the 64 bytes at offsets 120..127 of every 128-byte block.
constexpr bool IsScreenHole(int offset) { return (offset & 127) >= 120; }

// The working page and its two shadow copies, one 3072-byte block.
struct PageStore {
    LoresPage workingPage{};
    LoresPage previewScratch{};
    LoresPage undoCopy{};
};
static_assert(sizeof(PageStore) == 3 * PageBytes);

inline void CopyPage(LoresPage& to, const LoresPage& from) { to = from; }

// Colour number of pixel (x, y). Defined only inside the page: callers check.
inline int PixelAt(const LoresPage& page, int x, int y) {
    const std::uint8_t b = page[RowBaseTable[y >> 1] + x];
    return (y & 1) ? (b >> 4) & 15 : b & 15;
}

// Writes a colour number into pixel (x, y); cells outside the page are ignored.
inline void PlotPixel(LoresPage& page, int x, int y, int colour) {
    if (y < 0 || y > PageHeight - 1 || x < 0 || x > PageWidth - 1) return;
    std::uint8_t& b = page[RowBaseTable[y >> 1] + x];
    if (y & 1) {
        b = static_cast<std::uint8_t>((b & 0x0F) | ((colour & 15) << 4));
    } else {
        b = static_cast<std::uint8_t>((b & 0xF0) | (colour & 15));
    }
}

}  // namespace lores
