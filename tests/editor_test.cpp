#include <QAction>
#include <QMenu>

#include <random>

#include "documents/documents.h"
#include "editor/recovery.h"
#include "editor_fixture.h"
#include "runtime/images.h"
#include "windowing/internal.h"
#include "lores/drawing.h"
#include "lores/startup_picture.h"
#include "editor/page_view.h"

using namespace editor;
using qtdriver::DialogScript;

namespace {

QWidget* Toolbar() { return qtdriver::Window(0)->findChild<QWidget*>(QStringLiteral("toolbar0")); }

QMenu* Popup() { return windowing::detail::PopupMenu(editor::PopupNumber); }

std::vector<std::string> Captions(QMenu* m) {
    std::vector<std::string> out;
    for (QAction* a : m->actions()) out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    return out;
}

}  // namespace

TEST_F(EditorFixture, StartsWithTheAppleAndAWhiteBoxOnCellZero) {
    EXPECT_EQ(s.workingPage(), lores::StartupPicture());
    EXPECT_EQ(s.currentColour, 15);
    EXPECT_EQ(s.currentTool, Tool::Pen);
    EXPECT_EQ(s.undoAvailable, 0);
    EXPECT_TRUE(s.fileName.empty());
    EXPECT_EQ(Title(), "Vornel 0.2") << "no coordinates before the first handled pointer event";
    EXPECT_EQ(qtdriver::Window(0)->size(), QSize(640, MenuBarHeight() + 440)) << "grown by the menu bar";
    EXPECT_EQ(canvas->geometry(), QRect(0, MenuBarHeight() + 30, 640, 384));
    // (The test's entering motion was not a handled pointer event.)
    EXPECT_EQ(Shown(0, 0), Palette(15));
    EXPECT_EQ(Shown(15, 7), Palette(15));
    EXPECT_EQ(Shown(16, 0), Palette(0));
    EXPECT_EQ(Shown(23 * 16 + 3, 2 * 8 + 3), Palette(4));
    EXPECT_EQ(Shown(12 * 16, 17 * 8), Palette(13));
}

TEST_F(EditorFixture, ToolbarAndPopupAreBuiltInTheirFixedOrder) {
    QWidget* bar = Toolbar();
    ASSERT_NE(bar, nullptr);
    const auto actions = bar->actions();
    ASSERT_EQ(actions.size(), 26);
    std::vector<std::string> tips;
    for (QAction* a : actions) tips.push_back(a->isSeparator() ? "-" : a->toolTip().toStdString());
    std::vector<std::string> expected = {"New document", "Open document", "Save document", "-"};
    for (int n = 0; n < 16; ++n) expected.push_back("color # : " + std::to_string(n));
    for (const char* t : {"-", "line draw", "circle", "color fill", "pen", "undo"}) expected.push_back(t);
    EXPECT_EQ(tips, expected);
    EXPECT_TRUE(actions[21]->isCheckable());
    EXPECT_FALSE(actions[25]->isCheckable()) << "undo is a plain button";
    EXPECT_FALSE(actions[4]->isCheckable());
    for (int i = 0; i < actions.size(); ++i)
        EXPECT_EQ(actions[i]->isChecked(), i == 24) << "only the pen, the tool it starts with, shows pressed";

    QMenu* popup = Popup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(Captions(popup), (std::vector<std::string>{"Color", "-", "Save As..", "Export picture...", "-", "Draw",
                                                         "circle", "color fill", "pen", "Scroll"}));
    const auto colours = Captions(popup->actions()[0]->menu());
    ASSERT_EQ(colours.size(), 16u);
    EXPECT_EQ(colours[7], "color #7");
    EXPECT_EQ(Captions(popup->actions()[9]->menu()),
              (std::vector<std::string>{"scroll left", "scroll right", "scroll up", "scroll down"}));
}

TEST_F(EditorFixture, PenPressPlotsTheCellAndShowsItInTheTitle) {
    PressAt(QPoint(100, 50));
    EXPECT_EQ(Pixel(6, 6), 15);
    EXPECT_EQ(Title(), "Vornel 0.2 x:6,y:6");
    EXPECT_EQ(s.undoAvailable, 0) << "pen dots keep no undo copy";
    // Moving without a button only moves the highlight.
    MoveTo(30, 40);
    EXPECT_EQ(Pixel(30, 40), lores::PixelAt(lores::StartupPicture(), 30, 40));
    EXPECT_EQ(Shown(30 * 16, 40 * 8), Palette(15));
    // Dragged off the canvas the title shows negative cells; nothing is drawn.
    qtdriver::Press(canvas, At(1, 1));
    Pump();
    const auto page = s.workingPage();
    DragTo({-20, 5});
    EXPECT_EQ(Title(), "Vornel 0.2 x:-1,y:0");
    EXPECT_EQ(s.workingPage(), page);
}

