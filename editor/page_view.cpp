#include "editor/page_view.h"

#include <algorithm>
#include <bitset>
#include <cstdio>

#include "editor/frames.h"
#include "editor/mixed_view.h"
#include "editor/selection.h"
#include "lores/text_glyphs.h"
#include "runtime/images.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// The canvas's cells, in its pixels: the pixel aspect's.
documents::CellSize cellSize;

// Division truncating toward zero, as the cell arithmetic has always done.
Cell CellAt(std::intptr_t px, std::intptr_t py) {
    return {static_cast<int>(px / cellSize.width), static_cast<int>(py / cellSize.height)};
}

// The grid: a thin line on the top and left of every cell, and a stronger
// one above row 40, where the text lines of the mixed mode begin.
constexpr runtime::ColourValue GridColour = 0x808080;

// A box's colour as the canvas remembers it: a palette colour, or 16 and
// up for the onion skin's faint ones (a third of the light).
runtime::ColourValue BoxColour(const lores::Palette& palette, int colour) {
    if (colour < 16) return palette[static_cast<std::size_t>(colour)];
    runtime::ColourValue out = 0;
    for (int shift = 0; shift <= 16; shift += 8) out |= ((palette[static_cast<std::size_t>(colour - 16)] >> shift & 0xFF) / 3) << shift;
    return out;
}
constexpr runtime::ColourValue MixedLineColour = 0x00C0FF;
constexpr int MixedRow = 40;

// A part of the canvas (x, y, w, h) that drawing keeps to; all of it by default.
struct Part {
    int x = 0, y = 0, w = 1 << 20, h = 1 << 20;
};

void FillInPart(const Part& part, int x, int y, int w, int h, runtime::ColourValue colour) {
    const int l = std::max(x, part.x), t = std::max(y, part.y);
    const int r = std::min(x + w, part.x + part.w), b = std::min(y + h, part.y + part.h);
    if (r > l && b > t) runtime::FillBox(l, t, r - l, b - t, colour);
}

// The cell's box, grid included.
void FillCell(int x, int y, runtime::ColourValue colour, bool grid, const Part& part = {}) {
    const int px = cellSize.width * x, py = cellSize.height * y;
    FillInPart(part, px, py, cellSize.width, cellSize.height, colour);
    if (!grid) return;
    FillInPart(part, px, py, 1, cellSize.height, GridColour);
    if (y == MixedRow) FillInPart(part, px, py, cellSize.width, 2, MixedLineColour);
    else FillInPart(part, px, py, cellSize.width, 1, GridColour);
}

bool OnBorder(const CellRect& r, int x, int y) {
    return r.contains({x, y}) && (x == r.x0 || x == r.x1 || y == r.y0 || y == r.y1);
}

// The outline of a rectangle of cells: along each side a white line on the
// side's outermost pixels and a black one just inside it, so that it shows
// on every colour and every cell still shows its own. Eight boxes, or what
// of them lies in a part (a cell drawn again).
void DrawOutline(const CellRect& r, const Part& part = {}) {
    if (r.empty()) return;
    constexpr runtime::ColourValue Outer = 0xFFFFFF, Inner = 0x000000;
    const int left = cellSize.width * r.x0, top = cellSize.height * r.y0;
    const int right = cellSize.width * (r.x1 + 1), bottom = cellSize.height * (r.y1 + 1);
    const int w = right - left, h = bottom - top;
    FillInPart(part, left, top + 1, w, 1, Inner);
    FillInPart(part, left, bottom - 2, w, 1, Inner);
    FillInPart(part, left + 1, top, 1, h, Inner);
    FillInPart(part, right - 2, top, 1, h, Inner);
    FillInPart(part, left, top, w, 1, Outer);
    FillInPart(part, left, bottom - 1, w, 1, Outer);
    FillInPart(part, left, top, 1, h, Outer);
    FillInPart(part, right - 1, top, 1, h, Outer);
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
            const Part part{cellSize.width * cx + lx, cellSize.height * cy + ly, dx ? w * n : w, dy ? h * n : h};
            if (grid) FillCell(cx, cy, BoxColour(palette, colour), true, part);
            else runtime::FillBox(part.x, part.y, part.w, part.h, BoxColour(palette, colour));
            k += n;
        }
    };
    const int w = r.width(), h = r.height();
    side(r.x0, r.y0, 1, 0, w, 0, 0, cellSize.width, 2);
    side(r.x0, r.y1, 1, 0, w, 0, cellSize.height - 2, cellSize.width, 2);
    side(r.x0, r.y0, 0, 1, h, 0, 0, 2, cellSize.height);
    side(r.x1, r.y0, 0, 1, h, cellSize.width - 2, 0, 2, cellSize.height);
}

