#pragma once

// Gesture recognisers: objects attached to a view that watch the mouse events of a press and turn
// them into a gesture (a click; a drag), reported through a target and action.
//
// When a press starts on a view, the window hands that press's mouse events to the enabled
// recognisers of the view and of its ancestors (the view's own first, then outwards), each before the
// view itself handles the event; views always receive their events as well (recognisers never delay
// or swallow them). When the press ends (its button goes up, or the window loses key status), every
// recogniser still in the middle of a gesture is cancelled or fails, and all of them go back to
// possible, ready for the next press.

#include "graphics/Geometry.hpp"
#include "ui/Event.hpp"
#include "ui/Responder.hpp"

#include <memory>
#include <vector>

namespace ui {

class View;
class Window;

// The states, with the toolkit's raw values. A discrete gesture (a click) goes from possible straight
// to ended (recognised) or failed; a continuous one (a drag) goes through began and changed to ended or
// cancelled.
enum class GestureRecognizerState {
    possible = 0,
    began = 1,
    changed = 2,
    ended = 3,
    cancelled = 4,
    failed = 5
};

class GestureRecognizer : public Object {
public:
    explicit GestureRecognizer(const std::shared_ptr<Object>& target = nullptr, Selector action = {});
    ~GestureRecognizer() override;

    // The view it is attached to (View::addGestureRecognizer), null when none.
    View* view() const { return view_; }

    // The action goes to the target (held weakly) with the recogniser as sender; without a target it
    // travels the responder chain (Application::sendAction).
    std::shared_ptr<Object> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<Object>& target) { target_ = target; }
    const Selector& action() const { return action_; }
    void setAction(Selector action) { action_ = std::move(action); }

    // A disabled recogniser sees no events; disabling one in the middle of a gesture cancels it.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    GestureRecognizerState state() const { return state_; }

    // Where the pointer was at the last event of the press, in view's coordinates (window coordinates
    // for null).
    graphics::Point locationInView(const View* view) const;
    // The last event of the press that the recogniser saw (its time stamp, modifiers, click count).
    const Event& lastEvent() const { return lastEvent_; }

    // The events of a press, as the window hands them over (the default handlers do nothing).
    virtual void mouseDown(const Event& event);
    virtual void mouseDragged(const Event& event);
    virtual void mouseUp(const Event& event);
    virtual void rightMouseDown(const Event& event);
    virtual void rightMouseDragged(const Event& event);
    virtual void rightMouseUp(const Event& event);

protected:
    // Moves the state on. Entering began, changed (every time), ended or cancelled sends the action,
    // with the new state readable; failed and possible send nothing. Once ended, cancelled or failed,
    // further changes wait for the reset at the end of the press.
    void setState(GestureRecognizerState state);
    // Clears per-press data; the window calls it, with the state back at possible, when a press is over.
    // Subclasses that override it call the base.
    virtual void reset();

private:
    friend class View;
    friend class Window;
    // The window's entry points: one event of the press; the press is over; the press was cut short.
    void handleEvent(const Event& event);
    void finishPress();
    void cancelPress();

    View* view_ = nullptr; // the owner; cleared when the view goes
    std::weak_ptr<Object> target_;
    Selector action_;
    bool enabled_ = true;
    GestureRecognizerState state_ = GestureRecognizerState::possible;
    Event lastEvent_;
};

// A click: recognised (ended) when the primary button goes up no further than allowableMovement points
// from where it went down; it fails as soon as the pointer moves further, so a drag never also clicks.
class ClickGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;

    static constexpr double allowableMovement = 4;

    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;

protected:
    void reset() override;

private:
    bool tooFar(const Event& event) const;

    bool pressed_ = false;
    graphics::Point downLocation_; // window coordinates
};

// A drag: it begins once the primary button has moved more than minimumMovement points from where it
// went down, changes with every drag after that and ends when the button goes up; a press that never
// moved that far fails. The translation is the pointer's movement since the press began (or since the
// last setTranslation); the velocity is its movement over the last velocityWindow seconds of the press's
// events, by their time stamps, in points per second. Both are in a view's coordinates (window
// coordinates for null): in an unflipped view y grows upwards.
class PanGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;

    static constexpr double minimumMovement = 3;
    static constexpr double velocityWindow = 0.1;

    graphics::Point translationInView(const View* view) const;
    void setTranslation(graphics::Point translation, const View* view);
    graphics::Point velocityInView(const View* view) const;

    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;

protected:
    void reset() override;

private:
    struct Sample {
        graphics::Point location; // window coordinates
        double time = 0;
    };
    void addSample(const Event& event);

    bool pressed_ = false;
    graphics::Point downLocation_; // window coordinates
    graphics::Point origin_;       // where the translation counts from, window coordinates
    std::vector<Sample> samples_;  // the press's recent events, oldest first
};

} // namespace ui
