// Operations that change the picture. Each acts on the page it is given,
// clips through PlotPixel, and neither repaints nor keeps undo copies.
#pragma once

#include <cstdint>
#include <vector>

#include "lores/lores_page.h"

namespace lores {

enum class ScrollDirection { Left, Right, Up, Down };

inline void PenDot(LoresPage& page, int x, int y, int colour) { PlotPixel(page, x, y, colour); }

// Both ends included, all eight octants, from start to end.
void DrawLine(LoresPage& page, int x0, int y0, int x1, int y1, int colour);

// The cells of that line, in order, each handed to plot(x, y): the line
// itself, for what draws its cells in its own way (a brush, a stroke).
template <typename Plot>
void WalkLine(int x0, int y0, int x1, int y1, Plot plot) {
    const int dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const int sx = (x1 > x0) - (x1 < x0), sy = (y1 > y0) - (y1 < y0);
    int err = dx - dy;
    for (;;) {
        plot(x0, y0);
        if (x0 == x1 && y0 == y1) return;
        const int e2 = 2 * err;
        if (e2 > -dy) err -= dy, x0 += sx;
        if (e2 < dx) err += dx, y0 += sy;
    }
}

// The ellipse that fits the box with these corners (in any order): its
// outline (the filled ellipse's cells with a neighbour outside it), and
// filled. A box one cell high or wide is a line.
void DrawEllipse(LoresPage& page, int x0, int y0, int x1, int y1, int colour);
void FillEllipse(LoresPage& page, int x0, int y0, int x1, int y1, int colour);

// Outline of radius r around (cx, cy); r = 0 draws nothing.
void DrawCircle(LoresPage& page, int cx, int cy, int r, int colour);

// Every cell of the outline of radius r, and on each row every cell between
// its leftmost and rightmost outline cells; r = 0 draws nothing.
void FillCircle(LoresPage& page, int cx, int cy, int r, int colour);

// The outline of the rectangle with these corners (in any order), and the
// rectangle filled.
void DrawRectangle(LoresPage& page, int x0, int y0, int x1, int y1, int colour);
void FillRectangle(LoresPage& page, int x0, int y0, int x1, int y1, int colour);

// Radius from the centre to the rim cell, truncated toward zero.
int CircleRadius(int ax, int ay, int x, int y);

// Replaces target by replacement in the 4-connected area of the seed, on
// rows 0 to rows - 1 only. The seed may be any cell; target must differ
// from replacement.
void FloodFill(LoresPage& page, int x, int y, int target, int replacement, int rows = PageHeight);

// Moves rows 0 to rows - 1 of the picture one pixel; the trailing edge keeps
// its old pixels and the rows below are not touched.
void ScrollPage(LoresPage& page, ScrollDirection direction, int rows = PageHeight);

// Mirrors rows 0 to rows - 1 left-right (column x to 39 - x) or top-bottom
// (row y to rows - 1 - y); the screen holes stay as they are.
void FlipPage(LoresPage& page, bool leftRight, int rows = PageHeight);
// The same within the rectangle of cells from (x0, y0) to (x1, y1), both on the page.
void FlipArea(LoresPage& page, int x0, int y0, int x1, int y1, bool leftRight);

// A rectangle of colour numbers lifted from a page, row by row.
struct Block {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> cells;
    int At(int i, int j) const { return cells[static_cast<std::size_t>(j * width + i)]; }
    bool operator==(const Block&) const = default;
};

// The cells from (x0, y0) to (x1, y1), all on the page.
Block ReadBlock(const LoresPage& page, int x0, int y0, int x1, int y1);
// The block with its top-left cell at (x, y); what falls off the page, or on
// row rows or below, is left out.
void PutBlock(LoresPage& page, const Block& block, int x, int y, int rows = PageHeight);

}  // namespace lores
