// The window program's entries, called by the command line (inside its
// guard: one C++ runtime serves both, as the command line links it as a
// shared library, as the toolkit does) once it has parsed its arguments.
#include <unistd.h>

#include <string>

#include "editor/editor_window.h"
#include "windowing/windowing.h"

// The editor, with the picture to open (or none) and the palette's number;
// argc and argv are not used (its toolkit starts with the program's name).
extern "C" __attribute__((visibility("default"))) int VornelEditor(int argc, char** argv, const char* file,
                                                                   int palette) {
    (void)argc;
    (void)argv;
    // Other programs' clipboard is read through this program in a process
    // of its own, so that an owner that never answers cannot stall the window.
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) windowing::SetClipboardReader(std::string(self, static_cast<std::size_t>(n)));
    return editor::RunEditor(file ? std::string(file) : std::string(), palette);
}

// The clipboard reader: what the clipboard holds, the program's own type
// (the file argument) included, written to standard output.
extern "C" __attribute__((visibility("default"))) int VornelReadClipboard(int argc, char** argv, const char* ownType,
                                                                          int) {
    return windowing::WriteClipboardTo(1, argc, argv, ownType ? ownType : "");
}
