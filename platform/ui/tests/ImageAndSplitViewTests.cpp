// Image views as controls, split views, and the cell hooks styled controls build on.

#include "Helpers.hpp"
#include "ui/Button.hpp"
#include "ui/ImageView.hpp"
#include "ui/SplitView.hpp"

#include <gtest/gtest.h>

using graphics::Rect;
using ui::EventType;
using uitest::mouse;

namespace {

graphics::ImageRef solidImage(double width, double height) {
    return graphics::Image::make({width, height});
}

TEST(ImageView, IsAControlWhoseClicksTravelOnWithoutAnAction) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 100, 60));
    auto below = std::make_shared<uitest::ProbeView>(Rect(0, 0, 100, 60));
    auto image = std::make_shared<ui::ImageView>(Rect(10, 10, 40, 40));
    window->contentView()->addSubview(below);
    below->addSubview(image);
    window->makeKeyWindow();
    auto target = std::make_shared<ui::Object>();
    int actions = 0;
    target->setActionHandler("changed:", [&](const auto&) { ++actions; });
    image->setTarget(target);
    image->setAction("changed:");
    image->setDoubleValue(0.25);
    EXPECT_EQ(image->doubleValue(), 0.25);
    EXPECT_TRUE(image->isEnabled());
    EXPECT_FALSE(image->isFlipped());

    window->sendEvent(mouse(EventType::leftMouseDown, 20, 20, window));
    window->sendEvent(mouse(EventType::leftMouseUp, 20, 20, window));
    // The press went on to the view below; the image view neither sent its action nor took focus.
    EXPECT_EQ(below->log, (std::vector<std::string>{"down 20,20", "up 20,20"}));
    EXPECT_EQ(actions, 0);
    EXPECT_NE(window->firstResponder(), image);
    EXPECT_TRUE(image->sendAction());
    EXPECT_EQ(actions, 1);
}

// A split view with no divider, as layouts use to abut their panes.
class NoDividerSplitView : public ui::SplitView {
public:
    using SplitView::SplitView;
    double dividerThickness() const override { return 0; }
};

TEST(SplitView, FillsItsBoundsWithItsPanesAndDividers) {
    uitest::WindowScope scope;
    auto window = ui::Window::make(Rect(0, 0, 200, 100));
    auto split = std::make_shared<ui::SplitView>(Rect(0, 0, 201, 100));
    split->setVertical(true);
    auto left = std::make_shared<ui::View>(Rect(0, 0, 50, 10));
    auto right = std::make_shared<ui::View>(Rect(0, 0, 150, 10));
    split->addSubview(left);
    split->addSubview(right);
    window->contentView()->addSubview(split);
    split->layoutSubtreeIfNeeded();
    EXPECT_EQ(left->frame(), Rect(0, 0, 50, 100));
    EXPECT_EQ(right->frame(), Rect(51, 0, 150, 100));
    EXPECT_EQ(split->dividerRect(0), Rect(50, 0, 1, 100));

    // Resized, the panes keep their shares; a moved divider trades length between its neighbours.
    split->setFrameSize({401, 80});
    split->layoutSubtreeIfNeeded();
    EXPECT_EQ(left->frame(), Rect(0, 0, 100, 80));
    EXPECT_EQ(right->frame(), Rect(101, 0, 300, 80));
    split->setPosition(120, 0);
    EXPECT_EQ(left->frame(), Rect(0, 0, 120, 80));
    EXPECT_EQ(right->frame(), Rect(121, 0, 280, 80));

    // Stacked panes with no divider abut, the first at the top.
    auto stacked = std::make_shared<NoDividerSplitView>(Rect(0, 0, 100, 60));
    auto top = std::make_shared<uitest::ProbeView>(Rect(0, 0, 100, 0));
    auto bottom = std::make_shared<uitest::ProbeView>(Rect(0, 0, 100, 0));
    top->fill = graphics::Color::rgba(1, 0, 0);
    bottom->fill = graphics::Color::rgba(0, 0, 1);
    stacked->addSubview(top);
    stacked->addSubview(bottom);
    window->setContentView(stacked); // which makes it the window's size, 200 × 100
    stacked->layoutSubtreeIfNeeded();
    EXPECT_EQ(top->frame(), Rect(0, 0, 200, 50));
    EXPECT_EQ(bottom->frame(), Rect(0, 50, 200, 50));
    EXPECT_EQ(top->convertRectToView(top->bounds(), nullptr), Rect(0, 50, 200, 50)); // the upper half
}

// A cell that takes its images from elsewhere and ignores attempts to set them.
class FixedImageCell : public ui::ButtonCell {
public:
    explicit FixedImageCell(graphics::ImageRef on) : on_(std::move(on)) {}
    graphics::ImageRef alternateImage() const override { return on_; }
    void setAlternateImage(graphics::ImageRef) override {}

private:
    graphics::ImageRef on_;
};

TEST(CellHooks, OverriddenImagesBackgroundStylesAndFocusMasksAreWhatControlsUse) {
    auto on = solidImage(8, 8);
    auto cell = std::make_shared<FixedImageCell>(on);
    cell->setButtonType(ui::ButtonType::switchButton);
    auto button = std::make_shared<ui::Button>(Rect(0, 0, 40, 20), cell);
    button->setAlternateImage(solidImage(4, 4));
    EXPECT_EQ(button->alternateImage(), on);
    button->setState(ui::StateValue::on);
    EXPECT_EQ(cell->displayedImage(), on);

    cell->setBackgroundStyle(ui::BackgroundStyle::emphasized);
    EXPECT_EQ(cell->interiorBackgroundStyle(), ui::BackgroundStyle::emphasized);
    EXPECT_EQ(button->focusRingMaskBounds(), Rect(0, 0, 40, 20));
    EXPECT_EQ(cell->focusRingMaskBoundsForFrame(Rect(3, 4, 5, 6), *button), Rect(3, 4, 5, 6));
}

} // namespace
