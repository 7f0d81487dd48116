// The canvas gadget's widget: a child window showing a 24-bit bottom-up
// bitmap kept by the layer, reporting pointer, wheel, key and focus activity
// as GadgetEvents with a CanvasEventData record.
#pragma once

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionFocusRect>
#include <QStyleOptionFrame>
#include <QWheelEvent>
#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/images.h"
#include "windowing/internal.h"

namespace windowing::detail {

class CanvasWidget;

// The canvas whose press confines the pointer, and the wheel's notches not
// yet reported.
extern QPointer<CanvasWidget> confiningCanvas;
extern int wheelAccumulator;

CanvasEventData* TakeData();
void ReturnData(void* data);

int ButtonBits(Qt::MouseButtons b);
int ModifierBits(Qt::KeyboardModifiers m);
// The key's code as the program knows it (see windowing::Key).
int VirtualKey(const QKeyEvent* e);

// A bitmap's pixels: bottom-up, blue-green-red, rows of stride bytes.
struct Bitmap {
    const std::uint8_t* bits;
    int width, height, stride;
};
// The pixels within area (bitmap coordinates) into a 32-bit image whose
// pixel (0, 0) stands for the bitmap's pixel at at.
void ConvertBitmap(const Bitmap& b, QImage& image, QPoint at, QRect area);
// Device rows top to top + rows - 1 of the enlarged bitmap into band: device
// column i shows bitmap column column[i], device row k the bitmap row
// floor(k / s) less originY.
void ScaleBitmapRows(const Bitmap& b, QImage& band, int rows, int top, const std::vector<int>& column, double s,
                     int originY);

inline int PixelOfDevice(int k, double scale) { return static_cast<int>(std::floor(k / scale + 1e-9)); }
inline int FirstDeviceOf(int pixel, double scale) { return static_cast<int>(std::ceil(pixel * scale - 1e-9)); }

class CanvasWidget;
CanvasWidget* FindCanvasWidget(int number);

class CanvasWidget : public QWidget {
public:
    int number = -1;
    QPoint home;  // where it was put, in its window's client coordinates
    QPointer<QWidget> view;  // the scrolling view it is shown through, when the window is too small for it
    int flags = 0;
    bool pointerInside = false;
    bool captured = false;
    int bitmapWidth = 1, bitmapHeight = 1, stride = 4;
    std::uint64_t drawSerial = 0;  // changes with every drawing span opened on the canvas
    // Bottom-up, blue-green-red, rows padded to 4 bytes: the canvas's only
    // copy of its pixels. What is shown is converted from it in the paint
    // event.
    std::vector<std::uint8_t> bits;
    // What changed since the last frame: marked for the toolkit's paint at
    // most once a frame, so that a sweep costs one paint and one write to
    // the display a frame rather than one a move.
    std::vector<QRect> changed;
    FrameThrottle frames{[this] {
        // Joined once a frame (a region's union costs more than a list).
        QRegion region;
        for (const QRect& r : changed) region += ToWidget(r);
        changed.clear();
        update(region);
    }};

    // The pixel memory is handed in, already allocated (creation fails
    // cleanly when it cannot be).
    CanvasWidget(QWidget* parent, int w, int h, int canvasFlags, std::vector<std::uint8_t>&& pixels)
        : QWidget(parent), flags(canvasFlags), bits(std::move(pixels)) {
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setCursor(Qt::ArrowCursor);
        setFocusPolicy((flags & CanvasKeyboard) ? Qt::StrongFocus : Qt::NoFocus);
        BitmapSize(w, h, flags, bitmapWidth, bitmapHeight);
        stride = runtime::StrideFor(bitmapWidth, 24);
    }

    ~CanvasWidget() override { runtime::InvalidateDrawTarget(bits.data()); }

    static void BitmapSize(int w, int h, int flags, int& bitmapWidth, int& bitmapHeight) {
        const int inset = (flags & CanvasBorder) ? 4 : 0;
        bitmapWidth = std::max(1, w - inset);
        bitmapHeight = std::max(1, h - inset);
    }

