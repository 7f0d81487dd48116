// The editor's whole state, owned by the main routine for the life of the
// process and passed by reference to whatever needs it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "documents/documents.h"
#include "lores/lores_page.h"

namespace editor {

enum class Tool { Pen = 0, Line = 1, Circle = 2, Fill = 3 };

struct Cell {
    int x = 0;
    int y = 0;
    bool operator==(const Cell&) const = default;
};

inline constexpr Cell NoAnchor{-1, -1};

// Numbers shared by toolbar buttons and popup-menu items.
namespace CommandId {
inline constexpr int FirstColour = 0;
inline constexpr int LastColour = 15;
inline constexpr int NewPicture = 16;
inline constexpr int OpenPicture = 17;
inline constexpr int SavePicture = 18;
inline constexpr int LineTool = 19;
inline constexpr int CircleTool = 20;
inline constexpr int FillTool = 21;
inline constexpr int Undo = 22;
inline constexpr int PenTool = 23;
inline constexpr int SavePictureAs = 24;
inline constexpr int ExportPicture = 25;
inline constexpr int ScrollLeft = 26;
inline constexpr int ScrollRight = 27;
inline constexpr int ScrollUp = 28;
inline constexpr int ScrollDown = 29;
// Not a button or menu item: the popup menu asked for from the keyboard.
inline constexpr int ShowPopupMenu = 100;
}  // namespace CommandId

inline constexpr int WindowNumber = 0;
inline constexpr int CanvasNumber = 0;
inline constexpr int ToolbarNumber = 0;
inline constexpr int PopupNumber = 1;
inline constexpr int FirstSwatchImage = 0;
inline constexpr int CanvasTop = 30;
using documents::CellHeight;
using documents::CellWidth;
using documents::ExportImage;
using documents::PageFileNumber;

inline constexpr const char* TitleText = "Vornel 0.2";

struct Recovery;

struct EditorState {
    std::unique_ptr<lores::PageStore> pageStore;
    int currentColour = 0;
    Tool currentTool = Tool::Pen;
    Cell pointerCell;
    Cell lineAnchor = NoAnchor;
    Cell circleAnchor = NoAnchor;
    int undoAvailable = 0;
    int fillTarget = 0;
    int circleRadius = 0;
    std::string titleText;
    std::string fileName;
    // Save asks before writing over fileName (it was not a page file).
    bool confirmFileName = false;
    // The picture differs from what was last opened, saved or newly started.
    bool pictureChanged = false;
    // What the page view last gave each of the 1920 boxes of the canvas
    // (highlight included), valid while the canvas's draw serial is still
    // the one of that redraw.
    std::array<std::uint8_t, lores::PageWidth * lores::PageHeight> shownColours{};
    std::uint64_t shownDrawSerial = 0;
    // Where the unsaved picture is kept while the program runs (none in a
    // test that does not ask for it).
    Recovery* recovery = nullptr;

    lores::LoresPage& workingPage() { return pageStore->workingPage; }
    lores::LoresPage& previewScratch() { return pageStore->previewScratch; }
    lores::LoresPage& undoCopy() { return pageStore->undoCopy; }
};

}  // namespace editor
