#pragma once

// Keyframe animations of a window's frame origin, stepped by a run loop's timer (whose clock tests
// replace), and the animator proxy that plays them.

#include "graphics/BezierPath.hpp"
#include "graphics/Geometry.hpp"

#include <chrono>
#include <memory>
#include <vector>

namespace core {
class Timer;
}

namespace ui {

class Window;

class Animation {
public:
    virtual ~Animation() = default;
    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds > 0 ? seconds : 0; }

private:
    double duration_ = 0.25;
};

// Values along a path: the end points of its segments are the keyframes, evenly spaced in time, with
// straight moves between them. A closing element returns to the start of its subpath. Curves go
// straight to their end points.
class KeyframeAnimation : public Animation {
public:
    void setPath(const graphics::BezierPath& path);
    const std::vector<graphics::Point>& keyframes() const { return keyframes_; }
    // The value a fraction 0…1 of the way through.
    graphics::Point valueAt(double fraction) const;

private:
    std::vector<graphics::Point> keyframes_;
};

// Returned by Window::animator(): a change made through it plays the window's animation for the
// property when there is one and ends at the value given; otherwise it applies at once.
class WindowAnimator {
public:
    explicit WindowAnimator(std::shared_ptr<Window> window) : window_(std::move(window)) {}
    void setFrameOrigin(const graphics::Point& origin);

private:
    std::shared_ptr<Window> window_;
};

// A running frame-origin animation. The window's run loop fires its timer at 60 Hz; each step sets
// the origin for the time elapsed on the run loop's clock. Ends at the target (and stops) after the
// duration; a new animation of the same window replaces a running one.
class FrameOriginPlayer {
public:
    static constexpr std::chrono::microseconds frameInterval{16667};

    // Starts playing; the window keeps the player until it ends.
    static void play(const std::shared_ptr<Window>& window, std::shared_ptr<KeyframeAnimation> animation,
                     graphics::Point target);
    ~FrameOriginPlayer();
    bool isFinished() const { return finished_; }
    void step();
    void finish();

private:
    std::weak_ptr<Window> window_;
    std::shared_ptr<KeyframeAnimation> animation_;
    graphics::Point target_;
    std::chrono::steady_clock::time_point start_;
    std::shared_ptr<core::Timer> timer_;
    bool finished_ = false;
};

} // namespace ui
