// The Apple II's 40-column text as the mixed mode shows it on the bottom
// four text lines: what each byte of the page means as a character, and the
// dots of each character.
#pragma once

#include <array>
#include <cstdint>

namespace lores {

inline constexpr int TextGlyphCount = 96;       // characters $20 to $7F
inline constexpr int FirstMixedTextRow = 20;    // text rows 20 to 23 ...
inline constexpr int FirstMixedPixelRow = 40;   // ... cover pixel rows 40 to 47

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
