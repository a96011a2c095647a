// The styled push buttons and the check box, driven by real events on the headless back end and checked
// through what they draw.
#include "Vimbra/StyledControls/PelkoPushButton.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledCheckBox.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::RecordedOp;
using graphics::Rect;

namespace {

// A solid square image of the given size, named so its draws can be found.
graphics::ImageRef probeImage(double side, const std::string& name) {
    auto image = graphics::Image::draw({side, side}, 1.0, [side](graphics::GraphicsContext& context) {
        context.fillRect(Rect(0, 0, side, side / 2), graphics::Color::rgba(1, 0, 0));        // lower half
        context.fillRect(Rect(0, side / 2, side, side / 2), graphics::Color::rgba(0, 0, 1)); // upper half
    });
    image->setName(name);
    return image;
}

struct ButtonScene : vimbratest::Scene {
    ButtonScene() : Scene(Rect(200, 300, 200, 100)) {}

    // Redraws the window and answers what it drew.
    std::vector<RecordedOp> redraw() {
        backend->recorder()->clear();
        window->contentView()->setNeedsDisplay();
        backend->displayIfNeeded();
        return backend->recorder()->ops();
    }
    // A rect of a view in device pixels (scale 1, y down).
    Rect device(const ui::View& view, const Rect& r) const {
        const Rect w = view.convertRectToView(r, nullptr);
        return Rect(w.minX(), window->contentView()->bounds().height() - w.maxY(), w.width(), w.height());
    }
};

std::vector<RecordedOp> opsOf(const std::vector<RecordedOp>& ops, DrawOpKind kind,
                              const std::string& name = {}) {
    std::vector<RecordedOp> found;
    for (const auto& op : ops) {
        if (op.kind == kind && (name.empty() || op.imageName == name)) {
            found.push_back(op);
        }
    }
    return found;
}

// The focus rings drawn: strokes two points wide with round joins.
std::vector<RecordedOp> rings(const std::vector<RecordedOp>& ops) {
    std::vector<RecordedOp> found;
    for (const auto& op : opsOf(ops, DrawOpKind::strokePath)) {
        if (op.lineWidth == 2 && op.lineJoin == graphics::LineJoin::round) {
            found.push_back(op);
        }
    }
    return found;
}

// A styled button holding a cell of another class.
class ForeignCellButton : public StyledButton {
public:
    ForeignCellButton() : StyledButton(Rect(0, 0, 60, 22), std::make_shared<ui::ButtonCell>("Plain")) {}
};

} // namespace

TEST(StyledButton, AClickSendsTheActionOnceAndADragOutsideDoesNot) {
    ButtonScene s;
    auto receiver = std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"press:"});
    auto button = std::make_shared<StyledButton>(Rect(20, 20, 80, 22));
    button->setTitle("Go");
    button->setTarget(receiver);
    button->setAction("press:");
    s.add(button);

    s.backend->click(vimbratest::centre(*button));
    ASSERT_EQ(receiver->log.size(), 1u);
    EXPECT_EQ(receiver->senders[0], button);

    s.backend->mouseDown(vimbratest::centre(*button));
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_TRUE(button->cell()->isHighlighted());
    s.backend->mouseDragged({150, 80});
    s.backend->mouseUp({150, 80});
    EXPECT_EQ(receiver->log.size(), 1u);
    EXPECT_FALSE(button->isHighlighted());
}

TEST(StyledButton, IntrinsicSizeFollowsTheBezelImageAndTheFixedWidth) {
    auto insets = StyledButtonCell::sharedStyle()->alignmentRectInsets;
    auto bezel = StyledButtonCell::sharedStyle()->bezelImageForState(StyledControlState::default_);
    ASSERT_NE(bezel, nullptr);

    StyledButton button(Rect(0, 0, 60, 22), 80.0);
    button.setTitle("A long title for a button");
    const auto size = button.intrinsicContentSize();
    EXPECT_EQ(size.width, 80 - (insets.left + insets.right)); // the fixed width, not the title's
    EXPECT_EQ(size.height, bezel->height() - (insets.top + insets.bottom));

    StyledButton borderless(Rect(0, 0, 60, 22), 80.0);
    borderless.setBordered(false);
    EXPECT_EQ(borderless.intrinsicContentSize().width, 80);
    EXPECT_EQ(borderless.intrinsicContentSize().height,
              ui::Button(Rect(0, 0, 60, 22)).intrinsicContentSize().height);
}

