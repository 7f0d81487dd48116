#include "editor/command_line.h"

namespace editor {

const char* const UsageText =
    "Usage: vornel [FILE]\n"
    "       vornel --export-png PAGE OUT.png\n"
    "       vornel --import-png IN.png OUT [--holes-from PAGE]\n"
    "       vornel --list IMAGE\n"
    "\n"
    "Paint Apple II low-resolution pictures (40x48 pixels, 16 colours), kept as\n"
    "the 1024-byte text/lores page. FILE is opened at start, as Open would.\n"
    "Any page may be IMAGE:NAME, a file inside a disk image (.dsk, .do, .po, .2mg).\n"
    "\n"
    "  --export-png PAGE OUT.png   write the 1024-byte PAGE as a 640x384 PNG\n"
    "  --import-png IN.png OUT     make a page from a PNG of 40x48 equal blocks\n"
    "  --holes-from PAGE           with --import-png: keep PAGE's screen holes\n"
    "  --list IMAGE                the catalog of a DOS 3.3 or ProDOS disk image\n"
    "  -h, --help                  show this help and exit\n"
    "  -v, --version               show the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

namespace {

CommandLine Fail(std::string error) {
    CommandLine c;
    c.action = CommandLine::Action::UsageError;
    c.error = std::move(error);
    return c;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine c;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool option = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!option) {
            c.files.push_back(arg);
        } else if (!c.files.empty() && arg != "--holes-from") {
            // Only what the usage shows may follow a file name: an option
            // there is more likely a file name gone wrong than a wish.
            return Fail("'" + arg + "' must come before the file names");
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            return CommandLine{CommandLine::Action::Help, {}, {}, {}};
        } else if (arg == "-v" || arg == "--version") {
            return CommandLine{CommandLine::Action::Version, {}, {}, {}};
        } else if (arg == "--export-png" || arg == "--import-png" || arg == "--list") {
            if (c.action != CommandLine::Action::Edit) return Fail("only one conversion at a time");
            c.action = arg == "--export-png"   ? CommandLine::Action::ExportPng
                       : arg == "--import-png" ? CommandLine::Action::ImportPng
                                               : CommandLine::Action::ListImage;
        } else if (arg == "--holes-from") {
            if (i + 1 >= argc) return Fail("--holes-from needs a page file");
            c.holesFrom = argv[++i];
        } else {
            return Fail("unknown option '" + arg + "'");
        }
    }
    switch (c.action) {
    case CommandLine::Action::Edit:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() > 1) return Fail("one picture at a time");
        break;
    case CommandLine::Action::ExportPng:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() != 2) return Fail("--export-png needs a page file and a PNG file");
        break;
    case CommandLine::Action::ImportPng:
        if (c.files.size() != 2) return Fail("--import-png needs a PNG file and a page file");
        break;
    case CommandLine::Action::ListImage:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() != 1) return Fail("--list needs one disk image");
        break;
    default: break;
    }
    return c;
}

}  // namespace editor
