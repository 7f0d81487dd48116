// The canvas gadget: a child window showing a 24-bit bottom-up bitmap kept
// by the layer, reporting pointer, wheel, key and focus activity as
// GadgetEvents with a CanvasEventData record.
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStyleOptionFrame>
#include <QWheelEvent>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/images.h"
#include "runtime/object_table.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

class CanvasWidget;

struct CanvasObject {
    QPointer<CanvasWidget> widget;
    QMetaObject::Connection destroyedWatch;  // frees the number when the window takes the canvas with it
    ~CanvasObject();
};

runtime::ObjectTable<CanvasObject>* canvases = nullptr;
QPointer<CanvasWidget> confiningCanvas;
int wheelAccumulator = 0;
std::vector<CanvasEventData*> dataPool;

runtime::ObjectTable<CanvasObject>& Canvases() {
    if (!canvases) canvases = new runtime::ObjectTable<CanvasObject>();
    return *canvases;
}

CanvasEventData* TakeData() {
    if (dataPool.empty()) return new CanvasEventData();
    CanvasEventData* d = dataPool.back();
    dataPool.pop_back();
    *d = CanvasEventData{};
    return d;
}

void ReturnData(void* d) { dataPool.push_back(static_cast<CanvasEventData*>(d)); }

int ButtonBits(Qt::MouseButtons b) {
    return ((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::RightButton) ? 2 : 0) | ((b & Qt::MiddleButton) ? 4 : 0);
}

int ModifierBits(Qt::KeyboardModifiers m) {
    return ((m & Qt::ShiftModifier) ? 1 : 0) | ((m & Qt::AltModifier) ? 2 : 0) | ((m & Qt::ControlModifier) ? 4 : 0);
}

// Virtual key codes as the rest of the program knows them.
int VirtualKey(const QKeyEvent* e) {
    const int k = e->key();
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9)) return k;
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
    struct { int qt, vk; } static const table[] = {
        {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},      {Qt::Key_Backtab, 9}, {Qt::Key_Return, 13},
        {Qt::Key_Enter, 13},    {Qt::Key_Shift, 16},   {Qt::Key_Control, 17}, {Qt::Key_Alt, 18},
        {Qt::Key_Pause, 19},    {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27}, {Qt::Key_Space, 32},
        {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},    {Qt::Key_Home, 36},
        {Qt::Key_Left, 37},     {Qt::Key_Up, 38},      {Qt::Key_Right, 39},  {Qt::Key_Down, 40},
        {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46},
    };
    for (const auto& t : table)
        if (t.qt == k) return t.vk;
    return static_cast<int>(e->nativeVirtualKey());
}

