// New, Open, Save and Save As on raw page files: exactly the 1024 bytes of
// the working page, screen holes included, with no header.
#include <algorithm>

#include "documents/documents.h"
#include "editor/page_view.h"
#include "runtime/file_objects.h"
#include "windowing/windowing.h"

namespace documents {
namespace {

constexpr const char* PageFilePatterns = "All files (*.*)|*.*";
constexpr const char* DefaultPageName = "/pic#060400";

// The requester always opens in the process's current directory.
std::string DefaultPath() { return windowing::CurrentDirectory() + DefaultPageName; }

void ShowReadMessage(const std::string& path) {
    windowing::ShowMessage(ErrorCaption, (std::string(ReadMessagePrefix) + path).c_str(), 0);
}

std::string AskForPath(const char* title) {
    return windowing::ChooseFileToOpen(title, DefaultPath().c_str(), PageFilePatterns, 0);
}

}  // namespace

void NewDocument(editor::EditorState& state) {
    state.workingPage().fill(0);
    editor::RedrawPage(state);
    state.fileName.clear();
}

void OpenDocument(editor::EditorState& state) {
    const std::string answer = AskForPath("Please choose file to load");
    if (answer.empty()) return;
    // Set before the file is opened: a later Save goes here even if this fails.
    state.fileName = answer;
    if (!runtime::OpenForReading(editor::PageFileNumber, answer)) {
        ShowReadMessage(answer);
        return;
    }
    // A short file replaces only its own bytes; the rest of the page stays.
    const std::size_t n = runtime::ReadBytes(editor::PageFileNumber, state.workingPage().data(), lores::PageBytes);
    if (n == 0) ShowReadMessage(answer);
    runtime::CloseFileObject(editor::PageFileNumber);
    if (n > 0) editor::RedrawPage(state);
}

void SaveDocument(editor::EditorState& state) {
    if (!state.fileName.empty()) {
        WritePageFile(state);
        return;
    }
    SaveDocumentAs(state);
}

void SaveDocumentAs(editor::EditorState& state) {
    const std::string answer = AskForPath("Please choose file to save");
    if (answer.empty()) return;
    state.fileName = answer;
    WritePageFile(state);
}

void WritePageFile(editor::EditorState& state) {
    if (!runtime::CreateForWriting(editor::PageFileNumber, state.fileName)) {
        ShowReadMessage(state.fileName);
        return;
    }
    const std::size_t written =
        runtime::WriteBytes(editor::PageFileNumber, state.workingPage().data(), lores::PageBytes);
    // The bytes reach the disk at close; a failure there is a failed save
    // too, and the file it would have replaced is left as it was.
    const bool closed = runtime::CloseFileObject(editor::PageFileNumber) != 0;
    if (written != lores::PageBytes || !closed) ShowReadMessage(state.fileName);
}

}  // namespace documents
