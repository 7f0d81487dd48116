#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>

#include "qt_driver.h"
#include "runtime/images.h"
#include "test_files.h"
#include "windowing/windowing.h"

using namespace windowing;
using namespace qtdriver;

class Windowing : public ::testing::Test {
protected:
    void SetUp() override {
        InitWindowing();
        runtime::InitImages();
    }
    void TearDown() override { ShutdownRuntime(); }

    void OpenEditorLikeWindow() {
        ASSERT_NE(OpenWindowObject(0, 0, 0, 640, 440, "Vornel 0.2", 0xCA0001), 0);
        ASSERT_NE(CreateCanvas(0, 0, 30, 640, 384), 0);
        Drain();                            // the first wait shows the window
        QCoreApplication::processEvents();  // exposed, as the event loop would have it
        Drain();
    }
};

TEST_F(Windowing, OpeningPostsOnlyTheFirstActivationForNoWindow) {
    ASSERT_NE(OpenWindowObject(0, 0, 0, 640, 440, "Vornel 0.2", 0xCA0001), 0);
    auto events = Drain();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].code, ActivateEvent);
    EXPECT_EQ(events[0].window, -1);
    // The window shows at the first wait; that showing activates nothing more.
    QCoreApplication::processEvents();
    for (const auto& e : Drain()) events.push_back(e);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const auto& e) { return e.code == ActivateEvent; }), 1);
    for (const auto& e : events) {
        EXPECT_NE(e.code, SizeEvent);
        EXPECT_NE(e.code, MoveEvent);
    }
    QWidget* w = Window(0);
    EXPECT_EQ(w->size(), QSize(640, 440));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Vornel 0.2"));
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "the user cannot resize it";
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize outer = w->frameGeometry().size();  // the window with its frame is centred
    EXPECT_EQ(w->pos(), QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));
    EXPECT_GT(outer.width(), 640) << "a frame to account for";

    EXPECT_EQ(SetWindowCaption(0, "Vornel 0.2 x:1,y:2"), 1);
    detail::FlushFrames();  // titles go out with the frame
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Vornel 0.2 x:1,y:2"));
    EXPECT_EQ(SetWindowCaption(0, nullptr), 0);
    EXPECT_EQ(SetWindowCaption(5, "x"), 0);
    EXPECT_EQ(WindowHandle(5), 0);
}

TEST_F(Windowing, CloseLeavesTheWindowOpenAndRepeats) {
    OpenEditorLikeWindow();
    Window(0)->close();
    auto events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, CloseEvent);
    EXPECT_EQ(events[0].object, 0);
    EXPECT_TRUE(Window(0)->isVisible());
    Window(0)->close();
    EXPECT_EQ(Drain().size(), 1u);
}

TEST_F(Windowing, MinimiseAndRestorePostTheirEventsInOrder) {
    OpenEditorLikeWindow();
    QWidget* w = Window(0);
    // The window-state events, without the activation and paint traffic around them.
    auto stateEvents = [] {
        std::vector<int> codes;
        for (const auto& e : Drain())
            if (e.code != ActivateEvent && e.code != DeactivateEvent && e.code != RepaintEvent) codes.push_back(e.code);
        return codes;
    };
    w->setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(stateEvents(), std::vector<int>{MinimizeEvent});
    w->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(stateEvents(), (std::vector<int>{RestoreEvent, SizeEvent}));
    w->move(w->pos() + QPoint(7, 3));
    const auto moved = Drain();
    ASSERT_FALSE(moved.empty());
    EXPECT_EQ(moved.back().code, MoveEvent);
    EXPECT_EQ(moved.back().object, 0);
}

TEST_F(Windowing, IdenticalEventsCollapseUntilTaken) {
    static int released = 0;
    auto release = [](void*) { ++released; };
    int a = 0, b = 0;
    PostEvent(MenuEvent, 19, 0, 0, &a, release);
    PostEvent(MenuEvent, 19, 0, 0, &b, release);
    EXPECT_EQ(released, 1) << "the second event's data goes back at once";
    PostEvent(MenuEvent, 20, 0, 0, nullptr, nullptr);
    PostEvent(MenuEvent, 19, 0, 0, nullptr, nullptr);
    PostEvent(70000, 1, 0, 0, nullptr, nullptr);
    PostEvent(70000, 1, 0, 0, nullptr, nullptr);
    const auto events = Drain();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].object, 19);
    EXPECT_EQ(events[1].object, 20);
    EXPECT_EQ(events[2].object, 19);
    EXPECT_EQ(events[3].code, 70000) << "codes from 65536 up never collapse";
    EXPECT_EQ(released, 2) << "the taken event's data is released on the next take";
}

TEST_F(Windowing, PointerEnteredThenMovedAndAttributesOnlyForCanvasEvents) {
    OpenEditorLikeWindow();
    QWidget* c = Canvas();
    Move(c, {10, 10});
    Move(c, {20, 12});
    Move(c, {30, 14});
    c->setAttribute(Qt::WA_UnderMouse, false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(c, &leave);
    Move(c, {40, 16});
    const auto events = Drain();
    // The two moves queued before either was taken collapse into the first.
    EXPECT_EQ(Types(events), (std::vector<int>{CanvasPointerEntered, CanvasPointerMoved, CanvasPointerLeft,
                                               CanvasPointerEntered}));
    EXPECT_EQ(events[1].code, GadgetEvent);
    EXPECT_EQ(events[1].object, 0);
    EXPECT_EQ(events[1].window, 0);
    EXPECT_EQ(events[1].x, 20);
    EXPECT_EQ(events[1].y, 12);

    PostEvent(MenuEvent, 3, 0, 0, nullptr, nullptr);
    const auto menu = Drain();
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].x, 0) << "pointer attributes read 0 after a menu event";
    EXPECT_EQ(CanvasAttribute(0, 99), 0);
    EXPECT_EQ(CanvasAttribute(7, CanvasPointerX), 0);
}