// The mixed view's text lines where they differ from what is shown (all of
// them when nothing shown is remembered), and the typing cursor: its
// character cell the other way round (normal as inverse, anything else as
// normal) while it blinks on.
void DrawTextLines(EditorState& state, const lores::LoresPage& page, bool remembered) {
    for (int line = 0; line < lores::MixedTextLines; ++line) {
        const std::uint8_t* text = page.data() + lores::MixedTextOffset(line, 0);
        for (int x = 0; x < lores::PageWidth; ++x) {
            std::uint8_t& shown = state.shown.text[static_cast<std::size_t>(line * lores::PageWidth + x)];
            if (!remembered || shown != text[x]) documents::DrawTextCell(x, line, text[x], cellSize);
            shown = text[x];
        }
    }
    if (!state.typing.cursorShown || state.typing.cursor.x < 0) return;
    const Cell c = state.typing.cursor;
    const std::uint8_t code = page[static_cast<std::size_t>(lores::MixedTextOffset(c.y, c.x))];
    const auto flipped = static_cast<std::uint8_t>(code >= 0x80 ? code & 0x3F : (code & 0x3F) | 0x80);
    documents::DrawTextCell(c.x, c.y, flipped, cellSize);
    state.shown.text[static_cast<std::size_t>(c.y * lores::PageWidth + c.x)] = flipped;
}

}  // namespace

Cell PointerCellOfCurrentEvent() {
    return CellAt(windowing::CanvasAttribute(CanvasNumber, windowing::CanvasPointerX),
                  windowing::CanvasAttribute(CanvasNumber, windowing::CanvasPointerY));
}

