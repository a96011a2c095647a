#include "Helpers.hpp"
#include "ui/SegmentedControl.hpp"

#include <gtest/gtest.h>

using graphics::Rect;
using ui::EventType;
using ui::SegmentSwitchTracking;
using uitest::mouse;

namespace {

// A cell that records the widths asked of it and answers twice that.
class DoublingCell : public ui::SegmentedCell {
public:
    void setWidthForSegment(double width, int segment) override {
        asked.push_back(width);
        ui::SegmentedCell::setWidthForSegment(width * 2, segment);
    }
    std::vector<double> asked;
};

// Three segments 40 points wide at (20, 20) in a key window; actions are counted with the selected
// segment they saw.
struct SegmentScene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 300, 100));
    std::shared_ptr<ui::SegmentedControl> control =
        std::make_shared<ui::SegmentedControl>(Rect(20, 20, 120, 24));
    std::shared_ptr<ui::Object> target = std::make_shared<ui::Object>();
    std::vector<int> seen; // selectedSegment at each action

    SegmentScene() {
        window->contentView()->addSubview(control);
        window->makeKeyWindow();
        control->setSegmentCount(3);
        for (int i = 0; i < 3; ++i) {
            control->setWidthForSegment(40, i);
            control->setLabelForSegment("S" + std::to_string(i), i);
        }
        target->setActionHandler("picked:", [this](const std::shared_ptr<ui::Object>&) {
            seen.push_back(control->selectedSegment());
        });
        control->setTarget(target);
        control->setAction("picked:");
    }
    // The middle of a segment in window coordinates.
    double x(int segment) const { return 20 + 40 * segment + 20; }
    void send(EventType type, double wx) { window->sendEvent(mouse(type, wx, 32, window)); }
    void click(int segment) {
        send(EventType::leftMouseDown, x(segment));
        send(EventType::leftMouseUp, x(segment));
    }
    void key(const std::string& characters) { window->sendEvent(uitest::key(characters, window)); }
    std::vector<bool> selection() const {
        std::vector<bool> flags;
        for (int i = 0; i < control->segmentCount(); ++i) {
            flags.push_back(control->isSelectedForSegment(i));
        }
        return flags;
    }
};

} // namespace

TEST(SegmentedControl, WidthsGoThroughTheOverridableSetterAndLayTheSegmentsOut) {
    auto cell = std::make_shared<DoublingCell>();
    auto control = std::make_shared<ui::SegmentedControl>(Rect(0, 0, 200, 24), cell);
    control->setSegmentCount(3);
    control->setWidthForSegment(30, 0);
    control->setLabelForSegment("Wide label", 1);
    EXPECT_EQ(cell->asked, std::vector<double>{30});
    EXPECT_DOUBLE_EQ(control->widthForSegment(0), 60);
    EXPECT_DOUBLE_EQ(control->widthForSegment(1), 0); // automatic

    const Rect bounds(0, 0, 200, 24);
    const double automatic = cell->effectiveWidthForSegment(1);
    EXPECT_GT(automatic, 16); // the label plus its margins
    EXPECT_EQ(cell->frameForSegment(1, bounds), Rect(60, 0, automatic, 24));
    EXPECT_EQ(cell->frameForSegment(2, bounds), Rect(60 + automatic, 0, 16, 24)); // empty: margins only
    EXPECT_EQ(cell->segmentAtPoint({59.5, 10}, bounds), 0);
    EXPECT_EQ(cell->segmentAtPoint({60, 10}, bounds), 1);
    EXPECT_EQ(cell->segmentAtPoint({10, 24}, bounds), -1);
    EXPECT_EQ(control->intrinsicContentSize(), graphics::Size(std::ceil(60 + automatic + 16), 24));

    // Fewer segments: what is dropped takes its selection along.
    control->setSelectedSegment(2);
    control->setSegmentCount(2);
    EXPECT_EQ(control->selectedSegment(), -1);
}

