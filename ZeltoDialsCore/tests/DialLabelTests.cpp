#include "DialTestSupport.hpp"
#include "ZeltoDialsCore/DialLabel.hpp"

#include <algorithm>
#include <gtest/gtest.h>

using namespace decltest;
using namespace dialtest;
using zelto::DialLabel;
using zelto::LabelDisplayOptions;

namespace {

LabelDisplayOptions options(bool showName = true, bool showSuffix = true,
                            std::optional<std::string> customTitle = std::nullopt) {
    return LabelDisplayOptions{.valueColor = blue(),
                               .labelFontSize = 13,
                               .valueFontSize = 12,
                               .editingFontSize = 12,
                               .showSuffix = showSuffix,
                               .showName = showName,
                               .labelWidth = 60,
                               .font = CorviFont::dosisMedium,
                               .customTitle = std::move(customTitle)};
}

std::string key(char32_t special) {
    return ui::utf8(special);
}

struct LabelRig {
    explicit LabelRig(std::shared_ptr<RecordingParameter> p, LabelDisplayOptions o = options())
        : param(std::move(p)),
          h(DialLabel(param, red(), std::move(o), CorviFont::dosisMedium, nullptr, [this] { ++ended; }),
            {200, 100}) {}

    // Clicks the value and lets focus arrive.
    void startEditing(Point at = {100, 52}) {
        h.click(at);
        h.settle();
        h.settle();
    }
    void type(const std::string& text) {
        for (char c : text) {
            h.backend->typeKey(std::string(1, c));
        }
    }
    bool fieldShown() { return !h.record(graphics::DrawOpKind::strokePath).empty(); }

    std::shared_ptr<RecordingParameter> param;
    int ended = 0;
    Harness h;
};

} // namespace

TEST(DialLabel, ShowsTheUpperCasedNameAndTheValueWithItsSuffix) {
    LabelRig rig(RecordingParameter::make("Dry/Wet", AudioUnitParameterUnit::percent, {0, 100}, 42));
    EXPECT_EQ(drawnTexts(rig.h), (std::vector<std::string>{"DRY/WET", "42.0", "%"}));
    rig.param->hostSets(7.25f);
    EXPECT_EQ(drawnTexts(rig.h), (std::vector<std::string>{"DRY/WET", "7.2", "%"}));
    // The two lines overlap by ten points; the value line is 40 high and centred in it.
    const auto ops = rig.h.record(graphics::DrawOpKind::text);
    EXPECT_NEAR(ops[1].rect.midY() - ops[0].rect.maxY(), 40 / 2 - 10, 0.01);

    LabelRig titled(
        RecordingParameter::make("Note", AudioUnitParameterUnit::absoluteCents, {-2400, 2400}, 250),
        options(true, true, "Pitch shift"));
    EXPECT_EQ(drawnTexts(titled.h), (std::vector<std::string>{"PITCH SHIFT", "2.5"}))
        << "cents have no suffix";
    LabelRig bare(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 5),
                  options(false, false));
    EXPECT_EQ(drawnTexts(bare.h), (std::vector<std::string>{"5.0"}));
    EXPECT_EQ(bare.h.host->sizeThatFits(Proposal::unspecified()).height, 40) << "no name, no spacing";
}

TEST(DialLabel, ReturnAppliesTypedValuesThroughTheDisplayScale) {
    LabelRig rig(RecordingParameter::make("Note", AudioUnitParameterUnit::absoluteCents, {-2400, 2400}, 0));
    rig.startEditing();
    ASSERT_TRUE(rig.fieldShown());
    rig.type("2.5"); // focus arrives with the text selected, so typing replaces it
    rig.h.backend->typeKey(key(ui::SpecialKey::carriageReturn));
    rig.h.settle();
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{change(250)}));
    EXPECT_EQ(rig.ended, 1);
    EXPECT_FALSE(rig.fieldShown());
    EXPECT_EQ(drawnTexts(rig.h), (std::vector<std::string>{"NOTE", "2.5"}));
}

