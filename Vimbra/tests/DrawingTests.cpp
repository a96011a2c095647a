#include "Vimbra/Assets.hpp"
#include "Vimbra/Geometry.hpp"
#include "Vimbra/ImageOps.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/tests/InputTree.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Application.hpp"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vimbra;

using graphics::Color;
using graphics::ImageRef;
using graphics::Rect;

namespace {

using WindowCleanup = displaytest::Cleanup;

// Draws one image into a rect, as a styled cell draws its bezel.
class ImageView : public ui::View {
public:
    ImageView(const Rect& frame, ImageRef image, Rect dest, bool flipped = false,
              bool viaFlipTransform = false)
        : View(frame), image_(std::move(image)), dest_(dest), flipped_(flipped), viaFlip_(viaFlipTransform) {}
    bool isFlipped() const override { return flipped_; }
    void draw(const Rect&) override {
        auto* context = graphics::GraphicsContext::current();
        if (viaFlip_) {
            // The cells' way in a flipped view: flip over the frame, draw without respecting flipping.
            graphics::GraphicsContext::StateGuard guard(*context);
            flipVertically(bounds());
            context->drawImage(image_, dest_);
        } else {
            context->drawImage(image_, dest_, {}, graphics::CompositingOperation::sourceOver, 1.0, true);
        }
    }

private:
    ImageRef image_;
    Rect dest_;
    bool flipped_;
    bool viaFlip_;
};

bool near(std::uint8_t a, std::uint8_t b, int tolerance = 3) {
    return std::abs(int(a) - int(b)) <= tolerance;
}

// Top half red, bottom half blue.
ImageRef twoTone() {
    return graphics::Image::draw({10, 10}, 1, [](graphics::GraphicsContext& c) {
        c.fillRect(Rect(0, 5, 10, 5), Color::rgba(1, 0, 0)); // unflipped: y 5..10 is the top
        c.fillRect(Rect(0, 0, 10, 5), Color::rgba(0, 0, 1));
    });
}

} // namespace

TEST(ImageOperations, TintingOnlyChangesTemplatesAndPaintsTheirShape) {
    auto plain = vimbraImage("qel-button");
    EXPECT_EQ(tinted(plain, Color::rgba(1, 0, 0)), plain);

    auto glyph = vimbraImage("qel-combobox-up");
    ASSERT_TRUE(glyph->isTemplate());
    const auto red = Color::rgba(1, 0, 0);
    auto painted = tinted(glyph, red);
    ASSERT_NE(painted, glyph);
    EXPECT_FALSE(painted->isTemplate());
    EXPECT_TRUE(glyph->isTemplate()); // the original is untouched

    graphics::BitmapCanvas canvas({20, 26}, 2, false, true);
    {
        graphics::GraphicsContext::CurrentScope scope(canvas.context());
        painted->drawInRect(Rect(0, 0, 20, 26));
    }
    const auto ops = canvas.recorder()->ops(graphics::DrawOpKind::image);
    ASSERT_EQ(ops.size(), 1u);
    ASSERT_TRUE(ops[0].tintColor.has_value());
    EXPECT_TRUE(ops[0].tintColor->sameComponents(*red));
    EXPECT_FALSE(ops[0].isTemplate);
    EXPECT_EQ(ops[0].repScale, 2);
    // Every painted pixel of the glyph is red; transparent ones stay transparent.
    int painted_pixels = 0;
    for (int y = 0; y < 52; ++y) {
        for (int x = 0; x < 40; ++x) {
            const auto p = canvas.pixel(x, y);
            if (p.a > 200) {
                ++painted_pixels;
                EXPECT_TRUE(p.r == 255 && p.g == 0 && p.b == 0) << x << "," << y;
            }
        }
    }
    EXPECT_GT(painted_pixels, 10);
}