    // Converts the bitmap's pixels within area (bitmap coordinates) into a
    // 32-bit image whose pixel (0, 0) stands for the bitmap's pixel at at.
    void ConvertInto(QImage& image, QPoint at, QRect area) const {
        ConvertBitmap({bits.data(), bitmapWidth, bitmapHeight, stride}, image, at, area);
    }

    // The screen's pixels per canvas pixel, and where the canvas starts on
    // the screen, rounded to a whole device pixel: device column k of the
    // canvas (counted from there) shows bitmap column floor(k / scale) less
    // the border. Drawing and hit testing both go through this one mapping,
    // so a press lands on the cell drawn under it at any scale.
    int zoom = 1;  // screen pixels a bitmap pixel, across and down, before the device's own ratio
    double Scale() const { return devicePixelRatioF() * zoom; }
    QPoint DeviceOrigin() const {
        const QPointF o = QPointF(mapTo(window(), QPoint(0, 0))) * devicePixelRatioF();
        return QPoint(static_cast<int>(std::floor(o.x() + 0.5)), static_cast<int>(std::floor(o.y() + 0.5)));
    }

    // Widget rectangles and bitmap rectangles, at the zoom.
    QRect ToBitmap(const QRect& r) const {
        if (zoom == 1) return r;
        const auto down = [this](int v) { return v >= 0 ? v / zoom : -((-v + zoom - 1) / zoom); };
        const int left = down(r.left()), top = down(r.top());
        return QRect(QPoint(left, top), QPoint(down(r.right()), down(r.bottom())));
    }
    QRect ToWidget(const QRect& r) const {
        return zoom == 1 ? r : QRect(r.x() * zoom, r.y() * zoom, r.width() * zoom, r.height() * zoom);
    }

    // The bitmap pixel under a pointer position.
    QPoint PixelAt(const QPointF& at) const {
        const double s = Scale(), d = devicePixelRatioF();
        if (s == 1.0) return QPoint(static_cast<int>(std::lround(at.x())), static_cast<int>(std::lround(at.y())));
        const QPointF base = QPointF(mapTo(window(), QPoint(0, 0))) * d;
        const QPoint origin = DeviceOrigin();
        const auto device = [d](double logical, double from, int to) {
            return static_cast<int>(std::floor(logical * d + from + 0.5)) - to;
        };
        return QPoint(PixelOfDevice(device(at.x(), base.x(), origin.x()), s),
                      PixelOfDevice(device(at.y(), base.y(), origin.y()), s));
    }

    // Paints the bitmap's pixels within area at origin + area: converted
    // straight into the painter's image when that is a plain one at one
    // pixel per canvas pixel, else a band of rows at a time through a small
    // image. No second full-size copy of the canvas is ever made.
    void PaintBitmap(QPainter& p, QPoint origin, QRect area) const {
        static QImage band;
        area &= QRect(0, 0, bitmapWidth, bitmapHeight);
        if (area.isEmpty()) return;
        if (Scale() != 1.0) {
            PaintScaled(p, origin, area);
            return;
        }
        QPoint offset;
        if (QImage* target = PaintTarget(p, offset)) {
            const int top = area.top() + offset.y() + origin.y();
            if (area.height() > 64 && top >= 0 && top + area.height() <= target->height())
                PrepareForWriting(target->scanLine(top), static_cast<std::size_t>(target->bytesPerLine()) * area.height());
            ConvertInto(*target, -(offset + origin), area);
            return;
        }
        constexpr int BandRows = 16;
        if (band.width() < area.width()) band = QImage(std::max(area.width(), 640), BandRows, QImage::Format_RGB32);
        if (band.isNull()) return;
        for (int top = area.top(); top <= area.bottom(); top += BandRows) {
            const QRect rows(area.left(), top, area.width(), std::min(BandRows, area.bottom() + 1 - top));
            ConvertInto(band, rows.topLeft(), rows);
            p.drawImage(origin + rows.topLeft(), band, QRect(0, 0, rows.width(), rows.height()));
        }
    }

