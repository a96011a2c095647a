// The validating properties field: layout with and without its icon, its focus look and message popover
// through clicks and keys, and its background by validity and focus.
#include "FieldsTestSupport.hpp"
#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingPropertiesField.hpp"

#include <gtest/gtest.h>
#include <type_traits>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::Rect;

namespace {

graphics::ImageRef iconImage() {
    return graphics::Image::draw({14, 24}, 2.0, [](graphics::GraphicsContext& context) {
        context.fillRect(Rect(2, 2, 10, 20), graphics::Color::white(0.8));
    });
}

struct PropertiesScene {
    vimbratest::Scene scene{Rect(200, 300, 320, 200)};
    std::shared_ptr<ValidatingPropertiesField> field = ValidatingPropertiesField::make(iconImage());
    std::shared_ptr<ui::TextField> other = std::make_shared<ui::TextField>(Rect(20, 60, 200, 22));

    PropertiesScene() {
        field->setFrame(Rect(20, 120, 200, 28));
        scene.add(field);
        scene.add(other);
        scene.window->contentView()->layoutSubtreeIfNeeded();
        fieldstest::turn();
    }
    bool shown() const { return field->popoverController()->popover()->isShown(); }
    // Names of the images drawn and colours of the 2-point strokes, after a whole redraw.
    std::pair<std::vector<std::string>, std::vector<graphics::Color>> looks() const {
        const auto& recorder = fieldstest::redraw(scene);
        std::pair<std::vector<std::string>, std::vector<graphics::Color>> found;
        for (const auto& op : recorder.ops(DrawOpKind::image)) {
            if (op.imageName.rfind("qel-textfield", 0) == 0) {
                found.first.push_back(op.imageName);
            }
        }
        for (const auto& op : recorder.ops(DrawOpKind::strokePath)) {
            if (op.lineWidth == 2 && op.color) {
                found.second.push_back(*op.color);
            }
        }
        return found;
    }
};

} // namespace

TEST(ValidatingPropertiesField, TheFieldSitsAfterItsIconOrFillsTheView) {
    PropertiesScene s;
    EXPECT_FALSE(s.field->isFlipped());
    const Rect icon = s.field->icon()->frame();
    EXPECT_EQ(icon, Rect(3, 2, 14, 24));
    const Rect text = s.field->textField()->frame();
    EXPECT_EQ(text.minX(), 25);
    EXPECT_EQ(text.maxX(), 197);
    EXPECT_DOUBLE_EQ(text.midY(), 14);

    auto plain = ValidatingPropertiesField::make();
    plain->setFrame(Rect(0, 0, 120, 22));
    s.scene.add(plain);
    plain->layoutSubtreeIfNeeded();
    EXPECT_EQ(plain->icon(), nullptr);
    EXPECT_EQ(plain->textField()->frame(), Rect(0, 0, 120, 22));

    // Only make() builds the view, so none is ever without its subviews.
    EXPECT_FALSE((std::is_constructible_v<ValidatingPropertiesField, graphics::ImageRef>));
}

TEST(ValidatingPropertiesField, FocusShowsTheRingAndMessageAndTabTakesThemAway) {
    PropertiesScene s;
    s.field->setMessage("Out of range");
    s.field->setValid(false);
    EXPECT_EQ(s.field->textField()->textColor(), vimbraColor("Error"));
    EXPECT_EQ(s.looks().first, std::vector<std::string>{"qel-textfield-error"});
    EXPECT_TRUE(s.looks().second.empty());

    fieldstest::click(s.scene, *s.field->textField());
    fieldstest::turn();
    EXPECT_TRUE(s.field->isSelected());
    ASSERT_TRUE(s.shown());
    // Above the view: its maximum-y edge, the view not being flipped.
    const auto frame = s.field->popoverController()->popover()->window()->frame();
    const auto onScreen = s.scene.window->convertRectToScreen(s.field->frame());
    EXPECT_GT(frame.minY(), onScreen.maxY());
    auto [images, rings] = s.looks();
    EXPECT_EQ(images, std::vector<std::string>{"qel-textfield"});
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_TRUE(rings[0].sameComponents(*vimbraColor("Error")));

    // Valid while focused: the highlight ring. The popover text follows only when asked.
    s.field->setValid(true);
    s.field->setMessage("Fine now");
    EXPECT_EQ(s.field->popoverController()->popover()->contentTextField()->stringValue(), "Out of range");
    s.field->updateMessagePopover();
    EXPECT_EQ(s.field->popoverController()->popover()->contentTextField()->stringValue(), "Fine now");
    rings = s.looks().second;
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_TRUE(rings[0].sameComponents(*vimbraColor("Highlight/System")));

    fieldstest::key(s.scene, ui::utf8(ui::SpecialKey::tab));
    fieldstest::turn();
    EXPECT_FALSE(s.field->isSelected());
    EXPECT_FALSE(s.shown());
    EXPECT_TRUE(s.looks().second.empty());
}

TEST(ValidatingPropertiesField, NoMessageNoPopoverAndValidityAloneRedrawsNothing) {
    PropertiesScene s;
    s.field->setValid(false);
    fieldstest::click(s.scene, *s.field->textField());
    fieldstest::turn();
    EXPECT_TRUE(s.field->isSelected());
    EXPECT_FALSE(s.shown());
    fieldstest::redraw(s.scene);
    s.field->setValid(true);
    EXPECT_FALSE(s.field->needsDisplay());
    EXPECT_EQ(s.field->textField()->textColor(), vimbraColor("Grey 85%"));
}

TEST(ValidatingPropertiesField, AClickOnTheIconFocusesTheFieldAndLeavingOrClosingTheWindowClosesThePopover) {
    PropertiesScene s;
    s.field->setMessage("Drag or type");
    fieldstest::click(s.scene, *s.field->icon(), 7);
    fieldstest::turn();
    EXPECT_NE(s.field->textField()->currentEditor(), nullptr);
    EXPECT_TRUE(s.field->isSelected());
    ASSERT_TRUE(s.shown());
    s.field->removeFromSuperview();
    EXPECT_FALSE(s.shown());

    s.scene.add(s.field);
    fieldstest::click(s.scene, *s.field->icon(), 7);
    fieldstest::turn();
    ASSERT_TRUE(s.shown());
    s.scene.window->close();
    EXPECT_FALSE(s.shown());
}
