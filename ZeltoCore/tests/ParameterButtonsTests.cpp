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

Point centre(Size size) {
    return {size.width / 2, size.height / 2};
}

std::shared_ptr<RecordingParameter> modes(float initial = 0) {
    return RecordingParameter::make(3, initial, std::vector<std::string>{"Up", "Down", "Random", "Pendulum"});
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
        const View button = mode ? View(ModeToggleButton(bound(param), 2, graphics::Color::white(1),
                                                         ToggleButtonStyle::modern, 13))
                                 : View(ChaosToggleButton(bound(param), 2, ChaosButtonColor::blue));
        Harness h(button, size);
        const Point c = centre(size);
        h.down(c);
        // Moving while held acts no more: only the first change of the drag presses.
        h.drag({c.x + 3, c.y + 2});
        h.drag({1, 1});
        EXPECT_EQ(param->take(), (Edits{begin(0)}));
        h.up(c);
        EXPECT_EQ(param->take(), (Edits{change(2), end(2)}));
        h.settle();
        EXPECT_EQ(param->value(), 2.0f);

        h.click(c);
        EXPECT_EQ(param->take(), (Edits{begin(2), change(2), end(2)}));
        for (const auto source : param->sources) {
            EXPECT_EQ(source, ParameterEditor::ui);
        }
    }
}

TEST_F(ParameterButtons, AReleaseOutsideTheRectangleEndsWithTheUnchangedValue) {
    struct Case {
        const char* name;
        std::shared_ptr<RecordingParameter> param;
        View view;
        Size size;
    };
    const auto chaos = modes(1), mode = modes(3), narrow = RecordingParameter::make(1, 1),
               arrow = RecordingParameter::make(1, 0), toggle = RecordingParameter::make(1, 0);
    const std::vector<Case> cases{
        {"ChaosToggleButton", chaos, ChaosToggleButton(bound(chaos), 2, ChaosButtonColor::red),
         ChaosToggleButton::buttonSize},
        {"ModeToggleButton", mode,
         ModeToggleButton(bound(mode), 0, graphics::Color::white(1), ToggleButtonStyle::retro, 12),
         ModeToggleButton::buttonSize},
        {"ChaosToggleButtonNarrow", narrow, ChaosToggleButtonNarrow(bound(narrow), "A"),
         ChaosToggleButtonNarrow::buttonSize},
        {"LeftRightArrowButton", arrow, LeftRightArrowButton(bound(arrow), 0),
         LeftRightArrowButton::buttonSize},
        {"ToggleButton", toggle, ToggleButton(bound(toggle), graphics::Color::white(1), std::nullopt, 13),
         ToggleButton::buttonSize},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        Harness h(test.view, test.size);
        const float before = test.param->value();
        const Point c = centre(test.size);
        // The right and bottom edges are outside; so is anything left of or above the origin.
        for (const Point outside :
             {Point{test.size.width, c.y}, Point{c.x, test.size.height}, Point{-0.5, c.y}}) {
            h.down(c);
            h.up(outside);
            EXPECT_EQ(test.param->take(), (Edits{begin(before), end(before)}));
        }
        // Just inside the far corner still counts.
        h.down(c);
        h.up({test.size.width - 0.5, test.size.height - 0.5});
        EXPECT_EQ(test.param->take().size(), 3u);
    }
}

TEST_F(ParameterButtons, ClosureButtonsActOnlyOnAReleaseInsideAndImageButtonReportsOption) {
    int chaosCalls = 0;
    Harness chaos(ChaosButton("Go", ChaosButtonColor::red, [&] { ++chaosCalls; }), ChaosButton::buttonSize);
    chaos.down(centre(ChaosButton::buttonSize));
    EXPECT_EQ(images(chaos), (std::vector<std::string>{"chaos-button-yellow-down"}));
    chaos.up({48, 10});
    EXPECT_EQ(chaosCalls, 0);
    EXPECT_EQ(images(chaos), (std::vector<std::string>{"chaos-button-yellow"}));
    chaos.click({47.5, 55.5});
    EXPECT_EQ(chaosCalls, 1);

    // Without a closure a release does nothing at all.
    Harness silent(ChaosButton("Go", ChaosButtonColor::white), ChaosButton::buttonSize);
    silent.click({10, 10});

    std::vector<bool> options;
    Harness image(ImageButton(declarative::Image(kitImage("chaos-button-grey-off")),
                              declarative::Image(kitImage("chaos-button-grey-off-down")),
                              [&](bool option) { options.push_back(option); }),
                  ImageButton::buttonSize);
    image.down({20, 20});
    EXPECT_EQ(images(image), (std::vector<std::string>{"chaos-button-grey-off-down"}));
    image.up({20, 20}, ui::Modifier::option);
    image.click({20, 20});
    image.down({20, 20});
    image.up({20, 60}, ui::Modifier::option);
    EXPECT_EQ(options, (std::vector<bool>{true, false}));
    EXPECT_EQ(images(image), (std::vector<std::string>{"chaos-button-grey-off"}));
}

