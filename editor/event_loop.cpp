#include "editor/event_loop.h"

#include <algorithm>

#include "documents/documents.h"
#include "editor/editor_window.h"
#include "editor/history.h"
#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/recovery.h"
#include "editor/selection.h"
#include "editor/status_line.h"
#include "editor/tools.h"
#include "editor/typing.h"
#include "editor/zoom.h"
#include "lores/drawing.h"
#include "lores/text_glyphs.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

// Escape pressed since the previous poll, whether or not it is still down
// (a press and its release handled in one pass of the platform's queue).
constexpr std::int16_t EscapePressedSince = 1;

void ChooseTool(EditorState& state, Tool tool, int id) {
    EndTyping(state);
    // Another tool keeps the selection's pixels and drops its outline.
    if (tool != state.currentTool) DropSelection(state);
    state.currentTool = tool;
    if (tool == Tool::Line) state.lineAnchor = NoAnchor;
    if (tool == Tool::Circle) state.circleAnchor = NoAnchor;
    state.shapeAnchor = NoAnchor;
    SelectToolButton(id);
}

// The tool's handling of the pointer at cell, with the left button held
// (pressed now, or a drag) or not (a move).
void PointerAt(EditorState& state, Cell cell, bool leftHeld, bool pressed) {
    UpdatePointer(state, cell);
    Selecting& select = state.select;
    // The press that put a paste down draws nothing until its release.
    if (select.pressTaken && leftHeld && !pressed) {
        RedrawPage(state);
        return;
    }
    select.pressTaken = false;
    if (select.floating) {
        select.pressTaken = pressed;
        PastePointer(state, pressed);
        return;
    }
    if (state.currentTool == Tool::Select) {
        SelectPointer(state, cell, pressed ? PointerPhase::Press : leftHeld ? PointerPhase::Drag : PointerPhase::Hover);
        return;
    }
    if (state.currentTool == Tool::Text && leftHeld) {
        // A press on the text lines puts the cursor there; anywhere else ends typing.
        if (OnTextLines(state, cell) && cell.x >= 0 && cell.x < lores::PageWidth) StartTyping(state, cell);
        else EndTyping(state);
        RedrawPage(state);
        return;
    }
    if (OnTextLines(state, cell)) {
        RedrawPage(state);
        return;
    }
    switch (state.currentTool) {
    case Tool::Pen: PenPointer(state, leftHeld); break;
    case Tool::Line: LinePointer(state, leftHeld); break;
    case Tool::Circle: CirclePointer(state, leftHeld); break;
    case Tool::Fill: FillPointer(state, leftHeld); break;
    case Tool::Rectangle:
    case Tool::FilledRectangle:
    case Tool::FilledCircle: ShapePointer(state, leftHeld); break;
    case Tool::Text:
    case Tool::Select: RedrawPage(state); break;
    }
}

// Keyboard drawing: the arrows move the highlighted cell as a pointer move
// to it would, Space presses there. With a selection the arrows move it.
void KeyPointer(EditorState& state, int dx, int dy, bool press) {
    if (!press && state.currentTool == Tool::Select && MoveSelectionBy(state, dx, dy)) return;
    const Cell c{std::clamp(state.pointerCell.x + dx, 0, lores::PageWidth - 1),
                 std::clamp(state.pointerCell.y + dy, 0, lores::PageHeight - 1)};
    state.highlightFromState = true;
    PointerAt(state, c, press, press);
    // A key's press is its release too.
    if (press && state.currentTool == Tool::Select) SelectPointer(state, c, PointerPhase::Release);
    state.select.pressTaken = false;
    state.highlightFromState = false;
}

// The colour of a cell becomes the current colour, as its swatch would make it.
void PickColourAt(EditorState& state, Cell c) {
    if (OnPage(c) && !OnTextLines(state, c)) CarryOutCommand(state, lores::PixelAt(state.workingPage(), c.x, c.y));
}

// A change of how the page is shown: every box is drawn again.
template <typename Change>
void ChangeView(EditorState& state, Change change) {
    change();
    state.shown.drawSerial = 0;
    RedrawAtPointerCell(state);
}

void Scroll(EditorState& state, lores::ScrollDirection direction) {
    lores::ScrollPage(state.workingPage(), direction, DrawableRows(state));
    state.pictureChanged = true;
    RedrawPage(state);
}

// The keyboard's popup opens where the pointer's cell is (kept on the page).
void ShowPopupAtPointerCell(EditorState& state) {
    const int x = std::clamp(state.pointerCell.x, 0, lores::PageWidth - 1);
    const int y = std::clamp(state.pointerCell.y, 0, lores::PageHeight - 1);
    const int z = state.zoom;
    windowing::ShowPopupAt(PopupNumber, windowing::WindowHandle(WindowNumber), z * (CellWidth * x + CellWidth / 2),
                           CanvasTop + z * (CellHeight * y + CellHeight / 2));
}

