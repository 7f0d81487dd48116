// The ellipse's outline, in the box dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {

const PaintTool& Ellipse() {
    static const BoxShape tool(Tool::Ellipse, true, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
        lores::DrawEllipse(on, a.x, a.y, p.x, p.y, colour);
    });
    return tool;
}

}  // namespace editor::tools
