#include "editor/frames.h"

#include <algorithm>
#include <array>
#include <string>

#include "editor/history.h"
#include "editor/selection.h"
#include "editor/tools.h"
#include "editor/typing.h"
#include "runtime/settings.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// The rates offered, frames a second.
constexpr std::array<int, 16> Rates = {1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 24, 30, 40, 50, 60};

void Say(EditorState& state, const char* why) { state.notice = why; }

// What belongs to the frame left: the shape begun, the typing.
void LeaveFrame(EditorState& state) {
    CancelShape(state);
    EndTyping(state);
    EndStroke(state);
}

std::chrono::steady_clock::duration FrameTime(const EditorState& state) {
    return std::chrono::microseconds(1000000 / std::clamp(state.playbackRate, 1, 60));
}

void WakeForNextFrame(const EditorState& state) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(state.nextFrameAt -
                                                                            std::chrono::steady_clock::now());
    windowing::ScheduleWakeUp(static_cast<int>(std::max<long>(0, wait.count())) + 1);
}

}  // namespace

void NewFrame(EditorState& state) {
    documents::Frames& f = state.frames;
    if (f.pages.size() >= documents::MaxFrames) return Say(state, "a picture has at most 256 frames");
    LeaveFrame(state);
    RecordFrameChange(state, f.shown + 1, 0, {state.workingPage()}, f.shown + 1);
}

void DeleteFrame(EditorState& state) {
    documents::Frames& f = state.frames;
    if (f.pages.size() < 2) return Say(state, "the only frame is not deleted");
    LeaveFrame(state);
    RecordFrameChange(state, f.shown, 1, {}, std::min(f.shown, f.pages.size() - 2));
}

void MoveFrame(EditorState& state, int by) {
    documents::Frames& f = state.frames;
    const long to = static_cast<long>(f.shown) + by;
    if (to < 0 || to >= static_cast<long>(f.pages.size()))
        return Say(state, f.pages.size() < 2 ? "one frame: nowhere to move it" : "the frame is at the end already");
    LeaveFrame(state);
    const std::size_t low = std::min(f.shown, static_cast<std::size_t>(to));
    RecordFrameChange(state, low, 2, {f.pages[low + 1], f.pages[low]}, static_cast<std::size_t>(to));
}

void GoToFrame(EditorState& state, long frame) {
    const documents::Frames& f = state.frames;
    const auto target = static_cast<std::size_t>(std::clamp<long>(frame, 0, static_cast<long>(f.pages.size()) - 1));
    if (target == f.shown) return;
    LeaveFrame(state);
    ShowFrame(state, target);
}

void TogglePlayback(EditorState& state) {
    if (state.playing) return StopPlayback(state);
    if (state.frames.pages.size() < 2) return Say(state, "one frame: nothing to play");
    LeaveFrame(state);
    state.playing = true;
    state.nextFrameAt = std::chrono::steady_clock::now() + FrameTime(state);
    WakeForNextFrame(state);
}

void StopPlayback(EditorState& state) { state.playing = false; }

void PlaybackStep(EditorState& state) {
    if (!state.playing) return;
    const auto now = std::chrono::steady_clock::now();
    if (now >= state.nextFrameAt) {
        ShowFrame(state, (state.frames.shown + 1) % state.frames.pages.size());
        // The next step keeps to the rate's grid, but never runs to catch up.
        state.nextFrameAt = std::max(state.nextFrameAt + FrameTime(state), now);
    }
    WakeForNextFrame(state);
}

void ChangeRate(EditorState& state, int by) {
    const auto at = std::lower_bound(Rates.begin(), Rates.end(), state.playbackRate) - Rates.begin();
    const long next = std::clamp<long>(at + by, 0, static_cast<long>(Rates.size()) - 1);
    state.playbackRate = Rates[static_cast<std::size_t>(next)];
    runtime::KeepSetting("playback", std::to_string(state.playbackRate) + "\n");
    Say(state, (std::to_string(state.playbackRate) + " frames a second").c_str());
}

int LoadPlaybackRate() {
    std::string text;
    if (!runtime::ReadSetting("playback", text, 16)) return 10;
    try {
        const int rate = std::stoi(text);
        return rate >= 1 && rate <= 60 ? rate : 10;
    } catch (...) {
        return 10;
    }
}

const lores::LoresPage* OnionPage(const EditorState& state) {
    const documents::Frames& f = state.frames;
    return state.onionSkin && f.shown > 0 && !state.playing ? &f.pages[f.shown - 1] : nullptr;
}

}  // namespace editor
