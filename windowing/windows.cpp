// The table of numbered top-level windows: opening, showing, titles and
// the icon (the windows themselves: layer_window.h; their geometry:
// window_geometry.cpp).
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <vector>

#include "runtime/images.h"
#include "runtime/object_table.h"
#include "windowing/internal.h"
#include "windowing/layer_window.h"

namespace windowing {
namespace {

using detail::LayerWindow;

struct WindowObject {
    QPointer<LayerWindow> widget;
    ~WindowObject();
};

runtime::ObjectTable<WindowObject>* windows = nullptr;
QPointer<QWidget> gadgetList;
QIcon programIcon;
bool anyShowPending = false;  // a window waits for its first showing


WindowObject::~WindowObject() {
    if (!widget) return;
    LayerWindow* w = widget;
    const int n = w->number;
    w->number = -1;  // detached: nothing it does now is posted
    detail::ForgetGadgetList(w);
    delete w;  // its canvas and toolbar go with it
    if (n >= 0) detail::RemoveWindowEvents(n);
}

runtime::ObjectTable<WindowObject>& Windows() {
    if (!windows) windows = new runtime::ObjectTable<WindowObject>();
    return *windows;
}

Qt::WindowFlags QtFlagsFor(std::uint32_t style, bool tool) {
    Qt::WindowFlags f = tool ? Qt::Tool : Qt::Window;
    f |= Qt::CustomizeWindowHint;
    if ((style & WindowCaption) == WindowCaption) f |= Qt::WindowTitleHint;
    if (style & WindowSystemMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & WindowMinimizeBox) f |= Qt::WindowMinimizeButtonHint;
    if (style & WindowMaximizeBox) f |= Qt::WindowMaximizeButtonHint;
    return f;
}

}  // namespace

namespace detail {

int WindowNumberOf(const QWidget* widget) {
    if (!widget) return -1;
    const QWidget* top = widget->window();
    int found = -1;
    Windows().ForEach([&](int n, WindowObject& w) {
        if (w.widget && w.widget == top) found = n;
    });
    return found;
}

QWidget* WindowWidget(int number) {
    WindowObject* w = Windows().Find(number);
    return w ? w->widget.data() : nullptr;
}

QWidget* WidgetFromHandle(Handle handle) {
    QWidget* found = nullptr;
    Windows().ForEach([&](int, WindowObject& w) {
        if (w.widget && HandleOf(w.widget.data()) == handle) found = w.widget;
    });
    return found;
}

QWidget* CurrentGadgetList() { return gadgetList; }

void ForgetGadgetList(QWidget* window) {
    if (gadgetList == window) gadgetList = nullptr;
}

void ShowPendingWindows() {
    // Called at every wait: the table is looked through only after an opening.
    if (!windows || !anyShowPending) return;
    anyShowPending = false;
    windows->ForEach([](int, WindowObject& o) {
        if (o.widget && o.widget->showPending) o.widget->ShowNow();
    });
}

void ResetWindows() {
    delete windows;
    windows = new runtime::ObjectTable<WindowObject>();
}

void ForEachWindow(const std::function<void(QWidget*)>& visit) {
    if (!windows) return;
    windows->ForEach([&visit](int, WindowObject& o) {
        if (o.widget) visit(o.widget);
    });
}

void SetWindowsIcon(const QIcon& icon) {
    programIcon = icon;
    if (!programIcon.isNull()) ForEachWindow([](QWidget* w) { w->setWindowIcon(programIcon); });
}

void DestroyAllWindows() {
    if (windows) windows->Clear();
}

}  // namespace detail

Handle OpenWindowObject(int number, int x, int y, int width, int height, const char* title, std::uint32_t flags) {
    WindowObject& slot = Windows().Take(number);  // whatever held the number is gone now
    if (width <= 0 || height <= 0) {
        Windows().Release(number);
        return 0;
    }
    std::uint32_t style = flags & ~WindowNoGadgetList;
    if ((style & ~(WindowCentreOnScreen | WindowCentreOnParent | WindowInvisible)) == 0) style |= WindowCaption;
    const bool invisible = style & WindowInvisible;
    style &= ~WindowInvisible;
    const bool tool = style & WindowToolStyle;
    if (tool) {
        style &= ~(WindowMinimized | WindowMaximized | WindowMinimizeBox | WindowMaximizeBox);
        style |= WindowCaption;
    }

    QWidget* parentForCentring = QApplication::activeWindow();
    auto* w = new LayerWindow();
    w->setWindowFlags(QtFlagsFor(style, tool));
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->setWindowTitle(QString::fromUtf8(title ? title : ""));
    if (!programIcon.isNull()) w->setWindowIcon(programIcon);
    if (style & WindowSizingFrame) {
        w->resize(width, height);
    } else {
        w->setFixedSize(width, height);
    }
    w->lastSize = QSize(width, height);

    const bool centre = style & (WindowCentreOnScreen | WindowCentreOnParent);
    if (centre) {
        w->centreIn = (style & WindowCentreOnParent) && parentForCentring ? parentForCentring->frameGeometry()
                                                                          : QGuiApplication::primaryScreen()->geometry();
        w->CentreFrame();  // with the client size for now: the frame may not be known before the showing
    } else if (x != -65535 && y != -65535) {
        w->move(x, y);
    }
    w->lastPos = w->pos();

    slot.widget = w;
    if (!invisible) {
        // Shown when the program first waits for input, with everything it
        // built by then already drawn: the first frame on screen is whole.
        w->showStyle = style;
        w->showPending = true;
        anyShowPending = true;
        if (!(style & WindowNoActivate)) {
            // The first showing activates the window before its number is
            // attached: that activation is posted for window -1, and the
            // platform's own later report of it is not posted again.
            PostEvent(ActivateEvent, 0, -1, 0, nullptr, nullptr);
            w->swallowActivation = true;
        }
    }
    if (!(flags & WindowNoGadgetList)) gadgetList = w;
    w->number = number;
    return detail::HandleOf(w);
}

Handle WindowHandle(int number) { return detail::HandleOf(detail::WindowWidget(number)); }

int SetWindowCaption(int number, const char* text) {
    auto* w = static_cast<LayerWindow*>(detail::WindowWidget(number));
    if (!w || !text) return 0;
    w->SetTitle(text);
    return 1;
}

void AcceptFileDrops(int number) {
    if (QWidget* w = detail::WindowWidget(number)) w->setAcceptDrops(true);
}

std::string DroppedFile() {
    const void* data = detail::CurrentEventData(FileDropEvent);
    return data ? *static_cast<const std::string*>(data) : std::string();
}

}  // namespace windowing
