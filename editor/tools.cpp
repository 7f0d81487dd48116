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

}  // namespace

void KeepUndoCopy(EditorState& state) {
    state.undoAvailable = 1;
    state.pictureChanged = true;
    lores::CopyPage(state.undoCopy(), state.workingPage());
}

namespace {

// Draws a shape into the page for one repaint only.
template <typename Draw>
void Preview(EditorState& state, Draw draw) {
    lores::CopyPage(state.previewScratch(), state.workingPage());
    KeepingTextLines(state, draw);
    RedrawPage(state);
    lores::CopyPage(state.workingPage(), state.previewScratch());
}

}  // namespace

bool Stamp(EditorState& state, Cell c) {
    const int lo = -(state.brushSize - 1) / 2, hi = state.brushSize / 2;
    bool changed = false;
    for (int dy = lo; dy <= hi; ++dy)
        for (int dx = lo; dx <= hi; ++dx)
            Mirrored(state, [&](auto map) {
                const Cell m = map(Cell{c.x + dx, c.y + dy});
                if (!OnPage(m) || OnTextLines(state, m) || lores::PixelAt(state.workingPage(), m.x, m.y) == (state.currentColour & 15))
                    return;
                lores::PenDot(state.workingPage(), m.x, m.y, state.currentColour);
                changed = true;
            });
    if (changed) state.pictureChanged = true;
    return changed;
}

void PenPointer(EditorState& state, PointerPhase phase) {
    const Cell p = state.pointerCell;
    // A stroke is joined: every cell of the line from the cell before,
    // however far the pointer went between two events.
    if (phase == PointerPhase::Drag && OnPage(state.strokeLast) && OnPage(p))
        lores::WalkLine(state.strokeLast.x, state.strokeLast.y, p.x, p.y, [&](int x, int y) { Stamp(state, {x, y}); });
    else if ((phase == PointerPhase::Press || phase == PointerPhase::Drag) && OnPage(p))
        Stamp(state, p);
    if (phase == PointerPhase::Press || phase == PointerPhase::Drag) state.strokeLast = OnPage(p) ? p : state.strokeLast;
    RedrawPage(state);
}

namespace {

// An outline with the brush: the shape's cells (into a page of its own),
// each stamped as the pen stamps. With the one-cell brush the shape is
// drawn as it always was, at the mirrored places' own corners.
template <typename Shape, typename Plain>
void Outline(EditorState& state, Shape shape, Plain plain) {
    if (state.brushSize <= 1) return plain();
    lores::LoresPage mask{};
    shape(mask);
    for (int y = 0; y < lores::PageHeight; ++y)
        for (int x = 0; x < lores::PageWidth; ++x)
            if (lores::PixelAt(mask, x, y)) Stamp(state, {x, y});
}

// Lines, circles and the shapes: pressed, dragged and released, they are
// the shape from the press to the release, the rubber band following the
// pointer; pressed and released in one cell, the first press of two (the
// rubber band follows until the second press commits).
template <typename Draw>
void ShapeGesture(EditorState& state, Cell& anchor, PointerPhase phase, Draw draw) {
    const auto commit = [&] {
        KeepUndoCopy(state);
        KeepingTextLines(state, draw);
        RedrawPage(state);
        anchor = NoAnchor;
    };
    switch (phase) {
    case PointerPhase::Press:
        if (Unanchored(anchor)) {
            anchor = state.pointerCell;
            state.shapeDragging = true;
            RedrawPage(state);
        } else {
            commit();
            state.shapeDragging = false;
        }
        return;
    case PointerPhase::Release:
        if (state.shapeDragging && Anchored(anchor) && !(state.pointerCell == anchor)) commit();
        state.shapeDragging = false;
        return;
    case PointerPhase::Drag:
    case PointerPhase::Hover:
        if (Anchored(anchor) && (phase == PointerPhase::Hover || state.shapeDragging)) Preview(state, draw);
        else RedrawPage(state);
        return;
    }
}

}  // namespace

