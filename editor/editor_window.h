// Start-up and shut-down of the program, and the window, toolbar and popup
// menu through which every command arrives.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// Runs the start-up in its fixed order. False when the window could not be
// opened (nothing else is built then).
bool StartUp(EditorState& state);

// Releases the page store and shuts down the windowing layer and runtime.
void ShutDown(EditorState& state);

// Shows the tool button id as the one pressed tool button.
void SelectToolButton(int id);

// The whole program: start-up, event loop, shut-down. Returns the exit code.
int RunEditor();

}  // namespace editor
