// The tools artists reach for beyond the pen and the shapes: the spray, the
// colour replaced everywhere, the fill with a two-colour pattern; and the
// brush they and the pen draw with.
#include <algorithm>
#include <string>

#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/tools.h"
#include "runtime/settings.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// A burst every 40 ms while the button is held, the pointer moving or not.
constexpr int SprayMilliseconds = 40;

// The spray's own random numbers (xorshift: the same start, the same spray).
std::uint32_t NextRandom(EditorState& state) {
    std::uint32_t& x = state.sprayRandom;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

void Burst(EditorState& state) {
    const Cell p = state.pointerCell;
    const int radius = 1 + 2 * state.brushSize;  // 3, 5 or 7 cells
    const int dots = 2 * state.brushSize;
    const int keep = state.brushSize;
    state.brushSize = 1;  // each drop is one cell; the brush sets the spray's reach
    for (int k = 0; k < dots; ++k) {
        const int dx = static_cast<int>(NextRandom(state) % (2 * radius + 1)) - radius;
        const int dy = static_cast<int>(NextRandom(state) % (2 * radius + 1)) - radius;
        if (dx * dx + 4 * dy * dy <= radius * radius) Stamp(state, {p.x + dx, p.y + dy});  // round on the screen
    }
    state.brushSize = keep;
    state.nextSprayAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(SprayMilliseconds);
    windowing::ScheduleWakeUp(SprayMilliseconds);
}

// The cells the pattern or the replacement may change: the selection's,
// or the page's drawable rows.
bool InScope(const EditorState& state, Cell c) {
    const CellRect& r = state.select.rect;
    if (!r.empty() && !state.select.floating && (c.x < r.x0 || c.x > r.x1 || c.y < r.y0 || c.y > r.y1)) return false;
    return c.y < DrawableRows(state);
}

}  // namespace

void SprayPointer(EditorState& state, PointerPhase phase) {
    if (phase == PointerPhase::Press && OnPage(state.pointerCell)) {
        state.spraying = true;
        Burst(state);
    }
    RedrawPage(state);
}

void SprayStep(EditorState& state) {
    if (!state.spraying) return;
    if (std::chrono::steady_clock::now() >= state.nextSprayAt) {
        Burst(state);
        RedrawPage(state);
    } else {
        windowing::ScheduleWakeUp(1 + static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          state.nextSprayAt - std::chrono::steady_clock::now())
                                          .count()));
    }
}

void ReplaceColourPointer(EditorState& state, bool press) {
    const Cell p = state.pointerCell;
    if (press && OnPage(p) && InScope(state, p)) {
        const int from = lores::PixelAt(state.workingPage(), p.x, p.y), to = state.currentColour & 15;
        if (from == to) {
            state.notice = "that colour is the current one already";
        } else {
            KeepUndoCopy(state);
            for (int y = 0; y < lores::PageHeight; ++y)
                for (int x = 0; x < lores::PageWidth; ++x)
                    if (InScope(state, {x, y}) && lores::PixelAt(state.workingPage(), x, y) == from)
                        lores::PlotPixel(state.workingPage(), x, y, to);
        }
    }
    RedrawPage(state);
}

void PatternFillPointer(EditorState& state, bool press) {
    const Cell p = state.pointerCell;
    if (press && OnPage(p) && p.y < DrawableRows(state)) {
        bool changed = false;
        const lores::LoresPage before = state.workingPage();
        // The area as the fill finds it, at the press and at each mirrored place.
        Mirrored(state, [&](auto map) {
            const Cell m = map(p);
            if (m.y >= DrawableRows(state)) return;
            lores::LoresPage area = state.workingPage();
            const int target = lores::PixelAt(area, m.x, m.y);
            lores::FloodFill(area, m.x, m.y, target, target ^ 1, DrawableRows(state));
            for (int y = 0; y < DrawableRows(state); ++y)
                for (int x = 0; x < lores::PageWidth; ++x)
                    if (lores::PixelAt(area, x, y) != lores::PixelAt(state.workingPage(), x, y)) {
                        const int colour = (x + y) % 2 ? state.secondColour : state.currentColour;
                        changed = changed || colour != target;
                        lores::PlotPixel(state.workingPage(), x, y, colour);
                    }
        });
        if (changed) {
            lores::CopyPage(state.undoCopy(), before);
            state.undoAvailable = 1;
            state.pictureChanged = true;
        } else {
            state.notice = "the area has that pattern already";
        }
    }
    RedrawPage(state);
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
