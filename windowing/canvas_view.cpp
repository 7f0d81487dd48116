// A canvas larger than the room its window has is shown through a view that
// scrolls, with scroll bars; the canvas itself, its pixels and its events
// stay as they are (positions are still the bitmap's).
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "windowing/canvas_widget.h"
#include "windowing/internal.h"

namespace windowing {

using detail::CanvasWidget;

namespace {

QScrollArea* ViewOf(const CanvasWidget* c) { return static_cast<QScrollArea*>(c->view.data()); }

}  // namespace

int SetCanvasView(int number, int& width, int& height) {
    CanvasWidget* c = detail::FindCanvasWidget(number);
    if (!c || width <= 0 || height <= 0) return 0;
    QScrollArea* view = ViewOf(c);
    QWidget* window = view ? view->parentWidget() : c->parentWidget();
    const QPoint at = c->home + QPoint(0, detail::ClientTop(window));
    // A scroll bar one way takes room the other way may then lack.
    const int bar = c->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, c);
    bool across = c->width() > width, down = c->height() > height;
    across = across || (down && c->width() + bar > width);
    down = down || (across && c->height() + bar > height);
    width = std::min(width, c->width() + (down ? bar : 0));
    height = std::min(height, c->height() + (across ? bar : 0));
    if (!across && !down) {
        if (!view) return 1;
        // Room for all of it again: back in the window itself.
        view->takeWidget();
        c->setParent(window);
        c->move(at);
        c->show();
        delete view;
        return 1;
    }
    if (!view) {
        view = new QScrollArea(window);
        view->setObjectName(QStringLiteral("canvasView%1").arg(number));
        view->setFrameShape(QFrame::NoFrame);
        view->setFocusPolicy(Qt::NoFocus);
        view->horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
        view->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
        view->setBackgroundRole(QPalette::Dark);
        view->setWidget(c);  // the view takes the canvas at its present size
        c->view = view;
        view->show();
    }
    view->setGeometry(QRect(at, QSize(width, height)));
    return 1;
}

void ShowCanvasArea(int number, int x, int y, int width, int height) {
    CanvasWidget* c = detail::FindCanvasWidget(number);
    QScrollArea* view = c ? ViewOf(c) : nullptr;
    if (!view) return;
    const QRect area = c->ToWidget(QRect(x, y, width, height));
    // The far corner first, then the near one: all of it when it fits, else
    // its top left. (A point is shown when it is at most the view's size on:
    // the pixel past the corner is the one to ask for.)
    view->ensureVisible(area.right() + 1, area.bottom() + 1, 0, 0);
    view->ensureVisible(area.left(), area.top(), 0, 0);
}

void CanvasPointInWindow(int number, int x, int y, int& windowX, int& windowY) {
    CanvasWidget* c = detail::FindCanvasWidget(number);
    if (!c) return;
    const QPoint at = c->mapTo(c->window(), c->ToWidget(QRect(x, y, 1, 1)).topLeft());
    windowX = at.x();
    windowY = at.y() - detail::ClientTop(c->window());
}

void PlaceCanvasPoint(int number, int x, int y, int windowX, int windowY) {
    CanvasWidget* c = detail::FindCanvasWidget(number);
    QScrollArea* view = c ? ViewOf(c) : nullptr;
    if (!view) return;
    const QPoint pixel = c->ToWidget(QRect(x, y, 1, 1)).topLeft();
    const QPoint inView = view->viewport()->mapFrom(c->window(), QPoint(windowX, windowY + detail::ClientTop(c->window())));
    view->horizontalScrollBar()->setValue(pixel.x() - inView.x());
    view->verticalScrollBar()->setValue(pixel.y() - inView.y());
}

}  // namespace windowing