namespace {

void Redraw(EditorState& state, Cell c) {
    runtime::DrawingContext* target = windowing::CanvasDrawTarget(CanvasNumber);
    const bool remembered =
        state.shown.drawSerial != 0 && state.shown.drawSerial + 1 == windowing::CanvasDrawSerial(CanvasNumber);
    runtime::BeginDrawing(target);
    // The mixed view's text lines take no highlight: they are not pixels.
    const int rows = DrawableRows(state);
    const int highlight =
        c.x >= 0 && c.x < lores::PageWidth && c.y >= 0 && c.y < rows ? c.y * lores::PageWidth + c.x : -1;
    // What lies over the page, gathered once: the selection's outline and
    // its move or paste, then the onion skin; the rubber band is in the
    // page by now (drawn there for this redraw only), the typing cursor is
    // drawn with the text lines.
    const SelectionShown selection = ShownSelection(state);
    const lores::LoresPage& page = selection.page;
    const lores::Palette& palette = state.colours();
    const int current = state.currentColour & 15;
    const CellRect outline = selection.outline;
    const bool outlineMoved = outline != state.select.shownOutline;
    std::bitset<lores::PageWidth * lores::PageHeight> filled;  // the cells drawn whole now
    // The onion skin: where the frame is black, the previous frame's colour
    // at a third of its light (shown as colour 16 + its number).
    const lores::LoresPage* onion = OnionPage(state);
    const auto redrawBox = [&](int i) {
        const int x = i % lores::PageWidth, y = i / lores::PageWidth;
        auto colour = static_cast<std::uint8_t>(i == highlight ? current : lores::PixelAt(page, x, y));
        if (onion && colour == 0 && i != highlight) {
            if (const int under = lores::PixelAt(*onion, x, y)) colour = static_cast<std::uint8_t>(16 + under);
        }
        if (remembered && state.shown.colours[i] == colour) return;
        FillCell(x, y, BoxColour(palette, colour), state.showGrid);
        filled[static_cast<std::size_t>(i)] = true;
        // The outline's part in it (unless the whole outline is drawn anew below).
        if (!outlineMoved && OnBorder(outline, x, y))
            DrawOutline(outline, {cellSize.width * x, cellSize.height * y, cellSize.width, cellSize.height});
        state.shown.colours[i] = colour;
    };
    // A move or paste on an unchanged page differs from what is shown only
    // where it is now or was last time.
    Selecting& select = state.select;
    const CellRect overlay = selection.overlay;
    const bool samePage = remembered && page == state.shown.page;
    const bool onlyOverlay = remembered && !samePage && !overlay.empty() && !select.shownOverlay.empty() &&
                             state.typing.cursor.x < 0 && state.workingPage() == select.shownUnder;
    if (samePage || onlyOverlay) {
        // Only the pointer or the current colour changed: the box the
        // pointer left and the box it is on.
        if (state.shown.highlight >= 0) redrawBox(state.shown.highlight);
        if (highlight >= 0) redrawBox(highlight);
        if (onlyOverlay) {
            const CellRect& was = select.shownOverlay;
            for (int y = std::min(was.y0, overlay.y0); y <= std::max(was.y1, overlay.y1); ++y)
                for (int x = std::min(was.x0, overlay.x0); x <= std::max(was.x1, overlay.x1); ++x)
                    redrawBox(y * lores::PageWidth + x);
            state.shown.page = page;
        }
    } else {
        // Only the boxes whose colour differs from what the canvas shows
        // now, unless something else drew there since.
        for (int i = 0; i < rows * lores::PageWidth; ++i) redrawBox(i);
        if (state.mixedView) DrawTextLines(state, page, remembered);
        state.shown.page = page;
    }
    // The old outline goes (its lines drawn again in the colours shown there,
    // where the cell was not drawn whole), the new one comes.
    if (remembered && outlineMoved)
        EraseOutline(state.select.shownOutline, state.shown.colours, filled, palette, state.showGrid);
    if (outlineMoved) DrawOutline(outline);
    select.shownOutline = outline;
    select.shownOverlay = overlay;
    if (!overlay.empty()) select.shownUnder = state.workingPage();
    state.shown.highlight = highlight;
    runtime::EndDrawing();
    // The serial this span was given; any later span on the canvas moves it on.
    state.shown.drawSerial = target ? windowing::CanvasDrawSerial(CanvasNumber) : 0;
}

}  // namespace

// Outside a canvas event (a command, start-up) the highlight lands on cell (0, 0).
void RedrawPage(EditorState& state) { Redraw(state, PointerCellOfCurrentEvent()); }

void RedrawEveryBox(EditorState& state) {
    state.shown.drawSerial = 0;  // nothing shown is remembered
    RedrawPage(state);
}

void RedrawAtPointerCell(EditorState& state) {
    Redraw(state, state.pointerCell);
}

void UseCells(documents::CellSize cells) { cellSize = cells; }

void UpdatePointer(EditorState& state, Cell cell) {
    state.pointerCell = cell;
    // The title changes with the cell, not with every move within it.
    if (state.titleCell == cell) return;
    state.titleCell = cell;
    char title[160];
    std::snprintf(title, sizeof title, "%s x:%d,y:%d", state.titleText.c_str(), cell.x, cell.y);
    windowing::SetWindowCaption(WindowNumber, title);
}

void ShowCells(const EditorState& state, CellRect cells) {
    if (state.zoom == 1 || cells.empty()) return;
    windowing::ShowCanvasArea(CanvasNumber, cells.x0 * cellSize.width, cells.y0 * cellSize.height, cells.width() * cellSize.width,
                              cells.height() * cellSize.height);
}

Cell CanvasPointOfCell(Cell c) {
    Cell at;
    windowing::CanvasPointInWindow(CanvasNumber, cellSize.width * c.x, cellSize.height * c.y, at.x, at.y);
    // The zoom is in where the cell's corner is: its middle is that far on.
    int farX = at.x, farY = at.y;
    windowing::CanvasPointInWindow(CanvasNumber, cellSize.width * (c.x + 1), cellSize.height * (c.y + 1), farX, farY);
    return {(at.x + farX) / 2, (at.y + farY) / 2};
}

}  // namespace editor
