#include "editor/typing.h"

#include <chrono>

#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "lores/lores_page.h"
#include "lores/text_glyphs.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

constexpr auto BlinkInterval = std::chrono::milliseconds(500);
constexpr int Lines = 4;
using windowing::KeyBackspace, windowing::KeyReturn, windowing::KeyLeft, windowing::KeyUp, windowing::KeyRight,
    windowing::KeyDown;
constexpr int KeyI = 'I', KeyF = 'F';
constexpr int ControlBit = 4;

// The code at the cursor's column and line.
std::uint8_t& TextAt(lores::MixedText& text, Cell c) { return text[static_cast<std::size_t>(c.y * lores::PageWidth + c.x)]; }

// The cursor shows at once after a change, then blinks on from there.
void ShowCursor(EditorState& state) {
    const Cell at = state.typing.cursor;
    const int row = lores::FirstMixedPixelRow + 2 * at.y;
    ShowCells(state, {at.x, row, at.x, row + 1});
    state.typing.cursorShown = true;
    state.typing.lastBlink = std::chrono::steady_clock::now();
    RedrawEveryBox(state);
    windowing::ScheduleWakeUp(static_cast<int>(BlinkInterval.count()));
}

}  // namespace

std::uint8_t TextCode(char c, TextStyle style) {
    auto code = static_cast<std::uint8_t>(c);
    switch (style) {
    case TextStyle::Normal: return static_cast<std::uint8_t>(code | 0x80);
    case TextStyle::Inverse:
    case TextStyle::Flashing: {
        if (code >= 0x60) code = static_cast<std::uint8_t>(code - 0x20);  // upper case only
        const std::uint8_t base = code & 0x3F;  // '@'..'_' to $00-$1F, ' '..'?' to $20-$3F
        return static_cast<std::uint8_t>(style == TextStyle::Inverse ? base : base | 0x40);
    }
    }
    return code;
}

bool Typing(const EditorState& state) { return state.typing.cursor.x >= 0; }

void StartTyping(EditorState& state, Cell cell) {
    state.typing.cursor = {cell.x, (cell.y - lores::FirstMixedPixelRow) / 2};
    windowing::SetCanvasTyping(CanvasNumber, 1);
    ShowCursor(state);
}

void EndTyping(EditorState& state) {
    if (!Typing(state)) return;
    state.typing.cursor = NoAnchor;
    state.typing.cursorShown = false;
    windowing::SetCanvasTyping(CanvasNumber, 0);
    RedrawEveryBox(state);
}

void TypeFromEvent(EditorState& state, int type) {
    if (!Typing(state)) return;
    Cell& at = state.typing.cursor;
    if (type == windowing::CanvasCharacterTyped) {
        const int c = static_cast<int>(windowing::CanvasAttribute(CanvasNumber, windowing::CanvasCharacter));
        if (c < 0x20 || c > 0x7E) return;  // printable ASCII only
        const std::uint8_t code = TextCode(static_cast<char>(c), state.typing.style);
        EditTextLines(state, [&](lores::MixedText& text) { TextAt(text, at) = code; });
        // On to the next column; past the last one, the next line's start.
        if (at.x + 1 < lores::PageWidth) ++at.x;
        else if (at.y + 1 < Lines) at = {0, at.y + 1};
    } else if (type == windowing::CanvasKeyDown) {
        const int key = static_cast<int>(windowing::CanvasAttribute(CanvasNumber, windowing::CanvasKey));
        const bool control = windowing::CanvasAttribute(CanvasNumber, windowing::CanvasModifiers) & ControlBit;
        if (control && key == KeyI)
            state.typing.style = state.typing.style == TextStyle::Inverse ? TextStyle::Normal : TextStyle::Inverse;
        else if (control && key == KeyF)
            state.typing.style = state.typing.style == TextStyle::Flashing ? TextStyle::Normal : TextStyle::Flashing;
        else if (key == KeyBackspace && at.x > 0) {
            --at.x;
            EditTextLines(state, [&](lores::MixedText& text) { TextAt(text, at) = TextCode(' ', TextStyle::Normal); });
        } else if (key == KeyLeft && at.x > 0) --at.x;
        else if (key == KeyRight && at.x + 1 < lores::PageWidth) ++at.x;
        else if (key == KeyUp && at.y > 0) --at.y;
        else if (key == KeyDown && at.y + 1 < Lines) ++at.y;
        else if (key == KeyReturn && at.y + 1 < Lines) at = {0, at.y + 1};
        else if (key == KeyReturn) at.x = 0;
    }
    ShowCursor(state);
}

void BlinkCursor(EditorState& state) {
    if (!Typing(state)) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - state.typing.lastBlink < BlinkInterval) return;
    state.typing.cursorShown = !state.typing.cursorShown;
    state.typing.lastBlink = now;
    RedrawEveryBox(state);
    windowing::ScheduleWakeUp(static_cast<int>(BlinkInterval.count()));
}

}  // namespace editor
