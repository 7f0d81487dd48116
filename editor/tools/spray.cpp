// The spray: cells at random near the pointer, a burst every 40 ms while
// the button is held, moving or not; one step of the history a spray.
#include <chrono>

#include "editor/page_view.h"
#include "editor/tools/tool.h"
#include "windowing/windowing.h"

namespace editor::tools {
namespace {

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

class SprayTool final : public PaintTool {
public:
    SprayTool() : PaintTool(Tool::Spray) {}

private:
    bool Stroke() const override { return true; }
    Shown Pointer(EditorState& state, PointerPhase phase) const override {
        if (phase == PointerPhase::Press && OnPage(state.pointerCell)) {
            state.spraying = true;
            Burst(state);
        }
        return Shown::Page;
    }
    Shown Release(EditorState& state, Cell) const override {
        state.spraying = false;
        return Shown::Nothing;
    }
    void Chosen(EditorState& state) const override { state.spraying = false; }
    void Wake(EditorState& state) const override {
        if (!state.spraying) return;
        const auto now = std::chrono::steady_clock::now();
        if (now >= state.nextSprayAt) {
            Burst(state);
            RedrawAtPointerCell(state);
        } else {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(state.nextSprayAt - now);
            windowing::ScheduleWakeUp(1 + static_cast<int>(wait.count()));
        }
    }
};

}  // namespace

const PaintTool& Spray() {
    static const SprayTool tool;
    return tool;
}

}  // namespace editor::tools