TEST_F(Windowing, DoubleClickOrderDragOutsideAndSecondButton) {
    OpenEditorLikeWindow();
    QWidget* c = Canvas();
    Move(c, {5, 5});
    Press(c, {50, 50});
    Release(c, {50, 50});
    DoubleClick(c, {50, 50});
    Release(c, {50, 50});
    EXPECT_EQ(Types(Drain()), (std::vector<int>{CanvasPointerEntered, CanvasLeftButtonDown, CanvasLeftButtonUp,
                                                CanvasLeftClick, CanvasLeftButtonDown, CanvasLeftDoubleClick,
                                                CanvasLeftButtonUp, CanvasLeftClick}));

    Press(c, {10, 10});
    Move(c, {-25, 40}, Qt::LeftButton);
    Press(c, {-25, 40}, Qt::RightButton, Qt::LeftButton);
    Release(c, {-30, 40}, Qt::RightButton, Qt::LeftButton);
    Release(c, {-30, 40});
    const auto drag = Drain();
    EXPECT_EQ(Types(drag), (std::vector<int>{CanvasLeftButtonDown, CanvasPointerMoved, CanvasRightButtonDown,
                                             CanvasRightButtonUp, CanvasLeftButtonUp}))
        << "releases outside the canvas are no clicks";
    EXPECT_EQ(drag[1].x, -25);
    EXPECT_EQ(drag[1].buttons, 1);
    EXPECT_EQ(drag[2].buttons, 3);
    EXPECT_EQ(CanvasAttribute(0, CanvasClipActive), 0);
}

TEST_F(Windowing, WheelNotchesAccumulate) {
    OpenEditorLikeWindow();
    QWidget* c = Canvas();
    Wheel(c, 60);
    EXPECT_TRUE(Drain().empty());
    Wheel(c, 60);
    auto events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CanvasWheelTurned);
    EXPECT_EQ(events[0].wheel, 1);
    Wheel(c, -240);
    events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].wheel, -2);
}

TEST_F(Windowing, KeyboardCanvasReportsKeysCharactersAndFocus) {
    ASSERT_NE(OpenWindowObject(0, 0, 0, 300, 300, "keys", 0xCA0001), 0);
    ASSERT_NE(CreateCanvas(3, 0, 0, 100, 100, CanvasKeyboard | CanvasDrawFocus), 0);
    Drain(3);
    QWidget* c = Window(0)->findChild<QWidget*>(QStringLiteral("canvas3"));
    c->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A"));
    QApplication::sendEvent(c, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::ShiftModifier, QStringLiteral("A"));
    QApplication::sendEvent(c, &release);
    std::vector<int> types;
    int key = 0, character = 0, modifiers = 0;
    PostEvent(Sentinel, 0, 0, 0, nullptr, nullptr);
    for (int code; (code = WaitForEvent()) != Sentinel;) {
        if (code != GadgetEvent) continue;
        types.push_back(CurrentEventType());
        if (CurrentEventType() == CanvasKeyDown) {
            key = static_cast<int>(CanvasAttribute(3, CanvasKey));
            modifiers = static_cast<int>(CanvasAttribute(3, CanvasModifiers));
        }
        if (CurrentEventType() == CanvasCharacterTyped) character = static_cast<int>(CanvasAttribute(3, CanvasCharacter));
    }
    if (!types.empty() && types.front() == CanvasFocusGained) types.erase(types.begin());
    EXPECT_EQ(types, (std::vector<int>{CanvasKeyDown, CanvasCharacterTyped, CanvasKeyUp}));
    EXPECT_EQ(key, 'A');
    EXPECT_EQ(character, 'A');
    EXPECT_EQ(modifiers, 1);
}

TEST_F(Windowing, CanvasStartsWhiteAndShowsDrawingBeforeEndDrawingReturns) {
    OpenEditorLikeWindow();
    QWidget* c = Canvas();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    c->installEventFilter(&counter);
    const QImage before = c->grab().toImage();
    EXPECT_EQ(before.pixel(320, 200), qRgb(255, 255, 255));

    ASSERT_NE(runtime::BeginDrawing(CanvasDrawTarget(0)), 0u);
    runtime::FillBox(0, 0, 16, 8, runtime::RgbColour(204, 0, 51));
    runtime::FillBox(600, 300, 3, 5, runtime::RgbColour(1, 2, 3));
    EXPECT_EQ(qtdriver::OnScreen(c).pixel(0, 0), qRgb(255, 255, 255));
    const int paintsBefore = counter.paints;
    runtime::EndDrawing();
    // On screen before EndDrawing returns, straight into the backing store:
    // no repaint, and nothing beyond the two boxes written.
    EXPECT_EQ(counter.paints, paintsBefore);
    const QImage screen = qtdriver::OnScreen(c);
    EXPECT_EQ(screen.pixel(0, 0), qRgb(204, 0, 51));
    EXPECT_EQ(screen.pixel(15, 7), qRgb(204, 0, 51));
    EXPECT_EQ(screen.pixel(602, 304), qRgb(1, 2, 3));
    EXPECT_EQ(screen.pixel(16, 7), qRgb(255, 255, 255));
    EXPECT_EQ(screen.pixel(603, 304), qRgb(255, 255, 255));
    EXPECT_EQ(screen.pixel(602, 305), qRgb(255, 255, 255));
    const QImage after = c->grab().toImage();
    EXPECT_EQ(after.pixel(0, 0), qRgb(204, 0, 51));
    EXPECT_EQ(after.pixel(15, 7), qRgb(204, 0, 51));
    EXPECT_EQ(after.pixel(16, 8), qRgb(255, 255, 255));
    EXPECT_EQ(CanvasDrawTarget(9), nullptr);

    // A width that is no multiple of eight: every column is shown, the last ones too.
    ASSERT_NE(CreateCanvas(2, 0, 0, 13, 5), 0);
    ASSERT_NE(runtime::BeginDrawing(CanvasDrawTarget(2)), 0u);
    for (int x = 0; x < 13; ++x) runtime::FillBox(x, 0, 1, 5, runtime::RgbColour(x * 10, 255 - x, x));
    runtime::EndDrawing();
    QWidget* narrow = Window(0)->findChild<QWidget*>(QStringLiteral("canvas2"));
    const QImage shown = narrow->grab().toImage();
    for (int x = 0; x < 13; ++x) EXPECT_EQ(shown.pixel(x, 4), qRgb(x * 10, 255 - x, x)) << x;
}

