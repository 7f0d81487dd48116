#include "editor/event_loop.h"

#include "documents/documents.h"
#include "editor/editor_window.h"
#include "editor/page_view.h"
#include "editor/tools.h"
#include "lores/drawing.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// Escape down now and pressed since the previous poll, and nothing else.
constexpr std::int16_t EscapeJustPressed = -32767;

void ChooseTool(EditorState& state, Tool tool, int id) {
    state.currentTool = tool;
    if (tool == Tool::Line) state.lineAnchor = NoAnchor;
    if (tool == Tool::Circle) state.circleAnchor = NoAnchor;
    SelectToolButton(id);
}

void Scroll(EditorState& state, lores::ScrollDirection direction) {
    lores::ScrollPage(state.workingPage(), direction);
    RedrawPage(state);
}

}  // namespace

void CarryOutCommand(EditorState& state, int id) {
    if (id >= CommandId::FirstColour && id <= CommandId::LastColour) {
        state.currentColour = id;  // shown by the highlight at the next repaint
        return;
    }
    switch (id) {
    case CommandId::NewPicture: documents::NewDocument(state); break;
    case CommandId::OpenPicture: documents::OpenDocument(state); break;
    case CommandId::SavePicture: documents::SaveDocument(state); break;
    case CommandId::LineTool: ChooseTool(state, Tool::Line, id); break;
    case CommandId::CircleTool: ChooseTool(state, Tool::Circle, id); break;
    case CommandId::FillTool: ChooseTool(state, Tool::Fill, id); break;
    case CommandId::PenTool: ChooseTool(state, Tool::Pen, id); break;
    case CommandId::Undo:
        if (state.undoAvailable == 1) {
            state.undoAvailable = 0;
            lores::CopyPage(state.workingPage(), state.undoCopy());
            RedrawPage(state);
        }
        break;
    case CommandId::SavePictureAs: documents::SaveDocumentAs(state); break;
    case CommandId::ExportPicture: documents::ExportPicture(state); break;
    case CommandId::ScrollLeft: Scroll(state, lores::ScrollDirection::Left); break;
    case CommandId::ScrollRight: Scroll(state, lores::ScrollDirection::Right); break;
    case CommandId::ScrollUp: Scroll(state, lores::ScrollDirection::Up); break;
    case CommandId::ScrollDown: Scroll(state, lores::ScrollDirection::Down); break;
    default: break;  // not a command of this program
    }
}

void HandlePointer(EditorState& state) {
    UpdatePointer(state);
    const bool leftHeld = windowing::CanvasAttribute(CanvasNumber, windowing::CanvasButtons) & 1;
    switch (state.currentTool) {
    case Tool::Pen: PenPointer(state, leftHeld); break;
    case Tool::Line: LinePointer(state, leftHeld); break;
    case Tool::Circle: CirclePointer(state, leftHeld); break;
    case Tool::Fill: FillPointer(state, leftHeld); break;
    }
}

bool HandleEvent(EditorState& state, int event) {
    if (event == windowing::MenuEvent) {
        CarryOutCommand(state, windowing::CurrentMenuItem());
    } else if (event == windowing::GadgetEvent && windowing::CurrentGadget() == CanvasNumber) {
        const int type = windowing::CurrentEventType();
        if (type == windowing::CanvasRightButtonDown) {
            windowing::ShowPopup(PopupNumber, windowing::WindowHandle(WindowNumber));
        } else if (type == windowing::CanvasLeftButtonDown || type == windowing::CanvasPointerMoved) {
            HandlePointer(state);
        }
    }
    return event != windowing::CloseEvent;
}

void RunEventLoop(EditorState& state) {
    for (;;) {
        const int event = windowing::WaitForEvent();
        // Escape ends the program before the event that woke the loop is handled.
        if (windowing::EscapeKeyState() == EscapeJustPressed) return;
        if (!HandleEvent(state, event)) return;
    }
}

}  // namespace editor