TEST(StyledButton, AForeignCellIsNeverSelectedButTheWriteStillRedraws) {
    auto button = std::make_shared<ForeignCellButton>();
    button->setNeedsDisplay(false);
    button->setSelected(true);
    EXPECT_FALSE(button->isSelected());
    EXPECT_TRUE(button->needsDisplay());

    auto styled = std::make_shared<StyledButton>(Rect(0, 0, 60, 22));
    styled->setSelected(true);
    EXPECT_TRUE(styled->isSelected());
    EXPECT_EQ(std::dynamic_pointer_cast<StyledButtonCell>(styled->cell())->controlState().rawValue,
              (StyledControlState::default_ | StyledControlState::selected).rawValue);
}

TEST(StyledButton, TheFocusRingFollowsKeyboardFocusInTheKeyWindowOnly) {
    ButtonScene s;
    auto button = std::make_shared<StyledButton>(Rect(20, 20, 80, 22));
    auto other = std::make_shared<StyledButton>(Rect(110, 20, 80, 22));
    s.add(button);
    s.add(other);
    EXPECT_TRUE(rings(s.redraw()).empty());

    ASSERT_TRUE(s.window->makeFirstResponder(button));
    auto drawn = rings(s.redraw());
    ASSERT_EQ(drawn.size(), 1u) << s.backend->recorder()->dump();
    EXPECT_EQ(drawn[0].deviceRect, s.device(*button, button->bounds().insetBy(1, 1)));
    EXPECT_EQ(drawn[0].lineCap, graphics::LineCap::round);

    // Focus moves on with Tab; the ring goes with it.
    s.backend->typeKey("\t");
    ASSERT_EQ(s.window->firstResponder(), other);
    drawn = rings(s.redraw());
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].deviceRect, s.device(*other, other->bounds().insetBy(1, 1)));

    s.backend->focusOut();
    EXPECT_TRUE(rings(s.redraw()).empty());
}

TEST(StyledButtonCell, ImagesLandWhereTheirRectSaysInAFlippedButton) {
    ButtonScene s;
    auto button = std::make_shared<StyledButton>(Rect(20, 20, 100, 22));
    button->setImage(probeImage(16, "probe"));
    button->setImagePosition(ui::ImagePosition::imageLeft);
    button->setImageScaling(ui::ImageScaling::none);
    s.add(button);
    const Rect imageRect = button->cell()->imageRectForBounds(button->bounds());
    ASSERT_EQ(imageRect.minY(), 3);
    ASSERT_EQ(imageRect.height(), 16);

    auto images = opsOf(s.redraw(), DrawOpKind::image, "probe");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].deviceRect, s.device(*button, imageRect));
    // Upright (the image's upper half is blue) and whole.
    const auto at = s.device(*button, imageRect);
    EXPECT_GT(s.backend->pixel(static_cast<int>(at.midX()), static_cast<int>(at.minY()) + 1).b, 200);
    EXPECT_GT(s.backend->pixel(static_cast<int>(at.midX()), static_cast<int>(at.maxY()) - 1).r, 200);
}

TEST(StyledButtonCell, DisabledBezelsAndHighlightedImagesDrawAtHalfStrength) {
    ButtonScene s;
    auto button = std::make_shared<StyledButton>(Rect(20, 20, 100, 22));
    button->setImage(probeImage(16, "probe"));
    button->setImagePosition(ui::ImagePosition::imageOnly);
    s.add(button);

    auto ops = s.redraw();
    auto bezels = opsOf(ops, DrawOpKind::image, "qel-button");
    ASSERT_EQ(bezels.size(), 1u);
    EXPECT_EQ(bezels[0].fraction, 1.0);
    EXPECT_EQ(bezels[0].deviceRect, s.device(*button, button->bounds()));
    EXPECT_EQ(opsOf(ops, DrawOpKind::image, "probe").at(0).fraction, 1.0);

    button->setEnabled(false);
    ops = s.redraw();
    EXPECT_EQ(opsOf(ops, DrawOpKind::image, "qel-button").at(0).fraction, 0.5);
    EXPECT_EQ(opsOf(ops, DrawOpKind::image, "probe").at(0).fraction, 0.5);

    button->setEnabled(true);
    s.backend->mouseDown(vimbratest::centre(*button));
    ops = s.redraw();
    EXPECT_EQ(opsOf(ops, DrawOpKind::image, "qel-button-down").at(0).fraction, 1.0);
    EXPECT_EQ(opsOf(ops, DrawOpKind::image, "probe").at(0).fraction, 0.5);
    s.backend->mouseUp(vimbratest::centre(*button));
}