TEST_F(Windowing, ToolbarTogglesTipsAndPressedStates) {
    OpenEditorLikeWindow();
    ASSERT_NE(CreateToolbarObject(0, WindowHandle(0)), 0);
    runtime::CreateImageObject(0, 16, 16);
    AddStandardButton(16, StandardFileNew);
    AddToolbarSeparator();
    AddImageButton(0, runtime::ImageHandle(0), 0);
    AddImageButton(19, runtime::ImageHandle(0), 1);
    AddImageButton(20, runtime::ImageHandle(0), 1);
    EXPECT_EQ(SetButtonTip(0, 19, "line draw"), 1);
    EXPECT_EQ(SetButtonTip(0, 77, "nothing"), 0);
    EXPECT_EQ(SetButtonTip(4, 19, "no toolbar"), 0);

    auto* bar = Window(0)->findChild<QWidget*>(QStringLiteral("toolbar0"));
    ASSERT_NE(bar, nullptr);
    EXPECT_LE(bar->geometry().bottom(), 29) << "the toolbar fits above the canvas";
    const auto actions = bar->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[3]->toolTip(), QStringLiteral("line draw"));

    actions[3]->trigger();  // a click: the toggle flips before the command arrives
    EXPECT_TRUE(actions[3]->isChecked());
    auto events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, MenuEvent);
    EXPECT_EQ(events[0].object, 19);
    actions[3]->trigger();
    EXPECT_FALSE(actions[3]->isChecked());
    Drain();

    EXPECT_EQ(SetButtonPressed(0, 19, 1), 1);
    EXPECT_EQ(SetButtonPressed(0, 20, 5), 1);
    EXPECT_TRUE(actions[3]->isChecked() && actions[4]->isChecked()) << "toggles are not grouped";
    EXPECT_EQ(SetButtonPressed(0, 20, 0), 1);
    EXPECT_FALSE(actions[4]->isChecked());
    EXPECT_EQ(SetButtonPressed(2, 20, 1), 0);
    actions[0]->trigger();
    EXPECT_EQ(Drain()[0].object, 16);
}

TEST_F(Windowing, ToolbarRowsItsButtonsAndOffersThoseWithoutRoomFromAChevron) {
    OpenEditorLikeWindow();
    ASSERT_NE(CreateToolbarObject(0, WindowHandle(0)), 0);
    runtime::CreateImageObject(0, 16, 16);
    for (int id : {1, 2, 3}) AddImageButton(id, runtime::ImageHandle(0), 0);
    AddToolbarSeparator();
    for (int id : {4, 5}) AddImageButton(id, runtime::ImageHandle(0), id == 5);
    auto* bar = Window(0)->findChild<QWidget*>(QStringLiteral("toolbar0"));
    ASSERT_NE(bar, nullptr);
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->role(), QAccessible::ToolBar);
    ASSERT_EQ(reader->childCount(), 5) << "its buttons";
    // Where a screen reader finds each button, in the bar's coordinates.
    const auto at = [&](int i) {
        const QRect r = reader->child(i)->rect();
        return r.isValid() ? QRect(bar->mapFromGlobal(r.topLeft()), r.size()) : QRect();
    };
    // Edge to edge, the separator six pixels wide, across the window's width.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(at(i), QRect(QPoint(std::vector<int>{0, 24, 48, 78, 102}[i], 0), QSize(24, 24)));
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 640, 24));
    const auto chevrons = [&] { return bar->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly); };
    EXPECT_TRUE(chevrons().isEmpty()) << "made only when the row runs out of room";

    // Too narrow: what does not fit is hidden and offered from the chevron.
    bar->resize(100, 24);
    ASSERT_EQ(chevrons().size(), 1);
    QToolButton* chevron = chevrons().back();
    ASSERT_NE(chevron->menu(), nullptr);
    EXPECT_TRUE(chevron->isVisible());
    EXPECT_EQ(chevron->geometry().right(), 99);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(at(i).isValid(), i < 3) << i;
        EXPECT_EQ(reader->child(i)->state().invisible, i >= 3) << i;
    }
    const auto offered = chevron->menu()->actions();
    ASSERT_EQ(offered.size(), 2);
    EXPECT_EQ(offered[0], bar->actions()[4]);
    offered[1]->trigger();  // chosen from the menu: the toggle flips, the command arrives
    EXPECT_TRUE(bar->actions()[5]->isChecked());
    auto events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].object, 5);

    bar->resize(640, 24);
    EXPECT_FALSE(chevron->isVisible());
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(at(i).isValid()) << i;
    EXPECT_TRUE(chevron->menu()->actions().isEmpty());
}

