#include "declarative/Hosting.hpp"

#include "core/MainQueue.hpp"
#include "declarative/Focus.hpp"
#include "declarative/Gestures.hpp"
#include "declarative/Modifier.hpp"
#include "display/Clipboard.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace declarative {

std::shared_ptr<HostingView> HostingView::make(declarative::View root, const Rect& frame) {
    auto host = std::make_shared<HostingView>(frame);
    host->setRootView(std::move(root));
    return host;
}

HostingView::HostingView(const Rect& frame)
    : ui::View(frame), measurer_(std::make_shared<PangoTextMeasurer>()),
      arena_(std::make_unique<GestureArena>()), focus_(std::make_unique<FocusManager>(*this)),
      clipboard_(std::make_shared<display::MemoryClipboard>()) {}

void HostingView::setClipboard(std::shared_ptr<display::Clipboard> clipboard) {
    clipboard_ = clipboard ? std::move(clipboard) : std::make_shared<display::MemoryClipboard>();
}

HostingView::~HostingView() {
    // Nodes outlive nothing of ours: drop the tree before the arena and focus manager.
    arena_->cancel();
    overlay_.reset();
    retiredOverlay_.reset();
    root_.reset();
}

// The overlay's root: its content in the presenter's coordinates, carried to the host's by a transform.
namespace {
struct OverlayParams {
    graphics::AffineTransform toHost;
};
class OverlayNode final : public detail::ParamsNode<OverlayParams, OverlayNode> {
public:
    graphics::AffineTransform renderTransform() const override { return params().toHost; }
};
} // namespace

void HostingView::presentOverlay(declarative::View content, const Environment& environment,
                                 const graphics::AffineTransform& toHost, const Rect& anchor,
                                 std::function<void()> onDismiss) {
    dismissOverlay();
    retiredOverlay_.reset();
    auto description = detail::make<OverlayNode>({std::move(content)}, OverlayParams{toHost}).description();
    overlay_ = description->makeNode();
    overlay_->setHost(this);
    overlay_->description_ = description;
    overlay_->update(description, environment, true);
    overlayAnchor_ = anchor;
    onOverlayDismiss_ = std::move(onDismiss);
    setNeedsLayout();
}

void HostingView::dismissOverlay() {
    if (!overlay_) {
        return;
    }
    nodeWillLeave(*overlay_);
    overlay_->detachSubtree();
    retiredOverlay_ = std::move(overlay_);
    auto onDismiss = std::exchange(onOverlayDismiss_, {});
    setNeedsLayout();
    if (onDismiss) {
        onDismiss();
    }
}

Rect HostingView::overlayFrameInHost() {
    if (!overlay_) {
        return Rect::null();
    }
    layoutIfNeeded();
    const Rect& frame = overlay_->frame();
    return overlay_->renderTransform().apply(frame);
}

void HostingView::layoutOverlay() {
    if (!overlay_ || overlay_->children().empty()) {
        return;
    }
    constexpr double gap = 2;
    const auto toHost = overlay_->renderTransform();
    const Size size = overlay_->children().front()->measure(Proposal::unspecified());
    const Rect& anchor = overlayAnchor_;
    const Rect bounds({0, 0}, this->bounds().size);
    Rect local(Point{anchor.x(), anchor.maxY() + gap}, size);
    if (toHost.apply(local).maxY() > bounds.maxY()) {
        const Rect above(Point{anchor.x(), anchor.y() - gap - size.height}, size);
        if (toHost.apply(above).y() >= bounds.y()) {
            local = above;
        }
    }
    // Shift back inside the bounds, the far edge first so that the near one wins when it does not fit.
    const Rect inHost = toHost.apply(local);
    const double scaleX = std::abs(toHost.a) > 0 ? std::abs(toHost.a) : 1;
    const double scaleY = std::abs(toHost.d) > 0 ? std::abs(toHost.d) : 1;
    double dx = 0, dy = 0;
    if (inHost.maxX() > bounds.maxX()) {
        dx = (bounds.maxX() - inHost.maxX()) / scaleX;
    }
    if (inHost.x() + dx * scaleX < bounds.x()) {
        dx = (bounds.x() - inHost.x()) / scaleX;
    }
    if (inHost.maxY() > bounds.maxY()) {
        dy = (bounds.maxY() - inHost.maxY()) / scaleY;
    }
    if (inHost.y() + dy * scaleY < bounds.y()) {
        dy = (bounds.y() - inHost.y()) / scaleY;
    }
    overlay_->place(Rect(Point{local.x() + dx, local.y() + dy}, size));
}