TEST_F(ParameterButtons, TwoValuedButtonsAreOnAtExactlyOneAndToggleByZero) {
    struct Case {
        const char* name;
        std::function<View(const std::shared_ptr<RecordingParameter>&)> make;
        Size size;
        const char* off;
        const char* on;
    };
    const std::vector<Case> cases{
        {"ToggleButton",
         [](const auto& p) {
             return View(ToggleButton(bound(p), graphics::Color::white(1), std::nullopt, 13));
         },
         ToggleButton::buttonSize, "modern-button", "modern-button-on"},
        {"ChaosToggleButtonNarrow", [](const auto& p) { return View(ChaosToggleButtonNarrow(bound(p))); },
         ChaosToggleButtonNarrow::buttonSize, "chaos-button-narrow-grey-off",
         "chaos-button-narrow-grey-on-yellow"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto param = RecordingParameter::make(1, 0.5f);
        Harness h(test.make(param), test.size);
        const Point c = centre(test.size);
        EXPECT_EQ(images(h), (std::vector<std::string>{test.off}));
        h.down(c);
        EXPECT_EQ(images(h), (std::vector<std::string>{std::string(test.off) + "-down"}));
        h.up(c);
        EXPECT_EQ(param->take(), (Edits{begin(0.5f), change(0), end(0)}));
        h.settle();
        h.click(c);
        EXPECT_EQ(param->take(), (Edits{begin(0), change(1), end(1)}));
        EXPECT_EQ(images(h), (std::vector<std::string>{test.on}));
        h.down(c);
        EXPECT_EQ(images(h), (std::vector<std::string>{std::string(test.on) + "-down"}));
        h.up(c);
        EXPECT_EQ(param->take(), (Edits{begin(1), change(0), end(0)}));

        // A change from the host redraws the button.
        param->setValue(1, ParameterEditor::parameterObserver, ParameterEditorState::change);
        EXPECT_EQ(images(h), (std::vector<std::string>{test.on}));
    }
}

TEST_F(ParameterButtons, TheArrowPointsLeftAtItsLeftValueAndTogglesByZero) {
    const auto param = RecordingParameter::make(1, 1);
    Harness h(LeftRightArrowButton(bound(param), 1), LeftRightArrowButton::buttonSize);
    const Point c = centre(LeftRightArrowButton::buttonSize);
    EXPECT_EQ(images(h), (std::vector<std::string>{"chaos-button-small-yellow-left"}));
    h.down(c);
    EXPECT_EQ(images(h), (std::vector<std::string>{"chaos-button-small-yellow-left-down"}));
    h.up(c);
    EXPECT_EQ(param->take(), (Edits{begin(1), change(0), end(0)}));
    EXPECT_EQ(images(h), (std::vector<std::string>{"chaos-button-small-yellow-right"}));
    h.down(c);
    EXPECT_EQ(images(h), (std::vector<std::string>{"chaos-button-small-yellow-right-down"}));
    h.up(c);
    EXPECT_EQ(param->take(), (Edits{begin(0), change(1), end(1)}));
    EXPECT_EQ(images(h), (std::vector<std::string>{"chaos-button-small-yellow-left"}));
}

TEST_F(ParameterButtons, AHoldButtonHoldsItsParameterAtOneWhileThePointerIsDown) {
    const auto param = RecordingParameter::make(1, 0);
    Harness h(ParameterHoldButton(bound(param), kitImage("retro-button"), kitImage("retro-button-down")),
              {88, 27});
    EXPECT_EQ(images(h), (std::vector<std::string>{"retro-button"}));
    h.down({10, 10});
    h.drag({30, 12});
    EXPECT_EQ(param->take(), (Edits{begin(0), change(1)}));
    EXPECT_EQ(images(h), (std::vector<std::string>{"retro-button-down"}));
    // No rectangle test: a release far away lets go the same way.
    h.up({500, -300});
    EXPECT_EQ(param->take(), (Edits{change(0), end(0)}));
    EXPECT_EQ(images(h), (std::vector<std::string>{"retro-button"}));
    h.click({10, 10});
    EXPECT_EQ(param->take(), (Edits{begin(0), change(1), change(0), end(0)}));
    h.settle();
    EXPECT_EQ(param->value(), 0.0f);
}

TEST_F(ParameterButtons, ACancelledPressEndsTheEditAndReleasesTheButton) {
    const auto toggle = RecordingParameter::make(1, 0);
    Harness h(ToggleButton(bound(toggle), graphics::Color::white(1), "Go", 13), ToggleButton::buttonSize);
    h.down({10, 10});
    h.host->cancelPointerTracking();
    EXPECT_EQ(toggle->take(), (Edits{begin(0), end(0)}));
    EXPECT_EQ(images(h), (std::vector<std::string>{"modern-button"}));

    const auto hold = RecordingParameter::make(1, 0);
    Harness held(ParameterHoldButton(bound(hold), kitImage("retro-button"), kitImage("retro-button-down")),
                 {88, 27});
    held.down({10, 10});
    held.host->cancelPointerTracking();
    EXPECT_EQ(hold->take(), (Edits{begin(0), change(1), change(0), end(0)}));
    held.settle();
    EXPECT_EQ(hold->value(), 0.0f);
}

TEST_F(ParameterButtons, ModeToggleImagesFollowTheStyleTable) {
    // [style][on][pressed]
    const std::array<std::array<std::array<const char*, 2>, 2>, 2> expected{{
        {{{"modern-button", "modern-button-down"}, {"modern-button-on", "modern-button-on-down"}}},
        {{{"retro-button", "retro-button"}, {"modern-button-on", "retro-button-down"}}},
    }};
    for (const auto style : {ToggleButtonStyle::modern, ToggleButtonStyle::retro}) {
        for (const bool on : {false, true}) {
            const auto param = modes(on ? 1 : 0);
            Harness h(ModeToggleButton(bound(param), 1, graphics::Color::white(1), style, 13),
                      ModeToggleButton::buttonSize);
            const auto& row = expected[static_cast<int>(style)][on ? 1 : 0];
            EXPECT_EQ(images(h), (std::vector<std::string>{row[0]}));
            h.down({40, 10});
            EXPECT_EQ(images(h), (std::vector<std::string>{row[1]}));
            h.up({100, 10});
        }
    }
}

TEST_F(ParameterButtons, ChaosToggleImagesTruncateTheValueAndNameTheColour) {
    const std::array<std::pair<ChaosButtonColor, const char*>, 4> colours{{
        {ChaosButtonColor::yellow, "chaos-button-grey-on-yellow"},
        {ChaosButtonColor::blue, "chaos-button-grey-on-blue"},
        {ChaosButtonColor::red, "chaos-button-grey-on-red"},
        {ChaosButtonColor::white, "chaos-button-grey-on-white"},
    }};
    for (const auto& [colour, name] : colours) {
        const auto param = modes(2.9f);
        Harness h(ChaosToggleButton(bound(param), 2, colour), ChaosToggleButton::buttonSize);
        EXPECT_EQ(images(h), (std::vector<std::string>{name}));
        h.down({10, 10});
        EXPECT_EQ(images(h), (std::vector<std::string>{std::string(name) + "-down"}));
        h.up({100, 10});
        param->setValue(1.99f, ParameterEditor::parameterObserver, ParameterEditorState::change);
        EXPECT_EQ(images(h), (std::vector<std::string>{"chaos-button-grey-off"}));
    }
}

// The one text a button drew (kept alive by the caller's vector).
const graphics::RecordedOp* onlyText(const std::vector<graphics::RecordedOp>& ops) {
    return ops.size() == 1 ? &ops.front() : nullptr;
}

TEST_F(ParameterButtons, TextsUseTheKitFacesColoursAndOffsets) {
    Harness chaos(ChaosButton("Go!", ChaosButtonColor::blue), ChaosButton::buttonSize);
    auto drawn = texts(chaos);
    auto text = onlyText(drawn);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, "Go!");
    EXPECT_EQ(text->fontSize, 13);
    EXPECT_EQ(text->textColor->name(), "ChaosYellowText");
    EXPECT_NEAR(text->deviceRect.midY(), 56 / 2 - 4, 1e-9);

    const auto param = modes(2);
    Harness toggle(ChaosToggleButton(bound(param), 2, ChaosButtonColor::yellow),
                   ChaosToggleButton::buttonSize);
    drawn = texts(toggle);
    text = onlyText(drawn);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, "RANDOM");
    EXPECT_EQ(text->textColor->name(), "chaosToggleText");
    EXPECT_NEAR(text->deviceRect.midY(), 56 / 2 - 6, 1e-9);
    toggle.down({10, 10});
    EXPECT_EQ(texts(toggle).at(0).textColor->name(), "chaosToggleTextPressed");
    toggle.up({100, 10});

    // An image replaces the text and dims while pressed.
    Harness pictured(ChaosToggleButton(bound(param), 2, ChaosButtonColor::yellow,
                                       declarative::Image(kitImage("kestrova-logo"))),
                     ChaosToggleButton::buttonSize);
    EXPECT_TRUE(texts(pictured).empty());
    pictured.down({10, 10});
    EXPECT_EQ(images(pictured), (std::vector<std::string>{"chaos-button-grey-on-yellow-down", "kestrova-logo"}));
    graphics::BitmapCanvas canvas(pictured.size, 1.0, true, true);
    pictured.host->drawTree(canvas.context());
    bool dimmed = false;
    for (const auto& op : canvas.recorder()->ops()) {
        dimmed = dimmed || std::abs(op.alpha - 0.7) < 1e-9;
    }
    EXPECT_TRUE(dimmed);
    pictured.up({100, 10});

    const auto flag = RecordingParameter::make(1, 0, std::nullopt, "straße");
    const auto lit = graphics::Color::rgba(0.1, 0.9, 0.3);
    Harness named(ToggleButton(bound(flag), lit, std::nullopt, 15), ToggleButton::buttonSize);
    drawn = texts(named);
    text = onlyText(drawn);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, "STRASSE");
    EXPECT_EQ(text->fontSize, 15);
    EXPECT_EQ(text->textColor->name(), "buttonText");
    EXPECT_NEAR(text->deviceRect.midY(), 27 / 2.0 + 2, 1e-9);
    flag->setValue(1, ParameterEditor::parameterObserver, ParameterEditorState::change);
    drawn = texts(named);
    text = onlyText(drawn);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->textColor->sameComponents(*lit));

    Harness overridden(ToggleButton(bound(flag), lit, "Rev", 15), ToggleButton::buttonSize);
    EXPECT_EQ(texts(overridden).at(0).text, "Rev");

    // Off labels of the mode toggle: the kit's background on retro, its button text on modern.
    for (const auto& [style, colour] : {std::pair{ToggleButtonStyle::retro, "background"},
                                        std::pair{ToggleButtonStyle::modern, "buttonText"}}) {
        Harness mode(ModeToggleButton(bound(param), 1, lit, style, 11), ModeToggleButton::buttonSize);
        drawn = texts(mode);
        text = onlyText(drawn);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->text, "DOWN");
        EXPECT_EQ(text->textColor->name(), colour);
    }
}

