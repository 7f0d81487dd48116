// Drives the real widgets of the windowing layer from a test, in the
// offscreen platform: input events, the queue, and modal dialogs.
#pragma once

#include <QBackingStore>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "windowing/internal.h"
#include "windowing/windowing.h"

namespace qtdriver {

// Never collapsed (code at or above 65536) and never an event of the layer.
inline constexpr int Sentinel = 0x7FFF0000;

struct Taken {
    int code, object, window, type;
    std::intptr_t x, y, buttons, wheel;
};

// Every event queued so far, without waiting for platform input.
inline std::vector<Taken> Drain(int canvas = 0) {
    windowing::PostEvent(Sentinel, 0, 0, 0, nullptr, nullptr);
    std::vector<Taken> out;
    for (;;) {
        const int code = windowing::WaitForEvent();
        if (code == Sentinel) return out;
        if (code == windowing::PlatformMessage) continue;
        out.push_back({code, windowing::CurrentMenuItem(), windowing::CurrentEventWindow(),
                       windowing::CurrentEventType(), windowing::CanvasAttribute(canvas, windowing::CanvasPointerX),
                       windowing::CanvasAttribute(canvas, windowing::CanvasPointerY),
                       windowing::CanvasAttribute(canvas, windowing::CanvasButtons),
                       windowing::CanvasAttribute(canvas, windowing::CanvasWheelDelta)});
    }
}

inline std::vector<int> Types(const std::vector<Taken>& events) {
    std::vector<int> t;
    for (const auto& e : events) t.push_back(e.type);
    return t;
}

inline QWidget* Window(int number) { return reinterpret_cast<QWidget*>(windowing::WindowHandle(number)); }

inline QWidget* Canvas(int window = 0, int number = 0) {
    return Window(window)->findChild<QWidget*>(QStringLiteral("canvas%1").arg(number));
}

// What the window shows of w: its part of the window's backing store once
// the pending frame and the paints it asked for are done (a grab() would
// repaint the whole widget instead).
inline QImage OnScreen(QWidget* w) {
    windowing::detail::FlushFrames();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QWidget* top = w->window();
    QBackingStore* store = top->backingStore();
    if (!store || !store->paintDevice() || store->paintDevice()->devType() != QInternal::Image) return {};
    return static_cast<QImage*>(store->paintDevice())->copy(QRect(w->mapTo(top, QPoint(0, 0)), w->size()));
}

inline void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void Move(QWidget* w, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    Mouse(w, QEvent::MouseMove, at, Qt::NoButton, held);
}
inline void Press(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton, Qt::MouseButtons alsoHeld = {}) {
    Mouse(w, QEvent::MouseButtonPress, at, b, alsoHeld | b);
}
inline void Release(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton, Qt::MouseButtons stillHeld = {}) {
    Mouse(w, QEvent::MouseButtonRelease, at, b, stillHeld);
}
inline void DoubleClick(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
    Mouse(w, QEvent::MouseButtonDblClick, at, b, b);
}
inline void Wheel(QWidget* w, int amount, QPoint at = {5, 5}, Qt::KeyboardModifiers modifiers = {}) {
    QWheelEvent e(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, amount), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// Answers the modal dialogs and popups that open while a call runs, one
// step per dialog, in order. Steps that never run are reported.
class DialogScript {
public:
    struct Seen {
        std::string kind;  // "file", "message", "popup"
        std::string title;
        std::string text;  // message text, or the requester's initial name
        std::string directory;
        std::vector<std::string> filters;
        std::string accept;  // a requester's accept button
        int width = 0;       // what the dialog is wide, and what its title needs
        int titleWidth = 0;
    };
    using Step = std::function<void(QWidget*)>;

    DialogScript() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }

    void Then(Step s) { steps_.push_back(std::move(s)); }
    // Requester steps.
    void Choose(const std::string& path) {
        Then([path](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (!d) {
                ADD_FAILURE() << "a requester was expected, " << w->metaObject()->className() << " came";
                static_cast<QDialog*>(w)->reject();
                return;
            }
            auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            edit->setText(QString::fromStdString(path));
            QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
        });
    }
    void Cancel() {
        Then([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    }
    // Message box and popup steps.
    void Ok() {
        Then([](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
    }
    // Clicks a button of a message box (Save, Discard, Cancel...).
    void Answer(QMessageBox::StandardButton button) {
        Then([button](QWidget* w) {
            auto* m = qobject_cast<QMessageBox*>(w);
            if (!m || !m->button(button)) {
                ADD_FAILURE() << "a message box with that button was expected";
                static_cast<QDialog*>(w)->reject();
                return;
            }
            m->button(button)->click();
        });
    }
    // Clicks the button of a message box whose text is given ("&Replace").
    void Click(const std::string& text) {
        Then([text](QWidget* w) {
            for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
                if (b->text().toStdString() == text) {
                    b->click();
                    return;
                }
            ADD_FAILURE() << "no button " << text;
            static_cast<QDialog*>(w)->reject();
        });
    }
    void Dismiss() {
        Then([](QWidget* w) { w->close(); });
    }

    std::vector<Seen> seen;
    std::size_t Pending() const { return steps_.size(); }
    // With no steps left, any dialog is cancelled and recorded.
    bool unexpected = false;

private:
    void Poll() {
        QWidget* w = QApplication::activePopupWidget();
        if (!w) w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || busy_ || w == last_) return;
        last_ = w;
        Seen s;
        if (auto* d = qobject_cast<QFileDialog*>(w)) {
            s.kind = "file";
            s.title = d->windowTitle().toStdString();
            if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                s.text = edit->text().toStdString();
            s.directory = d->directory().absolutePath().toStdString();
            s.accept = d->labelText(QFileDialog::Accept).toStdString();
            for (const QString& f : d->nameFilters()) s.filters.push_back(f.toStdString());
        } else if (auto* m = qobject_cast<QMessageBox*>(w)) {
            s.kind = "message";
            s.title = m->windowTitle().toStdString();
            s.text = m->text().toStdString();
        } else if (auto* d = qobject_cast<QDialog*>(w)) {
            s.kind = "dialog";
            s.title = d->windowTitle().toStdString();
            s.text = d->objectName().toStdString();
            if (const auto* keys = d->findChild<QLabel*>(QStringLiteral("keysList"))) s.text = keys->text().toStdString();
            s.width = d->width();
            s.titleWidth = QFontMetrics(d->font()).horizontalAdvance(d->windowTitle());
        } else if (qobject_cast<QMenu*>(w)) {
            s.kind = "popup";
            s.title = w->objectName().toStdString();
            s.directory = std::to_string(w->pos().x()) + "," + std::to_string(w->pos().y());
        } else {
            return;
        }
        seen.push_back(s);
        if (steps_.empty()) {
            unexpected = true;
            if (qobject_cast<QMenu*>(w)) w->close();
            else static_cast<QDialog*>(w)->reject();
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        // Run outside this timer's slot: a step may open a nested dialog,
        // which this timer must be free to answer.
        busy_ = true;
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, [this, step, target] {
            busy_ = false;
            if (target) step(target);
            // A popup menu is hidden, not destroyed: the next showing is new.
            if (target && !target->isVisible()) last_ = nullptr;
        });
    }

    QTimer timer_;
    std::deque<Step> steps_;
    bool busy_ = false;
    QPointer<QWidget> last_;  // the dialog answered last, until it closes
};

}  // namespace qtdriver
