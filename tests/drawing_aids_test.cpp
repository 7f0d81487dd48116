// What every paint program offers besides the tools: a history to step
// through, a colour picker, drawing from the keyboard, a grid, a status
// line and files dropped on the window. Through the real loop, offscreen.
#include <QDropEvent>
#include <functional>
#include <QMimeData>
#include <QScrollArea>
#include <QTest>
#include <QUrl>

#include "documents/documents.h"
#include "editor/history.h"
#include "editor_fixture.h"
#include "lores/drawing.h"
#include "runtime/images.h"
#include "test_files.h"

using namespace editor;
using qtdriver::DialogScript;
using namespace testfiles;

class DrawingAids : public EditorFixture {
protected:
    TempDir dir;

    void Key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QApplication::setActiveWindow(qtdriver::Window(0));
        QTest::keyClick(qtdriver::Window(0), k, modifiers);
        Pump();
    }
    void Back() { Key(Qt::Key_Z, Qt::ControlModifier); }
    void Forward() { Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }
    std::string Status() { return windowing::StatusLineText(WindowNumber); }
};

TEST_F(DrawingAids, EveryKindOfChangeIsOneStepBackAndForth) {
    std::vector<lores::LoresPage> pages{s.workingPage()};
    const auto step = [&](auto change) {
        change();
        pages.push_back(s.workingPage());
        ASSERT_NE(pages.back(), pages[pages.size() - 2]);
    };
    // A pen stroke from press to release is one step, however many cells.
    step([&] {
        qtdriver::Press(canvas, At(1, 1));
        Pump();
        for (int x = 2; x < 6; ++x) DragTo(At(x, 1));
        qtdriver::Release(canvas, At(5, 1));
        Pump();
    });
    step([&] { Command(CommandId::LineTool), PressAt(1, 5), PressAt(9, 9); });
    step([&] { Command(CommandId::CircleTool), PressAt(20, 20), PressAt(23, 20); });
    step([&] { Command(CommandId::Undo); });  // the toolbar's one-level undo is a step of its own
    step([&] { Command(4), Command(CommandId::FillTool), PressAt(2, 2); });
    step([&] { Command(CommandId::ScrollLeft); });
    WriteAll(dir / "page", Pattern(1024, 3));
    step([&] {
        DialogScript script;
        script.Answer(QMessageBox::Discard);
        script.Choose(dir / "page");
        Command(CommandId::OpenPicture);
    });
    EXPECT_FALSE(s.pictureChanged);
    step([&] { Command(CommandId::PenTool), PressAt(30, 30); });
    for (std::size_t i = pages.size() - 1; i-- > 0;) {
        Back();
        ASSERT_EQ(s.workingPage(), pages[i]) << "step " << i;
        // Unchanged exactly where the page is the opened file's.
        EXPECT_EQ(s.pictureChanged, pages[i] != pages[7]) << "step " << i;
    }
    Back();
    EXPECT_EQ(s.workingPage(), pages[0]) << "nothing before the first step";
    Forward();
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(s.workingPage(), pages[2]);
    EXPECT_EQ(Shown(3 * 16 + 8, 1 * 8 + 4), Palette(15)) << "the canvas shows the step";

    // A new change drops the steps ahead of it.
    Command(CommandId::ScrollUp);
    const lores::LoresPage scrolled = s.workingPage();
    Forward();
    EXPECT_EQ(s.workingPage(), scrolled);
    Back();
    EXPECT_EQ(s.workingPage(), pages[2]);

    // New is a step, and far more than 256 steps are kept.
    DialogScript discard;
    discard.Answer(QMessageBox::Discard);
    Command(CommandId::NewPicture);
    for (int i = 0; i < 300; ++i) PressAt(i % 40, i / 40);
    for (int i = 0; i < 300; ++i) Back();
    EXPECT_EQ(s.workingPage(), lores::LoresPage{}) << "back to the new picture";
    EXPECT_FALSE(s.pictureChanged);
}

