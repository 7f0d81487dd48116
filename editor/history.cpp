#include "editor/history.h"

#include "editor/page_view.h"

namespace editor {
namespace {

bool StepTo(EditorState& state, std::size_t at) {
    state.history.at = at;
    state.workingPage() = state.history.steps[at];
    state.pictureChanged = state.workingPage() != state.savedPage;
    RedrawAtPointerCell(state);
    return true;
}

}  // namespace

void ResetHistory(EditorState& state) {
    state.history.steps.assign(1, state.workingPage());
    state.history.at = 0;
}

void RecordHistory(EditorState& state) {
    History& h = state.history;
    if (h.steps.empty()) ResetHistory(state);
    // Whatever made the picture unchanged (a save, an open, New) made this
    // page the one on disk.
    if (!state.pictureChanged) state.savedPage = state.workingPage();
    if (state.penStroke || state.workingPage() == h.steps[h.at]) return;
    h.steps.resize(h.at + 1);
    if (h.steps.size() > HistorySteps) h.steps.erase(h.steps.begin());
    h.steps.push_back(state.workingPage());
    h.at = h.steps.size() - 1;
}

bool StepBack(EditorState& state) {
    RecordHistory(state);
    return state.history.at > 0 && StepTo(state, state.history.at - 1);
}

bool StepForward(EditorState& state) {
    RecordHistory(state);
    return state.history.at + 1 < state.history.steps.size() && StepTo(state, state.history.at + 1);
}

}  // namespace editor
