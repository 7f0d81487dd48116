// The editor's whole state, owned by the main routine for the life of the
// process and passed by reference to whatever needs it.
#pragma once

#include <chrono>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "documents/documents.h"
#include "lores/drawing.h"
#include "lores/lores_page.h"
#include "lores/palettes.h"

namespace editor {

// What typing into the text lines writes: normal, inverse or flashing text.
enum class TextStyle { Normal, Inverse, Flashing };

enum class Tool {
    Pen = 0, Line = 1, Circle = 2, Fill = 3, Rectangle = 4, FilledRectangle = 5, FilledCircle = 6, Text = 7, Select = 8,
    Ellipse, FilledEllipse, Spray, ReplaceColour, PatternFill
};

struct Cell {
    int x = 0;
    int y = 0;
    bool operator==(const Cell&) const = default;
};

inline bool OnPage(Cell c) { return c.x >= 0 && c.x < lores::PageWidth && c.y >= 0 && c.y < lores::PageHeight; }

inline constexpr Cell NoAnchor{-1, -1};

// What a pointer event is to a tool: the left button pressed, moved with it
// held, released, or moved with it up.
enum class PointerPhase { Press, Drag, Release, Hover };

// A rectangle of cells, both corners included.
struct CellRect {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
    bool empty() const { return x1 < x0 || y1 < y0; }
    bool contains(Cell c) const { return c.x >= x0 && c.x <= x1 && c.y >= y0 && c.y <= y1; }
    bool operator==(const CellRect&) const = default;
};

// The commands' numbers: the colours (0 to 15), the toolbar's buttons and the
// popup menu's items (16 to 29), and the keys' and the menu bar's commands
// (100 on).
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
// Not buttons or menu items: what keys ask for.
inline constexpr int ShowPopupMenu = 100;
inline constexpr int HistoryBack = 101;
inline constexpr int HistoryForward = 102;
inline constexpr int PickColour = 103;
inline constexpr int CellLeft = 104;
inline constexpr int CellRight = 105;
inline constexpr int CellUp = 106;
inline constexpr int CellDown = 107;
inline constexpr int PressOnCell = 108;
inline constexpr int PreviousColour = 109;
inline constexpr int NextColour = 110;
inline constexpr int ToggleGrid = 111;
inline constexpr int ToggleMixedView = 112;
inline constexpr int NextPalette = 113;
inline constexpr int ShowAbout = 114;
inline constexpr int MakeBootDisk = 115;
inline constexpr int RectangleTool = 116;
inline constexpr int FilledRectangleTool = 117;
inline constexpr int FilledCircleTool = 118;
inline constexpr int ZoomIn = 119;
inline constexpr int ZoomOut = 120;
inline constexpr int ZoomReset = 121;
inline constexpr int TextTool = 122;
inline constexpr int FlipLeftRight = 123;
inline constexpr int FlipTopBottom = 124;
inline constexpr int MirrorLeftRight = 125;
inline constexpr int MirrorTopBottom = 126;
inline constexpr int SelectTool = 127;
inline constexpr int SelectAll = 128;
inline constexpr int CopySelection = 129;
inline constexpr int CutSelection = 130;
inline constexpr int Paste = 131;
inline constexpr int DeleteSelection = 132;
inline constexpr int PutDownPaste = 133;
inline constexpr int Quit = 134;
inline constexpr int ClearTextLines = 135;
inline constexpr int ShowKeys = 136;
inline constexpr int ImportPicture = 137;
inline constexpr int FirstPalette = 140;  // to 143: one palette each
inline constexpr int FirstRecentFile = 150;  // to 159: the recent files, newest first
inline constexpr int ClearRecent = 160;
inline constexpr int NewFrame = 170;
inline constexpr int DeleteFrame = 171;
inline constexpr int FrameEarlier = 172;
inline constexpr int FrameLater = 173;
inline constexpr int PreviousFrame = 174;
inline constexpr int NextFrame = 175;
inline constexpr int FirstFrame = 176;
inline constexpr int LastFrame = 177;
inline constexpr int ToggleOnionSkin = 178;
inline constexpr int TogglePlayback = 179;
inline constexpr int PlayFaster = 180;
inline constexpr int PlaySlower = 181;
inline constexpr int ExportAnimation = 182;
inline constexpr int EllipseTool = 190;
inline constexpr int FilledEllipseTool = 191;
inline constexpr int SprayTool = 192;
inline constexpr int ReplaceColourTool = 193;
inline constexpr int PatternFillTool = 194;
inline constexpr int FirstBrushSize = 195;  // to 197: brushes of 1 to 3 cells
inline constexpr int FirstPixelAspect = 198;  // to 200: 2:1, 7:4, 8:5
}  // namespace CommandId

