// The view's zoom, 1x to 4x of the cells' 16x8 screen pixels.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// The zoom kept from the last start ($XDG_CONFIG_HOME/vornel/zoom), 1 when none.
int SavedZoom();
// Shows the canvas at the zoom wanted, or the largest smaller one the
// screen has room for, the window fitted to it; kept for the next start
// when remember is set.
void ApplyZoom(EditorState& state, int wanted, bool remember);
// Where the status line is at a zoom.
int StatusLineTop(int zoom);

}  // namespace editor
