// Frames: a picture of 1 to 256 pages, one shown and drawn on at a time,
// the previous one faintly under it if asked, and played in a loop.
#pragma once

#include "editor/editor_state.h"

namespace editor {

// The frame commands; each change to the list of frames is one step of the
// history, and one that cannot act says why on the status line.
void NewFrame(EditorState& state);     // a copy of the shown one, after it
void DeleteFrame(EditorState& state);  // not the last one
void MoveFrame(EditorState& state, int by);  // one place earlier (-1) or later (1)
void GoToFrame(EditorState& state, long frame);  // clamped to the frames there are

// Play and stop, looping at the playback rate; any key or press stops it.
void TogglePlayback(EditorState& state);
void StopPlayback(EditorState& state);
// At a wake-up: the next frame when its time has come.
void PlaybackStep(EditorState& state);
// The rate one step faster (1) or slower (-1), kept in the settings.
void ChangeRate(EditorState& state, int by);
int LoadPlaybackRate();

// The frame under the shown one when the onion skin is on, else none.
const lores::LoresPage* OnionPage(const EditorState& state);

}  // namespace editor
