// Drawing as the hand expects, through the real loop: a shape dragged from
// press to release is the shape two presses make at the same cells, one
// step; a stroke of jumps is joined; the spray, Replace Colour, Pattern
// Fill and the brush.
#include <QTest>

#include "editor/commands.h"
#include "editor/history.h"
#include "editor/tools.h"
#include "editor/tools/tool.h"
#include "editor_fixture.h"
#include "lores/drawing.h"

using namespace editor;
namespace CommandId = editor::CommandId;

class DrawingGestures : public EditorFixture {
protected:
    void Press(Cell c) {
        qtdriver::Press(canvas, At(c.x, c.y));
        Pump();
    }
    void Release(Cell c) {
        qtdriver::Release(canvas, At(c.x, c.y));
        Pump();
    }
    void Fresh() {
        s.workingPage() = lores::LoresPage{};
        s.frames.pages = {s.workingPage()};
        ResetHistory(s);
    }
};

TEST_F(DrawingGestures, ADraggedShapeIsTheShapeOfTwoPressesInOneStep) {
    s.currentColour = 13;
    for (const int tool : {CommandId::LineTool, CommandId::CircleTool, CommandId::RectangleTool,
                           CommandId::FilledRectangleTool, CommandId::FilledCircleTool, CommandId::EllipseTool,
                           CommandId::FilledEllipseTool}) {
        Command(tool);
        Fresh();
        PressAt(5, 5);
        PressAt(20, 10);
        const lores::LoresPage twoPresses = s.workingPage();
        Fresh();
        Press({5, 5});
        for (const Cell c : {Cell{9, 6}, Cell{30, 30}, Cell{12, 3}, Cell{20, 10}}) DragTo(At(c.x, c.y));
        EXPECT_EQ(s.workingPage(), lores::LoresPage{}) << tool << ": until the release only the rubber band shows";
        Release({20, 10});
        EXPECT_EQ(s.workingPage(), twoPresses) << tool;
        EXPECT_NE(s.workingPage(), lores::LoresPage{}) << tool;
        EXPECT_EQ(s.history.at, 1u) << tool << ": one step";
        // Escape while dragging takes the shape away; the release draws nothing.
        Fresh();
        Press({5, 5});
        DragTo(At(15, 9));
        EXPECT_TRUE(CancelShape(s));
        DragTo(At(18, 9));
        Release({18, 9});
        EXPECT_EQ(s.workingPage(), lores::LoresPage{}) << tool;
    }
    // The ellipse fits its box: its outline touches the four sides, the filled one is the outline's inside.
    lores::LoresPage outline{}, filled{};
    lores::DrawEllipse(outline, 5, 5, 20, 10, 1);
    lores::FillEllipse(filled, 5, 5, 20, 10, 1);
    for (const Cell c : {Cell{5, 7}, Cell{20, 8}, Cell{12, 5}, Cell{13, 10}}) EXPECT_EQ(lores::PixelAt(outline, c.x, c.y), 1);
    EXPECT_EQ(lores::PixelAt(outline, 12, 7), 0);
    EXPECT_EQ(lores::PixelAt(filled, 12, 7), 1);
    EXPECT_EQ(lores::PixelAt(filled, 5, 5), 0) << "not the box's corner";
}