TEST_F(DrawingAids, PickerKeyboardDrawingAndColourKeys) {
    // The apple's cell (12, 17) is colour 13: the middle button picks it up.
    qtdriver::Press(canvas, At(12, 17), Qt::MiddleButton);
    Pump();
    EXPECT_EQ(s.currentColour, 13);
    MoveTo(2, 2);
    Key(Qt::Key_K);
    EXPECT_EQ(s.currentColour, lores::PixelAt(s.workingPage(), 2, 2));
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(s.currentColour, (lores::PixelAt(s.workingPage(), 2, 2) + 1) % 16);
    Command(15);
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(s.currentColour, 0) << "round from the last colour to the first";
    Key(Qt::Key_BracketLeft);
    Key(Qt::Key_BracketLeft);
    EXPECT_EQ(s.currentColour, 14);

    // A line from the keyboard: Space, arrows (a rubber band), Space.
    Key(Qt::Key_L);
    Key(Qt::Key_Space);
    for (int i = 0; i < 4; ++i) Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    EXPECT_EQ(Title(), "Vornel 0.2 x:6,y:3");
    EXPECT_EQ(Shown(3 * 16 + 8, 2 * 8 + 4), Palette(14)) << "the rubber band follows the keys";
    Key(Qt::Key_Space);
    lores::LoresPage expected = s.undoCopy();
    lores::DrawLine(expected, 2, 2, 6, 3, 14);
    EXPECT_EQ(s.workingPage(), expected);

    // A fill from the keyboard, in a closed box.
    DialogScript discard;
    discard.Answer(QMessageBox::Discard);
    Command(CommandId::NewPicture);
    for (int i = 0; i < 5; ++i) {
        lores::PlotPixel(s.workingPage(), 10 + i, 10, 1), lores::PlotPixel(s.workingPage(), 10 + i, 14, 1);
        lores::PlotPixel(s.workingPage(), 10, 10 + i, 1), lores::PlotPixel(s.workingPage(), 14, 10 + i, 1);
    }
    MoveTo(11, 12);
    Key(Qt::Key_Right);
    Key(Qt::Key_F);
    Key(Qt::Key_Space);
    EXPECT_EQ(lores::PixelAt(s.workingPage(), 13, 13), 14);
    EXPECT_EQ(lores::PixelAt(s.workingPage(), 15, 12), 0) << "not outside the box";
    Key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(lores::PixelAt(s.workingPage(), 9, 12), 1) << "Ctrl+Left scrolls one pixel";
}

TEST_F(DrawingAids, TheGridIsAViewOnly) {
    Key(Qt::Key_G);
    const QImage shown = canvas->grab().toImage();
    EXPECT_EQ(shown.pixel(16, 100), qRgb(128, 128, 128)) << "a line on the left of every cell";
    EXPECT_EQ(shown.pixel(100, 8 * 10), qRgb(128, 128, 128)) << "and on the top";
    EXPECT_EQ(shown.pixel(100, 8 * 40 + 1), qRgb(255, 192, 0)) << "stronger above row 40";
    EXPECT_EQ(shown.pixel(12 * 16 + 8, 17 * 8 + 4), Palette(13)) << "the cells themselves as they are";
    ASSERT_TRUE(documents::SavePagePicture(s.workingPage(), dir / "grid.png"));
    Key(Qt::Key_G);
    ASSERT_TRUE(documents::SavePagePicture(s.workingPage(), dir / "plain.png"));
    EXPECT_EQ(ReadAll(dir / "grid.png"), ReadAll(dir / "plain.png")) << "never in an export";
    EXPECT_EQ(canvas->grab().toImage().pixel(16, 100), Palette(lores::PixelAt(s.workingPage(), 1, 12)));
}