TEST(DialLabel, TypedValuesAreClampedAndTextThatIsNoNumberSetsNothing) {
    LabelRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 50));
    rig.startEditing();
    rig.type("99999");
    rig.h.backend->typeKey(key(ui::SpecialKey::carriageReturn));
    rig.h.settle();
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{change(100)}));

    rig.startEditing();
    rig.type("abc");
    rig.h.backend->typeKey(key(ui::SpecialKey::carriageReturn));
    rig.h.settle();
    EXPECT_EQ(rig.param->edits.size(), 1u);
    EXPECT_EQ(rig.ended, 2) << "editing still ends";
    EXPECT_EQ(drawnTexts(rig.h), (std::vector<std::string>{"MIX", "100.0", "%"}));
}

TEST(DialLabel, EscapeDiscardsTheTextAndEndsEditing) {
    LabelRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 50));
    rig.startEditing();
    rig.type("12");
    rig.h.window->sendEvent(ui::Event::keyEvent(ui::EventType::keyDown, key(ui::SpecialKey::escape),
                                                key(ui::SpecialKey::escape), 0, 0, 0, rig.h.window, true));
    rig.h.settle();
    EXPECT_TRUE(rig.param->edits.empty());
    EXPECT_EQ(rig.ended, 1) << "a repeated Escape counts too";
    EXPECT_FALSE(rig.fieldShown());
    EXPECT_EQ(drawnTexts(rig.h), (std::vector<std::string>{"MIX", "50.0", "%"}));
    // The next edit starts from the current value, not from what was typed.
    rig.startEditing();
    rig.h.backend->typeKey(key(ui::SpecialKey::end));
    rig.type("5");
    rig.h.backend->typeKey(key(ui::SpecialKey::carriageReturn));
    rig.h.settle();
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{change(50.05f)}));
}

namespace {
struct TwoLabels {
    std::shared_ptr<RecordingParameter> a, b;
    std::shared_ptr<int> ended;
    View body(Context&) const {
        auto count = ended;
        return HStack(
            {.spacing = 20},
            {DialLabel(a, red(), options(), CorviFont::dosisMedium, nullptr, [count] { ++*count; }),
             DialLabel(b, red(), options(), CorviFont::dosisMedium, nullptr, [count] { ++*count; })});
    }
};
} // namespace

TEST(DialLabel, LosingFocusEndsEditingWithoutApplyingOrTheCallback) {
    auto a = RecordingParameter::make("A", AudioUnitParameterUnit::generic, {0, 10}, 1);
    auto b = RecordingParameter::make("B", AudioUnitParameterUnit::generic, {0, 10}, 2);
    auto ended = std::make_shared<int>(0);
    Harness h(TwoLabels{a, b, ended}, {200, 100});
    const auto texts = h.record(graphics::DrawOpKind::text);
    ASSERT_EQ(texts.size(), 4u);
    h.click({texts[1].rect.midX(), texts[1].rect.midY()});
    h.settle();
    h.settle();
    h.backend->typeKey("7");
    // The field is wider than the value was: find the other label again.
    const auto moved = h.record(graphics::DrawOpKind::text);
    ASSERT_EQ(moved.size(), 4u);
    h.click({moved[3].rect.midX(), moved[3].rect.midY()}); // the other label takes focus
    h.settle();
    h.settle();
    h.settle();
    EXPECT_TRUE(a->edits.empty());
    EXPECT_EQ(*ended, 0);
    h.backend->typeKey("3");
    h.backend->typeKey(key(ui::SpecialKey::carriageReturn));
    h.settle();
    EXPECT_EQ(b->edits, (std::vector<Edit>{change(3)}));
    EXPECT_EQ(*ended, 1);
    EXPECT_EQ(drawnTexts(h), (std::vector<std::string>{"A", "1.0", "B", "3.0"}));
}