TEST_F(DrawingGestures, StrokesAreJoinedAndTheNewToolsDrawAsTheySay) {
    Command(CommandId::PenTool);
    s.currentColour = 9;
    Fresh();
    Press({2, 2});
    DragTo(At(12, 2));
    DragTo(At(12, 12));
    DragTo(At(2, 42));
    Release({2, 42});
    lores::LoresPage model{};
    lores::DrawLine(model, 2, 2, 12, 2, 9);
    lores::DrawLine(model, 12, 2, 12, 12, 9);
    lores::DrawLine(model, 12, 12, 2, 42, 9);
    EXPECT_EQ(s.workingPage(), model);
    EXPECT_EQ(s.history.at, 1u);

    // A brush of 3 stamps 3x3 squares; kept for the next start.
    Command(CommandId::FirstBrushSize + 2);
    Fresh();
    PressAt(10, 10);
    for (int y = 8; y <= 12; ++y)
        for (int x = 8; x <= 12; ++x) EXPECT_EQ(Pixel(x, y), std::abs(x - 10) <= 1 && std::abs(y - 10) <= 1 ? 9 : 0) << x << "," << y;
    EXPECT_EQ(LoadBrushSize(), 3);
    Command(CommandId::FirstBrushSize);

    // Replace Colour: every cell of the colour pressed, in the selection if there is one.
    Command(CommandId::ReplaceColourTool);
    Fresh();
    for (int x = 0; x < 40; x += 3) lores::PlotPixel(s.workingPage(), x, x % 48, 4);
    s.currentColour = 6;
    PressAt(3, 3);
    for (int x = 0; x < 40; ++x) EXPECT_EQ(Pixel(x, x % 48), x % 3 ? 0 : 6) << x;
    EXPECT_EQ(s.history.at, 1u);

    // Pattern Fill: the area a checkerboard of the current colour and the one current before it.
    Command(2);
    Command(5);
    Command(CommandId::PatternFillTool);
    Fresh();
    lores::DrawRectangle(s.workingPage(), 4, 4, 9, 8, 1);
    PressAt(6, 6);
    for (int y = 4; y <= 8; ++y)
        for (int x = 4; x <= 9; ++x) {
            const bool inside = x > 4 && x < 9 && y > 4 && y < 8;
            EXPECT_EQ(Pixel(x, y), inside ? ((x + y) % 2 ? 2 : 5) : 1) << x << "," << y;
        }
    EXPECT_EQ(Pixel(0, 0), 0) << "outside the outline nothing";

    // The spray: seeded, its drops near the pointer and nowhere else, more
    // at each wake-up while the button rests; the whole spray one step.
    Command(CommandId::SprayTool);
    Fresh();
    s.sprayRandom = 12345;
    Press({20, 20});
    for (int k = 0; k < 5; ++k) {
        s.nextSprayAt = std::chrono::steady_clock::now();
        windowing::PostEvent(windowing::PlatformMessage, 0, 0, 0, nullptr, nullptr);
        Pump();
    }
    Release({20, 20});
    int drops = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 40; ++x)
            if (Pixel(x, y)) {
                ++drops;
                EXPECT_LE((x - 20) * (x - 20) + 4 * (y - 20) * (y - 20), 9) << x << "," << y;
            }
    EXPECT_GE(drops, 3);
    EXPECT_EQ(s.history.at, 1u);
}

// Every tool the command table names: chosen by its row, it is the current
// tool; a drag over seven cells with one whose drag is a stroke draws and
// is one step of the history, not seven.
TEST_F(DrawingGestures, EveryToolIsItsRowsAndAStrokeIsOneStep) {
    int strokes = 0;
    for (const editor::Command& c : Commands()) {
        if (!c.tool) continue;
        Command(c.id);
        EXPECT_EQ(&tools::Current(s), &c.tool()) << c.id;
        if (!c.tool().Stroke()) continue;
        ++strokes;
        Fresh();
        s.currentColour = 9;
        Press({3, 3});
        for (int x = 4; x <= 10; ++x) DragTo(At(x, 3));
        Release({10, 3});
        EXPECT_NE(s.workingPage(), lores::LoresPage{}) << c.id;
        EXPECT_EQ(s.history.at, 1u) << c.id << ": one drag, one step";
    }
    EXPECT_GE(strokes, 2) << "the pen and the spray at least";

    // A rubber band drawn with a wide brush changes nothing: the picture is
    // not marked changed by a hover.
    Command(CommandId::LineTool);
    Command(CommandId::FirstBrushSize + 2);
    Fresh();
    s.pictureChanged = false;
    PressAt(5, 5);
    MoveTo(20, 10);
    EXPECT_EQ(s.workingPage(), lores::LoresPage{});
    EXPECT_FALSE(s.pictureChanged) << "a band is not a change";
    Command(CommandId::FirstBrushSize);
}
