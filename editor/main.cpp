// The window program: the editor, loaded by `vornel` into its process and
// run with the same command line (a picture to open, a palette).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "editor/command_line.h"
#include "editor/editor_window.h"
#include "windowing/windowing.h"

namespace {

int Run(int argc, char** argv) {
    const editor::CommandLine command = editor::ParseCommandLine(argc, argv);
    if (command.action == editor::CommandLine::Action::ReadClipboard)
        return windowing::WriteClipboardTo(1, argc, argv, command.files.front().c_str());
    if (command.action != editor::CommandLine::Action::Edit) {
        std::fputs("vornel-window: only the editor runs here (see 'vornel --help')\n", stderr);
        return 2;
    }
    // Other programs' clipboard is read through this program in a process
    // of its own, so that an owner that never answers cannot stall the window.
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) windowing::SetClipboardReader(std::string(self, static_cast<std::size_t>(n)));
    return editor::RunEditor(command.files.empty() ? std::string() : command.files.front(), command.palette);
}

}  // namespace

// Called by the command line, inside its guard (one C++ runtime serves both:
// the command line links it as a shared library, as the toolkit does).
extern "C" __attribute__((visibility("default"))) int VornelWindowMain(int argc, char** argv) { return Run(argc, argv); }
