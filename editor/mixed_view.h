// The mixed view shows rows 40 to 47 as the machine's four text lines. They
// are text, not pixels: in that view only typing writes them, and every
// other edit keeps to the rows above.
#pragma once

#include "editor/editor_state.h"
#include "lores/text_glyphs.h"

namespace editor {

// The rows the tools draw on: 40 in the mixed view, else 48.
int DrawableRows(const EditorState& state);

// The cell is on the text lines of the mixed view.
bool OnTextLines(const EditorState& state, Cell c);

// Runs edit on the working page; in the mixed view the 160 bytes of the
// text lines come out of it as they went in (what a shape, a mirror image or
// a rubber band drew there is taken back).
template <typename Edit>
void KeepingTextLines(EditorState& state, Edit edit) {
    if (!state.mixedView) {
        edit();
        return;
    }
    const lores::MixedText text = lores::ReadMixedText(state.workingPage());
    edit();
    lores::WriteMixedText(state.workingPage(), text);
}

// Turns the mixed view on or off; turning it on takes the text lines out of
// a selection kept (one wholly on them is dropped) and ends a move.
void SetMixedView(EditorState& state, bool on);

}  // namespace editor
