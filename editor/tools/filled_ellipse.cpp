// The filled ellipse, in the box dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class FilledEllipseTool final : public ShapeTool {
public:
    FilledEllipseTool() : ShapeTool(Tool::FilledEllipse) {}

private:
    void Band(EditorState& state) const override {
        TwoCellShape(state, state.shapeAnchor, false, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
            lores::FillEllipse(on, a.x, a.y, p.x, p.y, colour);
        });
    }
};

}  // namespace

const PaintTool& FilledEllipse() {
    static const FilledEllipseTool tool;
    return tool;
}

}  // namespace editor::tools
