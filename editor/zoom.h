// The view's zoom, 1x to 4x of the cells' 16x8 screen pixels.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// The zoom kept from the last start ($XDG_CONFIG_HOME/vornel/zoom), 1 when none.
int SavedZoom();
// Shows the canvas at the zoom wanted, the window fitted to it as far as
// the screen has room (the canvas scrolls inside it beyond that); kept for
// the next start when remember is set.
void ApplyZoom(EditorState& state, int wanted, bool remember);
// The view at a pixel aspect: the canvas's cells 16x8, 14x8 or 16x10
// screen pixels (before the zoom), the window fitted to it; kept for the
// next start ($XDG_CONFIG_HOME/vornel/aspect) when remember is set.
void ApplyAspect(EditorState& state, documents::PixelAspect aspect, bool remember);
// The aspect kept from the last start, 2:1 when none.
documents::PixelAspect SavedAspect();
// Control and the wheel over the canvas (the current event): a zoom step
// in or out about the pointer.
void WheelZoom(EditorState& state);

}  // namespace editor
