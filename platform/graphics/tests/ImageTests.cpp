#include "graphics/DrawRecorder.hpp"
#include "graphics/Image.hpp"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace graphics;

namespace {

using RGBA = ImageRep::RGBA;
const RGBA red{255, 0, 0, 255};
const RGBA green{0, 255, 0, 255};
const RGBA blue{0, 0, 255, 255};

ImageRef solid(Size size, double scale, ColorRef color) {
    return Image::draw(size, scale, [&](GraphicsContext& ctx) { ctx.fillRect({{0, 0}, size}, color); });
}

// Red on the top half, blue on the bottom half, as the image is meant to be seen.
ImageRef topRedBottomBlue() {
    return Image::draw({4, 4}, 1, [](GraphicsContext& ctx) {
        ctx.fillRect({0, 2, 4, 2}, Color::rgba(1, 0, 0)); // y-up: the top half
        ctx.fillRect({0, 0, 4, 2}, Color::rgba(0, 0, 1));
    });
}

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               ("gfx-images-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

} // namespace

TEST(Image, NamedImagesPickTheRepresentationForTheScale) {
    TempDir dir;
    ASSERT_TRUE(solid({4, 3}, 1, Color::rgba(1, 0, 0))->writePNG(dir.path / "knob.png"));
    ASSERT_TRUE(solid({4, 3}, 2, Color::rgba(0, 0, 1))->writePNG(dir.path / "knob@2x.png"));
    ASSERT_TRUE(solid({5, 5}, 2, Color::rgba(0, 1, 0))->writePNG(dir.path / "retina-only@2x.png"));

    ImageRef knob = Image::named("knob", dir.path);
    ASSERT_TRUE(knob);
    EXPECT_EQ(knob, Image::named("knob", dir.path)); // stable identity
    EXPECT_EQ(knob->size(), (Size{4, 3}));
    EXPECT_EQ(knob->representations().size(), 2u);
    EXPECT_EQ(Image::named("missing", dir.path), nullptr);
    // Subfolders are fine; names that climb out of the directory or are absolute find nothing.
    std::filesystem::create_directories(dir.path / "knobs" / "inner");
    ASSERT_TRUE(solid({2, 2}, 1, Color::rgba(1, 1, 1))->writePNG(dir.path / "knobs" / "dial-01.png"));
    EXPECT_TRUE(Image::named("knobs/dial-01", dir.path));
    EXPECT_EQ(Image::named("knobs/inner/../../knob", dir.path), nullptr);
    EXPECT_EQ(Image::named("../" + dir.path.filename().string() + "/knob", dir.path), nullptr);
    EXPECT_EQ(Image::named((dir.path / "knob").string(), dir.path / "knobs"), nullptr);

    ImageRef retina = Image::named("retina-only", dir.path);
    ASSERT_TRUE(retina);
    EXPECT_EQ(retina->size(), (Size{5, 5})); // points = pixels / 2
    EXPECT_EQ(Image::fromPNGFile(dir.path / "retina-only@2x.png")->size(), (Size{5, 5}));

    for (double scale : {1.0, 2.0}) {
        BitmapCanvas canvas({4, 3}, scale, false, true);
        canvas.context().drawImage(knob, {0, 0, 4, 3});
        EXPECT_EQ(canvas.pixel(1, 1), scale == 1 ? red : blue) << "scale " << scale;
        auto ops = canvas.recorder()->ops(DrawOpKind::image);
        ASSERT_EQ(ops.size(), 1u);
        EXPECT_EQ(ops[0].imageName, "knob");
        EXPECT_DOUBLE_EQ(ops[0].repScale, scale);
        EXPECT_EQ(ops[0].sourceRect, Rect(0, 0, 4, 3)); // zero source rect means the whole image
    }
    // A denser context than any representation uses the densest one.
    EXPECT_DOUBLE_EQ(knob->bestRepresentation(3)->scale(), 2);
}

TEST(Image, FlippedContextsDrawUprightOnlyWhenAsked) {
    ImageRef image = topRedBottomBlue();
    ASSERT_EQ(image->representations()[0]->pixel(0, 0), red); // the bitmap's top row is red

    BitmapCanvas unflipped({4, 4}, 1, false, true);
    unflipped.context().drawImage(image, {0, 0, 4, 4});
    EXPECT_EQ(unflipped.pixel(1, 0), red);
    EXPECT_EQ(unflipped.pixel(1, 3), blue);

    BitmapCanvas flippedUpright({4, 4}, 1, true, true);
    flippedUpright.context().drawImage(image, {0, 0, 4, 4}, {}, CompositingOperation::sourceOver, 1.0, true);
    EXPECT_EQ(flippedUpright.pixel(1, 0), red);
    EXPECT_EQ(flippedUpright.pixel(1, 3), blue);
    EXPECT_TRUE(flippedUpright.recorder()->ops(DrawOpKind::image)[0].drawsUpright);

    // Without respectFlipped a flipped context shows the image upside down, as AppKit does; cells that
    // want it upright flip the transform themselves.
    BitmapCanvas flippedRaw({4, 4}, 1, true, true);
    flippedRaw.context().drawImage(image, {0, 0, 4, 4});
    EXPECT_EQ(flippedRaw.pixel(1, 0), blue);
    EXPECT_FALSE(flippedRaw.recorder()->ops(DrawOpKind::image)[0].drawsUpright);

    // The short drawInRect is upright in a flipped context, as the toolkit's is.
    BitmapCanvas flippedShort({4, 4}, 1, true);
    {
        GraphicsContext::CurrentScope scope(flippedShort.context());
        image->drawInRect({0, 0, 4, 4});
    }
    EXPECT_EQ(flippedShort.pixel(1, 0), red);
    EXPECT_EQ(flippedShort.pixel(1, 3), blue);

    // A source rect is in the image's own y-up coordinates: (0, 2)-(4, 4) is the red top half.
    BitmapCanvas part({4, 4});
    part.context().drawImage(image, {0, 0, 4, 4}, {0, 2, 4, 2});
    EXPECT_EQ(part.pixel(1, 3), red);
    EXPECT_EQ(part.pixel(1, 0), red);
}

TEST(Image, TintingFillsThroughTheAlpha) {
    ImageRef mask = Image::draw({4, 4}, 2, [](GraphicsContext& ctx) {
        ctx.fillRect({0, 0, 2, 4}, Color::black());
        ctx.fillRect({2, 0, 2, 4}, Color::rgba(0, 0, 0, 0.5));
    });
    mask->setTemplate(true);
    mask->setCapInsets({1, 1, 1, 1});
    ColorRef tint = Color::rgba(1, 0, 0);
    ImageRef tinted = mask->tinted(tint);
    EXPECT_NE(tinted, mask);
    EXPECT_FALSE(tinted->isTemplate());
    EXPECT_TRUE(mask->isTemplate()); // the original is untouched
    EXPECT_EQ(tinted->capInsets(), mask->capInsets());
    ASSERT_EQ(tinted->representations().size(), 1u);
    EXPECT_EQ(tinted->representations()[0]->pixelsWide(), 8); // keeps the 2x bitmap
    EXPECT_EQ(tinted->representations()[0]->pixel(1, 1), red);
    RGBA half = tinted->representations()[0]->pixel(6, 1);
    EXPECT_EQ(half.r, 255);
    EXPECT_NEAR(half.a, 128, 1);
}

TEST(Image, CapInsetsStretchOrTileTheMiddle) {
    // A 10x10 image: 3-point red border; centre columns 3-4 green, 5-6 blue.
    ImageRef bezel = Image::draw({10, 10}, 1, [](GraphicsContext& ctx) {
        ctx.fillRect({0, 0, 10, 10}, Color::rgba(1, 0, 0));
        ctx.fillRect({3, 3, 2, 4}, Color::rgba(0, 1, 0));
        ctx.fillRect({5, 3, 2, 4}, Color::rgba(0, 0, 1));
    });

    BitmapCanvas plain({40, 20});
    plain.context().drawImage(bezel, {0, 0, 40, 20});
    EXPECT_EQ(plain.pixel(8, 10), red); // without caps the border scales to 12 px

    bezel->setCapInsets({3, 3, 3, 3});
    BitmapCanvas stretched({40, 20}, 1, false, true);
    stretched.context().drawImage(bezel, {0, 0, 40, 20});
    EXPECT_EQ(stretched.pixel(1, 1), red);   // corner
    EXPECT_EQ(stretched.pixel(20, 1), red);  // top edge, stretched along
    EXPECT_EQ(stretched.pixel(38, 18), red); // opposite corner
    EXPECT_EQ(stretched.pixel(8, 10), green);
    EXPECT_EQ(stretched.pixel(10, 10), green); // green spans the first half of the stretched centre
    EXPECT_EQ(stretched.pixel(30, 10), blue);
    auto op = stretched.recorder()->ops(DrawOpKind::image).at(0);
    EXPECT_EQ(op.capInsets, (EdgeInsets{3, 3, 3, 3}));
    EXPECT_EQ(op.resizingMode, ResizingMode::stretch);

    bezel->setResizingMode(ResizingMode::tile);
    BitmapCanvas tiled({40, 20});
    tiled.context().drawImage(bezel, {0, 0, 40, 20});
    EXPECT_EQ(tiled.pixel(4, 10), green);
    EXPECT_EQ(tiled.pixel(10, 10), blue); // the 4-point pattern repeats at natural size
    EXPECT_EQ(tiled.pixel(20, 1), red);

    // A dest smaller than the caps shrinks the caps in proportion instead of overlapping them.
    BitmapCanvas small({4, 4});
    small.context().drawImage(bezel, {0, 0, 4, 4});
    EXPECT_EQ(small.pixel(2, 2), red);
}

TEST(Image, FractionAndCompositingOperation) {
    ImageRef opaque = solid({4, 4}, 1, Color::rgba(1, 0, 0));
    BitmapCanvas faded({4, 4}, 1, false, true);
    faded.context().drawImage(opaque, {0, 0, 4, 4}, {}, CompositingOperation::sourceOver, 0.5);
    EXPECT_NEAR(faded.pixel(2, 2).a, 128, 1);
    EXPECT_DOUBLE_EQ(faded.recorder()->ops(DrawOpKind::image).at(0).fraction, 0.5);

    // Source-in keeps the destination's coverage and only inside the drawn rect.
    BitmapCanvas canvas({8, 4});
    canvas.context().fillRect({0, 0, 8, 4}, Color::rgba(0, 1, 0, 0.5));
    canvas.context().drawImage(opaque, {0, 0, 4, 4}, {}, CompositingOperation::sourceIn);
    RGBA in = canvas.pixel(1, 1);
    EXPECT_EQ(in.r, 255);
    EXPECT_EQ(in.g, 0);
    EXPECT_NEAR(in.a, 128, 1);
    EXPECT_EQ(canvas.pixel(6, 1).g, 255); // outside the dest rect: untouched

    // Images with nothing to draw are skipped without error.
    BitmapCanvas empty({4, 4}, 1, false, true);
    empty.context().drawImage(Image::make({4, 4}), {0, 0, 4, 4});
    empty.context().drawImage(opaque, {0, 0, 0, 4});
    EXPECT_TRUE(empty.recorder()->ops(DrawOpKind::image).empty());
}

TEST(Image, DrawingIntoImagesAndPNGRoundTrip) {
    ImageRef drawn = Image::draw({3, 2}, 2, [](GraphicsContext& ctx) {
        EXPECT_EQ(GraphicsContext::current(), &ctx); // current while drawing, like lockFocus
        EXPECT_FALSE(ctx.isFlipped());
        ctx.fillRect({0, 0, 3, 1}, Color::rgba(0, 0, 1));
    });
    EXPECT_EQ(GraphicsContext::current(), nullptr);
    ASSERT_EQ(drawn->representations().size(), 1u);
    EXPECT_EQ(drawn->representations()[0]->pixelsWide(), 6);
    EXPECT_EQ(drawn->representations()[0]->pixelsHigh(), 4);
    EXPECT_EQ(drawn->representations()[0]->pixel(0, 3), blue); // bottom rows
    EXPECT_EQ(drawn->representations()[0]->pixel(0, 0).a, 0);

    auto png = drawn->pngData();
    ASSERT_FALSE(png.empty());
    ImageRef decoded = Image::fromPNGData(png, 2);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), (Size{3, 2}));
    EXPECT_EQ(decoded->representations()[0]->pixel(5, 3), blue);
    EXPECT_EQ(Image::fromPNGData({1, 2, 3}), nullptr);
    EXPECT_TRUE(Image::make({2, 2})->pngData().empty());

    // drawInRect goes to the current context and does nothing without one.
    drawn->drawInRect({0, 0, 3, 2});
    BitmapCanvas canvas({3, 2}, 2);
    {
        GraphicsContext::CurrentScope scope(canvas.context());
        drawn->drawInRect({0, 0, 3, 2});
    }
    EXPECT_EQ(canvas.pixel(0, 3), blue);
}

