// The picture of a page: every lores pixel a 16x8 block (no highlight), the
// mixed mode's text lines, and the 640x384 PNG that Export picture and the
// command line write. No window is involved.
#include <cerrno>

#include "documents/documents.h"
#include "lores/text_glyphs.h"
#include "runtime/images.h"
#include "runtime/png_encoder.h"

namespace documents {

void DrawPageBoxes(const lores::LoresPage& page, const lores::Palette& palette) {
    for (int r = 0; r < lores::TextRows; ++r) {
        for (int x = 0; x < lores::PageWidth; ++x) {
            const std::uint8_t b = page[lores::RowBaseTable[r] + x];
            runtime::FillBox(CellWidth * x, 2 * CellHeight * r, CellWidth, CellHeight, palette[b & 15]);
            runtime::FillBox(CellWidth * x, 2 * CellHeight * r + CellHeight, CellWidth, CellHeight,
                             palette[(b >> 4) & 15]);
        }
    }
}

void DrawTextCell(int column, int line, std::uint8_t code) {
    constexpr runtime::ColourValue White = 0xFFFFFF, Black = 0;
    const lores::TextCharacter ch = lores::CharacterOf(code);
    const bool inverse = ch.mode != lores::TextMode::Normal;  // flashing is shown inverse
    const int left = CellWidth * column, top = TextBoxHeight * line + CellHeight * lores::FirstMixedPixelRow;
    runtime::FillBox(left, top, CellWidth, TextBoxHeight, inverse ? White : Black);
    const lores::Glyph& glyph = lores::GlyphOf(ch.ascii);
    // Seven dots across, each two pixels square, one pixel in from the left.
    for (int row = 0; row < 8; ++row)
        for (int dot = 0; dot < 7; ++dot)
            if (glyph[row] & (0x40 >> dot)) runtime::FillBox(left + 1 + 2 * dot, top + 2 * row, 2, 2, inverse ? Black : White);
}

void DrawMixedText(const lores::LoresPage& page) {
    for (int line = 0; line < 4; ++line)
        for (int x = 0; x < lores::PageWidth; ++x)
            DrawTextCell(x, line, page[lores::RowBaseTable[lores::FirstMixedTextRow + line] + x]);
}

runtime::WriteResult SavePagePicture(const lores::LoresPage& page, const std::string& path,
                                     const lores::Palette& palette, bool mixed) {
    runtime::RegisterPngEncoder();
    runtime::WriteResult result;
    errno = 0;
    // Exactly the chosen name: no extension is added.
    if (runtime::CreateImageObject(ExportImage, 640, 384) &&
        runtime::BeginDrawing(runtime::ImageDrawTarget(ExportImage))) {
        DrawPageBoxes(page, palette);
        if (mixed) DrawMixedText(page);
        runtime::EndDrawing();
        result.ok = runtime::SaveImageObject(ExportImage, path, runtime::EncoderPng, &result.folderSyncError) != 0;
    }
    if (!result.ok) result.error = WhyNot(path, errno);
    runtime::FreeImageObject(ExportImage);
    return result;
}

}  // namespace documents
