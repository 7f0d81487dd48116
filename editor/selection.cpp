#include "editor/selection.h"

#include <algorithm>

#include "documents/conversions.h"
#include "documents/import_rules.h"
#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/picture_import.h"
#include "editor/tools.h"
#include "editor/tools/tool.h"
#include "lores/text_glyphs.h"
#include "runtime/images.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

using Drag = Selecting::Drag;

CellRect Clipped(CellRect r, int rows) {
    r.x0 = std::max(r.x0, 0);
    r.y0 = std::max(r.y0, 0);
    r.x1 = std::min(r.x1, lores::PageWidth - 1);
    r.y1 = std::min(r.y1, rows - 1);
    return r.empty() ? CellRect{} : r;
}

CellRect Shifted(CellRect r, Cell by) { return {r.x0 + by.x, r.y0 + by.y, r.x1 + by.x, r.y1 + by.y}; }

CellRect PasteRect(const Selecting& s) {
    return {s.pasteAt.x, s.pasteAt.y, s.pasteAt.x + s.pasted.width - 1, s.pasteAt.y + s.pasted.height - 1};
}

Cell OnRows(Cell c, int rows) {
    return {std::clamp(c.x, 0, lores::PageWidth - 1), std::clamp(c.y, 0, rows - 1)};
}

// The selected cells.
lores::Block Selected(const EditorState& state) {
    const CellRect& r = state.select.rect;
    return lores::ReadBlock(state.workingPage(), r.x0, r.y0, r.x1, r.y1);
}

void Clear(lores::LoresPage& page, CellRect r) { lores::FillRectangle(page, r.x0, r.y0, r.x1, r.y1, 0); }

// The move's result on page: the cells it leaves black, the carried ones
// where the move took them (what falls off the drawable rows is lost).
void CarryCells(const EditorState& state, lores::LoresPage& page, int rows) {
    const Selecting& s = state.select;
    Clear(page, s.rect);
    lores::PutBlock(page, s.lifted, s.rect.x0 + s.offset.x, s.rect.y0 + s.offset.y, rows);
}

// The paste put on page, and again at the mirrored places that are on.
void PlacePaste(const EditorState& state, lores::LoresPage& page, int rows) {
    const Selecting& s = state.select;
    tools::Mirrored(state, [&](auto map) {
        for (int j = 0; j < s.pasted.height; ++j)
            for (int i = 0; i < s.pasted.width; ++i) {
                const Cell c = map(Cell{s.pasteAt.x + i, s.pasteAt.y + j});
                if (c.y < rows) lores::PlotPixel(page, c.x, c.y, s.pasted.At(i, j));
            }
    });
}

void CommitMove(EditorState& state) {
    Selecting& s = state.select;
    s.drag = Drag::None;
    if (s.offset == Cell{}) return;
    EditPage(state, [&](lores::LoresPage& page, int rows) { CarryCells(state, page, rows); }, Marks::Always);
    s.rect = Clipped(Shifted(s.rect, s.offset), DrawableRows(state));
    s.offset = {};
}

std::vector<std::uint8_t> OwnBytes(const lores::Block& block) {
    std::vector<std::uint8_t> bytes{'V', 'C', 'E', 'L', static_cast<std::uint8_t>(block.width),
                                    static_cast<std::uint8_t>(block.height)};
    bytes.insert(bytes.end(), block.cells.begin(), block.cells.end());
    return bytes;
}

// The program's own type, when whole: a block of 1 to 40 by 1 to 48 colour numbers.
bool FromOwnBytes(const std::vector<std::uint8_t>& bytes, lores::Block& block) {
    if (bytes.size() < 6 || !std::equal(bytes.begin(), bytes.begin() + 4, "VCEL")) return false;
    const int w = bytes[4], h = bytes[5];
    if (w < 1 || w > lores::PageWidth || h < 1 || h > lores::PageHeight ||
        bytes.size() != 6 + static_cast<std::size_t>(w * h))
        return false;
    block.width = w;
    block.height = h;
    block.cells.assign(bytes.begin() + 6, bytes.end());
    return std::all_of(block.cells.begin(), block.cells.end(), [](std::uint8_t c) { return c < 16; });
}

