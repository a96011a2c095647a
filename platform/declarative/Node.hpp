#pragma once

// The retained tree: one Node per identity, holding state slots, the environment it was given, its
// cached layout and its frame. Included by Core.hpp; primitives subclass Node in their own files.

#include "declarative/Core.hpp"

#include <array>
#include <tuple>

namespace declarative {

class GestureRecognizer;

// Layout probes within one pass are cached per node (stacks ask the same child several times).
struct LayoutCache {
    struct Entry {
        Proposal proposal;
        Size size;
    };
    std::array<Entry, 4> entries;
    std::size_t count = 0;
    std::uint64_t generation = 0;
};

class Node : public std::enable_shared_from_this<Node> {
public:
    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    virtual ~Node();

    // Tree.
    Node* parent() const { return parent_; }
    const std::vector<std::shared_ptr<Node>>& children() const { return children_; }
    HostingView* host() const { return host_; }
    int depth() const { return depth_; }
    const Description& description() const { return *description_; }
    template <class D> const D& descriptionAs() const { return static_cast<const D&>(*description_); }
    const Environment& environment() const { return environment_; }

    // Reconciliation. update() takes a new description of the same type and the inherited
    // environment, re-evaluates when something changed (or `force`), and reconciles the children.
    void update(std::shared_ptr<const Description> description, const Environment& environment, bool force);
    // Re-evaluates with the current description (a dirty node on flush).
    void reevaluate() { update(description_, environment_, true); }
    bool isDirty() const { return dirty_; }
    // Marks the node for re-evaluation on the host's next flush (thread-safe: other threads post).
    void invalidate();
    std::size_t evaluationCount() const { return evaluations_; }

    // Layout: the size for a proposal (cached within a pass), then the final frame.
    Size measure(const Proposal& proposal);
    void place(const Rect& frame);
    const Rect& frame() const { return frame_; }
    // The axis of the stack this node sits in directly (Spacer and Divider use it).
    std::optional<Axis> containerAxis() const { return containerAxis_; }
    virtual double layoutPriority() const { return 0; }

    // Drawing, in host coordinates. The base draws its children.
    virtual void draw(graphics::GraphicsContext& context);
    void drawTree(graphics::GraphicsContext& context);
    // The extra transform this node applies to itself and its subtree (offset, scale).
    virtual graphics::AffineTransform renderTransform() const { return {}; }
    // The transform from host coordinates to this node's (inverse of the accumulated transforms).
    graphics::AffineTransform hostToLocal() const;
    // Where this node and its subtree may paint, in its parent's coordinates (its own transform
    // applied); null when nothing is placed. Computed once per layout pass.
    Rect visualBounds();
    // The same in host coordinates.
    Rect visualBoundsInHost();

    // Hit testing: appends the hit nodes, innermost first, and returns whether anything was hit.
    bool hitTest(Point pointInHost, std::vector<Node*>& path);
    // Whether the node itself takes a point (leaves with content, or a content shape).
    virtual bool hitsSelf(Point local) const;
    virtual bool allowsHitTesting() const { return true; }

    // Gesture recognizers attached to this node (kept across re-evaluations).
    std::vector<std::shared_ptr<GestureRecognizer>>& recognizers() { return recognizers_; }
    // The root-to-leaf chain of nodes that this node and its ancestors are.
    std::vector<Node*> ancestry();

    // Slots for Context::state (one per call position in the body).
    std::vector<std::shared_ptr<void>>& slots() { return slots_; }
    // The observation tracking of the latest evaluation.
    void setTracking(core::ObservationToken token) { tracking_ = std::move(token); }

protected:
    // The children this node's description yields (primitives) or its body returns (components).
    virtual std::vector<View> childViews();
    // The environment handed to children.
    virtual Environment childEnvironment() const { return environment_; }
    // A skippable node keeps its subtree when description and environment are unchanged.
    virtual bool isSkippable() const { return false; }
    // The axis this node's children are stacked along, if it is a stack.
    virtual std::optional<Axis> stackAxis() const { return {}; }
    // Called after the description changed (before the children are reconciled).
    virtual void didUpdate() {}
    virtual Size sizeThatFits(const Proposal& proposal);
    virtual void placeChildren(const Rect& frame);
    // How far the node's own painting may reach beyond its frame (strokes, antialiasing), and how far
    // it may carry its subtree's painting beyond the subtree's own bounds (shadows).
    virtual double paintOverhang() const { return 2; }
    virtual double subtreeOverhang() const { return 0; }

    void setHost(HostingView* host);
    void reconcileChildren(const std::vector<View>& views, const Environment& environment);

    std::shared_ptr<const Description> description_;
    Environment environment_;
    std::vector<std::shared_ptr<Node>> children_;
    Rect frame_;

private:
    friend class HostingView;
    struct Key {
        std::size_t slot = 0;
        std::optional<Id> id;
        std::size_t index = 0; // position within a group when there is no id
        friend bool operator<(const Key& a, const Key& b) {
            return std::tie(a.slot, a.id, a.index) < std::tie(b.slot, b.id, b.index);
        }
    };
    static void flatten(const std::vector<View>& views, std::vector<std::pair<Key, View>>& out);
    // Marks this node and everything below it as out of the tree (no parent).
    void detachSubtree();

    Node* parent_ = nullptr;
    HostingView* host_ = nullptr;
    int depth_ = 0;
    Key key_;
    std::optional<Axis> containerAxis_;
    bool dirty_ = false;
    bool evaluated_ = false;
    std::size_t evaluations_ = 0;
    LayoutCache cache_;
    Rect visualBounds_;
    std::uint64_t visualGeneration_ = 0;
    bool placed_ = false;
    std::vector<std::shared_ptr<void>> slots_;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
    core::ObservationToken tracking_;
};

// The node of a component: its child is the body's result, evaluated under observation tracking.
template <class T> class ComponentNode final : public Node {
protected:
    std::vector<View> childViews() override;
    bool isSkippable() const override { return true; }
};

namespace detail {
// Runs body under observation tracking for node; the first change of anything it read invalidates
// the node.
View evaluateTracked(Node& node, const std::function<View(Context&)>& body);
} // namespace detail

template <class T> std::vector<View> ComponentNode<T>::childViews() {
    const auto& description = descriptionAs<ComponentDescription<T>>();
    return {detail::evaluateTracked(*this, [&](Context& context) { return description.body(context); })};
}

template <class T> std::shared_ptr<Node> ComponentDescription<T>::makeNode() const {
    return std::make_shared<ComponentNode<T>>();
}

template <class T>
requires requires(const T& t, Context& c) {
    { t.body(c) } -> std::convertible_to<View>;
}
View::View(T component) : description_(std::make_shared<ComponentDescription<T>>(std::move(component))) {}

template <class T> State<T> Context::state(T initial) {
    auto& slot = nextSlot();
    if (!slot) {
        slot = std::make_shared<StateBox<T>>(std::move(initial));
    }
    return State<T>(std::static_pointer_cast<StateBox<T>>(slot));
}

} // namespace declarative