TEST_F(EditorFixture, LinePreviewLeavesThePageAndCommitKeepsUndo) {
    Command(CommandId::LineTool);
    PressAt(2, 2);
    EXPECT_EQ(s.lineAnchor, (Cell{2, 2}));
    const lores::LoresPage before = s.workingPage();
    MoveTo(10, 5);
    EXPECT_EQ(s.workingPage(), before) << "the preview is on screen only";
    EXPECT_EQ(Shown(6 * 16 + 8, 3 * 8 + 4), Palette(15)) << "the rubber band is shown";
    // Choosing a colour during the preview: the next move previews in it.
    Command(3);
    MoveTo(10, 6);
    EXPECT_EQ(Shown(6 * 16 + 8, 4 * 8 + 4), Palette(3));
    PressAt(10, 5);
    EXPECT_EQ(s.undoAvailable, 1);
    EXPECT_EQ(s.undoCopy(), before);
    EXPECT_EQ(s.lineAnchor, NoAnchor);
    lores::LoresPage expected = before;
    lores::DrawLine(expected, 2, 2, 10, 5, 3);
    EXPECT_EQ(s.workingPage(), expected);
}

TEST_F(EditorFixture, CircleCommittedOnItsCentreStillKeepsUndo) {
    Command(CommandId::CircleTool);
    PressAt(20, 20);
    MoveTo(23, 24);
    EXPECT_EQ(s.circleRadius, 5);
    const lores::LoresPage before = s.workingPage();
    PressAt(20, 20);
    EXPECT_EQ(s.workingPage(), before);
    EXPECT_EQ(s.undoAvailable, 1);
    EXPECT_EQ(s.circleRadius, 0);
    EXPECT_EQ(s.circleAnchor, NoAnchor);
}

TEST_F(EditorFixture, UndoRestoresThePageBeforeTheLastCommittedShape) {
    const lores::LoresPage start = s.workingPage();
    Command(CommandId::Undo);
    EXPECT_EQ(s.workingPage(), start) << "nothing to undo";
    Command(CommandId::LineTool);
    PressAt(0, 0);
    PressAt(39, 47);
    Command(CommandId::PenTool);
    PressAt(5, 30);
    PressAt(6, 30);
    Command(CommandId::ScrollLeft);
    EXPECT_NE(s.workingPage(), start);
    Command(CommandId::Undo);
    EXPECT_EQ(s.workingPage(), start);
    EXPECT_EQ(s.undoAvailable, 0);
    EXPECT_EQ(Shown(0, 0), Palette(15)) << "a command's repaint puts the highlight on cell (0, 0)";
    PressAt(7, 7);
    const lores::LoresPage dotted = s.workingPage();
    Command(CommandId::Undo);
    EXPECT_EQ(s.workingPage(), dotted) << "a second undo does nothing";
}

TEST_F(EditorFixture, FillRefusesTheColourAlreadyThereAndFillsOtherwise) {
    Command(CommandId::FillTool);
    Command(3);
    const lores::LoresPage before = s.workingPage();
    DialogScript script;
    script.Ok();
    PressAt(23, 34);  // a purple band pixel
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].title, "Error");
    EXPECT_EQ(script.seen[0].text, "Can't fill area with color. Try another one");
    EXPECT_EQ(s.workingPage(), before);
    EXPECT_EQ(s.undoAvailable, 0);

    PressAt(0, 0);  // the black ground
    EXPECT_EQ(s.undoAvailable, 1);
    EXPECT_EQ(s.undoCopy(), before);
    EXPECT_EQ(Pixel(0, 0), 3);
    EXPECT_EQ(Pixel(39, 47), 3);
    EXPECT_EQ(Pixel(12, 17), 13) << "the apple is not black";
    for (int i = 0; i < lores::PageBytes; ++i) {
        if (lores::IsScreenHole(i)) {
            ASSERT_EQ(s.workingPage()[i], before[i]);
        }
    }

    // Dragged off the page the fill reads nothing and changes nothing.
    Command(5);
    qtdriver::Press(canvas, At(1, 1));
    Pump();
    const lores::LoresPage filled = s.workingPage();
    DragTo({-40, 500});
    EXPECT_EQ(s.workingPage(), filled);
    EXPECT_FALSE(script.unexpected);
}

TEST_F(EditorFixture, RightPressOpensThePopupAndChangesNothing) {
    MoveTo(4, 4);
    const std::string title = Title();
    const lores::LoresPage page = s.workingPage();
    DialogScript script;
    script.Dismiss();
    qtdriver::Press(canvas, At(9, 9), Qt::RightButton);
    Pump();
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].kind, "popup");
    EXPECT_EQ(Title(), title);
    EXPECT_EQ(s.pointerCell, (Cell{4, 4}));
    EXPECT_EQ(s.workingPage(), page);
}

