// The fill: the area of the pressed cell's colour becomes the current
// colour, at each event while the button is held.
#include "editor/mixed_view.h"
#include "editor/tools.h"
#include "editor/tools/tool.h"
#include "lores/drawing.h"
#include "windowing/windowing.h"

namespace editor::tools {
namespace {

class FillTool final : public PaintTool {
public:
    FillTool() : PaintTool(Tool::Fill) {}

private:
    Shown Pointer(EditorState& state, PointerPhase phase) const override {
        if (phase == PointerPhase::Hover) return Shown::Page;
        // Dragged off the page (the canvas keeps reporting while the button
        // is held): there is no colour to read there, so nothing happens.
        if (!OnPage(state.pointerCell)) return Shown::Nothing;
        const Cell p = state.pointerCell;
        state.fillTarget = lores::PixelAt(state.workingPage(), p.x, p.y);
        if (state.fillTarget == state.currentColour) {
            windowing::ShowMessage("Error", FillRefusal, 0);
            return Shown::Nothing;
        }
        KeepUndoCopy(state);
        EditPage(state, [&](lores::LoresPage& page, int rows) {
            lores::FloodFill(page, p.x, p.y, state.fillTarget, state.currentColour, rows);
            // The mirrored fills, each of its own area; one already filled,
            // or one seeded on the mixed view's text lines, is skipped.
            Mirrored(state, [&](auto map) {
                const Cell m = map(p);
                const int target = lores::PixelAt(page, m.x, m.y);
                if (m.y < rows && target != (state.currentColour & 15))
                    lores::FloodFill(page, m.x, m.y, target, state.currentColour, rows);
            });
        });
        return Shown::Page;
    }
};

}  // namespace

const PaintTool& Fill() {
    static const FillTool tool;
    return tool;
}

}  // namespace editor::tools
