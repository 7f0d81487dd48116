#include "editor/page_view.h"

#include <algorithm>
#include <bitset>
#include <cstdio>

#include "editor/selection.h"
#include "lores/text_glyphs.h"
#include "runtime/images.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// Division truncating toward zero, as the cell arithmetic has always done.
Cell CellAt(std::intptr_t px, std::intptr_t py) {
    return {static_cast<int>(px / CellWidth), static_cast<int>(py / CellHeight)};
}

// The grid: a thin line on the top and left of every cell, and a stronger
// one above row 40, where the text lines of the mixed mode begin.
constexpr runtime::ColourValue GridColour = 0x808080;
constexpr runtime::ColourValue MixedLineColour = 0x00C0FF;
constexpr int MixedRow = 40;

// The cell's box, grid included; of it only what lies in the part
// (px, py, pw, ph) of the canvas, when given.
struct Part {
    int x = 0, y = 0, w = 1 << 20, h = 1 << 20;
};
void FillCell(int x, int y, runtime::ColourValue colour, bool grid, Part part = {}) {
    const auto box = [&part](int bx, int by, int bw, int bh, runtime::ColourValue c) {
        const int l = std::max(bx, part.x), t = std::max(by, part.y);
        const int r = std::min(bx + bw, part.x + part.w), b = std::min(by + bh, part.y + part.h);
        if (r > l && b > t) runtime::FillBox(l, t, r - l, b - t, c);
    };
    const int px = CellWidth * x, py = CellHeight * y;
    box(px, py, CellWidth, CellHeight, colour);
    if (!grid) return;
    box(px, py, 1, CellHeight, GridColour);
    if (y == MixedRow) box(px, py, CellWidth, 2, MixedLineColour);
    else box(px, py, CellWidth, 1, GridColour);
}

bool OnBorder(const CellRect& r, int x, int y) {
    return r.contains({x, y}) && (x == r.x0 || x == r.x1 || y == r.y0 || y == r.y1);
}

// The outline of a rectangle of cells: along each side a white line on the
// side's outermost pixels and a black one just inside it, so that it shows
// on every colour and every cell still shows its own. Of it what lies in
// cell (x, y) of the border, or all of it.
constexpr runtime::ColourValue OutlineOuter = 0xFFFFFF, OutlineInner = 0x000000;

// The side lines within cell (x, y): (x, y, w, h) in canvas pixels, two
// pixels thick, the outer one first.
template <typename Visit>
void OutlineLines(const CellRect& r, int x, int y, Visit visit) {
    const int px = CellWidth * x, py = CellHeight * y;
    if (y == r.y0) visit(px, py, CellWidth, 2, 0);
    if (y == r.y1) visit(px, py + CellHeight - 2, CellWidth, 2, 1);
    if (x == r.x0) visit(px, py, 2, CellHeight, 0);
    if (x == r.x1) visit(px + CellWidth - 2, py, 2, CellHeight, 1);
}

void OutlineCell(const CellRect& r, int x, int y) {
    OutlineLines(r, x, y, [](int lx, int ly, int w, int h, int outerLast) {
        // The outer line is the first row or column of the two, or the last.
        const bool across = h == 2;
        const int ox = across ? lx : lx + outerLast, oy = across ? ly + outerLast : ly;
        const int ix = across ? lx : lx + 1 - outerLast, iy = across ? ly + 1 - outerLast : ly;
        runtime::FillBox(ox, oy, across ? w : 1, across ? 1 : h, OutlineOuter);
        runtime::FillBox(ix, iy, across ? w : 1, across ? 1 : h, OutlineInner);
    });
}

// The whole outline, side by side: eight boxes.
void DrawOutline(const CellRect& r) {
    if (r.empty()) return;
    const int left = CellWidth * r.x0, top = CellHeight * r.y0;
    const int right = CellWidth * (r.x1 + 1), bottom = CellHeight * (r.y1 + 1);
    const int w = right - left, h = bottom - top;
    runtime::FillBox(left, top + 1, w, 1, OutlineInner);
    runtime::FillBox(left, bottom - 2, w, 1, OutlineInner);
    runtime::FillBox(left + 1, top, 1, h, OutlineInner);
    runtime::FillBox(right - 2, top, 1, h, OutlineInner);
    runtime::FillBox(left, top, w, 1, OutlineOuter);
    runtime::FillBox(left, bottom - 1, w, 1, OutlineOuter);
    runtime::FillBox(left, top, 1, h, OutlineOuter);
    runtime::FillBox(right - 1, top, 1, h, OutlineOuter);
}

