#include "editor/editor_window.h"

#include <cstdio>
#include <string>

#include "assets/embedded.h"
#include "editor/event_loop.h"
#include "editor/history.h"
#include "editor/status_line.h"
#include "editor/zoom.h"
#include "editor/page_view.h"
#include "documents/documents.h"
#include "editor/recovery.h"
#include "lores/palettes.h"
#include "lores/startup_picture.h"
#include "runtime/file_objects.h"
#include "runtime/images.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

using namespace windowing;

constexpr std::uint32_t EditorWindowFlags = 0xCA0001;  // centred, caption, system menu, minimise box

// The toolbar, left to right.
struct ToolbarEntry {
    enum Kind { Standard, Separator, Swatches, ToolIcon } kind;
    int id = 0;
    int image = 0;  // standard image, or the image number an icon is loaded into
    bool toggle = false;
    const char* tip = nullptr;
    const std::uint8_t* icon = nullptr;
    const std::size_t* iconSize = nullptr;
};

const ToolbarEntry Toolbar[] = {
    {ToolbarEntry::Standard, CommandId::NewPicture, StandardFileNew, false, "New document"},
    {ToolbarEntry::Standard, CommandId::OpenPicture, StandardFileOpen, false, "Open document"},
    {ToolbarEntry::Standard, CommandId::SavePicture, StandardFileSave, false, "Save document"},
    {ToolbarEntry::Separator},
    {ToolbarEntry::Swatches},
    {ToolbarEntry::Separator},
    {ToolbarEntry::ToolIcon, CommandId::LineTool, 16, true, "line draw", assets::IconLineBmp, &assets::IconLineBmpSize},
    {ToolbarEntry::ToolIcon, CommandId::CircleTool, 17, true, "circle", assets::IconCircleBmp, &assets::IconCircleBmpSize},
    {ToolbarEntry::ToolIcon, CommandId::FillTool, 18, true, "color fill", assets::IconFillBmp, &assets::IconFillBmpSize},
    {ToolbarEntry::ToolIcon, CommandId::PenTool, 20, true, "pen", assets::IconPenBmp, &assets::IconPenBmpSize},
    {ToolbarEntry::ToolIcon, CommandId::Undo, 19, false, "undo", assets::IconUndoBmp, &assets::IconUndoBmpSize},
};

// The popup menu, top to bottom.
struct MenuEntry {
    enum Kind { Submenu, EndSubmenu, ColourItems, Separator, Item } kind;
    int id = 0;
    const char* caption = nullptr;
};

const MenuEntry Popup[] = {
    {MenuEntry::Submenu, 0, "Color"},
    {MenuEntry::ColourItems},
    {MenuEntry::EndSubmenu},
    {MenuEntry::Separator},
    {MenuEntry::Item, CommandId::SavePictureAs, "Save As.."},
    {MenuEntry::Item, CommandId::ExportPicture, "Export picture..."},
    {MenuEntry::Separator},
    {MenuEntry::Item, CommandId::LineTool, "Draw"},
    {MenuEntry::Item, CommandId::CircleTool, "circle"},
    {MenuEntry::Item, CommandId::FillTool, "color fill"},
    {MenuEntry::Item, CommandId::PenTool, "pen"},
    {MenuEntry::Submenu, 0, "Scroll"},
    {MenuEntry::Item, CommandId::ScrollLeft, "scroll left"},
    {MenuEntry::Item, CommandId::ScrollRight, "scroll right"},
    {MenuEntry::Item, CommandId::ScrollUp, "scroll up"},
    {MenuEntry::Item, CommandId::ScrollDown, "scroll down"},
    {MenuEntry::EndSubmenu},
};

// Keys on the main window, each doing what its button or menu item does,
// with what the About box says of them.
struct ShortcutEntry {
    const char* keys;
    int id;
    const char* does;
};

