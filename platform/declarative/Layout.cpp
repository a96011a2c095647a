#include "declarative/Layout.hpp"

#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Modifier.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace declarative {

using detail::make;
using detail::ParamsNode;

namespace {

double major(Axis axis, Size s) {
    return axis == Axis::horizontal ? s.width : s.height;
}
double cross(Axis axis, Size s) {
    return axis == Axis::horizontal ? s.height : s.width;
}
Proposal along(Axis axis, std::optional<double> majorValue, std::optional<double> crossValue) {
    return axis == Axis::horizontal ? Proposal{majorValue, crossValue} : Proposal{crossValue, majorValue};
}

// Stacks.

struct SpacerParams {
    double minLength = 0;
};
class SpacerNode final : public ParamsNode<SpacerParams, SpacerNode> {
protected:
    Size sizeThatFits(const Proposal& p) override {
        const double m = params().minLength;
        const auto axis = containerAxis();
        const double w = std::max(m, p.width.value_or(m));
        const double h = std::max(m, p.height.value_or(m));
        if (!axis) {
            return {w, h};
        }
        return *axis == Axis::horizontal ? Size{w, 0} : Size{0, h};
    }
};

struct StackParams {
    Axis axis = Axis::horizontal;
    double spacing = 8;
    Alignment alignment;
};

class StackNode final : public ParamsNode<StackParams, StackNode> {
protected:
    std::optional<Axis> stackAxis() const override { return params().axis; }

    // The size of every child for a proposal (the stack rule: fixed children first, the rest share;
    // spacers take only what their less flexible siblings leave).
    std::vector<Size> childSizes(const Proposal& proposal) {
        const Axis axis = params().axis;
        const auto majorProposal = axis == Axis::horizontal ? proposal.width : proposal.height;
        const auto crossProposal = axis == Axis::horizontal ? proposal.height : proposal.width;
        const std::size_t n = children_.size();
        std::vector<Size> sizes(n);
        if (!majorProposal) {
            for (std::size_t i = 0; i < n; ++i) {
                sizes[i] = children_[i]->measure(along(axis, std::nullopt, crossProposal));
            }
            return sizes;
        }
        double available = *majorProposal - params().spacing * static_cast<double>(n > 0 ? n - 1 : 0);
        std::vector<double> minimum(n), flexibility(n), priority(n);
        std::vector<bool> isSpacer(n);
        for (std::size_t i = 0; i < n; ++i) {
            isSpacer[i] = dynamic_cast<const SpacerNode*>(children_[i].get()) != nullptr;
            minimum[i] = major(axis, children_[i]->measure(along(axis, 0.0, crossProposal)));
            const double maximum = major(axis, children_[i]->measure(along(axis, infinity, crossProposal)));
            flexibility[i] = maximum - minimum[i];
            priority[i] = children_[i]->layoutPriority();
        }
        std::vector<double> priorities(priority);
        std::sort(priorities.begin(), priorities.end(), std::greater<>());
        priorities.erase(std::unique(priorities.begin(), priorities.end()), priorities.end());
        for (double group : priorities) {
            // Lower groups keep at least their minimum lengths.
            double reserved = 0;
            std::vector<std::size_t> members;
            for (std::size_t i = 0; i < n; ++i) {
                if (priority[i] < group) {
                    reserved += minimum[i];
                } else if (priority[i] == group) {
                    members.push_back(i);
                }
            }
            std::stable_sort(members.begin(), members.end(),
                             [&](std::size_t a, std::size_t b) { return flexibility[a] < flexibility[b]; });
            double groupAvailable = available - reserved;
            for (std::size_t k = 0; k < members.size(); ++k) {
                const std::size_t i = members[k];
                // A spacer moves less flexible siblings aside without squeezing them: while they are
                // sized, the spacers still to come count only with their minimum lengths.
                double share = groupAvailable;
                std::size_t sharers = members.size() - k;
                for (std::size_t later = k + 1; later < members.size(); ++later) {
                    const std::size_t j = members[later];
                    if (isSpacer[j] && flexibility[j] > flexibility[i]) {
                        share -= minimum[j];
                        --sharers;
                    }
                }
                const double offer = std::max(0.0, share / static_cast<double>(sharers));
                sizes[i] = children_[i]->measure(along(axis, offer, crossProposal));
                groupAvailable -= major(axis, sizes[i]);
                available -= major(axis, sizes[i]);
            }
        }
        return sizes;
    }

