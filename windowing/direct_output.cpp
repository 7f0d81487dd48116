// Output that goes round the toolkit's costlier paths: window titles straight
// through the display connection, and small updates of a window's pixels
// straight into its backing store, sent to the display at most once a frame.
//
// Window titles straight through the display connection. The toolkit sets a
// title through two client libraries, re-encoding it for the locale and
// flushing twice, and the display server then tells the program of each of
// the two property changes: an extra wake-up of both of its threads. A title
// that changes with every cell the pointer crosses is better sent as the two
// properties window managers read, without those reports, and with the
// canvas update that follows it in one write.
#include <QBackingStore>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "windowing/internal.h"

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace windowing::detail {

namespace {

// What waits for the next frame: the changed area of each window's backing
// store, and the title each window is to show.
struct PendingWindow {
    QPointer<QWidget> window;
    QRegion area;
    std::string title;
    bool titlePending = false;
};
std::vector<PendingWindow> pending;
// A widget's changed pixels, written into its window's backing store when
// the frame goes out: a pointer sweeping the canvas has them converted once
// a frame, not once a cell.
struct PendingWidget {
    QPointer<QWidget> widget;
    QRegion region;
    PixelWriter write;
};
std::vector<PendingWidget> pendingWidgets;
QElapsedTimer lastFrame;
QPointer<QTimer> frameTimer;

void SendTitle(QWidget* window, const std::string& text);
void FlushNativeRequests();
void SendFrame();
bool Plain32Bit(const QImage& image);

// The backing store image a widget's pixels can be written into directly:
// a plain 32-bit image at one pixel per window pixel, of a shown window.
QImage* DirectTarget(QWidget* widget) {
    QWidget* top = widget->window();
    QBackingStore* store = top->backingStore();
    QWindow* handle = top->windowHandle();
    if (!store || !handle || !handle->isExposed() || !widget->isVisible() || top->devicePixelRatio() != 1)
        return nullptr;
    QPaintDevice* device = store->paintDevice();
    if (!device || device->devType() != QInternal::Image) return nullptr;
    auto* image = static_cast<QImage*>(device);
    return Plain32Bit(*image) ? image : nullptr;
}

qint64 SinceLastFrame() { return lastFrame.isValid() ? lastFrame.elapsed() : FrameInterval; }

// The window's pending changes. They go out when the program next waits for
// input a frame or more after the last frame (SendFrameWhenDue), so that a
// pointer sweeping the canvas has its frames sent from the handling of its
// moves; the timer sends them if no input comes in time (the pointer came to
// rest, a modal loop).
PendingWindow& PendingFor(QWidget* window) {
    if (!frameTimer) {
        frameTimer = new QTimer(qApp);
        frameTimer->setSingleShot(true);
        frameTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(frameTimer, &QTimer::timeout, [] { SendFrame(); });
    }
    if (!frameTimer->isActive())
        frameTimer->start(static_cast<int>(std::max<qint64>(0, FrameTimerDelay - SinceLastFrame())));
    for (PendingWindow& p : pending)
        if (p.window == window) return p;
    pending.push_back(PendingWindow{window, {}, {}, false});
    return pending.back();
}

// Everything pending goes to the display in one write.
void SendFrame() {
    if (frameTimer) frameTimer->stop();
    lastFrame.start();
    std::vector<PendingWidget> widgets;
    widgets.swap(pendingWidgets);
    for (PendingWidget& p : widgets) {
        QWidget* widget = p.widget;
        if (!widget) continue;
        QImage* image = DirectTarget(widget);
        if (!image) {
            widget->update(p.region);  // hidden or changed since: the toolkit repaints it when it can
            continue;
        }
        QWidget* top = widget->window();
        const QPoint offset = widget->mapTo(top, QPoint(0, 0));
        const QRegion shown = (p.region & widget->visibleRegion()).translated(offset);
        for (const QRect& r : shown) p.write(*image, offset, r.translated(-offset));
        PendingFor(top).area += shown;
    }
    std::vector<PendingWindow> due;
    due.swap(pending);
    for (PendingWindow& p : due) {
        QWidget* top = p.window;
        if (!top) continue;
        if (p.titlePending) SendTitle(top, p.title);
        QWindow* handle = top->windowHandle();
        QBackingStore* store = top->backingStore();
        // A window hidden since is drawn whole when it is shown again.
        if (!p.area.isEmpty() && store && handle && handle->isExposed()) store->flush(p.area, handle);
    }
    FlushNativeRequests();
}

bool Plain32Bit(const QImage& image) {
    const QImage::Format f = image.format();
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

#if QT_CONFIG(xcb)
namespace {

bool flushPending = false;  // requests of ours wait in the connection's buffer

xcb_atom_t Intern(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// Asked of the toolkit once per application object: the asking goes
// through a lookup by type name, a cost on every pointer move.
xcb_connection_t* DisplayConnection() {
    static QPointer<QGuiApplication> askedOf;  // null again once it is gone
    static xcb_connection_t* connection = nullptr;
    if (!askedOf || askedOf != qGuiApp) {
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        connection = x11 ? x11->connection() : nullptr;
        askedOf = qGuiApp;
    }
    return connection;
}

xcb_atom_t netWmName = XCB_ATOM_NONE, utf8String = XCB_ATOM_NONE;

void SendTitle(QWidget* window, const std::string& text) {
    xcb_connection_t* connection = DisplayConnection();
    if (!connection || !window->windowHandle()) return;
    const auto id = static_cast<xcb_window_t>(window->windowHandle()->winId());
    // The events the toolkit selected on the window, read once per window
    // (it sets them when it makes the window and leaves them alone after).
    static xcb_window_t maskOf = XCB_WINDOW_NONE;
    static std::uint32_t mask = 0;
    if (maskOf != id) {
        xcb_get_window_attributes_reply_t* reply =
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
        if (!reply) return;
        mask = reply->your_event_mask;
        std::free(reply);
        maskOf = id;
    }
    // Property reports are off for just these two changes: the server
    // handles a client's requests in order, so the window's other property
    // changes (the window manager's) are reported as before.
    const std::uint32_t quiet = mask & ~static_cast<std::uint32_t>(XCB_EVENT_MASK_PROPERTY_CHANGE);
    const auto length = static_cast<std::uint32_t>(text.size());
    if (quiet != mask) xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &quiet);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netWmName, utf8String, 8, length, text.data());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, length,
                        text.data());
    if (quiet != mask) xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    flushPending = true;
}

}  // namespace

bool SetNativeTitle(QWidget* window, const char* text) {
    // Printable ASCII only, where every encoding of the two properties is
    // the same bytes, and without the toolkit's "[*]" placeholder.
    for (const char* p = text; *p; ++p)
        if (*p < 0x20 || *p > 0x7E) return false;
    if (std::strstr(text, "[*]")) return false;
    xcb_connection_t* connection = DisplayConnection();
    if (!connection || !window->testAttribute(Qt::WA_WState_Created) || !window->windowHandle()) return false;
    static xcb_connection_t* internedFor = nullptr;
    if (internedFor != connection) {
        netWmName = Intern(connection, "_NET_WM_NAME");
        utf8String = Intern(connection, "UTF8_STRING");
        internedFor = connection;
    }
    if (netWmName == XCB_ATOM_NONE || utf8String == XCB_ATOM_NONE) return false;
    PendingWindow& p = PendingFor(window);
    p.title = text;
    p.titlePending = true;
    return true;
}

void DropPendingTitle(QWidget* window) {
    for (PendingWindow& p : pending)
        if (p.window == window) p.titlePending = false;
}

namespace {

// Our own requests (the titles) out of the connection's buffer; the backing
// store's flush sends its own.
void FlushNativeRequests() {
    if (!flushPending) return;
    flushPending = false;
    if (xcb_connection_t* connection = DisplayConnection()) xcb_flush(connection);
}

}  // namespace
#else
namespace {
void SendTitle(QWidget*, const std::string&) {}
void FlushNativeRequests() {}
}  // namespace
bool SetNativeTitle(QWidget*, const char*) { return false; }
void DropPendingTitle(QWidget*) {}
#endif

void SendFrameNow() {
    if (!pending.empty() || !pendingWidgets.empty()) SendFrame();
}

void SendFrameWhenDue() {
    // The first change after a quiet spell goes out at once; changes that
    // come faster than frames wait for the next one.
    if (!pending.empty() && SinceLastFrame() >= FrameInterval) SendFrame();
}

void PrepareForWriting(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(begin) & ~(page - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(begin) + bytes;
    // A kernel without it says so, and the pages come one fault at a time.
    madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}

QImage* PaintTarget(QPainter& painter, QPoint& offset) {
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image) return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QTransform t = painter.deviceTransform();
    if (!Plain32Bit(*image) || image->devicePixelRatio() != 1 || t.type() > QTransform::TxTranslate) return nullptr;
    offset = QPoint(qRound(t.dx()), qRound(t.dy()));
    if (QPointF(offset) != QPointF(t.dx(), t.dy())) return nullptr;
    return image;
}

bool PutDirectly(QWidget* widget, const QRegion& region, const PixelWriter& write) {
    // A widget already waiting for the frame was found writable then, and
    // is looked at again when the frame goes out.
    for (PendingWidget& p : pendingWidgets) {
        if (p.widget == widget) {
            p.region += region;  // one writer a widget: it writes what the widget holds then
            return true;
        }
    }
    if (!DirectTarget(widget)) return false;
    if (region.isEmpty()) return true;
    PendingFor(widget->window());  // the frame that will write and send it
    pendingWidgets.push_back(PendingWidget{widget, region, write});
    return true;
}

}  // namespace windowing::detail
