// The circle: its centre pressed first, its radius the distance to the
// pointer's cell.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class CircleTool final : public ShapeTool {
public:
    CircleTool() : ShapeTool(Tool::Circle) {}

private:
    Cell& Anchor(EditorState& state) const override { return state.circleAnchor; }
    void Band(EditorState& state) const override {
        const Cell a = state.circleAnchor, p = state.pointerCell;
        state.circleRadius = lores::CircleRadius(a.x, a.y, p.x, p.y);
        const int r = state.circleRadius;
        TwoCellShape(state, a, true, [r](lores::LoresPage& on, Cell c, Cell, int colour) {
            lores::DrawCircle(on, c.x, c.y, r, colour);
        });
    }
};

}  // namespace

const PaintTool& Circle() {
    static const CircleTool tool;
    return tool;
}

}  // namespace editor::tools
