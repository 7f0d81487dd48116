// The mixed view shows rows 40 to 47 as the machine's four text lines. They
// are text, not pixels: in that view only typing (and Clear Text Lines)
// writes them, through EditTextLines, and every other edit keeps to the rows
// above, through EditPage. The rule lives here and nowhere else.
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

// Whether an edit changes the picture when it changes no byte of it (a
// command the user gave: a scroll, a flip, a move or paste put down).
enum class Marks { WhenChanged, Always };

// Every edit of the page but typing and the text lines' own commands comes
// through here, where the mixed view's rule is kept: edit(page, rows) may
// change rows 0 to rows - 1 (40 in the mixed view, else 48), and whatever it
// wrote on the text lines is taken back. The picture is changed then (as
// marks says); true when a byte of it changed.
template <typename Edit>
bool EditPage(EditorState& state, Edit edit, Marks marks = Marks::WhenChanged) {
    lores::LoresPage& page = state.workingPage();
    const lores::LoresPage before = page;
    KeepingTextLines(state, [&] { edit(page, DrawableRows(state)); });
    const bool changed = page != before;
    if (changed || marks == Marks::Always) state.pictureChanged = true;
    return changed;
}

// The other side of the rule: what writes the text lines (typing, Clear
// Text Lines) writes them here, the 160 bytes handed to edit as the
// machine's text codes, line by line; the picture is changed then.
template <typename Edit>
void EditTextLines(EditorState& state, Edit edit) {
    lores::MixedText text = lores::ReadMixedText(state.workingPage());
    edit(text);
    lores::WriteMixedText(state.workingPage(), text);
    state.pictureChanged = true;
}

// Turns the mixed view on or off; turning it on takes the text lines out of
// a selection kept (one wholly on them is dropped) and ends a move.
void SetMixedView(EditorState& state, bool on);

}  // namespace editor
