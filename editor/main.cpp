#include <csignal>
#include <cstdio>
#include <new>

#include "documents/conversions.h"
#include "editor/command_line.h"
#include "editor/editor_window.h"

namespace {

int Run(int argc, char** argv) {
    using editor::CommandLine;
    const CommandLine command = editor::ParseCommandLine(argc, argv);
    switch (command.action) {
    case CommandLine::Action::Help: std::fputs(editor::UsageText, stdout); return 0;
    case CommandLine::Action::Version: std::printf("%s\n", editor::VersionText); return 0;
    case CommandLine::Action::UsageError:
        std::fprintf(stderr, "vornel: %s (try 'vornel --help')\n", command.error.c_str());
        return 2;
    case CommandLine::Action::ExportPng:
    case CommandLine::Action::ImportPng: {
        // No window and no display: the same model and encoder, from a shell.
        const lores::NamedPalette& palette = lores::Palettes()[static_cast<std::size_t>(command.palette)];
        const documents::ImportOptions options{command.holesFrom, &palette, command.byColour, command.strict};
        const documents::ConversionResult result =
            command.action == CommandLine::Action::ExportPng
                ? documents::ExportPageAsPng(command.files[0], command.files[1], palette, command.mixed)
                : documents::ImportPngAsPage(command.files[0], command.files[1], options);
        if (!result.message.empty()) std::fprintf(stderr, "vornel: %s\n", result.message.c_str());
        return result.ok ? 0 : 1;
    }
    case CommandLine::Action::ListImage: {
        std::string catalog;
        const documents::ConversionResult result = documents::ListDiskImage(command.files[0], catalog);
        std::fputs(catalog.c_str(), stdout);
        if (!result.message.empty()) std::fprintf(stderr, "vornel: %s\n", result.message.c_str());
        return result.ok ? 0 : 1;
    }
    case CommandLine::Action::Thumbnail: {
        const documents::ConversionResult result =
            documents::ThumbnailOfPage(command.files[0], command.files[1], command.size);
        if (!result.message.empty()) std::fprintf(stderr, "vornel: %s\n", result.message.c_str());
        return result.ok ? 0 : 1;
    }
    case CommandLine::Action::ListPalettes:
        for (const lores::NamedPalette& p : lores::Palettes()) std::printf("%-10s %s\n", p.name, p.description);
        return 0;
    case CommandLine::Action::Edit: break;
    }
    return editor::RunEditor(command.files.empty() ? std::string() : command.files.front(), command.palette);
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that went away or a file-size limit makes the write fail with
    // its error (a failed save or export, with its message) instead of
    // ending the program with the drawing in it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("vornel: out of memory\n", stderr);
        return 1;
    }
}
