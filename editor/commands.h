// Every command of the editor, declared once: its number, what the menu bar
// calls it, its keys, its menu, what the status line calls a tool, its line
// in the keys' list, and the code that carries it out. The menu bar, F1's
// list, the keys and the status line are all made from this table; the
// toolbar and the popup menu keep their own fixed layouts.
#pragma once

#include <array>
#include <optional>
#include <span>

#include "editor/editor_state.h"
#include "windowing/windowing.h"

namespace editor {
namespace tools {
class PaintTool;
}

enum class Menu { None, File, Edit, View, Frame, Tools, Help };

struct Command {
    int id = 0;
    Menu menu = Menu::None;
    const char* submenu = nullptr;  // within this submenu of its menu
    const char* text = nullptr;     // the menu's words, "&" before the letter Alt takes
    std::array<const char*, 2> keys{};  // the menu shows the first
    windowing::MenuItemKind kind = windowing::MenuItemKind::Plain;
    // The keys' list; commands next to each other with the same words share a line.
    const char* help = nullptr;
    void (*run)(EditorState&) = nullptr;
    bool (*enabled)(const EditorState&) = nullptr;  // none: always
    bool (*on)(const EditorState&) = nullptr;       // a toggle's or choice's state
    const tools::PaintTool& (*tool)() = nullptr;    // the tool it chooses
    const char* statusName = nullptr;               // and what the status line calls that tool
    bool separatorBefore = false;
};

std::span<const Command> Commands();
const Command* FindCommand(int id);
// What the status line calls the tool.
const char* ToolName(Tool tool);

// The menu bar's menus, in order, and where the recent files go.
inline constexpr std::array<const char*, 6> MenuTitles = {"&File", "&Edit", "&View", "F&rame", "&Tools", "&Help"};

// Chooses the tool, as its key or button does.
void ChooseTool(EditorState& state, const tools::PaintTool& tool, int id);

// The keyboard's pointer: the arrows move the highlighted cell (or the
// selection) as a pointer move would, Space presses there.
void KeyPointer(EditorState& state, int dx, int dy, bool press);

// The colour of a cell becomes the current colour, as its swatch would make it.
void PickColourAt(EditorState& state, Cell c);

}  // namespace editor
