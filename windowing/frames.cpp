// At most once a frame: what follows the pointer (the window title, the
// status line) changes on every cell a sweep crosses, faster than a screen
// shows; each change still reaches the screen within a frame.
#include "windowing/internal.h"

#include <algorithm>
#include <vector>

namespace windowing::detail {

namespace {
std::vector<FrameThrottle*> throttles;
}

FrameThrottle::~FrameThrottle() { throttles.erase(std::remove(throttles.begin(), throttles.end(), this), throttles.end()); }

void FlushFrames() {
    const std::vector<FrameThrottle*> all = throttles;  // an action may make or end others
    for (FrameThrottle* t : all)
        if (std::find(throttles.begin(), throttles.end(), t) != throttles.end()) t->Flush();
}

FrameThrottle::FrameThrottle(std::function<void()> action, int interval)
    : action_(std::move(action)), interval_(interval) {
    throttles.push_back(this);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        lastRun_.start();
        action_();
    });
}

void FrameThrottle::Request() {
    if (timer_.isActive()) return;  // the frame that is due shows it
    const qint64 since = lastRun_.isValid() ? lastRun_.elapsed() : interval_;
    if (since >= interval_) {
        lastRun_.start();
        action_();
        return;
    }
    timer_.start(static_cast<int>(interval_ - since));
}

void FrameThrottle::Flush() {
    if (!timer_.isActive()) return;
    timer_.stop();
    lastRun_.start();
    action_();
}

}  // namespace windowing::detail
