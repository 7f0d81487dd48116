// The page view: the working page magnified into the canvas, the highlight
// on the cell under the pointer, the grid when it is on, and the pointer's
// cell in the title.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// Repaints the canvas from the working page, with the highlight (and the
// grid); only the boxes that changed since the last redraw are filled.
void RedrawPage(EditorState& state);

// Every box drawn again, not only those whose colour changed: for a change
// of how the page is shown (the grid, the mixed view, the palette, the
// typing cursor), which no colour records.
void RedrawEveryBox(EditorState& state);

// The same with the highlight on the pointer's cell, for what a key does
// (outside a canvas event the highlight would land on cell (0, 0)).
void RedrawAtPointerCell(EditorState& state);

// A change of how the page is shown (the grid, the mixed view, the
// palette): every box is drawn again, the highlight on the pointer's cell.
template <typename Change>
void ChangeView(EditorState& state, Change change) {
    change();
    state.shown.drawSerial = 0;
    RedrawAtPointerCell(state);
}

// The cell under the pointer of the current canvas event.
Cell PointerCellOfCurrentEvent();

// A zoomed view that shows only part of the page scrolls to show the cells
// (all of them when they fit).
void ShowCells(const EditorState& state, CellRect cells);
inline void FollowPointerCell(const EditorState& state) {
    ShowCells(state, {state.pointerCell.x, state.pointerCell.y, state.pointerCell.x, state.pointerCell.y});
}
// The middle of the cell as the window shows it now (zoomed, scrolled), in
// its client area.
Cell CanvasPointOfCell(Cell c);

// The size of a cell on the canvas (16x8 until told otherwise): the view
// draws and finds cells with it.
void UseCells(documents::CellSize cells);

// Makes cell the pointer's cell and shows it in the window title.
void UpdatePointer(EditorState& state, Cell cell);

}  // namespace editor
