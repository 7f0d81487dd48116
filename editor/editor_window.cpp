#include "editor/editor_window.h"

#include <cstdio>
#include <string>

#include "assets/embedded.h"
#include "editor/commands.h"
#include "editor/document_commands.h"
#include "editor/event_loop.h"
#include "editor/recent_files.h"
#include "editor/selection.h"
#include "editor/frames.h"
#include "editor/tools.h"
#include "editor/tools/tool.h"
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

// The menu bar's titles, in the first frame; their items are made after it.
void BuildMenuBar() {
    if (!CreateMenuBar(WindowNumber)) return;
    for (const char* title : MenuTitles) AddMenuBarMenu(title);
}

void FillMenuBar() {
    for (std::size_t m = 0; m < MenuTitles.size(); ++m) {
        ChooseMenuBarMenu(static_cast<int>(m));
        const char* submenu = nullptr;
        for (const Command& c : Commands()) {
            if (static_cast<std::size_t>(c.menu) != m + 1) continue;
            if (c.submenu != submenu) {
                if (submenu) CloseMenuBarSubmenu();
                if (c.submenu) OpenMenuBarSubmenu(c.submenu);
                submenu = c.submenu;
            }
            // The recent files come first in their submenu, as many as are kept.
            if (c.id == CommandId::ClearRecent)
                for (std::size_t i = 0; i < RecentFilesKept; ++i)
                    AddMenuBarItem(CommandId::FirstRecentFile + static_cast<int>(i), "", {}, MenuItemKind::Plain);
            if (c.separatorBefore) AddMenuBarSeparator();
            std::vector<std::string> keys;
            for (const char* k : c.keys)
                if (k) keys.emplace_back(k);
            const int palette = c.id - CommandId::FirstPalette;
            const bool isPalette = palette >= 0 && palette < static_cast<int>(lores::Palettes().size());
            AddMenuBarItem(c.id, isPalette ? lores::Palettes()[static_cast<std::size_t>(palette)].name : c.text, keys,
                           c.kind);
        }
        if (submenu) CloseMenuBarSubmenu();
    }
    MenuItemFollowsClipboard(CommandId::Paste, CellsClipboardType);
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

namespace {

constexpr const char* AboutText =
    "Vornel 0.2\nA paint program for Apple II low-resolution pictures, kept byte for byte as the machine's "
    "1024-byte text/lores page.\nFree software under the MIT licence. Its manual: man vornel.";

}  // namespace

std::vector<std::pair<std::string, std::string>> KeysList() {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"Left button", "Draw with the tool"},
        {"Middle button", "Pick the colour under the pointer"},
        {"Right button", "Popup menu"},
        {"Ctrl+wheel", "Zoom in or out about the pointer"},
        {"Escape", "Take away the shape, selection or paste in progress; with none, quit"}};
    // Keys that do the same share a row: "Left Right Up Down"; each menu's
    // keys under its title, in the menu bar's order, then those of no menu.
    for (const Menu group : {Menu::File, Menu::Edit, Menu::View, Menu::Frame, Menu::Tools, Menu::Help, Menu::None}) {
        std::string title;
        for (const char* t = group == Menu::None ? "Keys of their own" : MenuTitles[static_cast<std::size_t>(group) - 1]; *t; ++t)
            if (*t != '&') title += *t;
        keys.emplace_back("", title);
        for (const Command& c : Commands()) {
            if (!c.help || c.menu != group) continue;
            std::string shown;
            for (const char* k : c.keys)
                if (k) shown += (shown.empty() ? "" : " ") + std::string(k);
            if (keys.back().second == c.help) keys.back().first += " " + shown;
            else keys.emplace_back(shown, c.help);
        }
    }
    return keys;
}

void ShowKeysBox() { windowing::ShowAbout(TitleText, AboutText, KeysList()); }

void ShowAboutBox() { windowing::ShowAbout(TitleText, AboutText, {}); }