// The row draws its own buttons: a click is a press and a release on the
// same button; anything else is no click.
TEST_F(Windowing, ToolbarButtonsClickAsButtonsDo) {
    OpenEditorLikeWindow();
    ASSERT_NE(CreateToolbarObject(0, WindowHandle(0)), 0);
    runtime::CreateImageObject(0, 16, 16);
    AddImageButton(1, runtime::ImageHandle(0), 0);
    AddToolbarSeparator();
    AddImageButton(2, runtime::ImageHandle(0), 1);
    ShowWindowsNow();
    auto* bar = Window(0)->findChild<QWidget*>(QStringLiteral("toolbar0"));
    ASSERT_NE(bar, nullptr);
    const QPoint one(12, 12), other(42, 12), separator(27, 12), off(300, 12);
    // Raised while the pointer is over a button, flat again when it leaves;
    // no tip over a separator, its tip over it.
    const QImage flat = OnScreen(bar);
    Move(bar, one);
    EXPECT_NE(OnScreen(bar).copy(0, 0, 24, 24), flat.copy(0, 0, 24, 24));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bar, &leave);
    EXPECT_EQ(OnScreen(bar), flat);
    ASSERT_EQ(SetButtonTip(0, 1, "the first"), 1);
    for (const auto& [at, tip] : {std::pair{separator, QString()}, std::pair{one, QStringLiteral("the first")}}) {
        QHelpEvent help(QEvent::ToolTip, at, bar->mapToGlobal(at));
        QApplication::sendEvent(bar, &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), tip);
    }
    struct Gesture {
        const char* what;
        QPoint press, wander, release;
        bool rightPressMeanwhile;
        std::vector<int> posted;
    } gestures[] = {
        {"press and release on a button", one, one, one, false, {1}},
        {"a toggle clicks too", other, other, other, false, {2}},
        {"let go over another button", one, other, other, false, {}},
        {"out and back before letting go", one, off, one, false, {1}},
        {"let go beside the row's buttons", one, off, off, false, {}},
        {"a press on a separator", separator, separator, one, false, {}},
        {"the right button while held lets every button go", one, one, one, true, {}},
    };
    for (const Gesture& g : gestures) {
        Drain();
        Press(bar, g.press);
        Move(bar, g.wander, Qt::LeftButton);
        if (g.rightPressMeanwhile) Press(bar, g.wander, Qt::RightButton, Qt::LeftButton);
        Move(bar, g.release, Qt::LeftButton);
        Release(bar, g.release);
        std::vector<int> posted;
        for (const Taken& e : Drain())
            if (e.code == MenuEvent) posted.push_back(e.object);
        EXPECT_EQ(posted, g.posted) << g.what;
    }
    EXPECT_TRUE(bar->actions()[2]->isChecked()) << "the toggle clicked once";

    // A screen reader presses a button as a click does.
    QAccessibleInterface* toggle = QAccessible::queryAccessibleInterface(bar)->child(1);
    ASSERT_NE(toggle->actionInterface(), nullptr);
    EXPECT_TRUE(toggle->state().checkable);
    toggle->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(toggle->state().checked);
    EXPECT_EQ(Drain().at(0).object, 2);
    // A plain button shown pushed in is sunk: its picture drawn a pixel lower
    // and to the right.
    const QImage before = OnScreen(bar);
    SetButtonPressed(0, 1, 1);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(bar)->child(0)->state().pressed);
    EXPECT_NE(OnScreen(bar).copy(0, 0, 24, 24), before.copy(0, 0, 24, 24));
}

TEST_F(Windowing, PopupMenusNestAndPostTheChosenItem) {
    OpenEditorLikeWindow();
    ASSERT_NE(CreatePopup(1), 0);
    CloseSubmenu();  // nothing open: no effect
    OpenSubmenu("Scroll");
    AddMenuItem(26, "scroll left");
    CloseSubmenu();
    AddMenuSeparator();
    AddMenuItem(24, "Save As..");
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->objectName(), QStringLiteral("popup1")) << "made when first shown";
    QMenu* menu = detail::PopupMenu(1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), QStringLiteral("popup1"));
    const auto items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Scroll"));
    ASSERT_NE(items[0]->menu(), nullptr);
    EXPECT_EQ(items[0]->menu()->actions()[0]->text(), QStringLiteral("scroll left"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("Save As.."));

    DialogScript script;
    script.Then([&](QWidget*) { items[2]->trigger(); menu->close(); });
    EXPECT_EQ(ShowPopup(1, WindowHandle(0)), 1);
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].kind, "popup");
    const QPoint cursor = QCursor::pos() - QPoint(1, 1);
    EXPECT_EQ(script.seen[0].directory, std::to_string(cursor.x()) + "," + std::to_string(cursor.y()));
    std::vector<Taken> menuEvents;
    for (const auto& e : Drain())
        if (e.code == MenuEvent) menuEvents.push_back(e);
    ASSERT_EQ(menuEvents.size(), 1u);
    EXPECT_EQ(menuEvents[0].object, 24);
    EXPECT_EQ(menuEvents[0].window, 0);
    EXPECT_EQ(ShowPopup(9, WindowHandle(0)), 0);
}

