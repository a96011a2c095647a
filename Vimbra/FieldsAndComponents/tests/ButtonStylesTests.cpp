// The declarative push-button styles: their text colours and bezels by pressed and enabled state, the
// bezel's overhang beyond the button's layout frame, and each style's face.
#include "ComponentsTestSupport.hpp"
#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/ButtonStyles.hpp"

#include <gtest/gtest.h>

using namespace componentstest;
using namespace vimbra;

namespace {

// A label that reports the font and colour its button style hands it.
struct LabelProbe {
    std::shared_ptr<declarative::Environment> seen;
    View body(declarative::Context& context) const {
        *seen = context.environment();
        return declarative::Text("Go");
    }
};

struct Look {
    std::optional<graphics::Color> text;
    std::string bezel;
    Rect bezelRect;
};

Look lookOf(Host& host) {
    Look look;
    for (const auto& op : host.ops()) {
        if (op.kind == graphics::DrawOpKind::text && op.textColor) {
            look.text = op.textColor;
        } else if (op.kind == graphics::DrawOpKind::image) {
            look.bezel = op.imageName;
            look.bezelRect = op.rect;
        }
    }
    return look;
}

// The body a style makes for a configuration, hosted on its own.
Look bodyLook(const View& body) {
    Host host(body, {200, 60});
    return lookOf(host);
}

void expectColour(const graphics::Color& actual, const char* name, double alpha) {
    const auto expected = vimbraColor(name);
    EXPECT_DOUBLE_EQ(actual.red(), expected->red()) << name;
    EXPECT_DOUBLE_EQ(actual.green(), expected->green()) << name;
    EXPECT_DOUBLE_EQ(actual.blue(), expected->blue()) << name;
    EXPECT_DOUBLE_EQ(actual.alpha(), alpha) << name;
}

View label() {
    return declarative::Text("Go");
}

} // namespace

TEST(ButtonStyles, DefaultStyleDarkensWhilePressedAndDimsItsTextWhenDisabled) {
    struct Case {
        bool enabled, pressed;
        const char* colour;
        double alpha;
        const char* bezel;
    };
    for (const auto& c :
         {Case{true, false, "Grey 85%", 1, "qel-button"}, Case{true, true, "Grey 50%", 1, "qel-button-down"},
          Case{false, false, "Grey 85%", 0.5, "qel-button"},
          Case{false, true, "Grey 50%", 0.5, "qel-button-down"}}) {
        const auto look = bodyLook(DefaultPelkoButtonStyle{c.enabled}.makeBody({label(), c.pressed}));
        expectColour(*look.text, c.colour, c.alpha);
        EXPECT_EQ(look.bezel, c.bezel) << c.enabled << c.pressed;
    }
    // The branded style has no disabled look.
    for (bool pressed : {false, true}) {
        const auto look = bodyLook(KestrovaButtonStyle{}.makeBody({label(), pressed}));
        expectColour(*look.text, pressed ? "Grey 50%" : "Grey 85%", 1);
        EXPECT_EQ(look.bezel, pressed ? "qel-button-down" : "qel-button");
    }
}

