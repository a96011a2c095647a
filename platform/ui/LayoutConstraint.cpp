#include "ui/LayoutConstraint.hpp"

#include "ui/View.hpp"

#include <algorithm>
#include <optional>

namespace ui {

using graphics::Rect;

namespace {

bool isHorizontal(LayoutAttribute a) {
    return a == LayoutAttribute::left || a == LayoutAttribute::right || a == LayoutAttribute::leading ||
           a == LayoutAttribute::trailing || a == LayoutAttribute::width || a == LayoutAttribute::centerX;
}

bool isDimension(LayoutAttribute a) {
    return a == LayoutAttribute::width || a == LayoutAttribute::height;
}

// The nearest view that contains both (a view counts as containing itself).
std::shared_ptr<View> commonAncestor(const std::shared_ptr<View>& a, const std::shared_ptr<View>& b) {
    if (!b) {
        return a;
    }
    for (auto v = a; v; v = v->superview()) {
        if (b->isDescendantOf(*v)) {
            return v;
        }
    }
    return nullptr;
}

// One axis of a view being placed: which of its edges, centre and size are known.
struct Span {
    std::optional<double> low, high, centre, size;

    void set(std::optional<double>& field, double value) {
        if (!field) {
            field = value;
        }
    }
    // Fills in the rest from what is known, with `fallbackSize` when only a position is.
    bool resolve(double fallbackSize, double currentLow) {
        if (low && high) {
            size = *high - *low;
        } else if (size) {
            if (low) {
                high = *low + *size;
            } else if (high) {
                low = *high - *size;
            } else if (centre) {
                low = *centre - *size / 2;
            } else {
                low = currentLow;
            }
        } else if (centre && (low || high)) {
            size = low ? 2 * (*centre - *low) : 2 * (*high - *centre);
            if (!low) {
                low = *high - *size;
            }
        } else if (low || high || centre) {
            size = fallbackSize;
            low = low ? *low : high ? *high - fallbackSize : *centre - fallbackSize / 2;
        } else {
            return false;
        }
        return true;
    }
};

// Vertical quantities are measured downwards from the container's top edge whichever way its y grows,
// so a positive constant on a top edge moves it down, as constraint constants always do.
double down(double y, const View& container) {
    if (container.isFlipped()) {
        return y;
    }
    const Rect b = container.bounds();
    return b.minY() + b.maxY() - y;
}

// A quantity of a view in the container's space (the container's own bounds for itself).
double valueOf(const View& view, LayoutAttribute attribute, const View& container) {
    const Rect r = &view == &container ? container.bounds() : view.frame();
    const double top = std::min(down(r.minY(), container), down(r.maxY(), container));
    switch (attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::leading:
        return r.minX();
    case LayoutAttribute::right:
    case LayoutAttribute::trailing:
        return r.maxX();
    case LayoutAttribute::width:
        return r.width();
    case LayoutAttribute::centerX:
        return r.midX();
    case LayoutAttribute::top:
        return top;
    case LayoutAttribute::bottom:
        return top + r.height();
    case LayoutAttribute::height:
        return r.height();
    case LayoutAttribute::centerY:
        return top + r.height() / 2;
    case LayoutAttribute::notAnAttribute:
        break;
    }
    return 0;
}

// A constraint seen from the view it places: view.attribute <relation> other.otherAttribute * m + c.
struct Term {
    View* view;
    LayoutAttribute attribute;
    LayoutRelation relation;
    View* other;
    LayoutAttribute otherAttribute;
    double multiplier;
    double constant;
};

bool placeable(const View* v, const View& container) {
    return v && v != &container && v->superview().get() == &container &&
           !v->translatesAutoresizingMaskIntoConstraints();
}

std::optional<Term> termFor(const LayoutConstraint& c, const View& container) {
    auto first = c.firstItem();
    auto second = c.secondItem();
    if (placeable(first.get(), container)) {
        return Term{first.get(),         c.firstAttribute(), c.relation(), second.get(),
                    c.secondAttribute(), c.multiplier(),     c.constant()};
    }
    // other.attr = view.attr * m + c, read the other way round.
    if (placeable(second.get(), container) && c.multiplier() != 0) {
        const auto flipped = c.relation() == LayoutRelation::equal ? LayoutRelation::equal
                             : c.relation() == LayoutRelation::lessThanOrEqual
                                 ? LayoutRelation::greaterThanOrEqual
                                 : LayoutRelation::lessThanOrEqual;
        return Term{second.get(),
                    c.secondAttribute(),
                    c.multiplier() > 0 ? flipped : c.relation(),
                    first.get(),
                    c.firstAttribute(),
                    1 / c.multiplier(),
                    -c.constant() / c.multiplier()};
    }
    return std::nullopt;
}

void applyEquality(Span& h, Span& v, const Term& t, double value) {
    switch (t.attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::leading:
        h.set(h.low, value);
        break;
    case LayoutAttribute::right:
    case LayoutAttribute::trailing:
        h.set(h.high, value);
        break;
    case LayoutAttribute::width:
        h.set(h.size, std::max(0.0, value));
        break;
    case LayoutAttribute::centerX:
        h.set(h.centre, value);
        break;
    case LayoutAttribute::top:
        v.set(v.low, value);
        break;
    case LayoutAttribute::bottom:
        v.set(v.high, value);
        break;
    case LayoutAttribute::height:
        v.set(v.size, std::max(0.0, value));
        break;
    case LayoutAttribute::centerY:
        v.set(v.centre, value);
        break;
    case LayoutAttribute::notAnAttribute:
        break;
    }
}

} // namespace

std::shared_ptr<LayoutConstraint>
LayoutConstraint::make(const std::shared_ptr<View>& firstItem, LayoutAttribute firstAttribute,
                       LayoutRelation relation, const std::shared_ptr<View>& secondItem,
                       LayoutAttribute secondAttribute, double multiplier, double constant) {
    auto c = std::make_shared<LayoutConstraint>();
    c->first_ = firstItem;
    c->firstAttribute_ = firstAttribute;
    c->relation_ = relation;
    c->second_ = secondItem;
    c->secondAttribute_ = secondItem ? secondAttribute : LayoutAttribute::notAnAttribute;
    c->multiplier_ = multiplier;
    c->constant_ = constant;
    return c;
}

void LayoutConstraint::setConstant(double constant) {
    constant_ = constant;
    invalidateLayout();
}

void LayoutConstraint::setPriority(LayoutPriority priority) {
    priority_ = std::clamp(priority, 1.0f, layoutPriorityRequired);
    invalidateLayout();
}

void LayoutConstraint::invalidateLayout() {
    if (auto container = container_.lock()) {
        container->setNeedsLayout();
    }
}

void LayoutConstraint::setActive(bool active) {
    if (active == active_) {
        return;
    }
    auto self = shared_from_this();
    if (!active) {
        if (auto container = container_.lock()) {
            container->removeConstraint(self);
        }
        container_.reset();
        active_ = false;
        return;
    }
    auto first = firstItem();
    auto container = first ? commonAncestor(first, secondItem()) : nullptr;
    if (!container) {
        return; // views in different trees cannot be related
    }
    // A constraint on a view alone (its size) is solved where the view is placed: by its superview.
    auto second = secondItem();
    if (container == first && (!second || second == first) && first->superview()) {
        container = first->superview();
    }
    active_ = true;
    container_ = container;
    container->addConstraint(self);
}

void LayoutConstraint::activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints) {
        if (c) {
            c->setActive(true);
        }
    }
}

