// The text tool: a press on the mixed view's text lines puts the typing
// cursor there; a press anywhere else ends the typing.
#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/tools/tool.h"
#include "editor/typing.h"

namespace editor::tools {
namespace {

class TextTool final : public PaintTool {
public:
    TextTool() : PaintTool(Tool::Text) {}

private:
    bool TakesTextLines() const override { return true; }
    Shown Pointer(EditorState& state, PointerPhase phase) const override {
        if (phase == PointerPhase::Hover) return Shown::Page;
        const Cell cell = state.pointerCell;
        if (OnTextLines(state, cell) && cell.x >= 0 && cell.x < lores::PageWidth) StartTyping(state, cell);
        else EndTyping(state);
        return Shown::Page;
    }
    // Text is typed into the lines the mixed view shows.
    void Chosen(EditorState& state) const override {
        if (!state.mixedView) ChangeView(state, [&] { SetMixedView(state, true); });
    }
};

}  // namespace

const PaintTool& Text() {
    static const TextTool tool;
    return tool;
}

}  // namespace editor::tools