// What only keys ask for: the view, the history, the colour and the
// keyboard's pointer.
void CarryOutKeyCommand(EditorState& state, int id) {
    switch (id) {
    case CommandId::ShowPopupMenu: ShowPopupAtPointerCell(state); break;
    case CommandId::ZoomIn: ApplyZoom(state, state.zoom + 1, true); break;
    case CommandId::ZoomOut: ApplyZoom(state, state.zoom - 1, true); break;
    case CommandId::ZoomReset: ApplyZoom(state, 1, true); break;
    case CommandId::HistoryBack: StepBack(state); break;
    case CommandId::HistoryForward: StepForward(state); break;
    case CommandId::PickColour: PickColourAt(state, state.pointerCell); break;
    case CommandId::CellLeft: KeyPointer(state, -1, 0, false); break;
    case CommandId::CellRight: KeyPointer(state, 1, 0, false); break;
    case CommandId::CellUp: KeyPointer(state, 0, -1, false); break;
    case CommandId::CellDown: KeyPointer(state, 0, 1, false); break;
    case CommandId::PressOnCell: KeyPointer(state, 0, 0, true); break;
    case CommandId::PreviousColour: CarryOutCommand(state, (state.currentColour + 15) % 16); break;
    case CommandId::NextColour: CarryOutCommand(state, (state.currentColour + 1) % 16); break;
    case CommandId::ShowAbout: ShowAboutBox(); break;
    case CommandId::ToggleGrid: ChangeView(state, [&] { state.showGrid = !state.showGrid; }); break;
    case CommandId::ToggleMixedView: ChangeView(state, [&] { SetMixedView(state, !state.mixedView); }); break;
    case CommandId::NextPalette:
        ChangeView(state, [&] {
            state.palette = (state.palette + 1) % static_cast<int>(lores::Palettes().size());
            PaintSwatches(state);
        });
        break;
    default: break;  // not a command of this program
    }
}

}  // namespace

documents::Document DocumentOf(EditorState& state) {
    return {state.workingPage(), state.fileName, state.confirmFileName, state.pictureChanged,
            [&state] { RedrawPage(state); }, state.lastFolder};
}

bool MayDiscardPicture(EditorState& state) {
    if (!state.pictureChanged) return true;
    switch (windowing::AskToSaveChanges(state.titleText.c_str(), SaveChangesQuestion)) {
    case windowing::SaveChangesAnswer::Save: {
        documents::Document doc = DocumentOf(state);
        return documents::SaveDocument(doc);
    }
    case windowing::SaveChangesAnswer::Discard: return true;
    case windowing::SaveChangesAnswer::Cancel: break;
    }
    return false;
}

void CarryOutCommand(EditorState& state, int id) {
    state.select.notice.clear();
    if (id >= CommandId::FirstColour && id <= CommandId::LastColour) {
        state.currentColour = id;  // shown by the highlight at the next repaint
        return;
    }
    documents::Document doc = DocumentOf(state);
    switch (id) {
    case CommandId::NewPicture:
        if (MayDiscardPicture(state)) documents::NewDocument(doc);
        break;
    case CommandId::OpenPicture:
        if (MayDiscardPicture(state)) documents::OpenDocument(doc);
        break;
    case CommandId::SavePicture: documents::SaveDocument(doc); break;
    case CommandId::LineTool: ChooseTool(state, Tool::Line, id); break;
    case CommandId::CircleTool: ChooseTool(state, Tool::Circle, id); break;
    case CommandId::FillTool: ChooseTool(state, Tool::Fill, id); break;
    case CommandId::PenTool: ChooseTool(state, Tool::Pen, id); break;
    case CommandId::RectangleTool: ChooseTool(state, Tool::Rectangle, id); break;
    case CommandId::FilledRectangleTool: ChooseTool(state, Tool::FilledRectangle, id); break;
    case CommandId::FilledCircleTool: ChooseTool(state, Tool::FilledCircle, id); break;
    case CommandId::FlipLeftRight:
    case CommandId::FlipTopBottom:
        if (FlipSelection(state, id == CommandId::FlipLeftRight)) break;
        lores::FlipPage(state.workingPage(), id == CommandId::FlipLeftRight, DrawableRows(state));
        state.pictureChanged = true;
        RedrawAtPointerCell(state);
        break;
    case CommandId::SelectTool: ChooseTool(state, Tool::Select, id); break;
    case CommandId::SelectAll:
        ChooseTool(state, Tool::Select, id);
        SelectAll(state);
        break;
    case CommandId::CopySelection: CopySelection(state, false); break;
    case CommandId::CutSelection: CopySelection(state, true); break;
    case CommandId::DeleteSelection: DeleteSelection(state); break;
    case CommandId::Paste: Paste(state); break;
    case CommandId::PutDownPaste: PutDownPaste(state); break;
    case CommandId::MirrorLeftRight: state.mirrorLeftRight = !state.mirrorLeftRight; break;
    case CommandId::MirrorTopBottom: state.mirrorTopBottom = !state.mirrorTopBottom; break;
    case CommandId::TextTool:
        ChooseTool(state, Tool::Text, id);
        if (!state.mixedView) ChangeView(state, [&] { SetMixedView(state, true); });
        break;
    case CommandId::Undo:
        if (state.undoAvailable == 1) {
            state.undoAvailable = 0;
            lores::CopyPage(state.workingPage(), state.undoCopy());
            state.pictureChanged = true;
            RedrawPage(state);
        }
        break;
    case CommandId::SavePictureAs: documents::SaveDocumentAs(doc); break;
    case CommandId::ExportPicture: documents::ExportPicture(doc, state.colours()); break;
    case CommandId::MakeBootDisk: documents::MakeBootDisk(doc, state.mixedView); break;
    case CommandId::ScrollLeft: Scroll(state, lores::ScrollDirection::Left); break;
    case CommandId::ScrollRight: Scroll(state, lores::ScrollDirection::Right); break;
    case CommandId::ScrollUp: Scroll(state, lores::ScrollDirection::Up); break;
    case CommandId::ScrollDown: Scroll(state, lores::ScrollDirection::Down); break;
    default: CarryOutKeyCommand(state, id); break;
    }
}

