#include "lores/drawing.h"

namespace lores {

// Every source pixel is read before it is overwritten; nothing wraps and the
// trailing row or column keeps its old pixels.
void ScrollPage(LoresPage& page, ScrollDirection direction) {
    switch (direction) {
    case ScrollDirection::Left:
        for (int y = 0; y < PageHeight; ++y)
            for (int x = 1; x < PageWidth; ++x) PlotPixel(page, x - 1, y, PixelAt(page, x, y));
        break;
    case ScrollDirection::Right:
        for (int y = 0; y < PageHeight; ++y)
            for (int x = PageWidth - 1; x >= 1; --x) PlotPixel(page, x, y, PixelAt(page, x - 1, y));
        break;
    case ScrollDirection::Up:
        for (int y = 1; y < PageHeight; ++y)
            for (int x = 0; x < PageWidth; ++x) PlotPixel(page, x, y - 1, PixelAt(page, x, y));
        break;
    case ScrollDirection::Down:
        for (int y = PageHeight - 1; y >= 1; --y)
            for (int x = 0; x < PageWidth; ++x) PlotPixel(page, x, y, PixelAt(page, x, y - 1));
        break;
    }
}

}  // namespace lores

namespace lores {

void FlipPage(LoresPage& page, bool leftRight) {
    // Pixel by pixel: the screen holes between the rows stay as they are.
    const int width = leftRight ? PageWidth / 2 : PageWidth, height = leftRight ? PageHeight : PageHeight / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int mx = leftRight ? PageWidth - 1 - x : x, my = leftRight ? y : PageHeight - 1 - y;
            const int a = PixelAt(page, x, y), b = PixelAt(page, mx, my);
            PlotPixel(page, x, y, b);
            PlotPixel(page, mx, my, a);
        }
}

}  // namespace lores
