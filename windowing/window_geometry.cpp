// The geometry of the layer's windows: the room the desktop gives them, a
// new size, and the toolbar and menu bar along their top.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "windowing/internal.h"
#include "windowing/layer_window.h"

namespace windowing {

using detail::LayerWindow;

namespace detail {

void AttachToolbar(QWidget* window, int toolbarNumber, QWidget* toolbar) {
    auto* w = static_cast<LayerWindow*>(window);
    w->toolbarNumber = toolbarNumber;
    w->toolbar = toolbar;
    if (!toolbar) return;
    toolbar->move(0, w->clientTop);
    toolbar->resize(w->width(), toolbar->sizeHint().height());
}

int ClientTop(const QWidget* window) {
    // Asked at every status line change: the window itself, not the table.
    const auto* w = window ? dynamic_cast<const LayerWindow*>(window->window()) : nullptr;
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

}  // namespace detail

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

}  // namespace windowing
