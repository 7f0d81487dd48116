// Each tool's gesture as a small state machine over the editor state: what
// a pointer event does with the left button held (a press) or released.
#pragma once

#include "editor/editor_state.h"

namespace editor {

void PenPointer(EditorState& state, bool leftHeld);
void LinePointer(EditorState& state, bool leftHeld);
void CirclePointer(EditorState& state, bool leftHeld);
void FillPointer(EditorState& state, bool leftHeld);
// Two presses, as the line: the rectangle's corners (outline or filled), or
// the filled circle's centre and a rim cell.
void ShapePointer(EditorState& state, bool leftHeld);

inline constexpr const char* FillRefusal = "Can't fill area with color. Try another one";

}  // namespace editor
