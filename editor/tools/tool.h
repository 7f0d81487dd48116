// A drawing tool: what it does with the pointer on the page, what it shows
// over the page meanwhile, and how it starts afresh or is taken back. The
// event loop hands every pointer event to the current tool; a tool is one
// file here, named by its row of the command table.
#pragma once

#include <optional>

#include "editor/editor_state.h"

namespace editor::tools {

// What the page view shows after a tool has had an event: nothing new (a
// message said why), the page, or the page with the rubber band on it.
enum class Shown { Nothing, Page, Band };

class PaintTool {
public:
    // A tool named in Tool is made with its name; one that is not needs
    // none: currentTool then holds its command's number.
    constexpr PaintTool() = default;
    explicit constexpr PaintTool(Tool name) : named(name) {}
    PaintTool(const PaintTool&) = delete;
    PaintTool& operator=(const PaintTool&) = delete;

    const std::optional<Tool> named;

    // The left button pressed, moved with it held, or the pointer moved
    // with it up, at state.pointerCell (on the drawable rows unless the tool
    // takes the text lines).
    virtual Shown Pointer(EditorState& state, PointerPhase phase) const = 0;
    // The left button released at cell.
    virtual Shown Release(EditorState& /*state*/, Cell /*cell*/) const { return Shown::Nothing; }
    // Draws the rubber band into the working page: the shape as a press now
    // would make it. The view takes it away again after showing it.
    virtual void Band(EditorState& /*state*/) const {}
    // A drag with the button held is one step of the history, not a step an event.
    virtual bool Stroke() const { return false; }
    // Events on the mixed view's text lines come to the tool too (for the
    // others a press there draws nothing).
    virtual bool TakesTextLines() const { return false; }
    // Chosen again: its gesture starts afresh.
    virtual void Chosen(EditorState& /*state*/) const {}
    // Escape: the gesture in progress is taken back; false when none is.
    virtual bool Cancel(EditorState& /*state*/) const { return false; }
    // A wake-up of the event loop while it is the current tool.
    virtual void Wake(EditorState& /*state*/) const {}

protected:
    ~PaintTool() = default;
};

// The tool that currentTool names (the pen for a value no row names).
const PaintTool& ToolOf(Tool kind);
// The value of currentTool while the tool of the row with that command
// number is the current one.
inline Tool KindOf(const PaintTool& tool, int id) { return tool.named.value_or(static_cast<Tool>(id)); }
inline const PaintTool& Current(const EditorState& state) { return ToolOf(state.currentTool); }

// The tools there are, one a file; a row of the command table names each.
const PaintTool& Pen();
const PaintTool& Line();
const PaintTool& Circle();
const PaintTool& Fill();
const PaintTool& Rectangle();
const PaintTool& FilledRectangle();
const PaintTool& FilledCircle();
const PaintTool& Ellipse();
const PaintTool& FilledEllipse();
const PaintTool& Spray();
const PaintTool& ReplaceColour();
const PaintTool& PatternFill();
const PaintTool& Text();
const PaintTool& Select();

// What a tool draws, drawn again at the mirrored places that are on
// (left-right: column 39 - x; top-bottom: row 47 - y; both: four-fold).
// draw(map) draws with every cell passed through map.
template <typename Draw>
void Mirrored(const EditorState& state, Draw draw) {
    for (int m = 0; m < 4; ++m) {
        const bool lr = m & 1, tb = m & 2;
        if ((lr && !state.mirrorLeftRight) || (tb && !state.mirrorTopBottom)) continue;
        draw([lr, tb](Cell c) {
            return Cell{lr ? lores::PageWidth - 1 - c.x : c.x, tb ? lores::PageHeight - 1 - c.y : c.y};
        });
    }
}

// What the pen, the spray and the shapes' outlines draw at a cell: a
// square of the brush's size, at every mirrored place, off the text lines
// in the mixed view; true when a cell changed.
bool Stamp(EditorState& state, Cell c);

// The cells a tool that acts on many may change: the selection's, or the
// page's drawable rows.
bool InScope(const EditorState& state, Cell c);

}  // namespace editor::tools
