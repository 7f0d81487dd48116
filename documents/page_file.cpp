// New, Open, Save and Save As on raw page files: exactly the 1024 bytes of
// the working page, screen holes included, with no header.
#include <cerrno>

#include "documents/documents.h"
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

std::string AskForPath(const char* title, const std::string& proposed) {
    return windowing::ChooseFileToOpen(title, proposed.c_str(), PageFilePatterns, 0);
}

}  // namespace

void NewDocument(Document& doc) {
    doc.page.fill(0);
    doc.redraw();
    doc.fileName.clear();
    doc.confirmFileName = false;
    doc.changed = false;
}

void OpenDocument(Document& doc) {
    const std::string answer = AskForPath("Please choose file to load", DefaultPath());
    if (!answer.empty()) OpenPath(doc, answer);
}

void OpenPath(Document& doc, const std::string& path) {
    // Set before the file is opened: a later Save goes here even if this fails.
    doc.fileName = path;
    doc.confirmFileName = false;
    if (!runtime::OpenForReading(PageFileNumber, path)) {
        // A missing file names a new picture; one that exists but cannot be
        // read must not be written over by the next Save without asking.
        doc.confirmFileName = errno != ENOENT;
        ShowReadMessage(path);
        return;
    }
    // A short file replaces only its own bytes; the rest of the page stays.
    const std::size_t n = runtime::ReadBytes(PageFileNumber, doc.page.data(), lores::PageBytes);
    // Anything but exactly a page (a photo opened by mistake, a device) is
    // not cut to 1024 bytes by a Save without the user's word.
    std::uint8_t more = 0;
    doc.confirmFileName = n != lores::PageBytes || runtime::ReadBytes(PageFileNumber, &more, 1) != 0;
    if (n == 0) ShowReadMessage(path);
    runtime::CloseFileObject(PageFileNumber);
    if (n > 0) {
        doc.changed = false;
        doc.redraw();
    }
}

bool SaveDocument(Document& doc) {
    if (doc.fileName.empty()) return SaveDocumentAs(doc);
    if (!doc.confirmFileName) return WritePageFile(doc);
    const std::string answer = AskForPath("Please choose file to save", doc.fileName);
    if (answer.empty()) return false;
    doc.fileName = answer;
    doc.confirmFileName = false;
    return WritePageFile(doc);
}

bool SaveDocumentAs(Document& doc) {
    const std::string answer = AskForPath("Please choose file to save", DefaultPath());
    if (answer.empty()) return false;
    doc.fileName = answer;
    doc.confirmFileName = false;
    return WritePageFile(doc);
}

bool WritePageFile(Document& doc) {
    if (!runtime::CreateForWriting(PageFileNumber, doc.fileName)) {
        ShowReadMessage(doc.fileName);
        return false;
    }
    const std::size_t written = runtime::WriteBytes(PageFileNumber, doc.page.data(), lores::PageBytes);
    // The bytes reach the disk at close; a failure there is a failed save
    // too, and the file it would have replaced is left as it was.
    const bool closed = runtime::CloseFileObject(PageFileNumber) != 0;
    if (written != lores::PageBytes || !closed) {
        ShowReadMessage(doc.fileName);
        return false;
    }
    doc.changed = false;
    return true;
}

}  // namespace documents
