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
};

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
