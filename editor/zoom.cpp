// The view's zoom: cells of 16x8 screen pixels times 1 to 4. The window
// grows or shrinks with the canvas, never past the room the desktop gives
// it; the toolbar and the status line keep their size. The zoom chosen is
// kept for the next start in the desktop's configuration folder.
#include "editor/zoom.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/status_line.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

std::string ConfigFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') folder = std::string(config) + "/vornel";
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/') folder = std::string(home) + "/.config/vornel";
    return folder.empty() ? folder : folder + "/zoom";
}

void SaveZoom(int zoom) {
    const std::string file = ConfigFile();
    if (file.empty()) return;
    // The folders on the way, as a desktop program makes its own.
    for (std::size_t at = 1; at < file.size(); ++at)
        if (file[at] == '/') mkdir(file.substr(0, at).c_str(), 0700);
    if (FILE* f = std::fopen((file + ".new").c_str(), "w")) {
        const bool written = std::fprintf(f, "%d\n", zoom) > 0;
        if (std::fclose(f) == 0 && written) std::rename((file + ".new").c_str(), file.c_str());
    }
}

}  // namespace

int StatusLineTop(int zoom) { return CanvasTop + 384 * zoom; }

int SavedZoom() {
    const std::string file = ConfigFile();
    int zoom = 1;
    if (FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "r")) {
        if (std::fscanf(f, "%d", &zoom) != 1) zoom = 1;
        std::fclose(f);
    }
    return std::clamp(zoom, 1, MaxZoom);
}

void ApplyZoom(EditorState& state, int wanted, bool remember) {
    int room = 0, roomHeight = 0;
    windowing::AvailableClientArea(WindowNumber, room, roomHeight);
    int zoom = std::clamp(wanted, 1, MaxZoom);
    while (zoom > 1 && (640 * zoom > room || StatusLineTop(zoom) + StatusHeight > roomHeight)) --zoom;
    state.zoom = zoom;
    windowing::SetCanvasZoom(CanvasNumber, zoom);
    windowing::ResizeWindowObject(WindowNumber, 640 * zoom, StatusLineTop(zoom) + StatusHeight);
    state.statusShown.valid = false;  // the line moves
    UpdateStatusLine(state);
    if (remember) SaveZoom(zoom);
}

}  // namespace editor
