// The styled text field and its cell: geometry, drawing from the style, the focus ring, the field
// editor's look, and editing through real key and pointer events.
#include "FieldsTestSupport.hpp"
#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "display/Clipboard.hpp"
#include "ui/Text.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::Rect;

namespace {

// A cell whose style has no bezel images and a background colour of its own.
class PlainCell : public StyledTextFieldCell {
public:
    PlainCell() { applyStyle(); }
    static std::shared_ptr<TextFieldCellStyle> plainStyle() {
        static const auto shared = [] {
            auto style = std::make_shared<TextFieldCellStyle>();
            style->setBezelImages({});
            style->backgroundColor = graphics::Color::rgba(0.1, 0.2, 0.3);
            return style;
        }();
        return shared;
    }
    std::shared_ptr<TextFieldCellStyle> style() const override { return plainStyle(); }
};

class PlainField : public StyledTextField {
public:
    explicit PlainField(const Rect& frame) : StyledTextField(frame, std::make_shared<PlainCell>()) {}
};

std::vector<graphics::RecordedOp> textOps(const graphics::DrawRecorder& recorder, const std::string& text) {
    std::vector<graphics::RecordedOp> found;
    for (const auto& op : recorder.ops(DrawOpKind::text)) {
        if (op.text == text) {
            found.push_back(op);
        }
    }
    return found;
}

// Strokes of the ring colour: the field's focus ring.
int ringStrokes(const graphics::DrawRecorder& recorder, const graphics::ColorRef& color) {
    int count = 0;
    for (const auto& op : recorder.ops(DrawOpKind::strokePath)) {
        count += op.color && op.color->sameComponents(*color) && op.lineWidth == 2 ? 1 : 0;
    }
    return count;
}

} // namespace

TEST(StyledTextField, GeometryFollowsTheStylesPaddingBezelAndCentring) {
    auto field = std::make_shared<StyledTextField>(Rect(0, 0, 100, 22), 3);
    auto cell = field->styledCell();
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(field->isBezeled());
    EXPECT_EQ(cell->drawingRectForBounds(Rect(0, 0, 100, 22)), Rect(6, 2, 88, 18));
    const double line = cell->attributedTitle().size().height;
    const Rect title = cell->titleRectForBounds(Rect(0, 0, 100, 26));
    EXPECT_DOUBLE_EQ(title.minY(), 2 + (22 - line) * 0.5);
    EXPECT_DOUBLE_EQ(title.height(), line);
    cell->setVerticallyCenter(false);
    EXPECT_EQ(cell->titleRectForBounds(Rect(0, 0, 100, 26)), Rect(6, 2, 88, 22));
    cell->setVerticallyCenter(true);

    EXPECT_EQ(field->alignmentRectInsets(), graphics::EdgeInsets(3, 2, 3, 2));
    // The field is flipped: its first baseline is measured to the foot of the centred line.
    const Rect t = cell->titleRectForBounds(field->bounds());
    EXPECT_DOUBLE_EQ(field->firstBaselineOffsetFromTop(), t.maxY() - 3);
    EXPECT_DOUBLE_EQ(field->lastBaselineOffsetFromBottom(), 22 - t.maxY() + 3);
    // At least as large as the bezel image.
    const auto bezel = cell->style()->bezelImageFor(cell->controlState());
    ASSERT_NE(bezel, nullptr);
    EXPECT_GE(field->intrinsicContentSize().height, bezel->size().height);

    // Neither bezeled nor bordered: the toolkit's insets and the bounds as drawing rect.
    field->setBezeled(false);
    EXPECT_EQ(field->alignmentRectInsets(), graphics::EdgeInsets());
    EXPECT_EQ(cell->drawingRectForBounds(Rect(0, 0, 100, 22)), Rect(0, 0, 100, 22));

    // A style without a bezel image: the toolkit's intrinsic size.
    auto plain = std::make_shared<PlainField>(Rect(0, 0, 100, 22));
    EXPECT_EQ(plain->intrinsicContentSize(), plain->ui::TextField::intrinsicContentSize());
}

