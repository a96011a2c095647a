#pragma once

// Plain container views for layouts: a top-left-origin view, a split view without a visible divider, and a
// top-left-origin view filled with the library's background colour.

#include "Vimbra/Style.hpp"
#include "ui/SplitView.hpp"
#include "ui/View.hpp"

#include <memory>

namespace vimbra {

// A view whose origin is its top-left corner.
class FlippedView : public ui::View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
};

// A split view whose divider takes no room and is never drawn: its subviews abut.
class NoDividerSplitView : public ui::SplitView {
public:
    using SplitView::SplitView;
    graphics::ColorRef dividerColor() const override { return graphics::Color::clear(); }
    double dividerThickness() const override { return 0.0; }
    void drawDivider(const graphics::Rect&) override {}
    // It covers its whole bounds and takes no vibrancy from what lies behind.
    bool isOpaque() const { return true; }
    bool allowsVibrancy() const { return false; }
};

// A top-left-origin view for constraint-based layouts, layer-backed with its layer filled with the
// background colour of the shared style. The colour is copied when the view is made: replacing the
// style changes the views made afterwards only.
class StyledFlippedView : public ui::View {
public:
    using ViewStyle = BaseStyle;

    explicit StyledFlippedView(const graphics::Rect& frame = {});

    // The shared style: dark appearance, emphasized backgrounds, not opaque, "Background/Normal".
    static std::shared_ptr<BaseStyle> style();
    static void setStyle(std::shared_ptr<BaseStyle> style);

    bool isFlipped() const override { return true; }
};

} // namespace vimbra
