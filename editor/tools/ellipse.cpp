// The ellipse's outline, in the box dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class EllipseTool final : public ShapeTool {
public:
    EllipseTool() : ShapeTool(Tool::Ellipse) {}

private:
    void Band(EditorState& state) const override {
        TwoCellShape(state, state.shapeAnchor, true, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
            lores::DrawEllipse(on, a.x, a.y, p.x, p.y, colour);
        });
    }
};

}  // namespace

const PaintTool& Ellipse() {
    static const EllipseTool tool;
    return tool;
}

}  // namespace editor::tools
