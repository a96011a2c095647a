#pragma once

// A split view: its subviews side by side (vertical dividers) or stacked from the top (horizontal
// dividers), filling it along the other axis, with a divider between neighbours. Subclasses change the
// divider's thickness, colour and drawing.

#include "ui/View.hpp"

namespace ui {

class SplitView : public View {
public:
    explicit SplitView(const graphics::Rect& frame = {}) : View(frame) {}

    // Split views are flipped, so the first stacked subview is at the top.
    bool isFlipped() const override { return true; }

    // Vertical dividers put the subviews side by side, left to right; horizontal ones stack them.
    bool isVertical() const { return vertical_; }
    void setVertical(bool vertical);

    virtual double dividerThickness() const { return 1.0; }
    virtual graphics::ColorRef dividerColor() const { return graphics::Color::separatorColor(); }
    // Draws one divider (rect in the split view's coordinates); the base fills it with dividerColor.
    virtual void drawDivider(const graphics::Rect& rect);
    // The rect of the divider after subview `index`.
    graphics::Rect dividerRect(std::size_t index) const;

    // Fits the subviews into the bounds: each keeps its share of the length along the axis (equal
    // shares when none has any), dividers between them, the full extent across. Runs on layout, which
    // adding or removing a subview and resizing the split view ask for.
    void adjustSubviews();
    // Moves divider `index` to position (along the axis): the subviews on either side give and take.
    void setPosition(double position, std::size_t index);

    void layout() override;
    void setFrame(const graphics::Rect& frame) override;
    void didAddSubview(const std::shared_ptr<View>& subview) override;
    void willRemoveSubview(const std::shared_ptr<View>& subview) override;
    void draw(const graphics::Rect& dirtyRect) override;

private:
    // Length along the axis, and position of a rect.
    double length(const graphics::Rect& r) const { return vertical_ ? r.width() : r.height(); }
    double start(const graphics::Rect& r) const { return vertical_ ? r.minX() : r.minY(); }
    graphics::Rect place(double start, double length) const;

    bool vertical_ = false;
};

} // namespace ui
