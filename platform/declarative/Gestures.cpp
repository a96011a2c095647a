#include "declarative/Gestures.hpp"

#include "declarative/Content.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Modifier.hpp"

#include <algorithm>
#include <cmath>
#include <map>

namespace declarative {

namespace {
// How far a tap may wander before it is no longer a tap.
constexpr double tapSlop = 10;

// A button's press: claims at once, tracks inside/outside, acts on release inside.
struct PressGesture {
    std::function<void(bool)> setPressed;
    std::function<void()> action;
};
} // namespace

class GestureRecognizer {
public:
    enum class Phase { idle, possible, active, failed };
    std::variant<DragGesture, TapGesture, PressGesture> spec;
    int lane = 0;
    int rank = 0;
    Phase phase = Phase::idle;
    Point start;
    DragValue value;
    bool inside = false;
};

Gesture::Gesture(DragGesture drag) : parts_{Part{std::move(drag), 0}} {}
Gesture::Gesture(TapGesture tap) : parts_{Part{std::move(tap), 0}} {}

Gesture Gesture::simultaneously(Gesture first, Gesture second) {
    Gesture g;
    int top = 0;
    for (auto& p : first.parts_) {
        top = std::max(top, p.lane);
        g.parts_.push_back(std::move(p));
    }
    for (auto& p : second.parts_) {
        p.lane += top + 1;
        g.parts_.push_back(std::move(p));
    }
    return g;
}

Gesture Gesture::exclusively(Gesture first, Gesture second) {
    Gesture g;
    int top = 0;
    for (auto& p : first.parts_) {
        top = std::max(top, p.rank);
        g.parts_.push_back(std::move(p));
    }
    for (auto& p : second.parts_) {
        p.rank += top + 1;
        g.parts_.push_back(std::move(p));
    }
    return g;
}

ui::ModifierFlags currentModifierFlags(const Context& context) {
    return context.host() ? context.host()->currentModifierFlags() : 0;
}

namespace {

struct GestureParams {
    Gesture gesture;
    int laneShift = 0;
};

class GestureNode final : public detail::ParamsNode<GestureParams, GestureNode> {
protected:
    void didUpdate() override {
        const auto& parts = params().gesture.parts();
        auto& existing = recognizers();
        if (existing.size() != parts.size()) {
            existing.clear();
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const auto& part = parts[i];
            if (i < existing.size() && existing[i]->spec.index() == part.gesture.index()) {
                // Same recognizer: new callbacks, tracking state kept across re-evaluation.
                std::visit([&](const auto& g) { existing[i]->spec = g; }, part.gesture);
            } else {
                auto r = std::make_shared<GestureRecognizer>();
                std::visit([&](const auto& g) { r->spec = g; }, part.gesture);
                if (i < existing.size()) {
                    existing[i] = r;
                } else {
                    existing.push_back(r);
                }
            }
            existing[i]->lane = part.lane + params().laneShift;
            existing[i]->rank = part.rank;
        }
    }
};

struct ButtonParams {
    std::function<void()> action;
    View label;
};

class ButtonNode final : public detail::ParamsNode<ButtonParams, ButtonNode> {
public:
    bool hitsSelf(Point local) const override { return frame_.contains(local); }

protected:
    std::vector<View> childViews() override {
        const auto& style = environment_.buttonStyle ? *environment_.buttonStyle : plainStyle();
        return {style(ButtonConfiguration{params().label, pressed_})};
    }
    void didUpdate() override {
        if (recognizers().empty()) {
            auto r = std::make_shared<GestureRecognizer>();
            std::weak_ptr<Node> weak = weak_from_this();
            r->spec = PressGesture{[weak](bool pressed) {
                                       if (auto self = std::static_pointer_cast<ButtonNode>(weak.lock())) {
                                           self->setPressed(pressed);
                                       }
                                   },
                                   [weak] {
                                       auto self = std::static_pointer_cast<ButtonNode>(weak.lock());
                                       if (self && self->environment_.isEnabled && self->params().action) {
                                           // The action may replace this node; keep what it needs.
                                           auto action = self->params().action;
                                           action();
                                       }
                                   }};
            recognizers().push_back(std::move(r));
        }
        if (!environment_.isEnabled) {
            pressed_ = false;
        }
    }

private:
    static const ButtonStyle& plainStyle() {
        static const ButtonStyle style = plainButtonStyle();
        return style;
    }
    void setPressed(bool pressed) {
        if (pressed_ != pressed) {
            pressed_ = pressed;
            invalidate();
        }
    }
    bool pressed_ = false;
};

Point localPoint(Node& node, Point pointInHost) {
    const Point p = node.hostToLocal().apply(pointInHost);
    return {p.x - node.frame().x(), p.y - node.frame().y()};
}

bool modifiersMatch(const TapGesture& tap, ui::ModifierFlags flags) {
    if (!tap.modifiers) {
        return true;
    }
    constexpr ui::ModifierFlags relevant =
        ui::Modifier::shift | ui::Modifier::control | ui::Modifier::option | ui::Modifier::command;
    return (flags & relevant) == (*tap.modifiers & relevant);
}

bool countMatches(int required, int clickCount) {
    required = std::max(1, required);
    return clickCount >= required && clickCount % required == 0;
}

} // namespace

View View::gesture(Gesture gesture) const {
    return detail::make<GestureNode>({*this}, GestureParams{std::move(gesture), 0});
}

View View::simultaneousGesture(Gesture gesture) const {
    return detail::make<GestureNode>({*this}, GestureParams{std::move(gesture), 1});
}

View View::onTapGesture(std::function<void()> action, int count) const {
    return this->gesture(TapGesture{count, std::nullopt, std::move(action)});
}

View Button(std::function<void()> action, View label) {
    return detail::make<ButtonNode>({}, ButtonParams{std::move(action), std::move(label)});
}

View Button(const std::string& title, std::function<void()> action) {
    return Button(std::move(action), Text(title));
}

ButtonStyle plainButtonStyle() {
    return [](const ButtonConfiguration& configuration) {
        return configuration.isPressed ? configuration.label.opacity(0.6) : configuration.label.opacity(1.0);
    };
}

// The arena.

GestureArena::GestureArena() = default;
GestureArena::~GestureArena() = default;

bool GestureArena::waits(const Member& member) const {
    const auto node = member.node.lock();
    for (const auto& other : members_) {
        if (&other != &member && other.lane == member.lane &&
            other.recognizer->rank < member.recognizer->rank &&
            other.recognizer->phase == GestureRecognizer::Phase::possible && other.node.lock() == node) {
            return true;
        }
    }
    return false;
}

bool GestureArena::claim(Member& member) {
    if (std::find(wonLanes_.begin(), wonLanes_.end(), member.lane) != wonLanes_.end()) {
        member.recognizer->phase = GestureRecognizer::Phase::failed;
        return false;
    }
    wonLanes_.push_back(member.lane);
    for (auto& other : members_) {
        if (&other != &member && other.lane == member.lane) {
            other.recognizer->phase = GestureRecognizer::Phase::failed;
        }
    }
    member.recognizer->phase = GestureRecognizer::Phase::active;
    return true;
}

void GestureArena::pointerDown(Node& root, Point pointInHost, const ui::Event& event) {
    if (!members_.empty()) {
        cancel();
    }
    lastPoint_ = pointInHost;
    std::vector<Node*> path;
    root.hitTest(pointInHost, path);
    std::map<std::pair<Node*, int>, int> lanes;
    int nextLane = 1;
    for (Node* node : path) {
        if (!node->environment().isEnabled) {
            continue;
        }
        for (auto& r : node->recognizers()) {
            int lane = 0;
            if (r->lane != 0) {
                auto [it, inserted] = lanes.try_emplace({node, r->lane}, nextLane);
                nextLane += inserted ? 1 : 0;
                lane = it->second;
            }
            r->phase = GestureRecognizer::Phase::possible;
            // A tap that asks for modifier keys the press lacks can never be made by this click.
            if (auto* tap = std::get_if<TapGesture>(&r->spec);
                tap && !modifiersMatch(*tap, event.modifierFlags)) {
                r->phase = GestureRecognizer::Phase::failed;
            }
            r->start = localPoint(*node, pointInHost);
            r->inside = true;
            r->value = DragValue{r->start, r->start, {}, event.timestamp, event.modifierFlags};
            members_.push_back(Member{node->weak_from_this(), r, lane});
        }
    }
    for (std::size_t i = 0; i < members_.size(); ++i) {
        auto& m = members_[i];
        auto& r = *m.recognizer;
        if (r.phase != GestureRecognizer::Phase::possible) {
            continue;
        }
        if (auto* press = std::get_if<PressGesture>(&r.spec)) {
            if (claim(m) && press->setPressed) {
                press->setPressed(true);
            }
        } else if (auto* drag = std::get_if<DragGesture>(&r.spec); drag && drag->minimumDistance <= 0) {
            if (!waits(m) && claim(m) && drag->onChanged) {
                drag->onChanged(r.value);
            }
        }
    }
}

void GestureArena::pointerMoved(Point pointInHost, const ui::Event& event) {
    lastPoint_ = pointInHost;
    prune();
    for (std::size_t i = 0; i < members_.size(); ++i) {
        auto& m = members_[i];
        auto node = m.node.lock();
        auto recognizer = m.recognizer;
        auto& r = *recognizer;
        if (!node || r.phase == GestureRecognizer::Phase::failed) {
            continue;
        }
        const Point local = localPoint(*node, pointInHost);
        const double dx = local.x - r.start.x, dy = local.y - r.start.y;
        r.value.location = local;
        r.value.translation = {dx, dy};
        r.value.time = event.timestamp;
        r.value.modifiers = event.modifierFlags;
        if (auto* drag = std::get_if<DragGesture>(&r.spec)) {
            if (r.phase == GestureRecognizer::Phase::possible &&
                std::hypot(dx, dy) >= drag->minimumDistance && !waits(m)) {
                claim(m);
            }
            if (r.phase == GestureRecognizer::Phase::active && drag->onChanged) {
                drag->onChanged(r.value);
            }
        } else if (auto* press = std::get_if<PressGesture>(&r.spec)) {
            const bool inside = Rect({}, node->frame().size).contains(local);
            if (r.phase == GestureRecognizer::Phase::active && inside != r.inside) {
                r.inside = inside;
                if (press->setPressed) {
                    press->setPressed(inside);
                }
            }
        } else if (std::holds_alternative<TapGesture>(r.spec)) {
            if (r.phase == GestureRecognizer::Phase::possible && std::hypot(dx, dy) > tapSlop) {
                r.phase = GestureRecognizer::Phase::failed;
            }
        }
    }
}

void GestureArena::pointerUp(Point pointInHost, const ui::Event& event) {
    if (pointInHost != lastPoint_) {
        pointerMoved(pointInHost, event);
    }
    for (std::size_t i = 0; i < members_.size(); ++i) {
        auto& m = members_[i];
        auto node = m.node.lock();
        auto recognizer = m.recognizer;
        auto& r = *recognizer;
        if (!node || r.phase == GestureRecognizer::Phase::failed) {
            continue;
        }
        if (auto* drag = std::get_if<DragGesture>(&r.spec)) {
            // The end carries the keys held at the release, even when the pointer did not move.
            r.value.time = event.timestamp;
            r.value.modifiers = event.modifierFlags;
            if (r.phase == GestureRecognizer::Phase::active && drag->onEnded) {
                drag->onEnded(r.value);
            } else if (r.phase == GestureRecognizer::Phase::possible) {
                // Released before it moved far enough: it leaves the release to those behind it.
                r.phase = GestureRecognizer::Phase::failed;
            }
        } else if (auto* press = std::get_if<PressGesture>(&r.spec)) {
            if (r.phase == GestureRecognizer::Phase::active) {
                if (press->setPressed) {
                    press->setPressed(false);
                }
                if (r.inside && press->action) {
                    press->action();
                }
            }
        } else if (auto* tap = std::get_if<TapGesture>(&r.spec)) {
            const bool inside = Rect({}, node->frame().size).contains(r.value.location);
            if (r.phase != GestureRecognizer::Phase::possible) {
                continue;
            }
            if (!inside || !countMatches(tap->count, event.clickCount) ||
                !modifiersMatch(*tap, event.modifierFlags) || waits(m)) {
                // Not made by this release: those waiting behind it may still be.
                r.phase = GestureRecognizer::Phase::failed;
            } else if (claim(m) && tap->action) {
                tap->action();
            }
        }
    }
    finish();
}

void GestureArena::cancel() {
    auto members = std::move(members_);
    finish();
    for (auto& m : members) {
        auto& r = *m.recognizer;
        if (r.phase != GestureRecognizer::Phase::active) {
            continue;
        }
        r.phase = GestureRecognizer::Phase::failed;
        if (auto* drag = std::get_if<DragGesture>(&r.spec); drag && drag->onCancelled) {
            drag->onCancelled();
        } else if (auto* press = std::get_if<PressGesture>(&r.spec); press && press->setPressed) {
            press->setPressed(false);
        }
    }
}

void GestureArena::prune() {
    for (auto it = members_.begin(); it != members_.end();) {
        auto node = it->node.lock();
        // A node that left the tree is either gone or detached from its parent.
        if (!node || (node->depth() != 0 && node->parent() == nullptr)) {
            auto recognizer = it->recognizer;
            it = members_.erase(it);
            if (recognizer->phase == GestureRecognizer::Phase::active) {
                recognizer->phase = GestureRecognizer::Phase::failed;
                if (auto* drag = std::get_if<DragGesture>(&recognizer->spec); drag && drag->onCancelled) {
                    drag->onCancelled();
                }
            }
        } else {
            ++it;
        }
    }
}

void GestureArena::finish() {
    members_.clear();
    wonLanes_.clear();
}

} // namespace declarative
