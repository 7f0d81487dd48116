// The picture as a 640x384 PNG: every lores pixel a 16x8 block, no highlight.
#include "documents/documents.h"
#include "editor/page_view.h"
#include "runtime/images.h"
#include "runtime/png_encoder.h"
#include "windowing/windowing.h"

namespace documents {

void ExportPicture(editor::EditorState& state) {
    const std::string defaultPath = windowing::CurrentDirectory() + "/image1.png";
    const std::string answer = windowing::ChooseFileToOpen("Please choose file to save", defaultPath.c_str(),
                                                           "Portable Network Graphics(*.png)|*.png", 0);
    if (!answer.empty()) {
        runtime::RegisterPngEncoder();
        bool saved = false;
        // Exactly the chosen name: no extension is added.
        if (runtime::CreateImageObject(editor::ExportImage, 640, 384) &&
            runtime::BeginDrawing(runtime::ImageDrawTarget(editor::ExportImage))) {
            editor::DrawPageBoxes(state.workingPage());
            runtime::EndDrawing();
            saved = runtime::SaveImageObject(editor::ExportImage, answer, runtime::EncoderPng) != 0;
        }
        // A user who exported into a full disk must not believe it worked.
        if (!saved) windowing::ShowMessage(ErrorCaption, (std::string(ExportMessagePrefix) + answer).c_str(), 0);
    }
    runtime::FreeImageObject(editor::ExportImage);
}

}  // namespace documents
