#include <array>

#include "lores/drawing.h"

namespace lores {

void FloodFill(LoresPage& page, int x, int y, int target, int replacement, int rows) {
    if (target == replacement) return;  // would never finish; callers refuse it
    // An explicit stack visiting neighbours in the order left, right, down, up.
    // Each pixel is pushed at most once per neighbour, so 4 * 1920 + 1 entries
    // bound the stack.
    struct Cell { int x, y; };
    std::array<Cell, 4 * PageWidth * PageHeight + 1> stack;
    int top = 0;
    stack[top++] = {x, y};
    while (top > 0) {
        const Cell c = stack[--top];
        if (c.x < 0 || c.x >= PageWidth || c.y < 0 || c.y >= rows) continue;
        if (PixelAt(page, c.x, c.y) != target) continue;
        PlotPixel(page, c.x, c.y, replacement);
        // Pushed in reverse so that the left neighbour is visited first.
        stack[top++] = {c.x, c.y - 1};
        stack[top++] = {c.x, c.y + 1};
        stack[top++] = {c.x + 1, c.y};
        stack[top++] = {c.x - 1, c.y};
    }
}

}  // namespace lores