inline std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void Store64(std::uint32_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

class CanvasWidget : public QWidget {
public:
    int number = -1;
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
    detail::FrameThrottle frames{[this] {
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
        static_assert(std::endian::native == std::endian::little, "pixels are assembled little-endian");
        area &= QRect(0, 0, bitmapWidth, bitmapHeight) & image.rect().translated(at);
        const int x0 = area.left(), x1 = area.right() + 1;
        if (area.isEmpty()) return;
        std::uint8_t* const pixels = image.bits();  // one detach check, not one a row
        const qsizetype line = image.bytesPerLine();
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const std::uint8_t* src =
                bits.data() + static_cast<std::size_t>(bitmapHeight - 1 - y) * stride + 3 * static_cast<std::size_t>(x0);
            auto* dst = reinterpret_cast<std::uint32_t*>(pixels + (y - at.y()) * line) + (x0 - at.x());
            // Blue, green, red in memory order is already the screen's
            // little-endian pixel once the top byte is set. Eight pixels are
            // 24 bytes, read as three words and written as four pixel pairs;
            // the tail goes by bytes so that no read passes the row's end.
            constexpr std::uint64_t opaque = 0xFF000000FF000000u, low = 0xFFFFFFu;
            int x = x0;
            for (; x + 8 <= x1; x += 8, src += 24, dst += 8) {
                const std::uint64_t a = Load64(src), b = Load64(src + 8), c = Load64(src + 16);
                Store64(dst, opaque | (a & low) | (((a >> 24) & low) << 32));
                Store64(dst + 2, opaque | (((a >> 48) | (b << 16)) & low) | (((b >> 8) & low) << 32));
                Store64(dst + 4, opaque | ((b >> 32) & low) | ((((b >> 56) | (c << 8)) & low) << 32));
                Store64(dst + 6, opaque | ((c >> 16) & low) | (((c >> 40) & low) << 32));
            }
            for (; x < x1; ++x, src += 3)
                *dst++ = 0xFF000000u | (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[1]} << 8) | src[0];
        }
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
    static int PixelOfDevice(int k, double scale) { return static_cast<int>(std::floor(k / scale + 1e-9)); }
    static int FirstDeviceOf(int pixel, double scale) { return static_cast<int>(std::ceil(pixel * scale - 1e-9)); }

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
        if (QImage* target = detail::PaintTarget(p, offset)) {
            const int top = area.top() + offset.y() + origin.y();
            if (area.height() > 64 && top >= 0 && top + area.height() <= target->height())
                detail::PrepareForWriting(target->scanLine(top), static_cast<std::size_t>(target->bytesPerLine()) * area.height());
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
        const QTransform device = p.deviceTransform();
        const QPoint o = DeviceOrigin();
        p.save();
        p.setWorldTransform(QTransform(1 / d, 0, 0, 1 / d, (o.x() - device.dx()) / d, (o.y() - device.dy()) / d) *
                            p.worldTransform());
        for (int top = y0; top < y1; top += band.height()) {
            const int rows = std::min(band.height(), y1 - top);
            for (int r = 0; r < rows; ++r) {
                const int y = std::clamp(PixelOfDevice(top + r, s) - origin.y(), 0, bitmapHeight - 1);
                const std::uint8_t* src = bits.data() + static_cast<std::size_t>(bitmapHeight - 1 - y) * stride;
                auto* dst = reinterpret_cast<std::uint32_t*>(band.scanLine(r));
                for (std::size_t i = 0; i < column.size(); ++i) {
                    const std::uint8_t* px = src + 3 * static_cast<std::size_t>(column[i]);
                    dst[i] = 0xFF000000u | (std::uint32_t{px[2]} << 16) | (std::uint32_t{px[1]} << 8) | px[0];
                }
            }
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
        PostEvent(GadgetEvent, number, detail::WindowNumberOf(this), type, d, ReturnData);
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

CanvasObject::~CanvasObject() {
    // The number is being freed here: the widget's end must not free it again
    // (by then the slot may already hold the canvas that reuses it).
    QObject::disconnect(destroyedWatch);
    if (!widget) return;
    const int n = widget->number;
    widget->number = -1;
    if (confiningCanvas == widget) confiningCanvas = nullptr;
    delete widget.data();
    detail::RemoveGadgetEvents(n);
}

CanvasWidget* FindCanvas(int number) {
    CanvasObject* c = Canvases().Find(number);
    return c ? c->widget.data() : nullptr;
}

std::uint64_t drawSerials = 0;

// The drawing layer's finish step for a canvas: the rectangles the span
// wrote are marked for the toolkit's paint (within a frame), which converts
// just those.
void FinishCanvasDrawing(int flag, void* user, const runtime::ChangedArea* areas, int count) {
    if (flag != 1) return;
    CanvasWidget* c = FindCanvas(static_cast<int>(reinterpret_cast<std::intptr_t>(user)));
    if (!c || count == 0) return;
    const QPoint origin = (c->flags & CanvasBorder) ? QPoint(2, 2) : QPoint(0, 0);
    for (int i = 0; i < count; ++i)
        c->changed.push_back(QRect(areas[i].x, areas[i].y, areas[i].width, areas[i].height).translated(origin));
    c->frames.Request();
}

}  // namespace

namespace detail {

void InitCanvases() {
    delete canvases;
    canvases = new runtime::ObjectTable<CanvasObject>();
    confiningCanvas = nullptr;
    wheelAccumulator = 0;
}

void FreeCanvasDataPool() {
    for (CanvasEventData* d : dataPool) delete d;
    dataPool.clear();
}

void ReleaseCanvasCaptures() {
    if (!canvases) return;
    canvases->ForEach([](int, CanvasObject& o) {
        if (o.widget) o.widget->captured = false;
    });
    confiningCanvas = nullptr;
}

}  // namespace detail

Handle CreateCanvas(int number, int x, int y, int width, int height, int flags) {
    QWidget* parent = detail::CurrentGadgetList();
    if (!parent) return 0;
    CanvasObject& slot = Canvases().Take(number);  // whatever held the number is gone now
    if (width <= 0 || height <= 0) {
        Canvases().Release(number);
        return 0;
    }
    int bitmapWidth = 0, bitmapHeight = 0;
    CanvasWidget::BitmapSize(width, height, flags, bitmapWidth, bitmapHeight);
    std::vector<std::uint8_t> pixels;
    try {
        const std::size_t bytes = static_cast<std::size_t>(runtime::StrideFor(bitmapWidth, 24)) * bitmapHeight;
        pixels.reserve(bytes);
        detail::PrepareForWriting(pixels.data(), bytes);
        pixels.assign(bytes, 0xFF);  // white
    } catch (const std::bad_alloc&) {
        pixels.clear();
    }
    if (pixels.empty()) {
        Canvases().Release(number);
        return 0;
    }
    auto* c = new CanvasWidget(parent, width, height, flags, std::move(pixels));
    c->setObjectName(QStringLiteral("canvas%1").arg(number));
    c->drawSerial = ++drawSerials;
    c->setGeometry(x, y, width, height);
    c->number = number;
    c->show();
    slot.widget = c;
    // A canvas destroyed with its window frees its number.
    slot.destroyedWatch = QObject::connect(c, &QObject::destroyed, [number] {
        // The widget is already being destroyed: the slot must not delete it.
        if (CanvasObject* o = Canvases().Find(number)) o->widget = nullptr;
        Canvases().Release(number);
        detail::RemoveGadgetEvents(number);
    });
    return detail::HandleOf(c);
}

std::intptr_t CanvasAttribute(int number, int attribute) {
    CanvasWidget* c = FindCanvas(number);
    if (!c) return 0;
    switch (attribute) {
    case CanvasBitmap: return detail::HandleOf(c->bits.data());
    case CanvasCursor: return 0;
    case CanvasClipActive: return confiningCanvas == c ? 1 : 0;
    case CanvasCustomCursor: return 0;
    default: break;
    }
    if (!detail::CurrentEventIsGadget(number)) return 0;
    const CanvasEventData* d = detail::CurrentCanvasData();
    switch (attribute) {
    case CanvasPointerX: return d->x;
    case CanvasPointerY: return d->y;
    case CanvasButtons: return d->buttons;
    case CanvasKey: return d->key;
    case CanvasModifiers: return d->modifiers;
    case CanvasWheelDelta: return d->wheel;
    case CanvasCharacter: return d->character;
    default: return 0;
    }
}

runtime::DrawingContext* CanvasDrawTarget(int number) {
    CanvasWidget* c = FindCanvas(number);
    if (!c || c->bits.empty()) return nullptr;
    runtime::DrawSurface s;
    s.pixels = c->bits.data();
    s.stride = c->stride;
    s.width = c->bitmapWidth;
    s.height = c->bitmapHeight;
    s.bytesPerPixel = 3;
    s.finishChanged = FinishCanvasDrawing;
    s.user = reinterpret_cast<void*>(static_cast<std::intptr_t>(number));
    c->drawSerial = ++drawSerials;
    return runtime::MakeDrawTarget(s);
}

int SetCanvasZoom(int number, int zoom) {
    CanvasWidget* c = FindCanvas(number);
    if (!c || zoom < 1) return 0;
    c->zoom = zoom;
    const int inset = (c->flags & CanvasBorder) ? 4 : 0;
    c->resize(c->bitmapWidth * zoom + inset, c->bitmapHeight * zoom + inset);
    c->update();
    return 1;
}

namespace {

// While a canvas takes typing, the keys of its window go to it as key and
// character events instead of choosing commands: every printable character
// (no Control, no Alt), and Backspace, the arrows, Return, Control+I and
// Control+F. Other keys (Escape, the Control shortcuts) keep their ways.
class TypingFilter : public QObject {
public:
    QPointer<CanvasWidget> canvas;

    static bool Printable(const QKeyEvent* k) {
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        const QString text = k->text();
        return text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() < 0x7F;
    }
    static bool TypingKey(const QKeyEvent* k) {
        const int key = k->key();
        if (k->modifiers() & Qt::ControlModifier) return key == Qt::Key_I || key == Qt::Key_F;
        return key == Qt::Key_Backspace || key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
               key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter;
    }

    bool eventFilter(QObject* watched, QEvent* e) override {
        if (!canvas || (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress)) return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != canvas->window() || QApplication::activeModalWidget()) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        const bool printable = Printable(k), typing = !printable && TypingKey(k);
        if (!printable && !typing) return false;
        e->accept();  // a shortcut does not take it
        if (e->type() == QEvent::KeyPress) {
            const QPointF at = canvas->PointerNow();
            if (printable)
                canvas->Post(CanvasCharacterTyped, at, QApplication::mouseButtons(), k->modifiers(), 0, 0,
                             k->text()[0].unicode());
            else
                canvas->Post(CanvasKeyDown, at, QApplication::mouseButtons(), k->modifiers(), VirtualKey(k));
        }
        return true;
    }
};

TypingFilter* typing = nullptr;

}  // namespace

int SetCanvasTyping(int number, int on) {
    CanvasWidget* c = FindCanvas(number);
    if (!c) return 0;
    if (!typing) {
        typing = new TypingFilter();
        qApp->installEventFilter(typing);
    }
    typing->canvas = on ? c : nullptr;
    return 1;
}

std::uint64_t CanvasDrawSerial(int number) {
    CanvasWidget* c = FindCanvas(number);
    return c ? c->drawSerial : 0;
}

}  // namespace windowing
