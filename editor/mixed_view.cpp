#include "editor/mixed_view.h"

#include <algorithm>

namespace editor {

int DrawableRows(const EditorState& state) { return state.mixedView ? lores::FirstMixedPixelRow : lores::PageHeight; }

bool OnTextLines(const EditorState& state, Cell c) {
    return state.mixedView && c.y >= lores::FirstMixedPixelRow && c.y < lores::PageHeight;
}

void SetMixedView(EditorState& state, bool on) {
    state.mixedView = on;
    if (!on) return;
    Selecting& s = state.select;
    // A move under way is given up: the cells it carries may be text.
    if (s.drag == Selecting::Drag::Moving) s.offset = {};
    s.drag = Selecting::Drag::None;
    s.rect.y1 = std::min(s.rect.y1, DrawableRows(state) - 1);
    if (s.rect.empty()) s.rect = {};
}

}  // namespace editor
