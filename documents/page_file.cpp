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

PageRead ReadPageFile(const std::string& path, lores::LoresPage& page) {
    PageRead read;
    if (!runtime::OpenForReading(PageFileNumber, path)) return read;
    read.opened = true;
    read.bytes = runtime::ReadBytes(PageFileNumber, page.data(), lores::PageBytes);
    std::uint8_t more = 0;
    read.longer = read.bytes == lores::PageBytes && runtime::ReadBytes(PageFileNumber, &more, 1) != 0;
    runtime::CloseFileObject(PageFileNumber);
    return read;
}

void OpenPath(Document& doc, const std::string& path) {
    // Set before the file is opened: a later Save goes here even if this fails.
    doc.fileName = path;
    // A short file replaces only its own bytes; the rest of the page stays.
    const PageRead read = ReadPageFile(path, doc.page);
    // A missing file names a new picture. Anything else that is not exactly
    // a page (unreadable, a photo opened by mistake, a device) is not written
    // over by the next Save without the user's word.
    doc.confirmFileName = read.opened ? read.bytes != lores::PageBytes || read.longer : errno != ENOENT;
    if (read.bytes == 0) {
        ShowReadMessage(path);
        return;
    }
    doc.changed = false;
    doc.redraw();
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

bool WritePageBytes(const std::string& path, const lores::LoresPage& page) {
    if (!runtime::CreateForWriting(PageFileNumber, path)) return false;
    const std::size_t written = runtime::WriteBytes(PageFileNumber, page.data(), lores::PageBytes);
    // The bytes reach the disk at close; a failure there is a failed save
    // too, and the file it would have replaced is left as it was.
    const bool closed = runtime::CloseFileObject(PageFileNumber) != 0;
    return written == lores::PageBytes && closed;
}

bool WritePageFile(Document& doc) {
    if (!WritePageBytes(doc.fileName, doc.page)) {
        ShowReadMessage(doc.fileName);
        return false;
    }
    doc.changed = false;
    return true;
}

}  // namespace documents
