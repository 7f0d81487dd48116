#include "cli/command_line.h"

#include <algorithm>

#include "lores/palettes.h"

namespace cli {

const char* const UsageText =
    "Usage: vornel [--palette NAME] [FILE]\n"
    "       vornel --export-png PAGE OUT.png [--mixed] [--palette NAME] [--frame K] [--aspect A]\n"
    "       vornel --export-gif FRAMES OUT.gif [--fps N] [--mixed] [--palette NAME] [--aspect A]\n"
    "       vornel --import-png IN OUT [--holes-from PAGE] [--by-colour] [--strict] [--palette NAME]\n"
    "                          [--dither METHOD] [--fit MODE] [--brightness N] [--contrast N] [--saturation N]\n"
    "                          [--aspect A]\n"
    "       vornel --list IMAGE\n"
    "       vornel --thumbnail PAGE OUT.png SIZE [--aspect A]\n"
    "       vornel --boot-disk PAGE IMAGE [--mixed] [--fps N]\n"
    "       vornel --export-source PAGE OUT.s|OUT.c [--name NAME]\n"
    "       vornel --export-basic PAGE OUT.bas|IMAGE:NAME [--mixed]\n"
    "       vornel --palettes\n"
    "\n"
    "Paint Apple II low-resolution pictures (40x48 pixels, 16 colours), kept as\n"
    "the 1024-byte text/lores page. FILE is opened at start, as Open would.\n"
    "Any page may be IMAGE:NAME, a file inside a disk image (.dsk, .do, .po, .2mg,\n"
    "and ProDOS volumes up to 32 MB as .po or .hdv).\n"
    "In the window, every command is in the menu bar; F1 lists the keys.\n"
    "The manual: man vornel (from the source tree: man -l data/vornel.1).\n"
    "\n"
    "  --export-png PAGE OUT.png   write the 1024-byte PAGE as a 640x384 PNG; a file of 2 to 256\n"
    "                              frames (whole pages) as OUT-001.png and on, or frame K alone\n"
    "  --frame K                   with --export-png: frame K only (from 1)\n"
    "  --export-gif FRAMES OUT.gif the frames as an animated GIF, 640x384, looping\n"
    "  --fps N                     with --export-gif or --boot-disk: frames a second, 1 to 60 (10)\n"
    "  --import-png IN OUT         make a page from a PNG or JPEG: a lores picture (palette colours in\n"
    "                              40x48 equal blocks, or indexed in lores order) exactly, any other\n"
    "                              converted: fitted to the 5:3 screen, averaged into the cells, dithered\n"
    "  --dither METHOD             with --import-png: search (the default), floyd-steinberg, atkinson,\n"
    "                              ordered, or none (a picture of 40x48 equal blocks by the block rules)\n"
    "  --fit MODE                  with --import-png: fit (whole picture, black bars; the default),\n"
    "                              fill (cropped to fill the screen) or stretch\n"
    "  --brightness N, --contrast N, --saturation N\n"
    "                              with --import-png: -100 to 100, 0 (the default) leaves it as it is\n"
    "  --aspect A                  the pixel aspect of the screen the picture is for: 2:1 (the\n"
    "                              default: 640x384, cells 16x8), 7:4 (an emulator's 560x384) or 8:5\n"
    "                              (a 4:3 monitor: 640x480, cells 16x10); with --export-png,\n"
    "                              --export-gif, --thumbnail, and --import-png (the screen it fits to)\n"
    "  --holes-from PAGE           with --import-png: keep PAGE's screen holes\n"
    "  --mixed                     with --export-png, --export-gif, --export-basic or --boot-disk: rows\n"
    "                              40 to 47 as the four text lines\n"
    "  --by-colour                 with --import-png: nearest colour even for an indexed PNG whose\n"
    "                              palette is a lores palette in lores order (else taken by index)\n"
    "  --strict                    with --import-png: fail (write nothing) unless every block is exact\n"
    "                              (no conversion: the picture must be of 40x48 equal blocks)\n"
    "  --palette NAME              the colours of the window, the export or the import\n"
    "  --palettes                  list the palettes and exit\n"
    "  --list IMAGE                the catalog of a DOS 3.3 or ProDOS disk image (of a file of\n"
    "                              frames: how many)\n"
    "  --thumbnail PAGE OUT SIZE   a PNG of PAGE at most SIZE pixels wide and high\n"
    "  --boot-disk PAGE IMAGE      a 140 KB disk (.dsk, .do) that boots into PAGE on an Apple II; a\n"
    "                              file of 2 to 39 frames: one that plays them (--fps N, 10 by default)\n"
    "  --export-source PAGE OUT    the page (or frames) as source: .s or .asm for ca65 (.byte lines),\n"
    "                              .c or .h for a C array; --name NAME names the label or array\n"
    "  --export-basic PAGE OUT     an Applesoft program that draws the page: a listing (.bas), or\n"
    "                              tokenized into a disk image (IMAGE:NAME, then RUN NAME); --mixed\n"
    "                              with the four text lines\n"
    "  -h, --help                  show this help and exit\n"
    "  -v, --version               show the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

namespace {

CommandLine Only(CommandLine::Action action) {
    CommandLine c;
    c.action = action;
    return c;
}

CommandLine Fail(std::string error) {
    CommandLine c;
    c.action = CommandLine::Action::UsageError;
    c.error = std::move(error);
    return c;
}

bool ConversionOption(const std::string& arg) {
    return arg == "--dither" || arg == "--fit" || arg == "--brightness" || arg == "--contrast" || arg == "--saturation";
}

// A whole number from low to high, signed or not.
bool InRange(const std::string& text, int low, int high, int& n) {
    const std::string digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    n = std::stoi(digits) * (text[0] == '-' ? -1 : 1);
    return n >= low && n <= high;
}

// The options that go together, and the files each action needs.
CommandLine Checked(CommandLine c) {
    if (c.mixed && c.action != CommandLine::Action::ExportPng && c.action != CommandLine::Action::ExportGif &&
        c.action != CommandLine::Action::BootDisk && c.action != CommandLine::Action::ExportBasic)
        return Fail("--mixed goes with --export-png, --export-gif, --export-basic or --boot-disk");
    if (c.nameGiven && c.action != CommandLine::Action::ExportSource) return Fail("--name goes with --export-source");
    if (c.fpsGiven && c.action != CommandLine::Action::ExportGif && c.action != CommandLine::Action::BootDisk)
        return Fail("--fps goes with --export-gif or --boot-disk");
    if (c.frame > 0 && c.action != CommandLine::Action::ExportPng) return Fail("--frame goes with --export-png");
    if (c.aspectGiven && c.action != CommandLine::Action::ExportPng && c.action != CommandLine::Action::ExportGif &&
        c.action != CommandLine::Action::ImportPng && c.action != CommandLine::Action::Thumbnail)
        return Fail("--aspect goes with --export-png, --export-gif, --import-png or --thumbnail");
    if ((c.byColour || c.strict) && c.action != CommandLine::Action::ImportPng)
        return Fail("--by-colour and --strict go with --import-png");
    if (c.converting && c.action != CommandLine::Action::ImportPng)
        return Fail("--dither, --fit and the adjustments go with --import-png");
    switch (c.action) {
    case CommandLine::Action::Edit:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() > 1) return Fail("one picture at a time");
        break;
    case CommandLine::Action::ExportPng:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() != 2) return Fail("--export-png needs a page file and a PNG file");
        break;
    case CommandLine::Action::ExportGif:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() != 2) return Fail("--export-gif needs a file of frames and a GIF file");
        break;
    case CommandLine::Action::ImportPng:
        if (c.files.size() != 2) return Fail("--import-png needs a PNG file and a page file");
        break;
    case CommandLine::Action::Thumbnail: {
        if (c.files.size() != 3) return Fail("--thumbnail needs a page file, a PNG file and a size");
        const std::string& size = c.files[2];
        if (size.empty() || size.size() > 5 || size.find_first_not_of("0123456789") != std::string::npos)
            return Fail("--thumbnail's size is a number of pixels");
        c.size = std::stoi(size);
        c.files.pop_back();
        break;
    }
    case CommandLine::Action::BootDisk:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() != 2) return Fail("--boot-disk needs a page and a disk image to make");
        break;
    case CommandLine::Action::ExportSource:
    case CommandLine::Action::ExportBasic:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() != 2)
            return Fail(c.action == CommandLine::Action::ExportSource ? "--export-source needs a page file and a source file"
                                                                     : "--export-basic needs a page file and a listing or IMAGE:NAME");
        break;
    case CommandLine::Action::ListImage:
        if (!c.holesFrom.empty()) return Fail("--holes-from goes with --import-png");
        if (c.files.size() != 1) return Fail("--list needs one disk image");
        break;
    case CommandLine::Action::ReadClipboard:
        if (c.files.size() != 1) return Fail("--read-clipboard needs the program's own clipboard type");
        break;
    default: break;
    }
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
        } else if (!c.files.empty() && arg != "--holes-from" && arg != "--mixed" && arg != "--by-colour" &&
                   arg != "--strict" && arg != "--palette" && arg != "--fps" && arg != "--frame" && arg != "--name" && arg != "--aspect" &&
                   !ConversionOption(arg)) {
            // Only what the usage shows may follow a file name: an option
            // there is more likely a file name gone wrong than a wish.
            return Fail("'" + arg + "' must come before the file names");
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            return Only(CommandLine::Action::Help);
        } else if (arg == "-v" || arg == "--version") {
            return Only(CommandLine::Action::Version);
        } else if (arg == "--export-png" || arg == "--import-png" || arg == "--list" || arg == "--thumbnail" ||
                   arg == "--boot-disk" || arg == "--export-gif" || arg == "--export-source" || arg == "--export-basic") {
            if (c.action != CommandLine::Action::Edit) return Fail("only one conversion at a time");
            c.action = arg == "--export-png"      ? CommandLine::Action::ExportPng
                       : arg == "--export-source" ? CommandLine::Action::ExportSource
                       : arg == "--export-basic"  ? CommandLine::Action::ExportBasic
                       : arg == "--export-gif" ? CommandLine::Action::ExportGif
                       : arg == "--import-png" ? CommandLine::Action::ImportPng
                       : arg == "--list"       ? CommandLine::Action::ListImage
                       : arg == "--boot-disk"  ? CommandLine::Action::BootDisk
                                               : CommandLine::Action::Thumbnail;
        } else if (arg == "--holes-from") {
            if (i + 1 >= argc) return Fail("--holes-from needs a page file");
            c.holesFrom = argv[++i];
        } else if (arg == "--palette") {
            if (i + 1 >= argc) return Fail("--palette needs a name (see 'vornel --palettes')");
            const std::string name = argv[++i];
            const lores::NamedPalette* found = lores::FindPalette(name);
            if (!found) return Fail("no palette '" + name + "' (see 'vornel --palettes')");
            c.palette = static_cast<int>(found - lores::Palettes().data());
        } else if (arg == "--palettes") {
            return Only(CommandLine::Action::ListPalettes);
        } else if (arg == "--read-clipboard") {
            // The editor's own helper: what another program holds on the
            // clipboard, read in a process the editor need not wait for.
            if (c.action != CommandLine::Action::Edit) return Fail("only one conversion at a time");
            c.action = CommandLine::Action::ReadClipboard;
        } else if (ConversionOption(arg)) {
            if (i + 1 >= argc) return Fail(arg + " needs a value");
            const std::string value = argv[++i];
            c.converting = true;
            if (arg == "--dither" && !documents::FindName(value, c.dither))
                return Fail("no dither method '" + value + "' (search, floyd-steinberg, atkinson, ordered, none)");
            if (arg == "--fit" && !documents::FindName(value, c.fit))
                return Fail("no fit '" + value + "' (fit, fill, stretch)");
            int* level = arg == "--brightness" ? &c.adjust.brightness
                         : arg == "--contrast" ? &c.adjust.contrast
                         : arg == "--saturation" ? &c.adjust.saturation
                                                 : nullptr;
            if (level && !InRange(value, -100, 100, *level)) return Fail(arg + " is a number from -100 to 100");
        } else if (arg == "--fps" || arg == "--frame") {
            const bool fps = arg == "--fps";
            int n = 0;
            if (i + 1 >= argc || !InRange(argv[++i], 1, fps ? 60 : 256, n))
                return Fail(fps ? "--fps is a number from 1 to 60" : "--frame is a number from 1 to 256");
            if (fps) c.fps = n, c.fpsGiven = true;
            else c.frame = n;
        } else if (arg == "--aspect") {
            if (i + 1 >= argc || !documents::FindName(argv[i + 1], c.aspect)) return Fail("--aspect is 2:1, 7:4 or 8:5");
            ++i;
            c.aspectGiven = true;
        } else if (arg == "--name") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return Fail("--name needs a name");
            c.name = argv[++i];
            c.nameGiven = true;
        } else if (arg == "--mixed") {
            c.mixed = true;
        } else if (arg == "--by-colour") {
            c.byColour = true;
        } else if (arg == "--strict") {
            c.strict = true;
        } else {
            return Fail("unknown option '" + arg + "'");
        }
    }
    return Checked(std::move(c));
}

}  // namespace cli
