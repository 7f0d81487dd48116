// Ellipses in a box of cells: each row's span of the ellipse through the
// box's middle, so that a box of any size, even or odd, is filled
// symmetrically; the outline is the filled cells that touch the outside.
#include <algorithm>
#include <array>
#include <cmath>

#include "lores/drawing.h"

namespace lores {
namespace {

// For each row of the box, the first and last column of the ellipse.
struct Spans {
    int top = 0, bottom = -1;
    std::array<int, PageHeight * 4> left{}, right{};
};

Spans EllipseSpans(int x0, int y0, int x1, int y1) {
    Spans s;
    const int l = std::min(x0, x1), r = std::max(x0, x1);
    s.top = std::min(y0, y1);
    s.bottom = std::min(std::max(y0, y1), s.top + static_cast<int>(s.left.size()) - 1);
    // Through the middles of the box's outer cells: every side is touched.
    const double cx = (l + r) / 2.0, cy = (s.top + s.bottom) / 2.0;
    const double rx = (r - l) / 2.0, ry = (s.bottom - s.top) / 2.0;
    for (int y = s.top; y <= s.bottom; ++y) {
        const double t = ry > 0 ? (y - cy) / ry : 0;
        const double w = rx * std::sqrt(std::max(0.0, 1.0 - t * t)) + 0.5;
        const auto at = static_cast<std::size_t>(y - s.top);
        s.left[at] = static_cast<int>(std::ceil(cx - w - 1e-9));
        s.right[at] = static_cast<int>(std::floor(cx + w + 1e-9));
    }
    return s;
}

}  // namespace

void FillEllipse(LoresPage& page, int x0, int y0, int x1, int y1, int colour) {
    const Spans s = EllipseSpans(x0, y0, x1, y1);
    for (int y = s.top; y <= s.bottom; ++y)
        for (int x = s.left[static_cast<std::size_t>(y - s.top)]; x <= s.right[static_cast<std::size_t>(y - s.top)]; ++x)
            PlotPixel(page, x, y, colour);
}

void DrawEllipse(LoresPage& page, int x0, int y0, int x1, int y1, int colour) {
    const Spans s = EllipseSpans(x0, y0, x1, y1);
    const auto inside = [&](int x, int y) {
        if (y < s.top || y > s.bottom) return false;
        const auto at = static_cast<std::size_t>(y - s.top);
        return x >= s.left[at] && x <= s.right[at];
    };
    for (int y = s.top; y <= s.bottom; ++y)
        for (int x = s.left[static_cast<std::size_t>(y - s.top)]; x <= s.right[static_cast<std::size_t>(y - s.top)]; ++x)
            if (!inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1)) PlotPixel(page, x, y, colour);
}

}  // namespace lores
