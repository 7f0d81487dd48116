#include "editor/history.h"

#include <algorithm>

#include "editor/page_view.h"

namespace editor {
namespace {

void Push(History& h, Step step) {
    // Steps ahead of this one go; the saved picture with them, if it was there.
    if (h.savedAt > static_cast<std::ptrdiff_t>(h.at)) h.savedAt = -1;
    h.steps.resize(h.at);
    if (h.steps.size() >= HistorySteps) {
        h.steps.erase(h.steps.begin());
        h.savedAt = h.savedAt > 0 ? h.savedAt - 1 : -1;
    }
    h.steps.push_back(std::move(step));
    h.at = h.steps.size();
}

// The frames from at on: count of them become pages, and shown is shown.
void Splice(EditorState& state, std::size_t at, std::size_t count, const std::vector<lores::LoresPage>& pages,
            std::size_t shown) {
    auto& list = state.frames.pages;
    // The toolbar's one-level undo belongs to the frame it was taken on.
    if (shown != state.frames.shown || count != pages.size()) state.undoAvailable = 0;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(at), list.begin() + static_cast<std::ptrdiff_t>(at + count));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), pages.begin(), pages.end());
    state.frames.shown = std::min(shown, list.size() - 1);
    state.frames.structure++;
    state.workingPage() = list[state.frames.shown];
    // Back where it was last opened or saved, the picture is unchanged.
    state.pictureChanged = state.history.savedAt != static_cast<std::ptrdiff_t>(state.history.at);
    if (state.onionSkin) state.shown.drawSerial = 0;  // another frame under it: any box may differ
    RedrawAtPointerCell(state);
}

}  // namespace

void ResetHistory(EditorState& state) {
    state.history = History{};
    state.history.generation = state.frames.generation;
    state.frames.pages[state.frames.shown] = state.workingPage();
    state.frames.replaced.clear();
}

void RecordHistory(EditorState& state) {
    History& h = state.history;
    documents::Frames& f = state.frames;
    if (f.generation != h.generation) {
        // The whole list replaced (Open, New): one step.
        h.generation = f.generation;
        f.pages[f.shown] = state.workingPage();
        f.structure++;
        Push(h, {0, std::move(f.replaced), f.pages, 0, f.shown});
        f.replaced.clear();
    } else if (!state.penStroke && state.workingPage() != f.pages[f.shown]) {
        Push(h, {f.shown, {f.pages[f.shown]}, {state.workingPage()}, f.shown, f.shown});
        f.pages[f.shown] = state.workingPage();
    }
    // Whatever made the picture unchanged (a save, an open, New) made this
    // place in the history the one on disk.
    if (!state.pictureChanged) h.savedAt = static_cast<std::ptrdiff_t>(h.at);
}

void EndStroke(EditorState& state) {
    // A stroke still held ends here, as one step of the frame it was drawn on,
    // before anything replaces the page it was drawn on.
    state.penStroke = false;
    RecordHistory(state);
}

void RecordFrameChange(EditorState& state, std::size_t at, std::size_t count, std::vector<lores::LoresPage> pages,
                       std::size_t shown) {
    EndStroke(state);
    documents::Frames& f = state.frames;
    std::vector<lores::LoresPage> before(f.pages.begin() + static_cast<std::ptrdiff_t>(at),
                                         f.pages.begin() + static_cast<std::ptrdiff_t>(at + count));
    Push(state.history, {at, std::move(before), pages, f.shown, shown});
    Splice(state, at, count, pages, shown);
}

void ShowFrame(EditorState& state, std::size_t frame) {
    EndStroke(state);  // what was drawn on the frame left is kept with it
    documents::Frames& f = state.frames;
    if (frame >= f.pages.size() || frame == f.shown) return;
    f.shown = frame;
    f.structure++;
    state.workingPage() = f.pages[frame];
    state.undoAvailable = 0;  // the toolbar's undo is the frame's own
    if (state.onionSkin) state.shown.drawSerial = 0;  // another frame under it: any box may differ
    RedrawAtPointerCell(state);
}

bool StepBack(EditorState& state) {
    EndStroke(state);
    History& h = state.history;
    if (h.at == 0) return false;
    const Step& s = h.steps[--h.at];
    Splice(state, s.at, s.after.size(), s.before, s.shownBefore);
    return true;
}

bool StepForward(EditorState& state) {
    EndStroke(state);
    History& h = state.history;
    if (h.at >= h.steps.size()) return false;
    const Step& s = h.steps[h.at++];
    Splice(state, s.at, s.before.size(), s.after, s.shownAfter);
    return true;
}

}  // namespace editor
