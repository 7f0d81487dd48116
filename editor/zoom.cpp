// The view's zoom: cells of 16x8 screen pixels times 1 to 4. The window
// grows or shrinks with the canvas, never past the room the desktop gives
// it: beyond that the canvas scrolls inside it. The toolbar and the status
// line keep their size. The zoom chosen is kept for the next start in the
// desktop's configuration folder.
#include "editor/zoom.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/page_view.h"
#include "editor/status_line.h"
#include "runtime/settings.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// Not kept is no loss worth a word: the next start is at 1x.
void SaveZoom(int zoom) { runtime::KeepSetting("zoom", std::to_string(zoom) + "\n"); }

}  // namespace

int SavedZoom() {
    std::string text;
    if (!runtime::ReadSetting("zoom", text, 16)) return 1;
    const int zoom = std::atoi(text.c_str());
    return zoom >= 1 && zoom <= MaxZoom ? zoom : 1;
}

void ApplyZoom(EditorState& state, int wanted, bool remember) {
    int room = 0, roomHeight = 0;
    windowing::AvailableClientArea(WindowNumber, room, roomHeight);
    const int zoom = std::clamp(wanted, 1, MaxZoom);
    // The window as large as the zoomed canvas, or as the room on the screen
    // allows and the canvas scrolls inside it (never smaller than at 1x).
    const documents::CellSize cells = documents::CellsOf(state.aspect);
    int viewWidth = std::max(cells.ScreenWidth(), room);
    int viewHeight = std::max(cells.ScreenHeight(), roomHeight - CanvasTop - StatusHeight);
    state.zoom = zoom;
    windowing::SetCanvasZoom(CanvasNumber, zoom);
    windowing::SetCanvasView(CanvasNumber, viewWidth, viewHeight);
    state.statusTop = CanvasTop + viewHeight;
    // Never narrower than the toolbar and the status line's 640.
    windowing::ResizeWindowObject(WindowNumber, std::max(640, viewWidth), state.statusTop + StatusHeight);
    FollowPointerCell(state);
    state.shown.status.valid = false;  // the line moves
    UpdateStatusLine(state);
    if (remember) SaveZoom(zoom);
}

void ApplyAspect(EditorState& state, documents::PixelAspect aspect, bool remember) {
    const documents::CellSize cells = documents::CellsOf(aspect);
    if (aspect != state.aspect) {
        if (!windowing::ResizeCanvas(CanvasNumber, cells.ScreenWidth(), cells.ScreenHeight())) {
            state.notice = "no memory for the view at that aspect";
            return;
        }
        state.aspect = aspect;
        UseCells(cells);
        ApplyZoom(state, state.zoom, false);
        RedrawEveryBox(state);
    }
    if (remember) runtime::KeepSetting("aspect", std::string(documents::NameOf(aspect)) + "\n");
}

documents::PixelAspect SavedAspect() {
    std::string text;
    documents::PixelAspect aspect = documents::PixelAspect::TwoToOne;
    if (runtime::ReadSetting("aspect", text, 16)) documents::FindName(text.substr(0, text.find('\n')), aspect);
    return aspect;
}

void WheelZoom(EditorState& state) {
    using namespace windowing;
    const int notches = static_cast<int>(CanvasAttribute(CanvasNumber, CanvasWheelDelta));
    if (!(CanvasAttribute(CanvasNumber, CanvasModifiers) & 4) || notches == 0) return;
    // The canvas pixel under the pointer stays under it.
    const int x = static_cast<int>(CanvasAttribute(CanvasNumber, CanvasPointerX));
    const int y = static_cast<int>(CanvasAttribute(CanvasNumber, CanvasPointerY));
    int atX = 0, atY = 0;
    CanvasPointInWindow(CanvasNumber, x, y, atX, atY);
    const int zoom = std::clamp(state.zoom + (notches > 0 ? 1 : -1), 1, MaxZoom);
    if (zoom == state.zoom) return;
    ApplyZoom(state, zoom, true);
    PlaceCanvasPoint(CanvasNumber, x, y, atX, atY);
}

}  // namespace editor
