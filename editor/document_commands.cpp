#include "editor/document_commands.h"

#include "editor/page_view.h"
#include "editor/picture_import.h"
#include "editor/recent_files.h"
#include "windowing/windowing.h"

namespace editor {

documents::Document DocumentOf(EditorState& state) {
    return {state.workingPage(), state.frames, state.fileName, state.confirmFileName, state.pictureChanged,
            [&state] { RedrawPage(state); }, state.lastFolder};
}

bool MayDiscardPicture(EditorState& state) {
    if (!state.pictureChanged) return true;
    switch (windowing::AskToSaveChanges(state.titleText.c_str(), SaveChangesQuestion)) {
    case windowing::SaveChangesAnswer::Save: {
        documents::Document doc = DocumentOf(state);
        if (!documents::SaveDocument(doc)) return false;
        RememberRecentFile(state, state.fileName);
        return true;
    }
    case windowing::SaveChangesAnswer::Discard: return true;
    case windowing::SaveChangesAnswer::Cancel: break;
    }
    return false;
}

void NewPicture(EditorState& state) {
    documents::Document doc = DocumentOf(state);
    if (MayDiscardPicture(state)) documents::NewDocument(doc);
}

void OpenPicture(EditorState& state) {
    documents::Document doc = DocumentOf(state);
    if (!MayDiscardPicture(state)) return;
    RememberRecentFile(state, documents::OpenDocument(doc));
}

void SavePicture(EditorState& state, bool askForName) {
    documents::Document doc = DocumentOf(state);
    if (askForName ? documents::SaveDocumentAs(doc) : documents::SaveDocument(doc))
        RememberRecentFile(state, state.fileName);
}

void OpenDroppedFile(EditorState& state, const std::string& path) {
    // A picture that is not lores is converted into the page, as Import
    // Picture does; anything else is opened.
    if (path.empty() || ImportPictureFile(state, path, false)) return;
    documents::Document doc = DocumentOf(state);
    if (MayDiscardPicture(state)) RememberRecentFile(state, documents::OpenPath(doc, path));
}

void StartWithFile(EditorState& state, const std::string& path) {
    documents::Document doc = DocumentOf(state);
    RememberRecentFile(state, documents::StartWithPath(doc, path));
}

void OpenRecentFile(EditorState& state, std::size_t index) {
    if (index >= state.recentFiles.size() || !MayDiscardPicture(state)) return;
    const std::string path = state.recentFiles[index];
    if (documents::PictureIsGone(path)) {
        ForgetRecentFile(state, path);
        documents::ShowReadMessage(path, "it is no longer there (taken off the recent files)");
        return;
    }
    documents::Document doc = DocumentOf(state);
    RememberRecentFile(state, documents::OpenPath(doc, path));
}

}  // namespace editor