// A nine-slice bezel placed at a half point must not show seams where its pieces meet: every column of a
// uniformly coloured bezel reads the same, at 1x and 2x, flipped or not.
TEST(Image, NineSlicePiecesMeetWithoutSeamsAtFractionalPositions) {
    const ImageRef bezel = solid({20, 10}, 1, Color::rgba(0.5, 0.5, 0.5));
    bezel->setCapInsets({3, 6, 3, 6});
    for (const double scale : {1.0, 2.0}) {
        for (const bool flipped : {false, true}) {
            BitmapCanvas canvas({200, 20}, scale, flipped);
            canvas.context().drawImage(bezel, {130.5, 4.5, 60.25, 11});
            const int row = static_cast<int>(10 * scale);
            const RGBA reference = canvas.pixel(static_cast<int>(150 * scale), row);
            EXPECT_EQ(reference.a, 255);
            // Every whole device pixel inside the bezel, the cap boundaries included.
            for (int x = static_cast<int>(std::ceil(130.5 * scale)); x < static_cast<int>(190.75 * scale) - 1;
                 ++x) {
                ASSERT_EQ(canvas.pixel(x, row), reference)
                    << "column " << x << " at scale " << scale << (flipped ? ", flipped" : "");
            }
        }
    }
}

// Tiling applies to images without caps too: the whole image repeats at its natural size.
TEST(Image, TileWithoutCapInsetsRepeatsTheImage) {
    const ImageRef checker = Image::draw({4, 4}, 1, [](GraphicsContext& ctx) {
        ctx.fillRect({0, 0, 4, 4}, Color::rgba(0, 0, 1));
        ctx.fillRect({0, 0, 2, 4}, Color::rgba(1, 0, 0));
    });
    checker->setResizingMode(ResizingMode::tile);
    BitmapCanvas canvas({16, 4});
    canvas.context().drawImage(checker, {0, 0, 16, 4});
    for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(canvas.pixel(x, 2), (x % 4) < 2 ? red : blue) << x;
    }
}

