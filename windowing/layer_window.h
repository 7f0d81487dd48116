// A top-level window of the layer: the events it posts, its deferred first
// showing and centring, its title following the pointer, and the room its
// menu bar takes above the client area. Shared by the window table and the
// windows' geometry.
#pragma once

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <string>

#include "windowing/internal.h"

namespace windowing::detail {

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

}  // namespace windowing::detail