// The block as the export draws it: 16x8 pixels a cell, in the palette shown.
std::vector<runtime::ColourValue> Picture(const lores::Block& block, const lores::Palette& palette) {
    const int w = block.width * CellWidth;
    std::vector<runtime::ColourValue> pixels(static_cast<std::size_t>(w * block.height * CellHeight));
    for (std::size_t p = 0; p < pixels.size(); ++p)
        pixels[p] = palette[block.At(static_cast<int>(p % w) / CellWidth, static_cast<int>(p / w) / CellHeight)];
    return pixels;
}

}  // namespace

void SelectPointer(EditorState& state, Cell cell, PointerPhase phase) {
    Selecting& s = state.select;
    const int rows = DrawableRows(state);
    switch (phase) {
    case PointerPhase::Press:
        if (!OnPage(cell) || cell.y >= rows) break;
        if (s.rect.contains(cell)) {
            s.drag = Drag::Moving;
            s.lifted = Selected(state);
            s.offset = {};
        } else {
            s.drag = Drag::Marking;
            s.rect = {cell.x, cell.y, cell.x, cell.y};
        }
        s.anchor = cell;
        break;
    case PointerPhase::Drag:
        if (s.drag == Drag::Marking) {
            const Cell c = OnRows(cell, rows);
            s.rect = {std::min(s.anchor.x, c.x), std::min(s.anchor.y, c.y), std::max(s.anchor.x, c.x),
                      std::max(s.anchor.y, c.y)};
        } else if (s.drag == Drag::Moving) {
            s.offset = {cell.x - s.anchor.x, cell.y - s.anchor.y};
        }
        break;
    case PointerPhase::Release:
        if (s.drag == Drag::Moving) CommitMove(state);
        s.drag = Drag::None;
        break;
    case PointerPhase::Hover: break;
    }
    RedrawAtPointerCell(state);
}

void PastePointer(EditorState& state, bool press) {
    state.select.pasteAt = state.pointerCell;
    if (press) PutDownPaste(state);
    else RedrawAtPointerCell(state);
}

void SelectAll(EditorState& state) {
    state.select.floating = false;
    state.select.drag = Drag::None;
    state.select.rect = {0, 0, lores::PageWidth - 1, DrawableRows(state) - 1};
    RedrawAtPointerCell(state);
}

bool DropSelection(EditorState& state) {
    Selecting& s = state.select;
    if (s.rect.empty() && !s.floating) return false;
    s.rect = {};
    s.floating = false;
    s.drag = Drag::None;
    RedrawAtPointerCell(state);
    return true;
}

bool MoveSelectionBy(EditorState& state, int dx, int dy) {
    Selecting& s = state.select;
    if (s.rect.empty() || s.floating || s.drag != Drag::None) return false;
    s.lifted = Selected(state);
    s.offset = {dx, dy};
    CommitMove(state);
    RedrawAtPointerCell(state);
    return true;
}

void CopySelection(EditorState& state, bool cut) {
    Selecting& s = state.select;
    if (s.rect.empty()) {
        state.notice = "nothing selected";
        return;
    }
    const lores::Block block = Selected(state);
    windowing::PutOnClipboard(Picture(block, state.colours()), block.width * CellWidth, block.height * CellHeight,
                              CellsClipboardType, OwnBytes(block));
    if (cut) DeleteSelection(state);
}

void DeleteSelection(EditorState& state) {
    if (state.select.rect.empty()) return;
    EditPage(state, [&](lores::LoresPage& page, int) { Clear(page, state.select.rect); }, Marks::Always);
    RedrawAtPointerCell(state);
}

