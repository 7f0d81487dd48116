#include "editor/page_view.h"

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

void FillCell(int x, int y, runtime::ColourValue colour, bool grid) {
    const int px = CellWidth * x, py = CellHeight * y;
    runtime::FillBox(px, py, CellWidth, CellHeight, colour);
    if (!grid) return;
    runtime::FillBox(px, py, 1, CellHeight, GridColour);
    if (y == MixedRow) runtime::FillBox(px, py, CellWidth, 2, MixedLineColour);
    else runtime::FillBox(px, py, CellWidth, 1, GridColour);
}

bool OnBorder(const CellRect& r, int x, int y) {
    return r.contains({x, y}) && (x == r.x0 || x == r.x1 || y == r.y0 || y == r.y1);
}

// The selection's outline where it crosses cell (x, y): a one-pixel dashed
// line (white and black, four pixels each) just inside the cell's edges that
// are the rectangle's, so that every cell still shows its colour.
void OutlineCell(const CellRect& r, int x, int y) {
    const int px = CellWidth * x, py = CellHeight * y;
    const auto across = [&](int row) {
        for (int d = 0; d < CellWidth; d += 4) runtime::FillBox(px + d, row, 4, 1, d % 8 ? 0x000000 : 0xFFFFFF);
    };
    const auto down = [&](int column) {
        for (int d = 0; d < CellHeight; d += 4) runtime::FillBox(column, py + d, 1, 4, d % 8 ? 0x000000 : 0xFFFFFF);
    };
    if (y == r.y0) across(py);
    if (y == r.y1) across(py + CellHeight - 1);
    if (x == r.x0) down(px);
    if (x == r.x1) down(px + CellWidth - 1);
}

template <typename Visit>
void ForBorder(const CellRect& r, Visit visit) {
    if (r.empty()) return;
    for (int x = r.x0; x <= r.x1; ++x) {
        visit(x, r.y0);
        if (r.y1 != r.y0) visit(x, r.y1);
    }
    for (int y = r.y0 + 1; y < r.y1; ++y) {
        visit(r.x0, y);
        if (r.x1 != r.x0) visit(r.x1, y);
    }
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
    const auto redrawBox = [&](int i) {
        const int x = i % lores::PageWidth, y = i / lores::PageWidth;
        const auto colour = static_cast<std::uint8_t>(i == highlight ? current : lores::PixelAt(page, x, y));
        if (remembered && state.shownColours[i] == colour) return;
        FillCell(x, y, palette[colour], state.showGrid);
        if (OnBorder(outline, x, y)) OutlineCell(outline, x, y);
        state.shownColours[i] = colour;
    };
    // The old outline goes with its cells drawn again.
    if (remembered && outlineMoved)
        ForBorder(state.select.shownOutline, [&](int x, int y) { state.shownColours[y * lores::PageWidth + x] = 0xFF; });
    if (remembered && page == state.shownPage && !outlineMoved) {
        // Only the pointer or the current colour changed: the box the
        // pointer left and the box it is on.
        if (state.shownHighlight >= 0) redrawBox(state.shownHighlight);
        if (highlight >= 0) redrawBox(highlight);
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
        if (outlineMoved) ForBorder(outline, [&](int x, int y) { OutlineCell(outline, x, y); });
    }
    state.select.shownOutline = outline;
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
