// The current tool at work: the event loop's pointer events handed to it
// and what it then shows, its release, its Escape and its wake-ups; and
// what every tool shares (the undo copy, the brush).
#pragma once

#include "editor/editor_state.h"

namespace editor {

// The pointer event at state.pointerCell, for the current tool; the page
// shown after it (with the tool's rubber band on it, through previewScratch).
void ToolPointer(EditorState& state, PointerPhase phase);

// The release of the left button at cell.
void ToolReleased(EditorState& state, Cell cell);

// Takes away the current tool's shape whose first press is made (its
// rubber band showing); false when none is.
bool CancelShape(EditorState& state);

// A wake-up of the event loop, for the current tool.
void ToolWake(EditorState& state);

// The toolbar's one-level undo copy, taken before the change it protects
// (the picture is then changed).
void KeepUndoCopy(EditorState& state);

// The brush (1 to 3), kept for the next start.
void SetBrushSize(EditorState& state, int size);
int LoadBrushSize();

inline constexpr const char* FillRefusal = "Can't fill area with color. Try another one";

}  // namespace editor
