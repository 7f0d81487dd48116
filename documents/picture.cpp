// The picture of a page: every lores pixel a 16x8 block (14x8 or 16x10 at
// the other pixel aspects; no highlight), the mixed mode's text lines, and
// the PNG that Export picture and the command line write. No window is
// involved.
#include <cerrno>

#include "documents/documents.h"
#include "lores/text_glyphs.h"
#include "runtime/images.h"
#include "runtime/png_encoder.h"

namespace documents {

void DrawPageBoxes(const lores::LoresPage& page, const lores::Palette& palette, CellSize cells) {
    const int w = cells.width, h = cells.height;
    for (int r = 0; r < lores::TextRows; ++r) {
        for (int x = 0; x < lores::PageWidth; ++x) {
            const std::uint8_t b = page[lores::RowBaseTable[r] + x];
            runtime::FillBox(w * x, 2 * h * r, w, h, palette[b & 15]);
            runtime::FillBox(w * x, 2 * h * r + h, w, h, palette[(b >> 4) & 15]);
        }
    }
}

void DrawTextCell(int column, int line, std::uint8_t code, CellSize cells) {
    constexpr runtime::ColourValue White = 0xFFFFFF, Black = 0;
    const lores::TextCharacter ch = lores::CharacterOf(code);
    const bool inverse = ch.mode != lores::TextMode::Normal;  // flashing is shown inverse
    const int boxHeight = 2 * cells.height;
    const int left = cells.width * column, top = boxHeight * line + cells.height * lores::FirstMixedPixelRow;
    runtime::FillBox(left, top, cells.width, boxHeight, inverse ? White : Black);
    const lores::Glyph& glyph = lores::GlyphOf(ch.ascii);
    // Seven dots across, each two pixels wide, in the middle of the box (one
    // pixel in from the left in a 16-pixel box); eight rows down the box,
    // each two pixels high at 2:1 (2 or 3 alternately at 8:5).
    const int dot = cells.width / 7, inset = (cells.width - 7 * dot) / 2;
    for (int row = 0; row < 8; ++row) {
        const int y0 = top + boxHeight * row / 8, y1 = top + boxHeight * (row + 1) / 8;
        for (int d = 0; d < 7; ++d)
            if (glyph[row] & (0x40 >> d)) runtime::FillBox(left + inset + dot * d, y0, dot, y1 - y0, inverse ? Black : White);
    }
}

void DrawMixedText(const lores::LoresPage& page, CellSize cells) {
    for (int line = 0; line < 4; ++line)
        for (int x = 0; x < lores::PageWidth; ++x)
            DrawTextCell(x, line, page[lores::RowBaseTable[lores::FirstMixedTextRow + line] + x], cells);
}

runtime::WriteResult SavePagePicture(const lores::LoresPage& page, const std::string& path,
                                     const lores::Palette& palette, bool mixed, PixelAspect aspect) {
    const CellSize cells = CellsOf(aspect);
    runtime::RegisterPngEncoder();
    runtime::WriteResult result;
    errno = 0;
    // Exactly the chosen name: no extension is added.
    if (runtime::CreateImageObject(ExportImage, cells.ScreenWidth(), cells.ScreenHeight()) &&
        runtime::BeginDrawing(runtime::ImageDrawTarget(ExportImage))) {
        DrawPageBoxes(page, palette, cells);
        if (mixed) DrawMixedText(page, cells);
        runtime::EndDrawing();
        result.ok = runtime::SaveImageObject(ExportImage, path, runtime::EncoderPng, &result.folderSyncError) != 0;
    }
    if (!result.ok) result.error = WhyNot(path, errno);
    runtime::FreeImageObject(ExportImage);
    return result;
}

}  // namespace documents