const ShortcutEntry Shortcuts[] = {
    {"Ctrl+N", CommandId::NewPicture, "New picture"},
    {"Ctrl+O", CommandId::OpenPicture, "Open a page, a picture in a disk image, or a PNG"},
    {"Ctrl+S", CommandId::SavePicture, "Save"},
    {"Ctrl+Shift+S", CommandId::SavePictureAs, "Save As"},
    {"Ctrl+E", CommandId::ExportPicture, "Export picture (640x384 PNG)"},
    {"Ctrl+B", CommandId::MakeBootDisk, "A disk that boots into the picture (.dsk)"},
    {"Ctrl+Z", CommandId::HistoryBack, "Step back"},
    {"Ctrl+Shift+Z", CommandId::HistoryForward, "Step forward"},
    {"Ctrl+Y", CommandId::HistoryForward, "Step forward"},
    {"P", CommandId::PenTool, "Pen, line, circle, fill"},
    {"L", CommandId::LineTool, "Pen, line, circle, fill"},
    {"C", CommandId::CircleTool, "Pen, line, circle, fill"},
    {"F", CommandId::FillTool, "Pen, line, circle, fill"},
    {"R", CommandId::RectangleTool, "Rectangle; Shift+R filled; Shift+C filled circle"},
    {"Shift+R", CommandId::FilledRectangleTool, "Rectangle; Shift+R filled; Shift+C filled circle"},
    {"Shift+C", CommandId::FilledCircleTool, "Rectangle; Shift+R filled; Shift+C filled circle"},
    {"H", CommandId::FlipLeftRight, "Flip the selection (or the picture) left-right; Shift+H top-bottom"},
    {"Shift+H", CommandId::FlipTopBottom, "Flip the selection (or the picture) left-right; Shift+H top-bottom"},
    {"X", CommandId::MirrorLeftRight, "Mirror drawing left-right on or off; Shift+X top-bottom"},
    {"Shift+X", CommandId::MirrorTopBottom, "Mirror drawing left-right on or off; Shift+X top-bottom"},
    {"T", CommandId::TextTool, "Type into the text lines (mixed view); Ctrl+I inverse, Ctrl+F flashing"},
    {"S", CommandId::SelectTool, "Select cells (drag; a drag inside moves them); Escape drops the selection"},
    {"Ctrl+A", CommandId::SelectAll, "Select the whole picture"},
    {"Ctrl+C", CommandId::CopySelection, "Copy, cut, paste (also with other programs)"},
    {"Ctrl+X", CommandId::CutSelection, "Copy, cut, paste (also with other programs)"},
    {"Ctrl+V", CommandId::Paste, "Copy, cut, paste (also with other programs)"},
    {"Delete", CommandId::DeleteSelection, "Make the selected cells black"},
    {"Return", CommandId::PutDownPaste, "Put the paste down (or a left press)"},
    {"Enter", CommandId::PutDownPaste, "Put the paste down (or a left press)"},
    {"K", CommandId::PickColour, "Pick the colour under the pointer"},
    {"[", CommandId::PreviousColour, "Previous, next colour"},
    {"]", CommandId::NextColour, "Previous, next colour"},
    {"Left", CommandId::CellLeft, "Move the highlighted cell (or the selection)"},
    {"Right", CommandId::CellRight, "Move the highlighted cell (or the selection)"},
    {"Up", CommandId::CellUp, "Move the highlighted cell (or the selection)"},
    {"Down", CommandId::CellDown, "Move the highlighted cell (or the selection)"},
    {"Space", CommandId::PressOnCell, "Press on the highlighted cell"},
    {"Ctrl+Left", CommandId::ScrollLeft, "Scroll the picture one pixel"},
    {"Ctrl+Right", CommandId::ScrollRight, "Scroll the picture one pixel"},
    {"Ctrl+Up", CommandId::ScrollUp, "Scroll the picture one pixel"},
    {"Ctrl+Down", CommandId::ScrollDown, "Scroll the picture one pixel"},
    {"G", CommandId::ToggleGrid, "Grid on or off"},
    {"Ctrl++", CommandId::ZoomIn, "Zoom in, out, back to 1x (2x to 4x)"},
    {"Ctrl+=", CommandId::ZoomIn, "Zoom in, out, back to 1x (2x to 4x)"},
    {"Ctrl+-", CommandId::ZoomOut, "Zoom in, out, back to 1x (2x to 4x)"},
    {"Ctrl+0", CommandId::ZoomReset, "Zoom in, out, back to 1x (2x to 4x)"},
    {"M", CommandId::ToggleMixedView, "Mixed view (the four text lines) on or off"},
    {"V", CommandId::NextPalette, "Next palette"},
    {"Shift+F10", CommandId::ShowPopupMenu, "Popup menu at the pointer's cell"},
    {"Menu", CommandId::ShowPopupMenu, "Popup menu at the pointer's cell"},
    {"F1", CommandId::ShowAbout, "This box"},
};