void Paste(EditorState& state) {
    Selecting& s = state.select;
    const windowing::ClipboardContents contents = windowing::ReadClipboard(CellsClipboardType);
    lores::Block block;
    if (!FromOwnBytes(contents.own, block)) {
        if (contents.empty) {
            state.notice = "nothing to paste: the clipboard is empty";
            return;
        }
        if (!contents.hasImage) {
            state.notice = contents.problem.empty() ? "nothing to paste: no picture on the clipboard"
                                                : "nothing to paste: " + contents.problem;
            return;
        }
        if (contents.image.width <= 0 || contents.image.height <= 0) {
            state.notice = "nothing to paste: the picture on the clipboard is empty";
            return;
        }
        // A lores picture comes exactly; any other as the user converts it.
        int cols = 0, rows = 0;
        if (documents::BlockSizeOf(contents.image, cols, rows) && documents::LoresAlready(contents.image, cols, rows))
            block = documents::BlockFromPicture(contents.image, lores::Palettes()[static_cast<std::size_t>(state.palette)]);
        else if (!ConvertedPaste(state, contents.image, block))
            return;
    }
    s.pasted = std::move(block);
    s.floating = true;
    s.drag = Drag::None;
    s.rect = {};
    s.pasteAt = OnPage(state.pointerCell) ? state.pointerCell : Cell{};
    RedrawAtPointerCell(state);
}

void PutDownPaste(EditorState& state) {
    Selecting& s = state.select;
    if (!s.floating) return;
    s.floating = false;
    EditPage(state, [&](lores::LoresPage& page, int rows) { PlacePaste(state, page, rows); }, Marks::Always);
    // With the selection tool the cells put down stay selected, to move on.
    if (state.currentTool == Tool::Select) s.rect = Clipped(PasteRect(s), DrawableRows(state));
    RedrawAtPointerCell(state);
}

bool FlipSelection(EditorState& state, bool leftRight) {
    const CellRect r = state.select.rect;
    if (r.empty() || state.select.floating) return false;
    EditPage(state, [&](lores::LoresPage& page, int) { lores::FlipArea(page, r.x0, r.y0, r.x1, r.y1, leftRight); },
             Marks::Always);
    RedrawAtPointerCell(state);
    return true;
}

namespace {

const lores::LoresPage& ShownPage(EditorState& state) {
    Selecting& s = state.select;
    const bool moving = s.drag == Drag::Moving && s.offset != Cell{};
    if (!moving && !s.floating) return state.workingPage();
    // Made again only when the move, the paste or the page under it changed
    // (a pointer moving within a cell changes none of them).
    const Selecting::Composed now{moving, moving ? s.offset : s.pasteAt, state.mirrorLeftRight,
                                  state.mirrorTopBottom, DrawableRows(state)};
    if (s.composed == now && s.composedFrom == state.workingPage()) return s.overlaid;
    s.composed = now;
    s.composedFrom = state.workingPage();
    s.overlaid = state.workingPage();
    if (moving) CarryCells(state, s.overlaid, now.rows);
    else PlacePaste(state, s.overlaid, now.rows);
    return s.overlaid;
}

CellRect OverlayBounds(const EditorState& state) {
    const Selecting& s = state.select;
    const int rows = DrawableRows(state);
    if (s.floating) {
        // The paste and its mirrored copies.
        CellRect r = PasteRect(s);
        const CellRect placed = r;
        tools::Mirrored(state, [&](auto map) {
            const Cell a = map(Cell{placed.x0, placed.y0}), b = map(Cell{placed.x1, placed.y1});
            r = {std::min({r.x0, a.x, b.x}), std::min({r.y0, a.y, b.y}), std::max({r.x1, a.x, b.x}),
                 std::max({r.y1, a.y, b.y})};
        });
        return Clipped(r, rows);
    }
    if (s.drag != Drag::Moving || s.offset == Cell{}) return {};
    // The cells the move leaves stay black from one redraw to the next: only
    // where the carried cells are changes.
    return Clipped(Shifted(s.rect, s.offset), rows);
}

CellRect Outline(const EditorState& state) {
    const Selecting& s = state.select;
    if (s.floating) return Clipped(PasteRect(s), DrawableRows(state));
    if (s.drag == Drag::Moving) return Clipped(Shifted(s.rect, s.offset), DrawableRows(state));
    return s.rect;
}

}  // namespace

SelectionShown ShownSelection(EditorState& state) { return {ShownPage(state), Outline(state), OverlayBounds(state)}; }

}  // namespace editor
