#include <algorithm>

#include "lores/drawing.h"

namespace lores {

Block ReadBlock(const LoresPage& page, int x0, int y0, int x1, int y1) {
    Block block;
    block.width = x1 - x0 + 1;
    block.height = y1 - y0 + 1;
    block.cells.reserve(static_cast<std::size_t>(block.width * block.height));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) block.cells.push_back(static_cast<std::uint8_t>(PixelAt(page, x, y)));
    return block;
}

void PutBlock(LoresPage& page, const Block& block, int x, int y, int rows) {
    // Only the part on the page is visited, a row's nibbles written directly.
    const int i0 = std::max(0, -x), i1 = std::min(block.width, PageWidth - x);
    const int j0 = std::max(0, -y), j1 = std::min(block.height, std::min(rows, PageHeight) - y);
    for (int j = j0; j < j1; ++j) {
        const int py = y + j;
        std::uint8_t* row = page.data() + RowBaseTable[py >> 1];
        const std::uint8_t* cells = block.cells.data() + static_cast<std::size_t>(j * block.width);
        const int shift = (py & 1) * 4;
        const auto keep = static_cast<std::uint8_t>(0xF0 >> shift);
        for (int i = i0; i < i1; ++i)
            row[x + i] = static_cast<std::uint8_t>((row[x + i] & keep) | (cells[i] & 15) << shift);
    }
}

void FlipArea(LoresPage& page, int x0, int y0, int x1, int y1, bool leftRight) {
    // Pixel by pixel: the screen holes between the rows stay as they are.
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    const int width = leftRight ? w / 2 : w, height = leftRight ? h : h / 2;
    for (int y = y0; y < y0 + height; ++y)
        for (int x = x0; x < x0 + width; ++x) {
            const int mx = leftRight ? x1 - (x - x0) : x, my = leftRight ? y : y1 - (y - y0);
            const int a = PixelAt(page, x, y), b = PixelAt(page, mx, my);
            PlotPixel(page, x, y, b);
            PlotPixel(page, mx, my, a);
        }
}

void FlipPage(LoresPage& page, bool leftRight, int rows) { FlipArea(page, 0, 0, PageWidth - 1, rows - 1, leftRight); }

}  // namespace lores
