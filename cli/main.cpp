// The command line: help, version, the conversions and the disk catalog run
// here without the window toolkit (none of its libraries is even loaded);
// the editor is a module loaded into this process only when it is wanted.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "diskimage/disk_image.h"
#include "documents/conversions.h"
#include "documents/program_export.h"
#include "cli/command_line.h"
#include "cli/guarded_main.h"
#include "runtime/program_files.h"

namespace {

int Report(const documents::ConversionResult& result) {
    if (!result.message.empty()) std::fprintf(stderr, "vornel: %s\n", documents::WithoutControls(result.message).c_str());
    return result.ok ? 0 : 1;
}

int Run(int argc, char** argv) {
    using cli::CommandLine;
    const CommandLine command = cli::ParseCommandLine(argc, argv);
    const lores::NamedPalette& palette = lores::Palettes()[static_cast<std::size_t>(command.palette)];
    switch (command.action) {
    case CommandLine::Action::Help: std::fputs(cli::UsageText, stdout); return 0;
    case CommandLine::Action::Version: std::printf("%s\n", cli::VersionText); return 0;
    case CommandLine::Action::UsageError:
        std::fprintf(stderr, "vornel: %s (try 'vornel --help')\n", documents::WithoutControls(command.error).c_str());
        return 2;
    case CommandLine::Action::ExportPng:
        return Report(documents::ExportPageAsPng(command.files[0], command.files[1], palette, command.mixed,
                                                 command.frame, command.aspect));
    case CommandLine::Action::ExportGif:
        return Report(documents::ExportFramesAsGif(command.files[0], command.files[1], palette, command.mixed,
                                                   command.fps, command.aspect));
    case CommandLine::Action::ImportPng:
        return Report(documents::ImportPngAsPage(command.files[0], command.files[1],
                                                 {command.holesFrom, &palette, command.byColour, command.strict,
                                                  command.dither, command.fit, command.adjust, command.aspect}));
    case CommandLine::Action::Thumbnail:
        return Report(documents::ThumbnailOfPage(command.files[0], command.files[1], command.size, command.aspect));
    case CommandLine::Action::BootDisk:
        return Report(documents::BootDiskOfPage(command.files[0], command.files[1], command.mixed, command.fps));
    case CommandLine::Action::ExportSource:
        return Report(documents::ExportPageAsSource(command.files[0], command.files[1], command.name));
    case CommandLine::Action::ExportBasic:
        return Report(documents::ExportPageAsBasic(command.files[0], command.files[1], command.mixed));
    case CommandLine::Action::ListImage: {
        // A file of frames, not an image: how many.
        std::size_t frames = 0;
        if (!diskimage::IsDiskImageFile(command.files[0]) && documents::CountFrames(command.files[0], frames).ok &&
            frames > 1) {
            std::printf("%s: %zu frames of 1024 bytes\n", documents::WithoutControls(command.files[0]).c_str(), frames);
            return 0;
        }
        std::string catalog;
        const documents::ConversionResult result = documents::ListDiskImage(command.files[0], catalog);
        std::fputs(catalog.c_str(), stdout);
        return Report(result);
    }
    case CommandLine::Action::ListPalettes:
        for (const lores::NamedPalette& p : lores::Palettes()) std::printf("%-10s %s\n", p.name, p.description);
        return 0;
    case CommandLine::Action::Edit:
    case CommandLine::Action::ReadClipboard: break;
    }
    // The editor, or its clipboard reader, from the module: handed what the
    // command line asked for (the reader hands argc and argv to its toolkit
    // application; the editor's starts with the program's name alone).
    const std::string window = runtime::ModuleFile("vornel-window.so");
    void* module = dlopen(window.c_str(), RTLD_NOW | RTLD_LOCAL);
    using Entry = int (*)(int, char**, const char*, int);
    const char* name = command.action == CommandLine::Action::ReadClipboard ? "VornelReadClipboard" : "VornelEditor";
    const auto entry = module ? reinterpret_cast<Entry>(dlsym(module, name)) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "vornel: cannot start the editor: %s\n", dlerror());
        return 1;
    }
    return entry(argc, argv, command.files.empty() ? nullptr : command.files.front().c_str(), command.palette);
}

}  // namespace

int main(int argc, char** argv) { return cli::GuardedMain(argc, argv, Run); }
