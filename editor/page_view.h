// The page view: the working page magnified into the canvas, the highlight
// on the cell under the pointer, and the pointer's cell in the title.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// Repaints the whole canvas from the working page, with the highlight.
void RedrawPage(EditorState& state);

// Takes the pointer cell from the current canvas event and shows it in the
// window title.
void UpdatePointer(EditorState& state);

}  // namespace editor