TEST(ImageOperations, AlphaPaddingAndPng) {
    auto box = vimbraImage("qel-checkbox-on");
    const auto rep = box->bestRepresentation(2);
    const auto source = rep->pixel(8, 8);
    ASSERT_EQ(source.a, 255);

    auto faded = withAlpha(*box, 0.5);
    EXPECT_EQ(faded->size(), box->size());
    EXPECT_NEAR(faded->bestRepresentation(2)->pixel(8, 8).a, 128, 2);
    EXPECT_EQ(faded->bestRepresentation(2)->pixelsWide(), 32); // as crisp as the source

    auto wider = padded(*box, 4);
    EXPECT_EQ(wider->size(), (graphics::Size{20, 16}));
    EXPECT_EQ(wider->bestRepresentation(2)->pixel(4, 16).a, 0);
    EXPECT_EQ(wider->bestRepresentation(2)->pixel(8 + 8, 8), source);

    auto onlyDense = filtered(*box, [](const graphics::ImageRep& r) { return r.scale() > 1; });
    ASSERT_EQ(onlyDense->representations().size(), 1u);
    EXPECT_EQ(onlyDense->size(), box->size());
    EXPECT_THROW(filtered(*box, [](const graphics::ImageRep&) -> bool { throw std::runtime_error("no"); }),
                 std::runtime_error);
    EXPECT_EQ(bitmapRepresentation(*box, {}, nullptr), box->representations().front());

    // 16 bits per channel in Display P3: sRGB red becomes the P3 red of lesser saturation.
    auto red = graphics::Image::draw(
        {2, 2}, 1, [](graphics::GraphicsContext& c) { c.fillRect(Rect(0, 0, 2, 2), Color::rgba(1, 0, 0)); });
    auto data = pngData(*red);
    ASSERT_TRUE(data.has_value());
    ASSERT_GT(data->size(), 26u);
    EXPECT_EQ((*data)[24], 16); // bit depth
    EXPECT_EQ((*data)[25], 6);  // RGBA
    auto decoded = graphics::ImageRep::fromPNGData(*data);
    ASSERT_NE(decoded, nullptr);
    const auto pixel = decoded->pixel(0, 0);
    EXPECT_NEAR(pixel.r, 234, 6);
    EXPECT_NEAR(pixel.g, 51, 8);
    EXPECT_NEAR(pixel.b, 35, 8);
    EXPECT_EQ(pixel.a, 255);
    EXPECT_FALSE(pngData(graphics::Image(graphics::Size{4, 4})).has_value());
}

TEST(BezelDrawing, NineSliceStretchKeepsTheCapsCrisp) {
    WindowCleanup cleanup;
    auto bezel = vimbraImage("qel-button");
    const Rect dest(10, 5, 120, 22);
    auto window = ui::Window::make(Rect(0, 0, 140, 32));
    window->setBackgroundColor(Color::rgba(0, 0, 0));
    window->contentView()->addSubview(std::make_shared<ImageView>(Rect(0, 0, 140, 32), bezel, dest));
    auto backend = display::HeadlessBackend::attach(window, 2.0, true);
    core::MainQueue::shared().drain();

    const auto ops = backend->recorder()->ops(graphics::DrawOpKind::image);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].capInsets, (graphics::EdgeInsets{6, 8, 6, 8}));
    EXPECT_EQ(ops[0].rect, dest);
    EXPECT_EQ(ops[0].repScale, 2);

    // At scale 2 the bezel's left and right caps land unchanged at the ends of the stretched rect, and
    // the middle repeats the image's centre column.
    const auto rep = bezel->bestRepresentation(2);
    const int left = 20, top = 64 - 2 * (5 + 22); // device pixels of dest's top-left
    const int width = 240, repWidth = rep->pixelsWide();
    for (int y = 0; y < rep->pixelsHigh(); y += 3) {
        for (int x = 0; x < 16; x += 3) {
            const auto src = rep->pixel(x, y);
            if (src.a != 255) {
                continue; // anti-aliased corners blend with the window's background
            }
            const auto l = backend->pixel(left + x, top + y);
            const auto r = backend->pixel(left + width - 1 - x, top + y);
            const auto srcR = rep->pixel(repWidth - 1 - x, y);
            EXPECT_TRUE(near(l.r, src.r) && near(l.g, src.g) && near(l.b, src.b)) << x << "," << y;
            EXPECT_TRUE(near(r.r, srcR.r) && near(r.g, srcR.g) && near(r.b, srcR.b)) << x << "," << y;
        }
        const auto mid = rep->pixel(repWidth / 2, y);
        const auto out = backend->pixel(left + width / 2, top + y);
        if (mid.a == 255) {
            EXPECT_TRUE(near(out.r, mid.r, 4) && near(out.g, mid.g, 4) && near(out.b, mid.b, 4)) << y;
        }
    }
}

