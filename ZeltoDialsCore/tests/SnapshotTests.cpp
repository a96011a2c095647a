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

using Param = std::shared_ptr<AudioParameter>;

LabelDisplayOptions options(double valueSize = 13) {
    return LabelDisplayOptions{.valueColor = kitColor("ChaosYellowText"),
                               .labelFontSize = 13,
                               .valueFontSize = valueSize,
                               .editingFontSize = 12,
                               .showSuffix = true,
                               .showName = true,
                               .labelWidth = 56,
                               .font = CorviFont::dosisMedium,
                               .customTitle = std::nullopt};
}

std::filesystem::path snapshotFile(const std::string& name, double scale) {
    std::filesystem::create_directories(DIALS_SNAPSHOT_DIR);
    return std::filesystem::path(DIALS_SNAPSHOT_DIR) / (name + (scale == 1 ? "@1x.png" : "@2x.png"));
}

// Device pixels of region (points) in two places that differ clearly.
int differingPixels(Harness& h, double scale, const Rect& a, const Rect& b) {
    int count = 0;
    const int w = static_cast<int>(a.width() * scale), ht = static_cast<int>(a.height() * scale);
    for (int y = 0; y < ht; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto p =
                h.backend->pixel(static_cast<int>(a.x() * scale) + x, static_cast<int>(a.y() * scale) + y);
            const auto q =
                h.backend->pixel(static_cast<int>(b.x() * scale) + x, static_cast<int>(b.y() * scale) + y);
            count += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > 60 ? 1 : 0;
        }
    }
    return count;
}

struct Skin {
    std::string name;
    std::function<View(Param)> make;
};

std::vector<Skin> skins() {
    return {{"chaos-dial", [](Param p) { return View(ChaosDial(p, ModernDialColor::grey, options())); }},
            {"large-dial-orange",
             [](Param p) { return View(LargeDial(p, LargeDialOrange{}, zeltoPluginGrey(), options())); }},
            {"medium-dial-red", [](Param p) { return View(MediumDial(p, MediumDialColor::red, options())); }},
            {"tiny-dial", [](Param p) { return View(TinyDial(p, options(11))); }}};
}

struct Row {
    std::vector<Param> params;
    std::function<View(Param)> make;
    View body(Context&) const {
        std::vector<View> dials;
        for (const auto& p : params) {
            dials.push_back(make(p));
        }
        return HStack({.spacing = 28}, std::move(dials)).padding(EdgeInsets{24, 20, 24, 20});
    }
};

Param mix(float value) {
    return RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, value);
}

void prepare(Harness& h) {
    h.window->setBackgroundColor(kitColor("background"));
    h.host->setTextMeasurer(nullptr); // Pango, as on screen
    h.settle();
}

} // namespace

TEST(DialSnapshots, EachSkinAtItsMinimumMiddleAndMaximum) {
    useDialBundles();
    for (const auto& skin : skins()) {
        for (double scale : {1.0, 2.0}) {
            Harness h(Row{{mix(0), mix(50), mix(100)}, skin.make}, {330, 150}, scale);
            prepare(h);
            const auto file = snapshotFile(skin.name, scale);
            ASSERT_TRUE(h.backend->writePNG(file));
            const auto images = h.record(graphics::DrawOpKind::image);
            ASSERT_EQ(images.size(), 3u) << file;
            const Rect min = images[0].deviceRect, mid = images[1].deviceRect, max = images[2].deviceRect;
            // The indicator turns: every two positions differ clearly, by more than anti-aliasing would.
            const int area = static_cast<int>(min.width() * min.height() * scale * scale);
            EXPECT_GT(differingPixels(h, scale, min, mid), area / 100) << file;
            EXPECT_GT(differingPixels(h, scale, mid, max), area / 100) << file;
            EXPECT_GT(differingPixels(h, scale, min, max), area / 100) << file;
            // The value sweeps clockwise from the lower left: by the middle it has lit the left of the dial,
            // only at the maximum the right.
            auto quarter = [](const Rect& r, bool right) {
                return Rect(r.x() + (right ? r.width() * 3 / 4 : 0), r.y(), r.width() / 4,
                            r.height() * 3 / 4);
            };
            auto brightness = [&](const Rect& r) {
                long sum = 0;
                for (int y = 0; y < static_cast<int>(r.height() * scale); ++y) {
                    for (int x = 0; x < static_cast<int>(r.width() * scale); ++x) {
                        const auto p = h.backend->pixel(static_cast<int>(r.x() * scale) + x,
                                                        static_cast<int>(r.y() * scale) + y);
                        sum += p.r + p.g + p.b;
                    }
                }
                return sum;
            };
            EXPECT_GT(brightness(quarter(mid, false)), brightness(quarter(min, false)) * 11 / 10) << file;
            EXPECT_GT(brightness(quarter(max, true)), brightness(quarter(mid, true)) * 11 / 10) << file;
        }
    }
}