// A menu is made from its items when first needed: what was set of an
// item before shows then, what is set after goes straight to it; a run of
// choices stays one group; a popup given items after it was shown shows them.
TEST_F(Windowing, MenusKeptAsItemsShowWhatWasSetBeforeTheyWereMade) {
    OpenEditorLikeWindow();
    ASSERT_NE(CreateMenuBar(0), 0);
    AddMenuBarMenu("&View");
    ChooseMenuBarMenu(0);
    AddMenuBarItem(1, "Grid", {"G"}, MenuItemKind::Toggle);
    AddMenuBarSeparator();
    OpenMenuBarSubmenu("Palette");
    AddMenuBarItem(2, "One", {}, MenuItemKind::Choice);
    AddMenuBarItem(3, "Two", {}, MenuItemKind::Choice);
    CloseMenuBarSubmenu();
    AddMenuBarItem(4, "", {}, MenuItemKind::Plain);
    SetMenuItemState(1, true, false);
    SetMenuItemState(3, true, true);
    SetMenuItemText(4, "");
    QWidget* bar = Window(0)->findChild<QWidget*>(QStringLiteral("menuBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Window(0)->findChild<QMenu*>(QStringLiteral("menuView")), nullptr) << "not made yet";
    QAccessibleInterface* title = QAccessible::queryAccessibleInterface(bar)->child(0);
    ASSERT_NE(title->child(0), nullptr) << "a screen reader asking makes it";
    QMenu* view = Window(0)->findChild<QMenu*>(QStringLiteral("menuView"));
    ASSERT_NE(view, nullptr);
    const auto items = view->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_TRUE(items[0]->isChecked() && !items[0]->isEnabled());
    EXPECT_EQ(items[0]->shortcut(), QKeySequence(Qt::Key_G));
    EXPECT_TRUE(items[1]->isSeparator());
    const auto choices = items[2]->menu()->actions();
    ASSERT_EQ(choices.size(), 2);
    EXPECT_TRUE(!choices[0]->isChecked() && choices[1]->isChecked());
    EXPECT_FALSE(items[3]->isVisible()) << "an empty text hides the item";
    SetMenuItemState(2, true, true);  // the group lets only one be on
    EXPECT_TRUE(choices[0]->isChecked() && !choices[1]->isChecked());
    SetMenuItemText(4, "1 art.gr");
    EXPECT_TRUE(items[3]->isVisible() && items[3]->text() == QStringLiteral("1 art.gr"));
    Drain();
    items[0]->setEnabled(true);
    items[0]->trigger();
    const auto events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, MenuEvent);
    EXPECT_EQ(events[0].object, 1);

    ASSERT_NE(CreatePopup(1), 0);
    AddMenuItem(5, "first");
    QMenu* popup = detail::PopupMenu(1);
    ASSERT_EQ(popup->actions().size(), 1);
    AddMenuItem(6, "later");
    EXPECT_EQ(detail::PopupMenu(1)->actions().size(), 2) << "made again with the item added";
    EXPECT_EQ(detail::PopupMenu(1), detail::PopupMenu(1)) << "and only then";
    OpenSubmenu("Sub");
    ASSERT_NE(CreatePopup(1), 0);  // the popup replaced while its submenu was open
    AddMenuItem(7, "into the new one");
    CloseSubmenu();  // back to a menu that is gone: nothing goes there
    AddMenuItem(8, "nowhere");
    ASSERT_EQ(detail::PopupMenu(1)->actions().size(), 1);
    EXPECT_EQ(detail::PopupMenu(1)->actions()[0]->text(), QStringLiteral("into the new one"));
}

TEST_F(Windowing, RequesterSplitsTheDefaultPathAndReturnsTheChoice) {
    OpenEditorLikeWindow();
    testfiles::TempDir dir;
    DialogScript script;
    script.Choose(dir / "new-name");
    script.Cancel();
    script.Cancel();
    const std::string chosen =
        ChooseFileToOpen("Please choose file to save", (dir.path() + "//pic#060400").c_str(), "All files (*.*)|*.*", 0);
    EXPECT_EQ(chosen, dir / "new-name") << "a name that does not exist yet is accepted as typed";
    ASSERT_GE(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].title, "Please choose file to save");
    EXPECT_EQ(script.seen[0].text, "pic#060400");
    EXPECT_EQ(script.seen[0].directory, dir.path());

    EXPECT_EQ(ChooseFileToOpen("t", (dir.path() + "/bad:name?").c_str(), "Portable Network Graphics(*.png)|*.png", 0),
              "");
    ASSERT_EQ(script.seen.size(), 2u);
    EXPECT_EQ(script.seen[1].text, "") << "an invalid default name leaves the name field empty";
    EXPECT_EQ(script.seen[1].filters, std::vector<std::string>{"Portable Network Graphics(*.png) (*.png)"});

    EXPECT_EQ(ChooseFileToOpen("t", "noslash", "All files (*.*)|*.*", 0), "");
    EXPECT_EQ(script.seen[2].text, "noslash");
}

TEST_F(Windowing, RequesterRefusesAFolderThatDoesNotExist) {
    OpenEditorLikeWindow();
    testfiles::TempDir dir;
    DialogScript script;
    script.Choose(dir / "missing/name");
    script.Ok();      // the dialog's own warning
    script.Cancel();  // the requester, still open
    EXPECT_EQ(ChooseFileToOpen("t", (dir.path() + "/x").c_str(), "All files (*.*)|*.*", 0), "");
    ASSERT_EQ(script.seen.size(), 3u);
    EXPECT_EQ(script.seen[1].kind, "message");
    EXPECT_EQ(script.seen[2].kind, "file");
}

TEST_F(Windowing, MessageBoxAndModalStateKeepOtherWindowsDisabledOnlyMeanwhile) {
    OpenEditorLikeWindow();
    ASSERT_NE(OpenWindowObject(1, 10, 10, 100, 100, "other", 0xCA0001 | WindowNoActivate), 0);
    Window(0)->activateWindow();
    QApplication::setActiveWindow(Window(0));
    DialogScript script;
    bool otherDisabled = false;
    script.Then([&](QWidget* w) {
        otherDisabled = !Window(1)->isEnabled();
        static_cast<QDialog*>(w)->accept();
    });
    EXPECT_EQ(ShowMessage("Error", "Read file:/x", 0), MessageOk);
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0].title, "Error");
    EXPECT_EQ(script.seen[0].text, "Read file:/x");
    EXPECT_TRUE(otherDisabled);
    EXPECT_TRUE(Window(1)->isEnabled());
    EXPECT_TRUE(Window(0)->isEnabled());
}

TEST_F(Windowing, EscapeIsDownAndNewlyPressedOnce) {
    OpenEditorLikeWindow();
    EXPECT_EQ(EscapeKeyState(), 0);
    QWindow* win = Window(0)->windowHandle();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(win, &press);
    EXPECT_EQ(EscapeKeyState(), -32767);
    EXPECT_EQ(EscapeKeyState(), -32768) << "still down, no longer newly pressed";
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(win, &release);
    EXPECT_EQ(EscapeKeyState(), 0);
}

