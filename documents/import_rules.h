// The import's rules, shared by the conversions and the clipboard's paste.
#pragma once

#include <functional>
#include <string>

#include "documents/conversions.h"
#include "runtime/png_decoder.h"

namespace documents {

// What an import did that was not exact.
struct ImportReport {
    bool byIndex = false;
    bool indexedNotLores = false;  // a palette image whose palette is no lores palette in lores order
    int mixedBlocks = 0;
    int offPalette = 0;  // distinct colours that are no palette colour
    int ambiguous = 0;   // blocks whose colour two palette entries share
    bool converted = false;  // fitted, averaged and dithered, from a picture of width x height
    int width = 0, height = 0;
};

// Whether the picture is lores already, cut into cols x rows blocks: each
// block one colour, all of them colours of one of the program's palettes,
// or an indexed picture whose palette is in lores order.
bool LoresAlready(const runtime::DecodedImage& image, int cols, int rows);

// The size of the block a picture from elsewhere pastes as: at most 40x48,
// a cell a pixel; sides multiples of 16 and 8, a cell a block; anything
// else scaled to fit the 640x384 picture, its aspect kept. True when the
// cells are whole pixels or blocks of the picture (it may be lores).
bool BlockSizeOf(const runtime::DecodedImage& image, int& cols, int& rows);

// The page from any picture: the block rules for a picture that is lores
// already (or of 40x48 equal blocks, with dither None or strict), else the
// conversion the options ask for. False with the reason when strict and the
// picture does not divide into 40x48 equal blocks.
bool PageOfPicture(const runtime::DecodedImage& image, const ImportOptions& options, lores::LoresPage& page,
                   ImportReport& report, std::string& reason);

// The picture cut into cols x rows blocks (cell (x, y) takes its columns
// x * width / cols up to (x + 1) * width / cols), each block's colour number
// handed to plot(x, y, colour).
void CellsOfPicture(const runtime::DecodedImage& image, const ImportOptions& options, int cols, int rows,
                    ImportReport& report, const std::function<void(int x, int y, int colour)>& plot);
// The same over the whole page, a block a cell.
void PageFromPicture(const runtime::DecodedImage& image, const ImportOptions& options, lores::LoresPage& page,
                     ImportReport& report);
// The report in words: which rule, and what was not exact.
std::string Describe(const ImportReport& report, const ImportOptions& options);

}  // namespace documents
