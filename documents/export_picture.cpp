// The picture as a 640x384 PNG: every lores pixel a 16x8 block, no highlight.
#include "documents/documents.h"
#include "runtime/images.h"
#include "runtime/png_encoder.h"
#include "windowing/windowing.h"

namespace documents {

void DrawPageBoxes(const lores::LoresPage& page) {
    for (int r = 0; r < lores::TextRows; ++r) {
        for (int x = 0; x < lores::PageWidth; ++x) {
            const std::uint8_t b = page[lores::RowBaseTable[r] + x];
            runtime::FillBox(CellWidth * x, 2 * CellHeight * r, CellWidth, CellHeight, lores::LoresPalette[b & 15]);
            runtime::FillBox(CellWidth * x, 2 * CellHeight * r + CellHeight, CellWidth, CellHeight,
                             lores::LoresPalette[(b >> 4) & 15]);
        }
    }
}

void ExportPicture(const lores::LoresPage& page) {
    const std::string defaultPath = windowing::CurrentDirectory() + "/image1.png";
    const char* title = "Please choose file to save";
    const std::string answer =
        windowing::ChooseFileToOpen(title, defaultPath.c_str(), "Portable Network Graphics(*.png)|*.png", 0);
    if (answer.empty() || !MayWriteOver(answer, std::string(), title)) return;
    // A user who exported into a full disk must not believe it worked.
    if (!SavePagePicture(page, answer))
        windowing::ShowMessage(ErrorCaption, (std::string(ExportMessagePrefix) + answer).c_str(), 0);
}

bool SavePagePicture(const lores::LoresPage& page, const std::string& path) {
    runtime::RegisterPngEncoder();
    bool saved = false;
    // Exactly the chosen name: no extension is added.
    if (runtime::CreateImageObject(ExportImage, 640, 384) &&
        runtime::BeginDrawing(runtime::ImageDrawTarget(ExportImage))) {
        DrawPageBoxes(page);
        runtime::EndDrawing();
        saved = runtime::SaveImageObject(ExportImage, path, runtime::EncoderPng) != 0;
    }
    runtime::FreeImageObject(ExportImage);
    return saved;
}

}  // namespace documents
