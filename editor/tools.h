// Each tool's gesture as a small state machine over the editor state: what
// a pointer event does with the left button pressed, held, released or up.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// What a tool draws, drawn again at the mirrored places that are on
// (left-right: column 39 - x; top-bottom: row 47 - y; both: four-fold).
// draw(map) draws with every cell passed through map.
template <typename Draw>
void Mirrored(const EditorState& state, Draw draw) {
    for (int m = 0; m < 4; ++m) {
        const bool lr = m & 1, tb = m & 2;
        if ((lr && !state.mirrorLeftRight) || (tb && !state.mirrorTopBottom)) continue;
        draw([lr, tb](Cell c) {
            return Cell{lr ? lores::PageWidth - 1 - c.x : c.x, tb ? lores::PageHeight - 1 - c.y : c.y};
        });
    }
}

// Each tool's answer to a pointer event at state.pointerCell.
void PenPointer(EditorState& state, PointerPhase phase);
void LinePointer(EditorState& state, PointerPhase phase);
void CirclePointer(EditorState& state, PointerPhase phase);
void FillPointer(EditorState& state, bool leftHeld);
// Dragged from press to release, or two presses as the line: the
// rectangle's corners (outline or filled), the filled circle's centre and a
// rim cell, the box of an ellipse (outline or filled).
void ShapePointer(EditorState& state, PointerPhase phase);
// The spray while the button is held (and a burst at each of its wake-ups),
// Replace Colour and Pattern Fill.
void SprayPointer(EditorState& state, PointerPhase phase);
void SprayStep(EditorState& state);
void ReplaceColourPointer(EditorState& state, bool press);
void PatternFillPointer(EditorState& state, bool press);

// The release of the left button at cell, for the tools that act on it.
void ToolReleased(EditorState& state, Cell cell);

// What the pen, the spray and the shapes' outlines draw at a cell: a
// square of the brush's size, at every mirrored place, off the text lines
// in the mixed view; true when a cell changed.
bool Stamp(EditorState& state, Cell c);

// The toolbar's one-level undo copy, taken before the change it protects
// (the picture is then changed).
void KeepUndoCopy(EditorState& state);

// The brush (1 to 3), kept for the next start.
void SetBrushSize(EditorState& state, int size);
int LoadBrushSize();

// Takes away a line, circle, rectangle or filled shape whose first press
// is made (its rubber band showing); false when none is.
bool CancelShape(EditorState& state);

inline constexpr const char* FillRefusal = "Can't fill area with color. Try another one";

}  // namespace editor
