// The window program: the editor, loaded by `vornel` into its process and
// run with the same command line (a picture to open, a palette).
#include <cstdio>

#include "editor/command_line.h"
#include "editor/guarded_main.h"
#include "editor/editor_window.h"

namespace {

int Run(int argc, char** argv) {
    const editor::CommandLine command = editor::ParseCommandLine(argc, argv);
    if (command.action != editor::CommandLine::Action::Edit) {
        std::fputs("vornel-window: only the editor runs here (see 'vornel --help')\n", stderr);
        return 2;
    }
    return editor::RunEditor(command.files.empty() ? std::string() : command.files.front(), command.palette);
}

}  // namespace

// Nothing thrown leaves it: the command line around it has a C++ runtime of its own.
extern "C" __attribute__((visibility("default"))) int VornelWindowMain(int argc, char** argv) {
    try {
        return editor::GuardedMain(argc, argv, Run);
    } catch (...) {
        std::fputs("vornel: the editor failed\n", stderr);
        return 1;
    }
}
