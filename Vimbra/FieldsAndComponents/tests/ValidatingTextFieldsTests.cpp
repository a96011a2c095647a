// The validating text field's look and message popover through focus and typing, and the
// width-resizing field's intrinsic width.
#include "FieldsTestSupport.hpp"
#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::Rect;

namespace {

struct ValidatingScene {
    vimbratest::Scene scene{Rect(200, 300, 320, 200)};
    std::shared_ptr<ValidatingTextField> field =
        std::make_shared<ValidatingTextField>(Rect(20, 140, 200, 22));
    std::shared_ptr<StyledTextField> other = std::make_shared<StyledTextField>(Rect(20, 100, 200, 22));

    ValidatingScene() {
        scene.add(field);
        scene.add(other);
        fieldstest::turn();
    }
    bool shown() const { return field->popoverController()->popover()->isShown(); }
    std::string shownText() const {
        return field->popoverController()->popover()->contentTextField()->stringValue();
    }
};

} // namespace

TEST(ValidatingTextField, InvalidDrawsTheStylesInvalidLookWithoutTouchingThePopover) {
    ValidatingScene s;
    auto cell = std::dynamic_pointer_cast<ValidatingTextFieldCell>(s.field->cell());
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(s.field->isValid());
    EXPECT_TRUE(cell->isValid());

    s.field->setStringValue("12a");
    fieldstest::redraw(s.scene);
    s.field->setMessage("Digits only");
    s.field->setValid(false);
    EXPECT_FALSE(cell->isValid());
    EXPECT_TRUE(s.field->needsDisplay());
    EXPECT_EQ(cell->controlState().rawValue, 129);
    EXPECT_FALSE(s.shown());
    const auto& recorder = fieldstest::redraw(s.scene);
    int errorBezels = 0;
    for (const auto& op : recorder.ops(DrawOpKind::image)) {
        errorBezels += op.imageName == "qel-textfield-error" ? 1 : 0;
    }
    EXPECT_EQ(errorBezels, 1) << recorder.dump();
    for (const auto& op : recorder.ops(DrawOpKind::text)) {
        if (op.text == "12a") {
            EXPECT_TRUE(op.textColor->sameComponents(*vimbraColor("Error")));
        }
    }
    s.field->setValid(true);
    EXPECT_EQ(cell->controlState().rawValue, 1);
}

TEST(ValidatingTextField, ThePopoverOpensWithFocusAndAMessageFollowsEditsAndClosesOnTab) {
    ValidatingScene s;
    s.field->setMessage("Digits only");
    fieldstest::click(s.scene, *s.field);
    EXPECT_FALSE(s.shown()); // focus is heard one turn later
    fieldstest::turn();
    ASSERT_TRUE(s.shown());
    EXPECT_EQ(s.shownText(), "Digits only");
    // Under the field on the screen: its maximum-y edge, the field being flipped.
    const auto popoverFrame = s.field->popoverController()->popover()->window()->frame();
    const auto fieldOnScreen =
        s.scene.window->convertRectToScreen(s.field->convertRectToView(s.field->bounds(), nullptr));
    EXPECT_LT(popoverFrame.maxY(), fieldOnScreen.minY());
    EXPECT_EQ(s.scene.window->firstResponder(), s.field->currentEditor());

    // Each edit shows the message as it is then, in the same popover.
    s.field->setMessage("Still not a number");
    fieldstest::type(s.scene, "x");
    EXPECT_EQ(s.shownText(), "Still not a number");
    EXPECT_EQ(s.field->popoverController()->popover()->window()->frame().origin, popoverFrame.origin);

    // A cleared message leaves the popover until the next edit.
    s.field->setMessage(std::nullopt);
    fieldstest::turn();
    EXPECT_TRUE(s.shown());
    fieldstest::type(s.scene, "y");
    EXPECT_FALSE(s.shown());

    // With a message again, one key opens it; Tab away closes it.
    s.field->setMessage("Too long");
    fieldstest::type(s.scene, "z");
    EXPECT_TRUE(s.shown());
    fieldstest::key(s.scene, ui::utf8(ui::SpecialKey::tab));
    fieldstest::turn();
    EXPECT_FALSE(s.shown());
    EXPECT_NE(s.other->currentEditor(), nullptr);
}

TEST(ValidatingTextField, FocusWithoutAMessageOpensNothing) {
    ValidatingScene s;
    s.field->setValid(false);
    fieldstest::click(s.scene, *s.field);
    fieldstest::turn();
    EXPECT_FALSE(s.shown());
}

TEST(ValidatingTextField, AFieldThatLeavesItsWindowOrGoesTakesItsPopoverAlong) {
    ValidatingScene s;
    s.field->setMessage("Digits only");
    fieldstest::click(s.scene, *s.field);
    fieldstest::turn();
    ASSERT_TRUE(s.shown());
    s.field->removeFromSuperview();
    EXPECT_FALSE(s.shown());

    s.scene.add(s.field);
    fieldstest::click(s.scene, *s.field);
    fieldstest::turn();
    ASSERT_TRUE(s.shown());
    std::weak_ptr<ui::Window> popoverWindow = s.field->popoverController()->popover()->window();
    auto popover = s.field->popoverController()->popover();
    s.field->removeFromSuperview();
    s.field.reset();
    EXPECT_FALSE(popover->isShown());
    EXPECT_TRUE(popoverWindow.expired() || !popoverWindow.lock()->isVisible());
}

TEST(ValidatingTextField, ThePopoverGoesWhenTheFieldsWindowIsOrderedOutOrClosed) {
    ValidatingScene s;
    s.field->setMessage("Digits only");
    fieldstest::click(s.scene, *s.field);
    fieldstest::turn();
    ASSERT_TRUE(s.shown());
    auto popoverWindow = s.field->popoverController()->popover()->window();
    s.scene.window->orderOut();
    EXPECT_FALSE(s.shown());
    EXPECT_FALSE(popoverWindow->isVisible());

    s.scene.window->makeKeyAndOrderFront();
    fieldstest::click(s.scene, *s.other);
    fieldstest::click(s.scene, *s.field);
    fieldstest::turn();
    ASSERT_TRUE(s.shown());
    s.scene.window->close();
    EXPECT_FALSE(s.shown());
}

TEST(WidthResizingTextField, IntrinsicWidthFollowsTheWholeTextOnOneLine) {
    vimbratest::Scene scene;
    auto field = std::make_shared<WidthResizingTextField>(Rect(10, 10, 40, 22));
    scene.add(field);
    field->setStringValue("ab");
    const double narrow = field->intrinsicContentSize().width;
    field->setStringValue("a much longer text than before");
    const auto wide = field->intrinsicContentSize();
    EXPECT_GT(wide.width, narrow + 50);
    const auto styled = field->styledCell();
    const double text = std::ceil(styled->attributedTitle().size().width);
    EXPECT_DOUBLE_EQ(wide.width, text + 12 + 2); // the padding and the text's offset in a bezeled cell
    EXPECT_EQ(wide, field->cell()->cellSizeForBounds(Rect(0, 0, 1e9, wide.height)));
}
