#pragma once

// Layout constraints between views' edges, centres and sizes (the toolkit's raw attribute and relation
// values), solved when a view lays out its subviews. The solver handles what views here ask of it:
// equalities between a view and its superview or already placed siblings, dimension constants and
// bounds on them; when two constraints fix the same quantity, the higher priority (then the earlier
// activation) wins.

#include "graphics/Geometry.hpp"

#include <memory>
#include <vector>

namespace ui {

class View;

enum class LayoutAttribute : int {
    notAnAttribute = 0,
    left = 1,
    right = 2,
    top = 3,
    bottom = 4,
    leading = 5,
    trailing = 6,
    width = 7,
    height = 8,
    centerX = 9,
    centerY = 10,
};

enum class LayoutRelation : int { lessThanOrEqual = -1, equal = 0, greaterThanOrEqual = 1 };

using LayoutPriority = float;
inline constexpr LayoutPriority layoutPriorityRequired = 1000;
inline constexpr LayoutPriority layoutPriorityDefaultHigh = 750;
inline constexpr LayoutPriority layoutPriorityDefaultLow = 250;

enum class LayoutConstraintOrientation : int { horizontal = 0, vertical = 1 };

// firstItem.firstAttribute <relation> secondItem.secondAttribute * multiplier + constant (a null second
// item makes it firstItem.firstAttribute <relation> constant).
class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
public:
    static std::shared_ptr<LayoutConstraint> make(const std::shared_ptr<View>& firstItem,
                                                  LayoutAttribute firstAttribute, LayoutRelation relation,
                                                  const std::shared_ptr<View>& secondItem,
                                                  LayoutAttribute secondAttribute, double multiplier = 1,
                                                  double constant = 0);

    std::shared_ptr<View> firstItem() const { return first_.lock(); }
    LayoutAttribute firstAttribute() const { return firstAttribute_; }
    LayoutRelation relation() const { return relation_; }
    std::shared_ptr<View> secondItem() const { return second_.lock(); }
    LayoutAttribute secondAttribute() const { return secondAttribute_; }
    double multiplier() const { return multiplier_; }
    double constant() const { return constant_; }
    void setConstant(double constant);
    LayoutPriority priority() const { return priority_; }
    void setPriority(LayoutPriority priority);

    bool isActive() const { return active_; }
    // Installs the constraint on the views' nearest common ancestor (or removes it from there).
    void setActive(bool active);
    static void activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    static void deactivate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

private:
    void invalidateLayout();

    std::weak_ptr<View> first_;
    LayoutAttribute firstAttribute_ = LayoutAttribute::notAnAttribute;
    LayoutRelation relation_ = LayoutRelation::equal;
    std::weak_ptr<View> second_;
    LayoutAttribute secondAttribute_ = LayoutAttribute::notAnAttribute;
    double multiplier_ = 1;
    double constant_ = 0;
    LayoutPriority priority_ = layoutPriorityRequired;
    bool active_ = false;
    std::weak_ptr<View> container_;
};

// One attribute of a view, for making constraints the short way.
struct LayoutAnchor {
    std::weak_ptr<View> view;
    LayoutAttribute attribute = LayoutAttribute::notAnAttribute;

    std::shared_ptr<LayoutConstraint> constraintEqualTo(const LayoutAnchor& other, double constant = 0) const;
    std::shared_ptr<LayoutConstraint> constraintLessThanOrEqualTo(const LayoutAnchor& other,
                                                                  double constant = 0) const;
    std::shared_ptr<LayoutConstraint> constraintGreaterThanOrEqualTo(const LayoutAnchor& other,
                                                                     double constant = 0) const;
    // Dimension anchors only.
    std::shared_ptr<LayoutConstraint> constraintEqualToConstant(double constant) const;
    std::shared_ptr<LayoutConstraint> constraintLessThanOrEqualToConstant(double constant) const;
    std::shared_ptr<LayoutConstraint> constraintGreaterThanOrEqualToConstant(double constant) const;
};

// Pins a view to all four sides of another with insets: leading = other.leading + left, trailing =
// other.trailing - right, bottom = other.bottom - bottom, top = other.top + top, activated together, after
// turning off the view's autoresizing-mask translation. Nothing happens without the other view.
void pinEdges(const std::shared_ptr<View>& view, const std::shared_ptr<View>& other,
              const graphics::EdgeInsets& insets = {});

// Places the constrained subviews of a container (called by View::layout).
void solveConstraints(View& container);

} // namespace ui