void LayoutConstraint::deactivate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& c : constraints) {
        if (c) {
            c->setActive(false);
        }
    }
}

namespace {
std::shared_ptr<LayoutConstraint> anchored(const LayoutAnchor& a, LayoutRelation relation,
                                           const LayoutAnchor* b, double constant) {
    return LayoutConstraint::make(a.view.lock(), a.attribute, relation, b ? b->view.lock() : nullptr,
                                  b ? b->attribute : LayoutAttribute::notAnAttribute, 1, constant);
}
} // namespace

std::shared_ptr<LayoutConstraint> LayoutAnchor::constraintEqualTo(const LayoutAnchor& other,
                                                                  double constant) const {
    return anchored(*this, LayoutRelation::equal, &other, constant);
}
std::shared_ptr<LayoutConstraint> LayoutAnchor::constraintLessThanOrEqualTo(const LayoutAnchor& other,
                                                                            double constant) const {
    return anchored(*this, LayoutRelation::lessThanOrEqual, &other, constant);
}
std::shared_ptr<LayoutConstraint> LayoutAnchor::constraintGreaterThanOrEqualTo(const LayoutAnchor& other,
                                                                               double constant) const {
    return anchored(*this, LayoutRelation::greaterThanOrEqual, &other, constant);
}
std::shared_ptr<LayoutConstraint> LayoutAnchor::constraintEqualToConstant(double constant) const {
    return anchored(*this, LayoutRelation::equal, nullptr, constant);
}
std::shared_ptr<LayoutConstraint> LayoutAnchor::constraintLessThanOrEqualToConstant(double constant) const {
    return anchored(*this, LayoutRelation::lessThanOrEqual, nullptr, constant);
}
std::shared_ptr<LayoutConstraint>
LayoutAnchor::constraintGreaterThanOrEqualToConstant(double constant) const {
    return anchored(*this, LayoutRelation::greaterThanOrEqual, nullptr, constant);
}

