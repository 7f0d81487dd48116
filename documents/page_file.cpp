// New, Open, Save and Save As on raw page files: exactly the 1024 bytes of
// the working page, screen holes included, with no header.
#include <sys/stat.h>

#include <cerrno>

#include "documents/documents.h"
#include "runtime/file_objects.h"
#include "windowing/windowing.h"

namespace documents {
namespace {

constexpr const char* PageFilePatterns = "All files (*.*)|*.*";
constexpr const char* DefaultPageName = "/pic#060400";
constexpr const char* SaveTitle = "Please choose file to save";

// The requester always opens in the process's current directory.
std::string DefaultPath() { return windowing::CurrentDirectory() + DefaultPageName; }

void ShowReadMessage(const std::string& path) {
    windowing::ShowMessage(ErrorCaption, (std::string(ReadMessagePrefix) + path).c_str(), 0);
}

std::string AskForPath(const char* title, const std::string& proposed) {
    return windowing::ChooseFileToOpen(title, proposed.c_str(), PageFilePatterns, 0);
}

// The requester's answer for a save, once the user agreed to lose what is
// there; the empty text when cancelled.
std::string AskWhereToSave(const std::string& proposed, const std::string& current) {
    const std::string answer = AskForPath(SaveTitle, proposed);
    return answer.empty() || !MayWriteOver(answer, current, SaveTitle) ? std::string() : answer;
}

}  // namespace

bool MayWriteOver(const std::string& path, const std::string& current, const char* caption) {
    struct stat st;
    // Writing into a device or a pipe destroys nothing; a missing file neither.
    if (path == current || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return windowing::AskToReplace(caption, (name + " already exists. Replace it?").c_str());
}

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
    // Read aside: a file that cannot be read changes nothing, not even the
    // name the next Save writes to, and a short one is never merged into
    // the picture on screen (what it lacks is zero).
    lores::LoresPage read{};
    const PageRead result = ReadPageFile(path, read);
    if (result.bytes == 0) {
        ShowReadMessage(path);
        return;
    }
    doc.page = read;
    doc.fileName = path;
    // Anything that is not exactly a page (a photo opened by mistake, a
    // device) is not written over by the next Save without the user's word.
    doc.confirmFileName = result.bytes != lores::PageBytes || result.longer;
    doc.changed = false;
    doc.redraw();
}

void StartWithPath(Document& doc, const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        // A picture yet to be made: the first Save creates the file.
        doc.fileName = path;
        doc.confirmFileName = false;
        return;
    }
    OpenPath(doc, path);
}

bool SaveDocument(Document& doc) {
    if (doc.fileName.empty()) return SaveDocumentAs(doc);
    if (!doc.confirmFileName) return WritePageFile(doc);
    const std::string answer = AskWhereToSave(doc.fileName, doc.fileName);
    if (answer.empty()) return false;
    doc.fileName = answer;
    doc.confirmFileName = false;
    return WritePageFile(doc);
}

bool SaveDocumentAs(Document& doc) {
    const std::string answer = AskWhereToSave(DefaultPath(), doc.fileName);
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
