// How wide a lores pixel shows for its height: 2:1 as the program has
// always drawn it (cells 16x8, a 640x384 picture), 7:4 as an emulator's
// 560x384 window shows it (cells 14x8), 8:5 as a 4:3 monitor shows it
// (cells 16x10, a 640x480 picture). The page's bytes never depend on it,
// but through a conversion that fits a picture to the screen's shape.
#pragma once

#include <string>

#include "lores/lores_page.h"

namespace documents {

enum class PixelAspect { TwoToOne, SevenToFour, EightToFive };
inline constexpr PixelAspect PixelAspects[] = {PixelAspect::TwoToOne, PixelAspect::SevenToFour,
                                               PixelAspect::EightToFive};

// A cell's size on the screen, in the picture's pixels.
struct CellSize {
    int width = 16, height = 8;
    int ScreenWidth() const { return lores::PageWidth * width; }
    int ScreenHeight() const { return lores::PageHeight * height; }
};
constexpr CellSize CellsOf(PixelAspect aspect) {
    switch (aspect) {
    case PixelAspect::SevenToFour: return {14, 8};
    case PixelAspect::EightToFive: return {16, 10};
    case PixelAspect::TwoToOne: break;
    }
    return {16, 8};
}

// "2:1", "7:4", "8:5", and back (false for any other).
const char* NameOf(PixelAspect aspect);
bool FindName(const std::string& name, PixelAspect& aspect);

}  // namespace documents
