// The rectangle's outline, dragged from one corner to the other.
#include "editor/tools/shape_tool.h"
#include "lores/drawing.h"

namespace editor::tools {

const PaintTool& Rectangle() {
    static const BoxShape tool(Tool::Rectangle, true, [](lores::LoresPage& on, Cell a, Cell p, int colour) {
        lores::DrawRectangle(on, a.x, a.y, p.x, p.y, colour);
    });
    return tool;
}

}  // namespace editor::tools
