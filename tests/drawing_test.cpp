#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "lores/drawing.h"
#include "lores/startup_picture.h"

using namespace lores;
using Cells = std::set<std::pair<int, int>>;

namespace {

// Cells whose colour differs between two pages.
Cells Changed(const LoresPage& a, const LoresPage& b) {
    Cells out;
    for (int y = 0; y < PageHeight; ++y)
        for (int x = 0; x < PageWidth; ++x)
            if (PixelAt(a, x, y) != PixelAt(b, x, y)) out.insert({x, y});
    return out;
}

Cells CircleCells(int r) {
    LoresPage page{};
    DrawCircle(page, 20, 24, r, 1);
    Cells rel;
    for (auto [x, y] : Changed(LoresPage{}, page)) rel.insert({x - 20, y - 24});
    return rel;
}

// The cells of a line, listed from its start (lines are monotone, so the
// distance from the start orders them).
std::vector<std::pair<int, int>> LineOrder(int x0, int y0, int x1, int y1) {
    LoresPage full{};
    DrawLine(full, x0, y0, x1, y1, 1);
    const Cells all = Changed(LoresPage{}, full);
    std::vector<std::pair<int, int>> cells(all.begin(), all.end());
    std::sort(cells.begin(), cells.end(), [&](auto a, auto b) {
        return std::abs(a.first - x0) + std::abs(a.second - y0) < std::abs(b.first - x0) + std::abs(b.second - y0);
    });
    return cells;
}

bool HolesEqual(const LoresPage& a, const LoresPage& b) {
    for (int i = 0; i < PageBytes; ++i)
        if (IsScreenHole(i) && a[i] != b[i]) return false;
    return true;
}

}  // namespace

TEST(DrawLine, OctantsDirectionAndEnds) {
    const std::vector<std::pair<int, int>> expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
    EXPECT_EQ(LineOrder(0, 0, 5, 2), expected);
    auto reversed = LineOrder(5, 2, 0, 0);
    EXPECT_EQ(Cells(reversed.begin(), reversed.end()), Cells(expected.begin(), expected.end()));
    EXPECT_EQ(reversed.front(), (std::pair{5, 2}));

    EXPECT_EQ(LineOrder(7, 7, 7, 7), (std::vector<std::pair<int, int>>{{7, 7}}));
    EXPECT_EQ(LineOrder(2, 0, 0, 0), (std::vector<std::pair<int, int>>{{2, 0}, {1, 0}, {0, 0}}));

    // Steep lines take one cell per row in every octant.
    for (auto [x1, y1] : {std::pair{3, 10}, {-3, 10}, {3, -10}, {-3, -10}}) {
        LoresPage page{};
        DrawLine(page, 20, 20, 20 + x1, 20 + y1, 1);
        EXPECT_EQ(Changed(LoresPage{}, page).size(), 11u) << x1 << "," << y1;
    }
}

TEST(DrawLine, ClipsToThePage) {
    LoresPage page{};
    DrawLine(page, -5, 10, 45, 10, 3);
    Cells row10;
    for (int x = 0; x < PageWidth; ++x) row10.insert({x, 10});
    EXPECT_EQ(Changed(LoresPage{}, page), row10);
}

TEST(DrawCircle, SmallRadiiAreDiamondsAndFiveIsRound) {
    EXPECT_TRUE(CircleCells(0).empty());
    EXPECT_EQ(CircleCells(1), (Cells{{1, 0}, {-1, 0}, {0, 1}, {0, -1}}));
    EXPECT_EQ(CircleCells(2), (Cells{{2, 0}, {-2, 0}, {0, 2}, {0, -2}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}}));
    for (int r : {3, 4}) {
        const Cells c = CircleCells(r);
        EXPECT_EQ(c.size(), static_cast<std::size_t>(4 * r)) << r;
        for (auto [x, y] : c) EXPECT_EQ(std::abs(x) + std::abs(y), r) << r;
    }
    Cells five;
    for (auto [a, b] : {std::pair{5, 0}, {4, 1}, {4, 2}, {3, 3}}) {
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                five.insert({sx * a, sy * b});
                five.insert({sx * b, sy * a});
            }
    }
    EXPECT_EQ(five.size(), 24u);
    EXPECT_EQ(CircleCells(5), five);
}

TEST(DrawCircle, NearAnEdgeOnlyTheInsideIsDrawn) {
    LoresPage page{};
    DrawCircle(page, 0, 0, 2, 5);
    EXPECT_EQ(Changed(LoresPage{}, page), (Cells{{2, 0}, {0, 2}, {1, 1}}));
}

TEST(DrawCircle, RadiusTruncatesTheDistance) {
    EXPECT_EQ(CircleRadius(10, 10, 13, 14), 5);
    EXPECT_EQ(CircleRadius(10, 10, 11, 11), 1);
    EXPECT_EQ(CircleRadius(10, 10, 10, 10), 0);
    EXPECT_EQ(CircleRadius(0, 0, -2, -2), 2);
}

