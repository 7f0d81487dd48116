// The one event queue of the process, the current event, and WaitForEvent.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <deque>

#include "windowing/internal.h"

namespace windowing {
namespace {

struct QueuedEvent {
    int code = 0;
    int object = 0;
    int window = 0;
    int type = 0;
    void* data = nullptr;
    ReleaseData releaseData = nullptr;
    unsigned input = 0;  // the platform input whose handling posted it

    void Release() {
        if (data && releaseData) releaseData(data);
        data = nullptr;
        releaseData = nullptr;
    }
};

std::deque<QueuedEvent> eventQueue;
QueuedEvent currentEvent;
// Counts the platform's input events. One pass of the platform's event
// handling may take several inputs; only what one input posted collapses.
unsigned inputSerial = 0;

bool IsInput(QEvent::Type t) {
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Enter:
    case QEvent::Leave:
        return true;
    default:
        return false;
    }
}

// Keeps the Escape key's state for the loop's poll (down now, and pressed
// since the last poll) and counts the platform's inputs.
class EscapeWatch : public QObject {
public:
    bool down = false;
    bool pressedSince = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Every input reaches its platform window exactly once, before the
        // widgets: that delivery marks the start of a new input.
        if (watched->isWindowType() && IsInput(event->type())) ++inputSerial;
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            // A key event passes the filter once per object it visits; the
            // delivery to the platform window happens exactly once per key.
            if (key->key() == Qt::Key_Escape && watched->isWindowType()) {
                // One that closes an open menu (the popup's, or the menu bar's
                // and its submenus') is the menu's.
                if (event->type() == QEvent::KeyPress && QApplication::activePopupWidget()) {
                    down = true;
                } else if (event->type() == QEvent::KeyPress) {
                    down = true;
                    pressedSince = true;
                } else if (!key->isAutoRepeat()) {
                    down = false;
                }
            }
        }
        return false;
    }
};

EscapeWatch* escapeWatch = nullptr;

template <typename Pred>
void RemoveIf(Pred pred) {
    for (auto it = eventQueue.begin(); it != eventQueue.end();) {
        if (pred(*it)) {
            it->Release();
            it = eventQueue.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

namespace detail {

void InitEventQueue() {
    ClearEventQueue();
    currentEvent = QueuedEvent{};
}

void ClearEventQueue() {
    for (auto& e : eventQueue) e.Release();
    eventQueue.clear();
    currentEvent.Release();
}

void RemoveWindowEvents(int window) {
    RemoveIf([&](const QueuedEvent& e) { return e.window == window; });
}

void RemoveGadgetEvents(int gadget) {
    RemoveIf([&](const QueuedEvent& e) { return e.code == GadgetEvent && e.object == gadget; });
}

bool CurrentEventIsGadget(int number) {
    return currentEvent.code == GadgetEvent && currentEvent.object == number && currentEvent.data;
}

const void* CurrentEventData(int code) { return currentEvent.code == code ? currentEvent.data : nullptr; }
const CanvasEventData* CurrentCanvasData() { return static_cast<const CanvasEventData*>(currentEvent.data); }

void InstallEscapeWatch() {
    if (escapeWatch) return;
    escapeWatch = new EscapeWatch();
    qApp->installEventFilter(escapeWatch);
}

void ForgetEscapePress() {
    if (escapeWatch) escapeWatch->pressedSince = false;
}

}  // namespace detail

void PostEvent(int code, int object, int window, int type, void* data, ReleaseData releaseData) {
    // An event identical to the last queued one adds nothing: the queued one
    // keeps its data, the new data goes back at once.
    if (code < 65536 && !eventQueue.empty()) {
        const QueuedEvent& last = eventQueue.back();
        if (last.code == code && last.object == object && last.window == window && last.type == type &&
            last.input == inputSerial) {
            if (data && releaseData) releaseData(data);
            return;
        }
    }
    eventQueue.push_back(QueuedEvent{code, object, window, type, data, releaseData, inputSerial});
}

int WaitForEvent() {
    detail::ShowPendingWindows();
    currentEvent.Release();
    currentEvent.code = 0;
    currentEvent.type = -1;
    if (!eventQueue.empty()) {
        currentEvent = eventQueue.front();
        eventQueue.pop_front();
        return currentEvent.code;
    }
    // One pass of the platform's event handling, waiting for input when
    // there is none; what it queued comes back on the following calls.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::EventLoopExec);
    return PlatformMessage;
}

void ScheduleWakeUp(int milliseconds) {
    if (!qApp) return;  // no platform, so nobody is waiting
    static QTimer* timer = nullptr;
    if (!timer) {
        timer = new QTimer(qApp);
        timer->setSingleShot(true);
        // Nothing to do: the wait that the timer ends returns PlatformMessage.
        QObject::connect(timer, &QTimer::timeout, [] {});
    }
    if (!timer->isActive() || timer->remainingTime() > milliseconds) timer->start(milliseconds);
}

int CurrentMenuItem() { return currentEvent.object; }
int CurrentGadget() { return currentEvent.object; }
int CurrentEventType() { return currentEvent.type; }
int CurrentEventWindow() { return currentEvent.window; }

std::int16_t EscapeKeyState() {
    if (!escapeWatch) return 0;
    std::uint16_t state = (escapeWatch->down ? 0x8000 : 0) | (escapeWatch->pressedSince ? 1 : 0);
    escapeWatch->pressedSince = false;
    return static_cast<std::int16_t>(state);
}

}  // namespace windowing
