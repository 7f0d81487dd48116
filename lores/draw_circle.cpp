#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

#include "lores/drawing.h"

namespace lores {
namespace {

// The cells of the outline, on the page or not, in the order drawn.
template <typename Plot>
void CircleCells(int cx, int cy, int r, Plot plot) {
    // err starts at 0 rather than 2 - 2r: small circles come out as diamonds,
    // which is the look the program has always had.
    int x = -r, y = 0, err = 0;
    while (x < 0) {
        plot(cx - x, cy + y);
        plot(cx - y, cy - x);
        plot(cx + x, cy - y);
        plot(cx + y, cy + x);
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

}  // namespace

void DrawCircle(LoresPage& page, int cx, int cy, int r, int colour) {
    CircleCells(cx, cy, r, [&](int x, int y) { PlotPixel(page, x, y, colour); });
}

void FillCircle(LoresPage& page, int cx, int cy, int r, int colour) {
    // Each row from its leftmost outline cell to its rightmost.
    std::map<int, std::pair<int, int>> rows;
    CircleCells(cx, cy, r, [&](int x, int y) {
        auto [it, fresh] = rows.try_emplace(y, x, x);
        if (!fresh) it->second = {std::min(it->second.first, x), std::max(it->second.second, x)};
    });
    for (const auto& [y, span] : rows)
        for (int x = span.first; x <= span.second; ++x) PlotPixel(page, x, y, colour);
}

int CircleRadius(int ax, int ay, int x, int y) {
    const double dx = static_cast<double>(x) - ax;
    const double dy = static_cast<double>(y) - ay;
    return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

}  // namespace lores
