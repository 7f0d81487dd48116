// The pen: the brush stamped at every cell the pointer passes over with
// the button held, one step of the history from the press to the release.
#include "editor/tools/tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class PenTool final : public PaintTool {
public:
    PenTool() : PaintTool(Tool::Pen) {}

private:
    bool Stroke() const override { return true; }
    Shown Pointer(EditorState& state, PointerPhase phase) const override {
        const Cell p = state.pointerCell;
        // A stroke is joined: every cell of the line from the cell before,
        // however far the pointer went between two events.
        if (phase == PointerPhase::Drag && OnPage(state.strokeLast) && OnPage(p))
            lores::WalkLine(state.strokeLast.x, state.strokeLast.y, p.x, p.y, [&](int x, int y) { Stamp(state, {x, y}); });
        else if ((phase == PointerPhase::Press || phase == PointerPhase::Drag) && OnPage(p))
            Stamp(state, p);
        if ((phase == PointerPhase::Press || phase == PointerPhase::Drag) && OnPage(p)) state.strokeLast = p;
        return Shown::Page;
    }
    Shown Release(EditorState& state, Cell) const override {
        state.strokeLast = NoAnchor;
        return Shown::Nothing;
    }
    void Chosen(EditorState& state) const override { state.strokeLast = NoAnchor; }
};

}  // namespace

const PaintTool& Pen() {
    static const PenTool tool;
    return tool;
}

}  // namespace editor::tools
