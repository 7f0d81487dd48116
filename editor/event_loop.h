// The event loop: one event per pass, the Escape poll, commands, and the
// pointer turned into drawing with the current tool.
#pragma once

#include "documents/documents.h"
#include "editor/editor_state.h"

namespace editor {

inline constexpr const char* SaveChangesQuestion = "Save changes to the picture?";

// The document commands' view of the editor's picture.
documents::Document DocumentOf(EditorState& state);

// True when the picture may be replaced or the program may end: nothing is
// unsaved, or the user chose to save (and the save succeeded) or to discard.
bool MayDiscardPicture(EditorState& state);

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