    Size sizeThatFits(const Proposal& proposal) override {
        const Axis axis = params().axis;
        const auto sizes = childSizes(proposal);
        double length = 0, breadth = 0;
        for (const auto& s : sizes) {
            length += major(axis, s);
            breadth = std::max(breadth, cross(axis, s));
        }
        if (!sizes.empty()) {
            length += params().spacing * static_cast<double>(sizes.size() - 1);
        }
        return axis == Axis::horizontal ? Size{length, breadth} : Size{breadth, length};
    }

    void placeChildren(const Rect& frame) override {
        const Axis axis = params().axis;
        const auto sizes = childSizes(Proposal::of(frame.size));
        double cursor = axis == Axis::horizontal ? frame.x() : frame.y();
        for (std::size_t i = 0; i < children_.size(); ++i) {
            const Size s = sizes[i];
            Point origin = params().alignment.place(s, frame);
            if (axis == Axis::horizontal) {
                origin.x = cursor;
            } else {
                origin.y = cursor;
            }
            children_[i]->place(Rect(origin, s));
            cursor += major(axis, s) + params().spacing;
        }
    }
};

class ZStackNode final : public ParamsNode<Alignment, ZStackNode> {
protected:
    void placeChildren(const Rect& frame) override {
        for (auto& child : children_) {
            const Size s = child->measure(Proposal::of(frame.size));
            child->place(Rect(params().place(s, frame), s));
        }
    }
};

// Frames.

struct FixedFrameParams {
    std::optional<double> width, height;
    Alignment alignment;
};
class FixedFrameNode final : public ParamsNode<FixedFrameParams, FixedFrameNode> {
protected:
    Size sizeThatFits(const Proposal& p) override {
        const auto& f = params();
        Size child;
        if (!f.width || !f.height) {
            child = children_.front()->measure({f.width ? f.width : p.width, f.height ? f.height : p.height});
        }
        return {f.width.value_or(child.width), f.height.value_or(child.height)};
    }
    void placeChildren(const Rect& frame) override {
        const Size s = children_.front()->measure(Proposal::of(frame.size));
        children_.front()->place(Rect(params().alignment.place(s, frame), s));
    }
};

double flexibleLength(std::optional<double> proposal, std::optional<double> min, std::optional<double> ideal,
                      std::optional<double> max, double child) {
    if (!min && !max) {
        return child;
    }
    const double base = proposal ? *proposal : ideal.value_or(child);
    double lower = min.value_or(std::min(child, max.value_or(child)));
    double upper = max.value_or(std::max(child, lower));
    if (upper < lower) {
        upper = lower;
    }
    return std::clamp(base, lower, upper);
}
std::optional<double> clampProposal(std::optional<double> proposal, std::optional<double> min,
                                    std::optional<double> ideal, std::optional<double> max) {
    if (!proposal) {
        return ideal;
    }
    double v = *proposal;
    if (max) {
        v = std::min(v, *max);
    }
    if (min) {
        v = std::max(v, *min);
    }
    return v;
}

class FlexibleFrameNode final : public ParamsNode<FrameLimits, FlexibleFrameNode> {
protected:
    Size sizeThatFits(const Proposal& p) override {
        const auto& f = params();
        const Proposal childProposal{clampProposal(p.width, f.minWidth, f.idealWidth, f.maxWidth),
                                     clampProposal(p.height, f.minHeight, f.idealHeight, f.maxHeight)};
        const Size child = children_.front()->measure(childProposal);
        return {flexibleLength(p.width, f.minWidth, f.idealWidth, f.maxWidth, child.width),
                flexibleLength(p.height, f.minHeight, f.idealHeight, f.maxHeight, child.height)};
    }
    void placeChildren(const Rect& frame) override {
        const Size s = children_.front()->measure(Proposal::of(frame.size));
        children_.front()->place(Rect(params().alignment.place(s, frame), s));
    }
};

// Padding, offset, position.

class PaddingNode final : public ParamsNode<EdgeInsets, PaddingNode> {
protected:
    Size sizeThatFits(const Proposal& p) override {
        const auto& e = params();
        const Size c = children_.front()->measure(
            {detail::minus(p.width, e.horizontal()), detail::minus(p.height, e.vertical())});
        return {std::max(0.0, c.width + e.horizontal()), std::max(0.0, c.height + e.vertical())};
    }
    void placeChildren(const Rect& frame) override {
        const auto& e = params();
        const Size inner{std::max(0.0, frame.width() - e.horizontal()),
                         std::max(0.0, frame.height() - e.vertical())};
        const Size s = children_.front()->measure(Proposal::of(inner));
        children_.front()->place(Rect(Point{frame.x() + e.left, frame.y() + e.top}, s));
    }
};

class OffsetNode final : public ParamsNode<Point, OffsetNode> {
public:
    graphics::AffineTransform renderTransform() const override {
        return graphics::AffineTransform::makeTranslation(params().x, params().y);
    }
};

class PositionNode final : public ParamsNode<Point, PositionNode> {
protected:
    Size sizeThatFits(const Proposal& p) override {
        return p.replacingUnspecified(children_.front()->measure(p));
    }
    void placeChildren(const Rect& frame) override {
        const Size s = children_.front()->measure(Proposal::of(frame.size));
        const Point c{frame.x() + params().x, frame.y() + params().y};
        children_.front()->place(Rect(Point{c.x - s.width / 2, c.y - s.height / 2}, s));
    }
};

struct PriorityParams {
    double priority = 0;
};
class PriorityNode final : public ParamsNode<PriorityParams, PriorityNode> {
public:
    double layoutPriority() const override { return params().priority; }
};

// Background and overlay: the decoration is proposed the content's size and aligned to its frame,
// overhanging when it is larger. Children are [decoration, content] for a background (drawn first)
// and [content, decoration] for an overlay.
struct DecorationParams {
    Alignment alignment;
    bool behind = true;
};
class DecorationNode final : public ParamsNode<DecorationParams, DecorationNode> {
protected:
    Node& content() const { return *children_[params().behind ? 1 : 0]; }
    Node& decoration() const { return *children_[params().behind ? 0 : 1]; }
    Size sizeThatFits(const Proposal& p) override { return content().measure(p); }
    void placeChildren(const Rect& frame) override {
        content().place(frame);
        const Size s = decoration().measure(Proposal::of(frame.size));
        decoration().place(Rect(params().alignment.place(s, frame), s));
    }
};

// Drawing modifiers.

struct OpacityParams {
    double opacity = 1;
};
class OpacityNode final : public ParamsNode<OpacityParams, OpacityNode> {
public:
    void draw(graphics::GraphicsContext& context) override {
        const double alpha = std::clamp(params().opacity, 0.0, 1.0);
        if (alpha <= 0) {
            return;
        }
        if (alpha >= 1) {
            Node::draw(context);
            return;
        }
        context.beginTransparencyLayer(alpha);
        Node::draw(context);
        context.endTransparencyLayer();
    }
};

struct ScaleParams {
    double sx = 1, sy = 1;
    UnitPoint anchor;
};
class ScaleNode final : public ParamsNode<ScaleParams, ScaleNode> {
public:
    graphics::AffineTransform renderTransform() const override {
        const Point a = params().anchor.in(frame_);
        return graphics::AffineTransform::makeTranslation(-a.x, -a.y)
            .concatenating(graphics::AffineTransform::makeScale(params().sx, params().sy))
            .concatenating(graphics::AffineTransform::makeTranslation(a.x, a.y));
    }
};

class ClipNode final : public ParamsNode<int, ClipNode> {
public:
    void draw(graphics::GraphicsContext& context) override {
        graphics::GraphicsContext::StateGuard guard(context);
        context.clipToRect(frame_);
        Node::draw(context);
    }
    bool hitsSelf(Point) const override { return false; }
};

struct ContentShapeParams {
    std::function<graphics::BezierPath(const Rect&)> shape;
};
class ContentShapeNode final : public ParamsNode<ContentShapeParams, ContentShapeNode> {
public:
    bool hitsSelf(Point local) const override {
        return params().shape ? params().shape(frame_).contains(local) : frame_.contains(local);
    }
};

struct HitTestingParams {
    bool enabled = true;
};
class HitTestingNode final : public ParamsNode<HitTestingParams, HitTestingNode> {
public:
    bool allowsHitTesting() const override { return params().enabled; }
};

struct EnvironmentParams {
    std::function<void(Environment&)> change;
};
class EnvironmentNode final : public ParamsNode<EnvironmentParams, EnvironmentNode> {
protected:
    Environment childEnvironment() const override {
        Environment env = environment_;
        params().change(env);
        return env;
    }
};

struct LifetimeParams {
    std::function<void()> onAppear;
    std::function<void()> onDisappear;
};
class LifetimeNode final : public ParamsNode<LifetimeParams, LifetimeNode> {
public:
    ~LifetimeNode() override {
        if (appeared_ && disappear_) {
            core::mainAsync(disappear_);
        }
    }

protected:
    void didUpdate() override {
        disappear_ = params().onDisappear;
        if (!appeared_) {
            appeared_ = true;
            // Side effects run after the pass, never inside reconciliation.
            if (params().onAppear) {
                core::mainAsync(params().onAppear);
            }
        }
    }

private:
    bool appeared_ = false;
    std::function<void()> disappear_;
};

// Geometry reader.

struct GeometryParams {
    std::function<View(const GeometryProxy&)> content;
};
class GeometryNode final : public ParamsNode<GeometryParams, GeometryNode> {
protected:
    std::vector<View> childViews() override {
        if (!proxy_) {
            return {};
        }
        const auto proxy = *proxy_;
        const auto& content = params().content;
        return {detail::evaluateTracked(*this, [&](Context&) { return content(proxy); })};
    }
    Size sizeThatFits(const Proposal& p) override { return p.replacingUnspecified({10, 10}); }
    void placeChildren(const Rect& frame) override {
        const GeometryProxy proxy{frame.size, hostToLocal().inverted().apply(frame)};
        const bool changed =
            !proxy_ || proxy_->size != proxy.size || proxy_->frameInHost != proxy.frameInHost;
        if (changed || stale_) {
            proxy_ = proxy;
            stale_ = false;
            reconcileChildren(childViews(), childEnvironment());
        }
        for (auto& child : children_) {
            const Size s = child->measure(Proposal::of(frame.size));
            child->place(Rect(frame.origin, s));
        }
    }
    void didUpdate() override { stale_ = true; }

private:
    std::optional<GeometryProxy> proxy_;
    bool stale_ = true;
};

// Outside data may carry NaN or negative lengths: NaN means unspecified, negatives are zero.
std::optional<double> sanitized(std::optional<double> length, bool allowInfinity) {
    if (!length || std::isnan(*length) || (!allowInfinity && std::isinf(*length))) {
        return std::nullopt;
    }
    return std::max(0.0, *length);
}
double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

} // namespace

