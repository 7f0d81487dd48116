// The Apple II's 40-column text as the mixed mode shows it on the bottom
// four text lines: what each byte of the page means as a character, and the
// dots of each character.
#pragma once

#include <array>
#include <cstdint>

#include "lores/lores_page.h"

namespace lores {

inline constexpr int TextGlyphCount = 96;       // characters $20 to $7F
inline constexpr int FirstMixedTextRow = 20;    // text rows 20 to 23 ...
inline constexpr int FirstMixedPixelRow = 40;   // ... cover pixel rows 40 to 47

inline constexpr int MixedTextLines = 4;
// A normal space: what the machine's screen holds where nothing is written.
inline constexpr std::uint8_t TextSpace = 0xA0;
inline constexpr int MixedTextBytes = MixedTextLines * PageWidth;

// The page byte that holds column x of mixed text line `line` (0 to 3).
inline int MixedTextOffset(int line, int x) { return RowBaseTable[FirstMixedTextRow + line] + x; }

// The 160 character codes of the four text lines, line by line.
using MixedText = std::array<std::uint8_t, MixedTextBytes>;
inline MixedText ReadMixedText(const LoresPage& page) {
    MixedText text{};
    for (int i = 0; i < MixedTextBytes; ++i)
        text[static_cast<std::size_t>(i)] = page[static_cast<std::size_t>(MixedTextOffset(i / PageWidth, i % PageWidth))];
    return text;
}
inline void WriteMixedText(LoresPage& page, const MixedText& text) {
    for (int i = 0; i < MixedTextBytes; ++i)
        page[static_cast<std::size_t>(MixedTextOffset(i / PageWidth, i % PageWidth))] = text[static_cast<std::size_t>(i)];
}

enum class TextMode { Normal, Inverse, Flashing };

struct TextCharacter {
    char ascii;  // $20 to $7F
    TextMode mode;
};

// A character cell: eight rows of seven dots, bit 6 the leftmost.
using Glyph = std::array<std::uint8_t, 8>;

TextCharacter CharacterOf(std::uint8_t code);
const Glyph& GlyphOf(char ascii);

}  // namespace lores
