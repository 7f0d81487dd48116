// Any picture into the 40x48 cells: fitted to the screen's shape (5:3 with
// the 2:1 cells the program draws, 4:3 on a monitor's 8:5), averaged into
// the cells by area in linear light, and given colour numbers chosen by what
// the eye sees (OKLab; dithering that lowers the error left after a blur of
// about a cell). A cell is wider than it is tall on the screen, as the pixel
// aspect says, and every method here counts with that.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "documents/screen_shape.h"
#include "lores/lores_page.h"
#include "lores/palettes.h"

namespace documents {

enum class FitMode { Fit, Fill, Stretch };
enum class DitherMethod { None, FloydSteinberg, Atkinson, Ordered, Search };

// Each -100 to 100, 0 leaving the picture as it is: lightness moved and
// stretched about the middle grey, colourfulness scaled (OKLab).
struct Adjustments {
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    bool operator==(const Adjustments&) const = default;
};

// The names the command line and the window use ("search", "fit"...), and
// back (false for a name that is none of them).
const char* NameOf(DitherMethod method);
const char* NameOf(FitMode fit);
bool FindName(const std::string& name, DitherMethod& method);
bool FindName(const std::string& name, FitMode& fit);
inline constexpr DitherMethod DitherMethods[] = {DitherMethod::Search, DitherMethod::FloydSteinberg,
                                                 DitherMethod::Atkinson, DitherMethod::Ordered, DitherMethod::None};
inline constexpr FitMode FitModes[] = {FitMode::Fit, FitMode::Fill, FitMode::Stretch};

inline constexpr int CellCount = lores::PageWidth * lores::PageHeight;

using LinearRgb = std::array<float, 3>;
// The 1920 cells in linear-light RGB (0 to 1), row by row.
using LinearCells = std::array<LinearRgb, CellCount>;
// A colour number a cell, row by row.
using CellColours = std::array<std::uint8_t, CellCount>;

// sRGB-encoded 0-255 to linear light, and back.
float LinearOf(std::uint8_t encoded);
std::uint8_t EncodedOf(float linear);

// The picture (RGBA rows, alpha over black) shown on the screen (640x384 at
// 2:1, 560x384 at 7:4, 640x480 at 8:5) as
// the fit says: Fit the whole picture (black bars), Fill the screen (the
// picture cropped), Stretch to it. Each cell's value is the mean of the
// screen area it covers.
LinearCells AverageIntoCells(const std::uint8_t* rgba, int width, int height, FitMode fit,
                             PixelAspect aspect = PixelAspect::TwoToOne);
// The same with the picture stretched over the top left cols x rows cells
// (the rest black): a block of that size, for a paste.
LinearCells AverageIntoBlock(const std::uint8_t* rgba, int width, int height, int cols, int rows);

// The cells as the adjustments change them.
void Adjust(LinearCells& cells, const Adjustments& adjust);

// Which cells the fitted picture covers (at least half of each), as
// [left, right) and [top, bottom).
struct CellSpan {
    int left = 0, top = 0, right = 0, bottom = 0;
};
CellSpan CellsCovered(int width, int height, FitMode fit, PixelAspect aspect = PixelAspect::TwoToOne);

// The colour numbers for the cells in the palette, by the method.
CellColours ChooseColours(const LinearCells& cells, const lores::Palette& palette, DitherMethod method,
                          PixelAspect aspect = PixelAspect::TwoToOne);

// What the eye sees of the difference between cells drawn in the palette and
// the picture's cells: both blurred by a Gaussian of about a cell (on the
// screen, so more cells down than across), compared as the mean
// OKLab distance.
double SeenError(const CellColours& colours, const lores::Palette& palette, const LinearCells& cells,
                 PixelAspect aspect = PixelAspect::TwoToOne);

}  // namespace documents