void MakeSwatches(const lores::Palette& palette) {
    for (int n = 0; n < lores::ColourCount; ++n) {
        runtime::CreateImageObject(FirstSwatchImage + n, 16, 16);
        runtime::BeginDrawing(runtime::ImageDrawTarget(FirstSwatchImage + n));
        runtime::FillBox(0, 0, 16, 16, palette[n]);
        runtime::EndDrawing();
    }
}

void BuildToolbar() {
    if (!CreateToolbarObject(ToolbarNumber, WindowHandle(WindowNumber))) return;
    for (const ToolbarEntry& e : Toolbar) {
        switch (e.kind) {
        case ToolbarEntry::Standard: AddStandardButton(e.id, e.image); break;
        case ToolbarEntry::Separator: AddToolbarSeparator(); break;
        case ToolbarEntry::Swatches:
            for (int n = 0; n < lores::ColourCount; ++n) AddImageButton(n, runtime::ImageHandle(FirstSwatchImage + n), 0);
            break;
        case ToolbarEntry::ToolIcon:
            runtime::LoadImageFromMemory(e.image, e.icon, *e.iconSize);
            AddImageButton(e.id, runtime::ImageHandle(e.image), e.toggle ? 1 : 0);
            break;
        }
    }
}

// The buttons' tips, and their names for a screen reader: nothing the first
// frame shows, and the first name given wakes the accessibility bridge,
// which costs more than the whole toolbar (made after that frame).
void NameToolbarButtons() {
    for (const ToolbarEntry& e : Toolbar) {
        if (e.kind == ToolbarEntry::Standard || e.kind == ToolbarEntry::ToolIcon) SetButtonTip(ToolbarNumber, e.id, e.tip);
        if (e.kind != ToolbarEntry::Swatches) continue;
        for (int n = 0; n < lores::ColourCount; ++n) {
            SetButtonTip(ToolbarNumber, n, ("color # : " + std::to_string(n)).c_str());
            const std::string name = "colour " + std::to_string(n) + ", " + lores::ColourNames[n];
            SetButtonName(ToolbarNumber, n, name.c_str());
        }
    }
}

void BuildPopup() {
    if (!CreatePopup(PopupNumber)) return;
    for (const MenuEntry& e : Popup) {
        switch (e.kind) {
        case MenuEntry::Submenu: OpenSubmenu(e.caption); break;
        case MenuEntry::EndSubmenu: CloseSubmenu(); break;
        case MenuEntry::Separator: AddMenuSeparator(); break;
        case MenuEntry::Item: AddMenuItem(e.id, e.caption); break;
        case MenuEntry::ColourItems:
            for (int n = 0; n < lores::ColourCount; ++n) AddMenuItem(n, ("color #" + std::to_string(n)).c_str());
            break;
        }
    }
}

void SetIcon() {
    const std::uint8_t* images[] = {assets::ProgramIcon16Bmp, assets::ProgramIcon32Bmp, assets::ProgramIcon96Bmp};
    const std::size_t sizes[] = {assets::ProgramIcon16BmpSize, assets::ProgramIcon32BmpSize,
                                 assets::ProgramIcon96BmpSize};
    SetProgramIcon(images, sizes, 3);
}

}  // namespace

void PaintSwatches(const EditorState& state) {
    MakeSwatches(state.colours());
    for (int n = 0; n < lores::ColourCount; ++n)
        SetButtonImage(ToolbarNumber, n, runtime::ImageHandle(FirstSwatchImage + n));
}

void ShowAboutBox() {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"Left button", "Draw with the tool"}, {"Middle button", "Pick the colour under the pointer"},
        {"Right button", "Popup menu"},        {"Escape", "Quit"}};
    // Keys that do the same share a row: "Left, Right, Up, Down".
    for (const ShortcutEntry& k : Shortcuts) {
        if (!keys.empty() && keys.back().second == k.does) keys.back().first += std::string(" ") + k.keys;
        else keys.emplace_back(k.keys, k.does);
    }
    windowing::ShowAbout(TitleText,
                         "Vornel 0.2\nA paint program for Apple II low-resolution pictures, kept byte for byte as "
                         "the machine's 1024-byte text/lores page.\nFree software under the MIT licence.",
                         keys);
}

