#pragma once

// The core of the declarative layer: view descriptions, the retained node tree they reconcile into,
// per-identity state, bindings and the environment.
//
// A description (View) is a short-lived value: a component's body(Context&) returns one every time it
// is evaluated. Reconciliation matches it against the retained Node tree by structural identity (the
// type and position of each child, or an explicit id from .id() or ForEach) and keeps the nodes, with
// their state, whose identity survives. Bodies run under core observation tracking: a later change of
// any observed property (or State) a body read marks just that node dirty, and the hosting view
// re-evaluates dirty nodes once, on the main queue.
//
// Coordinates are the hosting view's: origin at the top-left, y down, in points.

#include "core/Observation.hpp"
#include "graphics/Color.hpp"
#include "graphics/Font.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/GraphicsContext.hpp"

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <variant>
#include <vector>

namespace declarative {

using graphics::EdgeInsets;
using graphics::Point;
using graphics::Rect;
using graphics::Size;

class Context;
class HostingView;
class Node;
class View;

// An explicit identity (ForEach element ids, .id()).
using Id = std::variant<std::int64_t, std::string>;

// A size proposal: per axis nullopt asks for the ideal size, 0 for the minimum, infinity for the
// maximum, anything else is a concrete offer.
struct Proposal {
    std::optional<double> width;
    std::optional<double> height;

    friend bool operator==(const Proposal&, const Proposal&) = default;
    static Proposal unspecified() { return {}; }
    static Proposal zero() { return {0.0, 0.0}; }
    static Proposal infinity();
    static Proposal of(Size size) { return {size.width, size.height}; }
    // The offer on an axis, with `fallback` for an unspecified one.
    Size replacingUnspecified(Size fallback) const {
        return {width.value_or(fallback.width), height.value_or(fallback.height)};
    }
};

enum class Axis { horizontal, vertical };
enum class HorizontalAlignment { leading, center, trailing };
enum class VerticalAlignment { top, center, bottom };

struct Alignment {
    HorizontalAlignment horizontal = HorizontalAlignment::center;
    VerticalAlignment vertical = VerticalAlignment::center;

    friend bool operator==(const Alignment&, const Alignment&) = default;
    static constexpr Alignment center() { return {}; }
    static constexpr Alignment topLeading() { return {HorizontalAlignment::leading, VerticalAlignment::top}; }
    static constexpr Alignment top() { return {HorizontalAlignment::center, VerticalAlignment::top}; }
    static constexpr Alignment leading() { return {HorizontalAlignment::leading, VerticalAlignment::center}; }
    static constexpr Alignment trailing() {
        return {HorizontalAlignment::trailing, VerticalAlignment::center};
    }
    static constexpr Alignment bottom() { return {HorizontalAlignment::center, VerticalAlignment::bottom}; }
    // Where a child of `size` sits inside `container`.
    Point place(Size size, const Rect& container) const;
};

// A point in unit coordinates of a rect ((0,0) top-left, (1,1) bottom-right): anchors for scaling.
struct UnitPoint {
    double x = 0.5;
    double y = 0.5;
    static constexpr UnitPoint center() { return {0.5, 0.5}; }
    static constexpr UnitPoint topLeading() { return {0, 0}; }
    static constexpr UnitPoint bottomTrailing() { return {1, 1}; }
    Point in(const Rect& r) const { return {r.x() + x * r.width(), r.y() + y * r.height()}; }
};

// Measures single lines of text. The hosting view uses Pango unless a test installs another.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    virtual Size measure(const std::string& text, const graphics::FontRef& font) const = 0;
    // The x offset of each byte boundary that starts a character, plus the end (for carets).
    virtual double offsetOfByte(const std::string& text, const graphics::FontRef& font,
                                std::size_t byteIndex) const;
};

// Pango metrics, as drawing uses them.
class PangoTextMeasurer final : public TextMeasurer {
public:
    Size measure(const std::string& text, const graphics::FontRef& font) const override;
};

// Every character one em wide and one em high: layout tests get numbers that no font engine changes.
class FixedTextMeasurer final : public TextMeasurer {
public:
    Size measure(const std::string& text, const graphics::FontRef& font) const override;
};

// How the lines of multi-line text line up, and which end of text too long for its space gives way.
enum class TextAlignment { leading, center, trailing };
enum class TruncationMode { head, tail, middle };

struct ButtonConfiguration;
using ButtonStyle = std::function<View(const ButtonConfiguration&)>;

