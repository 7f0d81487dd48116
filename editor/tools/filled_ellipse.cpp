// The filled ellipse, in the box dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {

const PaintTool& FilledEllipse() {
    static const BoxShape tool(Tool::FilledEllipse, false, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
        lores::FillEllipse(on, a.x, a.y, p.x, p.y, colour);
    });
    return tool;
}

}  // namespace editor::tools
