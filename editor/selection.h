// The selection tool and what goes with it: a rectangle of cells marked,
// moved by a drag or the arrow keys, copied, cut, deleted and flipped; a
// paste that floats under the pointer until it is put down; and the system
// clipboard, both ways.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// The selection tool's handling of the pointer at cell.
void SelectPointer(EditorState& state, Cell cell, PointerPhase phase);
// A floating paste follows the pointer; a press puts it down.
void PastePointer(EditorState& state, bool press);

void SelectAll(EditorState& state);
// Takes the selection, a drag in progress or a floating paste away (the
// pixels stay); false when there was none (Escape then does its own work).
bool DropSelection(EditorState& state);
// The arrow keys with a selection; false without one.
bool MoveSelectionBy(EditorState& state, int dx, int dy);
void CopySelection(EditorState& state, bool cut);
void DeleteSelection(EditorState& state);
void Paste(EditorState& state);
void PutDownPaste(EditorState& state);
// False with no selection (the whole picture is flipped instead).
bool FlipSelection(EditorState& state, bool leftRight);

// What the selection puts over the page, for the view: the page to show
// (the working page, or a copy with a move or a floating paste on it), the
// outline around the selection or paste, and where the move's carried
// cells or the paste (and its mirrored copies) are shown: between two
// redraws with the page under them unchanged, only there can the page
// shown change (empty with no move or paste on it).
struct SelectionShown {
    const lores::LoresPage& page;
    CellRect outline;
    CellRect overlay;
};
SelectionShown ShownSelection(EditorState& state);

// The program's own clipboard type: "VCEL", width, height, a colour number a cell.
inline constexpr const char* CellsClipboardType = "application/x-vornel-cells";

}  // namespace editor