// Values inherited down the tree. Copies share the object table until one is changed.
struct Environment {
    graphics::FontRef font;             // null: the system font of 13 pt
    graphics::ColorRef foregroundColor; // null: the label colour
    bool isEnabled = true;
    std::shared_ptr<const ButtonStyle> buttonStyle; // null: the plain style
    std::shared_ptr<const std::map<std::type_index, std::shared_ptr<void>>> objects;
    // Text settings for the text views that read them (representable text fields): the most lines
    // to show (null: as many as the text needs), their alignment, the truncated end, and whether text
    // may be squeezed a little before it is truncated.
    std::optional<int> lineLimit;
    TextAlignment multilineTextAlignment = TextAlignment::leading;
    TruncationMode truncationMode = TruncationMode::tail;
    bool allowsTightening = false;

    graphics::FontRef resolvedFont() const;
    graphics::ColorRef resolvedForegroundColor() const;

    template <class T> std::shared_ptr<T> object() const {
        if (!objects) {
            return nullptr;
        }
        auto it = objects->find(typeid(T));
        return it == objects->end() ? nullptr : std::static_pointer_cast<T>(it->second);
    }
    template <class T> void setObject(std::shared_ptr<T> object) {
        auto copy = objects ? *objects : std::map<std::type_index, std::shared_ptr<void>>{};
        copy[typeid(T)] = std::move(object);
        objects = std::make_shared<const std::map<std::type_index, std::shared_ptr<void>>>(std::move(copy));
    }
    // Identity of every value (fonts and colours are compared as handles).
    bool operator==(const Environment& other) const;
};

// Stored values compare equal when they are equality comparable and equal; others always differ.
struct StatePolicy {
    template <class T> static bool same(const T& a, const T& b) {
        if constexpr (std::equality_comparable<T>) {
            return a == b;
        } else {
            return false;
        }
    }
};

template <class T> using StateBox = core::Observed<T, StatePolicy>;

// A read-write handle to a value that lives elsewhere. Never points into a description.
template <class T> class Binding {
public:
    Binding() = default;
    Binding(std::function<T()> get, std::function<void(T)> set)
        : get_(std::move(get)), set_(std::move(set)) {}

    // A binding that reads `value` and ignores writes (previews, tests).
    static Binding constant(T value) {
        return Binding([value] { return value; }, [](T) {});
    }
    // A binding to an observed property (reads inside a body are tracked).
    template <class Policy> static Binding to(core::Observed<T, Policy>& property) {
        return Binding([&property] { return property.get(); },
                       [&property](T v) { property.set(std::move(v)); });
    }

    T get() const { return get_ ? get_() : T{}; }
    void set(T value) const {
        if (set_) {
            set_(std::move(value));
        }
    }
    explicit operator bool() const { return static_cast<bool>(get_); }

private:
    std::function<T()> get_;
    std::function<void(T)> set_;
};

// Per-identity state: a handle to a box owned by the node whose body created it. A read in a body is
// tracked; a write re-evaluates the readers on the next flush.
template <class T> class State {
public:
    State() = default;
    explicit State(std::shared_ptr<StateBox<T>> box) : box_(std::move(box)) {}

    const T& get() const { return box_->get(); }
    const T& operator*() const { return get(); }
    const T* operator->() const { return &get(); }
    void set(T value) const { box_->set(std::move(value)); }
    Binding<T> binding() const {
        auto box = box_;
        return Binding<T>([box] { return box->get(); }, [box](T v) { box->set(std::move(v)); });
    }

private:
    std::shared_ptr<StateBox<T>> box_;
};

// The description behind a View. Descriptions are immutable and dropped after reconciliation.
class Description {
public:
    virtual ~Description() = default;
    // The structural type: a node is reused only for a description of the same type.
    virtual std::type_index type() const { return typeid(*this); }
    virtual std::shared_ptr<Node> makeNode() const = 0;
    // Whether a node may skip re-evaluation because nothing it depends on changed.
    virtual bool equals(const Description&) const { return false; }
    // Groups (ForEach, If) are flattened into their parent's children.
    virtual const std::vector<View>* groupChildren() const { return nullptr; }
};

struct FrameLimits;
class Gesture;
struct KeyPressEvent;
enum class KeyResult;

// A view description with its modifiers. Cheap to copy (one shared pointer and an optional id).
class View {
public:
    View(); // an empty view: no size, draws nothing
    // Out of line: inlined, GCC's optimiser takes the optional identity for uninitialised.
    explicit View(std::shared_ptr<const Description> description, std::optional<Id> id = {});
    // A component: any type with `View body(Context&) const`.
    template <class T>
    requires requires(const T& t, Context& c) {
        { t.body(c) } -> std::convertible_to<View>;
    }
    View(T component);

    const std::shared_ptr<const Description>& description() const { return description_; }
    const std::optional<Id>& explicitId() const { return id_; }

    // Identity.
    View id(Id id) const;

    // Layout.
    View padding(double all) const { return padding(EdgeInsets{all, all, all, all}); }
    View padding(EdgeInsets insets) const;
    View frame(std::optional<double> width, std::optional<double> height,
               Alignment alignment = Alignment::center()) const;
    View frame(const FrameLimits& limits) const;
    View offset(double x, double y) const;
    View position(double x, double y) const;
    View layoutPriority(double priority) const;