View HStack(std::vector<View> children) {
    return HStack(HStackOptions{}, std::move(children));
}
View HStack(HStackOptions options, std::vector<View> children) {
    return make<StackNode>(std::move(children),
                           StackParams{Axis::horizontal, options.spacing,
                                       Alignment{HorizontalAlignment::center, options.alignment}});
}
View VStack(std::vector<View> children) {
    return VStack(VStackOptions{}, std::move(children));
}
View VStack(VStackOptions options, std::vector<View> children) {
    return make<StackNode>(std::move(children),
                           StackParams{Axis::vertical, options.spacing,
                                       Alignment{options.alignment, VerticalAlignment::center}});
}
View ZStack(std::vector<View> children) {
    return ZStack(Alignment::center(), std::move(children));
}
View ZStack(Alignment alignment, std::vector<View> children) {
    return make<ZStackNode>(std::move(children), alignment);
}
View Spacer(double minLength) {
    return make<SpacerNode>({}, SpacerParams{sanitized(minLength, false).value_or(0)});
}
View GeometryReader(std::function<View(const GeometryProxy&)> content) {
    return make<GeometryNode>({}, GeometryParams{std::move(content)});
}

View::View(std::shared_ptr<const Description> description, std::optional<Id> id)
    : description_(std::move(description)), id_(std::move(id)) {}

