// The menu bar as a screen reader and a user find it: every command of the
// table with its words, keys and state; an item does what its key does;
// Open Recent; Escape during a shape; the export of the mixed view.
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "documents/conversions.h"
#include "editor/commands.h"
#include "editor/document_commands.h"
#include "editor/recent_files.h"
#include "editor/status_line.h"
#include "editor/tools/tool.h"
#include "editor_fixture.h"
#include "lores/text_glyphs.h"
#include "test_files.h"

using namespace editor;
using namespace testfiles;

namespace {

// Every item of the bar's menus (submenus included), as the accessibility
// interface tells them: words without "&", keys, on, enabled.
struct Told {
    std::string name, keys;
    bool on = false, enabled = false;
    QAccessibleInterface* item = nullptr;
};

void Walk(QAccessibleInterface* menu, std::vector<Told>& out) {
    for (int i = 0; i < menu->childCount(); ++i) {
        QAccessibleInterface* item = menu->child(i);
        if (!item || item->role() == QAccessible::Separator) continue;
        if (item->childCount() > 0 && item->child(0)->role() == QAccessible::PopupMenu) {
            Walk(item->child(0), out);  // a submenu's title: its items are the commands
            continue;
        }
        const QAccessible::State state = item->state();
        out.push_back({item->text(QAccessible::Name).toStdString(), item->text(QAccessible::Accelerator).toStdString(),
                       bool(state.checked), !state.disabled, item});
    }
}

std::string Plain(const char* text) {
    std::string s;
    for (const char* c = text; *c; ++c)
        if (*c != '&') s += *c;
    return s;
}

std::vector<Told> MenuBarItems() {
    QWidget* bar = qtdriver::Window(0)->findChild<QWidget*>(QStringLiteral("menuBar"));
    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(bar);
    std::vector<Told> items;
    if (!strip || strip->role() != QAccessible::MenuBar) return items;
    // Each title a menu item named as it reads, the menu it opens under it.
    for (int m = 0; m < strip->childCount(); ++m) {
        QAccessibleInterface* title = strip->child(m);
        EXPECT_EQ(title->role(), QAccessible::MenuItem);
        EXPECT_EQ(title->text(QAccessible::Name).toStdString(), Plain(editor::MenuTitles[static_cast<std::size_t>(m)]));
        EXPECT_EQ(title->text(QAccessible::Accelerator).left(4), QStringLiteral("Alt+"));
        EXPECT_EQ(strip->indexOfChild(title), m);
        Walk(title->child(0), items);
    }
    return items;
}


const Told* Find(const std::vector<Told>& items, const std::string& name) {
    for (const Told& t : items)
        if (t.name == name) return &t;
    return nullptr;
}

}  // namespace

class MenuBar : public EditorFixture {
protected:
    // Chooses the item as a screen reader's user would.
    void Choose(const std::string& name) {
        const std::vector<Told> items = MenuBarItems();
        const Told* t = Find(items, name);
        ASSERT_NE(t, nullptr) << name;
        ASSERT_NE(t->item->actionInterface(), nullptr);
        t->item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        Pump();
    }
    void Key(const char* keys) {
        QApplication::setActiveWindow(qtdriver::Window(0));
        const QKeySequence k = QKeySequence::fromString(QString::fromUtf8(keys));
        QTest::keySequence(qtdriver::Window(0), k);
        Pump();
    }
};