TEST(SegmentedControl, SelectOneHighlightsThePressedSegmentAndSelectsOnReleaseInIt) {
    SegmentScene s;
    auto cell = s.control->segmentedCell();
    s.send(EventType::leftMouseDown, s.x(1));
    EXPECT_EQ(cell->segmentHighlightState(1), ui::SegmentHighlight::pressed);
    EXPECT_EQ(cell->keySegment(), 1);
    EXPECT_EQ(cell->segmentHighlightState(0), ui::SegmentHighlight::rest);
    s.send(EventType::leftMouseDragged, s.x(2)); // onto another segment: no longer pressed
    EXPECT_EQ(cell->pressedSegment(), -1);
    s.send(EventType::leftMouseDragged, s.x(1));
    EXPECT_EQ(cell->pressedSegment(), 1);
    s.send(EventType::leftMouseUp, s.x(1));
    EXPECT_EQ(s.seen, std::vector<int>{1});
    EXPECT_EQ(s.selection(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(cell->segmentHighlightState(1), ui::SegmentHighlight::selected);

    // Released over another segment: nothing.
    s.send(EventType::leftMouseDown, s.x(0));
    s.send(EventType::leftMouseUp, s.x(2));
    EXPECT_EQ(s.seen.size(), 1u);
    EXPECT_EQ(s.control->selectedSegment(), 1);

    // The selected segment pressed again shows both, and stays selected.
    s.send(EventType::leftMouseDown, s.x(1));
    EXPECT_EQ(cell->segmentHighlightState(1), ui::SegmentHighlight::selectedPressed);
    s.send(EventType::leftMouseUp, s.x(1));
    s.click(2);
    EXPECT_EQ(s.seen, (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(s.selection(), (std::vector<bool>{false, false, true}));

    // A disabled segment, or a disabled control, takes no press.
    s.control->setEnabledForSegment(false, 0);
    s.send(EventType::leftMouseDown, s.x(0));
    EXPECT_EQ(cell->pressedSegment(), -1);
    s.send(EventType::leftMouseUp, s.x(0));
    s.control->setEnabled(false);
    s.click(1);
    EXPECT_EQ(s.seen.size(), 3u);
    EXPECT_EQ(s.control->selectedSegment(), 2);
}

TEST(SegmentedControl, SelectAnyTogglesAndMomentaryKeepsNoSelection) {
    SegmentScene s;
    s.control->setTrackingMode(SegmentSwitchTracking::selectAny);
    EXPECT_EQ(static_cast<int>(SegmentSwitchTracking::selectAny), 1);
    s.click(0);
    s.click(2);
    EXPECT_EQ(s.selection(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(s.control->selectedSegment(), 2); // the one selected last
    s.click(2);
    EXPECT_EQ(s.selection(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(s.control->selectedSegment(), 0);
    EXPECT_EQ(s.seen, (std::vector<int>{0, 2, 0}));

    // Back to one: only the selected segment stays.
    s.click(1);
    s.control->setTrackingMode(SegmentSwitchTracking::selectOne);
    EXPECT_EQ(s.selection(), (std::vector<bool>{false, true, false}));

    // Momentary: the clicked segment is the selected one only while the action runs.
    s.control->setTrackingMode(SegmentSwitchTracking::momentary);
    EXPECT_EQ(static_cast<int>(SegmentSwitchTracking::momentary), 2);
    EXPECT_EQ(s.control->selectedSegment(), -1);
    s.seen.clear();
    s.send(EventType::leftMouseDown, s.x(2));
    EXPECT_EQ(s.control->segmentedCell()->segmentHighlightState(2), ui::SegmentHighlight::pressed);
    s.send(EventType::leftMouseUp, s.x(2));
    s.click(0);
    EXPECT_EQ(s.seen, (std::vector<int>{2, 0}));
    EXPECT_EQ(s.control->selectedSegment(), -1);
    EXPECT_EQ(s.selection(), (std::vector<bool>{false, false, false}));

    // An action that takes the clicked segment away leaves no segment selected.
    s.seen.clear();
    s.control->setSegmentCount(5);
    int keep = 2;
    s.target->setActionHandler("picked:", [&](const std::shared_ptr<ui::Object>&) {
        s.control->setSegmentCount(keep);
        s.seen.push_back(s.control->selectedSegment());
    });
    s.control->performClickOnSegment(3);
    keep = 0;
    s.click(0);
    EXPECT_EQ(s.seen, (std::vector<int>{-1, -1}));
    EXPECT_EQ(s.control->segmentCount(), 0);
}

TEST(SegmentedControl, ArrowsMoveTheKeySegmentAndSpaceSelectsIt) {
    SegmentScene s;
    s.control->setSelectedSegment(1);
    s.control->setEnabledForSegment(false, 2);
    ASSERT_TRUE(s.window->makeFirstResponder(s.control));
    EXPECT_EQ(s.control->keySegment(), 1); // the selected segment until moved
    const Rect bounds = s.control->bounds();
    EXPECT_EQ(s.control->focusRingMaskBounds(), Rect(40, 0, 40, 24));

    s.key(ui::utf8(ui::SpecialKey::rightArrow)); // the disabled last segment is skipped
    EXPECT_EQ(s.control->keySegment(), 1);
    s.key(ui::utf8(ui::SpecialKey::leftArrow));
    EXPECT_EQ(s.control->keySegment(), 0);
    s.key(ui::utf8(ui::SpecialKey::leftArrow)); // stays at the start
    EXPECT_EQ(s.control->keySegment(), 0);
    EXPECT_EQ(s.control->focusRingMaskBounds(), s.control->segmentedCell()->frameForSegment(0, bounds));
    EXPECT_TRUE(s.seen.empty());

    s.key(" ");
    EXPECT_EQ(s.seen, std::vector<int>{0});
    EXPECT_EQ(s.selection(), (std::vector<bool>{true, false, false}));

    // A click moves the key segment too.
    s.click(1);
    EXPECT_EQ(s.control->keySegment(), 1);

    // Other keys travel up the chain.
    bool reached = false;
    struct Catcher : ui::Responder {
        bool* reached;
        explicit Catcher(bool* r) : reached(r) {}
        void keyDown(const ui::Event&) override { *reached = true; }
    };
    auto catcher = std::make_shared<Catcher>(&reached);
    s.control->setNextResponder(catcher);
    s.key("a");
    EXPECT_TRUE(reached);
}
