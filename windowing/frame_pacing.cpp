// At most once a frame: what follows the pointer (the canvas, the window
// title, the status line) changes on every cell a sweep crosses, faster than
// a screen shows; each change still reaches the screen within a frame. All
// of them go out together, from one timer: one paint and one write to the
// display a frame.
#include "windowing/internal.h"

#include <QCoreApplication>

#include <algorithm>
#include <vector>

namespace windowing::detail {

namespace {

std::vector<FrameThrottle*> throttles;
QElapsedTimer lastFrame;
QTimer* frameTimer = nullptr;

void RunFrame() {
    lastFrame.start();
    const std::vector<FrameThrottle*> all = throttles;  // an action may make or end others
    for (FrameThrottle* t : all)
        if (std::find(throttles.begin(), throttles.end(), t) != throttles.end()) t->Flush();
}

}  // namespace

FrameThrottle::FrameThrottle(std::function<void()> action) : action_(std::move(action)) { throttles.push_back(this); }

FrameThrottle::~FrameThrottle() { throttles.erase(std::remove(throttles.begin(), throttles.end(), this), throttles.end()); }

void FrameThrottle::Request() {
    pending_ = true;
    if (!frameTimer) {
        frameTimer = new QTimer(qApp);
        frameTimer->setSingleShot(true);
        frameTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(frameTimer, &QTimer::timeout, [] { RunFrame(); });
    }
    if (frameTimer->isActive()) return;  // the frame that is due shows it
    // After a quiet spell at once, once the event that asked is handled (so
    // that what it changed goes out together); in a sweep, when the frame
    // falls due.
    const qint64 since = lastFrame.isValid() ? lastFrame.elapsed() : FrameInterval;
    frameTimer->start(static_cast<int>(std::max<qint64>(0, FrameInterval - since)));
}

void FrameThrottle::Flush() {
    if (!pending_) return;
    pending_ = false;
    action_();
}

void FlushFrames() {
    if (frameTimer) frameTimer->stop();
    RunFrame();
}

}  // namespace windowing::detail