void HostingView::setRootView(declarative::View root) {
    const auto& description = root.description();
    if (!root_ || root_->description_->type() != description->type()) {
        arena_->cancel();
        if (root_) {
            root_->detachSubtree();
        }
        root_ = description->makeNode();
        root_->setHost(this);
        root_->description_ = description;
    }
    root_->update(description, environment_, true);
    setNeedsLayout();
}

void HostingView::setRootEnvironment(Environment environment) {
    environment_ = std::move(environment);
    if (root_) {
        root_->update(root_->description_, environment_, true);
    }
    setNeedsLayout();
}

void HostingView::setTextMeasurer(std::shared_ptr<const TextMeasurer> measurer) {
    measurer_ = measurer ? std::move(measurer) : std::make_shared<PangoTextMeasurer>();
    ++measurerGeneration_;
    setNeedsLayout();
}

void HostingView::markDirty(const std::shared_ptr<Node>& node) {
    if (weak_from_this().expired()) {
        return; // the host is going away (a press it cancels marks its button): nothing flushes any more
    }
    dirty_.push_back(node);
    if (flushScheduled_) {
        return;
    }
    flushScheduled_ = true;
    std::weak_ptr<HostingView> weak = sharedAs<HostingView>();
    core::mainAsync([weak] {
        if (auto host = weak.lock()) {
            host->flush();
        }
    });
}

void HostingView::flush() {
    if (flushing_) {
        return;
    }
    flushing_ = true;
    flushScheduled_ = false;
    retiredOverlay_.reset();
    // Only a tree that was laid out before can say what it covered.
    trackingDamage_ = !needsLayout_ && root_ != nullptr;
    damage_ = Rect::null();
    damageRects_.clear();
    damaged_.clear();
    // Writes made by bodies during this flush land in dirty_ again; a few rounds settle them, and a
    // body that keeps invalidating itself is left for the next turn rather than looping here.
    for (int round = 0; round < 4 && !dirty_.empty(); ++round) {
        std::vector<std::shared_ptr<Node>> nodes;
        for (auto& weak : std::exchange(dirty_, {})) {
            if (auto node = weak.lock()) {
                nodes.push_back(std::move(node));
            }
        }
        std::stable_sort(nodes.begin(), nodes.end(),
                         [](const auto& a, const auto& b) { return a->depth() < b->depth(); });
        for (auto& node : nodes) {
            // Skipped when an ancestor's re-evaluation already rebuilt it, or when it left the tree.
            if (node->isDirty() && isAttached(*node)) {
                addDamage(*node);
                damaged_.push_back(node);
                node->reevaluate();
            }
        }
    }
    flushing_ = false;
    if (!dirty_.empty() && !flushScheduled_) {
        flushScheduled_ = true;
        std::weak_ptr<HostingView> weak = sharedAs<HostingView>();
        core::mainAsync([weak] {
            if (auto host = weak.lock()) {
                host->flush();
            }
        });
    }
    arena_->prune();
    focus_->validate();
    if (!trackingDamage_) {
        lastDamage_ = Rect::null();
        setNeedsLayout();
        return;
    }
    // Lay out now, so the moved nodes and the new areas of the re-evaluated ones are known before the
    // window asks what to draw.
    needsLayout_ = true;
    layoutIfNeeded();
    for (auto& weak : std::exchange(damaged_, {})) {
        if (auto node = weak.lock(); node && isAttached(*node)) {
            addDamage(*node);
        }
    }
    trackingDamage_ = false;
    lastDamage_ = damage_;
    // Each area on its own: the window keeps apart what lies apart and joins what overlaps.
    for (const Rect& area : std::exchange(damageRects_, {})) {
        setNeedsDisplayInRect(area);
    }
}

bool HostingView::isAttached(const Node& node) const {
    const Node* top = &node;
    while (top->parent() != nullptr) {
        top = top->parent();
    }
    return top == root_.get() || top == overlay_.get();
}

void HostingView::addDamage(Node& node) {
    if (!trackingDamage_) {
        return;
    }
    const Rect area = node.visualBoundsInHost();
    if (!area.isNull()) {
        damage_ = damage_.isNull() ? area : damage_.unionWith(area);
        damageRects_.push_back(area);
    }
}

void HostingView::nodeWillMove(Node& node) {
    if (!trackingDamage_) {
        return;
    }
    addDamage(node);
    damaged_.push_back(node.weak_from_this());
}

void HostingView::nodeWillLeave(Node& node) {
    if (focus_->isFocusWithin(&node)) {
        focus_->focus(nullptr);
    }
}

