// Replace Colour: every cell of the pressed cell's colour becomes the
// current colour, in the selection when there is one.
#include "editor/mixed_view.h"
#include "editor/tools.h"
#include "editor/tools/tool.h"

namespace editor::tools {
namespace {

class ReplaceColourTool final : public PaintTool {
public:
    ReplaceColourTool() : PaintTool(Tool::ReplaceColour) {}

private:
    Shown Pointer(EditorState& state, PointerPhase phase) const override {
        const Cell p = state.pointerCell;
        if (phase != PointerPhase::Press || !OnPage(p) || !InScope(state, p)) return Shown::Page;
        const int from = lores::PixelAt(state.workingPage(), p.x, p.y), to = state.currentColour & 15;
        if (from == to) {
            state.notice = "that colour is the current one already";
            return Shown::Page;
        }
        KeepUndoCopy(state);
        EditPage(state, [&](lores::LoresPage& page, int) {
            for (int y = 0; y < lores::PageHeight; ++y)
                for (int x = 0; x < lores::PageWidth; ++x)
                    if (InScope(state, {x, y}) && lores::PixelAt(page, x, y) == from) lores::PlotPixel(page, x, y, to);
        });
        return Shown::Page;
    }
};

}  // namespace

const PaintTool& ReplaceColour() {
    static const ReplaceColourTool tool;
    return tool;
}

}  // namespace editor::tools