TEST_F(DrawingAids, TheStatusLineFollowsThePicture) {
    EXPECT_EQ(Status(), "x:0 y:0  [#000000] under: 0  [#ffffff] colour: 15  pen  (untitled)");
    MoveTo(12, 17);
    EXPECT_EQ(Status(), "x:12 y:17  [#ffff00] under: 13  [#ffffff] colour: 15  pen  (untitled)");
    Command(3);
    Command(CommandId::FillTool);
    PressAt(1, 1);
    s.fileName = dir / "pic.gr";
    Command(CommandId::SavePicture);
    MoveTo(1, 2);
    EXPECT_EQ(Status(), "x:1 y:2  [#cc33cc] under: 3  [#cc33cc] colour: 3  fill  pic.gr");
    Back();
    EXPECT_EQ(Status(), "x:1 y:2  [#000000] under: 0  [#cc33cc] colour: 3  fill  pic.gr  modified");
}

TEST_F(DrawingAids, AFileDroppedOnTheWindowOpens) {
    WriteAll(dir / "dropped", Pattern(1024, 5));
    const auto drop = [&] {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "dropped"))});
        QWidget* window = qtdriver::Window(0);
        QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &dropped);
        Pump();
    };
    PressAt(3, 3);
    const lores::LoresPage drawn = s.workingPage();
    DialogScript script;
    script.Answer(QMessageBox::Cancel);
    drop();
    EXPECT_EQ(s.workingPage(), drawn) << "unsaved work is asked about first";
    script.Answer(QMessageBox::Discard);
    drop();
    EXPECT_EQ(std::vector<std::uint8_t>(s.workingPage().begin(), s.workingPage().end()), Pattern(1024, 5));
    EXPECT_EQ(s.fileName, dir / "dropped");
    EXPECT_EQ(script.seen.size(), 2u);
}

// R, Shift+R and Shift+C: two presses as the line, a rubber band between
// them, one step of the history each; the status line names the tool, and no
// toolbar tool shows pressed (they have no button).
TEST_F(EditorFixture, RectanglesAndFilledShapesTakeTwoPressesAndOneStep) {
    struct Case {
        int command;
        const char* name;
        void (*model)(lores::LoresPage&, int, int, int, int, int);
    };
    const Case cases[] = {
        {CommandId::RectangleTool, "rectangle", lores::DrawRectangle},
        {CommandId::FilledRectangleTool, "filled rectangle", lores::FillRectangle},
        {CommandId::FilledCircleTool, "filled circle",
         [](lores::LoresPage& p, int x0, int y0, int x1, int y1, int c) {
             lores::FillCircle(p, x0, y0, lores::CircleRadius(x0, y0, x1, y1), c);
         }},
    };
    for (const Case& k : cases) {
        Command(CommandId::NewPicture);
        Command(k.command);
        EXPECT_NE(windowing::StatusLineText(0).find(k.name), std::string::npos) << windowing::StatusLineText(0);
        PressAt(20, 20);
        MoveTo(26, 24);  // the rubber band, not yet the page
        lores::LoresPage preview{};
        k.model(preview, 20, 20, 26, 24, s.currentColour);
        EXPECT_EQ(Shown(23 * 16 + 8, 24 * 8 + 4), Palette(lores::PixelAt(preview, 23, 24))) << "the band: " << k.name;
        EXPECT_EQ(Shown(21 * 16 + 8, 22 * 8 + 4), Palette(lores::PixelAt(preview, 21, 22))) << "the band: " << k.name;
        EXPECT_EQ(s.workingPage(), lores::LoresPage{}) << "the band is the screen's only: " << k.name;
        PressAt(26, 24);
        lores::LoresPage expected{};
        k.model(expected, 20, 20, 26, 24, s.currentColour);
        EXPECT_EQ(s.workingPage(), expected) << k.name;
        Command(CommandId::HistoryBack);
        EXPECT_EQ(s.workingPage(), lores::LoresPage{}) << "one step: " << k.name;
    }
    Command(CommandId::PenTool);
    EXPECT_NE(windowing::StatusLineText(0).find("pen"), std::string::npos);
}

