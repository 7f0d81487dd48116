// What a top-level window does with input that is not its own: files
// dropped on it, pointer events that belong to a canvas, and Tab.
#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "windowing/internal.h"

namespace windowing {

// Files dragged from a file manager: the first local file of a drop.
QString detail::DroppedPath(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return QString();
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return QString();
}

// The toolkit hands a widget the pointer events whose position, rounded
// to whole logical pixels, falls on it: at a fractional position (a
// scale of 2 or 1.5) the canvas's last device column and row round past
// its edge and come here. They belong to the canvas that is under them.
bool detail::ForwardToCanvas(QWidget* window, QMouseEvent* e) {
    const QPointF at = e->scenePosition();
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible() || !child->objectName().startsWith(QLatin1String("canvas"))) continue;
        if (!QRectF(child->geometry()).contains(at)) continue;
        QMouseEvent moved(e->type(), at - QPointF(child->pos()), at, e->globalPosition(), e->button(), e->buttons(),
                          e->modifiers());
        QApplication::sendEvent(child, &moved);
        return true;
    }
    return false;
}

// Tab and Shift+Tab walk the enabled, visible tab stops in child order.
bool detail::MoveFocus(QWidget* window, bool next) {
    std::vector<QWidget*> stops;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus)) stops.push_back(w);
    }
    if (stops.empty()) return true;
    QWidget* focused = QApplication::focusWidget();
    const auto it = std::find(stops.begin(), stops.end(), focused);
    if (next) {
        if (!focused || !window->isAncestorOf(focused)) {
            stops.front()->setFocus(Qt::TabFocusReason);
        } else if (it != stops.end()) {
            (it + 1 == stops.end() ? stops.front() : *(it + 1))->setFocus(Qt::TabFocusReason);
        }
    } else {
        if (it == stops.end() || it == stops.begin()) {
            stops.back()->setFocus(Qt::BacktabFocusReason);
        } else {
            (*(it - 1))->setFocus(Qt::BacktabFocusReason);
        }
    }
    return true;
}

}  // namespace windowing
