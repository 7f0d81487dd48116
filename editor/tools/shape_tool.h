// The tools that draw a shape between two cells (lines, circles,
// rectangles, ellipses): pressed, dragged and released, the shape from the
// press to the release, the rubber band following the pointer; pressed and
// released in one cell, the first press of two (the rubber band follows
// until the second press commits).
#pragma once

#include "editor/tools/tool.h"
#include "lores/drawing.h"

namespace editor::tools {

class ShapeTool : public PaintTool {
public:
    using PaintTool::PaintTool;
    Shown Pointer(EditorState& state, PointerPhase phase) const final;
    Shown Release(EditorState& state, Cell cell) const final;
    void Chosen(EditorState& state) const override;
    bool Cancel(EditorState& state) const final;

protected:
    ~ShapeTool() = default;
    // The first cell of the shape, NoAnchor before the first press.
    virtual Cell& Anchor(EditorState& state) const { return state.shapeAnchor; }
};

// An outline with the brush: the shape's cells (drawn with colour 1 into a
// page of its own by shape), each stamped as the pen stamps. With the
// one-cell brush the shape is drawn by plain() as it always was, at the
// mirrored places' own corners.
template <typename Shape, typename Plain>
void Outline(EditorState& state, Shape shape, Plain plain) {
    if (state.brushSize <= 1) return plain();
    lores::LoresPage mask{};
    shape(mask);
    for (int y = 0; y < lores::PageHeight; ++y)
        for (int x = 0; x < lores::PageWidth; ++x)
            if (lores::PixelAt(mask, x, y)) Stamp(state, {x, y});
}

// A shape given by its two cells (anchor and pointer), drawn at every
// mirrored place; an outline takes the brush, a filled shape does not.
template <typename Draw>
void TwoCellShape(EditorState& state, Cell anchor, bool outline, Draw draw) {
    const Cell p = state.pointerCell;
    const auto plain = [&] {
        Mirrored(state, [&](auto map) { draw(state.workingPage(), map(anchor), map(p), state.currentColour); });
    };
    if (outline) Outline(state, [&](lores::LoresPage& mask) { draw(mask, anchor, p, 1); }, plain);
    else plain();
}

// A shape drawn from its first cell to the pointer's (the rectangles and
// ellipses by their box): the tool is its drawing, outline or filled.
class BoxShape final : public ShapeTool {
public:
    using Draw = void (*)(lores::LoresPage& on, Cell first, Cell last, int colour);
    constexpr BoxShape(Tool kind, bool outline, Draw draw) : ShapeTool(kind), outline_(outline), draw_(draw) {}

private:
    void Band(EditorState& state) const override { TwoCellShape(state, state.shapeAnchor, outline_, draw_); }
    bool outline_;
    Draw draw_;
};

}  // namespace editor::tools