// The bar holds every command the table puts in a menu, in its words, with
// its first key, its state and whether it can act, as the table says now;
// and the states follow what the commands do.
TEST_F(MenuBar, ItemsReadThroughAccessibilityAreTheCommandTable) {
    std::vector<Told> items = MenuBarItems();
    ASSERT_FALSE(items.empty()) << "a menu bar a screen reader sees";
    std::size_t inMenus = 0;
    for (const editor::Command& c : Commands()) {
        if (c.menu == Menu::None) continue;
        ++inMenus;
        const int palette = c.id - CommandId::FirstPalette;
        const std::string name = c.text ? Plain(c.text) : lores::Palettes()[static_cast<std::size_t>(palette)].name;
        const Told* t = Find(items, name);
        ASSERT_NE(t, nullptr) << name;
        if (c.keys[0]) {
            EXPECT_EQ(t->keys, QKeySequence::fromString(QString::fromUtf8(c.keys[0])).toString().toStdString()) << name;
        }
        EXPECT_EQ(t->on, c.tool ? s.currentTool == tools::KindOf(c.tool(), c.id) : c.on && c.on(s)) << name;
        EXPECT_EQ(t->enabled, !c.enabled || c.enabled(s)) << name;
    }
    EXPECT_EQ(items.size(), inMenus + RecentFilesKept) << "and the recent files' places";
    // At the start: the pen, no selection, the newest step, 1x.
    for (const auto& [name, on, enabled] : {std::tuple{"Pen", true, true}, {"Line", false, true},
                                            {"Copy", false, false}, {"Cut", false, false}, {"Delete", false, false},
                                            {"Undo", false, false}, {"Redo", false, false},
                                            {"Zoom Out", false, false}, {"Zoom In", false, true},
                                            {"Clear Text Lines", false, false}, {"standard", true, true}}) {
        const Told* t = Find(items, name);
        ASSERT_NE(t, nullptr) << name;
        EXPECT_EQ(t->on, on) << name;
        EXPECT_EQ(t->enabled, enabled) << name;
    }
    // A stroke, a selection, the grid, the mixed view, a palette: the bar follows.
    PressAt(3, 3);
    Command(CommandId::SelectAll);
    Command(CommandId::ToggleGrid);
    Command(CommandId::ToggleMixedView);
    Command(CommandId::FirstPalette + 2);
    Command(CommandId::ZoomIn);
    items = MenuBarItems();
    for (const auto& [name, on, enabled] : {std::tuple{"Pen", false, true}, {"Select", true, true},
                                            {"Copy", false, true}, {"Undo", false, true}, {"Redo", false, false},
                                            {"Grid", true, true}, {"Mixed View", true, true},
                                            {"Clear Text Lines", false, true}, {"standard", false, true},
                                            {lores::Palettes()[2].name, true, true}, {"Zoom Out", false, true}}) {
        const Told* t = Find(items, name);
        ASSERT_NE(t, nullptr) << name;
        EXPECT_EQ(t->on, on) << name;
        EXPECT_EQ(t->enabled, enabled) << name;
    }
    Command(CommandId::HistoryBack);
    EXPECT_TRUE(Find(MenuBarItems(), "Redo")->enabled) << "a step to go forward to";
    Command(CommandId::ZoomReset);
    // Paste as the Edit menu opens: greyed with nothing on the clipboard, not once cells are copied.
    QMenu* edit = qtdriver::Window(0)->findChild<QMenu*>(QStringLiteral("menuEdit"));
    ASSERT_NE(edit, nullptr);
    QGuiApplication::clipboard()->clear();
    QMetaObject::invokeMethod(edit, "aboutToShow");
    EXPECT_FALSE(Find(MenuBarItems(), "Paste")->enabled);
    Command(CommandId::CopySelection);
    QMetaObject::invokeMethod(edit, "aboutToShow");
    EXPECT_TRUE(Find(MenuBarItems(), "Paste")->enabled);
}

