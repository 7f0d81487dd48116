#include "lores/drawing.h"

namespace lores {

// Every source pixel is read before it is overwritten; nothing wraps and the
// trailing row or column keeps its old pixels.
void ScrollPage(LoresPage& page, ScrollDirection direction, int rows) {
    switch (direction) {
    case ScrollDirection::Left:
        for (int y = 0; y < rows; ++y)
            for (int x = 1; x < PageWidth; ++x) PlotPixel(page, x - 1, y, PixelAt(page, x, y));
        break;
    case ScrollDirection::Right:
        for (int y = 0; y < rows; ++y)
            for (int x = PageWidth - 1; x >= 1; --x) PlotPixel(page, x, y, PixelAt(page, x - 1, y));
        break;
    case ScrollDirection::Up:
        for (int y = 1; y < rows; ++y)
            for (int x = 0; x < PageWidth; ++x) PlotPixel(page, x, y - 1, PixelAt(page, x, y));
        break;
    case ScrollDirection::Down:
        for (int y = rows - 1; y >= 1; --y)
            for (int x = 0; x < PageWidth; ++x) PlotPixel(page, x, y, PixelAt(page, x, y - 1));
        break;
    }
}

}  // namespace lores