void UpdateMenuBar(EditorState& state) {
    // Worked out at every event, handed on only when something differs.
    std::vector<std::uint8_t> now;
    for (const Command& c : Commands()) {
        if (c.menu == Menu::None) continue;
        const bool on = c.tool ? state.currentTool == tools::KindOf(c.tool(), c.id) : c.on && c.on(state);
        now.push_back(static_cast<std::uint8_t>(on | (!c.enabled || c.enabled(state)) << 1));
    }
    if (now != state.shown.menuStates) {
        std::size_t i = 0;
        for (const Command& c : Commands())
            if (c.menu != Menu::None) {
                SetMenuItemState(c.id, now[i] & 1, now[i] & 2);
                ++i;
            }
        state.shown.menuStates = std::move(now);
    }
    if (state.recentFiles == state.shown.menuRecentFiles) return;
    for (std::size_t i = 0; i < RecentFilesKept; ++i)
        SetMenuItemText(CommandId::FirstRecentFile + static_cast<int>(i),
                        RecentFileMenuText(state.recentFiles, i).c_str());
    state.shown.menuRecentFiles = state.recentFiles;
}

void SelectToolButton(int id) {
    for (int i = 0; i <= CommandId::PenTool; ++i) SetButtonPressed(ToolbarNumber, i, 0);
    // A tool's button beyond the toolbar's first ones is let go too (a tool
    // with no button has nothing to show: the toolbar has no such id).
    for (const Command& c : Commands())
        if (c.tool && c.id > CommandId::PenTool) SetButtonPressed(ToolbarNumber, c.id, 0);
    SetButtonPressed(ToolbarNumber, id, 1);
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
    BuildMenuBar();
    // The canvas at the pixel aspect the user chose last time (none yet: the
    // cells as drawn, 2:1, 640x384).
    state.aspect = SavedAspect();
    const documents::CellSize cells = documents::CellsOf(state.aspect);
    UseCells(cells);
    CreateCanvas(CanvasNumber, 0, CanvasTop, cells.ScreenWidth(), cells.ScreenHeight());
    MakeSwatches(state.colours());
    BuildToolbar();
    SelectToolButton(CommandId::PenTool);  // the tool it starts with, shown
    RedrawPage(state);
    UpdateStatusLine(state);
    // The zoom the user chose last time (none yet: 1x, the picture's own
    // size); at another aspect the window is fitted to its canvas too.
    if (const int zoom = SavedZoom(); zoom > 1 || state.aspect != documents::PixelAspect::TwoToOne)
        ApplyZoom(state, zoom, false);
    ShowWindowsNow();
    // ...and what only input or the desktop uses, made while the user looks.
    NameToolbarButtons();
    SetIcon();
    BuildPopup();
    FillMenuBar();
    for (const Command& c : Commands())
        for (const char* k : c.keys)
            if (k) AddShortcut(WindowNumber, k, c.id);
    AcceptFileDrops(WindowNumber);
    LoadRecentFiles(state);
    UpdateMenuBar(state);
    state.playbackRate = LoadPlaybackRate();
    state.brushSize = LoadBrushSize();
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
        std::vector<lores::LoresPage> frames;
        std::string why;
        if (!ReadOrphan(recovery, orphan, frames, &why)) {
            // Never deleted unread: put out of the way, and the user told where.
            const std::string aside = KeepAside(recovery, orphan);
            ShowMessage(documents::ErrorCaption, ("An unsaved picture could not be read (" + why + "). It is kept as " + aside)
                                          .c_str(), 0);
            continue;
        }
        // Saved to its file after all, and ended before it could say so.
        if (SavedToItsFile(orphan, frames)) {
            RemoveOrphan(recovery, orphan);
            continue;
        }
        const std::string question = RecoverQuestion(orphan.saved, orphan.name);
        if (AskTwoWay(state.titleText.c_str(), question.c_str(), RecoverButton, DiscardButton)) {
            // An unnamed picture with unsaved changes: it is kept again at once.
            state.frames.pages = std::move(frames);
            state.frames.shown = 0;
            state.frames.structure++;
            state.workingPage() = state.frames.pages.front();
            state.fileName.clear();
            state.confirmFileName = false;
            state.pictureChanged = true;
            RedrawPage(state);
            KeepRecovery(recovery, state.frames, state.workingPage(), true, "");
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
        StartWithFile(state, file[0] == '/' ? file : CurrentDirectory() + file);
        UpdateMenuBar(state);
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
