// The styled segmented control: segment states, bezel rects, widths and the focus ring, driven by real
// events on the headless back end and checked through what it draws.
#include "Vimbra/StyledControls/StyledSegmentedControl.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <gtest/gtest.h>
#include <map>

using namespace vimbra;
using graphics::DrawOpKind;
using graphics::RecordedOp;
using graphics::Rect;
using S = StyledControlState;

namespace {

// A cell whose segments report the highlight states a test gives them.
class ScriptedCell : public StyledSegmentedCell {
public:
    int segmentHighlightState(int segment) const override {
        const auto it = highlight.find(segment);
        return it == highlight.end() ? StyledSegmentedCell::segmentHighlightState(segment) : it->second;
    }
    std::map<int, int> highlight;
};

// Restores the shared style's margin and bezel images after a test changed them.
struct StyleRestorer {
    std::shared_ptr<SegmentedCellStyle> style = StyledSegmentedCell::sharedStyle();
    graphics::EdgeInsets margin = style->segmentMargin;
    ImageTable images = style->bezelImages();
    ~StyleRestorer() {
        style->segmentMargin = margin;
        style->setBezelImages(images);
    }
};

// Three labelled segments in a key window, recording what is drawn.
struct SegmentScene : vimbratest::Scene {
    std::shared_ptr<StyledSegmentedControl> control =
        std::make_shared<StyledSegmentedControl>(Rect(20, 30, 240, 24));
    std::shared_ptr<vimbratest::Receiver> receiver =
        std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"pick:"});

    SegmentScene() : Scene(Rect(200, 300, 300, 100)) {
        control->setSegmentCount(3);
        for (int i = 0; i < 3; ++i) {
            control->setLabelForSegment(
                std::vector<std::string>{"One", "Two", "Three"}[static_cast<std::size_t>(i)], i);
            control->setWidthForSegment(0, i);
        }
        control->setTarget(receiver);
        control->setAction("pick:");
        add(control);
    }
    std::vector<RecordedOp> redraw() {
        backend->recorder()->clear();
        window->contentView()->setNeedsDisplay();
        backend->displayIfNeeded();
        return backend->recorder()->ops();
    }
    // The middle of a segment in window coordinates.
    graphics::Point centreOf(int segment) const {
        const Rect f = control->segmentedCell()->frameForSegment(segment, control->bounds());
        return control->convertPointToView({f.midX(), f.midY()}, nullptr);
    }
    // The bezel images drawn, in drawing order.
    static std::vector<std::string> bezels(const std::vector<RecordedOp>& ops) {
        std::vector<std::string> names;
        for (const auto& op : ops) {
            if (op.kind == DrawOpKind::image) {
                names.push_back(op.imageName);
            }
        }
        return names;
    }
    // The focus rings drawn: strokes two points wide with round joins.
    static std::vector<RecordedOp> rings(const std::vector<RecordedOp>& ops) {
        std::vector<RecordedOp> found;
        for (const auto& op : ops) {
            if (op.kind == DrawOpKind::strokePath && op.lineWidth == 2 &&
                op.lineJoin == graphics::LineJoin::round) {
                found.push_back(op);
            }
        }
        return found;
    }
};

} // namespace

