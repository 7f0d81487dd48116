// Pattern Fill: the area the fill would find, in a checkerboard of the
// current colour and the one current before it.
#include "editor/mixed_view.h"
#include "editor/tools/tool.h"
#include "lores/drawing.h"

namespace editor::tools {
namespace {

class PatternFillTool final : public PaintTool {
public:
    PatternFillTool() : PaintTool(Tool::PatternFill) {}

private:
    Shown Pointer(EditorState& state, PointerPhase phase) const override {
        const Cell p = state.pointerCell;
        const int rows = DrawableRows(state);
        if (phase != PointerPhase::Press || !OnPage(p) || p.y >= rows) return Shown::Page;
        const lores::LoresPage before = state.workingPage();
        // The area as the fill finds it, at the press and at each mirrored place.
        const bool changed = EditPage(state, [&](lores::LoresPage& page, int) {
            Mirrored(state, [&](auto map) {
                const Cell m = map(p);
                if (m.y >= rows) return;
                lores::LoresPage area = page;
                const int target = lores::PixelAt(area, m.x, m.y);
                lores::FloodFill(area, m.x, m.y, target, target ^ 1, rows);
                for (int y = 0; y < rows; ++y)
                    for (int x = 0; x < lores::PageWidth; ++x)
                        if (lores::PixelAt(area, x, y) != lores::PixelAt(page, x, y))
                            lores::PlotPixel(page, x, y, (x + y) % 2 ? state.secondColour : state.currentColour);
            });
        });
        if (changed) {
            lores::CopyPage(state.undoCopy(), before);
            state.undoAvailable = 1;
        } else {
            state.notice = "the area has that pattern already";
        }
        return Shown::Page;
    }
};

}  // namespace

const PaintTool& PatternFill() {
    static const PatternFillTool tool;
    return tool;
}

}  // namespace editor::tools
