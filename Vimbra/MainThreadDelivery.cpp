#include "Vimbra/MainThreadDelivery.hpp"

#include "core/Log.hpp"
#include "core/MainQueue.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace vimbra {

void requireMainThread() {
    if (!core::isMainThread()) {
        core::fatal("Incorrect actor executor assumption; Expected same executor as MainActor");
    }
}

UIEventThrottler::UIEventThrottler(double interval, std::shared_ptr<core::WorkQueue> queue)
    : interval_(interval), queue_(queue ? std::move(queue) : core::WorkQueue::global()) {}

UIEventThrottler::~UIEventThrottler() {
    cancel();
}

void UIEventThrottler::cancel() {
    if (timer_) {
        timer_->cancel();
        timer_.reset();
    }
}

void UIEventThrottler::schedule(std::function<void()> action) {
    cancel();
    const double seconds = std::isfinite(interval_) ? std::max(interval_, 0.0) : 0.0;
    const auto delay =
        std::chrono::duration_cast<core::Clock::Duration>(std::chrono::duration<double>(seconds));
    timer_ = queue_->makeTimer();
    timer_->setEventHandler(std::move(action));
    // One-shot: the action runs once per burst, not again every interval after it.
    timer_->schedule(queue_->clock()->now() + delay);
    timer_->resume();
}

bool UIEventThrottler::isPending() const {
    return timer_ && timer_->nextDeadline().has_value();
}

} // namespace vimbra
