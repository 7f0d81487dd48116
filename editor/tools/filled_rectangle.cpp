// The filled rectangle, dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class FilledRectangleTool final : public ShapeTool {
public:
    FilledRectangleTool() : ShapeTool(Tool::FilledRectangle) {}

private:
    void Band(EditorState& state) const override {
        TwoCellShape(state, state.shapeAnchor, false, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
            lores::FillRectangle(on, a.x, a.y, p.x, p.y, colour);
        });
    }
};

}  // namespace

const PaintTool& FilledRectangle() {
    static const FilledRectangleTool tool;
    return tool;
}

}  // namespace editor::tools