TEST(DialSnapshots, EveryColourAtItsMiddle) {
    useDialBundles();
    for (double scale : {1.0, 2.0}) {
        std::vector<std::function<View(Param)>> makers{
            [](Param p) { return View(LargeDial(p, LargeDialBlue{}, zeltoPluginBlue(), options())); },
            [](Param p) { return View(LargeDial(p, LargeDialRed{}, zeltoPluginRed(), options())); },
            [](Param p) { return View(LargeDial(p, LargeDialYellow{}, zeltoPluginYellow(), options())); },
            [](Param p) { return View(LargeDial(p, LargeDialPurple{}, zeltoPluginPurple(), options())); },
            [](Param p) { return View(LargeDial(p, LargeDialGrey{}, zeltoPluginGrey(), options())); },
            [](Param p) { return View(LargeDial(p, LargeDialOrange{}, zeltoPluginGrey(), options())); },
            [](Param p) { return View(MediumDial(p, MediumDialColor::blue, options())); },
            [](Param p) { return View(MediumDial(p, MediumDialColor::yellow, options())); },
            [](Param p) { return View(MediumDial(p, MediumDialColor::red, options())); },
            [](Param p) { return View(MediumDial(p, MediumDialColor::purple, options())); }};
        struct Gallery {
            std::vector<std::function<View(Param)>> makers;
            Param param;
            View body(Context&) const {
                std::vector<View> top, bottom;
                for (std::size_t i = 0; i < makers.size(); ++i) {
                    (i < 6 ? top : bottom).push_back(makers[i](param));
                }
                return VStack({.spacing = 40},
                              {HStack({.spacing = 16}, top), HStack({.spacing = 16}, bottom)});
            }
        };
        Harness h(Gallery{makers, mix(62)}, {600, 300}, scale);
        prepare(h);
        ASSERT_TRUE(h.backend->writePNG(snapshotFile("dial-colours", scale)));
        EXPECT_EQ(h.record(graphics::DrawOpKind::image).size(), makers.size());
    }
}

TEST(DialSnapshots, ALabelWhileEditing) {
    useDialBundles();
    for (double scale : {1.0, 2.0}) {
        auto param =
            RecordingParameter::make("Pitch", AudioUnitParameterUnit::absoluteCents, {-2400, 2400}, 350);
        Harness h(View(ChaosDial(param, ModernDialColor::grey, options())).padding(20), {140, 150}, scale);
        prepare(h);
        const auto texts = h.record(graphics::DrawOpKind::text);
        ASSERT_EQ(texts.size(), 2u);
        const Point value = texts[1].deviceRect.center();
        // The field's focus ring, left of the value text.
        auto ringDrawn = [&] {
            for (double x = value.x - 40; x < value.x - 12; x += 1.0 / scale) {
                const auto p =
                    h.backend->pixel(static_cast<int>(x * scale), static_cast<int>(value.y * scale));
                if (p.b > p.r + 50) {
                    return true;
                }
            }
            return false;
        };
        EXPECT_FALSE(ringDrawn());
        h.click(value);
        h.settle();
        h.settle();
        h.backend->typeKey(ui::utf8(ui::SpecialKey::end));
        h.backend->typeKey("5");
        h.settle();
        ASSERT_TRUE(h.backend->writePNG(snapshotFile("chaos-dial-editing", scale)));
        EXPECT_TRUE(ringDrawn());
        const auto edited = h.record(graphics::DrawOpKind::text);
        ASSERT_EQ(edited.size(), 2u);
        EXPECT_EQ(edited[1].text, "3.55");
    }
}
