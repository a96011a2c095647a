// A program that binds a pop-up with the header templates alone and steps it by action name. It names no
// function of the library's pop-up stepping, so it shows that linking the library is enough for its
// actions to be answered.

#include "Vimbra/PopUpExtensions.hpp"
#include "Vimbra/tests/MenuValues.hpp"
#include "core/MainQueue.hpp"
#include "ui/Application.hpp"

#include <gtest/gtest.h>

using vimbratest::Shape;

TEST(LinkedActions, APopUpBoundByTheTemplatesStepsByActionName) {
    auto popUp = std::make_shared<ui::PopUpButton>(graphics::Rect(0, 0, 140, 22));
    core::CurrentValueSubject<Shape> shape(Shape(0));
    core::CancellableSet store;
    std::vector<std::int64_t> chosen;
    vimbra::bind<Shape>(popUp, shape.publisher(), store,
                        [&](const Shape& s) { chosen.push_back(s.rawValue()); });
    core::MainQueue::shared().drain();
    ASSERT_EQ(popUp->titleOfSelectedItem(), "Sine");

    EXPECT_TRUE(popUp->respondsToAction("selectNextItem:"));
    EXPECT_TRUE(popUp->respondsToAction("selectPreviousItem:"));
    auto app = ui::Application::shared();
    ASSERT_TRUE(app->sendAction("selectNextItem:", popUp, nullptr));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Square");
    ASSERT_TRUE(app->sendAction("selectPreviousItem:", popUp, nullptr));
    ASSERT_TRUE(app->sendAction("selectPreviousItem:", popUp, nullptr)); // wraps to the last item
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Saw");
    core::MainQueue::shared().drain();
    EXPECT_EQ(chosen, (std::vector<std::int64_t>{1, 0, 2}));

    // Any object answers the context-menu action; only pop-ups answer the stepping ones.
    const auto plain = std::make_shared<ui::Object>();
    EXPECT_TRUE(plain->respondsToAction("popUpContextMenuForButton:"));
    EXPECT_FALSE(plain->respondsToAction("selectNextItem:"));
}
