// The windowing layer on a real X server (run under Xvfb): titles set
// through the display connection, and canvas updates written straight into
// the backing store, as the server itself sees them.
#include <gtest/gtest.h>

#include <QAbstractNativeEventFilter>
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

xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(Connection(), xcb_intern_atom(Connection(), 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : 0;
    std::free(r);
    return atom;
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

// The property changes of the window the program is told of.
struct PropertyWatch : QAbstractNativeEventFilter {
    xcb_window_t window = 0;
    std::vector<xcb_atom_t> seen;
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        auto* e = static_cast<xcb_generic_event_t*>(message);
        if (type == "xcb_generic_event_t" && (e->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
            if (p->window == window) seen.push_back(p->atom);
        }
        return false;
    }
    bool Saw(xcb_atom_t atom) const { return std::find(seen.begin(), seen.end(), atom) != seen.end(); }
};

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

TEST_F(UnderX, TitlesReachTheServerOnceAFrameWithoutReportsAndTheToolkitCatchesUp) {
    PropertyWatch watch;
    watch.window = id;
    QCoreApplication::instance()->installNativeEventFilter(&watch);
    const xcb_atom_t netWmName = Atom("_NET_WM_NAME");
    const std::uint32_t mask = EventMask(id);
    ASSERT_TRUE(mask & XCB_EVENT_MASK_PROPERTY_CHANGE);

    ASSERT_EQ(SetWindowCaption(0, "Vornel 0.2 x:3,y:4"), 1);
    WaitOnce();
    EXPECT_EQ(Property(id, XCB_ATOM_WM_NAME), "Vornel 0.2 x:3,y:4");
    EXPECT_EQ(Property(id, netWmName), "Vornel 0.2 x:3,y:4");
    EXPECT_EQ(EventMask(id), mask) << "the toolkit's event selection is put back";
    // Another client's change of the window is still reported.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    const char* value = "1";
    xcb_change_property(other, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_ICON_NAME, XCB_ATOM_STRING, 8, 1, value);
    xcb_flush(other);
    Spin(100);
    EXPECT_TRUE(watch.Saw(XCB_ATOM_WM_ICON_NAME));
    EXPECT_FALSE(watch.Saw(XCB_ATOM_WM_NAME));
    EXPECT_FALSE(watch.Saw(netWmName));
    xcb_disconnect(other);

    // A run of titles faster than frames: the first on the server at the
    // next wait, the rest once a frame, the last one last; the toolkit's
    // copy catches up with the last.
    xcb_connection_t* observer = xcb_connect(nullptr, nullptr);
    const std::uint32_t propertyChanges = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(observer, id, XCB_CW_EVENT_MASK, &propertyChanges);
    std::free(xcb_get_input_focus_reply(observer, xcb_get_input_focus(observer), nullptr));
    Spin(50);
    QElapsedTimer run;
    run.start();
    for (int x = 0; x < 5; ++x) {
        const std::string title = "Vornel 0.2 x:" + std::to_string(x) + ",y:9";
        SetWindowCaption(0, title.c_str());
        WaitOnce();
        if (x == 0) {
            EXPECT_EQ(Property(id, XCB_ATOM_WM_NAME), title);
        }
    }
    const bool withinAFrame = run.elapsed() < 16;  // the program sends a frame at most every 16 ms
    Spin(50);
    EXPECT_EQ(Property(id, XCB_ATOM_WM_NAME), "Vornel 0.2 x:4,y:9");
    int reports = 0;
    while (xcb_generic_event_t* e = xcb_poll_for_event(observer)) {
        reports += (e->response_type & 0x7F) == XCB_PROPERTY_NOTIFY &&
                   reinterpret_cast<xcb_property_notify_event_t*>(e)->atom == XCB_ATOM_WM_NAME;
        std::free(e);
    }
    if (withinAFrame) {
        EXPECT_EQ(reports, 2) << "the first title, then the last a frame later";
    }
    EXPECT_GE(reports, 2);
    xcb_disconnect(observer);
    Spin(400);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vornel 0.2 x:4,y:9"));
    EXPECT_EQ(Property(id, netWmName), "Vornel 0.2 x:4,y:9");

    // Text the two properties would encode differently goes the toolkit's
    // way, and no earlier title comes back after it.
    SetWindowCaption(0, "Vornel 0.2 x:7,y:7");
    SetWindowCaption(0, "Vornel 0.2 caf\xc3\xa9");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vornel 0.2 caf\u00e9"));
    Spin(400);
    EXPECT_EQ(Property(id, netWmName), "Vornel 0.2 caf\xc3\xa9");
    // The same text again after a title the toolkit has not seen yet.
    SetWindowCaption(0, "Vornel 0.2 x:8,y:8");
    SetWindowCaption(0, "Vornel 0.2 caf\xc3\xa9");
    EXPECT_EQ(Property(id, netWmName), "Vornel 0.2 caf\xc3\xa9");
    Spin(400);
    EXPECT_EQ(Property(id, netWmName), "Vornel 0.2 caf\xc3\xa9");
    QCoreApplication::instance()->removeNativeEventFilter(&watch);
}

TEST_F(UnderX, CanvasUpdatesReachTheServerWithoutARepaint) {
    QWidget* canvas = qtdriver::Canvas();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    canvas->installEventFilter(&counter);
    ASSERT_NE(runtime::BeginDrawing(CanvasDrawTarget(0)), 0u);
    runtime::FillBox(16, 8, 16, 8, runtime::RgbColour(204, 0, 51));
    runtime::EndDrawing();
    WaitOnce();  // the frame goes out before the program waits
    EXPECT_EQ(counter.paints, 0);
    // The window's pixels as the server has them: the box, and white around it.
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        Connection(), xcb_get_image(Connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 30, 64, 32, ~0u), nullptr);
    ASSERT_NE(image, nullptr);
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
    const auto at = [&](int x, int y) { return pixels[y * 64 + x] & 0xFFFFFF; };
    EXPECT_EQ(at(16, 8), 0xCC0033u);
    EXPECT_EQ(at(31, 15), 0xCC0033u);
    EXPECT_EQ(at(15, 8), 0xFFFFFFu);
    EXPECT_EQ(at(32, 15), 0xFFFFFFu);
    EXPECT_EQ(at(16, 16), 0xFFFFFFu);
    std::free(image);
}

}  // namespace
