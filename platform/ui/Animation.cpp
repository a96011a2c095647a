#include "ui/Animation.hpp"

#include "core/RunLoop.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

namespace ui {

using graphics::PathElementType;
using graphics::Point;

void KeyframeAnimation::setPath(const graphics::BezierPath& path) {
    keyframes_.clear();
    std::optional<Point> subpathStart;
    for (const auto& element : path.elements()) {
        switch (element.type) {
        case PathElementType::moveTo:
            if (!element.points.empty()) {
                subpathStart = element.points.front();
                keyframes_.push_back(element.points.front());
            }
            break;
        case PathElementType::lineTo:
        case PathElementType::curveTo:
            if (!element.points.empty()) {
                keyframes_.push_back(element.points.back());
            }
            break;
        case PathElementType::closePath:
            if (subpathStart) {
                keyframes_.push_back(*subpathStart);
            }
            break;
        }
    }
}

Point KeyframeAnimation::valueAt(double fraction) const {
    if (keyframes_.empty()) {
        return {};
    }
    if (keyframes_.size() == 1 || !(fraction > 0)) {
        return keyframes_.front();
    }
    if (fraction >= 1) {
        return keyframes_.back();
    }
    const double position = fraction * static_cast<double>(keyframes_.size() - 1);
    const auto index = static_cast<std::size_t>(std::floor(position));
    const double t = position - static_cast<double>(index);
    const Point a = keyframes_[index];
    const Point b = keyframes_[std::min(index + 1, keyframes_.size() - 1)];
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

void WindowAnimator::setFrameOrigin(const Point& origin) {
    if (!window_) {
        return;
    }
    const auto& animations = window_->animations();
    auto it = animations.find("frameOrigin");
    auto keyframes =
        it == animations.end() ? nullptr : std::dynamic_pointer_cast<KeyframeAnimation>(it->second);
    if (!keyframes || keyframes->keyframes().empty() || keyframes->duration() <= 0) {
        window_->setFrameOrigin(origin);
        return;
    }
    FrameOriginPlayer::play(window_, std::move(keyframes), origin);
}

void FrameOriginPlayer::play(const std::shared_ptr<Window>& window,
                             std::shared_ptr<KeyframeAnimation> animation, Point target) {
    if (auto running = std::move(window->originPlayer_)) {
        running->finished_ = true; // replaced: stop where it is
        if (running->timer_) {
            running->timer_->invalidate();
        }
    }
    auto player = std::make_shared<FrameOriginPlayer>();
    player->window_ = window;
    player->animation_ = std::move(animation);
    player->target_ = target;
    core::RunLoop& loop = window->animationRunLoop();
    player->start_ = loop.clock()->now();
    window->originPlayer_ = player;
    window->setFrameOrigin(player->animation_->valueAt(0));
    player->timer_ = loop.scheduleRepeating(std::chrono::duration_cast<core::Clock::Duration>(frameInterval),
                                            [weak = std::weak_ptr<FrameOriginPlayer>(player)] {
                                                if (auto p = weak.lock()) {
                                                    p->step();
                                                }
                                            });
}

FrameOriginPlayer::~FrameOriginPlayer() {
    if (timer_) {
        timer_->invalidate();
    }
}

void FrameOriginPlayer::step() {
    auto window = window_.lock();
    if (finished_ || !window) {
        finish();
        return;
    }
    const auto elapsed =
        std::chrono::duration<double>(window->animationRunLoop().clock()->now() - start_).count();
    const double duration = animation_->duration();
    if (elapsed >= duration) {
        finish();
        return;
    }
    window->setFrameOrigin(animation_->valueAt(elapsed / duration));
}

void FrameOriginPlayer::finish() {
    if (timer_) {
        timer_->invalidate();
    }
    auto window = window_.lock();
    if (!finished_ && window) {
        finished_ = true;
        window->setFrameOrigin(target_);
    }
    finished_ = true;
    if (window && window->originPlayer_.get() == this) {
        auto keep = std::move(window->originPlayer_); // released when this call returns
        (void)keep;
    }
}

} // namespace ui
