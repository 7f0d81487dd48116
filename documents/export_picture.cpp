// Export picture: the page as a 640x384 PNG under the name the user chooses.
#include "documents/conversions.h"
#include "documents/documents.h"
#include "runtime/replace_file.h"
#include "windowing/windowing.h"

namespace documents {

namespace {

// Returns the file written, or the empty text.
std::string Export(const lores::LoresPage& page, const lores::Palette& palette, const std::string& folder) {
    const std::string defaultPath = folder + "/image1.png";
    const char* title = "Please choose file to save";
    const std::string answer =
        windowing::ChooseFileToSave(title, defaultPath.c_str(), "Portable Network Graphics(*.png)|*.png", 0);
    if (answer.empty() || !MayWriteOver(answer, std::string(), title)) return std::string();
    // A user who exported into a full disk must not believe it worked.
    runtime::TakeSyncFailure();
    if (!SavePagePicture(page, answer, palette)) {
        windowing::ShowMessage(ErrorCaption, (std::string(ExportMessagePrefix) + answer).c_str(), 0);
        return std::string();
    }
    if (const std::string warning = SyncWarning(answer); !warning.empty())
        windowing::ShowMessage(ErrorCaption, warning.c_str(), 0);
    return answer;
}

}  // namespace

void ExportPicture(const lores::LoresPage& page, const lores::Palette& palette) {
    Export(page, palette, windowing::CurrentDirectory());
}

void ExportPicture(Document& doc, const lores::Palette& palette) {
    const std::string written = Export(doc.page, palette, SaveFolder(doc));
    if (!written.empty()) RememberFolder(doc, written);
}

}  // namespace documents

namespace documents {

void MakeBootDisk(Document& doc, bool mixed) {
    const char* title = "Please choose file to save";
    const std::string defaultPath = SaveFolder(doc) + "/picture.dsk";
    const std::string answer =
        windowing::ChooseFileToSave(title, defaultPath.c_str(), "Apple II disk images (*.dsk *.do)|*.dsk;*.do", 0);
    if (answer.empty() || !MayWriteOver(answer, std::string(), title)) return;
    const std::string name = doc.fileName.empty() ? std::string("PICTURE") : doc.fileName;
    const ConversionResult result = BootDiskOf(doc.page, name, answer, mixed);
    if (!result.ok) {
        windowing::ShowMessage(ErrorCaption, (std::string(ReadMessagePrefix) + answer).c_str(), 0);
        return;
    }
    if (!result.message.empty()) windowing::ShowMessage(ErrorCaption, result.message.c_str(), 0);
    RememberFolder(doc, answer);
}

}  // namespace documents
