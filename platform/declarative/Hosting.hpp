#pragma once

// The hosting view: a platform/ui view that owns a declarative tree, lays it out in its bounds, draws
// it, turns its events into gestures, buttons and key presses, and re-evaluates what changed once per
// main-queue turn. The same tree draws headless, in an X11 window or inside a plug-in editor.
//
// Representable wraps a platform/ui view inside a declarative tree: made once per identity, updated
// on every re-evaluation, removed with its node.

#include "declarative/Core.hpp"
#include "ui/Event.hpp"
#include "ui/View.hpp"

#include <memory>
#include <type_traits>
#include <vector>

namespace display {
class Clipboard;
}

namespace declarative {

class GestureArena;
class FocusManager;

class HostingView : public ui::View {
public:
    static std::shared_ptr<HostingView> make(declarative::View root, const Rect& frame = {});
    explicit HostingView(const Rect& frame);
    ~HostingView() override;

    // The tree.
    void setRootView(declarative::View root);
    Node* rootNode() const { return root_.get(); }
    const Environment& rootEnvironment() const { return environment_; }
    void setRootEnvironment(Environment environment);

    // Text metrics for layout (Pango by default; tests may install a deterministic one).
    const TextMeasurer& textMeasurer() const { return *measurer_; }
    // Changes whenever the measurer is replaced (text views keep measurements until then).
    std::uint64_t measurerGeneration() const { return measurerGeneration_; }
    void setTextMeasurer(std::shared_ptr<const TextMeasurer> measurer);

    // Update cycle. Changes mark nodes dirty; the first one posts a flush to the main queue.
    void markDirty(const std::shared_ptr<Node>& node);
    bool flushPending() const { return flushScheduled_; }
    // Re-evaluates every dirty node (shallowest first), then lays out and asks for display.
    void flush();
    void setNeedsLayout();
    void layoutIfNeeded();
    // Reconciliation is about to drop a subtree.
    void nodeWillLeave(Node& node);
    std::uint64_t layoutGeneration() const { return generation_; }
    // The root's size for a proposal (min, ideal and max sizes come from 0, unspecified and infinity).
    Size sizeThatFits(const Proposal& proposal);

    // The frame, in this view's coordinates (transforms applied), of the first node (depth first) whose
    // explicit id is `id`, after laying out; nullopt when there is none. For tools and tests that operate a
    // tree from outside.
    std::optional<Rect> frameOfNode(const Id& id);

    // Draws the tree into a context whose user space is this view's (top-left origin, y down); with a
    // dirty rect, subtrees that cannot paint into it are skipped.
    void drawTree(graphics::GraphicsContext& context);
    void drawTree(graphics::GraphicsContext& context, const Rect& dirtyRect);

    // Partial redisplay. A flush lays out at once and asks the window to redraw only what the
    // re-evaluated and moved nodes covered before and after; anything else redraws the whole view.
    // The area of the last flush, for tests and benchmarks (null when it asked for a full redraw).
    const Rect& lastFlushDamage() const { return lastDamage_; }
    // Layout is about to move a node that was placed before.
    void nodeWillMove(Node& node);
    bool isLayingOut() const { return layingOut_; }
    // While drawing with a dirty rect: that rect in the coordinates of the node being drawn's parent.
    const Rect* cullRect() const { return cull_.isNull() ? nullptr : &cull_; }
    class CullScope {
    public:
        CullScope(HostingView& host, const Rect& rect) : host_(host), saved_(host.cull_) {
            host.cull_ = rect;
        }
        ~CullScope() { host_.cull_ = saved_; }
        CullScope(const CullScope&) = delete;
        CullScope& operator=(const CullScope&) = delete;

    private:
        HostingView& host_;
        Rect saved_;
    };

    // Overlays (an open menu): one tree drawn above the root and given the pointer first. It lives in
    // the coordinates of the view that presented it (`toHost` maps them to the host's), sized to its
    // ideal size and placed just below `anchor`, or above it when there is no room below, and kept
    // inside the host's bounds. While it is shown a press outside it, Escape or the loss of the
    // keyboard dismisses it; that press goes no further.
    void presentOverlay(declarative::View content, const Environment& environment,
                        const graphics::AffineTransform& toHost, const Rect& anchor,
                        std::function<void()> onDismiss = {});
    void dismissOverlay();
    bool hasOverlay() const { return overlay_ != nullptr; }
    Node* overlayNode() const { return overlay_.get(); }
    // Where the overlay shows, in host coordinates; null without one.
    Rect overlayFrameInHost();

    // Input.
    // The modifier flags of the latest event this view saw.
    ui::ModifierFlags currentModifierFlags() const { return modifiers_; }
    // Ends any gesture in progress with cancellation (the pointer grab was lost).
    void cancelPointerTracking();
    GestureArena& gestureArena() { return *arena_; }
    // Text fields copy and paste through this (an in-memory clipboard of this view by default).
    display::Clipboard& clipboard() const { return *clipboard_; }
    void setClipboard(std::shared_ptr<display::Clipboard> clipboard);
    FocusManager& focusManager() { return *focus_; }

