#include "declarative/Node.hpp"

#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <map>

namespace declarative {

Proposal Proposal::infinity() {
    const double inf = std::numeric_limits<double>::infinity();
    return {inf, inf};
}

Point Alignment::place(Size size, const Rect& container) const {
    double x = container.x();
    double y = container.y();
    switch (horizontal) {
    case HorizontalAlignment::leading:
        break;
    case HorizontalAlignment::center:
        x += (container.width() - size.width) / 2;
        break;
    case HorizontalAlignment::trailing:
        x += container.width() - size.width;
        break;
    }
    switch (vertical) {
    case VerticalAlignment::top:
        break;
    case VerticalAlignment::center:
        y += (container.height() - size.height) / 2;
        break;
    case VerticalAlignment::bottom:
        y += container.height() - size.height;
        break;
    }
    return {x, y};
}

graphics::FontRef Environment::resolvedFont() const {
    return font ? font : graphics::Font::systemFont(13);
}

graphics::ColorRef Environment::resolvedForegroundColor() const {
    return foregroundColor ? foregroundColor : graphics::Color::labelColor();
}

bool Environment::operator==(const Environment& other) const {
    return font == other.font && foregroundColor == other.foregroundColor && isEnabled == other.isEnabled &&
           buttonStyle == other.buttonStyle && objects == other.objects && lineLimit == other.lineLimit &&
           multilineTextAlignment == other.multilineTextAlignment && truncationMode == other.truncationMode &&
           allowsTightening == other.allowsTightening;
}

namespace {
// The empty view.
class EmptyNode final : public Node {
protected:
    Size sizeThatFits(const Proposal&) override { return {}; }
};
class EmptyDescription final : public Description {
public:
    std::shared_ptr<Node> makeNode() const override { return std::make_shared<EmptyNode>(); }
    bool equals(const Description&) const override { return true; }
};

// Nodes of groups never exist: groups are flattened into their parent.
class GroupNode final : public Node {};
} // namespace

View::View() : description_(std::make_shared<EmptyDescription>()) {}

std::shared_ptr<Node> GroupDescription::makeNode() const {
    return std::make_shared<GroupNode>();
}

View If(bool condition, View then, View otherwise) {
    struct IfTag {};
    std::vector<View> chosen{condition ? then.id(Id(std::int64_t{1})) : otherwise.id(Id(std::int64_t{0}))};
    return View(std::make_shared<GroupDescription>(std::move(chosen), typeid(IfTag)));
}

View Group(std::vector<View> children) {
    struct GroupTag {};
    return View(std::make_shared<GroupDescription>(std::move(children), typeid(GroupTag)));
}

std::shared_ptr<void>& Context::nextSlot() {
    auto& slots = node_.slots();
    if (slot_ >= slots.size()) {
        slots.resize(slot_ + 1);
    }
    return slots[slot_++];
}

const Environment& Context::environment() const {
    return node_.environment();
}

HostingView* Context::host() const {
    return node_.host();
}

// Text measuring.

double TextMeasurer::offsetOfByte(const std::string& text, const graphics::FontRef& font,
                                  std::size_t byteIndex) const {
    return measure(text.substr(0, std::min(byteIndex, text.size())), font).width;
}

Size PangoTextMeasurer::measure(const std::string& text, const graphics::FontRef& font) const {
    graphics::TextAttributes attributes;
    attributes.font = font;
    return graphics::AttributedString(text, attributes).size();
}

Size FixedTextMeasurer::measure(const std::string& text, const graphics::FontRef& font) const {
    std::size_t characters = 0;
    for (unsigned char c : text) {
        characters += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    const double em = font ? font->pointSize() : 13.0;
    return {static_cast<double>(characters) * em, em};
}

// Node.

Node::~Node() = default;

void Node::setHost(HostingView* host) {
    host_ = host;
}

void Node::invalidate() {
    if (!core::isMainThread()) {
        core::mainAsync([weak = weak_from_this()] {
            if (auto node = weak.lock()) {
                node->invalidate();
            }
        });
        return;
    }
    if (dirty_) {
        return;
    }
    dirty_ = true;
    if (host_) {
        host_->markDirty(shared_from_this());
    }
}

void Node::update(std::shared_ptr<const Description> description, const Environment& environment,
                  bool force) {
    const bool unchanged = evaluated_ && !dirty_ && isSkippable() && environment == environment_ &&
                           description->equals(*description_);
    description_ = std::move(description);
    environment_ = environment;
    if (unchanged && !force) {
        return;
    }
    dirty_ = false;
    evaluated_ = true;
    ++evaluations_;
    didUpdate();
    reconcileChildren(childViews(), childEnvironment());
}

std::vector<View> Node::childViews() {
    return {};
}

void Node::flatten(const std::vector<View>& views, std::vector<std::pair<Key, View>>& out) {
    for (std::size_t slot = 0; slot < views.size(); ++slot) {
        const auto& view = views[slot];
        if (const auto* group = view.description()->groupChildren()) {
            // A group's children are keyed by the group's slot and their id (or position).
            std::vector<std::pair<Key, View>> inner;
            flatten(*group, inner);
            for (std::size_t i = 0; i < inner.size(); ++i) {
                Key key{slot, inner[i].first.id, i};
                if (inner[i].first.id) {
                    key.index = 0;
                }
                // Nested groups keep their inner structure in the index.
                if (!inner[i].first.id) {
                    key.index = inner[i].first.slot * 65536 + inner[i].first.index;
                }
                out.emplace_back(key, std::move(inner[i].second));
            }
        } else {
            out.emplace_back(Key{slot, view.explicitId(), 0}, view);
        }
    }
}

void Node::reconcileChildren(const std::vector<View>& views, const Environment& environment) {
    std::vector<std::pair<Key, View>> flat;
    flatten(views, flat);

    std::map<Key, std::shared_ptr<Node>> old;
    for (auto& child : children_) {
        old.emplace(child->key_, child);
    }
    std::vector<std::shared_ptr<Node>> next;
    next.reserve(flat.size());
    const auto axis = stackAxis();
    for (auto& [key, view] : flat) {
        std::shared_ptr<Node> node;
        auto it = old.find(key);
        if (it != old.end() && it->second->description_->type() == view.description()->type()) {
            node = std::move(it->second);
            old.erase(it);
        } else {
            // A new identity (or a duplicate id, which gets a fresh node rather than sharing one).
            node = view.description()->makeNode();
            node->parent_ = this;
            node->depth_ = depth_ + 1;
            node->key_ = key;
            node->setHost(host_);
            node->description_ = view.description();
        }
        node->containerAxis_ = axis;
        node->update(view.description(), environment, false);
        next.push_back(std::move(node));
    }
    children_ = std::move(next);
    // What is left in `old` goes away with this scope (gesture arenas see their nodes expire). Focus
    // inside it is given up first, while the chain above it still answers.
    for (auto& [key, node] : old) {
        if (host_) {
            host_->nodeWillLeave(*node);
        }
        node->detachSubtree();
    }
    if (host_) {
        host_->setNeedsLayout();
    }
}

void Node::detachSubtree() {
    // Every node of the subtree reads as gone, not just its top: one still held elsewhere (a flush in
    // progress, a gesture) must never walk up into ancestors that go away with it.
    parent_ = nullptr;
    for (auto& child : children_) {
        child->detachSubtree();
    }
}

namespace detail {
View evaluateTracked(Node& node, const std::function<View(Context&)>& body) {
    View result;
    std::size_t slot = 0;
    Context context(node, slot);
    std::weak_ptr<Node> weak = node.weak_from_this();
    // Replacing the node's token drops the previous evaluation's tracking.
    auto token = core::withObservationTracking([&] { result = body(context); },
                                               [weak] {
                                                   if (auto n = weak.lock()) {
                                                       n->invalidate();
                                                   }
                                               });
    node.setTracking(std::move(token));
    return result;
}
} // namespace detail

// Layout.

Size Node::measure(const Proposal& proposal) {
    const std::uint64_t generation = host_ ? host_->layoutGeneration() : 0;
    if (cache_.generation != generation) {
        cache_.generation = generation;
        cache_.count = 0;
    }
    for (std::size_t i = 0; i < cache_.count; ++i) {
        if (cache_.entries[i].proposal == proposal) {
            return cache_.entries[i].size;
        }
    }
    const Size size = sizeThatFits(proposal);
    const std::size_t index = cache_.count < cache_.entries.size() ? cache_.count++ : 0;
    cache_.entries[index] = {proposal, size};
    return size;
}

Size Node::sizeThatFits(const Proposal& proposal) {
    // A plain container: as large as the union of its children.
    Size size;
    for (auto& child : children_) {
        const Size s = child->measure(proposal);
        size.width = std::max(size.width, s.width);
        size.height = std::max(size.height, s.height);
    }
    return size;
}

void Node::place(const Rect& frame) {
    if (host_ && placed_ && frame != frame_) {
        host_->nodeWillMove(*this);
    }
    frame_ = frame;
    placed_ = true;
    placeChildren(frame);
}

void Node::placeChildren(const Rect& frame) {
    for (auto& child : children_) {
        const Size s = child->measure(Proposal::of(frame.size));
        child->place(Rect(Alignment::center().place(s, frame), s));
    }
}

// Drawing.

void Node::draw(graphics::GraphicsContext& context) {
    for (auto& child : children_) {
        child->drawTree(context);
    }
}

void Node::drawTree(graphics::GraphicsContext& context) {
    const Rect* cull = host_ ? host_->cullRect() : nullptr;
    if (cull && !visualBounds().intersects(*cull)) {
        return;
    }
    const auto transform = renderTransform();
    if (transform.isIdentity()) {
        draw(context);
        return;
    }
    graphics::GraphicsContext::StateGuard guard(context);
    context.concat(transform);
    if (cull) {
        HostingView::CullScope scope(*host_, transform.inverted().apply(*cull));
        draw(context);
    } else {
        draw(context);
    }
}

Rect Node::visualBounds() {
    const std::uint64_t generation = host_ ? host_->layoutGeneration() : 0;
    if (generation != 0 && generation == visualGeneration_) {
        return visualBounds_;
    }
    Rect bounds = Rect::null();
    if (placed_ && !frame_.isEmpty()) {
        bounds = frame_.insetBy(-paintOverhang(), -paintOverhang());
    }
    Rect content = Rect::null();
    for (auto& child : children_) {
        const Rect childBounds = child->visualBounds();
        if (!childBounds.isNull()) {
            content = content.isNull() ? childBounds : content.unionWith(childBounds);
        }
    }
    if (!content.isNull()) {
        const double spread = subtreeOverhang();
        content = spread > 0 ? content.insetBy(-spread, -spread) : content;
        bounds = bounds.isNull() ? content : bounds.unionWith(content);
    }
    const auto transform = renderTransform();
    if (!bounds.isNull() && !transform.isIdentity()) {
        bounds = transform.apply(bounds);
    }
    // Mid-layout the frames are half old, half new: answer, but keep nothing.
    if (!host_ || !host_->isLayingOut()) {
        visualBounds_ = bounds;
        visualGeneration_ = generation;
    }
    return bounds;
}

Rect Node::visualBoundsInHost() {
    Rect bounds = visualBounds();
    for (const Node* n = parent_; n && !bounds.isNull(); n = n->parent_) {
        const auto transform = n->renderTransform();
        if (!transform.isIdentity()) {
            bounds = transform.apply(bounds);
        }
    }
    return bounds;
}

graphics::AffineTransform Node::hostToLocal() const {
    graphics::AffineTransform toHost;
    for (const Node* n = this; n; n = n->parent_) {
        toHost = toHost.concatenating(n->renderTransform());
    }
    return toHost.inverted();
}

std::vector<Node*> Node::ancestry() {
    std::vector<Node*> chain;
    for (Node* n = this; n; n = n->parent_) {
        chain.push_back(n);
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

bool Node::hitTest(Point pointInHost, std::vector<Node*>& path) {
    if (!allowsHitTesting()) {
        return false;
    }
    const auto transform = renderTransform();
    const Point local = transform.isIdentity() ? pointInHost : transform.inverted().apply(pointInHost);
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if ((*it)->hitTest(local, path)) {
            path.push_back(this);
            return true;
        }
    }
    if (hitsSelf(local)) {
        path.push_back(this);
        return true;
    }
    return false;
}

bool Node::hitsSelf(Point) const {
    return false;
}

} // namespace declarative