    // Drawing.
    View background(View view, Alignment alignment = Alignment::center()) const;
    View background(graphics::ColorRef color) const;
    View overlay(View view, Alignment alignment = Alignment::center()) const;
    View opacity(double value) const;
    View scaleEffect(double scale, UnitPoint anchor = UnitPoint::center()) const;
    View scaleEffect(double sx, double sy, UnitPoint anchor) const;
    View shadow(graphics::ColorRef color, double radius, double x = 0, double y = 0) const;
    View clipped() const;

    // Hit testing.
    View contentShape(std::function<graphics::BezierPath(const Rect&)> shape) const;
    View contentShapeRect() const;
    View allowsHitTesting(bool enabled) const;

    // Environment.
    View font(graphics::FontRef font) const;
    View foregroundColor(graphics::ColorRef color) const;
    View disabled(bool disabled) const;
    View buttonStyle(ButtonStyle style) const;
    View lineLimit(std::optional<int> limit) const;
    View multilineTextAlignment(TextAlignment alignment) const;
    View truncationMode(TruncationMode mode) const;
    View allowsTightening(bool flag) const;
    View environment(std::function<void(Environment&)> change) const;
    template <class T> View environmentObject(std::shared_ptr<T> object) const {
        return environment([object](Environment& env) { env.setObject(object); });
    }

    // Gestures (see Gestures.hpp).
    View gesture(Gesture gesture) const;
    View simultaneousGesture(Gesture gesture) const;
    View onTapGesture(std::function<void()> action, int count = 1) const;

    // Keys (see Focus.hpp): handlers run for key presses that reach this view from the focused view
    // (itself or a descendant), in the phases given (down and repeat by default: bits of KeyPhase).
    View onKeyPress(std::function<KeyResult(const KeyPressEvent&)> handler, unsigned phases = 3) const;
    // Runs when a text field inside submits (Return).
    View onSubmit(std::function<void()> action) const;

    // Lifetime.
    View onAppear(std::function<void()> action) const;
    View onDisappear(std::function<void()> action) const;

private:
    std::shared_ptr<const Description> description_;
    std::optional<Id> id_;
};

// What a body gets: state slots (by call order, as hooks), the environment and the host.
class Context {
public:
    Context(Node& node, std::size_t& slot) : node_(node), slot_(slot) {}

    // The state slot at this position in the body: created from `initial` on the node's first
    // evaluation, the same box afterwards (initial is ignored then).
    template <class T> State<T> state(T initial);
    const Environment& environment() const;
    template <class T> std::shared_ptr<T> environmentObject() const {
        return environment().template object<T>();
    }
    HostingView* host() const;
    Node& node() const { return node_; }

    // The raw slot storage behind state() and focusState().
    std::shared_ptr<void>& nextSlot();

private:
    Node& node_;
    std::size_t& slot_;
};

// Components: the description of a user type with a body.
template <class T> class ComponentDescription final : public Description {
public:
    explicit ComponentDescription(T value) : value_(std::move(value)) {}
    std::type_index type() const override { return typeid(T); }
    std::shared_ptr<Node> makeNode() const override;
    bool equals(const Description& other) const override {
        if constexpr (std::equality_comparable<T>) {
            return value_ == static_cast<const ComponentDescription&>(other).value_;
        } else {
            return false;
        }
    }
    View body(Context& context) const { return value_.body(context); }

private:
    T value_;
};

// A group of children with identities of their own, flattened into the parent: ForEach and If.
class GroupDescription final : public Description {
public:
    explicit GroupDescription(std::vector<View> children, std::type_index tag)
        : children_(std::move(children)), tag_(tag) {}
    std::type_index type() const override { return tag_; }
    std::shared_ptr<Node> makeNode() const override;
    const std::vector<View>* groupChildren() const override { return &children_; }

private:
    std::vector<View> children_;
    std::type_index tag_;
};

// One child per element, identified by id(element): reordering moves nodes with their state.
template <class Item, class IdOf, class Content>
View ForEach(const std::vector<Item>& items, IdOf idOf, Content content) {
    std::vector<View> children;
    children.reserve(items.size());
    for (const auto& item : items) {
        children.push_back(View(content(item)).id(Id(idOf(item))));
    }
    struct ForEachTag {};
    return View(std::make_shared<GroupDescription>(std::move(children), typeid(ForEachTag)));
}

// One of two branches; the branch is part of the identity, so switching resets the other's state.
View If(bool condition, View then, View otherwise = View());

// Groups several views without a container (each keeps its own identity).
View Group(std::vector<View> children);

} // namespace declarative

#include "declarative/Node.hpp"