TEST(StyledTextField, DrawsTheBezelOrBackgroundThenValueOrPlaceholderAtTheirOffsets) {
    vimbratest::Scene scene(Rect(100, 100, 240, 120), 2.0);
    auto field = std::make_shared<StyledTextField>(Rect(10, 80, 200, 22));
    auto label = std::make_shared<StyledTextField>(Rect(10, 50, 200, 22));
    label->setBezeled(false);
    label->setStringValue("label");
    auto plain = std::make_shared<PlainField>(Rect(10, 20, 200, 22));
    plain->setStringValue("plain");
    field->setPlaceholderString("Name");
    for (auto& v : {field, label}) {
        scene.add(v);
    }
    scene.add(plain);

    const auto& recorder = fieldstest::redraw(scene);
    // The bezel image, not a fill, behind the bezeled field; the plain style fills its colour.
    int bezels = 0;
    for (const auto& op : recorder.ops(DrawOpKind::image)) {
        bezels += op.imageName == "qel-textfield" ? 1 : 0;
    }
    EXPECT_EQ(bezels, 1) << recorder.dump();
    int plainFills = 0;
    for (const auto& op : recorder.ops(DrawOpKind::fillPath)) {
        plainFills += op.color && op.color->sameComponents(*PlainCell::plainStyle()->backgroundColor) ? 1 : 0;
    }
    EXPECT_EQ(plainFills, 1);
    const auto placeholder = textOps(recorder, "Name");
    ASSERT_EQ(placeholder.size(), 1u) << recorder.dump();
    EXPECT_TRUE(placeholder[0].textColor->sameComponents(*vimbraColor("Grey 50%")));
    EXPECT_DOUBLE_EQ(placeholder[0].fontSize, field->styledCell()->font()->pointSize());
    const Rect fieldTitle = field->styledCell()->titleRectForBounds(field->bounds());
    EXPECT_DOUBLE_EQ(placeholder[0].rect.minX(), fieldTitle.minX() + 2); // the field's own coordinates
    // Unbezeled text sits one device pixel left of its title rect: half a point at 2x.
    const auto labelText = textOps(recorder, "label");
    ASSERT_EQ(labelText.size(), 1u);
    EXPECT_DOUBLE_EQ(labelText[0].rect.minX(), -0.5);
}

TEST(StyledTextField, TheFocusRingShowsOnlyWhileTheFieldHasKeyboardFocusInTheKeyWindow) {
    vimbratest::Scene scene(Rect(100, 100, 240, 120));
    auto field = std::make_shared<StyledTextField>(Rect(10, 80, 200, 22));
    auto other = std::make_shared<StyledTextField>(Rect(10, 40, 200, 22));
    scene.add(field);
    scene.add(other);
    const auto ring = field->styledCell()->style()->focusRingColorFor(field->styledCell()->controlState());
    ASSERT_NE(ring, nullptr);
    // Nobody has focus: no ring anywhere.
    EXPECT_EQ(ringStrokes(fieldstest::redraw(scene), ring), 0);

    fieldstest::click(scene, *field);
    ASSERT_NE(field->currentEditor(), nullptr);
    const auto& focused = fieldstest::redraw(scene);
    ASSERT_EQ(ringStrokes(focused, ring), 1);
    for (const auto& op : focused.ops(DrawOpKind::strokePath)) {
        if (op.lineWidth == 2) {
            EXPECT_EQ(op.rect, field->bounds().insetBy(2, 2));
        }
    }
    // While the field editor shows the text, the cell draws its bezel but no text of its own.
    fieldstest::type(scene, "typed");
    EXPECT_TRUE(textOps(fieldstest::redraw(scene), "typed").size() <= 1u);

    scene.backend->focusOut();
    EXPECT_EQ(ringStrokes(fieldstest::redraw(scene), ring), 0);
}