TEST(StyledButtonCell, TheTitleIsCentredAndTruncatedInTheStyleFontAndStateColour) {
    ButtonScene s;
    auto button = std::make_shared<StyledButton>(Rect(20, 20, 80, 22));
    button->setTitle("Send");
    button->setAlignment(graphics::TextAlignment::left);
    s.add(button);
    auto style = StyledButtonCell::sharedStyle();

    auto texts = opsOf(s.redraw(), DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Send");
    EXPECT_EQ(texts[0].paragraphStyle.alignment, graphics::TextAlignment::center);
    EXPECT_EQ(texts[0].paragraphStyle.lineBreakMode, graphics::LineBreakMode::truncatingTail);
    EXPECT_EQ(texts[0].fontSize, style->font->pointSize());
    EXPECT_TRUE(texts[0].textColor->sameComponents(*style->textColor));

    button->setEnabled(false);
    texts = opsOf(s.redraw(), DrawOpKind::text);
    EXPECT_TRUE(texts.at(0).textColor->sameComponents(*style->disabledTextColor));
}

TEST(StyledButtonCellDeathTest, InsetsMoveByTheBottomInsetAndAnUnknownImageScalingStops) {
    EXPECT_EQ(insetRect(Rect(0.5, 0, 40, 20), {3, 4, 5, 4}), Rect(4, 5, 33, 12));
    StyledButtonCell cell("Title");
    cell.setBordered(false);
    ui::View view;
    EXPECT_EQ(cell.drawingRectForBounds(Rect(0.5, 0, 10, 10)), Rect(0.5, 0, 10, 10)); // not made integral
    EXPECT_EQ(cell.focusRingMaskBoundsForFrame(Rect(0.5, 0, 10, 10), view), Rect(0.5, 0, 10, 10));
    EXPECT_DEATH(styledImageRect({4, 4}, Rect(0, 0, 10, 10), static_cast<ui::ImageScaling>(9)),
                 "Unhandled image scaling value");
}

// ---------------------------------------------------------------------------------------------------

TEST(PelkoPushButton, TheBezelStretchesACopyIntoTheInsetFrameOfARoundedButton) {
    ButtonScene s;
    auto button = std::make_shared<PelkoPushButton>(Rect(20, 20, 100, 30), 28.0);
    button->setTitle("Pelko");
    s.add(button);
    auto style = PelkoPushButtonCell::sharedStyle();
    auto shared = style->bezelImageForState(StyledControlState::default_);
    ASSERT_NE(shared, nullptr);
    const auto original = shared->resizingMode();
    shared->setResizingMode(graphics::ResizingMode::tile);

    auto bezels = opsOf(s.redraw(), DrawOpKind::image, "qel-button");
    ASSERT_EQ(bezels.size(), 1u);
    EXPECT_EQ(bezels[0].resizingMode, graphics::ResizingMode::stretch);
    EXPECT_EQ(shared->resizingMode(), graphics::ResizingMode::tile); // the shared image is left alone
    shared->setResizingMode(original);
    // 4 points at the sides; in the flipped button 3 at the top and 5 at the bottom.
    EXPECT_EQ(bezels[0].deviceRect, s.device(*button, Rect(4, 3, 92, 22)));

    button->setBezelStyle(ui::BezelStyle::regularSquare);
    bezels = opsOf(s.redraw(), DrawOpKind::image, "qel-button");
    EXPECT_EQ(bezels.at(0).deviceRect, s.device(*button, button->bounds()));

    button->setEnabled(false);
    EXPECT_EQ(opsOf(s.redraw(), DrawOpKind::image, "qel-button").at(0).fraction, 0.5);
}

TEST(PelkoPushButton, SizesTitleAndFocusRing) {
    ButtonScene s;
    auto button = std::make_shared<PelkoPushButton>(Rect(20, 20, 100, 30), 28.0);
    button->setTitle("Pelko");
    s.add(button);
    EXPECT_EQ(button->intrinsicContentSize().height, 28);
    EXPECT_EQ(button->intrinsicContentSize().width, button->ui::Button::intrinsicContentSize().width);
    button->setFixedWidth(120);
    EXPECT_EQ(button->intrinsicContentSize().width, 120);

    auto cell = std::dynamic_pointer_cast<PelkoPushButtonCell>(button->cell());
    const Rect drawing = cell->drawingRectForBounds(button->bounds());
    const Rect title = cell->titleRectForBounds(button->bounds());
    EXPECT_EQ(title.minY(), drawing.minY() + 6);
    EXPECT_EQ(title.height(), drawing.height() - 10);
    // Room for the whole line.
    EXPECT_GE(title.height(), std::ceil(cell->attributedTitle().size().height));

    auto texts = opsOf(s.redraw(), DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].fontSize, 10); // the fixed system font, not the style's

    ASSERT_TRUE(s.window->makeFirstResponder(button));
    auto drawn = rings(s.redraw());
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].deviceRect, s.device(*button, button->bounds().insetBy(1, 1)));
}