void HostingView::setNeedsLayout() {
    needsLayout_ = true;
    // A flush that tracks damage asks for display itself, for just the damaged area.
    if (!trackingDamage_) {
        setNeedsDisplay();
    }
}

void HostingView::layoutIfNeeded() {
    if (!needsLayout_ || !root_) {
        return;
    }
    needsLayout_ = false;
    ++generation_;
    layingOut_ = true;
    // The root takes the size it asks for within the bounds, centred, as any child would be.
    const Rect bounds({0, 0}, this->bounds().size);
    const Size size = root_->measure(Proposal::of(bounds.size));
    root_->place(Rect(Alignment::center().place(size, bounds), size));
    layoutOverlay();
    layingOut_ = false;
    // Layout may have reconciled (geometry readers); that needs no second pass.
    needsLayout_ = false;
}

Size HostingView::sizeThatFits(const Proposal& proposal) {
    if (!root_) {
        return {};
    }
    ++generation_;
    needsLayout_ = true;
    return root_->measure(proposal);
}

std::optional<Rect> HostingView::frameOfNode(const Id& id) {
    layoutIfNeeded();
    std::vector<Node*> stack;
    if (root_) {
        stack.push_back(root_.get());
    }
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        if (node->key_.id == id) {
            Rect frame = node->frame();
            for (const Node* n = node; n; n = n->parent()) {
                const auto transform = n->renderTransform();
                if (!transform.isIdentity()) {
                    frame = transform.apply(frame);
                }
            }
            return frame;
        }
        const auto& children = node->children();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            stack.push_back(it->get());
        }
    }
    return std::nullopt;
}

void HostingView::drawTree(graphics::GraphicsContext& context) {
    layoutIfNeeded();
    if (root_) {
        root_->drawTree(context);
    }
    if (overlay_) {
        overlay_->drawTree(context);
    }
}

void HostingView::drawTree(graphics::GraphicsContext& context, const Rect& dirtyRect) {
    layoutIfNeeded();
    if (root_ && !dirtyRect.isEmpty()) {
        CullScope scope(*this, dirtyRect);
        root_->drawTree(context);
        if (overlay_) {
            overlay_->drawTree(context);
        }
    }
}

void HostingView::setFrame(const Rect& frame) {
    const bool resized = frame.size != this->frame().size;
    ui::View::setFrame(frame);
    if (resized) {
        setNeedsLayout();
    }
}

void HostingView::draw(const Rect& dirtyRect) {
    if (auto* context = graphics::GraphicsContext::current()) {
        drawTree(*context, dirtyRect);
    }
}

Point HostingView::localPoint(const ui::Event& event) const {
    return convertPointFromView(event.locationInWindow, nullptr);
}

void HostingView::cancelPointerTracking() {
    arena_->cancel();
}

void HostingView::mouseDown(const ui::Event& event) {
    modifiers_ = event.modifierFlags;
    layoutIfNeeded();
    if (auto window = this->window()) {
        window->makeFirstResponder(sharedAs<HostingView>());
    }
    if (!root_) {
        return;
    }
    const Point p = localPoint(event);
    if (overlay_) {
        // The overlay takes the press when it is over it; any other press only dismisses it.
        std::vector<Node*> hits;
        if (overlay_->hitTest(p, hits)) {
            auto overlay = overlay_;
            arena_->pointerDown(*overlay, p, event);
        } else {
            dismissOverlay();
        }
        return;
    }
    // A click on something focusable focuses it.
    std::vector<Node*> path;
    root_->hitTest(p, path);
    for (Node* node : path) { // innermost first
        if (dynamic_cast<FocusableNode*>(node) && node->environment().isEnabled) {
            focus_->focus(node);
            break;
        }
    }
    arena_->pointerDown(*root_, p, event);
}

void HostingView::mouseDragged(const ui::Event& event) {
    modifiers_ = event.modifierFlags;
    arena_->pointerMoved(localPoint(event), event);
}

void HostingView::mouseUp(const ui::Event& event) {
    modifiers_ = event.modifierFlags;
    arena_->pointerUp(localPoint(event), event);
}

namespace {
KeyPressEvent keyPressOf(const ui::Event& event, KeyPhase phase) {
    return KeyPressEvent{event.characters, event.specialKey(), event.modifierFlags, phase};
}
} // namespace

void HostingView::keyDown(const ui::Event& event) {
    modifiers_ = event.modifierFlags;
    if (event.specialKey() == ui::SpecialKey::escape && overlay_) {
        arena_->cancel();
        dismissOverlay();
        return;
    }
    if (event.specialKey() == ui::SpecialKey::escape && arena_->isTracking()) {
        arena_->cancel();
        return;
    }
    if (!focus_->dispatch(keyPressOf(event, event.isARepeat ? KeyPhase::repeat : KeyPhase::down))) {
        ui::View::keyDown(event);
    }
}

