#include "editor/commands.h"

#include <algorithm>

#include "editor/editor_window.h"
#include "editor/frames.h"
#include "editor/document_commands.h"
#include "editor/event_loop.h"
#include "editor/history.h"
#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/picture_import.h"
#include "editor/recent_files.h"
#include "editor/selection.h"
#include "editor/tools.h"
#include "editor/tools/tool.h"
#include "editor/typing.h"
#include "editor/zoom.h"
#include "lores/drawing.h"
#include "lores/text_glyphs.h"

namespace editor {
namespace {

using windowing::MenuItemKind;
namespace Id = CommandId;

void Scroll(EditorState& state, lores::ScrollDirection direction) {
    EditPage(state, [&](lores::LoresPage& page, int rows) { lores::ScrollPage(page, direction, rows); }, Marks::Always);
    RedrawPage(state);
}

void Flip(EditorState& state, bool leftRight) {
    if (FlipSelection(state, leftRight)) return;
    EditPage(state, [&](lores::LoresPage& page, int rows) { lores::FlipPage(page, leftRight, rows); }, Marks::Always);
    RedrawAtPointerCell(state);
}

// The keyboard's popup opens where the pointer's cell is (kept on the page).
void ShowPopupAtPointerCell(EditorState& state) {
    const int x = std::clamp(state.pointerCell.x, 0, lores::PageWidth - 1);
    const int y = std::clamp(state.pointerCell.y, 0, lores::PageHeight - 1);
    const Cell at = CanvasPointOfCell({x, y});
    windowing::ShowPopupAt(PopupNumber, windowing::WindowHandle(WindowNumber), at.x, at.y);
}

void ToolbarUndo(EditorState& state) {
    if (state.undoAvailable != 1) return;
    state.undoAvailable = 0;
    lores::CopyPage(state.workingPage(), state.undoCopy());
    state.pictureChanged = true;
    RedrawPage(state);
}

// The four text lines become spaces, as the machine's screen is when
// cleared (a page starts as zero bytes: inverse "@" signs).
void ClearTextLines(EditorState& state) {
    if (!state.mixedView) {
        state.notice = "the text lines are shown in the mixed view (M)";
        return;
    }
    EditTextLines(state, [](lores::MixedText& text) { text.fill(lores::TextSpace); });
    RedrawPage(state);
}

void SetPalette(EditorState& state, int palette) {
    ChangeView(state, [&] {
        state.palette = palette % static_cast<int>(lores::Palettes().size());
        PaintSwatches(state);
    });
}

void Export(EditorState& state) {
    documents::Document doc = DocumentOf(state);
    documents::ExportPicture(doc, state.colours(), state.mixedView, state.aspect);
}

void BootDisk(EditorState& state) {
    documents::Document doc = DocumentOf(state);
    state.notice = documents::MakeBootDisk(doc, state.mixedView, state.playbackRate);
}

bool Framed(const EditorState& s) { return s.frames.pages.size() > 1; }

bool HasSelection(const EditorState& s) { return !s.select.rect.empty() && !s.select.floating; }

// The commands, menu by menu; the keys' list follows the same order.
const Command Table[] = {
    // File
    {.id = Id::NewPicture, .menu = Menu::File, .text = "&New", .keys = {"Ctrl+N"}, .help = "New picture",
     .run = [](EditorState& s) { NewPicture(s); }},
    {.id = Id::OpenPicture, .menu = Menu::File, .text = "&Open...", .keys = {"Ctrl+O"},
     .help = "Open a page, a picture in a disk image, or a PNG", .run = [](EditorState& s) { OpenPicture(s); }},
    {.id = Id::ImportPicture, .menu = Menu::File, .text = "&Import Picture...", .keys = {"Ctrl+Shift+O"},
     .help = "Import a picture of any size or kind (a photograph, converted as you choose)",
     .run = [](EditorState& s) { ImportPicture(s); }},
    {.id = Id::ClearRecent, .menu = Menu::File, .submenu = "Open &Recent", .text = "&Clear List",
     .help = nullptr, .run = [](EditorState& s) { ClearRecentFiles(s); },
     .enabled = [](const EditorState& s) { return !s.recentFiles.empty(); }, .separatorBefore = true},
    {.id = Id::SavePicture, .menu = Menu::File, .text = "&Save", .keys = {"Ctrl+S"}, .help = "Save",
     .run = [](EditorState& s) { SavePicture(s, false); }},
    {.id = Id::SavePictureAs, .menu = Menu::File, .text = "Save &As...", .keys = {"Ctrl+Shift+S"}, .help = "Save As",
     .run = [](EditorState& s) { SavePicture(s, true); }},
    {.id = Id::ExportPicture, .menu = Menu::File, .text = "&Export Picture...", .keys = {"Ctrl+E"},
     .help = "Export picture (640x384 PNG; with the text lines in the mixed view)", .run = Export,
     .separatorBefore = true},
    {.id = Id::ExportAnimation, .menu = Menu::File, .text = "Export A&nimation...", .keys = {"Ctrl+Shift+E"},
     .help = "Export the frames as an animated GIF (640x384, at the playback rate)",
     .run = [](EditorState& s) {
         documents::Document doc = DocumentOf(s);
         s.notice = documents::ExportAnimation(doc, s.colours(), s.mixedView, s.playbackRate, s.aspect);
     }},
    {.id = Id::MakeBootDisk, .menu = Menu::File, .text = "&Boot Disk...", .keys = {"Ctrl+B"},
     .help = "A disk that boots into the picture (.dsk)", .run = BootDisk},
    {.id = Id::Quit, .menu = Menu::File, .text = "&Quit", .keys = {"Ctrl+Q"}, .help = "Quit",
     .run = [](EditorState& s) { s.endAsked = true; }, .separatorBefore = true},

    // Edit
    {.id = Id::HistoryBack, .menu = Menu::Edit, .text = "&Undo", .keys = {"Ctrl+Z"}, .help = "Step back",
     .run = [](EditorState& s) { StepBack(s); }, .enabled = [](const EditorState& s) { return s.history.at > 0; }},
    {.id = Id::HistoryForward, .menu = Menu::Edit, .text = "&Redo", .keys = {"Ctrl+Shift+Z", "Ctrl+Y"},
     .help = "Step forward", .run = [](EditorState& s) { StepForward(s); },
     .enabled = [](const EditorState& s) { return s.history.at < s.history.steps.size(); }},
    {.id = Id::Undo, .menu = Menu::Edit, .text = "Undo Last &Drawing (toolbar)", .run = ToolbarUndo,
     .enabled = [](const EditorState& s) { return s.undoAvailable == 1; }},
    {.id = Id::CutSelection, .menu = Menu::Edit, .text = "Cu&t", .keys = {"Ctrl+X"},
     .help = "Copy, cut, paste (also with other programs)", .run = [](EditorState& s) { CopySelection(s, true); },
     .enabled = HasSelection, .separatorBefore = true},
    {.id = Id::CopySelection, .menu = Menu::Edit, .text = "&Copy", .keys = {"Ctrl+C"},
     .help = "Copy, cut, paste (also with other programs)", .run = [](EditorState& s) { CopySelection(s, false); },
     .enabled = HasSelection},
    {.id = Id::Paste, .menu = Menu::Edit, .text = "&Paste", .keys = {"Ctrl+V"},
     .help = "Copy, cut, paste (also with other programs)", .run = [](EditorState& s) {
         Paste(s);
         const Selecting& p = s.select;
         if (p.floating) ShowCells(s, {p.pasteAt.x, p.pasteAt.y, p.pasteAt.x + p.pasted.width - 1,
                                       p.pasteAt.y + p.pasted.height - 1});
     }},
    {.id = Id::PutDownPaste, .keys = {"Return", "Enter"}, .help = "Put the paste down (or a left press)",
     .run = PutDownPaste},
    {.id = Id::DeleteSelection, .menu = Menu::Edit, .text = "De&lete", .keys = {"Delete"},
     .help = "Make the selected cells black", .run = DeleteSelection, .enabled = HasSelection},
    {.id = Id::SelectAll, .menu = Menu::Edit, .text = "Select &All", .keys = {"Ctrl+A"},
     .help = "Select the whole picture", .run = [](EditorState& s) {
         ChooseTool(s, tools::Select(), Id::SelectAll);
         SelectAll(s);
     }},
    {.id = Id::FlipLeftRight, .menu = Menu::Edit, .text = "&Flip Left-Right", .keys = {"H"},
     .help = "Flip the selection (or the picture) left-right; Shift+H top-bottom",
     .run = [](EditorState& s) { Flip(s, true); }, .separatorBefore = true},
    {.id = Id::FlipTopBottom, .menu = Menu::Edit, .text = "Flip Top-&Bottom", .keys = {"Shift+H"},
     .help = "Flip the selection (or the picture) left-right; Shift+H top-bottom",
     .run = [](EditorState& s) { Flip(s, false); }},
    {.id = Id::ScrollLeft, .menu = Menu::Edit, .submenu = "&Scroll", .text = "Scroll &Left", .keys = {"Ctrl+Left"},
     .help = "Scroll the picture one pixel", .run = [](EditorState& s) { Scroll(s, lores::ScrollDirection::Left); }},
    {.id = Id::ScrollRight, .menu = Menu::Edit, .submenu = "&Scroll", .text = "Scroll &Right", .keys = {"Ctrl+Right"},
     .help = "Scroll the picture one pixel", .run = [](EditorState& s) { Scroll(s, lores::ScrollDirection::Right); }},
    {.id = Id::ScrollUp, .menu = Menu::Edit, .submenu = "&Scroll", .text = "Scroll &Up", .keys = {"Ctrl+Up"},
     .help = "Scroll the picture one pixel", .run = [](EditorState& s) { Scroll(s, lores::ScrollDirection::Up); }},
    {.id = Id::ScrollDown, .menu = Menu::Edit, .submenu = "&Scroll", .text = "Scroll &Down", .keys = {"Ctrl+Down"},
     .help = "Scroll the picture one pixel", .run = [](EditorState& s) { Scroll(s, lores::ScrollDirection::Down); }},
    {.id = Id::ClearTextLines, .menu = Menu::Edit, .text = "Clear Te&xt Lines", .keys = {"Ctrl+Delete"},
     .help = "Clear the four text lines to spaces (mixed view)", .run = ClearTextLines,
     .enabled = [](const EditorState& s) { return s.mixedView; }},

    // View
    {.id = Id::ZoomIn, .menu = Menu::View, .text = "Zoom &In", .keys = {"Ctrl++", "Ctrl+="},
     .help = "Zoom in, out, back to 1x (2x to 4x; Ctrl+wheel about the pointer)",
     .run = [](EditorState& s) { ApplyZoom(s, s.zoom + 1, true); },
     .enabled = [](const EditorState& s) { return s.zoom < MaxZoom; }},
    {.id = Id::ZoomOut, .menu = Menu::View, .text = "Zoom &Out", .keys = {"Ctrl+-"},
     .help = "Zoom in, out, back to 1x (2x to 4x; Ctrl+wheel about the pointer)",
     .run = [](EditorState& s) { ApplyZoom(s, s.zoom - 1, true); },
     .enabled = [](const EditorState& s) { return s.zoom > 1; }},
    {.id = Id::ZoomReset, .menu = Menu::View, .text = "&Actual Size", .keys = {"Ctrl+0"},
     .help = "Zoom in, out, back to 1x (2x to 4x; Ctrl+wheel about the pointer)",
     .run = [](EditorState& s) { ApplyZoom(s, 1, true); }},
    {.id = Id::ToggleGrid, .menu = Menu::View, .text = "&Grid", .keys = {"G"}, .kind = MenuItemKind::Toggle,
     .help = "Grid on or off", .run = [](EditorState& s) { ChangeView(s, [&] { s.showGrid = !s.showGrid; }); },
     .on = [](const EditorState& s) { return s.showGrid; }, .separatorBefore = true},
    {.id = Id::ToggleMixedView, .menu = Menu::View, .text = "&Mixed View", .keys = {"M"},
     .kind = MenuItemKind::Toggle, .help = "Mixed view (the four text lines) on or off",
     .run = [](EditorState& s) { ChangeView(s, [&] { SetMixedView(s, !s.mixedView); }); },
     .on = [](const EditorState& s) { return s.mixedView; }},
    {.id = Id::FirstPalette, .menu = Menu::View, .submenu = "&Palette", .kind = MenuItemKind::Choice,
     .run = [](EditorState& s) { SetPalette(s, 0); }, .on = [](const EditorState& s) { return s.palette == 0; }},
    {.id = Id::FirstPalette + 1, .menu = Menu::View, .submenu = "&Palette", .kind = MenuItemKind::Choice,
     .run = [](EditorState& s) { SetPalette(s, 1); }, .on = [](const EditorState& s) { return s.palette == 1; }},
    {.id = Id::FirstPalette + 2, .menu = Menu::View, .submenu = "&Palette", .kind = MenuItemKind::Choice,
     .run = [](EditorState& s) { SetPalette(s, 2); }, .on = [](const EditorState& s) { return s.palette == 2; }},
    {.id = Id::FirstPalette + 3, .menu = Menu::View, .submenu = "&Palette", .kind = MenuItemKind::Choice,
     .run = [](EditorState& s) { SetPalette(s, 3); }, .on = [](const EditorState& s) { return s.palette == 3; }},
    {.id = Id::NextPalette, .menu = Menu::View, .submenu = "&Palette", .text = "&Next Palette", .keys = {"V"},
     .help = "Next palette", .run = [](EditorState& s) { SetPalette(s, s.palette + 1); }, .separatorBefore = true},
    {.id = Id::FirstPixelAspect, .menu = Menu::View, .submenu = "Pixel &Aspect", .text = "&2:1 (the cells as drawn, 16x8)",
     .kind = MenuItemKind::Choice, .run = [](EditorState& s) { ApplyAspect(s, documents::PixelAspect::TwoToOne, true); },
     .on = [](const EditorState& s) { return s.aspect == documents::PixelAspect::TwoToOne; }},
    {.id = Id::FirstPixelAspect + 1, .menu = Menu::View, .submenu = "Pixel &Aspect",
     .text = "&7:4 (an emulator's 560x384)", .kind = MenuItemKind::Choice,
     .run = [](EditorState& s) { ApplyAspect(s, documents::PixelAspect::SevenToFour, true); },
     .on = [](const EditorState& s) { return s.aspect == documents::PixelAspect::SevenToFour; }},
    {.id = Id::FirstPixelAspect + 2, .menu = Menu::View, .submenu = "Pixel &Aspect",
     .text = "&8:5 (a 4:3 monitor, 640x480)", .kind = MenuItemKind::Choice,
     .run = [](EditorState& s) { ApplyAspect(s, documents::PixelAspect::EightToFive, true); },
     .on = [](const EditorState& s) { return s.aspect == documents::PixelAspect::EightToFive; }},

    // Frame
    {.id = Id::NewFrame, .menu = Menu::Frame, .text = "&New Frame", .keys = {"Alt+N"},
     .help = "New frame (a copy of this one, after it)", .run = NewFrame,
     .enabled = [](const EditorState& s) { return s.frames.pages.size() < documents::MaxFrames; }},
    {.id = Id::DeleteFrame, .menu = Menu::Frame, .text = "&Delete Frame", .keys = {"Alt+Delete"},
     .help = "Delete this frame", .run = DeleteFrame, .enabled = Framed},
    {.id = Id::FrameEarlier, .menu = Menu::Frame, .text = "Move &Earlier", .keys = {"Alt+PgUp"},
     .help = "Move this frame earlier, later", .run = [](EditorState& s) { MoveFrame(s, -1); },
     .enabled = [](const EditorState& s) { return s.frames.shown > 0; }},
    {.id = Id::FrameLater, .menu = Menu::Frame, .text = "Move &Later", .keys = {"Alt+PgDown"},
     .help = "Move this frame earlier, later", .run = [](EditorState& s) { MoveFrame(s, 1); },
     .enabled = [](const EditorState& s) { return s.frames.shown + 1 < s.frames.pages.size(); }},
    {.id = Id::PreviousFrame, .menu = Menu::Frame, .text = "&Previous Frame", .keys = {"PgUp"},
     .help = "Previous, next frame", .run = [](EditorState& s) { GoToFrame(s, static_cast<long>(s.frames.shown) - 1); },
     .enabled = [](const EditorState& s) { return s.frames.shown > 0; }, .separatorBefore = true},
    {.id = Id::NextFrame, .menu = Menu::Frame, .text = "Ne&xt Frame", .keys = {"PgDown"},
     .help = "Previous, next frame", .run = [](EditorState& s) { GoToFrame(s, static_cast<long>(s.frames.shown) + 1); },
     .enabled = [](const EditorState& s) { return s.frames.shown + 1 < s.frames.pages.size(); }},
    {.id = Id::FirstFrame, .menu = Menu::Frame, .text = "&First Frame", .keys = {"Home"},
     .help = "First, last frame", .run = [](EditorState& s) { GoToFrame(s, 0); }, .enabled = Framed},
    {.id = Id::LastFrame, .menu = Menu::Frame, .text = "L&ast Frame", .keys = {"End"},
     .help = "First, last frame", .run = [](EditorState& s) { GoToFrame(s, documents::MaxFrames); }, .enabled = Framed},
    {.id = Id::ToggleOnionSkin, .menu = Menu::Frame, .text = "&Onion Skin", .keys = {"F3"},
     .kind = MenuItemKind::Toggle, .help = "Onion skin: the previous frame faintly under this one",
     .run = [](EditorState& s) { ChangeView(s, [&] { s.onionSkin = !s.onionSkin; }); },
     .on = [](const EditorState& s) { return s.onionSkin; }, .separatorBefore = true},
    {.id = Id::TogglePlayback, .menu = Menu::Frame, .text = "P&lay", .keys = {"F5"}, .kind = MenuItemKind::Toggle,
     .help = "Play the frames in a loop, stop (any key or press stops)", .run = TogglePlayback,
     .enabled = Framed, .on = [](const EditorState& s) { return s.playing; }},
    {.id = Id::PlaySlower, .menu = Menu::Frame, .text = "&Slower", .keys = {"F6"},
     .help = "Play slower, faster (1 to 60 frames a second)", .run = [](EditorState& s) { ChangeRate(s, -1); },
     .enabled = [](const EditorState& s) { return s.playbackRate > 1; }},
    {.id = Id::PlayFaster, .menu = Menu::Frame, .text = "Fas&ter", .keys = {"F7"},
     .help = "Play slower, faster (1 to 60 frames a second)", .run = [](EditorState& s) { ChangeRate(s, 1); },
     .enabled = [](const EditorState& s) { return s.playbackRate < 60; }},

    // Tools
    {.id = Id::PenTool, .menu = Menu::Tools, .text = "&Pen", .keys = {"P"}, .kind = MenuItemKind::Choice,
     .help = "Pen, line, circle, fill", .tool = tools::Pen, .statusName = "pen"},
    {.id = Id::LineTool, .menu = Menu::Tools, .text = "&Line", .keys = {"L"}, .kind = MenuItemKind::Choice,
     .help = "Pen, line, circle, fill", .tool = tools::Line, .statusName = "line"},
    {.id = Id::CircleTool, .menu = Menu::Tools, .text = "&Circle", .keys = {"C"}, .kind = MenuItemKind::Choice,
     .help = "Pen, line, circle, fill", .tool = tools::Circle, .statusName = "circle"},
    {.id = Id::FillTool, .menu = Menu::Tools, .text = "&Fill", .keys = {"F"}, .kind = MenuItemKind::Choice,
     .help = "Pen, line, circle, fill", .tool = tools::Fill, .statusName = "fill"},
    {.id = Id::RectangleTool, .menu = Menu::Tools, .text = "&Rectangle", .keys = {"R"}, .kind = MenuItemKind::Choice,
     .help = "Rectangle; Shift+R filled; Shift+C filled circle", .tool = tools::Rectangle, .statusName = "rectangle"},
    {.id = Id::FilledRectangleTool, .menu = Menu::Tools, .text = "Filled R&ectangle", .keys = {"Shift+R"},
     .kind = MenuItemKind::Choice, .help = "Rectangle; Shift+R filled; Shift+C filled circle",
     .tool = tools::FilledRectangle, .statusName = "filled rectangle"},
    {.id = Id::FilledCircleTool, .menu = Menu::Tools, .text = "Filled Ci&rcle", .keys = {"Shift+C"},
     .kind = MenuItemKind::Choice, .help = "Rectangle; Shift+R filled; Shift+C filled circle",
     .tool = tools::FilledCircle, .statusName = "filled circle"},
    {.id = Id::EllipseTool, .menu = Menu::Tools, .text = "Ellipse", .keys = {"E"}, .kind = MenuItemKind::Choice,
     .help = "Ellipse; Shift+E filled (dragged by its box, or two presses)", .tool = tools::Ellipse,
     .statusName = "ellipse"},
    {.id = Id::FilledEllipseTool, .menu = Menu::Tools, .text = "Filled Ellipse", .keys = {"Shift+E"},
     .kind = MenuItemKind::Choice, .help = "Ellipse; Shift+E filled (dragged by its box, or two presses)",
     .tool = tools::FilledEllipse, .statusName = "filled ellipse"},
    {.id = Id::SprayTool, .menu = Menu::Tools, .text = "Spray", .keys = {"Y"}, .kind = MenuItemKind::Choice,
     .help = "Spray (cells at random near the pointer while the button is held)", .tool = tools::Spray,
     .statusName = "spray"},
    {.id = Id::ReplaceColourTool, .menu = Menu::Tools, .text = "Replace Colour", .keys = {"W"},
     .kind = MenuItemKind::Choice, .help = "Replace Colour: every cell of the colour pressed, in the selection or the picture",
     .tool = tools::ReplaceColour, .statusName = "replace colour"},
    {.id = Id::PatternFillTool, .menu = Menu::Tools, .text = "Pattern Fill", .keys = {"Shift+F"},
     .kind = MenuItemKind::Choice, .help = "Pattern Fill: a checkerboard of the current colour and the one before it",
     .tool = tools::PatternFill, .statusName = "pattern fill"},
    {.id = Id::FirstBrushSize, .menu = Menu::Tools, .submenu = "&Brush Size", .text = "&1 Cell", .keys = {"1"},
     .kind = MenuItemKind::Choice, .help = "Brush of 1, 2 or 3 cells (the pen, the spray, the outlines)",
     .run = [](EditorState& s) { SetBrushSize(s, 1); }, .on = [](const EditorState& s) { return s.brushSize == 1; }},
    {.id = Id::FirstBrushSize + 1, .menu = Menu::Tools, .submenu = "&Brush Size", .text = "&2 Cells", .keys = {"2"},
     .kind = MenuItemKind::Choice, .help = "Brush of 1, 2 or 3 cells (the pen, the spray, the outlines)",
     .run = [](EditorState& s) { SetBrushSize(s, 2); }, .on = [](const EditorState& s) { return s.brushSize == 2; }},
    {.id = Id::FirstBrushSize + 2, .menu = Menu::Tools, .submenu = "&Brush Size", .text = "&3 Cells", .keys = {"3"},
     .kind = MenuItemKind::Choice, .help = "Brush of 1, 2 or 3 cells (the pen, the spray, the outlines)",
     .run = [](EditorState& s) { SetBrushSize(s, 3); }, .on = [](const EditorState& s) { return s.brushSize == 3; }},
    {.id = Id::TextTool, .menu = Menu::Tools, .text = "&Text", .keys = {"T"}, .kind = MenuItemKind::Choice,
     .help = "Type into the text lines (mixed view); Ctrl+I inverse, Ctrl+F flashing", .tool = tools::Text,
     .statusName = "text"},
    {.id = Id::SelectTool, .menu = Menu::Tools, .text = "&Select", .keys = {"S"}, .kind = MenuItemKind::Choice,
     .help = "Select cells (drag; a drag inside moves them); Escape drops the selection", .tool = tools::Select,
     .statusName = "select"},
    {.id = Id::PickColour, .menu = Menu::Tools, .text = "Pic&k Colour", .keys = {"K"},
     .help = "Pick the colour under the pointer", .run = [](EditorState& s) { PickColourAt(s, s.pointerCell); },
     .separatorBefore = true},
    {.id = Id::PreviousColour, .menu = Menu::Tools, .text = "Pre&vious Colour", .keys = {"["},
     .help = "Previous, next colour",
     .run = [](EditorState& s) { CarryOutCommand(s, (s.currentColour + 15) % lores::ColourCount); }},
    {.id = Id::NextColour, .menu = Menu::Tools, .text = "Ne&xt Colour", .keys = {"]"}, .help = "Previous, next colour",
     .run = [](EditorState& s) { CarryOutCommand(s, (s.currentColour + 1) % lores::ColourCount); }},
    {.id = Id::MirrorLeftRight, .menu = Menu::Tools, .text = "&Mirror Left-Right", .keys = {"X"},
     .kind = MenuItemKind::Toggle, .help = "Mirror drawing left-right on or off; Shift+X top-bottom",
     .run = [](EditorState& s) { s.mirrorLeftRight = !s.mirrorLeftRight; },
     .on = [](const EditorState& s) { return s.mirrorLeftRight; }, .separatorBefore = true},
    {.id = Id::MirrorTopBottom, .menu = Menu::Tools, .text = "Mirror T&op-Bottom", .keys = {"Shift+X"},
     .kind = MenuItemKind::Toggle, .help = "Mirror drawing left-right on or off; Shift+X top-bottom",
     .run = [](EditorState& s) { s.mirrorTopBottom = !s.mirrorTopBottom; },
     .on = [](const EditorState& s) { return s.mirrorTopBottom; }},

    // Keys of their own
    {.id = Id::CellLeft, .keys = {"Left"}, .help = "Move the highlighted cell (or the selection)",
     .run = [](EditorState& s) { KeyPointer(s, -1, 0, false); }},
    {.id = Id::CellRight, .keys = {"Right"}, .help = "Move the highlighted cell (or the selection)",
     .run = [](EditorState& s) { KeyPointer(s, 1, 0, false); }},
    {.id = Id::CellUp, .keys = {"Up"}, .help = "Move the highlighted cell (or the selection)",
     .run = [](EditorState& s) { KeyPointer(s, 0, -1, false); }},
    {.id = Id::CellDown, .keys = {"Down"}, .help = "Move the highlighted cell (or the selection)",
     .run = [](EditorState& s) { KeyPointer(s, 0, 1, false); }},
    {.id = Id::PressOnCell, .keys = {"Space"}, .help = "Press on the highlighted cell",
     .run = [](EditorState& s) { KeyPointer(s, 0, 0, true); }},
    {.id = Id::ShowPopupMenu, .keys = {"Shift+F10", "Menu"}, .help = "Popup menu at the pointer's cell",
     .run = ShowPopupAtPointerCell},

    // Help
    {.id = Id::ShowKeys, .menu = Menu::Help, .text = "&Keys", .keys = {"F1"}, .help = "This list",
     .run = [](EditorState&) { ShowKeysBox(); }},
    {.id = Id::ShowAbout, .menu = Menu::Help, .text = "&About Vornel",
     .run = [](EditorState&) { ShowAboutBox(); }},
};

}  // namespace

std::span<const Command> Commands() { return Table; }

const Command* FindCommand(int id) {
    for (const Command& c : Table)
        if (c.id == id) return &c;
    return nullptr;
}

const char* ToolName(Tool tool) {
    for (const Command& c : Table)
        if (c.tool && tools::KindOf(c.tool(), c.id) == tool) return c.statusName;
    return "";
}

void ChooseTool(EditorState& state, const tools::PaintTool& tool, int id) {
    EndTyping(state);
    // Another tool keeps the selection's pixels and drops its outline.
    if (tools::KindOf(tool, id) != state.currentTool) DropSelection(state);
    state.currentTool = tools::KindOf(tool, id);
    tool.Chosen(state);
    SelectToolButton(id);
}

void KeyPointer(EditorState& state, int dx, int dy, bool press) {
    if (!press && state.currentTool == Tool::Select && MoveSelectionBy(state, dx, dy)) return;
    const Cell c{std::clamp(state.pointerCell.x + dx, 0, lores::PageWidth - 1),
                 std::clamp(state.pointerCell.y + dy, 0, lores::PageHeight - 1)};
    PointerAt(state, c, press, press);
    // A key's press is its release too.
    if (press) ToolReleased(state, c);
    state.select.pressTaken = false;
    FollowPointerCell(state);
}

void PickColourAt(EditorState& state, Cell c) {
    if (OnPage(c) && !OnTextLines(state, c)) CarryOutCommand(state, lores::PixelAt(state.workingPage(), c.x, c.y));
}

}  // namespace editor
