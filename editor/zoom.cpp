// The view's zoom: cells of 16x8 screen pixels times 1 to 4. The window
// grows or shrinks with the canvas, never past the room the desktop gives
// it; the toolbar and the status line keep their size. The zoom chosen is
// kept for the next start in the desktop's configuration folder.
#include "editor/zoom.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/status_line.h"
#include "runtime/settings.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

std::string ConfigFile() {
    const std::string folder = runtime::UserFolder("XDG_CONFIG_HOME", ".config");
    return folder.empty() ? folder : folder + "/zoom";
}

// Not kept is no loss worth a word: the next start is at 1x.
void SaveZoom(int zoom) {
    const std::string folder = runtime::UserFolder("XDG_CONFIG_HOME", ".config");
    if (!folder.empty() && runtime::MakeFolders(folder))
        runtime::WriteSmallFile(folder + "/zoom", std::to_string(zoom) + "\n");
}

}  // namespace

int StatusLineTop(int zoom) { return CanvasTop + 384 * zoom; }

int SavedZoom() {
    const std::string file = ConfigFile();
    std::string text;
    if (file.empty() || !runtime::ReadSmallFile(file, text, 16)) return 1;
    const int zoom = std::atoi(text.c_str());
    return zoom >= 1 && zoom <= MaxZoom ? zoom : 1;
}

void ApplyZoom(EditorState& state, int wanted, bool remember) {
    int room = 0, roomHeight = 0;
    windowing::AvailableClientArea(WindowNumber, room, roomHeight);
    int zoom = std::clamp(wanted, 1, MaxZoom);
    while (zoom > 1 && (640 * zoom > room || StatusLineTop(zoom) + StatusHeight > roomHeight)) --zoom;
    state.zoom = zoom;
    windowing::SetCanvasZoom(CanvasNumber, zoom);
    windowing::ResizeWindowObject(WindowNumber, 640 * zoom, StatusLineTop(zoom) + StatusHeight);
    state.shown.status.valid = false;  // the line moves
    UpdateStatusLine(state);
    if (remember) SaveZoom(zoom);
}

}  // namespace editor
