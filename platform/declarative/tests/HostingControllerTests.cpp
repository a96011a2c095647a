// The hosting controller publishes its tree's sizes as its preferred size and its window's limits.

#include "Support.hpp"
#include "declarative/HostingController.hpp"

#include <gtest/gtest.h>

using namespace declarative;

TEST(HostingController, AFixedFrameMakesAFixedSizeWindowAndAFlexibleTreeLeavesItFree) {
    auto fixed = std::make_shared<HostingController>(ColorView(graphics::Color::black()).frame(400, 572));
    fixed->setSizingOptions(HostingSizingOption::preferredContentSize | HostingSizingOption::minSize |
                            HostingSizingOption::maxSize);
    EXPECT_FALSE(fixed->isViewLoaded());
    auto window = ui::Window::makeWithContentViewController(fixed, ui::WindowStyle::titled);
    EXPECT_EQ(fixed->preferredContentSize(), Size(400, 572));
    EXPECT_EQ(window->contentAreaRect().size, Size(400, 572));
    EXPECT_EQ(window->contentView(), fixed->hostingView());
    window->orderFront(); // the limits are published as the view appears
    EXPECT_EQ(window->contentMinSize(), Size(400, 572));
    EXPECT_EQ(window->contentMaxSize(), Size(400, 572));

    // A tree that takes any size sets no limits; without the options nothing is published.
    auto flexible = std::make_shared<HostingController>(ColorView(graphics::Color::black()));
    flexible->setSizingOptions(HostingSizingOption::minSize | HostingSizingOption::maxSize);
    auto free = ui::Window::make(Rect(0, 0, 300, 200));
    free->setContentViewController(flexible);
    free->orderFront();
    EXPECT_EQ(free->contentMaxSize(), Size(0, 0));
    EXPECT_EQ(flexible->preferredContentSize(), Size(0, 0));

    window->close();
    free->close();
}