TEST(WindowingText, FileNamesAndCurrentDirectory) {
    EXPECT_EQ(IsValidFileName("pic#060400"), 1);
    EXPECT_EQ(IsValidFileName("image1.png"), 1);
    EXPECT_EQ(IsValidFileName(""), 0);
    EXPECT_EQ(IsValidFileName(nullptr), 0);
    for (const char* bad : {"a:b", "a?b", "a*b", "a/b", "a\\b", "a|b", "a<b", "a>b", "a\"b", "a\tb"})
        EXPECT_EQ(IsValidFileName(bad), 0) << bad;
    const std::string cwd = CurrentDirectory();
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(cwd.back(), '/');
    const std::string keep = cwd;
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(CurrentDirectory(), "/");
    ASSERT_EQ(chdir(keep.c_str()), 0);
}

// Several inputs waiting at once: each keeps its own events; only what one
// input posted collapses.
TEST_F(Windowing, InputsPendingTogetherAreNotCollapsedIntoOne) {
    OpenEditorLikeWindow();
    QWindow* win = Window(0)->windowHandle();
    Move(Canvas(), {1, 1});  // entered
    Drain();
    // Queued for the platform window, as the platform queues its input.
    for (int x = 10; x <= 50; x += 10) {
        const QPointF local(x, 70);  // the canvas starts 30 pixels down
        QCoreApplication::postEvent(win, new QMouseEvent(QEvent::MouseMove, local, win->mapToGlobal(local),
                                                         Qt::NoButton, Qt::NoButton, Qt::NoModifier));
    }
    for (int i = 0; i < 2; ++i) {
        const QPointF local(20, 80);
        QCoreApplication::postEvent(win, new QWheelEvent(local, win->mapToGlobal(local), QPoint(), QPoint(0, 120),
                                                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false));
    }
    EXPECT_EQ(WaitForEvent(), PlatformMessage);  // one pass takes all seven inputs
    std::vector<std::intptr_t> xs;
    int wheel = 0;
    for (const auto& e : Drain()) {
        if (e.type == CanvasPointerMoved) xs.push_back(e.x);
        if (e.type == CanvasWheelTurned) wheel += static_cast<int>(e.wheel);
    }
    // (The toolkit may fold the first move into the pointer's arrival and
    // add one at the wheel's position; the later moves must all be there.)
    const auto at30 = std::find(xs.begin(), xs.end(), 30);
    ASSERT_NE(at30, xs.end());
    EXPECT_EQ(std::vector<std::intptr_t>(at30, at30 + 3), (std::vector<std::intptr_t>{30, 40, 50}));
    EXPECT_EQ(wheel, 2) << "two notches, two events";
}

