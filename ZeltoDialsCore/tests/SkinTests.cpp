#include "DialBundles.hpp"
#include "DialTestSupport.hpp"
#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoDialsCore/ZeltoChaosDial/ChaosDial.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialBlue/LargeDialBlue.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialGrey/LargeDialGrey.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialOrange/LargeDialOrange.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialPurple/LargeDialPurple.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialRed/LargeDialRed.hpp"
#include "ZeltoDialsCore/ZeltoLargeDialYellow/LargeDialYellow.hpp"
#include "ZeltoDialsCore/ZeltoMediumDial/MediumDial.hpp"
#include "ZeltoDialsCore/ZeltoTinyDial/TinyDial.hpp"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace decltest;
using namespace dialtest;
using namespace zelto;

namespace {

LabelDisplayOptions options(CorviFont font) {
    return LabelDisplayOptions{.valueColor = blue(),
                               .labelFontSize = 13,
                               .valueFontSize = 12,
                               .editingFontSize = 12,
                               .showSuffix = true,
                               .showName = true,
                               .labelWidth = 60,
                               .font = font,
                               .customTitle = std::nullopt};
}

using Param = std::shared_ptr<AudioParameter>;

// One skin in one colour, as the tests build it.
struct Variant {
    const DialSequence& sequence;
    std::function<View(Param, CorviFont)> make;
};

template <class C> Variant large(graphics::ColorRef labelColor = red()) {
    return {C::sequence, [labelColor](Param p, CorviFont font) {
                return View(LargeDial<C>(std::move(p), C{}, labelColor, options(font)));
            }};
}
Variant medium(MediumDialColor color) {
    return {MediumDial::sequence(color), [color](Param p, CorviFont font) {
                return View(MediumDial(std::move(p), color, options(font)));
            }};
}

std::vector<Variant> allVariants() {
    return {{ChaosDial::sequence,
             [](Param p, CorviFont font) {
                 return View(ChaosDial(std::move(p), ModernDialColor::grey, options(font)));
             }},
            large<LargeDialBlue>(),
            large<LargeDialRed>(),
            large<LargeDialYellow>(),
            large<LargeDialPurple>(),
            large<LargeDialGrey>(),
            large<LargeDialOrange>(),
            medium(MediumDialColor::blue),
            medium(MediumDialColor::yellow),
            medium(MediumDialColor::red),
            medium(MediumDialColor::purple),
            {TinyDial::sequence,
             [](Param p, CorviFont font) { return View(TinyDial(std::move(p), options(font))); }}};
}

std::shared_ptr<RecordingParameter> mix(float value = 0) {
    return RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, value);
}

const Size hostSize{240, 200};
const Point centre{120, 100};

graphics::RecordedOp onlyImage(Harness& h) {
    const auto images = h.record(graphics::DrawOpKind::image);
    EXPECT_EQ(images.size(), 1u);
    return images.empty() ? graphics::RecordedOp{} : images.front();
}

void expectColor(const std::optional<graphics::Color>& drawn, const graphics::ColorRef& expected) {
    ASSERT_TRUE(drawn);
    ASSERT_TRUE(expected);
    EXPECT_NEAR(drawn->red(), expected->red(), 1e-6);
    EXPECT_NEAR(drawn->green(), expected->green(), 1e-6);
    EXPECT_NEAR(drawn->blue(), expected->blue(), 1e-6);
}

} // namespace

TEST(DialSkins, FrameNamesFollowEachSkinsPattern) {
    EXPECT_EQ(ChaosDial::frameName(7), "knobs/chaos-dial-grey_07");
    EXPECT_EQ(ChaosDial::frameName(51), "knobs/chaos-dial-grey_51");
    EXPECT_EQ(dialFrameName(LargeDialOrange::sequence, 7), "knobs/chaos-dial-large-orange_07");
    EXPECT_EQ(LargeDialBlue{}.indexString(7), "07");
    EXPECT_EQ(LargeDialBlue{}.indexString(51), "51");
    EXPECT_EQ(MediumDial::frameName(MediumDialColor::red, 1), "knobs/dial-medium-red-01");
    EXPECT_EQ(MediumDial::frameName(MediumDialColor::purple, 51), "knobs/dial-medium-purple-51");
    EXPECT_EQ(TinyDial::frameName(7), "knobs/dial-small-grey-07");
    EXPECT_EQ(std::string(MediumDial::sequence(MediumDialColor::yellow).module), "ZeltoMediumDial");
    EXPECT_EQ(std::string(LargeDialPurple::sequence.module), "ZeltoLargeDialPurple");
}

TEST(DialSkins, EverySkinShowsTheFrameOfItsValueFromItsOwnBundle) {
    useDialBundles();
    for (const auto& variant : allVariants()) {
        auto param = mix(12); // frame 7
        Harness h(variant.make(param, CorviFont::dosisLight), hostSize);
        auto image = onlyImage(h);
        EXPECT_EQ(image.imageName, dialFrameName(variant.sequence, 7));
        ASSERT_TRUE(image.image) << image.imageName;
        EXPECT_EQ(image.image->size(), (Size{variant.sequence.width, variant.sequence.height}));
        param->hostSets(100);
        EXPECT_EQ(onlyImage(h).imageName, dialFrameName(variant.sequence, 51));
    }
}

