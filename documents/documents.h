// The document commands: raw 1024-byte page files and the PNG export. They
// work on what their caller hands them (the page, its file name, its flags
// and a way to show the page again), and know nothing of the editor.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "documents/screen_shape.h"
#include "lores/lores_page.h"
#include "lores/palettes.h"
#include "runtime/replace_file.h"

namespace documents {

inline constexpr const char* ReadMessagePrefix = "Read file:";
inline constexpr const char* ExportMessagePrefix = "Can't save picture:";
inline constexpr const char* ErrorCaption = "Error";
// The title of every requester that asks where to write.
inline constexpr const char* SaveTitle = "Please choose file to save";

// When a file written could not be made to survive a power cut (its
// folder's sync failed with folderSyncError): what to tell the user, naming
// it; else empty.
std::string SyncWarning(const std::string& path, int folderSyncError);
// Why path could not be written, from the errno of the failure: "is a
// folder", "is not a regular file", else the system's words.
std::string WhyNot(const std::string& path, int error);
// A failure in a box: the message named for it as its first line (prefix
// and path), the reason under it.
void ShowFailure(const char* prefix, const std::string& path, const std::string& reason);
inline void ShowReadMessage(const std::string& path, const std::string& reason) {
    ShowFailure(ReadMessagePrefix, path, reason);
}

inline constexpr int PageFileNumber = 0;
inline constexpr int ExportImage = 200;
inline constexpr int CellWidth = 16;  // picture pixels per lores pixel, across
inline constexpr int CellHeight = 8;  // and down
inline constexpr int TextBoxHeight = 16;  // a character of the mixed-mode lines: two cells high

inline constexpr std::size_t MaxFrames = 256;

// The picture's frames, each a whole page. pages[shown] is the shown frame
// as the history last took it: the page being drawn on is Document::page.
// Whatever replaces the whole list (Open, New) leaves the old one in
// replaced and counts generation up, for the history to take as one step.
struct Frames {
    std::vector<lores::LoresPage> pages = std::vector<lores::LoresPage>(1);
    std::size_t shown = 0;
    std::uint64_t generation = 0;
    std::vector<lores::LoresPage> replaced;
    // Counts up whenever another frame is shown or the list changes (not
    // for drawing on the shown frame): what keeps a copy of the frames
    // copies them again then.
    std::uint64_t structure = 0;
};

// Every frame as it is now: the pages with the shown one as drawn.
std::vector<lores::LoresPage> AllFrames(const Frames& frames, const lores::LoresPage& page);

// The picture as its commands see it; every field belongs to the caller.
struct Document {
    lores::LoresPage& page;
    Frames& frames;
    std::string& fileName;
    // The name came from a file that was not a page (or could not be read):
    // the next Save asks, proposing that name, instead of writing over it.
    bool& confirmFileName;
    // The page differs from what was last opened, saved or newly started.
    bool& changed;
    std::function<void()> redraw;
    // The folder of the file last opened, saved or exported: where Save As
    // and Export start for a picture that has no file of its own.
    std::string& lastFolder;
};

void NewDocument(Document& doc);
// Each gives the path of the picture it opened; the empty text when it
// opened none (cancelled, or a file that could not be read).
std::string OpenDocument(Document& doc);
// Open of a path already chosen (the requester's answer). A file that cannot
// be read, or is empty, changes nothing but showing the message.
std::string OpenPath(Document& doc, const std::string& path);
// The picture named on the command line: opened as Open would, or, when no
// such file exists yet, the name the first Save creates (no message).
std::string StartWithPath(Document& doc, const std::string& path);
// No picture is at path (or IMAGE:NAME) any more: the file, its disk image,
// or the picture in the image is missing.
bool PictureIsGone(const std::string& path);
// True when path may be written: it is the picture's current file, no
// existing regular file, or the user agreed to replace it.
bool MayWriteOver(const std::string& path, const std::string& current, const char* caption);
// True when the page reached the disk; false when it failed or was cancelled.
bool SaveDocument(Document& doc);
bool SaveDocumentAs(Document& doc);
// The page written to path, which becomes the picture's file only when the
// write succeeded (a failure says why and changes nothing).
bool WritePageFile(Document& doc, const std::string& path);
// Its requester starts in the picture's folder (SaveFolder); with mixed, the
// text lines are drawn as the mixed view shows them.
void ExportPicture(Document& doc, const lores::Palette& palette, bool mixed = false,
                   PixelAspect aspect = PixelAspect::TwoToOne);

// Every frame as an animated GIF at fps frames a second, under the name the
// user chooses (a failure as Export reports one); what was written, in a
// line for the status line (empty when nothing was).
std::string ExportAnimation(Document& doc, const lores::Palette& palette, bool mixed, int fps,
                            PixelAspect aspect = PixelAspect::TwoToOne);

// A disk that boots into the picture, asked for with the save requester
// (mixed when the mixed view is on); a failure as Save As reports one.
// A picture of frames gives a disk that plays them at fps a second. What
// was written and what to do with it, in a line (empty when nothing was).
std::string MakeBootDisk(Document& doc, bool mixed, int fps = 10);

// The folder the Save As and Export requesters start in: the picture's own
// file's, else that of the file last opened, saved or exported, else the
// current one; without a closing separator, so that a name starting with one
// follows (the current folder keeps its own: the requester takes the
// doubled separator as one).
std::string SaveFolder(const Document& doc);
// Notes the folder of a file just opened, saved or exported.
void RememberFolder(Document& doc, const std::string& path);

// Fills the 1920 boxes of a page (16x8 each, or the cells given) into the
// current drawing context.
void DrawPageBoxes(const lores::LoresPage& page, const lores::Palette& palette = lores::DefaultPalette(),
                   CellSize cells = {});
// One character of the mixed-mode text lines (line 0 to 3 = text rows 20
// to 23) in its box of a cell across and two down (16x16), white on black
// (black on white when inverse).
void DrawTextCell(int column, int line, std::uint8_t code, CellSize cells = {});
// The four text lines over pixel rows 40 to 47, as the machine's mixed mode shows them.
void DrawMixedText(const lores::LoresPage& page, CellSize cells = {});

// The file work under the commands, shared with the command-line conversions.
struct PageRead {
    bool opened = false;  // false: errno says why
    std::size_t bytes = 0;
    bool longer = false;  // more bytes follow the first 1024
    std::string problem;  // inside a disk image: why it could not be read
};
// Up to a page of path (or IMAGE:NAME) into page; a short file fills only
// its own bytes.
PageRead ReadPageFile(const std::string& path, lores::LoresPage& page);
// The same for a picture of frames: a file of exactly N x 1024 bytes, N from
// 2 to 256, is N frames (frames then holds N pages, and read.longer is
// false); any other, its first page (frames holds one). A file of a disk
// image's size, or longer than a page with a disk image's name, is refused
// (read.problem says why: the image's damage).
PageRead ReadFramesFile(const std::string& path, std::vector<lores::LoresPage>& frames);
// True for the names of pictures other programs read (.png .jpg .jpeg .gif).
bool HasPictureExtension(const std::string& path);
// Why a page file (or frames) may not be written as this plain path: a
// picture's or a disk image's name, or a disk image's size; empty if none.
std::string PageNameProblem(const std::string& path, std::size_t frames);
// The 1024 bytes through the safe replacement (into a disk image for
// IMAGE:NAME), with the reason when they are not in place.
runtime::WriteResult WritePageBytes(const std::string& path, const lores::LoresPage& page);
// Bytes as the whole of a file, through the safe replacement.
runtime::WriteResult WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
// An animated GIF of the frames, each drawn as SavePagePicture draws it
// (640x384 at 2:1), looping forever at fps frames a second (1 to 60).
runtime::WriteResult SaveAnimation(const std::vector<lores::LoresPage>& frames, const std::string& path,
                                   const lores::Palette& palette, bool mixed, int fps,
                                   PixelAspect aspect = PixelAspect::TwoToOne);
// The frames one after the other: N x 1024 bytes (one frame: the page).
runtime::WriteResult WriteFramesBytes(const std::string& path, const std::vector<lores::LoresPage>& frames);
// The page as the 640x384 picture (in a palette, with the mixed-mode text
// lines when asked; 560x384 at 7:4, 640x480 at 8:5), saved as PNG under
// exactly path.
runtime::WriteResult SavePagePicture(const lores::LoresPage& page, const std::string& path,
                                     const lores::Palette& palette = lores::DefaultPalette(), bool mixed = false,
                                     PixelAspect aspect = PixelAspect::TwoToOne);

}  // namespace documents