inline constexpr int WindowNumber = 0;
inline constexpr int CanvasNumber = 0;
inline constexpr int ToolbarNumber = 0;
inline constexpr int PopupNumber = 1;
inline constexpr int FirstSwatchImage = 0;
inline constexpr int CanvasTop = 30;
// The strip below the canvas, down to the bottom of the client area.
inline constexpr int StatusTop = CanvasTop + 384;
inline constexpr int StatusHeight = 440 - StatusTop;
inline constexpr int MaxZoom = 4;
using documents::CellHeight;
using documents::CellWidth;
using documents::ExportImage;
using documents::PageFileNumber;

inline constexpr const char* TitleText = "Vornel 0.2";

struct Recovery;

// One change of the picture: its frames from at on were before and became
// after (one page for an edit of a frame; more or fewer for a change to the
// list of frames), with the frame shown before and after it.
struct Step {
    std::size_t at = 0;
    std::vector<lores::LoresPage> before, after;
    std::size_t shownBefore = 0, shownAfter = 0;
};

// The changes the picture went through, to step back and forth in: the
// first at of them are done.
struct History {
    std::vector<Step> steps;
    std::size_t at = 0;
    std::uint64_t generation = 0;  // of the frames' list the steps know
    std::ptrdiff_t savedAt = 0;    // where the picture last opened or saved is, -1 if gone
};

// What the status line shows now, to redraw it only when something changes
// (the file's name is kept beside it, in EditorState).
struct StatusShown {
    bool valid = false;
    Cell cell;
    int colourUnder = -1;
    int currentColour = -1;
    int secondColour = -1;  // shown with the pattern fill, the tool that uses it
    Tool tool = Tool::Pen;
    bool changed = false;
    bool mixedView = false;
    int palette = 0;
    std::string recoveryFailure;  // why the copy kept for recovery is not kept
    bool mirror = false;
    CellRect selection;   // or the floating paste's
    bool floating = false;
    std::string notice;
    std::size_t frame = 0, frames = 1;
    bool onion = false;
    int playing = 0;  // the rate, while playing
    bool operator==(const StatusShown&) const = default;
};

// The selection tool's state: the rectangle marked, a drag marking one or
// carrying its cells, and a paste floating under the pointer.
struct Selecting {
    CellRect rect;                 // empty: nothing selected
    enum class Drag { None, Marking, Moving } drag = Drag::None;
    Cell anchor = NoAnchor;        // where the drag began
    Cell offset{};                 // how far a move has carried the cells
    lores::Block lifted;           // the cells a move carries
    bool floating = false;         // a paste follows the pointer
    lores::Block pasted;
    Cell pasteAt{};                // its top-left cell
    bool pressTaken = false;       // the press put the paste down: its drag draws nothing
    CellRect shownOutline;         // the outline the canvas shows now
    // What the page shown with a move or paste on it was made from.
    struct Composed {
        bool moving = false;
        Cell at{};
        bool mirrorLeftRight = false, mirrorTopBottom = false;
        int rows = 0;
        bool operator==(const Composed&) const = default;
    } composed;
    lores::LoresPage composedFrom{};
    // Where the move or paste shown last could differ from the page under
    // it, and that page.
    CellRect shownOverlay;
    lores::LoresPage shownUnder{};
    lores::LoresPage overlaid{};   // the page with a move or paste on it, as shown
};

// Typing into the text lines: the cursor's column and line (0 to 3), or
// none; the style typed; the blinking cursor shown now.
struct TextTyping {
    Cell cursor = NoAnchor;
    TextStyle style = TextStyle::Normal;
    bool cursorShown = false;
    std::chrono::steady_clock::time_point lastBlink{};
};