// The same commands once by their keys and once from the menu bar, from the
// same start: after each, the same picture, tools, view and status line.
TEST_F(MenuBar, AnItemDoesWhatItsKeyDoes) {
    const std::vector<std::pair<const char*, const char*>> steps = {
        {"L", "Line"}, {"Ctrl+A", "Select All"}, {"H", "Flip Left-Right"}, {"Shift+H", "Flip Top-Bottom"},
        {"Ctrl+C", "Copy"}, {"Delete", "Delete"}, {"X", "Mirror Left-Right"}, {"Shift+X", "Mirror Top-Bottom"},
        {"G", "Grid"}, {"V", "Next Palette"}, {"Ctrl+Right", "Scroll Right"}, {"Ctrl+Down", "Scroll Down"},
        {"Ctrl+Z", "Undo"}, {"Ctrl+Shift+Z", "Redo"}, {"M", "Mixed View"}, {"Ctrl+Delete", "Clear Text Lines"},
        {"Ctrl+V", "Paste"}, {"Return", nullptr}, {"R", "Rectangle"}, {"Shift+C", "Filled Circle"},
        {"[", "Previous Colour"}, {"K", "Pick Colour"}, {"]", "Next Colour"}, {"Ctrl+=", "Zoom In"},
        {"Ctrl+-", "Zoom Out"}, {"T", "Text"}, {"S", "Select"}, {"Ctrl+A", "Select All"}, {"Ctrl+X", "Cut"}, {"Ctrl+0", "Actual Size"}};
    struct Seen {
        lores::LoresPage page;
        Tool tool;
        int colour, zoom, palette;
        bool grid, mixed, mirrorLR, mirrorTB, changed;
        std::size_t at;
        CellRect selection;
        std::string status;
        bool operator==(const Seen&) const = default;
    };
    const auto run = [&](bool byKeys) {
        std::vector<Seen> seen;
        MoveTo(7, 9);
        for (const auto& [keys, name] : steps) {
            if (byKeys || !name) Key(keys);
            else Choose(name);
            seen.push_back({s.workingPage(), s.currentTool, s.currentColour, s.zoom, s.palette, s.showGrid,
                            s.mixedView, s.mirrorLeftRight, s.mirrorTopBottom, s.pictureChanged, s.history.at,
                            s.select.rect, windowing::StatusLineText(WindowNumber)});
        }
        return seen;
    };
    const std::vector<Seen> byKeys = run(true);
    editor::ShutDown(s);
    SetUp();
    const std::vector<Seen> byMenus = run(false);
    ASSERT_EQ(byKeys.size(), byMenus.size());
    for (std::size_t i = 0; i < byKeys.size(); ++i) EXPECT_TRUE(byKeys[i] == byMenus[i]) << steps[i].first;
    // And the steps did something: the picture, the tools and the view all changed on the way.
    EXPECT_NE(byKeys[2].page, byKeys[1].page);
    EXPECT_NE(byKeys[15].page, byKeys[14].page) << "the text lines cleared";
    EXPECT_TRUE(byKeys[8].grid && byKeys[14].mixed && byKeys[23].zoom == 2);
}

