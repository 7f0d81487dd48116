#include "lores/palettes.h"

namespace lores {
namespace {

constexpr ColourValue Rgb(int r, int g, int b) {
    return static_cast<ColourValue>(r) | static_cast<ColourValue>(g) << 8 | static_cast<ColourValue>(b) << 16;
}

// A 12-bit IIgs master colour value ($0RGB), each nibble widened to a byte.
constexpr ColourValue Iigs(int v) { return Rgb(((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17); }

}  // namespace

const std::vector<NamedPalette>& Palettes() {
    static const std::vector<NamedPalette> palettes = {
        {"standard", "the program's own colours (the default)", LoresPalette},
        // Apple IIgs Technical Note #63, "Master Color Values" (Apple
        // Developer Technical Support, 1989, revised 1991), table 1: the
        // 12-bit RGB values the IIgs's own video uses for the sixteen
        // colours, as set in its color registers. Not measured: they are the
        // machine's definition.
        {"iigs", "Apple IIgs Technical Note #63, master color values (the IIgs's RGB output)",
         {Iigs(0x000), Iigs(0xD03), Iigs(0x009), Iigs(0xD2D), Iigs(0x072), Iigs(0x555), Iigs(0x22F), Iigs(0x6AF),
          Iigs(0x850), Iigs(0xF60), Iigs(0xAAA), Iigs(0xF98), Iigs(0x1D0), Iigs(0xFF0), Iigs(0x4F9), Iigs(0xFFF)}},
        // The list of 8-bit computer hardware palettes (Wikipedia, "Apple II
        // series"): the composite signal's luma and chroma levels for each
        // colour (five luma levels, chroma at -1, -0.5, 0, 0.5, 1 of the
        // maximum), converted from YPbPr to RGB at 56% saturation. Derived
        // from the signal's levels, not photographed.
        {"ypbpr", "composite levels (YPbPr) of the NTSC machines, at 56% saturation",
         {Rgb(0, 0, 0), Rgb(114, 38, 64), Rgb(64, 51, 127), Rgb(228, 52, 254), Rgb(14, 89, 64), Rgb(128, 128, 128),
          Rgb(27, 154, 254), Rgb(191, 179, 255), Rgb(64, 76, 0), Rgb(228, 101, 1), Rgb(128, 128, 128),
          Rgb(241, 166, 191), Rgb(27, 203, 1), Rgb(191, 204, 128), Rgb(141, 217, 191), Rgb(255, 255, 255)}},
        // "The Apple II Palette" (meresh.com): sampled with an image editor
        // from the screen of a widely used emulator's colour display, the
        // colours most artists see when they test their pictures there.
        {"sampled", "sampled from an emulator's colour screen (meresh.com, \"The Apple II Palette\")",
         {Rgb(0, 0, 0), Rgb(147, 11, 124), Rgb(31, 53, 211), Rgb(187, 54, 255), Rgb(0, 118, 12), Rgb(126, 126, 126),
          Rgb(7, 168, 224), Rgb(157, 172, 255), Rgb(98, 76, 0), Rgb(249, 86, 29), Rgb(126, 126, 126),
          Rgb(255, 129, 236), Rgb(67, 200, 0), Rgb(220, 205, 22), Rgb(93, 247, 132), Rgb(255, 255, 255)}},
    };
    return palettes;
}

const NamedPalette* FindPalette(const std::string& name) {
    for (const NamedPalette& p : Palettes())
        if (name == p.name) return &p;
    return nullptr;
}

}  // namespace lores
