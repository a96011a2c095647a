// The shake effect, binding adaptors, control-size conversion and the backported modifiers.

#include "Vimbra/DeclarativeSupport.hpp"
#include "declarative/tests/Support.hpp"

#include <gtest/gtest.h>

using namespace vimbra;

namespace {

TEST(ShakeEffect, PeaksBetweenShakesAndRestsOnThem) {
    const ShakeEffect atPeak{10, 3, 1.0 / 6};
    EXPECT_NEAR(atPeak.effectValue({50, 20}).tx, 10, 1e-9);
    EXPECT_EQ(atPeak.effectValue({50, 20}).ty, 0);
    EXPECT_NEAR((ShakeEffect{10, 3, 1}.effectValue({}).tx), 0, 1e-9);
    EXPECT_NEAR((ShakeEffect{10, 3, 1.0 / 3}.effectValue({}).tx), 0, 1e-9);
    EXPECT_EQ((ShakeEffect{10, 3, 0}.effectValue({}).tx), 0);
}

TEST(BindingAdaptors, OptionalIgnoresNothingAndWithoutAnimationPassesThrough) {
    int stored = 4;
    declarative::Binding<int> binding([&] { return stored; }, [&](int v) { stored = v; });
    auto opt = optional(binding);
    EXPECT_EQ(opt.get(), std::optional<int>(4));
    opt.set(std::nullopt);
    EXPECT_EQ(stored, 4);
    opt.set(9);
    EXPECT_EQ(stored, 9);
    withoutAnimation(binding).set(2);
    EXPECT_EQ(stored, 2);
}

TEST(ControlSizes, ConvertByTheTableAndExtraLargeBecomesLarge) {
    EXPECT_EQ(declarativeControlSize(ui::ControlSize::regular), DeclarativeControlSize::regular);
    EXPECT_EQ(declarativeControlSize(ui::ControlSize::small), DeclarativeControlSize::small);
    EXPECT_EQ(declarativeControlSize(ui::ControlSize::mini), DeclarativeControlSize::mini);
    EXPECT_EQ(declarativeControlSize(ui::ControlSize::large), DeclarativeControlSize::large);
    EXPECT_EQ(declarativeControlSize(ui::ControlSize::extraLarge), DeclarativeControlSize::large);
    EXPECT_EQ(appKitControlSize(DeclarativeControlSize::mini), ui::ControlSize::mini);
    EXPECT_EQ(appKitControlSize(DeclarativeControlSize::regular), ui::ControlSize::regular);
    EXPECT_EQ(appKitControlSize(DeclarativeControlSize::extraLarge), ui::ControlSize::large);
    EXPECT_DEATH(declarativeControlSize(static_cast<ui::ControlSize>(9)), "Unhandled control size: 9");
}

TEST(Backport, LegacyFrameAndScaledBackgroundLayOutAsOnTheMinimumPlatform) {
    using namespace declarative;
    decltest::Harness harness(
        backport(backport(Rectangle().fill(decltest::blue()).frame(std::nullopt, 20)).legacyFrame(40))
            .scaledBackground(decltest::red()),
        {200, 100});
    const auto fills = harness.fills();
    ASSERT_EQ(fills.size(), 2u);
    // The background is 1.5 times the 40 by 20 content, about the same centre.
    EXPECT_NEAR(fills[0].width(), 60, 1e-6);
    EXPECT_NEAR(fills[0].height(), 30, 1e-6);
    EXPECT_NEAR(fills[1].width(), 40, 1e-6);
    EXPECT_NEAR(fills[0].midX(), fills[1].midX(), 1e-6);
    EXPECT_NEAR(fills[0].midY(), fills[1].midY(), 1e-6);
}

TEST(Backport, EscapeRunsTheActionAndOtherKeysPassOn) {
    using namespace declarative;
    int escapes = 0;
    struct Field {
        int* escapes;
        View body(Context& ctx) const {
            auto text = ctx.state(std::string("ab"));
            return backport(TextField(text.binding()).frame(80, 20)).onEscapeKey([this] { ++*escapes; });
        }
    };
    decltest::Harness harness(Field{&escapes}, {100, 40});
    harness.click({50, 20});
    harness.settle();
    harness.backend->keyDown("\x1b", 0, 9);
    EXPECT_EQ(escapes, 1);
    harness.backend->keyDown("c", 0, 54);
    EXPECT_EQ(escapes, 1);
}

} // namespace