TEST(FloodFill, UniformPageIsFilledHolesKept) {
    LoresPage page = StartupPicture();
    for (int y = 0; y < PageHeight; ++y)
        for (int x = 0; x < PageWidth; ++x) PlotPixel(page, x, y, 2);
    const LoresPage before = page;
    FloodFill(page, 17, 30, 2, 11);
    for (int y = 0; y < PageHeight; ++y)
        for (int x = 0; x < PageWidth; ++x) ASSERT_EQ(PixelAt(page, x, y), 11);
    EXPECT_TRUE(HolesEqual(page, before));
}

TEST(FloodFill, DoesNotCrossDiagonalGapsAndAcceptsAnySeed) {
    LoresPage page{};
    // A wall of colour 1 along the anti-diagonal: the two halves touch only at corners.
    for (int i = 0; i < 10; ++i) PlotPixel(page, i, 9 - i, 1);
    FloodFill(page, 0, 0, 0, 4);
    EXPECT_EQ(PixelAt(page, 0, 0), 4);
    EXPECT_EQ(PixelAt(page, 8, 0), 4);
    EXPECT_EQ(PixelAt(page, 9, 1), 0);   // across the diagonal
    EXPECT_EQ(PixelAt(page, 39, 47), 0);

    // A corridor one pixel wide, open only upward from the seed.
    LoresPage corridor{};
    for (int y = 0; y < 12; ++y) PlotPixel(corridor, 4, y, 1), PlotPixel(corridor, 6, y, 1);
    PlotPixel(corridor, 5, 11, 1);
    FloodFill(corridor, 5, 10, 0, 4);
    EXPECT_EQ(PixelAt(corridor, 5, 0), 4);
    EXPECT_EQ(PixelAt(corridor, 3, 0), 0);

    const LoresPage before = page;
    FloodFill(page, -1, 5, 0, 4);
    FloodFill(page, 40, 5, 0, 4);
    FloodFill(page, 5, 48, 0, 4);
    EXPECT_EQ(page, before);
}

TEST(ScrollPage, EveryDirectionDuplicatesItsTrailingEdge) {
    LoresPage stripe{};
    for (int y = 0; y < PageHeight; ++y) PlotPixel(stripe, 39, y, 5);
    LoresPage p = stripe;
    ScrollPage(p, ScrollDirection::Left);
    for (int y = 0; y < PageHeight; ++y)
        for (int x = 0; x < PageWidth; ++x) ASSERT_EQ(PixelAt(p, x, y), x >= 38 ? 5 : 0);

    // A page where every pixel names its own position (mod 16).
    LoresPage grid{};
    for (int y = 0; y < PageHeight; ++y)
        for (int x = 0; x < PageWidth; ++x) PlotPixel(grid, x, y, (x * 3 + y * 5) & 15);
    auto at = [&](int x, int y) { return (x * 3 + y * 5) & 15; };

    LoresPage r = grid;
    ScrollPage(r, ScrollDirection::Right);
    LoresPage u = grid;
    ScrollPage(u, ScrollDirection::Up);
    LoresPage d = grid;
    ScrollPage(d, ScrollDirection::Down);
    for (int y = 0; y < PageHeight; ++y)
        for (int x = 0; x < PageWidth; ++x) {
            ASSERT_EQ(PixelAt(r, x, y), at(x == 0 ? 0 : x - 1, y));
            ASSERT_EQ(PixelAt(u, x, y), at(x, y == 47 ? 47 : y + 1));
            ASSERT_EQ(PixelAt(d, x, y), at(x, y == 0 ? 0 : y - 1));
        }

    // Left then right restores columns 1..39; column 0 holds the old column 1.
    LoresPage lr = grid;
    ScrollPage(lr, ScrollDirection::Left);
    ScrollPage(lr, ScrollDirection::Right);
    for (int y = 0; y < PageHeight; ++y) {
        for (int x = 1; x < PageWidth; ++x) ASSERT_EQ(PixelAt(lr, x, y), at(x, y));
        ASSERT_EQ(PixelAt(lr, 0, y), at(1, y));
    }
}

// Whatever sequence of drawing operations runs, the 64 screen-hole bytes stay.
TEST(Drawing, NoOperationEverTouchesAScreenHole) {
    std::mt19937 rng(1234);
    auto cell = [&] { return std::uniform_int_distribution<int>(-60, 100)(rng); };
    LoresPage page = StartupPicture();
    const LoresPage original = page;
    for (int i = 0; i < 20000; ++i) {
        const int colour = static_cast<int>(rng() % 16);
        switch (rng() % 5) {
        case 0: PenDot(page, cell(), cell(), colour); break;
        case 1: DrawLine(page, cell(), cell(), cell(), cell(), colour); break;
        case 2: DrawCircle(page, cell(), cell(), static_cast<int>(rng() % 60), colour); break;
        case 3: {
            const int x = static_cast<int>(rng() % 40), y = static_cast<int>(rng() % 48);
            const int target = PixelAt(page, x, y);
            if (target != colour) FloodFill(page, x, y, target, colour);
            break;
        }
        default: ScrollPage(page, static_cast<ScrollDirection>(rng() % 4)); break;
        }
        ASSERT_TRUE(HolesEqual(page, original)) << "operation " << i;
    }
}

