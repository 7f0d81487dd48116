// The real editor, started offscreen, with helpers that feed its event loop
// the way a user's pointer and menus would.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

#include "editor/editor_window.h"
#include "editor/document_commands.h"
#include "editor/event_loop.h"
#include "lores/lores_page.h"
#include "qt_driver.h"
#include "test_files.h"

class EditorFixture : public ::testing::Test {
protected:
    editor::EditorState s;
    QWidget* canvas = nullptr;
    testfiles::TempDir settings;  // each test's own: no zoom or recent file of another's

    // Where the program keeps its settings during the test.
    virtual std::string SettingsFolder() { return settings.path(); }

    void SetUp() override {
        setenv("XDG_CONFIG_HOME", SettingsFolder().c_str(), 1);
        ASSERT_TRUE(editor::StartUp(s));
        QCoreApplication::processEvents();
        Pump();                             // the first wait shows the window
        QCoreApplication::processEvents();  // exposed, as the event loop would have it
        canvas = qtdriver::Canvas();
        ASSERT_NE(canvas, nullptr);
        qtdriver::Move(canvas, {1, 1});  // the first motion only enters the canvas
        Pump();
    }
    void TearDown() override { editor::ShutDown(s); }

    // Hands every queued event to the loop's handler, as the loop would.
    // False when one of them would have ended the loop.
    bool Pump() {
        windowing::PostEvent(qtdriver::Sentinel, 0, 0, 0, nullptr, nullptr);
        bool running = true;
        for (;;) {
            const int event = windowing::WaitForEvent();
            if (event == qtdriver::Sentinel) return running;
            running = editor::HandleEvent(s, event) && running;
        }
    }

    void Command(int id) {
        windowing::PostEvent(windowing::MenuEvent, id, 0, 0, nullptr, nullptr);
        Pump();
    }

    static QPoint At(int cx, int cy) { return {cx * 16 + 5, cy * 8 + 3}; }

    void MoveTo(int cx, int cy) {
        qtdriver::Move(canvas, At(cx, cy));
        Pump();
    }
    void DragTo(QPoint p) {
        qtdriver::Move(canvas, p, Qt::LeftButton);
        Pump();
    }
    void PressAt(QPoint p) {
        qtdriver::Press(canvas, p);
        Pump();
        qtdriver::Release(canvas, p);
        Pump();
    }
    void PressAt(int cx, int cy) { PressAt(At(cx, cy)); }

    int Pixel(int x, int y) { return lores::PixelAt(s.workingPage(), x, y); }

    // What the canvas shows at a canvas pixel.
    QRgb Shown(int x, int y) { return canvas->grab().toImage().pixel(x, y); }

    static QRgb Palette(int n) {
        const auto v = lores::LoresPalette[n];
        return qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
    }

    // The real loop: Escape is down before a colour's menu event is
    // handled, the close box comes after it.
    void EscapeThenColourThenClose(int colour) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(qtdriver::Window(0)->windowHandle(), &press);
        windowing::PostEvent(windowing::MenuEvent, colour, 0, 0, nullptr, nullptr);
        windowing::PostEvent(windowing::CloseEvent, 0, 0, 0, nullptr, nullptr);
        editor::RunEventLoop(s);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(qtdriver::Window(0)->windowHandle(), &release);
    }

    // The menu bar's height: the window's client area below it is laid out
    // as it was before the window had one.
    static int MenuBarHeight() {
        const QWidget* bar = qtdriver::Window(0)->findChild<QWidget*>(QStringLiteral("menuBar"));
        return bar ? bar->height() : 0;
    }

    // The title once the frame it waits for is out.
    std::string Title() {
        windowing::detail::FlushFrames();
        return qtdriver::Window(0)->windowTitle().toStdString();
    }
};