// ---------------------------------------------------------------------------------------------------

TEST(StyledCheckBox, ClicksMoveBetweenOffAndOnAndMixedGoesToOn) {
    ButtonScene s;
    auto receiver = std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"toggle:"});
    auto box = std::make_shared<StyledCheckBox>(Rect(20, 20, 120, 20));
    box->setTitle("Loop");
    box->setTarget(receiver);
    box->setAction("toggle:");
    s.add(box);
    auto cell = std::dynamic_pointer_cast<StyledCheckBoxCell>(box->cell());
    EXPECT_EQ(cell->highlightsBy(), 0);
    EXPECT_EQ(cell->showsStateBy(), ui::CellStyleMask::contents);

    s.backend->click(vimbratest::centre(*box));
    EXPECT_EQ(box->state(), ui::StateValue::on);
    s.backend->click(vimbratest::centre(*box));
    EXPECT_EQ(box->state(), ui::StateValue::off);
    box->setState(ui::StateValue::mixed);
    s.backend->click(vimbratest::centre(*box));
    EXPECT_EQ(box->state(), ui::StateValue::on);
    EXPECT_EQ(receiver->log.size(), 3u);

    // A double click is two clicks.
    s.backend->mouseDown(vimbratest::centre(*box), 0, 1);
    s.backend->mouseUp(vimbratest::centre(*box), 0, 1);
    s.backend->mouseDown(vimbratest::centre(*box), 0, 2);
    s.backend->mouseUp(vimbratest::centre(*box), 0, 2);
    EXPECT_EQ(box->state(), ui::StateValue::on);
    EXPECT_EQ(receiver->log.size(), 5u);
}

TEST(StyledCheckBox, DrawsTheStateImageByStateAndTheTitleAfterIt) {
    ButtonScene s;
    auto box = std::make_shared<StyledCheckBox>(Rect(20, 20, 120, 20));
    box->setTitle("Loop");
    s.add(box);
    auto cell = std::dynamic_pointer_cast<StyledCheckBoxCell>(box->cell());
    const Rect imageRect = cell->imageRectForBounds(box->bounds());
    EXPECT_EQ(imageRect, Rect(-2, 2, 16, 16));
    EXPECT_EQ(cell->imageRectForBounds(Rect(30, 0, 120, 20)).minX(), -2);

    auto images = opsOf(s.redraw(), DrawOpKind::image, "qel-checkbox");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].deviceRect, s.device(*box, imageRect));
    EXPECT_TRUE(images[0].respectFlipped);
    EXPECT_EQ(opsOf(s.redraw(), DrawOpKind::image, "qel-button").size(), 0u); // no bezel

    box->setState(ui::StateValue::mixed);
    EXPECT_EQ(opsOf(s.redraw(), DrawOpKind::image, "qel-checkbox-mixed").size(), 1u);
    box->setState(ui::StateValue::on);
    box->setEnabled(false);
    auto on = opsOf(s.redraw(), DrawOpKind::image, "qel-checkbox-on");
    ASSERT_EQ(on.size(), 1u);
    EXPECT_EQ(on[0].fraction, 0.5);
    box->setEnabled(true);
    s.backend->mouseDown(vimbratest::centre(*box));
    auto pressed = opsOf(s.redraw(), DrawOpKind::image, "qel-checkbox-on-down");
    ASSERT_EQ(pressed.size(), 1u);
    EXPECT_EQ(pressed[0].fraction, 1.0);
    s.backend->mouseUp(vimbratest::centre(*box));

    const Rect title = cell->titleRectForBounds(box->bounds());
    EXPECT_EQ(title.minX(), 16);
    cell->setTitle("");
    EXPECT_EQ(cell->titleRectForBounds(box->bounds()).minX(), 16);
    EXPECT_EQ(cell->titleRectForBounds(box->bounds()).width(), 0);
}

TEST(StyledCheckBox, ItsFocusRingSurroundsTheStateImageOnly) {
    ButtonScene s;
    auto box = std::make_shared<StyledCheckBox>(Rect(20, 20, 120, 20));
    box->setTitle("Loop");
    s.add(box);
    ASSERT_TRUE(s.window->makeFirstResponder(box));
    auto drawn = rings(s.redraw());
    ASSERT_EQ(drawn.size(), 1u);
    const Rect imageRect = box->cell()->imageRectForBounds(box->bounds());
    EXPECT_EQ(drawn[0].deviceRect, s.device(*box, imageRect.insetBy(1, 1)));
}
