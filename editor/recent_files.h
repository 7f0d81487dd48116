// The list of pictures last opened or saved that the File menu offers
// again, kept in $XDG_CONFIG_HOME/vornel/recent.
#pragma once

#include <string>
#include <vector>

#include "editor/editor_state.h"

namespace editor {

inline constexpr std::size_t RecentFilesKept = 10;

void ClearRecentFiles(EditorState& state);

// The list as kept: newest first, at most RecentFilesKept absolute paths
// (or IMAGE:NAME), anything else in the file left out.
std::vector<std::string> ParseRecentFiles(const std::string& text);
// The list kept from the last run (none when the file is missing or odd).
void LoadRecentFiles(EditorState& state);
// The path goes to the top of the list, which is kept at once.
void RememberRecentFile(EditorState& state, const std::string& path);
// A file that is gone comes off the list, which is kept at once.
void ForgetRecentFile(EditorState& state, const std::string& path);
// The words the menu shows for the list's entry at index.
std::string RecentFileMenuText(const std::vector<std::string>& files, std::size_t index);

}  // namespace editor