// The outline's lines drawn again in the colours the cells show: without the
// grid a run of cells of one colour along a side in one box.
void EraseOutline(const CellRect& r, const std::array<std::uint8_t, lores::PageWidth * lores::PageHeight>& shown,
                  const std::bitset<lores::PageWidth * lores::PageHeight>& filled, const lores::Palette& palette,
                  bool grid) {
    if (r.empty()) return;
    const auto colourAt = [&](int x, int y) { return shown[static_cast<std::size_t>(y * lores::PageWidth + x)]; };
    // One side: cells (x, y) + k * (dx, dy), its line the pixels (lx, ly, w, h) of each.
    const auto side = [&](int x, int y, int dx, int dy, int count, int lx, int ly, int w, int h) {
        const auto isFilled = [&](int k) { return filled[static_cast<std::size_t>((y + k * dy) * lores::PageWidth + x + k * dx)]; };
        for (int k = 0; k < count;) {
            if (isFilled(k)) {  // drawn again whole in this redraw
                ++k;
                continue;
            }
            int n = 1;
            const std::uint8_t colour = colourAt(x + k * dx, y + k * dy);
            while (!grid && k + n < count && !isFilled(k + n) && colourAt(x + (k + n) * dx, y + (k + n) * dy) == colour)
                ++n;
            const int cx = x + k * dx, cy = y + k * dy;
            const Part part{CellWidth * cx + lx, CellHeight * cy + ly, dx ? w * n : w, dy ? h * n : h};
            if (grid) FillCell(cx, cy, palette[colour], true, part);
            else runtime::FillBox(part.x, part.y, part.w, part.h, palette[colour]);
            k += n;
        }
    };
    const int w = r.width(), h = r.height();
    side(r.x0, r.y0, 1, 0, w, 0, 0, CellWidth, 2);
    side(r.x0, r.y1, 1, 0, w, 0, CellHeight - 2, CellWidth, 2);
    side(r.x0, r.y0, 0, 1, h, 0, 0, 2, CellHeight);
    side(r.x1, r.y0, 0, 1, h, CellWidth - 2, 0, 2, CellHeight);
}

}  // namespace

Cell PointerCellOfCurrentEvent() {
    return CellAt(windowing::CanvasAttribute(CanvasNumber, windowing::CanvasPointerX),
                  windowing::CanvasAttribute(CanvasNumber, windowing::CanvasPointerY));
}

