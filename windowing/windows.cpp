// Numbered top-level windows: the events they post and their focus
// traversal.
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

namespace windowing {
namespace {

class LayerWindow;

struct WindowObject {
    QPointer<LayerWindow> widget;
    ~WindowObject();
};

runtime::ObjectTable<WindowObject>* windows = nullptr;
QPointer<QWidget> gadgetList;
QIcon programIcon;
bool anyShowPending = false;  // a window waits for its first showing

class LayerWindow : public QWidget {
public:
    int number = -1;  // attached only once the window is built
    bool minMax = false;
    bool swallowActivation = false;  // the first showing was already posted
    QPointer<QWidget> savedFocus;
    QPoint lastPos;
    QSize lastSize;
    int toolbarNumber = -1;
    QPointer<QWidget> toolbar;  // cleared by itself when the toolbar goes first
    QPointer<QWidget> menuBar;  // above everything else: the client area starts below it
    int clientTop = 0;

    QRect centreIn;             // the area a centred window is centred in, frame included
    bool awaitingFrame = false;  // centred before the window manager framed it

    void Post(int code, int object) { PostEvent(code, object, number, 0, nullptr, nullptr); }

    std::uint32_t showStyle = 0;
    bool showPending = false;

    // The title follows the pointer's cell: set through the toolkit at most
    // once a frame while the pointer sweeps, the last one always.
    std::string pendingTitle;
    detail::FrameThrottle titleFrames{[this] {
        const QString title = QString::fromStdString(pendingTitle);
        if (windowTitle() != title) setWindowTitle(title);
    }};

    void SetTitle(const char* text) {
        pendingTitle.assign(text);
        titleFrames.Request();
    }

    // The deferred first showing. The window is not yet attached to its
    // number for it, as it was not when it was opened: what the showing
    // itself reports is no event of the program's.
    void ShowNow() {
        showPending = false;
        const int attached = number;
        number = -1;
        if (showStyle & WindowNoActivate) setAttribute(Qt::WA_ShowWithoutActivating);
        if (showStyle & WindowMaximized) {
            showMaximized();
        } else if (showStyle & WindowMinimized) {
            showMinimized();
        } else {
            show();
        }
        minMax = showStyle & (WindowMaximized | WindowMinimized);
        if (!(showStyle & WindowNoActivate)) activateWindow();
        if (showStyle & (WindowCentreOnScreen | WindowCentreOnParent)) CentreFrame();
        lastPos = pos();
        lastSize = size();
        number = attached;
    }

    // Centres the outer frame, not just the client area, once its size is known.
    void CentreFrame() {
        const QSize outer = frameGeometry().size();
        const QPoint at(centreIn.x() + (centreIn.width() - std::min(outer.width(), centreIn.width())) / 2,
                        centreIn.y() + (centreIn.height() - std::min(outer.height(), centreIn.height())) / 2);
        if (at != pos()) move(at);
        awaitingFrame = outer == size();
    }

protected:
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::ActivationChange && number >= 0) {
            if (isActiveWindow()) {
                if (savedFocus) savedFocus->setFocus();
                if (swallowActivation) {
                    swallowActivation = false;
                } else {
                    Post(ActivateEvent, 0);
                }
            } else {
                savedFocus = focusWidget();
                swallowActivation = false;
                Post(DeactivateEvent, 0);
            }
        } else if (e->type() == QEvent::WindowStateChange && number >= 0) {
            if (windowState() & Qt::WindowMinimized) {
                minMax = true;
                Post(MinimizeEvent, 0);
            } else if (windowState() & Qt::WindowMaximized) {
                minMax = true;
                Post(MaximizeEvent, 0);
                Post(SizeEvent, 0);
            } else if (minMax) {
                minMax = false;
                Post(RestoreEvent, 0);
                Post(SizeEvent, 0);
            }
        }
        QWidget::changeEvent(e);
    }

    void resizeEvent(QResizeEvent* e) override {
        if (toolbar) toolbar->resize(width(), toolbar->sizeHint().height());
        if (menuBar) menuBar->resize(width(), clientTop);
        if (number >= 0 && size() != lastSize && !(windowState() & Qt::WindowMinimized)) Post(SizeEvent, 0);
        lastSize = size();
        QWidget::resizeEvent(e);
    }

    void moveEvent(QMoveEvent* e) override {
        // A window manager adds its frame after the showing: centre again once.
        if (awaitingFrame && frameGeometry().size() != size()) CentreFrame();
        if (number >= 0 && pos() != lastPos) Post(MoveEvent, number);
        lastPos = pos();
        QWidget::moveEvent(e);
    }

