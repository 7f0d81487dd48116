// The status line below the canvas: the pointer's cell and the colour under
// it, the current colour, the tool, the file and whether it is unsaved.
#pragma once

#include "editor/editor_state.h"

namespace editor {

inline constexpr const char* UntitledName = "(untitled)";
inline constexpr const char* UnsavedMark = "modified";

// Shows the state in the status line, when any of it changed since the
// last time (a move within a cell costs a comparison).
void UpdateStatusLine(EditorState& state);

}  // namespace editor