void solveConstraints(View& container) {
    // Terms per placeable subview, strongest first (stable: earlier activations win ties).
    std::vector<std::pair<LayoutPriority, Term>> ordered;
    for (const auto& c : container.constraints()) {
        if (auto t = termFor(*c, container)) {
            ordered.emplace_back(c->priority(), *t);
        }
    }
    if (ordered.empty()) {
        return;
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });

    std::vector<View*> pending;
    for (const auto& [priority, t] : ordered) {
        if (std::find(pending.begin(), pending.end(), t.view) == pending.end()) {
            pending.push_back(t.view);
        }
    }
    // A view is placed once every view its terms refer to is known: the container, nothing, or a placed
    // sibling. Views caught in a cycle are placed last from what they can read.
    bool strict = true;
    while (!pending.empty()) {
        bool progress = false;
        for (auto it = pending.begin(); it != pending.end();) {
            View* view = *it;
            const bool ready = std::all_of(ordered.begin(), ordered.end(), [&](const auto& entry) {
                const Term& t = entry.second;
                return t.view != view || !t.other || t.other == &container || t.other == view ||
                       std::find(pending.begin(), pending.end(), t.other) == pending.end();
            });
            if (!ready && strict) {
                ++it;
                continue;
            }
            Span h, v;
            for (const auto& [priority, t] : ordered) {
                if (t.view != view || t.relation != LayoutRelation::equal || t.other == view) {
                    continue;
                }
                const double base = t.other ? valueOf(*t.other, t.otherAttribute, container) : 0;
                applyEquality(h, v, t, base * t.multiplier + t.constant);
            }
            const Rect current = view->frame();
            const auto intrinsic = view->intrinsicContentSize();
            const bool hasH =
                h.resolve(intrinsic.width >= 0 ? intrinsic.width : current.width(), current.minX());
            const double currentTop = valueOf(*view, LayoutAttribute::top, container);
            const bool hasV =
                v.resolve(intrinsic.height >= 0 ? intrinsic.height : current.height(), currentTop);
            double x = hasH ? *h.low : current.minX(), w = hasH ? *h.size : current.width();
            double top = hasV ? *v.low : currentTop, ht = hasV ? *v.size : current.height();
            // Bounds on a size, applied after the equalities.
            for (const auto& [priority, t] : ordered) {
                if (t.view != view || t.relation == LayoutRelation::equal || !isDimension(t.attribute)) {
                    continue;
                }
                const double bound =
                    (t.other ? valueOf(*t.other, t.otherAttribute, container) : 0) * t.multiplier +
                    t.constant;
                double& size = isHorizontal(t.attribute) ? w : ht;
                size = t.relation == LayoutRelation::lessThanOrEqual ? std::min(size, bound)
                                                                     : std::max(size, bound);
            }
            w = std::max(0.0, w);
            ht = std::max(0.0, ht);
            const double y = container.isFlipped() ? top : down(top + ht, container);
            view->setFrame(Rect(x, y, w, ht));
            it = pending.erase(it);
            progress = true;
        }
        strict = progress;
    }
}

void pinEdges(const std::shared_ptr<View>& view, const std::shared_ptr<View>& other,
              const graphics::EdgeInsets& insets) {
    if (!view || !other) {
        return;
    }
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    LayoutConstraint::activate({
        view->leadingAnchor().constraintEqualTo(other->leadingAnchor(), insets.left),
        view->trailingAnchor().constraintEqualTo(other->trailingAnchor(), -insets.right),
        view->bottomAnchor().constraintEqualTo(other->bottomAnchor(), -insets.bottom),
        view->topAnchor().constraintEqualTo(other->topAnchor(), insets.top),
    });
}

} // namespace ui
