#include <cmath>

#include "lores/drawing.h"

namespace lores {

void DrawCircle(LoresPage& page, int cx, int cy, int r, int colour) {
    // err starts at 0 rather than 2 - 2r: small circles come out as diamonds,
    // which is the look the program has always had.
    int x = -r, y = 0, err = 0;
    while (x < 0) {
        PlotPixel(page, cx - x, cy + y, colour);
        PlotPixel(page, cx - y, cy - x, colour);
        PlotPixel(page, cx + x, cy - y, colour);
        PlotPixel(page, cx + y, cy + x, colour);
        const int rr = err;
        if (rr <= y) {
            ++y;
            err += 2 * y + 1;
        }
        if (rr > x || err > y) {
            ++x;
            err += 2 * x + 1;
        }
    }
}

int CircleRadius(int ax, int ay, int x, int y) {
    const double dx = static_cast<double>(x) - ax;
    const double dy = static_cast<double>(y) - ay;
    return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

}  // namespace lores