    // ui::View.
    bool isFlipped() const override { return true; }
    void setFrame(const Rect& frame) override;
    void draw(const Rect& dirtyRect) override;
    bool acceptsFirstResponder() const override { return true; }
    bool resignFirstResponder() override;
    void mouseDown(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;
    void keyDown(const ui::Event& event) override;
    void keyUp(const ui::Event& event) override;
    void flagsChanged(const ui::Event& event) override;
    void mouseTrackingCancelled() override { cancelPointerTracking(); }
    void viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) override;
    // Representables' views are drawn by their nodes, in the tree's stacking order.
    bool displaysSubviewAfterContent(const ui::View& subview) const override;
    void setDrawsSubviewInTree(const std::shared_ptr<const ui::View>& subview, bool inTree);

private:
    Point localPoint(const ui::Event& event) const;
    void addDamage(Node& node);
    void layoutOverlay();
    // Whether the node is still part of the tree or the overlay.
    bool isAttached(const Node& node) const;

    std::shared_ptr<Node> root_;
    Environment environment_;
    std::shared_ptr<Node> overlay_;
    // A dismissed overlay lives on until the next flush: the action that dismissed it may still run.
    std::shared_ptr<Node> retiredOverlay_;
    Rect overlayAnchor_;
    std::function<void()> onOverlayDismiss_;
    std::shared_ptr<const TextMeasurer> measurer_;
    std::vector<std::weak_ptr<Node>> dirty_;
    std::unique_ptr<GestureArena> arena_;
    std::unique_ptr<FocusManager> focus_;
    std::shared_ptr<display::Clipboard> clipboard_;
    std::uint64_t generation_ = 1;
    std::uint64_t measurerGeneration_ = 1;
    bool flushScheduled_ = false;
    bool needsLayout_ = true;
    bool flushing_ = false;
    bool layingOut_ = false;
    // Damage tracking during a flush: the union of the areas to redraw, and the nodes whose new area
    // joins it once layout is done.
    bool trackingDamage_ = false;
    Rect damage_ = Rect::null();
    std::vector<Rect> damageRects_;
    Rect lastDamage_ = Rect::null();
    std::vector<std::weak_ptr<Node>> damaged_;
    Rect cull_ = Rect::null();
    ui::ModifierFlags modifiers_ = 0;
    std::vector<std::weak_ptr<const ui::View>> inTreeSubviews_;
};

// What a representable's functions are handed: the environment the tree gives the view (its current one
// on every update) and the view's coordinator, made once per identity (null without makeCoordinator).
struct RepresentableContext {
    const Environment& environment;
    std::shared_ptr<void> coordinator;

    template <class C> std::shared_ptr<C> coordinatorAs() const {
        return std::static_pointer_cast<C>(coordinator);
    }
};

// make() and update() take the context or not, as the caller prefers.
template <class V> class RepresentableMake {
public:
    RepresentableMake() = default;
    template <class F>
    requires std::is_invocable_r_v<std::shared_ptr<V>, F&, const RepresentableContext&> RepresentableMake(F f)
        : fn_(std::move(f)) {}
    template <class F>
    requires(std::is_invocable_r_v<std::shared_ptr<V>, F&> &&
             !std::is_invocable_v<F&, const RepresentableContext&>) RepresentableMake(F f)
        : fn_([f = std::move(f)](const RepresentableContext&) mutable { return f(); }) {}

    explicit operator bool() const { return static_cast<bool>(fn_); }
    std::shared_ptr<V> operator()(const RepresentableContext& context) const { return fn_(context); }

private:
    std::function<std::shared_ptr<V>(const RepresentableContext&)> fn_;
};

template <class V> class RepresentableUpdate {
public:
    RepresentableUpdate() = default;
    template <class F>
    requires std::is_invocable_v<F&, V&, const RepresentableContext&> RepresentableUpdate(F f)
        : fn_(std::move(f)) {}
    template <class F>
    requires(std::is_invocable_v<F&, V&> && !std::is_invocable_v<F&, V&, const RepresentableContext&>)
        RepresentableUpdate(F f)
        : fn_([f = std::move(f)](V& view, const RepresentableContext&) mutable { f(view); }) {}

    explicit operator bool() const { return static_cast<bool>(fn_); }
    void operator()(V& view, const RepresentableContext& context) const { fn_(view, context); }

private:
    std::function<void(V&, const RepresentableContext&)> fn_;
};

// A platform/ui view inside a declarative tree. makeCoordinator() runs once per identity, first;
// make() once per identity; update() after make and after every re-evaluation of the enclosing body
// or change of the environment; dismantle() when the node goes away. The view is sized by its
// intrinsic content size where it has one (else it takes the proposal), gets events natively and is
// drawn where the tree puts it: views after it in a ZStack draw over it.
template <class V> struct Representable {
    RepresentableMake<V> make;
    RepresentableUpdate<V> update;
    std::function<void(V&)> dismantle;
    std::function<std::shared_ptr<void>()> makeCoordinator;
};

namespace detail {
View representable(std::function<std::shared_ptr<ui::View>(const RepresentableContext&)> make,
                   std::function<void(ui::View&, const RepresentableContext&)> update,
                   std::function<void(ui::View&)> dismantle,
                   std::function<std::shared_ptr<void>()> makeCoordinator, std::type_index type);
}

template <class V> View represent(Representable<V> r) {
    auto make = std::move(r.make);
    auto update = std::move(r.update);
    auto dismantle = std::move(r.dismantle);
    return detail::representable(
        [make](const RepresentableContext& context) -> std::shared_ptr<ui::View> {
            return make ? std::static_pointer_cast<ui::View>(make(context)) : nullptr;
        },
        [update](ui::View& v, const RepresentableContext& context) {
            if (update) {
                update(static_cast<V&>(v), context);
            }
        },
        [dismantle](ui::View& v) {
            if (dismantle) {
                dismantle(static_cast<V&>(v));
            }
        },
        std::move(r.makeCoordinator), typeid(V));
}

} // namespace declarative