TEST_F(ParameterButtons, MissingValueStringsAndNonFiniteValuesDrawAnEmptyOffButton) {
    // An index past the value strings, and a parameter with none, label nothing.
    const auto param = modes(3);
    Harness past(ChaosToggleButton(bound(param), 9, ChaosButtonColor::red), ChaosToggleButton::buttonSize);
    for (const auto& op : texts(past)) {
        EXPECT_EQ(op.text, "");
    }
    Harness negative(
        ModeToggleButton(bound(param), -1, graphics::Color::white(1), ToggleButtonStyle::modern, 12),
        ModeToggleButton::buttonSize);
    for (const auto& op : texts(negative)) {
        EXPECT_EQ(op.text, "");
    }
    const auto bare = RecordingParameter::make(3, 0);
    Harness unnamed(
        ModeToggleButton(bound(bare), 0, graphics::Color::white(1), ToggleButtonStyle::modern, 12),
        ModeToggleButton::buttonSize);
    EXPECT_EQ(images(unnamed), (std::vector<std::string>{"modern-button-on"}));
    for (const auto& op : texts(unnamed)) {
        EXPECT_EQ(op.text, "");
    }

    // Values without an integer part match no index (and never reach an undefined conversion).
    for (const float odd : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1e30f, -1e30f}) {
        const auto wild = modes(0);
        Harness h(ChaosToggleButton(bound(wild), 0, ChaosButtonColor::red), ChaosToggleButton::buttonSize);
        wild->setObservedValue(odd);
        EXPECT_EQ(images(h), (std::vector<std::string>{"chaos-button-grey-off"})) << odd;
    }
}

} // namespace
