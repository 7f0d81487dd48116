// Start-up and shut-down of the program, and the window, toolbar and popup
// menu through which every command arrives.
#pragma once

#include <string>
#include <utility>
#include <vector>

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

// Program name and version, what it does, its licence; with its keys (F1).
void ShowAboutBox();
void ShowKeysBox();
// The keys' list F1 shows: a row of keys and what they do.
std::vector<std::pair<std::string, std::string>> KeysList();

// The menu bar's items show the state's tool, toggles, what can act now
// and the recent files.
void UpdateMenuBar(EditorState& state);

// Paints the colour swatches (toolbar buttons) in the state's palette.
void PaintSwatches(const EditorState& state);

// The whole program: start-up, the page file given (if any) opened as Open
// would, event loop, shut-down. Returns the exit code: 1 when the window
// could not be opened.
int RunEditor(const std::string& file = std::string(), int palette = 0);

}  // namespace editor
