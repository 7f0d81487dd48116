// What the program was asked to do on its command line. Without arguments
// it is the editor as always; everything else is an addition around it.
#pragma once

#include <string>
#include <vector>

namespace editor {

struct CommandLine {
    enum class Action { Edit, Help, Version, ExportPng, ImportPng, ListImage, UsageError };
    Action action = Action::Edit;
    std::vector<std::string> files;  // Edit: the page to open, if any; conversions: input, output
    std::string holesFrom;           // ImportPng: the page whose screen holes are kept
    std::string error;               // UsageError: what was wrong, one line
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

extern const char* const UsageText;
inline constexpr const char* VersionText = "vornel 0.2";

}  // namespace editor