TEST(ButtonStyles, ButtonsPressThroughPointerEventsAndTakeDisabledFromTheirEnvironment) {
    int actions = 0;
    Host host(declarative::VStack(
                  {declarative::Button([&] { ++actions; }, label()).buttonStyle(defaultPelkoButtonStyle()),
                   declarative::Button([&] { ++actions; }, label())
                       .buttonStyle(defaultPelkoButtonStyle())
                       .disabled(true)}),
              {200, 80});
    const auto colours = [&] {
        std::vector<graphics::Color> out;
        for (const auto& op : host.texts()) {
            out.push_back(*op.textColor);
        }
        return out;
    };
    auto rest = colours();
    ASSERT_EQ(rest.size(), 2u);
    expectColour(rest[0], "Grey 85%", 1);
    expectColour(rest[1], "Grey 85%", 0.5);

    // The buttons are 24 high and 8 apart, centred in the 80-point host: 12...36 and 44...68.
    host.down({100, 24});
    auto pressed = colours();
    expectColour(pressed[0], "Grey 50%", 1);
    EXPECT_EQ(lookOf(host).bezel, "qel-button"); // the bottom one, drawn last, stays at rest
    host.up({100, 24});
    EXPECT_EQ(actions, 1);
    expectColour(colours()[0], "Grey 85%", 1);

    // The disabled one neither presses nor acts.
    host.click({100, 56});
    EXPECT_EQ(actions, 1);
    expectColour(colours()[1], "Grey 85%", 0.5);

    // The branded style looks the same disabled.
    Host branded(declarative::HStack(
                     {declarative::Button([] {}, label()).buttonStyle(kestrovaButtonStyle()),
                      declarative::Button([] {}, label()).buttonStyle(kestrovaButtonStyle()).disabled(true)}),
                 {200, 40});
    const auto texts = branded.texts();
    ASSERT_EQ(texts.size(), 2u);
    expectColour(*texts[1].textColor, "Grey 85%", 1);
}

TEST(ButtonStyles, TheBezelOverhangsTheLayoutFrameAndTheHeightIsAlways24) {
    const auto box = [](double w, double h) {
        return declarative::ColorView(graphics::Color::rgba(1, 0, 0)).frame(w, h);
    };
    // A 40-point label between two 10-point neighbours: the button takes 36 points of the row, its
    // bezel draws 40, over 2 points of each neighbour; a 30-point-high label still makes a 24-point
    // button.
    for (const auto& style : {defaultPelkoButtonStyle(), kestrovaButtonStyle()}) {
        Host host(declarative::HStack(
                      {.spacing = 0},
                      {box(10, 10), declarative::Button([] {}, box(40, 30)).buttonStyle(style), box(10, 10)}),
                  {200, 60});
        std::vector<Rect> fills;
        Rect bezel;
        for (const auto& op : host.ops()) {
            if (op.kind == graphics::DrawOpKind::fillPath) {
                fills.push_back(op.rect);
            } else if (op.kind == graphics::DrawOpKind::image) {
                bezel = op.rect;
            }
        }
        ASSERT_EQ(fills.size(), 3u); // the neighbours and the label, which overflows its 24 points
        EXPECT_EQ(fills[0], Rect(72, 25, 10, 10));
        EXPECT_EQ(fills[1], Rect(80, 15, 40, 30));
        EXPECT_EQ(fills[2], Rect(118, 25, 10, 10));
        EXPECT_EQ(bezel, Rect(80, 18, 40, 24));
        EXPECT_EQ(host.host->sizeThatFits({std::nullopt, std::nullopt}).height, 24);
    }
}

TEST(ButtonStyles, EachStyleWritesInItsOwnFace) {
    const auto faceOf = [](const declarative::ButtonStyle& style) {
        auto seen = std::make_shared<declarative::Environment>();
        Host host(declarative::Button([] {}, View(LabelProbe{seen})).buttonStyle(style), {200, 40});
        return seen->resolvedFont();
    };
    const auto standard = faceOf(defaultPelkoButtonStyle());
    EXPECT_TRUE(*standard == *graphics::Font::systemFont(11, graphics::FontWeight::regular))
        << standard->displayName();
    const auto branded = faceOf(kestrovaButtonStyle());
    EXPECT_TRUE(*branded == *roundedSystemFont(12, graphics::FontWeight::bold)) << branded->displayName();
    EXPECT_EQ(branded->pointSize(), 12);
    EXPECT_TRUE(branded->isBold());

    // The rounded face keeps the asked size for every weight.
    for (const auto weight :
         {graphics::FontWeight::regular, graphics::FontWeight::medium, graphics::FontWeight::bold}) {
        const auto font = roundedSystemFont(12, weight);
        ASSERT_NE(font, nullptr);
        EXPECT_DOUBLE_EQ(font->pointSize(), 12);
    }
}