TEST_F(EditorFixture, ToolChoicePressesExactlyOneToolButton) {
    const auto actions = Toolbar()->actions();
    QAction* line = actions[21];
    QAction* fill = actions[23];
    fill->trigger();
    Pump();
    EXPECT_EQ(s.currentTool, Tool::Fill);
    fill->trigger();  // clicking the pressed button unpresses it, then the program presses it again
    Pump();
    EXPECT_TRUE(fill->isChecked());
    for (int i : {21, 22, 24}) EXPECT_FALSE(actions[i]->isChecked());
    // From the popup, the same command presses the toolbar button.
    Popup()->actions()[5]->trigger();
    Pump();
    EXPECT_EQ(s.currentTool, Tool::Line);
    EXPECT_TRUE(line->isChecked());
    EXPECT_FALSE(fill->isChecked());
}

TEST_F(EditorFixture, UnknownCommandsAndOtherGadgetsDoNothing) {
    const lores::LoresPage page = s.workingPage();
    const int colour = s.currentColour;
    for (int id : {-1, 30, 31, 64001, 1000}) Command(id);
    windowing::PostEvent(windowing::GadgetEvent, 5, 0, windowing::CanvasLeftButtonDown, nullptr, nullptr);
    Pump();
    EXPECT_EQ(s.workingPage(), page);
    EXPECT_EQ(s.currentColour, colour);
    EXPECT_EQ(s.currentTool, Tool::Pen);
    EXPECT_EQ(Title(), "Vornel 0.2");
}

TEST_F(EditorFixture, CloseEndsTheLoopAndNothingElseDoes) {
    qtdriver::Window(0)->close();
    EXPECT_FALSE(Pump());
    Command(CommandId::ScrollDown);
    EXPECT_TRUE(Pump());
}

// Each command changes the page as it should and shows the change at once,
// checked in colours other than white so that a default cannot pass for it.
TEST_F(EditorFixture, CommandsDrawInTheCurrentColourAndRepaintAtOnce) {
    s.workingPage().fill(0);
    Command(CommandId::NewPicture);  // shows the black page
    MoveTo(39, 47);                  // the highlight out of the way
    Command(3);
    PressAt(10, 10);
    MoveTo(39, 47);
    EXPECT_EQ(Pixel(10, 10), 3) << "the pen uses the current colour";
    EXPECT_EQ(Shown(10 * 16 + 4, 10 * 8 + 4), Palette(3));

    Command(CommandId::ScrollLeft);
    EXPECT_EQ(Pixel(9, 10), 3);
    EXPECT_EQ(Pixel(10, 10), 0);
    EXPECT_EQ(Shown(9 * 16 + 4, 10 * 8 + 4), Palette(3)) << "repainted after the scroll";
    EXPECT_EQ(Shown(10 * 16 + 4, 10 * 8 + 4), Palette(0));
    Command(CommandId::ScrollRight);
    Command(CommandId::ScrollRight);
    EXPECT_EQ(Pixel(11, 10), 3) << "right is the other way";

    // A circle is drawn around the first press, with the second on its rim.
    Command(6);
    Command(CommandId::CircleTool);
    PressAt(20, 20);
    PressAt(23, 20);
    MoveTo(39, 47);
    EXPECT_EQ(Pixel(17, 20), 6);
    EXPECT_EQ(Pixel(26, 20), 0) << "not around the second press";
    EXPECT_EQ(Shown(17 * 16 + 4, 20 * 8 + 4), Palette(6)) << "repainted after the commit";
    Command(CommandId::Undo);
    EXPECT_EQ(Pixel(17, 20), 0);
    EXPECT_EQ(Shown(17 * 16 + 4, 20 * 8 + 4), Palette(0)) << "repainted after undo";

    // A line commits and shows at once too.
    Command(CommandId::LineTool);
    PressAt(2, 30);
    PressAt(8, 30);
    EXPECT_EQ(Shown(5 * 16 + 4, 30 * 8 + 4), Palette(6));
}

TEST_F(EditorFixture, AnAnchorWithOneMissingCoordinatePreviewsNothingButCommits) {
    s.workingPage().fill(0);
    Command(CommandId::LineTool);
    Command(9);
    s.lineAnchor = {-1, 5};
    MoveTo(6, 5);
    EXPECT_EQ(Shown(3 * 16 + 4, 5 * 8 + 4), Palette(0)) << "no rubber band from a half-set anchor";
    PressAt(6, 5);
    for (int x = 0; x <= 6; ++x) EXPECT_EQ(Pixel(x, 5), 9) << x;
    EXPECT_EQ(s.undoAvailable, 1);
    EXPECT_EQ(s.lineAnchor, NoAnchor);
}

