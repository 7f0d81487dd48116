#include "editor/page_view.h"

#include "runtime/images.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// Division truncating toward zero, as the cell arithmetic has always done.
Cell CellAt(std::intptr_t px, std::intptr_t py) {
    return {static_cast<int>(px / CellWidth), static_cast<int>(py / CellHeight)};
}

Cell PointerCellOfCurrentEvent() {
    return CellAt(windowing::CanvasAttribute(CanvasNumber, windowing::CanvasPointerX),
                  windowing::CanvasAttribute(CanvasNumber, windowing::CanvasPointerY));
}

}  // namespace

void RedrawPage(EditorState& state) {
    runtime::BeginDrawing(windowing::CanvasDrawTarget(CanvasNumber));
    documents::DrawPageBoxes(state.workingPage());
    // Outside a canvas event (a command, start-up) this lands on cell (0, 0).
    const Cell c = PointerCellOfCurrentEvent();
    runtime::FillBox(CellWidth * c.x, CellHeight * c.y, CellWidth, CellHeight, lores::LoresPalette[state.currentColour & 15]);
    runtime::EndDrawing();
}

void UpdatePointer(EditorState& state) {
    state.pointerCell = PointerCellOfCurrentEvent();
    const std::string title = state.titleText + " x:" + std::to_string(state.pointerCell.x) +
                              ",y:" + std::to_string(state.pointerCell.y);
    windowing::SetWindowCaption(WindowNumber, title.c_str());
}

}  // namespace editor
