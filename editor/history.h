// The picture's history: every change is one step (a pen stroke from press
// to release, a committed shape or fill, a scroll, the toolbar's undo, New,
// Open, a change to the list of frames), to step back and forth through;
// a step holds only the frames it changed. The toolbar's one-level undo is
// itself a step. Nothing of the history is saved.
#pragma once

#include <cstddef>

#include "editor/editor_state.h"

namespace editor {

inline constexpr std::size_t HistorySteps = 512;

// Starts the history at the page shown now.
void ResetHistory(EditorState& state);

// After every event: a change since the last step (a pen stroke only once
// the button is up) becomes a new step, dropping those ahead of it.
void RecordHistory(EditorState& state);

// Ends a pen stroke still held, as a step of the frame it was drawn on.
void EndStroke(EditorState& state);

// A change to the list of frames, one step: from at on, count frames
// become pages, and frame shown is shown.
void RecordFrameChange(EditorState& state, std::size_t at, std::size_t count, std::vector<lores::LoresPage> pages,
                       std::size_t shown);

// Shows another frame (no step: the picture does not change).
void ShowFrame(EditorState& state, std::size_t frame);

// Ctrl+Z and Ctrl+Shift+Z / Ctrl+Y. False when there is no step that way.
bool StepBack(EditorState& state);
bool StepForward(EditorState& state);

}  // namespace editor
