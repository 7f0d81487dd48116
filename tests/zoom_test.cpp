// Zoom through the real event loop, on a large offscreen screen (3000x2000,
// tests/zoom/large_screen.json): the canvas and the window grow, a press
// lands on the cell drawn under it at every zoom, the title keeps cell
// coordinates, and the zoom chosen is the next start's.
#include <QScreen>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "editor/zoom.h"
#include "runtime/settings.h"
#include "editor_fixture.h"
#include "test_files.h"

using namespace editor;
using namespace testfiles;

class Zoom : public EditorFixture {
protected:
    std::string SettingsFolder() override { return config().path(); }
    static TempDir& config() {
        static TempDir dir;
        return dir;
    }
    QWidget* Status() { return qtdriver::Window(0)->findChild<QWidget*>(QStringLiteral("statusLine")); }
};

TEST_F(Zoom, StepsGrowTheWindowPressesLandOnTheirCellsAndTheNextStartKeepsIt) {
    EXPECT_EQ(s.zoom, 1) << "the first start is 1x";
    EXPECT_EQ(canvas->size(), QSize(640, 384));
    for (int zoom = 2; zoom <= 4; ++zoom) {
        Command(CommandId::ZoomIn);
        ASSERT_EQ(s.zoom, zoom);
        EXPECT_EQ(canvas->size(), QSize(640 * zoom, 384 * zoom));
        EXPECT_EQ(qtdriver::Window(0)->size(), QSize(640 * zoom, MenuBarHeight() + 30 + 384 * zoom + 26));
        EXPECT_EQ(Status()->geometry(), QRect(0, MenuBarHeight() + 30 + 384 * zoom, 640, 26))
            << "the status line keeps its size";
        EXPECT_EQ(canvas->parentWidget(), qtdriver::Window(0)) << "no scrolling where the window fits";
        EXPECT_TRUE(qtdriver::Window(0)->screen()->availableGeometry().contains(qtdriver::Window(0)->frameGeometry()))
            << "moved back onto the screen as it grew";
        // The last canvas pixel of cell (2, 3) and the first of cell (3, 4).
        const QPoint lastOf(zoom * (3 * 16) - 1, zoom * (4 * 8) - 1), firstOf(zoom * (3 * 16), zoom * (4 * 8));
        qtdriver::Move(canvas, lastOf);
        Pump();
        EXPECT_EQ(Title(), "Vornel 0.2 x:2,y:3");
        qtdriver::Move(canvas, firstOf);
        Pump();
        EXPECT_EQ(Title(), "Vornel 0.2 x:3,y:4");
    }
    Command(CommandId::ZoomIn);
    EXPECT_EQ(s.zoom, 4) << "4x is the largest";
    // What a press draws shows where it was pressed.
    Command(CommandId::NewPicture);
    qtdriver::Press(canvas, {4 * 16 * 5 + 1, 4 * 8 * 6 + 1});
    Pump();
    qtdriver::Release(canvas, {4 * 16 * 5 + 1, 4 * 8 * 6 + 1});
    Pump();
    EXPECT_EQ(Pixel(5, 6), s.currentColour & 15);
    const QImage shown = canvas->grab().toImage();
    EXPECT_EQ(shown.pixel(4 * 16 * 5 + 63, 4 * 8 * 6 + 31), Palette(s.currentColour & 15)) << "the whole zoomed cell";
    EXPECT_EQ(shown.pixel(4 * 16 * 5 + 64, 4 * 8 * 6 + 31), Palette(0));

    Command(CommandId::ZoomOut);
    EXPECT_EQ(s.zoom, 3);
    EXPECT_EQ(ReadAll(config() / "vornel/zoom"), (std::vector<std::uint8_t>{'3', '\n'}));
    EXPECT_EQ(SavedZoom(), 3) << "the next start's";
    Command(CommandId::ZoomReset);
    EXPECT_EQ(s.zoom, 1);
    EXPECT_EQ(canvas->size(), QSize(640, 384));
    EXPECT_EQ(qtdriver::Window(0)->size(), QSize(640, MenuBarHeight() + 440));
    EXPECT_EQ(SavedZoom(), 1);
}

