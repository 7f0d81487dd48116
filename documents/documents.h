// The document commands: raw 1024-byte page files and the PNG export.
#pragma once

#include "editor/editor_state.h"

namespace documents {

inline constexpr const char* ReadMessagePrefix = "Read file:";
inline constexpr const char* ExportMessagePrefix = "Can't save picture:";
inline constexpr const char* ErrorCaption = "Error";

void NewDocument(editor::EditorState& state);
void OpenDocument(editor::EditorState& state);
void SaveDocument(editor::EditorState& state);
void SaveDocumentAs(editor::EditorState& state);
void WritePageFile(editor::EditorState& state);
void ExportPicture(editor::EditorState& state);

}  // namespace documents
