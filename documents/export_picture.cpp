// Export picture: the page as a 640x384 PNG under the name the user chooses;
// and the disk that boots into it.
#include <algorithm>

#include "documents/conversions.h"
#include "documents/documents.h"
#include "runtime/replace_file.h"
#include "windowing/windowing.h"

namespace documents {

namespace {


// The save requester from the picture's folder, proposing name; the path
// chosen once the user agreed to write over what is there, else empty.
std::string AskWhereToWrite(const Document& doc, const std::string& name, const char* patterns) {
    const std::string defaultPath = SaveFolder(doc) + "/" + name;
    const std::string answer = windowing::ChooseFileToSave(SaveTitle, defaultPath.c_str(), patterns, 0);
    return answer.empty() || !MayWriteOver(answer, std::string(), SaveTitle) ? std::string() : answer;
}

// The picture's own name with another extension (art.gr: art.gif), or the
// name given when the picture has none.
std::string NameFor(const Document& doc, const char* extension, const char* otherwise) {
    if (doc.fileName.empty()) return otherwise;
    std::string name = doc.fileName.substr(doc.fileName.find_last_of("/:") + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? std::string(otherwise) : name + extension;
}

// An export's outcome: a user who exported into a full disk must not
// believe it worked, and one whose folder the disk did not confirm hears so.
bool ReportExport(Document& doc, const std::string& path, const runtime::WriteResult& saved) {
    if (!saved) {
        ShowFailure(ExportMessagePrefix, path, saved.error);
        return false;
    }
    if (const std::string warning = SyncWarning(path, saved.folderSyncError); !warning.empty())
        windowing::ShowMessage(ErrorCaption, warning.c_str(), 0);
    RememberFolder(doc, path);
    return true;
}

}  // namespace

void ShowFailure(const char* prefix, const std::string& path, const std::string& reason) {
    std::string text = std::string(prefix) + path;
    if (!reason.empty()) text += "\n" + reason;
    windowing::ShowMessage(ErrorCaption, text.c_str(), 0);
}

void ExportPicture(Document& doc, const lores::Palette& palette, bool mixed, PixelAspect aspect) {
    const std::string answer = AskWhereToWrite(doc, NameFor(doc, ".png", "image1.png"), "Portable Network Graphics(*.png)|*.png");
    if (answer.empty()) return;
    ReportExport(doc, answer, SavePagePicture(doc.page, answer, palette, mixed, aspect));
}

std::string ExportAnimation(Document& doc, const lores::Palette& palette, bool mixed, int fps, PixelAspect aspect) {
    const std::string answer = AskWhereToWrite(doc, NameFor(doc, ".gif", "animation.gif"), "GIF animations (*.gif)|*.gif");
    if (answer.empty()) return {};
    const std::size_t frames = doc.frames.pages.size();
    runtime::WriteResult saved = SaveAnimation(AllFrames(doc.frames, doc.page), answer, palette, mixed, fps, aspect);
    const std::string note = saved.note;
    saved.note.clear();
    if (!ReportExport(doc, answer, saved)) return {};
    std::string told = answer.substr(answer.find_last_of('/') + 1) + ": " + std::to_string(frames) +
                       (frames == 1 ? " frame" : " frames") + " at " + std::to_string(std::min(fps, 50)) +
                       " a second, looping";
    return note.empty() ? told : told + "; " + note;
}

std::string MakeBootDisk(Document& doc, bool mixed, int fps) {
    const std::string answer =
        AskWhereToWrite(doc, NameFor(doc, ".dsk", "picture.dsk"), "Apple II disk images (*.dsk *.do)|*.dsk;*.do");
    if (answer.empty()) return {};
    const std::string name = doc.fileName.empty() ? std::string("PICTURE") : doc.fileName;
    const ConversionResult result = BootDiskOf(AllFrames(doc.frames, doc.page), name, answer, mixed, fps);
    if (!result.ok) {
        // The result names the disk first; the box says it on its own first line.
        const std::string reason = result.message.substr(std::min(result.message.size(), answer.size() + 2));
        ShowReadMessage(answer, reason);
        return {};
    }
    // A warning that the disk did not confirm the folder is a box of its own.
    if (result.message.find("the save may not survive") != std::string::npos)
        windowing::ShowMessage(ErrorCaption, result.message.c_str(), 0);
    RememberFolder(doc, answer);
    return result.message.substr(answer.find_last_of('/') + 1);
}

}  // namespace documents