TEST(StyledSegmentedCell, SegmentStatesFollowTheHighlightAndTheHiddenSelection) {
    ScriptedCell cell;
    cell.setSegmentCount(3);
    cell.setSelectedSegment(1);
    EXPECT_TRUE(cell.hideSelection());
    EXPECT_EQ(cell.segmentState(1), S::default_); // the selection is hidden by default
    cell.setHideSelection(false);
    EXPECT_EQ(cell.segmentState(1), S::default_ | S::selected);
    EXPECT_EQ(cell.segmentState(0), S::default_);

    // Pressed states are highlighted; the selected state at rest is not.
    for (int pressed : {2, 3, 5}) {
        cell.highlight[0] = pressed;
        EXPECT_EQ(cell.segmentState(0), S::default_ | S::highlighted) << pressed;
    }
    cell.highlight[1] = 4;
    EXPECT_EQ(cell.segmentState(1), S::default_ | S::selected);
    // Out of range: the selected segment counts as selected at rest, the others as at rest.
    cell.highlight[0] = 0;
    cell.highlight[1] = 7;
    EXPECT_EQ(cell.segmentState(0), S::default_);
    EXPECT_EQ(cell.segmentState(1), S::default_ | S::selected);

    // Disabled: pressed still highlights, with no enabling check.
    cell.setHideSelection(true);
    cell.setEnabled(false);
    cell.highlight[2] = 2;
    EXPECT_EQ(cell.segmentState(2).rawValue, 11);
    EXPECT_EQ(cell.segmentState(0).rawValue, 3);
}

TEST(StyledSegmentedCell, EverySelectedSegmentOfASelectAnyControlShowsSelected) {
    StyledSegmentedCell cell;
    cell.setSegmentCount(3);
    cell.setTrackingMode(ui::SegmentSwitchTracking::selectAny);
    cell.setHideSelection(false);
    cell.setSelectedForSegment(true, 0);
    cell.setSelectedForSegment(true, 2);
    EXPECT_EQ(cell.segmentState(0), S::default_ | S::selected);
    EXPECT_EQ(cell.segmentState(1), S::default_);
    EXPECT_EQ(cell.segmentState(2), S::default_ | S::selected);
}

TEST(StyledSegmentedCell, TheBezelRectIsTheImageHeightCentredAndInsetByTheMargin) {
    StyleRestorer restore;
    StyledSegmentedCell cell;
    cell.setSegmentCount(1);
    const auto image = restore.style->bezelImageForState(S::default_);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->height(), 24);

    // Margin zero: the whole width, the image's height centred.
    EXPECT_EQ(cell.bezelRectForSegment(0, Rect(10, 0, 60, 30)), Rect(10, 3, 60, 24));
    EXPECT_EQ(cell.bezelRectForSegment(0, Rect(10, 0, 60, 25)), Rect(10, 1, 60, 24)); // 0.5 rounds up

    restore.style->segmentMargin = {2, 3, 1, 4}; // top, left, bottom, right
    EXPECT_EQ(cell.bezelRectForSegment(0, Rect(10, 0, 60, 30)), Rect(13, 5, 53, 21));

    // No image for the state: no height, at the frame's middle.
    restore.style->segmentMargin = {};
    restore.style->setBezelImages({});
    EXPECT_EQ(cell.bezelRectForSegment(0, Rect(10, 0, 60, 30)), Rect(10, 15, 60, 0));
}

TEST(StyledSegmentedCell, ALabelledSegmentIsItsLabelInTheCellFontPlusThePadding) {
    StyledSegmentedCell cell;
    cell.setSegmentCount(2);
    cell.setLabelForSegment("Mode", 0);
    cell.setWidthForSegment(10, 0);
    cell.setWidthForSegment(33, 1);
    graphics::TextAttributes attributes;
    attributes.font = cell.font();
    EXPECT_DOUBLE_EQ(cell.widthForSegment(0),
                     graphics::AttributedString("Mode", attributes).size().width + 42);
    EXPECT_DOUBLE_EQ(cell.widthForSegment(1), 33);
}