TEST_F(Windowing, ReusedNumbersReplaceTheirObjectsAndFailedCreationsFreeThem) {
    OpenEditorLikeWindow();
    Move(Canvas(), {3, 3});
    // The canvas being drawn on is destroyed by the reuse: the drawing goes with it.
    ASSERT_NE(runtime::BeginDrawing(CanvasDrawTarget(0)), 0u);
    ASSERT_NE(CreateCanvas(0, 0, 30, 100, 100), 0) << "the number of a live canvas";
    runtime::FillBox(0, 0, 640, 384, runtime::RgbColour(1, 2, 3));  // must write nowhere
    runtime::EndDrawing();
    EXPECT_EQ(Canvas()->grab().toImage().pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_TRUE(Drain().empty()) << "the old canvas's events went with it";
    ASSERT_NE(CreateToolbarObject(0, WindowHandle(0)), 0);
    ASSERT_NE(CreateToolbarObject(0, WindowHandle(0)), 0);
    EXPECT_EQ(CreateCanvas(0, 0, 30, 0, 10), 0);
    EXPECT_EQ(CanvasDrawTarget(0), nullptr) << "a failed creation leaves the number free";
#if !defined(__SANITIZE_ADDRESS__)  // that allocator reports a refused allocation instead of throwing
    EXPECT_EQ(CreateCanvas(5, 0, 0, 200000, 200000), 0) << "120 GB of bitmap";
#endif
    ASSERT_NE(CreateCanvas(1, 0, 30, 50, 50), 0);
    ASSERT_NE(OpenWindowObject(0, 0, 0, 300, 200, "again", 0), 0) << "the number of a live window";
    EXPECT_EQ(CanvasAttribute(1, CanvasBitmap), 0) << "the old window's canvas went with it";
    EXPECT_EQ(OpenWindowObject(0, 0, 0, -1, 200, "none", 0), 0);
    EXPECT_EQ(WindowHandle(0), 0);
}

TEST_F(Windowing, ClicksNeedTheReleaseWhereTheyCount) {
    OpenEditorLikeWindow();
    QWidget* w = Window(0);
    // A release outside the window (the grab reports it) is no click on it.
    Mouse(w, QEvent::MouseButtonPress, {600, 420}, Qt::LeftButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, {900, 900}, Qt::LeftButton, Qt::NoButton);
    Mouse(w, QEvent::MouseButtonPress, {600, 420}, Qt::LeftButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, {610, 425}, Qt::LeftButton, Qt::NoButton);
    int clicks = 0;
    for (const auto& e : Drain()) clicks += e.code == LeftClickEvent;
    EXPECT_EQ(clicks, 1);

    // The popup takes the release of the right press that opened it: a later
    // release on the canvas alone is no right click.
    ASSERT_NE(CreatePopup(1), 0);
    AddMenuItem(5, "item");
    Press(Canvas(), {20, 20}, Qt::RightButton);
    DialogScript script;
    script.Dismiss();
    ShowPopup(1, WindowHandle(0));
    Drain();
    Release(Canvas(), {20, 20}, Qt::RightButton);
    for (const auto& e : Drain()) EXPECT_NE(e.type, CanvasRightClick);
}

// The status line draws its text with the dots it is given, a cell of seven
// by eight a character after a six-pixel margin; text beyond them in a font.
TEST_F(Windowing, StatusLineDrawsTextWithTheGivenDots) {
    OpenEditorLikeWindow();
    std::vector<std::uint8_t> rows(2 * 8, 0);
    rows[8] = 0x41;  // 'A', top row: the first and the last of seven dots
    rows[15] = 0x08;  // bottom row: the middle dot
    SetStatusLineGlyphs(0x40, 2, rows.data());
    SetStatusLine(0, 0, 414, 640, 26, {{"A@A"}});
    QWidget* line = Window(0)->findChild<QWidget*>(QStringLiteral("statusLine"));
    ASSERT_NE(line, nullptr);
    detail::FlushFrames();
    const QImage shown = OnScreen(line);
    const QRgb paper = shown.pixel(2, 2), ink = line->palette().windowText().color().rgb();
    const int top = (26 - 8) / 2;
    const auto inked = [&](int x, int y) { return shown.pixel(x, y) == ink; };
    for (const int cell : {0, 2}) {
        EXPECT_TRUE(inked(6 + 7 * cell, top)) << cell;
        EXPECT_TRUE(inked(6 + 7 * cell + 6, top)) << cell;
        EXPECT_FALSE(inked(6 + 7 * cell + 1, top)) << cell;
        EXPECT_TRUE(inked(6 + 7 * cell + 3, top + 7)) << cell;
    }
    for (int x = 13; x < 20; ++x)
        for (int y = 0; y < 26; ++y) EXPECT_EQ(shown.pixel(x, y), paper) << x << "," << y;  // '@' has no dots
    EXPECT_EQ(line->grab().toImage(), shown) << "a repaint shows the same";

    // A name the dots do not cover still shows.
    // What does not fit on one row goes whole on a second one.
    const std::string forty(40, 'A');
    SetStatusLine(0, 0, 414, 640, 26, {{forty}, {forty}, {forty}});
    detail::FlushFrames();
    const QImage wrapped = OnScreen(line);
    const auto inkedIn = [&](const QImage& image, int x, int y) { return image.pixel(x, y) == ink; };
    for (const int row : {0, 1}) {
        const int left = row == 0 ? 6 + 280 + 14 : 6, rowTop = 3 + 12 * row;
        EXPECT_TRUE(inkedIn(wrapped, left, rowTop)) << row;
        EXPECT_TRUE(inkedIn(wrapped, left + 7 * 39 + 6, rowTop)) << "the last letter of row " << row;
    }
    EXPECT_FALSE(inkedIn(wrapped, 6 + 280 + 14, 15)) << "the second part stays on the first row";

    SetStatusLine(0, 0, 414, 640, 26, {{"\xc3\xa9t\xc3\xa9"}});
    detail::FlushFrames();
    const QImage font = OnScreen(line);
    int marks = 0;
    for (int x = 0; x < 60; ++x)
        for (int y = 0; y < 26; ++y) marks += font.pixel(x, y) != paper;
    EXPECT_GT(marks, 10);
}

// The program's icon is read from BMP images; what is not one is skipped.
TEST_F(Windowing, ProgramIconComesFromItsBmpImages) {
    // A 2x1 24-bit BMP: red, then blue (stored blue-green-red, rows padded to 4 bytes).
    std::vector<std::uint8_t> bmp = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0,
                                     1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0};
    bmp.resize(54, 0);
    for (const std::uint8_t b : {0, 0, 255, 255, 0, 0, 0, 0}) bmp.push_back(b);
    const std::uint8_t junk[] = {0x89, 'P', 'N', 'G'};
    const std::uint8_t* images[] = {junk, bmp.data()};
    const std::size_t sizes[] = {sizeof junk, bmp.size()};
    SetProgramIcon(images, sizes, 2);
    OpenEditorLikeWindow();
    const QIcon icon = Window(0)->windowIcon();
    ASSERT_EQ(icon.availableSizes(), QList<QSize>({QSize(2, 1)}));
    const QImage shown = icon.pixmap(QSize(2, 1)).toImage();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(1, 0), qRgb(0, 0, 255));
    SetProgramIcon(nullptr, nullptr, 0);
    // An icon given after the window opened reaches it too.
    bmp[54] = 255;  // the first pixel white
    bmp[55] = 255;
    SetProgramIcon(images, sizes, 2);
    EXPECT_EQ(Window(0)->windowIcon().pixmap(QSize(2, 1)).toImage().pixel(0, 0), qRgb(255, 255, 255));
    SetProgramIcon(nullptr, nullptr, 0);
}

TEST_F(Windowing, ShowingWindowsNowDrawsThemBeforeAnyWaitAndKeepsTheEvents) {
    ASSERT_NE(OpenWindowObject(0, 0, 0, 640, 440, "Vornel 0.2", 0xCA0001), 0);
    ASSERT_NE(CreateCanvas(0, 0, 30, 640, 384), 0);
    ASSERT_NE(runtime::BeginDrawing(CanvasDrawTarget(0)), 0u);
    runtime::FillBox(16, 8, 16, 8, runtime::RgbColour(204, 0, 51));
    runtime::EndDrawing();
    ShowWindowsNow();
    QWidget* w = Window(0);
    ASSERT_TRUE(w->isVisible());
    ASSERT_TRUE(w->windowHandle()->isExposed());
    const QImage shown = qtdriver::OnScreen(qtdriver::Canvas());
    ASSERT_FALSE(shown.isNull()) << "drawn into the window's backing store";
    EXPECT_EQ(shown.pixel(16, 8), qRgb(204, 0, 51));
    EXPECT_EQ(shown.pixel(15, 8), qRgb(255, 255, 255));
    // What the opening and the showing reported waits for the program, as
    // when the window showed at the first wait.
    const auto events = Drain();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].code, ActivateEvent);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const auto& e) { return e.code == ActivateEvent; }), 1);
}

