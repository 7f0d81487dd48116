// The selection tool: a drag marks a rectangle of cells, a drag inside one
// carries its cells (the work is the selection's own, in editor/selection).
#include "editor/selection.h"
#include "editor/tools/tool.h"

namespace editor::tools {
namespace {

class SelectTool final : public PaintTool {
public:
    SelectTool() : PaintTool(Tool::Select) {}

private:
    bool TakesTextLines() const override { return true; }
    Shown Pointer(EditorState& state, PointerPhase phase) const override {
        SelectPointer(state, state.pointerCell, phase);
        return Shown::Nothing;  // shown by the selection, with its outline
    }
    Shown Release(EditorState& state, Cell cell) const override {
        SelectPointer(state, cell, PointerPhase::Release);
        return Shown::Nothing;
    }
};

}  // namespace

const PaintTool& Select() {
    static const SelectTool tool;
    return tool;
}

}  // namespace editor::tools
