// The picture's file commands as the editor carries them out: New, Open,
// Save and Save As, a recent file, a file dropped on the window or named on
// the command line; the unsaved question first where one is replaced.
#pragma once

#include <string>

#include "documents/documents.h"
#include "editor/editor_state.h"

namespace editor {

inline constexpr const char* SaveChangesQuestion = "Save changes to the picture?";

// The document commands' view of the editor's picture.
documents::Document DocumentOf(EditorState& state);

// True when the picture may be replaced or the program may end: nothing is
// unsaved, or the user chose to save (and the save succeeded) or to discard.
bool MayDiscardPicture(EditorState& state);

void NewPicture(EditorState& state);
void OpenPicture(EditorState& state);
void SavePicture(EditorState& state, bool askForName);
// A file dropped on the window, or named on the command line.
void OpenDroppedFile(EditorState& state, const std::string& path);
void StartWithFile(EditorState& state, const std::string& path);
// The list's entry at index; one that is gone is said so and taken off.
void OpenRecentFile(EditorState& state, std::size_t index);

}  // namespace editor
