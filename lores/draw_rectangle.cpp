#include <algorithm>

#include "lores/drawing.h"

namespace lores {

void DrawRectangle(LoresPage& page, int x0, int y0, int x1, int y1, int colour) {
    const int left = std::min(x0, x1), right = std::max(x0, x1), top = std::min(y0, y1), bottom = std::max(y0, y1);
    for (int x = left; x <= right; ++x) {
        PlotPixel(page, x, top, colour);
        PlotPixel(page, x, bottom, colour);
    }
    for (int y = top; y <= bottom; ++y) {
        PlotPixel(page, left, y, colour);
        PlotPixel(page, right, y, colour);
    }
}

void FillRectangle(LoresPage& page, int x0, int y0, int x1, int y1, int colour) {
    // Only the cells on the page are visited: a corner may be far outside it.
    const int left = std::max(std::min(x0, x1), 0), right = std::min(std::max(x0, x1), PageWidth - 1);
    const int top = std::max(std::min(y0, y1), 0), bottom = std::min(std::max(y0, y1), PageHeight - 1);
    for (int y = top; y <= bottom; ++y) {
        std::uint8_t* row = page.data() + RowBaseTable[y >> 1];
        const int shift = (y & 1) * 4;
        const auto keep = static_cast<std::uint8_t>(0xF0 >> shift);
        for (int x = left; x <= right; ++x) row[x] = static_cast<std::uint8_t>((row[x] & keep) | (colour & 15) << shift);
    }
}

}  // namespace lores