// Whatever is found in the settings folder, the program neither waits nor
// writes anywhere but its own file: a pipe or a link for the zoom is read as
// 1x, and a zoom step leaves them and what a link points to alone.
TEST_F(Zoom, OddSettingsNeitherHangNorHarm) {
    const std::string zoom = config() / "vornel/zoom";
    WriteAll(config() / "victim", {'k', 'e', 'e', 'p'});
    WriteAll(config() / "three", {'3', '\n'});
    const auto odd = {std::pair<const char*, std::function<void()>>{"a pipe", [&] { mkfifo(zoom.c_str(), 0600); }},
                      {"a link", [&] { symlink((config() / "three").c_str(), zoom.c_str()); }},
                      {"a link to a victim", [&] { symlink((config() / "victim").c_str(), zoom.c_str()); }},
                      {"garbage", [&] { WriteAll(zoom, {'9', '9', '9', '9'}); }},
                      {"a pipe and a link where a temporary file could be", [&] {
                           mkfifo((zoom + ".new").c_str(), 0600);
                           symlink((config() / "victim").c_str(), (zoom + ".tmp").c_str());
                       }}};
    for (const auto& [what, make] : odd) {
        SCOPED_TRACE(what);
        unlink(zoom.c_str());
        make();
        EXPECT_EQ(SavedZoom(), 1);
        Command(CommandId::ZoomIn);
        EXPECT_EQ(s.zoom, 2);
        Command(CommandId::ZoomReset);
        EXPECT_EQ(ReadAll(config() / "victim"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
        EXPECT_EQ(ReadAll(config() / "three"), (std::vector<std::uint8_t>{'3', '\n'}));
    }
    EXPECT_EQ(ReadAll(zoom), (std::vector<std::uint8_t>{'1', '\n'})) << "a plain file is replaced as before";
    // A relative folder is no folder of ours: nothing is read from it.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    const std::string home = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", config().path().c_str(), 1);
    EXPECT_EQ(runtime::UserFolder("XDG_CONFIG_HOME", ".config"), config() / ".config/vornel");
    setenv("XDG_CONFIG_HOME", config().path().c_str(), 1);
    setenv("HOME", home.c_str(), 1);
}

// Run on a screen of exactly the 2x window (tests/zoom/exact_screen.json):
// the zoom that fits to the pixel shows all of the canvas, the next one
// scrolls in a window of the whole screen.
TEST_F(Zoom, NeedsExactScreenAZoomThatFitsItIsTaken) {
    const QSize screen = qtdriver::Window(0)->screen()->availableGeometry().size();
    if (screen != QSize(1280, MenuBarHeight() + 30 + 768 + 26)) GTEST_SKIP() << "needs the screen of exact_screen.json";
    Command(CommandId::ZoomIn);
    EXPECT_EQ(s.zoom, 2);
    EXPECT_EQ(canvas->parentWidget(), qtdriver::Window(0)) << "no scroll bars one pixel short";
    Command(CommandId::ZoomIn);
    EXPECT_EQ(s.zoom, 3);
    EXPECT_NE(canvas->parentWidget(), qtdriver::Window(0));
    EXPECT_EQ(qtdriver::Window(0)->size(), screen);
    Command(CommandId::ZoomReset);
}

// View, Pixel Aspect: the canvas's cells are 16x8, 14x8 or 16x10 (the
// window fitted, never narrower than its 640), a pointer lands on the cell
// drawn under it, a zoom keeps the shape, and the next start has it.
TEST_F(Zoom, ThePixelAspectShapesTheCellsAndIsTheNextStarts) {
    const struct {
        int id, w, h;
        const char* kept;
    } aspects[] = {{CommandId::FirstPixelAspect + 2, 16, 10, "8:5\n"},
                   {CommandId::FirstPixelAspect + 1, 14, 8, "7:4\n"},
                   {CommandId::FirstPixelAspect, 16, 8, "2:1\n"}};
    for (const auto& a : aspects) {
        Command(a.id);
        EXPECT_EQ(canvas->size(), QSize(40 * a.w, 48 * a.h)) << a.kept;
        EXPECT_EQ(qtdriver::Window(0)->size(), QSize(640, MenuBarHeight() + 30 + 48 * a.h + 26)) << a.kept;
        qtdriver::Move(canvas, {3 * a.w - 1, 4 * a.h - 1});
        Pump();
        EXPECT_EQ(Title(), "Vornel 0.2 x:2,y:3") << a.kept;
        qtdriver::Move(canvas, {3 * a.w, 4 * a.h});
        Pump();
        EXPECT_EQ(Title(), "Vornel 0.2 x:3,y:4") << a.kept;
        Command(CommandId::ZoomIn);
        EXPECT_EQ(canvas->size(), QSize(80 * a.w, 96 * a.h)) << a.kept;
        Command(CommandId::ZoomReset);
        const std::string kept(reinterpret_cast<const char*>(ReadAll(config() / "vornel/aspect").data()), 4);
        EXPECT_EQ(kept, a.kept);
        if (a.w == 14) {
            // The next start shows it from its first frame.
            editor::ShutDown(s);
            SetUp();
            EXPECT_EQ(s.aspect, documents::PixelAspect::SevenToFour);
            EXPECT_EQ(canvas->size(), QSize(560, 384));
        }
    }
}
