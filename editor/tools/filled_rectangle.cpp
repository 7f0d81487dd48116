// The filled rectangle, dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {

const PaintTool& FilledRectangle() {
    static const BoxShape tool(Tool::FilledRectangle, false, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
        lores::FillRectangle(on, a.x, a.y, p.x, p.y, colour);
    });
    return tool;
}

}  // namespace editor::tools
