// The labels: their fonts and colours, insets, intrinsic sizes and shared styles.
#include "FieldsTestSupport.hpp"
#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/StyledLabels.hpp"
#include "Vimbra/Styles.hpp"

#include <gtest/gtest.h>
#include <optional>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::Rect;

namespace {

std::optional<graphics::RecordedOp> textOp(const graphics::DrawRecorder& recorder, const std::string& text) {
    for (const auto& op : recorder.ops(DrawOpKind::text)) {
        if (op.text == text) {
            return op;
        }
    }
    return std::nullopt;
}

} // namespace

TEST(StyledLabels, EachLabelDrawsInItsOwnFontAndColourAndNoRingOrBezel) {
    vimbratest::Scene scene;
    auto label = std::make_shared<StyledTextLabel>(Rect(10, 150, 200, 20));
    auto disabled = std::make_shared<StyledTextLabel>(Rect(10, 120, 200, 20));
    auto row = std::make_shared<StyledTableRowLabel>(Rect(10, 90, 200, 20));
    auto group = std::make_shared<StyledTableGroupRowLabel>(Rect(10, 60, 200, 20));
    label->setStringValue("Label");
    disabled->setStringValue("Disabled");
    disabled->setEnabled(false);
    row->setStringValue("0123");
    group->setStringValue("Group");
    for (const std::shared_ptr<StyledTextField>& l :
         {std::static_pointer_cast<StyledTextField>(label),
          std::static_pointer_cast<StyledTextField>(disabled), std::static_pointer_cast<StyledTextField>(row),
          std::static_pointer_cast<StyledTextField>(group)}) {
        l->setBezeled(false);
        l->setEditable(false);
        scene.add(l);
    }
    EXPECT_EQ(row->styledCell()->font(), Styles::monospacedDigitFont());
    EXPECT_EQ(group->styledCell()->font(), Styles::baseFont());

    const auto& recorder = fieldstest::redraw(scene);
    const std::pair<const char*, const char*> expected[] = {
        {"Label", "Grey 60%"}, {"Disabled", "Grey 30%"}, {"0123", "Grey 70%"}, {"Group", "Grey 50%"}};
    for (const auto& [text, colour] : expected) {
        const auto op = textOp(recorder, text);
        ASSERT_TRUE(op) << text;
        EXPECT_TRUE(op->textColor->sameComponents(*vimbraColor(colour))) << text;
        EXPECT_DOUBLE_EQ(op->fontSize, 10) << text;
        EXPECT_DOUBLE_EQ(op->rect.minX(), -1) << text; // one device pixel left of the title rect
    }
    // Labels draw no bezel and no ring: nothing but their text.
    EXPECT_TRUE(recorder.ops(DrawOpKind::image).empty()) << recorder.dump();
    EXPECT_TRUE(recorder.ops(DrawOpKind::strokePath).empty()) << recorder.dump();
}

TEST(StyledLabels, InsetsComeFromTheStyleAndBezelImagesWidenOnlyBezeledLabels) {
    auto label = std::make_shared<StyledTextLabel>(Rect(0, 0, 100, 20));
    label->setBezeled(false);
    EXPECT_EQ(label->alignmentRectInsets(), graphics::EdgeInsets(2, 2, 2, 2));
    label->setBezeled(true);
    EXPECT_EQ(label->alignmentRectInsets(), graphics::EdgeInsets(2, 2, 2, 2));
    auto field = std::make_shared<StyledTextField>(Rect(0, 0, 100, 20), 5);
    EXPECT_EQ(field->alignmentRectInsets(), graphics::EdgeInsets(5, 2, 5, 2));

    // No images in the label styles: the field's own size.
    auto group = std::make_shared<StyledTableGroupRowLabel>(Rect(0, 0, 100, 20));
    group->setStringValue("Group");
    const auto plain = group->intrinsicContentSize();
    EXPECT_EQ(plain, group->WidthResizingTextField::intrinsicContentSize());
    // A caller's bezel image, larger than the text, counts less the insets, for every label of the class.
    const auto style = StyledTableGroupRowLabelCell::sharedStyle();
    style->setBezelImages(makeImageTable({{StyledControlState::default_, "qel-textfield"}}));
    const auto image = style->bezelImageFor(StyledControlState::default_);
    ASSERT_NE(image, nullptr);
    const auto widened = group->intrinsicContentSize();
    EXPECT_DOUBLE_EQ(widened.height, std::max(plain.height, image->size().height) - 4);
    group->setBezeled(false);
    group->setBordered(true);
    EXPECT_EQ(group->intrinsicContentSize(), group->WidthResizingTextField::intrinsicContentSize());
    style->setBezelImages({});

    // The shared style reaches every label of the class at its next applyStyle.
    auto first = std::make_shared<StyledTextLabel>();
    auto second = std::make_shared<StyledTextLabel>();
    const auto saved = StyledTextLabelCell::sharedStyle()->textColor;
    StyledTextLabelCell::sharedStyle()->textColor = vimbraColor("Grey 100%");
    first->styledCell()->applyStyle();
    second->styledCell()->applyStyle();
    EXPECT_EQ(first->textColor(), vimbraColor("Grey 100%"));
    EXPECT_EQ(second->textColor(), vimbraColor("Grey 100%"));
    StyledTextLabelCell::sharedStyle()->textColor = saved;
    EXPECT_DEATH(first->setCell(std::make_shared<StyledTextFieldCell>()), "cell of another class");
}

TEST(StyledLabels, TableLabelsGrowWithTheirText) {
    auto row = std::make_shared<StyledTableRowLabel>(Rect(0, 0, 30, 20));
    row->setStringValue("1");
    const double one = row->intrinsicContentSize().width;
    row->setStringValue("1234567890");
    EXPECT_GT(row->intrinsicContentSize().width, one * 5);
}
