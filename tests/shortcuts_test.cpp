// The keyboard does what the toolbar and the menus do.
#include <QScreen>
#include <QTest>

#include "editor_fixture.h"
#include "test_files.h"

using namespace editor;
using qtdriver::DialogScript;

TEST_F(EditorFixture, KeysCarryOutTheirCommands) {
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QApplication::setActiveWindow(qtdriver::Window(0));  // a closed dialog leaves none active offscreen
        QTest::keyClick(qtdriver::Window(0), k, modifiers);
        Pump();
    };
    for (const auto& [k, tool] : {std::pair{Qt::Key_L, Tool::Line}, {Qt::Key_C, Tool::Circle},
                                  {Qt::Key_F, Tool::Fill}, {Qt::Key_P, Tool::Pen}, {Qt::Key_L, Tool::Line}}) {
        key(k);
        EXPECT_EQ(s.currentTool, tool);
    }
    const lores::LoresPage before = s.workingPage();
    PressAt(1, 1);
    PressAt(6, 1);
    const lores::LoresPage withLine = s.workingPage();
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(s.workingPage(), before) << "Ctrl+Z steps back over the line";
    EXPECT_EQ(s.undoAvailable, 1) << "the toolbar's undo is a thing of its own";
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(s.workingPage(), withLine) << "Ctrl+Y brings it back";
    testfiles::TempDir dir;
    s.fileName = dir / "page";
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(testfiles::ReadAll(dir / "page").size(), 1024u) << "Ctrl+S saves";
    key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(s.fileName.empty()) << "Ctrl+N starts a new picture";

    // Open, Save As and Export ask with their own requesters; Shift+F10 and
    // the Menu key open the popup at the pointer's cell.
    DialogScript script;
    for (int i = 0; i < 3; ++i) script.Cancel();
    script.Dismiss();
    script.Dismiss();
    key(Qt::Key_O, Qt::ControlModifier);
    key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_E, Qt::ControlModifier);
    MoveTo(10, 20);
    key(Qt::Key_F10, Qt::ShiftModifier);
    key(Qt::Key_Menu);
    // F1's list fits the screen it opens on, scrolling inside, its keys under their menus' titles.
    script.Then([](QWidget* w) {
        EXPECT_LE(w->frameGeometry().height(), w->screen()->availableGeometry().height());
        static_cast<QDialog*>(w)->accept();
    });
    key(Qt::Key_F1);
    ASSERT_EQ(script.seen.size(), 6u);
    EXPECT_EQ(script.seen[0].title, "Please choose file to load");
    EXPECT_EQ(script.seen[1].text, "pic#060400");
    EXPECT_EQ(script.seen[2].text, "image1.png");
    const QPoint cell = qtdriver::Window(0)->mapToGlobal(QPoint(10 * 16 + 8, MenuBarHeight() + 30 + 20 * 8 + 4));
    EXPECT_EQ(script.seen[3].directory, std::to_string(cell.x()) + "," + std::to_string(cell.y()));
    EXPECT_EQ(script.seen[4].kind, "popup");
    // F1: the About box, with the version, the licence and every key.
    const std::string about = script.seen[5].text;
    for (const char* says : {"Vornel 0.2", "MIT licence", "Ctrl+Shift+Z", "Middle button", "F1", "<b>Frame</b>"})
        EXPECT_NE(about.find(says), std::string::npos) << says;
    EXPECT_FALSE(script.unexpected);
}