void RedrawPage(EditorState& state) {
    runtime::DrawingContext* target = windowing::CanvasDrawTarget(CanvasNumber);
    const bool remembered =
        state.shownDrawSerial != 0 && state.shownDrawSerial + 1 == windowing::CanvasDrawSerial(CanvasNumber);
    runtime::BeginDrawing(target);
    // Outside a canvas event (a command, start-up) this lands on cell (0, 0).
    const Cell c = state.highlightFromState ? state.pointerCell : PointerCellOfCurrentEvent();
    // The mixed view's text lines take no highlight: they are not pixels.
    const int rows = state.mixedView ? lores::FirstMixedPixelRow : lores::PageHeight;
    const int highlight =
        c.x >= 0 && c.x < lores::PageWidth && c.y >= 0 && c.y < rows ? c.y * lores::PageWidth + c.x : -1;
    const lores::LoresPage& page = ShownPage(state);
    const lores::Palette& palette = state.colours();
    const int current = state.currentColour & 15;
    const CellRect outline = Outline(state);
    const bool outlineMoved = outline != state.select.shownOutline;
    std::bitset<lores::PageWidth * lores::PageHeight> filled;  // the cells drawn whole now
    const auto redrawBox = [&](int i) {
        const int x = i % lores::PageWidth, y = i / lores::PageWidth;
        const auto colour = static_cast<std::uint8_t>(i == highlight ? current : lores::PixelAt(page, x, y));
        if (remembered && state.shownColours[i] == colour) return;
        FillCell(x, y, palette[colour], state.showGrid);
        filled[static_cast<std::size_t>(i)] = true;
        // The outline's part in it (unless the whole outline is drawn anew below).
        if (!outlineMoved && OnBorder(outline, x, y)) OutlineCell(outline, x, y);
        state.shownColours[i] = colour;
    };
    // The old outline goes: its lines drawn again in the colours shown there.
    // A move or paste on an unchanged page differs from what is shown only
    // where it is now or was last time.
    Selecting& select = state.select;
    const CellRect overlay = OverlayBounds(state);
    const bool samePage = remembered && page == state.shownPage;
    const bool onlyOverlay = remembered && !samePage && !overlay.empty() && !select.shownOverlay.empty() &&
                             state.textCursor.x < 0 && state.workingPage() == select.shownUnder;
    if (samePage || onlyOverlay) {
        // Only the pointer or the current colour changed: the box the
        // pointer left and the box it is on.
        if (state.shownHighlight >= 0) redrawBox(state.shownHighlight);
        if (highlight >= 0) redrawBox(highlight);
        if (onlyOverlay) {
            const CellRect& was = select.shownOverlay;
            for (int y = std::min(was.y0, overlay.y0); y <= std::max(was.y1, overlay.y1); ++y)
                for (int x = std::min(was.x0, overlay.x0); x <= std::max(was.x1, overlay.x1); ++x)
                    redrawBox(y * lores::PageWidth + x);
            state.shownPage = page;
        }
    } else {
        // Only the boxes whose colour differs from what the canvas shows
        // now, unless something else drew there since.
        for (int i = 0; i < rows * lores::PageWidth; ++i) redrawBox(i);
        for (int line = 0; state.mixedView && line < 4; ++line) {
            const std::uint8_t* text = page.data() + lores::RowBaseTable[lores::FirstMixedTextRow + line];
            for (int x = 0; x < lores::PageWidth; ++x) {
                std::uint8_t& shown = state.shownText[static_cast<std::size_t>(line * lores::PageWidth + x)];
                if (!remembered || shown != text[x]) documents::DrawTextCell(x, line, text[x]);
                shown = text[x];
            }
        }
        // The typing cursor: its character cell shown the other way round
        // (normal as inverse, anything else as normal) while it blinks on.
        if (state.mixedView && state.cursorShown && state.textCursor.x >= 0) {
            const Cell c = state.textCursor;
            const std::uint8_t code =
                page[static_cast<std::size_t>(lores::RowBaseTable[lores::FirstMixedTextRow + c.y] + c.x)];
            const auto flipped = static_cast<std::uint8_t>(code >= 0x80 ? code & 0x3F : (code & 0x3F) | 0x80);
            documents::DrawTextCell(c.x, c.y, flipped);
            state.shownText[static_cast<std::size_t>(c.y * lores::PageWidth + c.x)] = flipped;
        }
        state.shownPage = page;
    }
    // The old outline goes (its lines drawn again in the colours shown there,
    // where the cell was not drawn whole), the new one comes.
    if (remembered && outlineMoved)
        EraseOutline(state.select.shownOutline, state.shownColours, filled, palette, state.showGrid);
    if (outlineMoved) DrawOutline(outline);
    select.shownOutline = outline;
    select.shownOverlay = overlay;
    if (!overlay.empty()) select.shownUnder = state.workingPage();
    state.shownHighlight = highlight;
    runtime::EndDrawing();
    // The serial this span was given; any later span on the canvas moves it on.
    state.shownDrawSerial = target ? windowing::CanvasDrawSerial(CanvasNumber) : 0;
}

void RedrawAtPointerCell(EditorState& state) {
    state.highlightFromState = true;
    RedrawPage(state);
    state.highlightFromState = false;
}

void UpdatePointer(EditorState& state, Cell cell) {
    state.pointerCell = cell;
    // The title changes with the cell, not with every move within it.
    if (state.titleCell == cell) return;
    state.titleCell = cell;
    char title[160];
    std::snprintf(title, sizeof title, "%s x:%d,y:%d", state.titleText.c_str(), cell.x, cell.y);
    windowing::SetWindowCaption(WindowNumber, title);
}

}  // namespace editor