namespace {

// The canvas bitmap a full redraw of page gives, with the highlight on cell.
std::vector<std::uint8_t> FullRedraw(const lores::LoresPage& page, Cell cell, int colour) {
    constexpr int scratch = 250;
    runtime::CreateImageObject(scratch, 640, 384);
    runtime::BeginDrawing(runtime::ImageDrawTarget(scratch));
    documents::DrawPageBoxes(page);
    runtime::FillBox(16 * cell.x, 8 * cell.y, 16, 8, lores::LoresPalette[colour]);
    runtime::EndDrawing();
    std::vector<std::uint8_t> bits = runtime::ImageRecordOf(scratch).pixels->bits;
    runtime::FreeImageObject(scratch);
    return bits;
}

std::vector<std::uint8_t> CanvasBits() {
    const auto* p = reinterpret_cast<const std::uint8_t*>(windowing::CanvasAttribute(0, windowing::CanvasBitmap));
    return {p, p + 1920 * 384};
}

}  // namespace

// The redraw fills only the boxes whose colour changes and repaints only
// them; bitmap and screen must still be exactly what a full redraw gives.
TEST_F(EditorFixture, RedrawingOnlyWhatChangedShowsWhatAFullRedrawWould) {
    std::mt19937 random(11);
    Cell highlight{0, 0};
    for (int step = 0; step < 300; ++step) {
        const int what = static_cast<int>(random() % 10);
        const int x = static_cast<int>(random() % 40), y = static_cast<int>(random() % 48);
        if (what < 5) {
            MoveTo(x, y);
            highlight = {x, y};
        } else if (what < 7) {
            PressAt(x, y);
            highlight = {x, y};
        } else if (what < 8) {
            Command(static_cast<int>(random() % 16));  // shown by the next redraw
            MoveTo(x, y);
            highlight = {x, y};
        } else {
            Command(random() % 2 ? CommandId::ScrollLeft : CommandId::ScrollUp);
            highlight = {0, 0};  // a command's redraw has no pointer event
        }
        ASSERT_EQ(CanvasBits(), FullRedraw(s.workingPage(), highlight, s.currentColour)) << "step " << step;
        if (step % 25 == 0) {
            // What the window shows (updated in place) and what a full
            // repaint of the canvas gives are both the bitmap.
            const QImage screen = qtdriver::OnScreen(canvas), repainted = canvas->grab().toImage();
            const auto bits = CanvasBits();
            for (int py = 0; py < 384; ++py)
                for (int px = 0; px < 640; ++px) {
                    const std::uint8_t* b = bits.data() + (383 - py) * 1920 + 3 * px;
                    const QRgb want = qRgb(b[2], b[1], b[0]);
                    ASSERT_EQ(screen.pixel(px, py), want) << px << "," << py << " step " << step;
                    ASSERT_EQ(repainted.pixel(px, py), want) << px << "," << py << " step " << step;
                }
        }
    }
    // A rubber band changes many boxes at once, and leaves none behind.
    Command(CommandId::LineTool);
    PressAt(20, 20);
    for (int step = 0; step < 30; ++step) {
        const Cell to{static_cast<int>(random() % 40), static_cast<int>(random() % 48)};
        MoveTo(to.x, to.y);
        lores::LoresPage preview = s.workingPage();
        lores::DrawLine(preview, 20, 20, to.x, to.y, s.currentColour);
        ASSERT_EQ(CanvasBits(), FullRedraw(preview, to, s.currentColour)) << "preview " << step;
    }
    // Something else drew on the canvas since: what was shown is not trusted.
    runtime::BeginDrawing(windowing::CanvasDrawTarget(CanvasNumber));
    runtime::FillBox(0, 0, 640, 384, 0x00FF00);
    runtime::EndDrawing();
    RedrawPage(s);
    EXPECT_EQ(CanvasBits(), FullRedraw(s.workingPage(), {0, 0}, s.currentColour));
}

// A copy for recovery that cannot be written is said on the status line
// until one is.
TEST_F(EditorFixture, StatusLineSaysWhenNothingIsKeptForRecovery) {
    editor::Recovery recovery;
    recovery.failure = "No space left on device";
    s.recovery = &recovery;
    MoveTo(3, 3);
    EXPECT_NE(windowing::StatusLineText(0).find("not kept for recovery: No space left on device"), std::string::npos)
        << windowing::StatusLineText(0);
    recovery.failure.clear();
    MoveTo(4, 3);
    EXPECT_EQ(windowing::StatusLineText(0).find("not kept for recovery"), std::string::npos);
    s.recovery = nullptr;
}