void SelectToolButton(int id) {
    for (int i = 0; i <= CommandId::PenTool; ++i) SetButtonPressed(ToolbarNumber, i, 0);
    // The shapes beyond the toolbar's own tools have no button: none shows pressed.
    if (id <= CommandId::PenTool) SetButtonPressed(ToolbarNumber, id, 1);
}

bool StartUp(EditorState& state, int palette) {
    state = EditorState{};
    state.palette = palette;  // the swatches and the first redraw are made in it
    InitWindowing();
    runtime::InitFiles();
    runtime::InitImages();
    state.currentColour = 15;
    state.pageStore = std::make_unique<lores::PageStore>();
    state.titleText = TitleText;
    lores::CopyPage(state.workingPage(), lores::StartupPicture());
    // What the first frame shows...
    if (!OpenWindowObject(WindowNumber, 0, 0, 640, 440, state.titleText.c_str(), EditorWindowFlags)) return false;
    CreateCanvas(CanvasNumber, 0, CanvasTop, 640, 384);
    MakeSwatches(state.colours());
    BuildToolbar();
    SelectToolButton(CommandId::PenTool);  // the tool it starts with, shown
    RedrawPage(state);
    UpdateStatusLine(state);
    // The zoom the user chose last time (none yet: 1x, the picture's own size).
    if (const int zoom = SavedZoom(); zoom > 1) ApplyZoom(state, zoom, false);
    ShowWindowsNow();
    // ...and what only input or the desktop uses, made while the user looks.
    NameToolbarButtons();
    SetIcon();
    BuildPopup();
    for (const ShortcutEntry& k : Shortcuts) AddShortcut(WindowNumber, k.keys, k.id);
    AcceptFileDrops(WindowNumber);
    state.savedPage = state.workingPage();
    ResetHistory(state);
    return true;
}

void ShutDown(EditorState& state) {
    state.pageStore.reset();
    ShutdownRuntime();
}

namespace {

bool OfferRecovery(EditorState& state) {
    Recovery& recovery = *state.recovery;
    for (const Orphan& orphan : FindOrphans(recovery)) {
        lores::LoresPage page{};
        std::string why;
        if (!ReadOrphan(recovery, orphan, page, &why)) {
            // Never deleted unread: put out of the way, and the user told where.
            const std::string aside = KeepAside(recovery, orphan);
            ShowMessage(documents::ErrorCaption, ("An unsaved picture could not be read (" + why + "). It is kept as " + aside)
                                          .c_str(), 0);
            continue;
        }
        // Saved to its file after all, and ended before it could say so.
        if (SavedToItsFile(orphan, page)) {
            RemoveOrphan(recovery, orphan);
            continue;
        }
        const std::string question = RecoverQuestion(orphan.saved, orphan.name);
        if (AskTwoWay(state.titleText.c_str(), question.c_str(), RecoverButton, DiscardButton)) {
            // An unnamed picture with unsaved changes: it is kept again at once.
            state.workingPage() = page;
            state.fileName.clear();
            state.confirmFileName = false;
            state.pictureChanged = true;
            RedrawPage(state);
            KeepRecovery(recovery, page, true);
            RemoveOrphan(recovery, orphan);
            return true;
        }
        RemoveOrphan(recovery, orphan);
    }
    return false;
}

}  // namespace

int RunEditor(const std::string& file, int palette) {
    EditorState state;
    if (!StartUp(state, palette)) {
        ShutDown(state);
        std::fprintf(stderr, "vornel: cannot open a window\n");
        return 1;
    }
    Recovery recovery;
    if (OpenRecovery(recovery)) state.recovery = &recovery;
    // A recovered picture comes first; the file named stays on disk as it is.
    const bool recovered = state.recovery && OfferRecovery(state);
    if (!file.empty() && !recovered) {
        // As Open does with the requester's answer, which is a full path.
        documents::Document doc = DocumentOf(state);
        documents::StartWithPath(doc, file[0] == '/' ? file : CurrentDirectory() + file);
    }
    // The history starts at what the user first sees (StartUp began it at
    // the startup picture).
    if (recovered || !file.empty()) ResetHistory(state);
    RunEventLoop(state);
    CloseRecovery(recovery);
    ShutDown(state);
    return 0;
}

}  // namespace editor