void LinePointer(EditorState& state, PointerPhase phase) {
    ShapeGesture(state, state.lineAnchor, phase, [&] {
        const Cell a = state.lineAnchor, p = state.pointerCell;
        Outline(
            state, [&](lores::LoresPage& mask) { lores::DrawLine(mask, a.x, a.y, p.x, p.y, 1); },
            [&] {
                Mirrored(state, [&](auto map) {
                    const Cell ma = map(a), mp = map(p);
                    lores::DrawLine(state.workingPage(), ma.x, ma.y, mp.x, mp.y, state.currentColour);
                });
            });
    });
}

void CirclePointer(EditorState& state, PointerPhase phase) {
    ShapeGesture(state, state.circleAnchor, phase, [&] {
        const Cell a = state.circleAnchor, p = state.pointerCell;
        state.circleRadius = lores::CircleRadius(a.x, a.y, p.x, p.y);
        Outline(
            state, [&](lores::LoresPage& mask) { lores::DrawCircle(mask, a.x, a.y, state.circleRadius, 1); },
            [&] {
                Mirrored(state, [&](auto map) {
                    const Cell c = map(a);
                    lores::DrawCircle(state.workingPage(), c.x, c.y, state.circleRadius, state.currentColour);
                });
            });
    });
}

void ShapePointer(EditorState& state, PointerPhase phase) {
    ShapeGesture(state, state.shapeAnchor, phase, [&] {
        const Cell a = state.shapeAnchor, p = state.pointerCell;
        const int r = lores::CircleRadius(a.x, a.y, p.x, p.y);
        lores::LoresPage& page = state.workingPage();
        const Tool tool = state.currentTool;
        const auto shape = [&](lores::LoresPage& on, Cell ma, Cell mp, int colour) {
            switch (tool) {
            case Tool::Rectangle: lores::DrawRectangle(on, ma.x, ma.y, mp.x, mp.y, colour); break;
            case Tool::FilledRectangle: lores::FillRectangle(on, ma.x, ma.y, mp.x, mp.y, colour); break;
            case Tool::Ellipse: lores::DrawEllipse(on, ma.x, ma.y, mp.x, mp.y, colour); break;
            case Tool::FilledEllipse: lores::FillEllipse(on, ma.x, ma.y, mp.x, mp.y, colour); break;
            default: lores::FillCircle(on, ma.x, ma.y, r, colour); break;
            }
        };
        const auto plain = [&] {
            Mirrored(state, [&](auto map) { shape(page, map(a), map(p), state.currentColour); });
        };
        // Only outlines take the brush; a filled shape is filled whatever it is.
        if (tool == Tool::Rectangle || tool == Tool::Ellipse)
            Outline(state, [&](lores::LoresPage& mask) { shape(mask, a, p, 1); }, plain);
        else
            plain();
    });
}

void ToolReleased(EditorState& state, Cell cell) {
    state.strokeLast = NoAnchor;
    state.spraying = false;
    if (!state.shapeDragging) return;
    state.pointerCell = cell;
    switch (state.currentTool) {
    case Tool::Line: LinePointer(state, PointerPhase::Release); break;
    case Tool::Circle: CirclePointer(state, PointerPhase::Release); break;
    case Tool::Rectangle:
    case Tool::FilledRectangle:
    case Tool::FilledCircle:
    case Tool::Ellipse:
    case Tool::FilledEllipse: ShapePointer(state, PointerPhase::Release); break;
    default: state.shapeDragging = false; break;
    }
}

bool CancelShape(EditorState& state) {
    // Only the current tool's shape shows: another's anchor left behind is not in progress.
    Cell* anchor = nullptr;
    switch (state.currentTool) {
    case Tool::Line: anchor = &state.lineAnchor; break;
    case Tool::Circle: anchor = &state.circleAnchor; break;
    case Tool::Rectangle:
    case Tool::FilledRectangle:
    case Tool::FilledCircle:
    case Tool::Ellipse:
    case Tool::FilledEllipse: anchor = &state.shapeAnchor; break;
    default: return false;
    }
    if (!Anchored(*anchor)) return false;
    *anchor = NoAnchor;
    state.shapeDragging = false;  // the button still held draws nothing more
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
