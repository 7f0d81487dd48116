// The cost of one pointer event, from the platform's mouse event to the
// repainted canvas, in each state that repaints; beside it the floor: a
// memset of the canvas bitmap's 737,280 bytes.
#include <benchmark/benchmark.h>

#include "floor.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "editor/editor_window.h"
#include "editor/event_loop.h"
#include "editor/history.h"
#include "editor/selection.h"
#include "lores/lores_page.h"
#include "windowing/windowing.h"

namespace {

editor::EditorState* state = nullptr;
QWidget* canvas = nullptr;

void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), QPointF(canvas->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(canvas, &e);
}

// Everything the loop does with the events one mouse event queued.
void Handle() {
    constexpr int done = 0x7FFF0000;
    windowing::PostEvent(done, 0, 0, 0, nullptr, nullptr);
    for (int e; (e = windowing::WaitForEvent()) != done;) editor::HandleEvent(*state, e);
}

void Command(int id) { editor::CarryOutCommand(*state, id); }

void BM_FloorMemsetCanvas(benchmark::State& state) { MemsetCanvasFloor(state); }
BENCHMARK(BM_FloorMemsetCanvas);

void MoveLoop(benchmark::State& st, Qt::MouseButtons held = Qt::NoButton) {
    int i = 0;
    for (auto _ : st) {
        ++i;
        Send(QEvent::MouseMove, QPoint(100 + i % 200, 100 + i % 100), Qt::NoButton, held);
        Handle();
    }
}

void BM_PointerPlainMove(benchmark::State& st) {
    Command(editor::CommandId::PenTool);
    MoveLoop(st);
}
BENCHMARK(BM_PointerPlainMove);

// The same with the grid drawn over the picture (the status line is always there).
void BM_PointerPlainMoveWithGrid(benchmark::State& st) {
    Command(editor::CommandId::PenTool);
    Command(editor::CommandId::ToggleGrid);
    MoveLoop(st);
    Command(editor::CommandId::ToggleGrid);
}
BENCHMARK(BM_PointerPlainMoveWithGrid);

// The mixed view switched on or off: every box and character drawn again.
void BM_ToggleMixedView(benchmark::State& st) {
    for (auto _ : st) Command(editor::CommandId::ToggleMixedView);
}
BENCHMARK(BM_ToggleMixedView);

// A press and release: with the line or circle tool, the anchor.
void Click(QPoint at) {
    Send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Handle();
    Send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    Handle();
}

void BM_PointerLinePreview(benchmark::State& st) {
    Command(editor::CommandId::LineTool);
    Click(QPoint(20, 20));
    MoveLoop(st);
}
BENCHMARK(BM_PointerLinePreview);

void BM_PointerCirclePreview(benchmark::State& st) {
    Command(editor::CommandId::CircleTool);
    Click(QPoint(320, 192));
    MoveLoop(st);
}
BENCHMARK(BM_PointerCirclePreview);