TEST(BezelDrawing, FractionFadesTheStretchedBezel) {
    // A disabled control draws its bezel at half opacity.
    auto bezel = vimbraImage("qel-button");
    graphics::BitmapCanvas canvas({60, 22}, 2, false, true);
    {
        graphics::GraphicsContext::CurrentScope scope(canvas.context());
        bezel->drawInRect(Rect(0, 0, 60, 22), {}, graphics::CompositingOperation::sourceOver, 0.5);
    }
    const auto ops = canvas.recorder()->ops(graphics::DrawOpKind::image);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].fraction, 0.5);
    const auto rep = bezel->bestRepresentation(2);
    const auto source = rep->pixel(rep->pixelsWide() / 2, rep->pixelsHigh() / 2);
    const auto drawn = canvas.pixel(60, 22);
    ASSERT_EQ(source.a, 255);
    EXPECT_NEAR(drawn.a, 128, 2);
    EXPECT_NEAR(drawn.r, source.r, 3);
    EXPECT_EQ(pixelSize(*rep), (graphics::Size{48, 44}));
}

TEST(BezelDrawing, FlippedAndUnflippedViewsDrawImagesUpright) {
    WindowCleanup cleanup;
    auto image = twoTone();
    auto window = ui::Window::make(Rect(0, 0, 30, 10));
    window->contentView()->addSubview(
        std::make_shared<ImageView>(Rect(0, 0, 10, 10), image, Rect(0, 0, 10, 10)));
    window->contentView()->addSubview(
        std::make_shared<ImageView>(Rect(10, 0, 10, 10), image, Rect(0, 0, 10, 10), true));
    window->contentView()->addSubview(
        std::make_shared<ImageView>(Rect(20, 0, 10, 10), image, Rect(0, 0, 10, 10), true, true));
    auto backend = display::HeadlessBackend::attach(window, 1.0);
    core::MainQueue::shared().drain();
    for (int x : {5, 15, 25}) {
        const auto top = backend->pixel(x, 1);
        const auto bottom = backend->pixel(x, 8);
        EXPECT_EQ(top.r, 255) << x;
        EXPECT_EQ(top.b, 0) << x;
        EXPECT_EQ(bottom.b, 255) << x;
        EXPECT_EQ(bottom.r, 0) << x;
    }
}

TEST(BezelDrawing, SnapshotOfStyledImages) {
    WindowCleanup cleanup;
    auto window = ui::Window::make(Rect(0, 0, 120, 40));
    window->setBackgroundColor(vimbraColor("Background/Normal"));
    auto content = window->contentView();
    content->addSubview(
        std::make_shared<ImageView>(content->bounds(), vimbraImage("qel-checkbox-on"), Rect(4, 12, 16, 16)));
    content->addSubview(
        std::make_shared<ImageView>(content->bounds(), vimbraImage("qel-slider-alley"), Rect(30, 18, 80, 4)));
    content->addSubview(std::make_shared<ImageView>(content->bounds(), vimbraImage("qel-slider-handle"),
                                                    Rect(60, 13, 14, 14)));
    auto backend = display::HeadlessBackend::attach(window, 2.0);
    core::MainQueue::shared().drain();

    const auto file =
        std::filesystem::temp_directory_path() / ("vimbra-snapshot-" + std::to_string(getpid()) + ".png");
    ASSERT_TRUE(backend->writePNG(file));
    auto snapshot = graphics::Image::fromPNGFile(file);
    std::filesystem::remove(file);
    ASSERT_NE(snapshot, nullptr);
    const auto rep = snapshot->representations().front();
    ASSERT_EQ(rep->pixelsWide(), 240);
    ASSERT_EQ(rep->pixelsHigh(), 80);
    // Points (x, y up) to device pixels at scale 2.
    auto at = [&rep](double x, double y) { return rep->pixel(int(x * 2), int((40 - y) * 2)); };

    const auto background = at(2, 2);
    EXPECT_EQ(background.r, 0x2B);
    EXPECT_EQ(background.b, 0x30);
    const auto checked = at(7, 25); // inside the check box, off the check mark: the blue accent
    EXPECT_GT(checked.b, checked.r + 80);
    const auto mark = at(11.25, 17.5); // on the check mark: white
    EXPECT_GT(mark.r, 200);
    EXPECT_GT(mark.g, 200);
    const auto alley = at(40, 20); // the dark alley
    EXPECT_LT(alley.r, 0x2B);
    const auto knob = at(67, 20); // the light knob
    EXPECT_GT(knob.r, 0xA0);
    EXPECT_TRUE(near(knob.r, knob.g) && near(knob.g, knob.b));
}
