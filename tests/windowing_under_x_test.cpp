// The windowing layer on a real X server (run under Xvfb, at scale 1 and 2):
// titles and canvas updates as the server itself sees them, and presses on
// the edge pixels of every cell.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <cmath>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <string>
#include <xcb/xcb.h>

#include "qt_driver.h"
#include "runtime/images.h"
#include "windowing/windowing.h"

using namespace windowing;

namespace {

xcb_connection_t* Connection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// Read through the program's own connection, so after its earlier requests.
std::string Property(xcb_window_t w, xcb_atom_t property) {
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(Connection(), xcb_get_property(Connection(), 0, w, property, XCB_ATOM_ANY, 0, 256), nullptr);
    std::string value = r ? std::string(static_cast<const char*>(xcb_get_property_value(r)),
                                        static_cast<std::size_t>(xcb_get_property_value_length(r)))
                          : std::string();
    std::free(r);
    return value;
}

std::uint32_t EventMask(xcb_window_t w) {
    xcb_get_window_attributes_reply_t* r =
        xcb_get_window_attributes_reply(Connection(), xcb_get_window_attributes(Connection(), w), nullptr);
    const std::uint32_t mask = r ? r->your_event_mask : 0;
    std::free(r);
    return mask;
}

// The program's loop through what is queued, then one wait for input,
// which a timer ends.
void WaitOnce() {
    constexpr int Marker = 0x7A11;
    PostEvent(Marker, 0, 0, 0, nullptr, nullptr);
    while (WaitForEvent() != Marker) {
    }
    ScheduleWakeUp(1);
    WaitForEvent();
}

void Spin(int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class UnderX : public ::testing::Test {
protected:
    QWidget* window = nullptr;
    xcb_window_t id = 0;
    void SetUp() override {
        InitWindowing();
        runtime::InitImages();
        ASSERT_NE(OpenWindowObject(0, 0, 0, 640, 440, "Vornel 0.2", 0xCA0001), 0);
        ASSERT_NE(CreateCanvas(0, 0, 30, 640, 384), 0);
        PostEvent(1, 0, 0, 0, nullptr, nullptr);
        WaitForEvent();  // the first wait shows the window
        window = qtdriver::Window(0);
        for (int i = 0; i < 200 && !window->windowHandle()->isExposed(); ++i) Spin(10);
        ASSERT_TRUE(window->windowHandle()->isExposed());
        id = static_cast<xcb_window_t>(window->winId());
    }
    void TearDown() override { ShutdownRuntime(); }
};

// The window's pixels as the server has them, in device pixels.
struct ServerImage {
    xcb_get_image_reply_t* reply = nullptr;
    int width = 0;
    ServerImage(xcb_window_t id, int x, int y, int w, int h) : width(w) {
        reply = xcb_get_image_reply(
            Connection(), xcb_get_image(Connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, id, x, y, w, h, ~0u), nullptr);
    }
    ~ServerImage() { std::free(reply); }
    std::uint32_t At(int x, int y) const {
        return reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply))[y * width + x] & 0xFFFFFF;
    }
};

TEST_F(UnderX, TitlesGoThroughTheToolkitOnceAFrameAndTheLastOneStays) {
    const std::uint32_t mask = EventMask(id);
    ASSERT_EQ(SetWindowCaption(0, "Vornel 0.2 x:3,y:4"), 1);
    WaitOnce();
    EXPECT_EQ(Property(id, XCB_ATOM_WM_NAME), "Vornel 0.2 x:3,y:4") << "after a quiet spell, at once";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vornel 0.2 x:3,y:4"));

    // A sweep faster than frames: every title waits for its frame, the last
    // one reaches the server within a frame of being set, and the window's
    // event selection is the toolkit's throughout.
    xcb_connection_t* observer = xcb_connect(nullptr, nullptr);
    const std::uint32_t propertyChanges = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(observer, id, XCB_CW_EVENT_MASK, &propertyChanges);
    std::free(xcb_get_input_focus_reply(observer, xcb_get_input_focus(observer), nullptr));
    QElapsedTimer run;
    run.start();
    for (int x = 0; x < 5; ++x) {
        const std::string title = "Vornel 0.2 x:" + std::to_string(x) + ",y:9";
        SetWindowCaption(0, title.c_str());
        WaitOnce();
    }
    const bool withinAFrame = run.elapsed() < 16;
    Spin(40);
    EXPECT_EQ(Property(id, XCB_ATOM_WM_NAME), "Vornel 0.2 x:4,y:9");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vornel 0.2 x:4,y:9"));
    EXPECT_EQ(EventMask(id), mask);
    int reports = 0;
    while (xcb_generic_event_t* e = xcb_poll_for_event(observer)) {
        reports += (e->response_type & 0x7F) == XCB_PROPERTY_NOTIFY &&
                   reinterpret_cast<xcb_property_notify_event_t*>(e)->atom == XCB_ATOM_WM_NAME;
        std::free(e);
    }
    xcb_disconnect(observer);
    if (withinAFrame) {
        EXPECT_LE(reports, 2) << "five titles within one frame: the first and the last";
    }
    EXPECT_GE(reports, 1);

    // Text outside ASCII goes the same way.
    SetWindowCaption(0, "Vornel 0.2 caf\xc3\xa9");
    Spin(40);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vornel 0.2 caf\u00e9"));
}