TEST(StyledSegmentedControl, AClickAndTheKeysSelectAndTheSelectionShowsOnlyWhenAskedFor) {
    SegmentScene s;
    s.backend->mouseDown(s.centreOf(1));
    auto ops = s.redraw();
    EXPECT_EQ(SegmentScene::bezels(ops),
              (std::vector<std::string>{"qel-window-tab", "qel-window-tab-down", "qel-window-tab"}));
    s.backend->mouseUp(s.centreOf(1));
    EXPECT_EQ(s.receiver->log.size(), 1u);
    EXPECT_EQ(s.control->selectedSegment(), 1);
    // Hidden selection: the selected segment looks like the others.
    EXPECT_EQ(SegmentScene::bezels(s.redraw()),
              (std::vector<std::string>{"qel-window-tab", "qel-window-tab", "qel-window-tab"}));
    s.control->setNeedsDisplay(false);
    s.control->setHideSelection(false);
    EXPECT_TRUE(s.control->needsDisplay());
    EXPECT_EQ(SegmentScene::bezels(s.redraw()),
              (std::vector<std::string>{"qel-window-tab", "qel-window-tab-selected", "qel-window-tab"}));

    // The labels in the style's font and state colours.
    std::vector<RecordedOp> labels;
    for (const auto& op : s.redraw()) {
        if (op.kind == DrawOpKind::text) {
            labels.push_back(op);
        }
    }
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[2].text, "Three");
    EXPECT_EQ(labels[0].fontSize, 12);
    EXPECT_TRUE(labels[0].textColor->sameComponents(*StyledSegmentedCell::sharedStyle()->textColor));
    EXPECT_TRUE(labels[1].textColor->sameComponents(*StyledSegmentedCell::sharedStyle()->selectedTextColor));

    // Keys: right moves the key segment, space selects it.
    ASSERT_TRUE(s.window->makeFirstResponder(s.control));
    s.backend->typeKey(ui::utf8(ui::SpecialKey::rightArrow));
    s.backend->typeKey(" ");
    EXPECT_EQ(s.control->selectedSegment(), 2);
    EXPECT_EQ(s.receiver->log.size(), 2u);
}

TEST(StyledSegmentedControl, TheFocusRingIsOnTheKeySegmentOnlyWhileTheControlHasFocus) {
    SegmentScene s;
    EXPECT_TRUE(s.control->focusRingMaskBounds().isEmpty()); // nothing drawn yet
    EXPECT_TRUE(SegmentScene::rings(s.redraw()).empty());

    ASSERT_TRUE(s.window->makeFirstResponder(s.control));
    auto cell = std::dynamic_pointer_cast<StyledSegmentedCell>(s.control->cell());
    const Rect key = cell->bezelRectForSegment(0, cell->frameForSegment(0, s.control->bounds()));
    EXPECT_EQ(s.control->focusRingMaskBounds(), key);
    auto rings = SegmentScene::rings(s.redraw());
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].rect, key.insetBy(2, 2));
    EXPECT_TRUE(rings[0].color->sameComponents(*StyledSegmentedCell::sharedStyle()->focusRingColor));

    s.backend->typeKey(ui::utf8(ui::SpecialKey::rightArrow));
    rings = SegmentScene::rings(s.redraw());
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].rect,
              cell->bezelRectForSegment(1, cell->frameForSegment(1, s.control->bounds())).insetBy(2, 2));

    ASSERT_TRUE(s.window->makeFirstResponder(nullptr));
    EXPECT_TRUE(SegmentScene::rings(s.redraw()).empty());
}

TEST(StyledSegmentedControl, IntrinsicSizeGrowsToTheBezelAndAForeignCellHidesNothing) {
    StyledSegmentedControl control(Rect(0, 0, 100, 24));
    control.setSegmentCount(1);
    control.setWidthForSegment(10, 0);
    control.setControlSize(ui::ControlSize::mini);
    const auto image = StyledSegmentedCell::sharedStyle()->bezelImageForState(S::default_);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(control.intrinsicContentSize(), graphics::Size(image->width(), image->height()));

    control.setCell(std::make_shared<ui::SegmentedCell>());
    control.setNeedsDisplay(false);
    control.setHideSelection(false);
    EXPECT_FALSE(control.hideSelection());
    EXPECT_TRUE(control.needsDisplay());
    control.setHideSelection(true);
    EXPECT_FALSE(control.hideSelection()); // dropped
}