    // At a device pixel ratio other than 1 the canvas is enlarged here, by
    // the mapping above, and drawn one device pixel per image pixel: the
    // toolkit's own scaling samples differently from the hit test.
    void PaintScaled(QPainter& p, QPoint origin, QRect area) const {
        const double s = Scale();
        const int x0 = FirstDeviceOf(origin.x() + area.left(), s), x1 = FirstDeviceOf(origin.x() + area.right() + 1, s);
        const int y0 = FirstDeviceOf(origin.y() + area.top(), s), y1 = FirstDeviceOf(origin.y() + area.bottom() + 1, s);
        if (x1 <= x0 || y1 <= y0) return;
        std::vector<int> column(static_cast<std::size_t>(x1 - x0));
        for (int k = x0; k < x1; ++k)
            column[static_cast<std::size_t>(k - x0)] = std::clamp(PixelOfDevice(k, s) - origin.x(), 0, bitmapWidth - 1);
        constexpr int BandRows = 32;
        QImage band(x1 - x0, std::min(BandRows, y1 - y0), QImage::Format_RGB32);
        if (band.isNull()) return;
        // Device coordinates relative to the canvas's rounded device origin.
        const double d = devicePixelRatioF();
        // Drawn from the rounded origin, wherever the painter's device puts
        // the canvas (its window's backing store, or an image of its own).
        const QPoint o = DeviceOrigin();
        const QPointF exact = QPointF(mapTo(window(), QPoint(0, 0))) * d;
        p.save();
        p.setWorldTransform(QTransform(1 / d, 0, 0, 1 / d, (o.x() - exact.x()) / d, (o.y() - exact.y()) / d) *
                            p.worldTransform());
        for (int top = y0; top < y1; top += band.height()) {
            const int rows = std::min(band.height(), y1 - top);
            ScaleBitmapRows({bits.data(), bitmapWidth, bitmapHeight, stride}, band, rows, top, column, s, origin.y());
            p.drawImage(QPoint(x0, top), band, QRect(0, 0, band.width(), rows));
        }
        p.restore();
    }

    void Post(int type, const QPointF& at, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, int key = 0,
              int wheel = 0, int character = 0) {
        CanvasEventData* d = TakeData();
        const QPoint pixel = PixelAt(at);
        d->x = static_cast<std::int16_t>(pixel.x());
        d->y = static_cast<std::int16_t>(pixel.y());
        d->buttons = ButtonBits(buttons);
        d->modifiers = ModifierBits(mods);
        d->key = key;
        d->wheel = wheel;
        d->character = character;
        PostEvent(GadgetEvent, number, WindowNumberOf(this), type, d, ReturnData);
    }

    QPointF PointerNow() const { return mapFromGlobal(QCursor::pos()); }

    // Where a pointer event happened. The toolkit rounds a widget's event
    // position to whole logical pixels, which at a scale of 2 makes device
    // columns 31 and 32 both 16; the position in the window keeps the
    // fraction. (An event made by hand may carry no window position.)
    QPointF Where(const QSinglePointEvent* e) const {
        const QPointF inWindow = e->scenePosition() - QPointF(mapTo(window(), QPoint(0, 0)));
        const QPointF d = inWindow - e->position();
        return std::abs(d.x()) <= 0.5 && std::abs(d.y()) <= 0.5 ? inWindow : e->position();
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        const QPoint origin = (flags & CanvasBorder) ? QPoint(2, 2) : QPoint(0, 0);
        if (!(flags & (CanvasBorder | CanvasDrawFocus))) {
            // Only what the repaint asked for (a rectangle the scaled path
            // widens to whole canvas pixels).
            for (const QRect& r : e->region()) PaintBitmap(p, origin, ToBitmap(r.translated(-origin)));
            return;
        }
        if (flags & CanvasBorder) {
            // A sunken edge two pixels wide around a bitmap four pixels smaller.
            QStyleOptionFrame frame;
            frame.initFrom(this);
            frame.rect = rect();
            frame.lineWidth = 2;
            frame.state |= QStyle::State_Sunken;
            style()->drawPrimitive(QStyle::PE_Frame, &frame, &p, this);
        }
        PaintBitmap(p, origin, QRect(0, 0, bitmapWidth, bitmapHeight));
        if ((flags & CanvasDrawFocus) && hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect().adjusted(2, 2, -2, -2);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
        }
    }