void HostingView::keyUp(const ui::Event& event) {
    modifiers_ = event.modifierFlags;
    if (!focus_->dispatch(keyPressOf(event, KeyPhase::up))) {
        ui::View::keyUp(event);
    }
}

void HostingView::flagsChanged(const ui::Event& event) {
    modifiers_ = event.modifierFlags;
}

bool HostingView::resignFirstResponder() {
    arena_->cancel();
    dismissOverlay();
    focus_->focus(nullptr);
    return true;
}

void HostingView::viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) {
    if (!newWindow) {
        arena_->cancel();
        dismissOverlay();
    }
    ui::View::viewWillMoveToWindow(newWindow);
}

bool HostingView::displaysSubviewAfterContent(const ui::View& subview) const {
    return std::none_of(inTreeSubviews_.begin(), inTreeSubviews_.end(),
                        [&subview](const auto& entry) { return entry.lock().get() == &subview; });
}

void HostingView::setDrawsSubviewInTree(const std::shared_ptr<const ui::View>& subview, bool inTree) {
    std::erase_if(inTreeSubviews_, [&subview](const auto& entry) {
        const auto view = entry.lock();
        return !view || view == subview;
    });
    if (inTree) {
        inTreeSubviews_.push_back(subview);
    }
}

// Representables.

namespace {
struct RepresentableParams {
    std::function<std::shared_ptr<ui::View>(const RepresentableContext&)> make;
    std::function<void(ui::View&, const RepresentableContext&)> update;
    std::function<void(ui::View&)> dismantle;
    std::function<std::shared_ptr<void>()> makeCoordinator;
    std::type_index type;
};

class RepresentableNode final : public detail::ParamsNode<RepresentableParams, RepresentableNode> {
public:
    ~RepresentableNode() override {
        if (view_) {
            if (params().dismantle) {
                params().dismantle(*view_);
            }
            if (auto host = std::dynamic_pointer_cast<HostingView>(view_->superview())) {
                host->setDrawsSubviewInTree(view_, false);
            }
            view_->removeFromSuperview();
        }
    }
    void draw(graphics::GraphicsContext& context) override {
        if (view_ && host() && view_->superview().get() == host()) {
            const Rect* cull = host()->cullRect();
            view_->displayTree(context, cull ? *cull : view_->frame());
        }
    }

protected:
    void didUpdate() override {
        if (!coordinatorMade_) {
            coordinatorMade_ = true;
            if (params().makeCoordinator) {
                coordinator_ = params().makeCoordinator();
            }
        }
        const RepresentableContext context{environment(), coordinator_};
        if (!view_ && params().make) {
            view_ = params().make(context);
            if (view_ && host()) {
                host()->setDrawsSubviewInTree(view_, true);
                host()->addSubview(view_);
            }
        }
        if (view_ && params().update) {
            params().update(*view_, context);
        }
    }
    Size sizeThatFits(const Proposal& p) override {
        if (!view_) {
            return {};
        }
        const Size intrinsic = view_->intrinsicContentSize();
        const Size fallback = view_->frame().size;
        Size s = p.replacingUnspecified(fallback);
        if (intrinsic.width != ui::View::noIntrinsicMetric) {
            s.width = intrinsic.width;
        }
        if (intrinsic.height != ui::View::noIntrinsicMetric) {
            s.height = intrinsic.height;
        }
        return s;
    }
    void placeChildren(const Rect& frame) override {
        if (view_) {
            // Subviews of the hosting view live in its (flipped) coordinates, which are ours, as long
            // as no scale or offset sits above this node.
            view_->setFrame(hostToLocal().inverted().apply(frame));
        }
    }

private:
    std::shared_ptr<ui::View> view_;
    std::shared_ptr<void> coordinator_;
    bool coordinatorMade_ = false;
};

} // namespace

namespace detail {
View representable(std::function<std::shared_ptr<ui::View>(const RepresentableContext&)> make,
                   std::function<void(ui::View&, const RepresentableContext&)> update,
                   std::function<void(ui::View&)> dismantle,
                   std::function<std::shared_ptr<void>()> makeCoordinator, std::type_index type) {
    return detail::make<RepresentableNode>({}, RepresentableParams{std::move(make), std::move(update),
                                                                   std::move(dismantle),
                                                                   std::move(makeCoordinator), type});
}
} // namespace detail

} // namespace declarative