// Plus-darker adds the darknesses: max(0, 1 - ((1 - D) + (1 - S))) for opaque colours, so half grey on half
// grey is black, and nothing changes outside what is drawn. Images composite the same way.
TEST(Compositing, PlusDarkerAddsDarkness) {
    BitmapCanvas canvas({8, 4}, 1);
    GraphicsContext& ctx = canvas.context();
    ctx.fillRect({0, 0, 8, 4}, Color::rgba(0.5, 0.8, 1.0));
    ctx.setCompositingOperation(CompositingOperation::plusDarker);
    ctx.fillRect({0, 0, 4, 4}, Color::rgba(0.5, 0.7, 0.25));
    const RGBA darker = canvas.pixel(1, 1);
    EXPECT_EQ(darker.a, 255);
    EXPECT_LE(darker.r, 1);               // 0.5 + 0.5 - 1 = 0
    EXPECT_NEAR(darker.g, 0.5 * 255, 2);  // 0.8 + 0.7 - 1
    EXPECT_NEAR(darker.b, 0.25 * 255, 2); // 1 + 0.25 - 1
    EXPECT_NEAR(canvas.pixel(6, 1).r, 128, 1) << "outside the fill nothing changes";
    EXPECT_NEAR(canvas.pixel(6, 1).g, 204, 1);

    ctx.setCompositingOperation(CompositingOperation::sourceOver);
    const ImageRef grey = solid({4, 4}, 1, Color::rgba(0.5, 0.5, 0.5));
    ctx.drawImage(grey, {4, 0, 4, 4}, {}, CompositingOperation::plusDarker);
    EXPECT_LE(canvas.pixel(5, 1).r, 1);
    EXPECT_NEAR(canvas.pixel(5, 1).g, 0.3 * 255, 2);
}