// The first frame is the whole window: the status line's text is drawn in
// the same showing as the canvas, not a moment later.
TEST_F(Windowing, TheFirstFrameHoldsTheStatusLinesText) {
    ASSERT_NE(OpenWindowObject(0, 0, 0, 640, 440, "Vornel 0.2", 0xCA0001), 0);
    ASSERT_NE(CreateCanvas(0, 0, 30, 640, 384), 0);
    std::vector<std::uint8_t> rows(8, 0x7F);  // one character, every dot set
    SetStatusLineGlyphs('x', 1, rows.data());
    SetStatusLine(0, 0, 414, 640, 26, {{"x"}});
    ShowWindowsNow();
    QWidget* line = Window(0)->findChild<QWidget*>(QStringLiteral("statusLine"));
    ASSERT_NE(line, nullptr);
    QWidget* top = line->window();
    const auto* store = static_cast<const QImage*>(top->backingStore()->paintDevice());
    const QPoint at = line->mapTo(top, QPoint(6, (26 - 8) / 2));
    EXPECT_EQ(store->pixel(at), line->palette().windowText().color().rgb());
}

// What a screen reader is told: swatch names of their own beside the tips,
// the canvas a picture described by the status line, the status line a
// label with its text, and a change announced to a listening reader only.
TEST_F(Windowing, ScreenReadersHearTheColoursThePictureAndTheStatusLine) {
    OpenEditorLikeWindow();
    ASSERT_NE(CreateToolbarObject(0, WindowHandle(0)), 0);
    AddImageButton(3, 0, 0);
    ASSERT_EQ(SetButtonTip(0, 3, "color # : 3"), 1);
    ASSERT_EQ(SetButtonName(0, 3, "colour 3, purple"), 1);
    EXPECT_EQ(SetButtonName(0, 99, "nothing"), 0);
    QAccessibleInterface* swatch =
        QAccessible::queryAccessibleInterface(Window(0)->findChild<QWidget*>(QStringLiteral("toolbar0")))->child(0);
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->text(QAccessible::Description), QStringLiteral("color # : 3")) << "the tip stays";
    EXPECT_EQ(swatch->text(QAccessible::Name), QStringLiteral("colour 3, purple"));

    SetStatusLine(0, 0, 414, 640, 26, {{"x:3 y:4"}, {"under: 9", 0x0066FF}});
    QAccessibleInterface* canvas = QAccessible::queryAccessibleInterface(Canvas());
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->role(), QAccessible::Graphic);
    EXPECT_EQ(canvas->text(QAccessible::Description), QStringLiteral("x:3 y:4  [#ff6600] under: 9"));
    QAccessibleInterface* status =
        QAccessible::queryAccessibleInterface(Window(0)->findChild<QWidget*>(QStringLiteral("statusLine")));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->role(), QAccessible::StaticText);
    EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("x:3 y:4  [#ff6600] under: 9"));
    SetStatusLine(0, 0, 414, 640, 26, {{"x:5 y:6"}});
    EXPECT_EQ(canvas->text(QAccessible::Description), QStringLiteral("x:5 y:6"));
}

// A box asked for before any window is active (a Wayland compositor
// activates one when it chooses) still belongs to the program's window: its
// transient child, modal, with neither minimise nor maximise.
TEST_F(Windowing, BoxesAreTransientForTheWindowEvenWhenNoneIsActive) {
    OpenEditorLikeWindow();
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    DialogScript script;
    QWidget* parent = nullptr;
    Qt::WindowFlags flags;
    Qt::WindowModality modality = Qt::NonModal;
    script.Then([&](QWidget* w) {
        parent = w->parentWidget();
        flags = w->windowFlags();
        modality = w->windowModality();
        static_cast<QDialog*>(w)->reject();
    });
    EXPECT_EQ(AskToSaveChanges("Vornel 0.2", "Save changes to the picture?"), SaveChangesAnswer::Cancel);
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(parent, Window(0));
    EXPECT_TRUE(flags & Qt::Dialog);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_TRUE(Window(0)->isEnabled()) << "the owner is given back";
}

// The status line draws again only what changed: after any run of changes
// it shows exactly what a line given the last parts at once shows.
TEST_F(Windowing, StatusLineRedrawnInPartsEqualsOneDrawnWhole) {
    OpenEditorLikeWindow();
    ASSERT_NE(OpenWindowObject(1, 0, 0, 640, 440, "other", 0xCA0001 | WindowNoActivate), 0);
    ShowWindowsNow();
    std::vector<std::uint8_t> rows;
    for (int c = 0; c < 96; ++c)
        for (int r = 0; r < 8; ++r) rows.push_back(static_cast<std::uint8_t>((c * 37 + r * 11) & 0x7F));
    SetStatusLineGlyphs(0x20, 96, rows.data());
    std::srand(7);
    std::vector<StatusPart> parts;
    for (int step = 0; step < 60; ++step) {
        parts.clear();
        const int count = 2 + std::rand() % 5;
        for (int i = 0; i < count; ++i) {
            // Now and then long enough to take a second row.
            std::string text(static_cast<std::size_t>(std::rand() % (step % 3 == 0 ? 40 : 9)), 'a');
            for (char& c : text) c = static_cast<char>('0' + std::rand() % 60);
            const std::int64_t swatch = std::rand() % 3 == 0 ? std::rand() % 0xFFFFFF : -1;
            parts.push_back({text, swatch});
        }
        SetStatusLine(0, 0, 414, 640, 26, parts);
        detail::FlushFrames();
    }
    SetStatusLine(1, 0, 414, 640, 26, parts);
    detail::FlushFrames();
    const auto line = [](int window) { return Window(window)->findChild<QWidget*>(QStringLiteral("statusLine")); };
    const QImage parts0 = OnScreen(line(0)), whole = OnScreen(line(1));
    ASSERT_FALSE(whole.isNull());
    EXPECT_TRUE(parts0 == whole);
}
