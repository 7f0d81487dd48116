// The rectangle's outline, dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class RectangleTool final : public ShapeTool {
public:
    RectangleTool() : ShapeTool(Tool::Rectangle) {}

private:
    void Band(EditorState& state) const override {
        TwoCellShape(state, state.shapeAnchor, true, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
            lores::DrawRectangle(on, a.x, a.y, p.x, p.y, colour);
        });
    }
};

}  // namespace

const PaintTool& Rectangle() {
    static const RectangleTool tool;
    return tool;
}

}  // namespace editor::tools
