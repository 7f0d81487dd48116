#include <cstdint>
#include <cstdlib>

#include "lores/drawing.h"

namespace lores {

void DrawLine(LoresPage& page, int x0i, int y0i, int x1i, int y1i, int colour) {
    // 16-bit arithmetic as in the original error-term line; editor cells are
    // always well inside that range.
    std::int16_t x0 = static_cast<std::int16_t>(x0i), y0 = static_cast<std::int16_t>(y0i);
    const std::int16_t x1 = static_cast<std::int16_t>(x1i), y1 = static_cast<std::int16_t>(y1i);
    const std::int16_t dx = static_cast<std::int16_t>(std::abs(x1 - x0));
    const std::int16_t dy = static_cast<std::int16_t>(std::abs(y1 - y0));
    const std::int16_t sx = static_cast<std::int16_t>((x1 > x0) - (x1 < x0));
    const std::int16_t sy = static_cast<std::int16_t>((y1 > y0) - (y1 < y0));
    std::int16_t err = static_cast<std::int16_t>(dx - dy);
    for (;;) {
        PlotPixel(page, x0, y0, colour);
        if (x0 == x1 && y0 == y1) return;
        const std::int16_t e2 = static_cast<std::int16_t>(2 * err);
        if (e2 > -dy) {
            err = static_cast<std::int16_t>(err - dy);
            x0 = static_cast<std::int16_t>(x0 + sx);
        }
        if (e2 < dx) {
            err = static_cast<std::int16_t>(err + dx);
            y0 = static_cast<std::int16_t>(y0 + sy);
        }
    }
}

}  // namespace lores