// Open Recent: the pictures opened and saved, newest first, ten at most; one
// that is gone is said so (after the unsaved question) and taken off; a
// settings folder with something odd where the list is kept is neither
// followed, nor waited on, nor harmed.
TEST_F(MenuBar, OpenRecentSaysAGoneFileAndSurvivesOddSettings) {
    TempDir dir;
    const std::string recent = settings / "vornel/recent";
    for (int i = 0; i < 12; ++i) {
        WriteAll(dir / ("p" + std::to_string(i)), std::vector<std::uint8_t>(1024, static_cast<std::uint8_t>(i)));
        qtdriver::DialogScript script;
        script.Choose(dir / ("p" + std::to_string(i)));
        Command(CommandId::OpenPicture);
    }
    ASSERT_EQ(s.recentFiles.size(), RecentFilesKept);
    EXPECT_EQ(s.recentFiles.front(), dir / "p11");
    EXPECT_EQ(s.recentFiles.back(), dir / "p2");
    const std::vector<std::uint8_t> kept = ReadAll(recent);
    EXPECT_EQ(ParseRecentFiles(std::string(kept.begin(), kept.end())), s.recentFiles) << "kept as it is shown";
    EXPECT_EQ(Find(MenuBarItems(), "&1  " + dir / "p11"), nullptr) << "the menu shows no ampersand";
    EXPECT_NE(Find(MenuBarItems(), "1  " + dir / "p11"), nullptr);
    // Choosing the fourth opens it and puts it first.
    Command(CommandId::FirstRecentFile + 3);
    EXPECT_EQ(s.fileName, dir / "p8");
    EXPECT_EQ(s.recentFiles.front(), dir / "p8");
    // A gone one, with an unsaved change: the question first, then the word, and it leaves the list.
    unlink((dir / "p5").c_str());
    PressAt(1, 1);
    {
        qtdriver::DialogScript script;
        script.Answer(QMessageBox::Discard);
        script.Ok();
        Command(CommandId::FirstRecentFile + 6);
        ASSERT_EQ(script.seen.size(), 2u);
        EXPECT_EQ(script.seen[0].text, SaveChangesQuestion);
        EXPECT_NE(script.seen[1].text.find(dir / "p5"), std::string::npos);
        EXPECT_NE(script.seen[1].text.find("no longer there"), std::string::npos);
    }
    EXPECT_EQ(s.recentFiles.size(), RecentFilesKept - 1);
    EXPECT_EQ(std::count(s.recentFiles.begin(), s.recentFiles.end(), dir / "p5"), 0);
    const auto keptNow = ReadAll(recent);
    EXPECT_EQ(ParseRecentFiles(std::string(keptNow.begin(), keptNow.end())), s.recentFiles) << "gone for the next start too";
    EXPECT_EQ(s.fileName, dir / "p8") << "the picture on screen stays";
    // A save puts its file first, onto the list as another window left it;
    // Clear empties the list and its file.
    WriteAll(recent, {'/', 'o', 't', 'h', 'e', 'r', '\n'});
    s.fileName = dir / "saved";
    Command(CommandId::SavePicture);
    EXPECT_EQ(s.recentFiles, (std::vector<std::string>{dir / "saved", "/other"}));
    Command(CommandId::ClearRecent);
    EXPECT_TRUE(s.recentFiles.empty());
    EXPECT_TRUE(ReadAll(recent).empty());

    // Odd things where the list is kept: read as no list, never written through.
    WriteAll(dir / "victim", {'k', 'e', 'e', 'p', '\n'});
    const auto odd = {std::pair<const char*, std::function<void()>>{"a pipe", [&] { mkfifo(recent.c_str(), 0600); }},
                      {"a link", [&] { symlink((dir / "victim").c_str(), recent.c_str()); }},
                      {"a folder", [&] { mkdir(recent.c_str(), 0700); }},
                      {"lines that are no paths", [&] {
                           WriteAll(recent, {'r', 'e', 'l', '\n', '/', 'a', '\x01', '\n', '/', 'o', 'k', '\n', '/', 'c',
                                             'u', 't'});
                       }}};
    for (const auto& [what, make] : odd) {
        SCOPED_TRACE(what);
        unlink(recent.c_str());
        rmdir(recent.c_str());
        make();
        LoadRecentFiles(s);
        EXPECT_EQ(s.recentFiles, std::string(what) == "lines that are no paths" ? std::vector<std::string>{"/ok"}
                                                                                 : std::vector<std::string>{});
        s.fileName = dir / "again";
        Command(CommandId::SavePicture);
        EXPECT_EQ(s.recentFiles.front(), dir / "again") << "the list in memory goes on";
        EXPECT_EQ(ReadAll(dir / "victim"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p', '\n'}));
    }
}

// Escape with a shape's first press made takes the rubber band away, draws
// nothing and does not end the program (the colour chosen after it still
// arrives); the next press starts a new shape.
TEST_F(MenuBar, EscapeTakesAwayEachTwoPressShape) {
    for (const int tool : {CommandId::LineTool, CommandId::CircleTool, CommandId::RectangleTool,
                           CommandId::FilledRectangleTool, CommandId::FilledCircleTool}) {
        SCOPED_TRACE(tool);
        s.pictureChanged = false;  // the last round's drawing is let go without a question
        Command(CommandId::NewPicture);
        Command(tool);
        const lores::LoresPage before = s.workingPage();
        // The canvas apart from the pointer's cell (its highlight is drawn in the current colour).
        const auto shown = [&] {
            QImage image = canvas->grab().toImage();
            for (int y = 14 * 8; y < 15 * 8; ++y)
                for (int x = 16 * 16; x < 17 * 16; ++x) image.setPixel(x, y, 0);
            return image;
        };
        MoveTo(16, 14);
        const QImage plain = shown();
        PressAt(10, 10);
        MoveTo(16, 14);
        ASSERT_NE(shown(), plain) << "the rubber band shows";
        const int colour = (s.currentColour + 3) % 16;
        EscapeThenColourThenClose(colour);
        EXPECT_EQ(s.currentColour, colour) << "Escape did not end the program";
        EXPECT_EQ(s.workingPage(), before);
        EXPECT_EQ(shown(), plain) << "the rubber band is gone";
        // The next press anchors a new shape, the one after draws it.
        PressAt(2, 2);
        EXPECT_EQ(s.workingPage(), before);
        PressAt(4, 2);
        EXPECT_NE(s.workingPage(), before);
    }
}

// Escape that closes a menu of the bar (or its submenu) is the menu's: the
// program goes on; the next one quits as before.
TEST_F(MenuBar, EscapeClosingAMenuDoesNotQuit) {
    QWidget* window = qtdriver::Window(0);
    const auto escape = [](QWidget* to) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier), release(QEvent::KeyRelease, Qt::Key_Escape,
                                                                                  Qt::NoModifier);
        QApplication::sendEvent(to->windowHandle(), &press);
        QApplication::sendEvent(to->windowHandle(), &release);
    };
    Key("Alt+V");
    QMenu* view = window->findChild<QMenu*>(QStringLiteral("menuView"));
    ASSERT_TRUE(view && view->isVisible()) << "Alt and the title's letter open its menu";
    escape(view);
    Pump();
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(windowing::EscapeKeyState() & 1, 0) << "the program does not take it for its own";
    escape(window);
    EXPECT_EQ(windowing::EscapeKeyState() & 1, 1) << "with no menu open, Escape is the program's";
}

