// The event loop: one event per pass, the Escape poll, commands, and the
// pointer turned into drawing with the current tool.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// Runs until the close box or Escape ends it.
void RunEventLoop(EditorState& state);

// Handles one value WaitForEvent returned; false when the loop must end.
bool HandleEvent(EditorState& state, int event);

void CarryOutCommand(EditorState& state, int id);

// The tool's handling of the pointer at cell, with the left button held
// (pressed now, or a drag) or not (a move).
void PointerAt(EditorState& state, Cell cell, bool leftHeld, bool pressed);

// The pointer handling of a CanvasLeftButtonDown (pressed) or CanvasPointerMoved event.
void HandlePointer(EditorState& state, bool pressed);

}  // namespace editor