TEST(StyledTextField, TheFieldEditorTakesTheStylesLookAndEditsWithKeysClicksAndTheClipboard) {
    vimbratest::Scene scene(Rect(100, 100, 240, 120));
    auto first = std::make_shared<StyledTextField>(Rect(10, 80, 200, 22));
    auto second = std::make_shared<StyledTextField>(Rect(10, 40, 200, 22));
    scene.add(first);
    scene.add(second);
    auto clipboard = std::make_shared<display::MemoryClipboard>();
    scene.window->fieldEditor(true, nullptr)
        ->setClipboardAccess({[clipboard] { return clipboard->text(); },
                              [clipboard](const std::string& t) { clipboard->setText(t); }});

    fieldstest::click(scene, *first);
    auto editor = first->currentEditor();
    ASSERT_NE(editor, nullptr);
    const auto style = first->styledCell()->style();
    EXPECT_EQ(editor->font(), style->font);
    EXPECT_EQ(editor->textColor(), style->textColor);
    EXPECT_EQ(editor->insertionPointColor(), style->textColor);
    EXPECT_FALSE(editor->drawsBackground());
    EXPECT_EQ(editor->selectedTextAttributes().foregroundColor, style->selectedTextColor);
    EXPECT_EQ(editor->selectedTextAttributes().backgroundColor, style->selectedBackgroundColor);
    // The editor covers the rect the cell draws the text in: 2 points right of the title rect.
    EXPECT_EQ(editor->frame(), first->styledCell()->titleRectForBounds(first->bounds()).offsetBy(2, 0));

    fieldstest::type(scene, "hello world");
    EXPECT_EQ(first->stringValue(), "hello world");
    // A double click selects a word; Control-C copies it, Control-V pastes it into the other field.
    fieldstest::click(scene, *first, editor->frame().minX() + editor->caretOffset(8), 2);
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{6, 11}));
    fieldstest::control(scene, 'c');
    EXPECT_EQ(clipboard->text(), "world");
    fieldstest::key(scene, ui::utf8(ui::SpecialKey::tab));
    EXPECT_EQ(first->currentEditor(), nullptr);
    EXPECT_EQ(second->currentEditor(), editor);
    fieldstest::control(scene, 'v');
    EXPECT_EQ(second->stringValue(), "world");
    fieldstest::control(scene, 'z');
    EXPECT_EQ(second->stringValue(), "");
    fieldstest::key(scene, ui::utf8(ui::SpecialKey::backTab));
    EXPECT_EQ(first->currentEditor(), editor);
    EXPECT_EQ(first->stringValue(), "hello world");
}

TEST(StyledTextField, TheTextStaysPutWhenTheFieldTakesFocusByClickOrTab) {
    vimbratest::Scene scene(Rect(100, 100, 240, 120), 2.0);
    auto field = std::make_shared<StyledTextField>(Rect(10, 80, 200, 22));
    auto label = std::make_shared<StyledTextField>(Rect(10, 50, 200, 22));
    auto other = std::make_shared<StyledTextField>(Rect(10, 20, 200, 22));
    label->setBezeled(false);
    field->setStringValue("fox");
    label->setStringValue("dog");
    scene.add(field);
    scene.add(label);
    scene.add(other);
    // The top-left corner of the drawn text in device pixels (text is laid out from there).
    auto corner = [&](const std::string& text) {
        const auto drawn = textOps(fieldstest::redraw(scene), text);
        return drawn.size() == 1 ? drawn[0].deviceRect.origin : graphics::Point(-1, -1);
    };
    for (const auto& [view, text] : {std::pair{field, "fox"}, std::pair{label, "dog"}}) {
        const auto unfocused = corner(text);
        ASSERT_NE(unfocused, graphics::Point(-1, -1)) << text;
        fieldstest::click(scene, *view, 100);
        ASSERT_NE(view->currentEditor(), nullptr);
        EXPECT_EQ(corner(text), unfocused) << text << " focused by a click";
        fieldstest::click(scene, *other);
        EXPECT_EQ(corner(text), unfocused) << text;
        fieldstest::key(scene, ui::utf8(ui::SpecialKey::tab));
        if (view == label) {
            fieldstest::key(scene, ui::utf8(ui::SpecialKey::tab));
        }
        ASSERT_NE(view->currentEditor(), nullptr);
        EXPECT_EQ(corner(text), unfocused) << text << " focused by Tab";
        fieldstest::click(scene, *other);
    }
}

TEST(StyledTextField, SelectionIsKeptQuietlyAndCentringRedraws) {
    vimbratest::Scene scene;
    auto field = std::make_shared<StyledTextField>(Rect(10, 80, 200, 22));
    scene.add(field);
    fieldstest::redraw(scene);
    ASSERT_FALSE(field->needsDisplay());
    field->setSelected(true);
    EXPECT_TRUE(field->isSelected());
    EXPECT_TRUE(field->styledCell()->isSelected());
    EXPECT_FALSE(field->needsDisplay());
    EXPECT_TRUE(field->styledCell()->controlState().contains(StyledControlState::selected));
    field->setVerticallyCenter(false);
    EXPECT_FALSE(field->styledCell()->verticallyCenter());
    EXPECT_TRUE(field->needsDisplay());
    EXPECT_DEATH(field->setCell(std::make_shared<ui::TextFieldCell>()), "cell of another class");
}