// Export in the mixed view writes the text lines, byte for byte the PNG the
// command line's --export-png --mixed makes; with the view off, without.
TEST_F(MenuBar, ExportInTheMixedViewIsTheCommandLinesMixedPicture) {
    TempDir dir;
    for (int i = 0; i < lores::MixedTextBytes; ++i)
        s.workingPage()[static_cast<std::size_t>(lores::MixedTextOffset(i / 40, i % 40))] =
            static_cast<std::uint8_t>(0x41 + i % 90);
    WriteAll(dir / "page", {s.workingPage().begin(), s.workingPage().end()});
    for (const bool mixed : {true, false}) {
        SCOPED_TRACE(mixed);
        if (s.mixedView != mixed) Command(CommandId::ToggleMixedView);
        qtdriver::DialogScript script;
        script.Choose(dir / "window.png");
        Command(CommandId::ExportPicture);
        ASSERT_TRUE(documents::ExportPageAsPng(dir / "page", dir / "line.png", lores::Palettes().front(), mixed).ok);
        EXPECT_EQ(ReadAll(dir / "window.png"), ReadAll(dir / "line.png"));
        unlink((dir / "window.png").c_str());
    }
}

// The keyboard walks the bar as the toolkit's own: F10 opens File, Left
// from it wraps to Help, Right on Open Recent opens that submenu (not the
// next menu); Open Recent shows no blank places; Paste is greyed by what the
// clipboard holds; a recent list keeps no line break nor a name twice; the
// settings folder is the user's alone.
TEST_F(MenuBar, TheKeyboardWalksTheBarAndTheItemsFollowWhatTheyShow) {
    QWidget* window = qtdriver::Window(0);
    const auto menu = [&](const char* name) { return window->findChild<QMenu*>(QStringLiteral("menu") + name); };
    Key("F10");
    ASSERT_TRUE(menu("File") && menu("File")->isVisible());
    QTest::keyClick(menu("File"), Qt::Key_Left);
    ASSERT_TRUE(menu("Help") && menu("Help")->isVisible()) << "Left from the first wraps to the last";
    menu("Help")->hide();
    Key("F10");
    QAction* recent = nullptr;
    for (QAction* a : menu("File")->actions())
        if (a->menu() && a->text().contains(QStringLiteral("Recent"))) recent = a;
    ASSERT_NE(recent, nullptr);
    menu("File")->setActiveAction(recent);
    QTest::keyClick(menu("File"), Qt::Key_Right);
    EXPECT_TRUE(recent->menu()->isVisible());
    EXPECT_FALSE(menu("Edit") && menu("Edit")->isVisible());
    for (QAction* a : recent->menu()->actions()) EXPECT_FALSE(a->isVisible() && a->text().isEmpty() && !a->isSeparator());
    recent->menu()->hide();
    menu("File")->hide();

    for (const bool offered : {false, true}) {
        if (offered) QGuiApplication::clipboard()->setImage(QImage(3, 2, QImage::Format_RGB32));
        else QGuiApplication::clipboard()->clear();
        Key("Alt+E");
        QAction* paste = nullptr;
        for (QAction* a : menu("Edit")->actions())
            if (a->text().startsWith(QStringLiteral("&Paste")) || a->text().startsWith(QStringLiteral("Paste"))) paste = a;
        ASSERT_NE(paste, nullptr);
        EXPECT_EQ(paste->isEnabled(), offered);
        // The other items' states handed on again (another tool) leave Paste to the clipboard.
        Command(offered ? CommandId::PenTool : CommandId::LineTool);
        EXPECT_EQ(paste->isEnabled(), offered);
        menu("Edit")->hide();
    }

    EXPECT_EQ(ParseRecentFiles("/a\n/a\n/b\x0b\n/c\n"), (std::vector<std::string>{"/a", "/c"}));
    RememberRecentFile(s, "/x\ny");
    EXPECT_EQ(std::count(s.recentFiles.begin(), s.recentFiles.end(), "/x\ny"), 0);
    const mode_t mask = umask(0);
    std::system(("rm -rf '" + settings / "vornel'").c_str());
    windowing::PostEvent(windowing::MenuEvent, CommandId::PlayFaster, 0, 0, nullptr, nullptr);
    Pump();
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat((settings / "vornel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the settings folder is the user's alone";
}

// The manual's KEYS section names every key of the command table (F1's list
// is made from the table itself): a key added to the table and not to the
// manual fails here.
TEST_F(MenuBar, TheManualNamesEveryKeyOfTheTable) {
    const auto page = ReadAll(std::string(VORNEL_SOURCE_DIR) + "/data/vornel.1");
    std::string text(page.begin(), page.end());
    text = text.substr(text.find(".SH KEYS"), text.find(".SH EXIT STATUS") - text.find(".SH KEYS"));
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '-')) plain += text[i];
    const auto named = [&](const std::string& key) {
        for (std::size_t at = plain.find(key); at != std::string::npos; at = plain.find(key, at + 1)) {
            const char after = at + key.size() < plain.size() ? plain[at + key.size()] : ' ';
            const char before = at > 0 ? plain[at - 1] : ' ';
            const auto apart = [](char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '+'; };
            if (apart(after) && apart(before)) return true;
        }
        return false;
    };
    for (const editor::Command& c : Commands())
        for (const char* key : c.keys) {
            if (key) {
                EXPECT_TRUE(named(key)) << key << " (" << (c.help ? c.help : "") << ") is not in the manual's KEYS";
            }
        }
}
