#include "editor/tools.h"

#include <algorithm>
#include <string>

#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/tools/tool.h"
#include "runtime/settings.h"

namespace editor {
namespace {

void Show(EditorState& state, const tools::PaintTool& tool, tools::Shown shown) {
    switch (shown) {
    case tools::Shown::Nothing: return;
    case tools::Shown::Page: RedrawAtPointerCell(state); return;
    case tools::Shown::Band: {
        // The shape drawn into the page for one repaint only: the picture is
        // no more changed after it than before (a brush's band stamps cells).
        const bool changed = state.pictureChanged;
        lores::CopyPage(state.previewScratch(), state.workingPage());
        KeepingTextLines(state, [&] { tool.Band(state); });
        RedrawAtPointerCell(state);
        lores::CopyPage(state.workingPage(), state.previewScratch());
        state.pictureChanged = changed;
        return;
    }
    }
}

}  // namespace

void ToolPointer(EditorState& state, PointerPhase phase) {
    const tools::PaintTool& tool = tools::Current(state);
    // Off the drawable rows only the tools that take the text lines act.
    if (!tool.TakesTextLines() && OnTextLines(state, state.pointerCell)) return RedrawAtPointerCell(state);
    Show(state, tool, tool.Pointer(state, phase));
}

void ToolReleased(EditorState& state, Cell cell) {
    const tools::PaintTool& tool = tools::Current(state);
    Show(state, tool, tool.Release(state, cell));
}

bool CancelShape(EditorState& state) { return tools::Current(state).Cancel(state); }

void ToolWake(EditorState& state) { tools::Current(state).Wake(state); }

void KeepUndoCopy(EditorState& state) {
    state.undoAvailable = 1;
    state.pictureChanged = true;
    lores::CopyPage(state.undoCopy(), state.workingPage());
}

void SetBrushSize(EditorState& state, int size) {
    state.brushSize = std::clamp(size, 1, 3);
    runtime::KeepSetting("brush", std::to_string(state.brushSize) + "\n");
}

int LoadBrushSize() {
    std::string text;
    if (!runtime::ReadSetting("brush", text, 16) || text.empty()) return 1;
    const int size = text[0] - '0';
    return size >= 1 && size <= 3 ? size : 1;
}

}  // namespace editor