    void mouseMoveEvent(QMouseEvent* e) override {
        if ((flags & CanvasClipMouse) && confiningCanvas == this) {
            const QPoint local = e->position().toPoint();
            const QPoint clamped(std::clamp(local.x(), 0, width() - 1), std::clamp(local.y(), 0, height() - 1));
            if (clamped != local) QCursor::setPos(mapToGlobal(clamped));
        }
        if (!pointerInside) {
            pointerInside = true;
            Post(CanvasPointerEntered, Where(e), e->buttons(), e->modifiers());
        } else {
            Post(CanvasPointerMoved, Where(e), e->buttons(), e->modifiers());
        }
    }

    void leaveEvent(QEvent*) override {
        if (!pointerInside) return;
        pointerInside = false;
        Post(CanvasPointerLeft, PointerNow(), QApplication::mouseButtons(), QApplication::keyboardModifiers());
    }

    void Press(QMouseEvent* e, bool doubleClick) {
        const int b = ButtonBits(e->button());
        if (!b) return;
        if (ButtonBits(e->buttons()) == b) {
            captured = true;  // the implicit grab keeps reporting outside the canvas
            if (flags & CanvasClipMouse) confiningCanvas = this;
        }
        static const int down[] = {0, CanvasLeftButtonDown, CanvasRightButtonDown, 0, CanvasMiddleButtonDown};
        Post(down[b], Where(e), e->buttons(), e->modifiers());
        if (doubleClick && b == 1) Post(CanvasLeftDoubleClick, Where(e), e->buttons(), e->modifiers());
        if (doubleClick && b == 2) Post(CanvasRightDoubleClick, Where(e), e->buttons(), e->modifiers());
    }

    void mousePressEvent(QMouseEvent* e) override { Press(e, false); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Press(e, true); }

    void mouseReleaseEvent(QMouseEvent* e) override {
        const int b = ButtonBits(e->button());
        if (!b) return;
        const QPoint at = e->position().toPoint();
        const bool counts = (b == 1 || b == 2) && at.x() >= 0 && at.x() < width() && at.y() >= 0 &&
                            at.y() < height() && captured;
        if (ButtonBits(e->buttons()) == 0) {
            captured = false;
            if (confiningCanvas == this) confiningCanvas = nullptr;
        }
        static const int up[] = {0, CanvasLeftButtonUp, CanvasRightButtonUp, 0, CanvasMiddleButtonUp};
        Post(up[b], Where(e), e->buttons(), e->modifiers());
        if (counts) Post(b == 1 ? CanvasLeftClick : CanvasRightClick, Where(e), e->buttons(), e->modifiers());
    }

    void wheelEvent(QWheelEvent* e) override {
        // Shown through a scrolling view, the wheel without Control scrolls it.
        if (view && !(e->modifiers() & Qt::ControlModifier)) {
            e->ignore();
            return;
        }
        wheelAccumulator += e->angleDelta().y();
        const int n = wheelAccumulator / 120;
        if (n == 0) return;
        wheelAccumulator -= 120 * n;
        Post(CanvasWheelTurned, Where(e), e->buttons(), e->modifiers(), 0, n);
    }

    void keyPressEvent(QKeyEvent* e) override {
        Post(CanvasKeyDown, PointerNow(), QApplication::mouseButtons(), e->modifiers(), VirtualKey(e));
        for (QChar c : e->text())
            if (c.unicode() >= 32) {
                Post(CanvasCharacterTyped, PointerNow(), QApplication::mouseButtons(), e->modifiers(), 0, 0,
                     c.unicode());
            }
    }

    void keyReleaseEvent(QKeyEvent* e) override {
        Post(CanvasKeyUp, PointerNow(), QApplication::mouseButtons(), e->modifiers(), VirtualKey(e));
    }

    void focusInEvent(QFocusEvent*) override {
        Post(CanvasFocusGained, PointerNow(), QApplication::mouseButtons(), QApplication::keyboardModifiers());
        update();
    }

    void focusOutEvent(QFocusEvent*) override {
        Post(CanvasFocusLost, PointerNow(), QApplication::mouseButtons(), QApplication::keyboardModifiers());
        update();
    }

    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::EnabledChange) {
            if (!isEnabled() && confiningCanvas == this) confiningCanvas = nullptr;
            update();
        }
        QWidget::changeEvent(e);
    }
};


}  // namespace windowing::detail