// What the canvas and the status line show now, so that a redraw draws
// only what changed.
struct Shown {
    // What the page view last gave each of the 1920 boxes of the canvas
    // (highlight included), valid while the canvas's draw serial is still
    // the one of that redraw.
    std::array<std::uint8_t, lores::PageWidth * lores::PageHeight> colours{};
    std::uint64_t drawSerial = 0;
    // The page and highlighted box of that redraw: when only the pointer
    // (or the current colour) changed since, only two boxes can differ.
    lores::LoresPage page{};
    int highlight = -1;
    std::array<std::uint8_t, 160> text{};  // the character codes the text lines show now
    StatusShown status;
    std::string statusFileName;  // the file name the status line was made for
    std::string statusNameText;  // and how it shows it
    // What the menu bar's items show: a toggle's or choice's state (bit 0)
    // and whether it can act (bit 1), in the order of the command table;
    // and the recent files its list shows.
    std::vector<std::uint8_t> menuStates;
    std::vector<std::string> menuRecentFiles{std::string()};  // none shown yet: differs from any list
};

struct EditorState {
    // The picture: its pages, its file, whether it changed, its history.
    std::unique_ptr<lores::PageStore> pageStore;
    std::string fileName;
    // Save asks before writing over fileName (it was not a page file).
    bool confirmFileName = false;
    // The picture differs from what was last opened, saved or newly started.
    bool pictureChanged = false;
    int undoAvailable = 0;
    History history;
    // The picture's frames (one, unless it has more): the shown one is the
    // working page.
    documents::Frames frames;
    // Frames: the previous one shown faintly under the shown one; playing.
    bool onionSkin = false;
    bool playing = false;
    int playbackRate = 10;  // frames a second, 1 to 60
    std::chrono::steady_clock::time_point nextFrameAt{};
    std::string lastFolder;  // of the file last opened, saved or exported
    std::vector<std::string> recentFiles;  // opened or saved, newest first
    // Where the unsaved picture is kept while the program runs (none in a
    // test that does not ask for it).
    Recovery* recovery = nullptr;

    // The tools: the current ones and each gesture's own state.
    int currentColour = 0;
    Tool currentTool = Tool::Pen;
    Cell pointerCell;
    Cell lineAnchor = NoAnchor;
    Cell circleAnchor = NoAnchor;
    Cell shapeAnchor = NoAnchor;  // the rectangles' first corner, the filled circle's centre
    int fillTarget = 0;
    int circleRadius = 0;
    bool penStroke = false;  // the left button is down with the pen: one step at its release
    // A shape's press still held (released elsewhere, it draws the shape;
    // on its own cell, the two-press way goes on); the pen's last cell of
    // the stroke held, joined to the next; the brush, 1 to 3 cells; the
    // colour current before the current one (the pattern fill's other).
    bool shapeDragging = false;
    Cell strokeLast = NoAnchor;
    int brushSize = 1;
    int secondColour = 0;
    // The spray while its button is held: its next burst, and its own
    // random numbers (a test sets where they start).
    bool spraying = false;
    std::chrono::steady_clock::time_point nextSprayAt{};
    std::uint32_t sprayRandom = 0x2545F491u;
    bool mirrorLeftRight = false;  // drawing also at column 39 - x
    bool mirrorTopBottom = false;  // and at row 47 - y
    TextTyping typing;
    Selecting select;
    // A word on the status line until the next command or press: why a
    // command did nothing, or what a long one did.
    std::string notice;

    // The view: how the page is shown, and what is shown now.
    std::string titleText;
    std::optional<Cell> titleCell;  // the cell the window title names now
    int zoom = 1;            // screen pixels a canvas pixel: 1 to 4
    // How wide a cell shows for its height: 16x8 screen pixels at 2:1,
    // 14x8 at 7:4, 16x10 at 8:5 (before the zoom).
    documents::PixelAspect aspect = documents::PixelAspect::TwoToOne;
    int statusTop = StatusTop;  // where the status line is: below the canvas or its view
    bool showGrid = false;
    // Rows 40 to 47 shown as the four text lines of the machine's mixed mode.
    bool mixedView = false;
    int palette = 0;  // index into lores::Palettes(); 0 is the default
    Shown shown;
    // A command asked for the program to end (the unsaved question still comes).
    bool endAsked = false;

    lores::LoresPage& workingPage() { return pageStore->workingPage; }
    const lores::LoresPage& workingPage() const { return pageStore->workingPage; }
    const lores::Palette& colours() const { return lores::Palettes()[static_cast<std::size_t>(palette)].colours; }
    lores::LoresPage& previewScratch() { return pageStore->previewScratch; }
    lores::LoresPage& undoCopy() { return pageStore->undoCopy; }
};

}  // namespace editor