// Rectangles with their corners in any order, one cell and one row wide,
// and filled; a filled circle is its outline and every cell between the
// outline's leftmost and rightmost cells on each row.
TEST(Shapes, RectanglesInAnyOrderAndFilledCirclesAgainstTheOutline) {
    const auto cells = [](const lores::LoresPage& page, int colour) {
        std::set<std::pair<int, int>> set;
        for (int y = 0; y < lores::PageHeight; ++y)
            for (int x = 0; x < lores::PageWidth; ++x)
                if (lores::PixelAt(page, x, y) == colour) set.insert({x, y});
        return set;
    };
    struct Box {
        int x0, y0, x1, y1;
    };
    for (const Box b : {Box{3, 4, 10, 9}, Box{10, 9, 3, 4}, Box{10, 4, 3, 9}, Box{3, 9, 10, 4}, Box{7, 7, 7, 7},
                        Box{2, 5, 30, 5}, Box{6, 1, 6, 40}, Box{-5, -5, 50, 60}, Box{-7, 44, 2, 51}}) {
        lores::LoresPage outline{}, filled{};
        lores::DrawRectangle(outline, b.x0, b.y0, b.x1, b.y1, 9);
        lores::FillRectangle(filled, b.x0, b.y0, b.x1, b.y1, 9);
        std::set<std::pair<int, int>> wantOutline, wantFilled;
        const int l = std::min(b.x0, b.x1), r = std::max(b.x0, b.x1), t = std::min(b.y0, b.y1), bo = std::max(b.y0, b.y1);
        for (int y = std::max(t, 0); y <= std::min(bo, 47); ++y)
            for (int x = std::max(l, 0); x <= std::min(r, 39); ++x) {
                wantFilled.insert({x, y});
                if (x == l || x == r || y == t || y == bo) wantOutline.insert({x, y});
            }
        EXPECT_EQ(cells(outline, 9), wantOutline) << b.x0 << "," << b.y0 << " " << b.x1 << "," << b.y1;
        EXPECT_EQ(cells(filled, 9), wantFilled) << b.x0 << "," << b.y0 << " " << b.x1 << "," << b.y1;
        // Every byte, screen holes included: nothing is written beside a row.
        lores::LoresPage model{};
        for (const auto& [x, y] : wantFilled) lores::PlotPixel(model, x, y, 9);
        EXPECT_EQ(filled, model) << b.x0 << "," << b.y0 << " " << b.x1 << "," << b.y1;
    }
    for (int r = 0; r <= 20; ++r) {
        for (const auto& [cx, cy] : {std::pair{20, 24}, std::pair{2, 3}, std::pair{38, 46}}) {
            lores::LoresPage outline{}, filled{};
            lores::DrawCircle(outline, cx, cy, r, 1);
            lores::FillCircle(filled, cx, cy, r, 1);
            // The outline's cells relative to the centre, drawn where they
            // fit on the page (a diameter of 41 cells needs two tries), then
            // each row from its leftmost to its rightmost cell, off the page
            // or not.
            std::set<std::pair<int, int>> relative;
            for (const int px : {20, 19}) {
                lores::LoresPage probe{};
                lores::DrawCircle(probe, px, 24, r, 1);
                for (const auto& [x, y] : cells(probe, 1)) relative.insert({x - px, y - 24});
            }
            std::map<int, std::pair<int, int>> rows;
            for (const auto& [dx, dy] : relative) {
                auto [it, fresh] = rows.try_emplace(cy + dy, cx + dx, cx + dx);
                if (!fresh) it->second = {std::min(it->second.first, cx + dx), std::max(it->second.second, cx + dx)};
            }
            std::set<std::pair<int, int>> want;
            for (const auto& [y, span] : rows)
                for (int x = span.first; x <= span.second; ++x)
                    if (x >= 0 && x < 40 && y >= 0 && y < 48) want.insert({x, y});
            EXPECT_EQ(cells(filled, 1), want) << "r " << r << " at " << cx << "," << cy;
            if (r == 0) {
                EXPECT_TRUE(want.empty()) << "radius 0 draws nothing, as the outline";
            }
            for (const auto& c : cells(outline, 1)) EXPECT_TRUE(want.count(c)) << "the outline is inside";
        }
    }
}
