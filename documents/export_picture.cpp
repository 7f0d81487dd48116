// Export picture: the page as a 640x384 PNG under the name the user chooses.
#include "documents/documents.h"
#include "runtime/replace_file.h"
#include "windowing/windowing.h"

namespace documents {

void ExportPicture(const lores::LoresPage& page, const lores::Palette& palette) {
    const std::string defaultPath = windowing::CurrentDirectory() + "/image1.png";
    const char* title = "Please choose file to save";
    const std::string answer =
        windowing::ChooseFileToOpen(title, defaultPath.c_str(), "Portable Network Graphics(*.png)|*.png", 0);
    if (answer.empty() || !MayWriteOver(answer, std::string(), title)) return;
    // A user who exported into a full disk must not believe it worked.
    runtime::TakeSyncFailure();
    if (!SavePagePicture(page, answer, palette))
        windowing::ShowMessage(ErrorCaption, (std::string(ExportMessagePrefix) + answer).c_str(), 0);
    else if (const std::string warning = SyncWarning(answer); !warning.empty())
        windowing::ShowMessage(ErrorCaption, warning.c_str(), 0);
}

}  // namespace documents
