// The window program: the editor, started by `vornel` with the same command
// line (a picture to open, a palette).
#include <csignal>
#include <cstdio>
#include <new>

#include "editor/command_line.h"
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

int main(int argc, char** argv) {
    // A write that fails because its reader went away or the file grew past
    // a limit is a failed save or export with its message, not the end of
    // the program and its drawing.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("vornel: out of memory\n", stderr);
        return 1;
    }
}