    void closeEvent(QCloseEvent* e) override {
        // The window stays open; the program decides what a close means.
        e->ignore();
        if (number >= 0) Post(CloseEvent, number);
    }

    void paintEvent(QPaintEvent*) override {
        if (number >= 0) Post(RepaintEvent, 0);
    }

    void dragEnterEvent(QDragEnterEvent* e) override {
        if (!detail::DroppedPath(e->mimeData()).isEmpty()) e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override {
        if (!detail::DroppedPath(e->mimeData()).isEmpty()) e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override {
        const QString path = detail::DroppedPath(e->mimeData());
        if (path.isEmpty() || number < 0) return;
        e->acceptProposedAction();
        PostEvent(FileDropEvent, 0, number, 0, new std::string(path.toStdString()),
                  [](void* data) { delete static_cast<std::string*>(data); });
    }

    bool ForwardToCanvas(QMouseEvent* e) { return detail::ForwardToCanvas(this, e); }

    void mousePressEvent(QMouseEvent* e) override {
        if (!ForwardToCanvas(e)) QWidget::mousePressEvent(e);
    }

    void mouseMoveEvent(QMouseEvent* e) override {
        if (!ForwardToCanvas(e)) QWidget::mouseMoveEvent(e);
    }

    void mouseReleaseEvent(QMouseEvent* e) override {
        if (ForwardToCanvas(e)) return;
        // The grab reports a release anywhere; only one over the window's own
        // client area (not over a child) is a click on the window.
        const QPoint at = e->position().toPoint();
        if (!rect().contains(at) || childAt(at)) return;
        if (e->button() == Qt::LeftButton) Post(LeftClickEvent, 0);
        if (e->button() == Qt::RightButton) Post(RightClickEvent, 0);
    }

    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (ForwardToCanvas(e)) return;
        if (!childAt(e->position().toPoint()) && e->button() == Qt::LeftButton) Post(LeftDoubleClickEvent, 0);
    }

    bool focusNextPrevChild(bool next) override { return detail::MoveFocus(this, next); }
};

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

void AttachToolbar(QWidget* window, int toolbarNumber, QWidget* toolbar) {
    auto* w = static_cast<LayerWindow*>(window);
    w->toolbarNumber = toolbarNumber;
    w->toolbar = toolbar;
    if (!toolbar) return;
    toolbar->move(0, w->clientTop);
    toolbar->resize(w->width(), toolbar->sizeHint().height());
}

int ClientTop(const QWidget* window) {
    const int n = WindowNumberOf(window);
    const auto* w = n < 0 ? nullptr : static_cast<const LayerWindow*>(WindowWidget(n));
    return w ? w->clientTop : 0;
}

void AttachMenuBar(QWidget* window, QWidget* bar, int height) {
    auto* w = static_cast<LayerWindow*>(window);
    const int grow = height - w->clientTop;
    for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child != bar && child != w->menuBar) child->move(child->pos() + QPoint(0, grow));
    w->menuBar = bar;
    w->clientTop = height;
    bar->setGeometry(0, 0, w->width(), height);
    const QSize size = w->size() + QSize(0, grow);
    if (w->minimumSize() == w->maximumSize()) w->setFixedSize(size);
    else w->resize(size);
    w->lastSize = size;
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

void AvailableClientArea(int number, int& width, int& height) {
    QWidget* w = detail::WindowWidget(number);
    if (w && QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        width = w->width();
        height = w->height() - detail::ClientTop(w);
        return;
    }
    QScreen* screen = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 640, 480);
    // The frame the window manager adds, as far as it is known yet.
    const QSize frame = w ? w->frameGeometry().size() - w->size() : QSize();
    width = room.width() - frame.width();
    height = room.height() - frame.height() - (w ? detail::ClientTop(w) : 0);
}

int ResizeWindowObject(int number, int width, int height) {
    auto* w = static_cast<LayerWindow*>(detail::WindowWidget(number));
    if (!w || width <= 0 || height <= 0) return 0;
    height += w->clientTop;
    if (w->minimumSize() == w->maximumSize()) w->setFixedSize(width, height);
    else w->resize(width, height);
    // A window grown past the screen's edge is moved back onto it (where the
    // platform lets a program place its windows).
    if (QScreen* screen = w->screen()) {
        const QRect room = screen->availableGeometry();
        QRect frame = w->frameGeometry();
        frame.setSize(frame.size() - w->size() + QSize(width, height));
        QPoint at = frame.topLeft();
        at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - frame.width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - frame.height())));
        if (at != frame.topLeft()) w->move(at);
    }
    return 1;
}

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