TEST(DialSkins, FramesAndLabelsSitWhereTheSkinPutsThem) {
    useDialBundles();
    struct Expected {
        Variant variant;
        Point imageOffset;
        double labelOffset;
    };
    for (const auto& [variant, imageOffset, labelOffset] :
         std::vector<Expected>{{allVariants()[0], {0, -16}, 40},
                               {allVariants()[1], {0, -16}, 44},
                               {allVariants()[7], {0, -16}, 44},
                               {allVariants()[11], {0, 0}, 30}}) {
        Harness h(variant.make(mix(), CorviFont::dosisLight), hostSize);
        const auto image = onlyImage(h);
        EXPECT_EQ(image.rect.size, (Size{variant.sequence.width, variant.sequence.height}));
        EXPECT_EQ(image.deviceRect.center(), (Point{centre.x + imageOffset.x, centre.y + imageOffset.y}));
        // The label block (a 13-point name over a 40-point value line, overlapping by 10) is centred
        // labelOffset below the dial's centre.
        const auto name = h.record(graphics::DrawOpKind::text).front();
        EXPECT_EQ(name.text, "MIX");
        EXPECT_NEAR(name.deviceRect.minY(), centre.y + labelOffset - (13 + 40 - 10) / 2.0, 1e-9);
        EXPECT_NEAR(name.deviceRect.midX(), centre.x, 1e-9);
    }
}

TEST(DialSkins, TheTinyDialStartsSoonerAndMovesFaster) {
    useDialBundles();
    EXPECT_EQ(TinyDial(mix(), options(CorviFont::rocket)).knobMinDrag, 3.0);
    EXPECT_EQ(TinyDial(mix(), options(CorviFont::rocket)).knobDragScaleFactor, 0.01f);
    for (const auto& dial : {ChaosDial(mix(), ModernDialColor::grey, options(CorviFont::rocket))}) {
        EXPECT_EQ(dial.imageCount, 51);
        EXPECT_EQ(dial.knobMinDrag, 6.0);
        EXPECT_EQ(dial.knobDragScaleFactor, 0.005f);
    }
    const auto m = MediumDial(mix(), MediumDialColor::red, options(CorviFont::rocket));
    EXPECT_EQ(m.imageCount, 51);
    EXPECT_EQ(m.knobMinDrag, 6.0);

    for (bool tiny : {true, false}) {
        auto param = mix();
        Harness h(tiny ? View(TinyDial(param, options(CorviFont::rocket)))
                       : View(ChaosDial(param, ModernDialColor::grey, options(CorviFont::rocket))),
                  hostSize);
        const Point knob = onlyImage(h).deviceRect.center();
        h.down(knob);
        h.drag({knob.x, knob.y - 3});
        h.settle();
        EXPECT_EQ(param->edits.size(), tiny ? 1u : 0u);
        h.drag({knob.x, knob.y - 6});
        h.settle();
        h.drag({knob.x, knob.y - 16});
        h.settle();
        h.up({knob.x, knob.y - 16});
        h.settle();
        // Ten points after the start: a tenth of the range on the tiny dial, a twentieth on the others;
        // the tiny dial also took the three points before.
        EXPECT_FLOAT_EQ(param->value(), tiny ? 13 : 5);
    }
}

TEST(DialSkins, LabelsTakeTheSkinsColourAndFace) {
    useDialBundles();
    auto face = [](CorviFont font) { return corviFont(font, 13)->familyName(); };
    ASSERT_NE(face(CorviFont::rocket), face(CorviFont::dosisMedium)) << "the kit's faces are not registered";
    struct Expected {
        View view;
        graphics::ColorRef color;
        CorviFont font;
    };
    auto p = mix();
    const ChaosDial chaos(p, ModernDialColor::grey, options(CorviFont::rocket));
    EXPECT_EQ(chaos.label().font, CorviFont::dosisMedium);
    EXPECT_EQ(chaos.label().displayOptions.font, CorviFont::rocket) << "the options travel unchanged";
    const TinyDial tiny(p, options(CorviFont::dosisLight));
    EXPECT_EQ(tiny.label().font, CorviFont::rocket);
    for (const auto& [view, color, font] : std::vector<Expected>{
             {chaos, zeltoPluginGrey(), CorviFont::dosisMedium},
             {tiny, zeltoTinyDialLabel(), CorviFont::rocket},
             {MediumDial(p, MediumDialColor::blue, options(CorviFont::rocket)), zeltoPluginBlue(),
              CorviFont::rocket},
             {MediumDial(p, MediumDialColor::yellow, options(CorviFont::rocket)), zeltoPluginYellow(),
              CorviFont::rocket},
             {MediumDial(p, MediumDialColor::red, options(CorviFont::dosisMedium)), zeltoPluginRed(),
              CorviFont::dosisMedium},
             {MediumDial(p, MediumDialColor::purple, options(CorviFont::rocket)), zeltoPluginPurple(),
              CorviFont::rocket},
             {LargeDial<LargeDialGrey>(p, LargeDialGrey{}, graphics::Color::rgba(0.1, 0.8, 0.3),
                                       options(CorviFont::rocket)),
              graphics::Color::rgba(0.1, 0.8, 0.3), CorviFont::rocket}}) {
        Harness h(view, hostSize);
        const auto texts = h.record(graphics::DrawOpKind::text);
        ASSERT_EQ(texts.size(), 3u);
        expectColor(texts[0].textColor, color);
        expectColor(texts[1].textColor, blue()); // the value keeps the options' colour
        for (const auto& text : texts) {
            EXPECT_EQ(text.fontName, face(font)) << text.text;
        }
    }
}

TEST(DialSkinsDeathTest, AMissingBundleStopsTheProgramNamingIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto empty = std::filesystem::path(DIALS_SCRATCH_DIR) / "no-bundles";
    std::filesystem::create_directories(empty);
    EXPECT_DEATH(
        {
            unsetenv("TESSARAY_BUNDLE_PATH");
            core::Bundle::setMainBundlePath(empty);
            TinyDial::frameImage(1);
        },
        "unable to find bundle named Zelto_ZeltoTinyDial");
}
