#include "editor/tools/tool.h"

#include <array>

#include "editor/commands.h"
#include "editor/mixed_view.h"
#include "lores/drawing.h"

namespace editor::tools {

const PaintTool& ToolOf(Tool kind) {
    // Each tool as its row of the command table names it, found once.
    static const auto byKind = [] {
        std::array<const PaintTool*, 256> tools{};
        for (const Command& c : Commands()) {
            if (!c.tool) continue;
            const auto at = static_cast<std::size_t>(KindOf(c.tool(), c.id));
            if (at < tools.size() && !tools[at]) tools[at] = &c.tool();
        }
        return tools;
    }();
    const auto at = static_cast<std::size_t>(kind);
    return at < byKind.size() && byKind[at] ? *byKind[at] : Pen();
}

bool Stamp(EditorState& state, Cell c) {
    const int lo = -(state.brushSize - 1) / 2, hi = state.brushSize / 2;
    return EditPage(state, [&](lores::LoresPage& page, int rows) {
        for (int dy = lo; dy <= hi; ++dy)
            for (int dx = lo; dx <= hi; ++dx)
                Mirrored(state, [&](auto map) {
                    const Cell m = map(Cell{c.x + dx, c.y + dy});
                    if (OnPage(m) && m.y < rows) lores::PenDot(page, m.x, m.y, state.currentColour);
                });
    });
}

bool InScope(const EditorState& state, Cell c) {
    const CellRect& r = state.select.rect;
    if (!r.empty() && !state.select.floating && (c.x < r.x0 || c.x > r.x1 || c.y < r.y0 || c.y > r.y1)) return false;
    return c.y < DrawableRows(state);
}

}  // namespace editor::tools
