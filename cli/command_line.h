// What the program was asked to do on its command line. Without arguments
// it is the editor as always; everything else is an addition around it.
#pragma once

#include <string>
#include <vector>

#include "documents/photo_conversion.h"

namespace cli {

struct CommandLine {
    enum class Action {
        Edit, Help, Version, ExportPng, ExportGif, ImportPng, ListImage, ListPalettes, Thumbnail, BootDisk,
        ExportSource, ExportBasic, ReadClipboard, UsageError
    };
    Action action = Action::Edit;
    std::vector<std::string> files;  // Edit: the page to open, if any; conversions: input, output
    std::string holesFrom;           // ImportPng: the page whose screen holes are kept
    int palette = 0;                 // index into lores::Palettes(): window, export, import
    bool mixed = false;              // ExportPng, BootDisk: with the mixed-mode text lines
    bool byColour = false;           // ImportPng: nearest colour even for a palette image
    bool strict = false;             // ImportPng: any inexact block fails
    // ImportPng: how a picture that is not lores already is converted.
    documents::DitherMethod dither = documents::DitherMethod::Search;
    documents::FitMode fit = documents::FitMode::Fit;
    documents::Adjustments adjust;
    bool converting = false;         // one of the four was given
    // ImportPng, ExportPng, ExportGif, Thumbnail: the screen's shape.
    documents::PixelAspect aspect = documents::PixelAspect::TwoToOne;
    bool aspectGiven = false;
    int size = 0;                    // Thumbnail: the largest side
    int fps = 10;                    // ExportGif: frames a second
    bool fpsGiven = false;
    int frame = 0;                   // ExportPng: the one frame (from 1), or 0 for every frame
    std::string name;                // ExportSource: the label or array's name
    bool nameGiven = false;
    std::string error;               // UsageError: what was wrong, one line
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

extern const char* const UsageText;
inline constexpr const char* VersionText = "vornel 0.2";

}  // namespace cli
