// The parameter buttons: what each sends to its parameter on press and release, and what it draws.

#include "ButtonTestSupport.hpp"
#include "ZeltoCore/ParameterButtons.hpp"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace zelto;
using namespace buttontest;
using declarative::Point;
using declarative::Size;
using declarative::View;
using decltest::Harness;

namespace {

using Edits = std::vector<Edit>;
using Names = std::vector<std::string>;

Point centre(Size size) {
    return {size.width / 2, size.height / 2};
}

std::shared_ptr<RecordingParameter> modes(float initial = 0) {
    return RecordingParameter::make(3, initial, Names{"Up", "Down", "Random", "Pendulum"});
}

// The images drawn while the pointer is held at `at`; the press is then let go outside.
Names whilePressed(Harness& h, Point at) {
    h.down(at);
    auto names = images(h);
    h.up({-50, -50});
    h.settle();
    return names;
}

class ParameterButtons : public ::testing::Test {
protected:
    void SetUp() override { useBuildBundles(); }
};

TEST_F(ParameterButtons, IndexMappedButtonsBeginOnPressAndSelectTheirIndexOnReleaseEvenWhenSelected) {
    for (const bool mode : {false, true}) {
        SCOPED_TRACE(mode ? "ModeToggleButton" : "ChaosToggleButton");
        const auto param = modes();
        const Size size = mode ? ModeToggleButton::buttonSize : ChaosToggleButton::buttonSize;
        Harness h(mode ? View(ModeToggleButton(bound(param), 2, graphics::Color::white(1),
                                               ToggleButtonStyle::modern, 13))
                       : View(ChaosToggleButton(bound(param), 2, ChaosButtonColor::blue)),
                  size);
        const Point c = centre(size);
        h.down(c);
        // Moving while held acts no more: only the first change of the drag presses.
        h.drag({c.x + 3, c.y + 2});
        h.drag({1, 1});
        EXPECT_EQ(param->take(), (Edits{begin(0)}));
        h.up(c);
        EXPECT_EQ(param->take(), (Edits{change(2), end(2)}));
        h.settle();
        h.click(c);
        EXPECT_EQ(param->take(), (Edits{begin(2), change(2), end(2)}));
        EXPECT_EQ(param->sources, std::vector<ParameterEditor>(6, ParameterEditor::ui));
    }
}

TEST_F(ParameterButtons, AReleaseOutsideTheRectangleEndsWithTheUnchangedValue) {
    const auto chaos = modes(1), mode = modes(3), narrow = RecordingParameter::make(1, 1),
               arrow = RecordingParameter::make(1, 0), toggle = RecordingParameter::make(1, 0);
    const auto white = graphics::Color::white(1);
    const std::vector<std::tuple<std::shared_ptr<RecordingParameter>, View, Size>> cases{
        {chaos, ChaosToggleButton(bound(chaos), 2, ChaosButtonColor::red), ChaosToggleButton::buttonSize},
        {mode, ModeToggleButton(bound(mode), 0, white, ToggleButtonStyle::retro, 12),
         ModeToggleButton::buttonSize},
        {narrow, ChaosToggleButtonNarrow(bound(narrow), "A"), ChaosToggleButtonNarrow::buttonSize},
        {arrow, LeftRightArrowButton(bound(arrow), 0), LeftRightArrowButton::buttonSize},
        {toggle, ToggleButton(bound(toggle), white, std::nullopt, 13), ToggleButton::buttonSize},
    };
    for (const auto& [param, view, size] : cases) {
        Harness h(view, size);
        const float before = param->value();
        const Point c = centre(size);
        // The right and bottom edges are outside; so is anything left of or above the origin.
        for (const Point outside : {Point{size.width, c.y}, Point{c.x, size.height}, Point{-0.5, c.y}}) {
            h.down(c);
            h.up(outside);
            EXPECT_EQ(param->take(), (Edits{begin(before), end(before)})) << size.width;
        }
        h.down(c);
        h.up({size.width - 0.5, size.height - 0.5});
        EXPECT_EQ(param->take().size(), 3u) << "just inside the far corner";
    }
}

TEST_F(ParameterButtons, ClosureButtonsActOnlyOnAReleaseInsideAndImageButtonReportsOption) {
    int calls = 0;
    Harness chaos(ChaosButton("Go", ChaosButtonColor::red, [&] { ++calls; }), ChaosButton::buttonSize);
    EXPECT_EQ(whilePressed(chaos, {10, 10}), Names{"chaos-button-yellow-down"});
    EXPECT_EQ(images(chaos), Names{"chaos-button-yellow"});
    chaos.click({47.5, 55.5});
    EXPECT_EQ(calls, 1);
    Harness silent(ChaosButton("Go", ChaosButtonColor::white), ChaosButton::buttonSize);
    silent.click({10, 10}); // no closure, no effect

    std::vector<bool> options;
    Harness image(ImageButton(declarative::Image(kitImage("chaos-button-grey-off")),
                              declarative::Image(kitImage("chaos-button-grey-off-down")),
                              [&](bool option) { options.push_back(option); }),
                  ImageButton::buttonSize);
    EXPECT_EQ(whilePressed(image, {20, 20}), Names{"chaos-button-grey-off-down"});
    image.click({20, 20}, ui::Modifier::option);
    image.click({20, 20});
    image.down({20, 20});
    image.up({20, 60}, ui::Modifier::option);
    EXPECT_EQ(options, (std::vector<bool>{true, false}));
}

TEST_F(ParameterButtons, TwoValuedButtonsAreOnAtExactlyOneAndToggleByZero) {
    const auto white = graphics::Color::white(1);
    for (const bool narrow : {false, true}) {
        const auto param = RecordingParameter::make(1, 0.5f);
        const Size size = narrow ? ChaosToggleButtonNarrow::buttonSize : ToggleButton::buttonSize;
        Harness h(narrow ? View(ChaosToggleButtonNarrow(bound(param)))
                         : View(ToggleButton(bound(param), white, std::nullopt, 13)),
                  size);
        const std::string off = narrow ? "chaos-button-narrow-grey-off" : "modern-button";
        const std::string on = narrow ? "chaos-button-narrow-grey-on-yellow" : "modern-button-on";
        const Point c = centre(size);
        EXPECT_EQ(images(h), Names{off});
        h.click(c);
        EXPECT_EQ(param->take(), (Edits{begin(0.5f), change(0), end(0)}));
        h.settle();
        h.click(c);
        EXPECT_EQ(param->take(), (Edits{begin(0), change(1), end(1)}));
        EXPECT_EQ(images(h), Names{on});
        EXPECT_EQ(whilePressed(h, c), Names{on + "-down"});
        param->take();
        // A change from the host redraws the button.
        param->setValue(0, ParameterEditor::parameterObserver, ParameterEditorState::change);
        EXPECT_EQ(images(h), Names{off});
    }
}

TEST_F(ParameterButtons, TheArrowPointsLeftAtItsLeftValueAndTogglesByZero) {
    const auto param = RecordingParameter::make(1, 1);
    Harness h(LeftRightArrowButton(bound(param), 1), LeftRightArrowButton::buttonSize);
    EXPECT_EQ(images(h), Names{"chaos-button-small-yellow-left"});
    EXPECT_EQ(whilePressed(h, {5, 5}), Names{"chaos-button-small-yellow-left-down"});
    param->take();
    h.click({5, 5});
    EXPECT_EQ(param->take(), (Edits{begin(1), change(0), end(0)}));
    EXPECT_EQ(images(h), Names{"chaos-button-small-yellow-right"});
    h.click({5, 5});
    EXPECT_EQ(param->take(), (Edits{begin(0), change(1), end(1)}));
    EXPECT_EQ(images(h), Names{"chaos-button-small-yellow-left"});
}

TEST_F(ParameterButtons, AHoldButtonHoldsItsParameterAtOneWhileThePointerIsDown) {
    const auto param = RecordingParameter::make(1, 0);
    Harness h(ParameterHoldButton(bound(param), kitImage("retro-button"), kitImage("retro-button-down")),
              {88, 27});
    EXPECT_EQ(images(h), Names{"retro-button"});
    h.down({10, 10});
    h.drag({30, 12});
    EXPECT_EQ(param->take(), (Edits{begin(0), change(1)}));
    EXPECT_EQ(images(h), Names{"retro-button-down"});
    h.up({500, -300}); // no rectangle test: a release far away lets go the same way
    EXPECT_EQ(param->take(), (Edits{change(0), end(0)}));
    EXPECT_EQ(images(h), Names{"retro-button"});
}

TEST_F(ParameterButtons, ACancelledPressEndsTheEditAndReleasesTheButton) {
    const auto toggle = RecordingParameter::make(1, 0), hold = RecordingParameter::make(1, 0);
    Harness h(ToggleButton(bound(toggle), graphics::Color::white(1), "Go", 13), ToggleButton::buttonSize);
    h.down({10, 10});
    h.host->cancelPointerTracking();
    EXPECT_EQ(toggle->take(), (Edits{begin(0), end(0)}));
    EXPECT_EQ(images(h), Names{"modern-button"});

    Harness held(ParameterHoldButton(bound(hold), kitImage("retro-button"), kitImage("retro-button-down")),
                 {88, 27});
    held.down({10, 10});
    held.host->cancelPointerTracking();
    EXPECT_EQ(hold->take(), (Edits{begin(0), change(1), change(0), end(0)}));
}

TEST_F(ParameterButtons, ModeToggleImagesFollowTheStyleTable) {
    // [style][on][pressed]
    const char* expected[2][2][2] = {
        {{"modern-button", "modern-button-down"}, {"modern-button-on", "modern-button-on-down"}},
        {{"retro-button", "retro-button"}, {"modern-button-on", "retro-button-down"}},
    };
    for (const auto style : {ToggleButtonStyle::modern, ToggleButtonStyle::retro}) {
        for (const bool on : {false, true}) {
            const auto param = modes(on ? 1 : 0);
            Harness h(ModeToggleButton(bound(param), 1, graphics::Color::white(1), style, 13),
                      ModeToggleButton::buttonSize);
            const auto& row = expected[static_cast<int>(style)][on];
            EXPECT_EQ(images(h), Names{row[0]});
            EXPECT_EQ(whilePressed(h, {40, 10}), Names{row[1]});
        }
    }
}

TEST_F(ParameterButtons, ChaosToggleImagesTruncateTheValueAndNameTheColour) {
    const std::pair<ChaosButtonColor, std::string> colours[] = {
        {ChaosButtonColor::yellow, "chaos-button-grey-on-yellow"},
        {ChaosButtonColor::blue, "chaos-button-grey-on-blue"},
        {ChaosButtonColor::red, "chaos-button-grey-on-red"},
        {ChaosButtonColor::white, "chaos-button-grey-on-white"}};
    for (const auto& [colour, name] : colours) {
        const auto param = modes(2.9f);
        Harness h(ChaosToggleButton(bound(param), 2, colour), ChaosToggleButton::buttonSize);
        EXPECT_EQ(images(h), Names{name});
        EXPECT_EQ(whilePressed(h, {10, 10}), Names{name + "-down"});
        param->setValue(1.99f, ParameterEditor::parameterObserver, ParameterEditorState::change);
        EXPECT_EQ(images(h), Names{"chaos-button-grey-off"});
    }
}

// The one text a harness draws: its words, colour name and vertical offset from the middle.
struct Label {
    std::string text;
    std::string colour;
    double offset;
    double size;
    bool operator==(const Label&) const = default;
};
void PrintTo(const Label& l, std::ostream* os) {
    *os << '"' << l.text << "\" " << l.colour << " " << l.offset << " " << l.size;
}
std::optional<Label> label(Harness& h) {
    const auto ops = texts(h);
    if (ops.size() != 1) {
        return std::nullopt;
    }
    const auto& op = ops.front();
    return Label{op.text, op.textColor ? op.textColor->name() : "", op.deviceRect.midY() - h.size.height / 2,
                 op.fontSize};
}

TEST_F(ParameterButtons, TextsUseTheKitFacesColoursAndOffsets) {
    const auto lit = std::make_shared<const graphics::Color>(0.1, 0.9, 0.3, 1, "lit");
    Harness chaos(ChaosButton("Go!", ChaosButtonColor::blue), ChaosButton::buttonSize);
    EXPECT_EQ(label(chaos), (Label{"Go!", "ChaosYellowText", -4, 13}));

    const auto param = modes(2);
    Harness toggle(ChaosToggleButton(bound(param), 2, ChaosButtonColor::yellow),
                   ChaosToggleButton::buttonSize);
    EXPECT_EQ(label(toggle), (Label{"RANDOM", "chaosToggleText", -6, 13}));
    toggle.down({10, 10});
    EXPECT_EQ(label(toggle)->colour, "chaosToggleTextPressed");
    toggle.up({100, 10});

    // An image replaces the text and dims while pressed.
    Harness pictured(ChaosToggleButton(bound(param), 2, ChaosButtonColor::yellow,
                                       declarative::Image(kitImage("kestrova-logo"))),
                     ChaosToggleButton::buttonSize);
    EXPECT_TRUE(texts(pictured).empty());
    pictured.down({10, 10});
    pictured.settle();
    graphics::BitmapCanvas canvas(pictured.size, 1.0, true, true);
    pictured.host->drawTree(canvas.context());
    EXPECT_TRUE(std::any_of(canvas.recorder()->ops().begin(), canvas.recorder()->ops().end(),
                            [](const auto& op) { return std::abs(op.alpha - 0.7) < 1e-9; }));

    const auto flag = RecordingParameter::make(1, 0, std::nullopt, "straße");
    Harness named(ToggleButton(bound(flag), lit, std::nullopt, 15), ToggleButton::buttonSize);
    EXPECT_EQ(label(named), (Label{"STRASSE", "buttonText", 2, 15}));
    flag->setValue(1, ParameterEditor::parameterObserver, ParameterEditorState::change);
    EXPECT_EQ(label(named)->colour, "lit");
    Harness overridden(ToggleButton(bound(flag), lit, "Rev", 15), ToggleButton::buttonSize);
    EXPECT_EQ(label(overridden)->text, "Rev");

    // Off labels of the mode toggle: the kit's background on retro, its button text on modern.
    Harness retro(ModeToggleButton(bound(param), 1, lit, ToggleButtonStyle::retro, 11),
                  ModeToggleButton::buttonSize);
    EXPECT_EQ(label(retro), (Label{"DOWN", "background", 2, 11}));
    Harness modern(ModeToggleButton(bound(param), 1, lit, ToggleButtonStyle::modern, 11),
                   ModeToggleButton::buttonSize);
    EXPECT_EQ(label(modern)->colour, "buttonText");
}

TEST_F(ParameterButtons, MissingValueStringsAndNonFiniteValuesDrawAnEmptyOffButton) {
    // An index outside the value strings, or a parameter without any, labels nothing.
    const auto param = modes(3), bare = RecordingParameter::make(3, 0);
    const auto white = graphics::Color::white(1);
    for (const View& button :
         {View(ChaosToggleButton(bound(param), 9, ChaosButtonColor::red)),
          View(ModeToggleButton(bound(param), -1, white, ToggleButtonStyle::modern, 12)),
          View(ModeToggleButton(bound(bare), 0, white, ToggleButtonStyle::modern, 12))}) {
        Harness h(button, ChaosToggleButton::buttonSize);
        for (const auto& op : texts(h)) {
            EXPECT_EQ(op.text, "");
        }
    }
    // Values without an integer part match no index (and never reach an undefined conversion).
    for (const float odd : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1e30f, -1e30f}) {
        const auto wild = modes(0);
        Harness h(ChaosToggleButton(bound(wild), 0, ChaosButtonColor::red), ChaosToggleButton::buttonSize);
        wild->setObservedValue(odd);
        EXPECT_EQ(images(h), Names{"chaos-button-grey-off"}) << odd;
    }
}

} // namespace
