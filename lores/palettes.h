// The lores colours as different displays show them. The first palette is
// the program's own and the default everywhere; the others are published
// sets that artists match to the machine or emulator they test on.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "lores/lores_page.h"

namespace lores {

using Palette = std::array<ColourValue, ColourCount>;

struct NamedPalette {
    const char* name;
    const char* description;  // one line: where the colours come from
    Palette colours;
};

// Every palette, the default first.
const std::vector<NamedPalette>& Palettes();

// The palette of that name, or nullptr.
const NamedPalette* FindPalette(const std::string& name);

inline const Palette& DefaultPalette() { return LoresPalette; }

// The colours' names as a person says them, by colour number.
inline constexpr std::array<const char*, ColourCount> ColourNames = {
    "black", "magenta", "dark blue", "purple", "dark green", "dark grey", "medium blue", "light blue",
    "brown", "orange", "light grey", "pink", "light green", "yellow", "aqua", "white",
};

}  // namespace lores