View View::id(Id id) const {
    return View(description_, std::move(id));
}

View View::padding(EdgeInsets insets) const {
    insets = {finiteOr(insets.top, 0), finiteOr(insets.left, 0), finiteOr(insets.bottom, 0),
              finiteOr(insets.right, 0)};
    return make<PaddingNode>({*this}, insets);
}
View View::frame(std::optional<double> width, std::optional<double> height, Alignment alignment) const {
    return make<FixedFrameNode>(
        {*this}, FixedFrameParams{sanitized(width, false), sanitized(height, false), alignment});
}
View View::frame(const FrameLimits& limits) const {
    FrameLimits l = limits;
    l.minWidth = sanitized(l.minWidth, false);
    l.idealWidth = sanitized(l.idealWidth, false);
    l.maxWidth = sanitized(l.maxWidth, true);
    l.minHeight = sanitized(l.minHeight, false);
    l.idealHeight = sanitized(l.idealHeight, false);
    l.maxHeight = sanitized(l.maxHeight, true);
    return make<FlexibleFrameNode>({*this}, l);
}
View View::offset(double x, double y) const {
    return make<OffsetNode>({*this}, Point{finiteOr(x, 0), finiteOr(y, 0)});
}
View View::position(double x, double y) const {
    return make<PositionNode>({*this}, Point{finiteOr(x, 0), finiteOr(y, 0)});
}
View View::layoutPriority(double priority) const {
    return make<PriorityNode>({*this}, PriorityParams{priority});
}
View View::background(View view, Alignment alignment) const {
    return make<DecorationNode>({std::move(view), *this}, DecorationParams{alignment, true});
}
View View::overlay(View view, Alignment alignment) const {
    return make<DecorationNode>({*this, std::move(view)}, DecorationParams{alignment, false});
}
View View::opacity(double value) const {
    return make<OpacityNode>({*this}, OpacityParams{value});
}
View View::scaleEffect(double scale, UnitPoint anchor) const {
    return scaleEffect(scale, scale, anchor);
}
View View::scaleEffect(double sx, double sy, UnitPoint anchor) const {
    return make<ScaleNode>({*this}, ScaleParams{finiteOr(sx, 1), finiteOr(sy, 1), anchor});
}
View View::clipped() const {
    return make<ClipNode>({*this}, 0);
}
View View::contentShape(std::function<graphics::BezierPath(const Rect&)> shape) const {
    return make<ContentShapeNode>({*this}, ContentShapeParams{std::move(shape)});
}
View View::contentShapeRect() const {
    return make<ContentShapeNode>({*this}, ContentShapeParams{});
}
View View::allowsHitTesting(bool enabled) const {
    return make<HitTestingNode>({*this}, HitTestingParams{enabled});
}
View View::environment(std::function<void(Environment&)> change) const {
    return make<EnvironmentNode>({*this}, EnvironmentParams{std::move(change)});
}
View View::font(graphics::FontRef font) const {
    return environment([font](Environment& env) { env.font = font; });
}
View View::foregroundColor(graphics::ColorRef color) const {
    return environment([color](Environment& env) { env.foregroundColor = color; });
}
View View::disabled(bool disabled) const {
    return environment([disabled](Environment& env) { env.isEnabled = env.isEnabled && !disabled; });
}
View View::lineLimit(std::optional<int> limit) const {
    return environment([limit](Environment& env) { env.lineLimit = limit; });
}
View View::multilineTextAlignment(TextAlignment alignment) const {
    return environment([alignment](Environment& env) { env.multilineTextAlignment = alignment; });
}
View View::truncationMode(TruncationMode mode) const {
    return environment([mode](Environment& env) { env.truncationMode = mode; });
}
View View::allowsTightening(bool flag) const {
    return environment([flag](Environment& env) { env.allowsTightening = flag; });
}
View View::buttonStyle(ButtonStyle style) const {
    auto shared = std::make_shared<const ButtonStyle>(std::move(style));
    return environment([shared](Environment& env) { env.buttonStyle = shared; });
}
View View::onAppear(std::function<void()> action) const {
    return make<LifetimeNode>({*this}, LifetimeParams{std::move(action), {}});
}
View View::onDisappear(std::function<void()> action) const {
    return make<LifetimeNode>({*this}, LifetimeParams{{}, std::move(action)});
}

} // namespace declarative