// A zoom the screen has no room for (this offscreen screen is 800 wide) is
// not taken: the view stays as large as fits.
// On a screen smaller than the zoomed window (the default 800x600) the zoom
// is still taken: the window stays on the screen with its status line, the
// canvas scrolls inside it, the view follows the keyboard's cell, a press
// lands on the cell under it, and Control with the wheel zooms about the
// pointer.
TEST_F(EditorFixture, AZoomLargerThanTheScreenScrollsInsideTheWindow) {
    QWidget* window = qtdriver::Window(0);
    const QRect screen = window->screen()->availableGeometry();
    const auto cellAt = [&](QPoint inWindow) {  // the cell a press there lands on
        qtdriver::Move(canvas, canvas->mapFrom(window, inWindow));
        Pump();
        return s.pointerCell;
    };
    for (int zoom = 2; zoom <= 4; ++zoom) {
        SCOPED_TRACE(zoom);
        Command(CommandId::ZoomIn);
        ASSERT_EQ(s.zoom, zoom);
        EXPECT_EQ(canvas->size(), QSize(640 * zoom, 384 * zoom));
        EXPECT_TRUE(screen.contains(window->frameGeometry())) << "the window stays on the screen";
        const QWidget* status = window->findChild<QWidget*>(QStringLiteral("statusLine"));
        EXPECT_EQ(status->geometry().bottom(), window->height() - 1) << "the status line at the bottom, shown";
        EXPECT_EQ(status->geometry().top(), MenuBarHeight() + s.statusTop);
        // The keyboard's cell at the far corner is scrolled into view.
        for (int i = 0; i < 40; ++i) Command(CommandId::CellRight);
        for (int i = 0; i < 48; ++i) Command(CommandId::CellDown);
        const QRect view = canvas->parentWidget()->rect();  // the scrolling view's viewport
        const QPoint corner = canvas->mapTo(canvas->parentWidget(), QPoint(640 * zoom - 1, 384 * zoom - 1));
        EXPECT_TRUE(view.contains(corner)) << "the view followed the cell to (39, 47)";
        EXPECT_EQ(cellAt(canvas->mapTo(window, QPoint(640 * zoom - 1, 384 * zoom - 1))), (Cell{39, 47}));
    }
    // Control and the wheel: a step in about the pointer, which stays on its
    // cell (always possible zooming in); the wheel alone does not zoom.
    Command(CommandId::ZoomOut);
    const QPoint pointer = canvas->mapTo(window, canvas->mapFrom(canvas->parentWidget(), QPoint(300, 200)));
    const Cell under = cellAt(pointer);
    qtdriver::Wheel(canvas, 120, canvas->mapFrom(window, pointer), Qt::ControlModifier);
    Pump();
    EXPECT_EQ(s.zoom, 4);
    EXPECT_EQ(cellAt(pointer), under) << "the cell under the pointer stays under it";
    qtdriver::Wheel(canvas, -120, canvas->mapFrom(window, pointer));
    Pump();
    EXPECT_EQ(s.zoom, 4);
    Command(CommandId::ZoomReset);
    EXPECT_EQ(canvas->parentWidget(), window) << "at 1x the canvas is in the window itself again";
    EXPECT_TRUE(window->findChildren<QScrollArea*>().isEmpty()) << "and the empty view is gone";
    qtdriver::Wheel(canvas, 120, {100, 100});
    Pump();
    EXPECT_EQ(s.zoom, 1) << "the wheel alone does not zoom, scrolling or not";
    EXPECT_EQ(window->size(), QSize(640, MenuBarHeight() + 440));
}