// A 20x20 selection of the picture carried with the pointer, the same
// moves as the circle's: what it costs per move is to stay within what the
// rubber-band circle costs.
void BM_PointerSelectionMove(benchmark::State& st) {
    Command(editor::CommandId::SelectTool);
    Send(QEvent::MouseButtonPress, QPoint(16 * 2 + 5, 8 * 10 + 3), Qt::LeftButton, Qt::LeftButton);
    Handle();
    Send(QEvent::MouseMove, QPoint(16 * 21 + 5, 8 * 29 + 3), Qt::NoButton, Qt::LeftButton);
    Handle();
    Send(QEvent::MouseButtonRelease, QPoint(16 * 21 + 5, 8 * 29 + 3), Qt::LeftButton, Qt::NoButton);
    Handle();
    Send(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
    Handle();
    MoveLoop(st, Qt::LeftButton);
    editor::DropSelection(*state);
    Send(QEvent::MouseButtonRelease, QPoint(100, 100), Qt::LeftButton, Qt::NoButton);
    Handle();
}
BENCHMARK(BM_PointerSelectionMove);

void BM_PointerFill(benchmark::State& st) {
    Command(editor::CommandId::FillTool);
    for (auto _ : st) {
        // A colour the ground does not have yet, so that every press fills.
        Command(lores::PixelAt(state->workingPage(), 0, 0) == 1 ? 2 : 1);
        Click(QPoint(5, 5));
    }
}
BENCHMARK(BM_PointerFill);

// A stroke held: each move joined to the cell before, whether it is the
// next cell (what a held move cost before strokes were joined: one dot)
// or three cells away. The colour changes now and then so that the cells
// keep changing.
void StrokeLoop(benchmark::State& st, int step) {
    Command(editor::CommandId::PenTool);
    Send(QEvent::MouseButtonPress, QPoint(5, 3), Qt::LeftButton, Qt::LeftButton);
    Handle();
    int i = 0;
    for (auto _ : st) {
        ++i;
        const int at = i * step;
        if (at % 40 < step) Command(at / 40 % 2 ? 3 : 12);
        const QPoint p(16 * (at % 40) + 5, 8 * (at / 40 % 2) + 3);
        Send(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
        Handle();
    }
    Send(QEvent::MouseButtonRelease, QPoint(5, 3), Qt::LeftButton, Qt::NoButton);
    Handle();
}
void BM_PointerPenStrokeNextCell(benchmark::State& st) { StrokeLoop(st, 1); }
BENCHMARK(BM_PointerPenStrokeNextCell);
void BM_PointerPenStrokeThreeCells(benchmark::State& st) { StrokeLoop(st, 3); }
BENCHMARK(BM_PointerPenStrokeThreeCells);

// Frames: a pen dot (an edit and its step) on a picture of one frame, and
// on frame 200 of 256; a frame switch beside the same change of the page
// on one frame (a step back and forth).
void PenDots(benchmark::State& st) {
    Command(editor::CommandId::PenTool);
    int i = 0;
    for (auto _ : st) {
        ++i;
        Command(i % 2 ? 3 : 12);
        Click(QPoint(16 * (i % 40) + 5, 8 * (i / 40 % 48) + 3));
    }
}

void SetFrames(std::size_t count, std::size_t shown) {
    documents::Frames& f = state->frames;
    f.pages.assign(count, lores::LoresPage{});
    // Each frame unlike its neighbours in every box, as a scroll leaves the page.
    for (std::size_t k = 1; k < count; ++k)
        for (std::size_t i = 0; i < lores::PageBytes; ++i) f.pages[k][i] = static_cast<std::uint8_t>(i * 7 + k * 0x11);
    f.shown = shown;
    f.structure++;
    state->workingPage() = f.pages[shown];
    editor::ResetHistory(*state);
}

void BM_FramesPenDotOneFrame(benchmark::State& st) {
    SetFrames(1, 0);
    PenDots(st);
}
BENCHMARK(BM_FramesPenDotOneFrame);

void BM_FramesPenDotOnFrame200Of256(benchmark::State& st) {
    SetFrames(256, 199);
    PenDots(st);
    SetFrames(1, 0);
}
BENCHMARK(BM_FramesPenDotOnFrame200Of256);

// The same page change on a picture of one frame: a step back and forth
// over a change of every box.
void BM_FramesUndoOneFrame(benchmark::State& st) {
    SetFrames(2, 0);
    const lores::LoresPage other = state->frames.pages[1];
    SetFrames(1, 0);
    state->workingPage() = other;
    editor::RecordHistory(*state);
    int i = 0;
    for (auto _ : st) Command(++i % 2 ? editor::CommandId::HistoryBack : editor::CommandId::HistoryForward);
}
BENCHMARK(BM_FramesUndoOneFrame);

void BM_FramesSwitchOf256(benchmark::State& st) {
    SetFrames(256, 199);
    int i = 0;
    for (auto _ : st) Command(++i % 2 ? editor::CommandId::NextFrame : editor::CommandId::PreviousFrame);
    SetFrames(1, 0);
}
BENCHMARK(BM_FramesSwitchOf256);

// The console's report, and the ratio the selection's move is held to.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) perMove_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double move = perMove_["BM_PointerSelectionMove"], circle = perMove_["BM_PointerCirclePreview"];
        if (move > 0 && circle > 0)
            std::printf("selection move per pointer move: %.2f of the rubber-band circle's (at most 1)\n", move / circle);
        const double one = perMove_["BM_FramesPenDotOneFrame"], many = perMove_["BM_FramesPenDotOnFrame200Of256"];
        const double scroll = perMove_["BM_FramesUndoOneFrame"], flip = perMove_["BM_FramesSwitchOf256"];
        if (one > 0 && many > 0 && scroll > 0 && flip > 0)
            std::printf("frames: a pen dot on frame 200 of 256 %.2f of one on a single frame; a frame switch %.2f of "
                        "the same page change on a single frame (about 1 each)\n", many / one, flip / scroll);
    }

private:
    std::map<std::string, double> perMove_;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    editor::EditorState s;
    state = &s;
    if (!editor::StartUp(s)) return 1;
    QCoreApplication::processEvents();
    canvas = reinterpret_cast<QWidget*>(windowing::WindowHandle(0))->findChild<QWidget*>("canvas0");
    Send(QEvent::MouseMove, QPoint(1, 1), Qt::NoButton, Qt::NoButton);  // enter the canvas
    Handle();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    editor::ShutDown(s);
    return 0;
}
