#include "editor/tools/shape_tool.h"

#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/tools.h"

namespace editor::tools {
namespace {

// A committing press treats an anchor as absent only when both coordinates
// are -1; a preview draws only when neither is.
bool Unanchored(Cell a) { return a.x == -1 && a.y == -1; }
bool Anchored(Cell a) { return a.x != -1 && a.y != -1; }

}  // namespace

Shown ShapeTool::Pointer(EditorState& state, PointerPhase phase) const {
    Cell& anchor = Anchor(state);
    switch (phase) {
    case PointerPhase::Press:
        if (Unanchored(anchor)) {
            anchor = state.pointerCell;
            state.shapeDragging = true;
            return Shown::Page;
        }
        state.shapeDragging = false;
        break;
    case PointerPhase::Release:
        if (!state.shapeDragging || !Anchored(anchor) || state.pointerCell == anchor) {
            state.shapeDragging = false;
            return Shown::Nothing;
        }
        state.shapeDragging = false;
        break;
    case PointerPhase::Drag:
    case PointerPhase::Hover:
        return Anchored(anchor) && (phase == PointerPhase::Hover || state.shapeDragging) ? Shown::Band : Shown::Page;
    }
    // The shape is made: the undo copy first, then the shape, as the rubber band showed it.
    KeepUndoCopy(state);
    EditPage(state, [&](lores::LoresPage&, int) { Band(state); });
    anchor = NoAnchor;
    return Shown::Page;
}

Shown ShapeTool::Release(EditorState& state, Cell cell) const {
    if (!state.shapeDragging) return Shown::Nothing;
    state.pointerCell = cell;
    return Pointer(state, PointerPhase::Release);
}

void ShapeTool::Chosen(EditorState& state) const {
    state.shapeDragging = false;
    Anchor(state) = NoAnchor;
}

bool ShapeTool::Cancel(EditorState& state) const {
    Cell& anchor = Anchor(state);
    if (!Anchored(anchor)) return false;
    anchor = NoAnchor;
    state.shapeDragging = false;  // the button still held draws nothing more
    RedrawAtPointerCell(state);   // a key's doing: no pointer event to take the cell from
    return true;
}

}  // namespace editor::tools