TEST_F(UnderX, CanvasUpdatesReachTheServerThroughTheToolkitsPaint) {
    QWidget* canvas = qtdriver::Canvas();
    struct PaintCounter : QObject {
        int paints = 0;
        QRegion painted;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                ++paints;
                painted += static_cast<QPaintEvent*>(e)->region();
            }
            return false;
        }
    } counter;
    canvas->installEventFilter(&counter);
    ASSERT_NE(runtime::BeginDrawing(CanvasDrawTarget(0)), 0u);
    runtime::FillBox(16, 8, 16, 8, runtime::RgbColour(204, 0, 51));
    runtime::EndDrawing();
    WaitOnce();
    Spin(20);
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(counter.painted, QRegion(16, 8, 16, 8)) << "only the changed box is painted";
    const double s = window->devicePixelRatioF();
    // Where a canvas pixel starts on the screen: the canvas's origin rounded
    // to a device pixel, then the first device pixel at or past it.
    const auto d = [s](int v) { return static_cast<int>(std::ceil(v * s - 1e-9)); };
    ServerImage image(id, 0, static_cast<int>(std::floor(30 * s + 0.5)), d(64), d(32));
    ASSERT_NE(image.reply, nullptr);
    EXPECT_EQ(image.At(d(16), d(8)), 0xCC0033u);
    EXPECT_EQ(image.At(d(32) - 1, d(16) - 1), 0xCC0033u);
    EXPECT_EQ(image.At(d(16) - 1, d(8)), 0xFFFFFFu);
    EXPECT_EQ(image.At(d(32), d(16) - 1), 0xFFFFFFu);
    EXPECT_EQ(image.At(d(16), d(16)), 0xFFFFFFu);
}

