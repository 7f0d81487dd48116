// Start-up and shut-down of the program, and the window, toolbar and popup
// menu through which every command arrives.
#pragma once

#include <string>

#include "editor/editor_state.h"

namespace editor {

// Runs the start-up in its fixed order, in the palette given (an index into
// lores::Palettes()). False when the window could not be opened (nothing
// else is built then).
bool StartUp(EditorState& state, int palette = 0);

// Releases the page store and shuts down the windowing layer and runtime.
void ShutDown(EditorState& state);

// Shows the tool button id as the one pressed tool button.
void SelectToolButton(int id);

// Program name and version, what it does, its licence and its keys.
void ShowAboutBox();

// Paints the colour swatches (toolbar buttons) in the state's palette.
void PaintSwatches(const EditorState& state);

// The whole program: start-up, the page file given (if any) opened as Open
// would, event loop, shut-down. Returns the exit code: 1 when the window
// could not be opened.
int RunEditor(const std::string& file = std::string(), int palette = 0);

}  // namespace editor