// H and Shift+H flip the whole picture (one history step each, the screen
// holes untouched); X and Shift+X draw mirrored, four-fold with both, every
// tool against a model; a mirrored fill of an area already filled is skipped.
TEST_F(EditorFixture, FlipsAndMirrorDrawingOfEveryTool) {
    qtdriver::DialogScript script;
    Command(CommandId::NewPicture);
    for (int i = 0; i < 1024; ++i)
        if (lores::IsScreenHole(i)) s.workingPage()[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7);
    const lores::LoresPage holes = s.workingPage();
    PressAt(3, 4);
    Command(CommandId::FlipLeftRight);
    EXPECT_EQ(Pixel(36, 4), s.currentColour & 15);
    EXPECT_EQ(Pixel(3, 4), 0);
    Command(CommandId::FlipTopBottom);
    EXPECT_EQ(Pixel(36, 43), s.currentColour & 15);
    for (int i = 0; i < 1024; ++i) {
        if (lores::IsScreenHole(i)) {
            ASSERT_EQ(s.workingPage()[static_cast<std::size_t>(i)], holes[static_cast<std::size_t>(i)]);
        }
    }
    Command(CommandId::HistoryBack);
    EXPECT_EQ(Pixel(36, 4), s.currentColour & 15) << "one step a flip";

    struct Case {
        int tool;
        std::function<void(lores::LoresPage&, Cell, Cell, int)> draw;  // from a to p
    };
    const Case cases[] = {
        {CommandId::LineTool, [](lores::LoresPage& p, Cell a, Cell b, int c) { lores::DrawLine(p, a.x, a.y, b.x, b.y, c); }},
        {CommandId::CircleTool,
         [](lores::LoresPage& p, Cell a, Cell b, int c) { lores::DrawCircle(p, a.x, a.y, lores::CircleRadius(a.x, a.y, b.x, b.y), c); }},
        {CommandId::RectangleTool, [](lores::LoresPage& p, Cell a, Cell b, int c) { lores::DrawRectangle(p, a.x, a.y, b.x, b.y, c); }},
        {CommandId::FilledCircleTool,
         [](lores::LoresPage& p, Cell a, Cell b, int c) { lores::FillCircle(p, a.x, a.y, lores::CircleRadius(a.x, a.y, b.x, b.y), c); }},
    };
    const auto mirror = [](Cell c, bool lr, bool tb) { return Cell{lr ? 39 - c.x : c.x, tb ? 47 - c.y : c.y}; };
    for (const bool both : {false, true}) {
        Command(CommandId::MirrorLeftRight);  // on (off again at the end)
        if (both) {
            Command(CommandId::MirrorTopBottom);
        }
        EXPECT_NE(windowing::StatusLineText(0).find("mirror"), std::string::npos);
        for (const Case& k : cases) {
            s.pictureChanged = false;  // a new picture without the question
            Command(CommandId::NewPicture);
            Command(k.tool);
            const Cell a{6, 7}, p{10, 12};
            PressAt(a.x, a.y);
            PressAt(p.x, p.y);
            lores::LoresPage want{};
            for (const bool lr : {false, true})
                for (const bool tb : {false, true})
                    if (!tb || both) k.draw(want, mirror(a, lr, tb), mirror(p, lr, tb), s.currentColour);
            EXPECT_EQ(s.workingPage(), want) << "tool " << k.tool << (both ? ", four-fold" : "");
        }
        s.pictureChanged = false;
        Command(CommandId::NewPicture);
        Command(CommandId::PenTool);
        PressAt(5, 6);
        EXPECT_EQ(Pixel(34, 6), s.currentColour & 15);
        EXPECT_EQ(Pixel(5, 41), both ? s.currentColour & 15 : 0);
        // One area already filled by the first fill: the mirrored one is skipped, no message.
        Command(CommandId::FillTool);
        PressAt(1, 1);
        EXPECT_EQ(Pixel(20, 20), s.currentColour & 15);
        EXPECT_TRUE(script.seen.empty()) << "no refusal for the skipped mirrored fill";
        Command(CommandId::MirrorLeftRight);
        if (both) {
            Command(CommandId::MirrorTopBottom);
        }
    }
    EXPECT_EQ(windowing::StatusLineText(0).find("mirror"), std::string::npos);
}