// At any scale, the cell a press lands on is the cell drawn under that
// device pixel: every cell in its own colour, then the first and last
// device pixel of every cell's rows and columns pressed through the X
// server and checked against the cell reported and the colour drawn there.
TEST_F(UnderX, EveryCellsEdgePixelsHitTheCellDrawnThere) {
  // At every zoom the screen has room for (the canvas grows, the window with it).
  for (int zoom = 1; zoom <= 3; ++zoom) {
    SCOPED_TRACE("zoom " + std::to_string(zoom));
    const double s = window->devicePixelRatioF();
    if (zoom > 1) {
        const QRect room = window->screen()->availableGeometry();
        if (640 * zoom + 40 > room.width() || 30 + 384 * zoom + 60 > room.height()) break;
        ASSERT_EQ(SetCanvasZoom(0, zoom), 1);
        ASSERT_EQ(ResizeWindowObject(0, 640 * zoom, 30 + 384 * zoom + 26), 1);
        window->move(0, 0);  // all of it on the screen, to be read back
        Spin(100);
    }
    const auto colourOf = [](int cx, int cy) {
        return runtime::RgbColour(cx * 6, cy * 5, (cx * 7 + cy * 3) & 0xFF);
    };
    ASSERT_NE(runtime::BeginDrawing(CanvasDrawTarget(0)), 0u);
    for (int cy = 0; cy < 48; ++cy)
        for (int cx = 0; cx < 40; ++cx) runtime::FillBox(16 * cx, 8 * cy, 16, 8, colourOf(cx, cy));
    runtime::EndDrawing();
    WaitOnce();
    Spin(50);
    QWidget* canvas = qtdriver::Canvas();
    const QPointF origin = QPointF(canvas->mapTo(window, QPoint(0, 0))) * s;
    const QPoint top(static_cast<int>(std::floor(origin.x() + 0.5)), static_cast<int>(std::floor(origin.y() + 0.5)));
    const int deviceWidth = static_cast<int>(std::ceil(640 * zoom * s)), deviceHeight = static_cast<int>(std::ceil(384 * zoom * s));
    ServerImage image(id, top.x(), top.y(), deviceWidth, deviceHeight);
    ASSERT_NE(image.reply, nullptr);
    // The device pixels where each cell starts, as drawn: where the colour
    // changes along the first row and column.
    std::vector<int> columnStarts, rowStarts;
    for (int x = 0; x < deviceWidth; ++x)
        if (x == 0 || image.At(x, 0) != image.At(x - 1, 0)) columnStarts.push_back(x);
    for (int y = 0; y < deviceHeight; ++y)
        if (y == 0 || image.At(0, y) != image.At(0, y - 1)) rowStarts.push_back(y);
    ASSERT_EQ(columnStarts.size(), 40u);
    ASSERT_EQ(rowStarts.size(), 48u);
    columnStarts.push_back(deviceWidth);
    rowStarts.push_back(deviceHeight);

    xcb_connection_t* sender = xcb_connect(nullptr, nullptr);
    const auto send = [&](std::uint8_t type, int x, int y) {
        xcb_button_press_event_t e{};
        e.response_type = type;
        e.detail = 1;
        e.root = 0;
        e.event = id;
        e.child = XCB_WINDOW_NONE;
        e.event_x = static_cast<std::int16_t>(x);
        e.event_y = static_cast<std::int16_t>(y);
        e.root_x = e.event_x;
        e.root_y = e.event_y;
        e.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
        e.same_screen = 1;
        e.time = XCB_CURRENT_TIME;
        xcb_send_event(sender, 0, id, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
                       reinterpret_cast<const char*>(&e));
    };
    int checked = 0, wrong = 0;
    for (int cy = 0; cy < 48; ++cy) {
        std::vector<std::pair<QPoint, QPoint>> pressed;  // device pixel, its cell
        for (int cx = 0; cx < 40; ++cx) {
            const int xs[] = {columnStarts[cx], columnStarts[cx + 1] - 1};
            const int ys[] = {rowStarts[cy], rowStarts[cy + 1] - 1};
            for (int x : xs)
                for (int y : ys) {
                    const std::uint32_t c = colourOf(cx, cy);
                    EXPECT_EQ(image.At(x, y), ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF))
                        << "device pixel " << x << "," << y << " is drawn in cell " << cx << "," << cy;
                    send(XCB_BUTTON_PRESS, top.x() + x, top.y() + y);
                    send(XCB_BUTTON_RELEASE, top.x() + x, top.y() + y);
                    pressed.emplace_back(QPoint(x, y), QPoint(cx, cy));
                }
        }
        xcb_flush(sender);
        std::size_t next = 0;
        QElapsedTimer waited;
        waited.start();
        while (next < pressed.size() && waited.elapsed() < 2000) {
            ScheduleWakeUp(50);  // a lost press ends the wait
            const int code = WaitForEvent();
            if (code != GadgetEvent || CurrentEventType() != CanvasLeftButtonDown) continue;
            const QPoint cell(static_cast<int>(CanvasAttribute(0, CanvasPointerX)) / 16,
                              static_cast<int>(CanvasAttribute(0, CanvasPointerY)) / 8);
            ++checked;
            if (cell != pressed[next].second) {
                ++wrong;
                ADD_FAILURE() << "device pixel " << pressed[next].first.x() << "," << pressed[next].first.y()
                              << " drawn as cell " << pressed[next].second.x() << "," << pressed[next].second.y()
                              << " hit cell " << cell.x() << "," << cell.y();
            }
            ++next;
        }
        ASSERT_EQ(next, pressed.size()) << "row " << cy << ": presses lost";
        if (wrong > 8) break;
    }
    xcb_disconnect(sender);
    EXPECT_EQ(checked, 40 * 48 * 4);
  }
}

}  // namespace