void HandlePointer(EditorState& state, bool pressed) {
    const bool leftHeld = windowing::CanvasAttribute(CanvasNumber, windowing::CanvasButtons) & 1;
    const Cell cell = PointerCellOfCurrentEvent();
    if (pressed) state.select.notice.clear();
    // A pen stroke is one step of the history, from the press to the release.
    state.penStroke = leftHeld && state.currentTool == Tool::Pen && !OnTextLines(state, cell) &&
                      !state.select.floating && !state.select.pressTaken;
    PointerAt(state, cell, leftHeld, pressed && leftHeld);
}

bool HandleEvent(EditorState& state, int event) {
    if (event == windowing::MenuEvent) {
        CarryOutCommand(state, windowing::CurrentMenuItem());
    } else if (event == windowing::GadgetEvent && windowing::CurrentGadget() == CanvasNumber) {
        const int type = windowing::CurrentEventType();
        if (type == windowing::CanvasRightButtonDown) {
            windowing::ShowPopup(PopupNumber, windowing::WindowHandle(WindowNumber));
        } else if (type == windowing::CanvasLeftButtonDown || type == windowing::CanvasPointerMoved) {
            HandlePointer(state, type == windowing::CanvasLeftButtonDown);
        } else if (type == windowing::CanvasLeftButtonUp) {
            state.penStroke = false;
            state.select.pressTaken = false;
            if (state.currentTool == Tool::Select) SelectPointer(state, PointerCellOfCurrentEvent(), PointerPhase::Release);
        } else if (type == windowing::CanvasMiddleButtonDown) {
            PickColourAt(state, PointerCellOfCurrentEvent());
        } else if (type == windowing::CanvasCharacterTyped || type == windowing::CanvasKeyDown) {
            TypeFromEvent(state, type);
        }
    } else if (event == windowing::FileDropEvent) {
        const std::string path = windowing::DroppedFile();
        documents::Document doc = DocumentOf(state);
        if (!path.empty() && MayDiscardPicture(state)) documents::OpenPath(doc, path);
    }
    // Platform input that queued no event of ours changed nothing here
    // (but for the typing cursor's blinking, which the wake-ups are for).
    if (event == windowing::PlatformMessage) {
        BlinkCursor(state);
        return true;
    }
    RecordHistory(state);
    UpdateStatusLine(state);
    // The close box ends the program unless an unsaved picture is kept.
    if (event == windowing::CloseEvent) return !MayDiscardPicture(state);
    return true;
}

void RunEventLoop(EditorState& state) {
    for (;;) {
        const int event = windowing::WaitForEvent();
        // Escape ends the program before the event that woke the loop is
        // handled; kept from ending it, the loop carries on with that event.
        if (windowing::EscapeKeyState() & EscapePressedSince) {
            // While typing, Escape ends the typing, not the program.
            if (Typing(state)) EndTyping(state);
            // With a selection or a floating paste, Escape takes it away.
            else if (DropSelection(state)) UpdateStatusLine(state);
            else if (MayDiscardPicture(state)) return;
        }
        if (!HandleEvent(state, event)) return;
        if (!state.recovery) continue;
        KeepRecovery(*state.recovery, state.workingPage(), state.pictureChanged, state.fileName);
        // A copy that could not be written is said on the status line until one is.
        if (state.recovery->failure != state.shown.status.recoveryFailure) UpdateStatusLine(state);
    }
}

}  // namespace editor
