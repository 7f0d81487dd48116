// The line: two cells joined, as the page's own line drawing joins them.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class LineTool final : public ShapeTool {
public:
    LineTool() : ShapeTool(Tool::Line) {}

private:
    Cell& Anchor(EditorState& state) const override { return state.lineAnchor; }
    void Band(EditorState& state) const override {
        TwoCellShape(state, state.lineAnchor, true, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
            lores::DrawLine(on, a.x, a.y, p.x, p.y, colour);
        });
    }
};

}  // namespace

const PaintTool& Line() {
    static const LineTool tool;
    return tool;
}

}  // namespace editor::tools
