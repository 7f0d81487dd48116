// The keyboard does what the toolbar and the menus do.
#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QTest>
#include <QToolBar>

#include "editor_fixture.h"
#include "test_files.h"

using namespace editor;
using qtdriver::DialogScript;
using namespace testfiles;

class Shortcuts : public EditorFixture {
protected:
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* window = qtdriver::Window(0);
        // A closed dialog leaves no window active offscreen.
        QApplication::setActiveWindow(window);
        QTest::keyClick(window, key, modifiers);
        Pump();
    }
};

TEST_F(Shortcuts, KeysCarryOutTheirCommands) {
    const std::pair<Qt::Key, Tool> tools[] = {
        {Qt::Key_L, Tool::Line}, {Qt::Key_C, Tool::Circle}, {Qt::Key_F, Tool::Fill}, {Qt::Key_P, Tool::Pen}};
    for (const auto& [key, tool] : tools) {
        Key(key);
        EXPECT_EQ(s.currentTool, tool);
    }
    Key(Qt::Key_L);
    PressAt(1, 1);
    PressAt(6, 1);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(s.undoAvailable, 0) << "Ctrl+Z undoes the line";

    TempDir dir;
    s.fileName = dir / "page";
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadAll(dir / "page").size(), 1024u) << "Ctrl+S saves";
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(s.fileName.empty()) << "Ctrl+N starts a new picture";

    DialogScript script;
    for (int i = 0; i < 3; ++i) script.Cancel();
    Key(Qt::Key_O, Qt::ControlModifier);
    Key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    Key(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(script.seen.size(), 3u);
    EXPECT_EQ(script.seen[0].title, "Please choose file to load");
    EXPECT_EQ(script.seen[1].text, "pic#060400") << "Save As";
    EXPECT_EQ(script.seen[2].text, "image1.png") << "Export picture";

    // Shift+F10 and the Menu key open the popup at the pointer's cell.
    MoveTo(10, 20);
    script.Dismiss();
    script.Dismiss();
    Key(Qt::Key_F10, Qt::ShiftModifier);
    Key(Qt::Key_Menu);
    ASSERT_EQ(script.seen.size(), 5u);
    const QPoint cell = qtdriver::Window(0)->mapToGlobal(QPoint(10 * 16 + 8, 30 + 20 * 8 + 4));
    EXPECT_EQ(script.seen[3].kind, "popup");
    EXPECT_EQ(script.seen[3].directory, std::to_string(cell.x()) + "," + std::to_string(cell.y()));
    EXPECT_EQ(script.seen[4].kind, "popup");
    EXPECT_FALSE(script.unexpected);
}

TEST_F(Shortcuts, ToolbarButtonsAreNamedByTheirTips) {
    auto* bar = qtdriver::Window(0)->findChild<QToolBar*>(QStringLiteral("toolbar0"));
    ASSERT_NE(bar, nullptr);
    int named = 0;
    for (QAction* a : bar->actions()) {
        if (a->isSeparator()) continue;
        EXPECT_EQ(bar->widgetForAction(a)->accessibleName(), a->toolTip());
        ++named;
    }
    EXPECT_EQ(named, 24);
    EXPECT_EQ(bar->actions()[0]->toolTip(), QStringLiteral("New document")) << "tips keep their texts";
}
