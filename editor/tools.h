// Each tool's gesture as a small state machine over the editor state: what
// a pointer event does with the left button held (a press) or released.
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

void PenPointer(EditorState& state, bool leftHeld);
void LinePointer(EditorState& state, bool leftHeld);
void CirclePointer(EditorState& state, bool leftHeld);
void FillPointer(EditorState& state, bool leftHeld);
// Two presses, as the line: the rectangle's corners (outline or filled), or
// the filled circle's centre and a rim cell.
void ShapePointer(EditorState& state, bool leftHeld);

// Takes away a line, circle, rectangle or filled shape whose first press
// is made (its rubber band showing); false when none is.
bool CancelShape(EditorState& state);

inline constexpr const char* FillRefusal = "Can't fill area with color. Try another one";

}  // namespace editor
