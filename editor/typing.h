// Typing into the mixed mode's four text lines (rows 40 to 47 of the
// picture, the page's text rows 20 to 23), as the machine's text codes.
#pragma once

#include <cstdint>

#include "editor/editor_state.h"

namespace editor {

// The machine's code for a printable ASCII character in a style: normal
// $A0-$FF (lower case as the later models show it), inverse $00-$3F and
// flashing $40-$7F (both upper case only).
std::uint8_t TextCode(char c, TextStyle style);

bool Typing(const EditorState& state);
// The text cursor on the line and column of a cell in rows 40 to 47.
void StartTyping(EditorState& state, Cell cell);
void EndTyping(EditorState& state);
// The current canvas event while typing: a character or a typing key.
void TypeFromEvent(EditorState& state, int type);
// Shows the cursor blinking: call at every wake-up.
void BlinkCursor(EditorState& state);

}  // namespace editor
