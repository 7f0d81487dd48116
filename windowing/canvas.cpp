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
#include "windowing/canvas_widget.h"
#include "windowing/internal.h"

namespace windowing {
namespace {

using detail::CanvasWidget;

struct CanvasObject {
    QPointer<CanvasWidget> widget;
    QMetaObject::Connection destroyedWatch;  // frees the number when the window takes the canvas with it
    ~CanvasObject();
};

runtime::ObjectTable<CanvasObject>* canvases = nullptr;
std::vector<CanvasEventData*> dataPool;

runtime::ObjectTable<CanvasObject>& Canvases() {
    if (!canvases) canvases = new runtime::ObjectTable<CanvasObject>();
    return *canvases;
}

}  // namespace

QPointer<CanvasWidget> detail::confiningCanvas;
int detail::wheelAccumulator = 0;

CanvasEventData* detail::TakeData() {
    if (dataPool.empty()) return new CanvasEventData();
    CanvasEventData* d = dataPool.back();
    dataPool.pop_back();
    *d = CanvasEventData{};
    return d;
}

void detail::ReturnData(void* d) { dataPool.push_back(static_cast<CanvasEventData*>(d)); }

namespace {

CanvasObject::~CanvasObject() {
    // The number is being freed here: the widget's end must not free it again
    // (by then the slot may already hold the canvas that reuses it).
    QObject::disconnect(destroyedWatch);
    if (!widget) return;
    const int n = widget->number;
    widget->number = -1;
    if (detail::confiningCanvas == widget) detail::confiningCanvas = nullptr;
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
    detail::confiningCanvas = nullptr;
    detail::wheelAccumulator = 0;
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
    detail::confiningCanvas = nullptr;
}

void KeepPointerInside() {
    if (!canvases) return;
    const QPoint at = QCursor::pos();
    canvases->ForEach([&](int, CanvasObject& o) {
        if (o.widget && o.widget->isVisible() && o.widget->rect().contains(o.widget->mapFromGlobal(at)))
            o.widget->pointerInside = true;
    });
}

CanvasWidget* FindCanvasWidget(int number) { return FindCanvas(number); }

}  // namespace detail

namespace {

// A white bitmap for a canvas of width x height, its pages made ready at
// once; empty when there is no room for it.
std::vector<std::uint8_t> WhiteBitmap(int width, int height, int flags) {
    int bitmapWidth = 0, bitmapHeight = 0;
    CanvasWidget::BitmapSize(width, height, flags, bitmapWidth, bitmapHeight);
    std::vector<std::uint8_t> pixels;
    try {
        const std::size_t bytes = static_cast<std::size_t>(runtime::StrideFor(bitmapWidth, 24)) * bitmapHeight;
        pixels.reserve(bytes);
        detail::PrepareForWriting(pixels.data(), bytes);
        pixels.assign(bytes, 0xFF);
    } catch (const std::bad_alloc&) {
        pixels.clear();
    }
    return pixels;
}

}  // namespace

Handle CreateCanvas(int number, int x, int y, int width, int height, int flags) {
    QWidget* parent = detail::CurrentGadgetList();
    if (!parent) return 0;
    CanvasObject& slot = Canvases().Take(number);  // whatever held the number is gone now
    if (width <= 0 || height <= 0) {
        Canvases().Release(number);
        return 0;
    }
    std::vector<std::uint8_t> pixels = WhiteBitmap(width, height, flags);
    if (pixels.empty()) {
        Canvases().Release(number);
        return 0;
    }
    auto* c = new CanvasWidget(parent, width, height, flags, std::move(pixels));
    c->setObjectName(QStringLiteral("canvas%1").arg(number));
    c->drawSerial = ++drawSerials;
    c->home = QPoint(x, y);
    c->setGeometry(x, y + detail::ClientTop(parent), width, height);
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
    case CanvasClipActive: return detail::confiningCanvas == c ? 1 : 0;
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

int ResizeCanvas(int number, int width, int height) {
    CanvasWidget* c = FindCanvas(number);
    if (!c || width <= 0 || height <= 0) return 0;
    std::vector<std::uint8_t> pixels = WhiteBitmap(width, height, c->flags);
    if (pixels.empty()) return 0;
    int bitmapWidth = 0, bitmapHeight = 0;
    CanvasWidget::BitmapSize(width, height, c->flags, bitmapWidth, bitmapHeight);
    const int stride = runtime::StrideFor(bitmapWidth, 24);
    runtime::InvalidateDrawTarget(c->bits.data());
    c->bits = std::move(pixels);
    c->bitmapWidth = bitmapWidth;
    c->bitmapHeight = bitmapHeight;
    c->stride = stride;
    c->drawSerial = ++drawSerials;  // nothing drawn before is there now
    c->changed.clear();
    return SetCanvasZoom(number, c->zoom);
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
                canvas->Post(CanvasKeyDown, at, QApplication::mouseButtons(), k->modifiers(), detail::VirtualKey(k));
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
