// The filled circle (a disc): its centre pressed first, its rim at the
// pointer's cell.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class FilledCircleTool final : public ShapeTool {
public:
    FilledCircleTool() : ShapeTool(Tool::FilledCircle) {}

private:
    void Band(EditorState& state) const override {
        const Cell a = state.shapeAnchor, p = state.pointerCell;
        const int r = lores::CircleRadius(a.x, a.y, p.x, p.y);
        TwoCellShape(state, a, false, [r](lores::LoresPage& on, Cell c, Cell, int colour) {
            lores::FillCircle(on, c.x, c.y, r, colour);
        });
    }
};

}  // namespace

const PaintTool& FilledCircle() {
    static const FilledCircleTool tool;
    return tool;
}

}  // namespace editor::tools
