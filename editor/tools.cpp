#include "editor/tools.h"

#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "lores/drawing.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// A committing press treats an anchor as absent only when both coordinates
// are -1; a preview draws only when neither is.
bool Unanchored(Cell a) { return a.x == -1 && a.y == -1; }
bool Anchored(Cell a) { return a.x != -1 && a.y != -1; }

// The undo copy is taken before the change it protects.
void KeepUndoCopy(EditorState& state) {
    state.undoAvailable = 1;
    state.pictureChanged = true;
    lores::CopyPage(state.undoCopy(), state.workingPage());
}

// Draws a shape into the page for one repaint only.
template <typename Draw>
void Preview(EditorState& state, Draw draw) {
    lores::CopyPage(state.previewScratch(), state.workingPage());
    KeepingTextLines(state, draw);
    RedrawPage(state);
    lores::CopyPage(state.workingPage(), state.previewScratch());
}

}  // namespace

void PenPointer(EditorState& state, bool leftHeld) {
    const Cell p = state.pointerCell;
    if (leftHeld && OnPage(p)) {
        Mirrored(state, [&](auto map) {
            const Cell c = map(p);
            if (OnTextLines(state, c) || lores::PixelAt(state.workingPage(), c.x, c.y) == (state.currentColour & 15))
                return;
            lores::PenDot(state.workingPage(), c.x, c.y, state.currentColour);
            state.pictureChanged = true;
        });
    }
    RedrawPage(state);
}

namespace {

// Lines and circles take two presses: the first sets the anchor, moves with
// the button up preview the shape, the second press commits it.
template <typename Draw>
void TwoPressGesture(EditorState& state, Cell& anchor, bool leftHeld, Draw draw) {
    if (leftHeld) {
        if (Unanchored(anchor)) {
            anchor = state.pointerCell;
            RedrawPage(state);
        } else {
            KeepUndoCopy(state);
            KeepingTextLines(state, draw);
            RedrawPage(state);
            anchor = NoAnchor;
        }
    } else if (Anchored(anchor)) {
        Preview(state, draw);
    } else {
        RedrawPage(state);
    }
}

}  // namespace

void LinePointer(EditorState& state, bool leftHeld) {
    TwoPressGesture(state, state.lineAnchor, leftHeld, [&] {
        Mirrored(state, [&](auto map) {
            const Cell a = map(state.lineAnchor), p = map(state.pointerCell);
            lores::DrawLine(state.workingPage(), a.x, a.y, p.x, p.y, state.currentColour);
        });
    });
}

void CirclePointer(EditorState& state, bool leftHeld) {
    TwoPressGesture(state, state.circleAnchor, leftHeld, [&] {
        const Cell a = state.circleAnchor, p = state.pointerCell;
        state.circleRadius = lores::CircleRadius(a.x, a.y, p.x, p.y);
        Mirrored(state, [&](auto map) {
            const Cell c = map(a);
            lores::DrawCircle(state.workingPage(), c.x, c.y, state.circleRadius, state.currentColour);
        });
    });
}

void ShapePointer(EditorState& state, bool leftHeld) {
    TwoPressGesture(state, state.shapeAnchor, leftHeld, [&] {
        const int r = lores::CircleRadius(state.shapeAnchor.x, state.shapeAnchor.y, state.pointerCell.x,
                                          state.pointerCell.y);
        lores::LoresPage& page = state.workingPage();
        Mirrored(state, [&](auto map) {
            const Cell a = map(state.shapeAnchor), p = map(state.pointerCell);
            switch (state.currentTool) {
            case Tool::Rectangle: lores::DrawRectangle(page, a.x, a.y, p.x, p.y, state.currentColour); break;
            case Tool::FilledRectangle: lores::FillRectangle(page, a.x, a.y, p.x, p.y, state.currentColour); break;
            default: lores::FillCircle(page, a.x, a.y, r, state.currentColour); break;
            }
        });
    });
}

bool CancelShape(EditorState& state) {
    // Only the current tool's shape shows: another's anchor left behind is not in progress.
    Cell* anchor = nullptr;
    switch (state.currentTool) {
    case Tool::Line: anchor = &state.lineAnchor; break;
    case Tool::Circle: anchor = &state.circleAnchor; break;
    case Tool::Rectangle:
    case Tool::FilledRectangle:
    case Tool::FilledCircle: anchor = &state.shapeAnchor; break;
    default: return false;
    }
    if (!Anchored(*anchor)) return false;
    *anchor = NoAnchor;
    RedrawAtPointerCell(state);  // a key's doing: no pointer event to take the cell from
    return true;
}

void FillPointer(EditorState& state, bool leftHeld) {
    if (!leftHeld) {
        RedrawPage(state);
        return;
    }
    // Dragged off the page (the canvas keeps reporting while the button is
    // held): there is no colour to read there, so nothing happens.
    if (!OnPage(state.pointerCell)) return;
    const Cell p = state.pointerCell;
    state.fillTarget = lores::PixelAt(state.workingPage(), p.x, p.y);
    if (state.fillTarget == state.currentColour) {
        windowing::ShowMessage("Error", FillRefusal, 0);
        return;
    }
    KeepUndoCopy(state);
    const int rows = DrawableRows(state);
    lores::FloodFill(state.workingPage(), p.x, p.y, state.fillTarget, state.currentColour, rows);
    // The mirrored fills, each of its own area; one already filled, or one
    // seeded on the mixed view's text lines, is skipped.
    Mirrored(state, [&](auto map) {
        const Cell m = map(p);
        const int target = lores::PixelAt(state.workingPage(), m.x, m.y);
        if (m.y < rows && target != (state.currentColour & 15))
            lores::FloodFill(state.workingPage(), m.x, m.y, target, state.currentColour, rows);
    });
    RedrawPage(state);
}

}  // namespace editor
