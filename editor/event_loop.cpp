#include "editor/document_commands.h"
#include "editor/event_loop.h"

#include <algorithm>

#include "documents/documents.h"
#include "editor/commands.h"
#include "editor/editor_window.h"
#include "editor/frames.h"
#include "editor/history.h"
#include "editor/mixed_view.h"
#include "editor/page_view.h"
#include "editor/recent_files.h"
#include "editor/recovery.h"
#include "editor/selection.h"
#include "editor/status_line.h"
#include "editor/tools.h"
#include "editor/tools/tool.h"
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

}  // namespace

void PointerAt(EditorState& state, Cell cell, bool leftHeld, bool pressed) {
    UpdatePointer(state, cell);
    Selecting& select = state.select;
    // The press that put a paste down draws nothing until its release.
    if (select.pressTaken && leftHeld && !pressed) {
        RedrawAtPointerCell(state);
        return;
    }
    select.pressTaken = false;
    if (select.floating) {
        select.pressTaken = pressed;
        PastePointer(state, pressed);
        return;
    }
    ToolPointer(state, pressed ? PointerPhase::Press : leftHeld ? PointerPhase::Drag : PointerPhase::Hover);
}

void CarryOutCommand(EditorState& state, int id) {
    state.notice.clear();
    if (id >= CommandId::FirstColour && id <= CommandId::LastColour) {
        state.currentColour = id;  // shown by the highlight at the next repaint
        return;
    }
    if (id >= CommandId::FirstRecentFile && id < CommandId::FirstRecentFile + static_cast<int>(RecentFilesKept)) {
        OpenRecentFile(state, static_cast<std::size_t>(id - CommandId::FirstRecentFile));
        return;
    }
    const Command* command = FindCommand(id);
    if (!command) return;  // not a command of this program
    if (command->tool) ChooseTool(state, command->tool(), id);
    else if (command->run) command->run(state);
}

void HandlePointer(EditorState& state, bool pressed) {
    const bool leftHeld = windowing::CanvasAttribute(CanvasNumber, windowing::CanvasButtons) & 1;
    const Cell cell = PointerCellOfCurrentEvent();
    if (pressed) state.notice.clear();
    // A pen stroke, or a spray, is one step of the history, from the press to the release.
    state.penStroke = leftHeld && tools::Current(state).Stroke() &&
                      !OnTextLines(state, cell) && !state.select.floating && !state.select.pressTaken;
    PointerAt(state, cell, leftHeld, pressed && leftHeld);
}

// While the frames play nothing is edited: a key or a press on the canvas
// stops them and does nothing else, a pointer move draws nothing; a command
// stops them first (Play itself only stops them).
bool StopsPlayback(EditorState& state, int event) {
    if (!state.playing) return false;
    if (event == windowing::MenuEvent) {
        StopPlayback(state);
        return windowing::CurrentMenuItem() == CommandId::TogglePlayback;
    }
    if (event == windowing::FileDropEvent) StopPlayback(state);
    if (event != windowing::GadgetEvent || windowing::CurrentGadget() != CanvasNumber) return false;
    const int type = windowing::CurrentEventType();
    if (type == windowing::CanvasWheelTurned) return false;
    if (type != windowing::CanvasPointerMoved && type != windowing::CanvasLeftButtonUp) StopPlayback(state);
    return true;
}

bool HandleEvent(EditorState& state, int event) {
    // The colour current before a change of it is the second colour (the
    // pattern fill's other one).
    struct SecondColour {
        EditorState& state;
        int before;
        ~SecondColour() {
            if (state.currentColour != before) state.secondColour = before;
        }
    } second{state, state.currentColour};
    if (StopsPlayback(state, event)) {
        UpdateStatusLine(state);
        UpdateMenuBar(state);
        return true;
    }
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
            ToolReleased(state, PointerCellOfCurrentEvent());
        } else if (type == windowing::CanvasMiddleButtonDown) {
            PickColourAt(state, PointerCellOfCurrentEvent());
        } else if (type == windowing::CanvasCharacterTyped || type == windowing::CanvasKeyDown) {
            TypeFromEvent(state, type);
        } else if (type == windowing::CanvasWheelTurned) {
            WheelZoom(state);
        }
    } else if (event == windowing::FileDropEvent) {
        OpenDroppedFile(state, windowing::DroppedFile());
    }
    // Platform input that queued no event of ours changed nothing here
    // (but for the typing cursor's blinking, which the wake-ups are for).
    if (event == windowing::PlatformMessage) {
        BlinkCursor(state);
        ToolWake(state);
        if (state.playing) {
            PlaybackStep(state);
            UpdateStatusLine(state);
        }
        return true;
    }
    RecordHistory(state);
    UpdateStatusLine(state);
    UpdateMenuBar(state);
    // The close box (or Quit) ends the program unless an unsaved picture is kept.
    const bool endAsked = event == windowing::CloseEvent || state.endAsked;
    state.endAsked = false;
    return !endAsked || !MayDiscardPicture(state);
}

void RunEventLoop(EditorState& state) {
    for (;;) {
        const int event = windowing::WaitForEvent();
        // Escape ends the program before the event that woke the loop is
        // handled; kept from ending it, the loop carries on with that event.
        if (windowing::EscapeKeyState() & EscapePressedSince) {
            // While typing, Escape ends the typing, not the program.
            if (Typing(state)) EndTyping(state);
            // With a selection or a floating paste, Escape takes it away;
            // with a shape's first press made, the shape.
            else if (DropSelection(state) || CancelShape(state)) UpdateStatusLine(state);
            else if (MayDiscardPicture(state)) return;
        }
        if (!HandleEvent(state, event)) return;
        if (!state.recovery) continue;
        KeepRecovery(*state.recovery, state.frames, state.workingPage(), state.pictureChanged, state.fileName);
        // A copy that could not be written is said on the status line until one is.
        if (state.recovery->failure != state.shown.status.recoveryFailure) UpdateStatusLine(state);
    }
}

}  // namespace editor
