// The program's own folders under the desktop's base folders, and the small
// files kept there (the zoom, ...): read and written so that nothing odd
// found there (a link, a pipe, a device, a file of the wrong size) can hang
// the program or make it write anywhere else.
#pragma once

#include <cstddef>
#include <string>

namespace runtime {

// "$VARIABLE/vornel" when the variable holds an absolute path, else
// "$HOME/fallback/vornel" (fallback such as ".config"); empty when neither
// is absolute.
std::string UserFolder(const char* variable, const char* fallback);

// Makes the folder and those on the way to it (mode 0700); true when it is
// a folder now.
bool MakeFolders(const std::string& path);

// The content of a small regular file, not through a link and never
// waiting on a pipe or device; false (text untouched) for anything else or
// a file over maxBytes.
bool ReadSmallFile(const std::string& path, std::string& text, std::size_t maxBytes);

// Replaces path whole with text, as a page is saved (a private unnamed file
// renamed into place, synced); refuses, writing nothing, when path is
// there and is not a regular file of its own (a link, a pipe, a folder).
bool WriteSmallFile(const std::string& path, const std::string& text);

// A setting of the program's own, kept in its configuration folder
// ($XDG_CONFIG_HOME/vornel/name): read (false when there is none, or
// anything odd is there) and kept (its folder made first; false when not
// kept), as the two functions above do.
bool ReadSetting(const char* name, std::string& text, std::size_t maxBytes);
bool KeepSetting(const char* name, const std::string& text);

}  // namespace runtime
