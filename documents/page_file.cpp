// New, Open, Save and Save As on raw page files: exactly the 1024 bytes of
// the working page, screen holes included, with no header.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "diskimage/disk_image.h"
#include "documents/conversions.h"
#include "documents/documents.h"
#include "runtime/file_objects.h"
#include "runtime/replace_file.h"
#include "windowing/windowing.h"

namespace documents {
namespace {

constexpr const char* PageFilePatterns = "All files (*.*)|*.*";
constexpr const char* DefaultPageName = "/pic#060400";

// The Open requester opens in the process's current directory.
std::string DefaultPath() { return windowing::CurrentDirectory() + DefaultPageName; }



// Open offers the picture files beside every file (the first, as always).
constexpr const char* OpenPatterns =
    "All files (*.*)|*.*|Pictures (pages, frames, disk images, PNG, JPEG)|*.gr;*#060400;*.dsk;*.do;*.po;*.2mg;*.hdv;*.png;*.jpg;*.jpeg";

std::string AskForPath(const char* title, const std::string& proposed) {
    return windowing::ChooseFileToOpen(title, proposed.c_str(), OpenPatterns, 0);
}

std::string AskForPathToSave(const std::string& proposed) {
    return windowing::ChooseFileToSave(SaveTitle, proposed.c_str(), PageFilePatterns, 0);
}

// A disk image chosen to save into: the name of the picture inside it,
// asked until the image's file system takes it (or cancelled: empty).
std::string AskForNameInImage(const std::string& image) {
    std::string proposed = "PIC";
    for (;;) {
        const std::string typed = windowing::AskForName(
            SaveTitle, "Name of the picture on the disk (on a ProDOS disk FOLDER/NAME, a new folder made):",
            proposed.c_str(), diskimage::NameAsTyped);
        if (typed.empty()) return std::string();
        std::string why;
        const std::string name = diskimage::FileNameFor(image, typed, why);
        if (!name.empty()) return diskimage::JoinImagePath(image, name);
        windowing::ShowMessage(ErrorCaption, (typed + ": " + why).c_str(), 0);
        proposed = typed;
    }
}

// 263168 as "263,168".
std::string WithCommas(std::size_t n) {
    std::string digits = std::to_string(n);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

// Saving over the picture's own file when that holds more than is written
// (a file longer than a page, opened as its first page): what goes is said
// before anything is written.
bool MayCutShort(const std::string& path, std::size_t frames) {
    struct stat st;
    diskimage::ImagePath inImage;
    if (diskimage::SplitImagePath(path, inImage) || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) <= frames * lores::PageBytes)
        return true;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const std::string what = frames == 1 ? "its first page only" : "its first " + std::to_string(frames) + " pages only";
    return windowing::AskToReplace(SaveTitle, (name + " holds " + WithCommas(static_cast<std::size_t>(st.st_size)) +
                                               " bytes; saving writes " + what + ". Replace it?")
                                                  .c_str());
}

// The requester's answer for a save, once the user agreed to lose what is
// there; the empty text when cancelled. A disk image chosen, or a new file
// named as one, asks for the picture's name inside it.
std::string AskWhereToSave(const std::string& proposed, const std::string& current, std::size_t frames) {
    std::string answer = AskForPathToSave(proposed);
    struct stat st;
    const bool newImage = diskimage::HasImageExtension(answer) && stat(answer.c_str(), &st) != 0 && errno == ENOENT;
    if (!answer.empty() && (newImage || diskimage::IsDiskImageFile(answer))) answer = AskForNameInImage(answer);
    if (answer.empty() || !MayWriteOver(answer, current, SaveTitle)) return std::string();
    return answer != current || MayCutShort(answer, frames) ? answer : std::string();
}

}  // namespace

namespace {

// The folder part of a path (an image's, for a picture inside one); "/" for
// the root, empty for a bare name.
std::string FolderOf(const std::string& path) {
    diskimage::ImagePath inImage;
    const std::string file = diskimage::SplitImagePath(path, inImage) ? inImage.image : path;
    const auto slash = file.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace

void RememberFolder(Document& doc, const std::string& path) {
    if (const std::string folder = FolderOf(path); !folder.empty()) doc.lastFolder = folder;
}

std::string SaveFolder(const Document& doc) {
    std::string folder = FolderOf(doc.fileName);
    if (folder.empty()) folder = doc.lastFolder;
    if (folder.empty()) return windowing::CurrentDirectory();  // as the Open requester, separator and all
    return folder == "/" ? std::string() : folder;
}

bool MayWriteOver(const std::string& path, const std::string& current, const char* caption) {
    if (path == current) return true;
    diskimage::ImagePath inImage;
    std::string name;
    if (diskimage::SplitImagePath(path, inImage)) {
        diskimage::Listing listing;
        std::string ignored;
        if (!inImage.exists || !diskimage::ListImage(inImage.image, listing, ignored)) return true;
        const auto same = [&](const diskimage::FileEntry& f) { return f.name == inImage.name; };
        if (std::none_of(listing.files.begin(), listing.files.end(), same)) return true;
        name = inImage.name;
    } else {
        struct stat st;
        // Writing into a device or a pipe destroys nothing; a missing file neither.
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
        const auto slash = path.find_last_of('/');
        name = slash == std::string::npos ? path : path.substr(slash + 1);
    }
    return windowing::AskToReplace(caption, (name + " already exists. Replace it?").c_str());
}

namespace {

// Open of a disk image: the pictures on it to choose from (the other files
// greyed); the chosen one's path, or the empty text.
std::string ChoosePictureInImage(const std::string& image) {
    diskimage::Listing listing;
    std::string why;
    if (!diskimage::ListImage(image, listing, why)) return image;  // Open then says it cannot be read
    // One folder at a time: its folders (to go into), then its files; ".."
    // goes back up.
    std::string folder;  // "" for the top, else "DIR/SUB/"
    for (;;) {
        std::vector<std::string> items;
        std::vector<bool> enabled;
        std::vector<std::string> targets;  // what choosing each item means: a folder ("…/") or a file
        if (!folder.empty()) {
            items.push_back("..");
            enabled.push_back(true);
            const std::string up = folder.substr(0, folder.size() - 1);
            const auto slash = up.find_last_of('/');
            targets.push_back(slash == std::string::npos ? std::string() : up.substr(0, slash + 1));
        }
        for (const bool folders : {true, false}) {
            for (const auto& f : listing.files) {
                if (f.directory != folders || f.name.compare(0, folder.size(), folder) != 0) continue;
                const std::string rest = f.name.substr(folder.size());
                if (rest.empty() || rest.find('/') != std::string::npos) continue;  // deeper down
                if (f.directory) {
                    items.push_back(rest + "/");
                    enabled.push_back(true);
                    targets.push_back(f.name + "/");
                } else {
                    items.push_back(rest + (f.IsPage() ? "" : "  (" + f.type + ", " + std::to_string(f.length) + " bytes)"));
                    enabled.push_back(f.binary);
                    targets.push_back(f.name);
                }
            }
        }
        const std::string where = listing.format + " disk " + image + (folder.empty() ? "" : ", folder " + folder);
        const int chosen = windowing::ChooseFromList("Please choose picture to load", where.c_str(), items, enabled);
        if (chosen < 0) return std::string();
        const std::string& target = targets[static_cast<std::size_t>(chosen)];
        if (items[static_cast<std::size_t>(chosen)] == ".." || (!target.empty() && target.back() == '/') ||
            target.empty()) {
            folder = target;
            continue;
        }
        return diskimage::JoinImagePath(image, target);
    }
}

}  // namespace

namespace {

// The picture's frames become pages, the first shown; the old ones go to
// the history as one step.
void ReplaceFrames(Document& doc, std::vector<lores::LoresPage> pages) {
    doc.frames.replaced = AllFrames(doc.frames, doc.page);
    doc.frames.pages = std::move(pages);
    doc.frames.shown = 0;
    doc.frames.generation++;
    doc.frames.structure++;
    doc.page = doc.frames.pages.front();
}

}  // namespace

void NewDocument(Document& doc) {
    ReplaceFrames(doc, std::vector<lores::LoresPage>(1));
    doc.redraw();
    doc.fileName.clear();
    doc.confirmFileName = false;
    doc.changed = false;
}

std::string OpenDocument(Document& doc) {
    std::string answer = AskForPath("Please choose file to load", DefaultPath());
    if (!answer.empty() && diskimage::IsDiskImageFile(answer)) answer = ChoosePictureInImage(answer);
    return answer.empty() ? answer : OpenPath(doc, answer);
}

std::string OpenPath(Document& doc, const std::string& path) {
    // A picture drawn elsewhere comes in by the import's block rules (a
    // photograph is for Import Picture, where its conversion is chosen); it
    // is no page file, so it has no name and Save asks.
    if (IsPngFile(path)) {
        lores::LoresPage imported{};
        std::string reason;
        if (!PageFromPngFile(path, imported, reason)) {
            ShowReadMessage(path, reason);
            return {};
        }
        ReplaceFrames(doc, {imported});
        doc.fileName.clear();
        doc.confirmFileName = false;
        doc.changed = true;
        doc.redraw();
        return path;
    }
    // Read aside: a file that cannot be read changes nothing, not even the
    // name the next Save writes to, and a short one is never merged into
    // the picture on screen (what it lacks is zero).
    std::vector<lores::LoresPage> read;
    errno = 0;
    const PageRead result = ReadFramesFile(path, read);
    if (result.bytes == 0) {
        struct stat st;
        const bool regular = stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        ShowReadMessage(path, !result.problem.empty() ? result.problem
                              : !result.opened     ? WhyNot(path, errno)
                              : !regular           ? "is not a regular file"
                                                   : "the file is empty");
        return {};
    }
    const bool framed = read.size() > 1;
    ReplaceFrames(doc, std::move(read));
    doc.fileName = path;
    RememberFolder(doc, path);
    // Anything that is not exactly a page or frames of pages (a photo opened
    // by mistake, a device) is not written over by the next Save without the
    // user's word.
    doc.confirmFileName = !framed && (result.bytes != lores::PageBytes || result.longer);
    doc.changed = false;
    doc.redraw();
    return path;
}

bool PictureIsGone(const std::string& path) {
    struct stat st;
    diskimage::ImagePath inImage;
    if (!diskimage::SplitImagePath(path, inImage)) return stat(path.c_str(), &st) != 0 && errno == ENOENT;
    diskimage::Listing listing;
    std::string ignored;
    return !inImage.exists || (diskimage::ListImage(inImage.image, listing, ignored) &&
                               std::none_of(listing.files.begin(), listing.files.end(),
                                            [&](const auto& f) { return f.name == inImage.name; }));
}

std::string StartWithPath(Document& doc, const std::string& path) {
    // A disk image named alone: its list, as Open shows it.
    if (diskimage::IsDiskImageFile(path)) {
        const std::string answer = ChoosePictureInImage(path);
        return answer.empty() ? answer : OpenPath(doc, answer);
    }
    if (PictureIsGone(path)) {
        // A picture yet to be made: the first Save creates the file.
        doc.fileName = path;
        doc.confirmFileName = false;
        return {};
    }
    return OpenPath(doc, path);
}

bool SaveDocument(Document& doc) {
    if (doc.fileName.empty()) return SaveDocumentAs(doc);
    if (!doc.confirmFileName) return WritePageFile(doc, doc.fileName);
    const std::string answer = AskWhereToSave(doc.fileName, doc.fileName, doc.frames.pages.size());
    return !answer.empty() && WritePageFile(doc, answer);
}

bool SaveDocumentAs(Document& doc) {
    const std::string answer = AskWhereToSave(SaveFolder(doc) + DefaultPageName, doc.fileName, doc.frames.pages.size());
    return !answer.empty() && WritePageFile(doc, answer);
}

bool WritePageFile(Document& doc, const std::string& path) {
    const runtime::WriteResult written = WriteFramesBytes(path, AllFrames(doc.frames, doc.page));
    // A failed write leaves the picture where it was: the name it had, and
    // the next Save going there.
    if (!written) {
        ShowReadMessage(path, written.error);
        return false;
    }
    doc.fileName = path;
    doc.confirmFileName = false;
    // Written: the picture is saved, but the user hears that a power cut
    // could still take it back.
    if (const std::string warning = SyncWarning(path, written.folderSyncError); !warning.empty())
        windowing::ShowMessage(ErrorCaption, warning.c_str(), 0);
    RememberFolder(doc, path);
    doc.changed = false;
    return true;
}

}  // namespace documents
