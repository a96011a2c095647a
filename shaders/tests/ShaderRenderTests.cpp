#include "RendererSupport.hpp"
#include "core/Bundle.hpp"
#include "graphics/Color.hpp"
#include "shaders/AboutRenderer.hpp"
#include "shaders/MetalShaderRenderer.hpp"
#include "shaders/PelkoShadersHelper.hpp"
#include "shaders/SupporterShaderRenderer.hpp"
#include "ui/Window.hpp"

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace pelko {
namespace {

namespace fs = std::filesystem;
using RGBA = graphics::ImageRep::RGBA;

double luma(const RGBA& p) {
    return 0.2126 * p.r + 0.7152 * p.g + 0.0722 * p.b;
}

// Mean brightness of the rows [top, bottom) of a frame.
double meanLuma(const graphics::ImageRep& rep, int top, int bottom) {
    double sum = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < rep.pixelsWide(); ++x) {
            sum += luma(rep.pixel(x, y));
        }
    }
    return sum / (double(bottom - top) * rep.pixelsWide());
}

class ShaderRenderTest : public testing::RendererTest {
protected:
    // Draws one frame of the view and writes it to the snapshot directory.
    std::shared_ptr<const graphics::ImageRep> snapshot(gpu::ShaderView& shaderView, const std::string& name) {
        shaderView.drawFrame();
        auto image = shaderView.currentImage();
        EXPECT_TRUE(image) << name;
        if (!image) {
            return nullptr;
        }
        fs::create_directories(PELKO_SHADERS_SNAPSHOT_DIR);
        image->writePNG(fs::path(PELKO_SHADERS_SNAPSHOT_DIR) / (name + ".png"));
        // A copy: the view overwrites its image with the next frame.
        return graphics::ImageRep::fromPNGData(image->pngData());
    }

    std::shared_ptr<MetalShaderRenderer> stripRenderer(gpu::ShaderView& strip) {
        auto renderer = std::make_shared<MetalShaderRenderer>(strip, "Main", "audioWaveformVertexShader",
                                                              "audioWaveformFragmentShader", sources);
        strip.setDelegate(renderer);
        return renderer;
    }
};

TEST_F(ShaderRenderTest, TheStripIsALivingWaveformThatStaysInItsBand) {
    for (const double scale : {1.0, 2.0}) {
        auto strip = makeView({400, 300});
        strip->setContentsScale(scale);
        auto renderer = stripRenderer(*strip);
        advance(1.0);
        const auto suffix = scale == 1.0 ? "" : "@2x";
        const auto first = snapshot(*strip, std::string("strip-t1") + suffix);
        advance(0.75);
        const auto later = snapshot(*strip, std::string("strip-t2") + suffix);
        ASSERT_TRUE(first && later);
        const int w = first->pixelsWide();
        const int h = first->pixelsHigh();

        int changed = 0;
        for (int y = 0; y < h; y += 2) {
            for (int x = 0; x < w; x += 2) {
                changed += std::abs(luma(first->pixel(x, y)) - luma(later->pixel(x, y))) > 8 ? 1 : 0;
            }
        }
        EXPECT_GT(changed, (w / 2) * (h / 2) / 50) << "the waveform moves between two times";

        // Energy sits around the centre line; the top and bottom stay dark, nothing is blown out.
        const double band = meanLuma(*first, h * 2 / 5, h * 3 / 5);
        EXPECT_GT(band, 3 * meanLuma(*first, 0, h / 10));
        EXPECT_GT(band, 3 * meanLuma(*first, h * 9 / 10, h));
        EXPECT_LT(meanLuma(*first, 0, h / 20), 20);
        int saturated = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                saturated += luma(first->pixel(x, y)) > 250 ? 1 : 0;
            }
        }
        EXPECT_LT(saturated, w * h / 20);

        // Audio-like: along a row just off the centre line, light and dark alternate many times (the
        // level bars), and the level differs from one part of the strip to another.
        const int row = h / 2 + h / 12;
        const double rowMean = meanLuma(*first, row, row + 1);
        int flips = 0;
        bool bright = false;
        for (int x = 0; x < w; ++x) {
            const bool now = luma(first->pixel(x, row)) > rowMean;
            flips += now != bright ? 1 : 0;
            bright = now;
        }
        EXPECT_GT(flips, 30);
        // How tall the part lit above the silent edge is around a column (bars and traces), over eight
        // columns.
        auto extent = [&](int x0) {
            int lit = 0;
            for (int x = x0; x < x0 + 8 * int(scale); ++x) {
                for (int y = 0; y < h; ++y) {
                    lit += luma(first->pixel(x, y)) > luma(first->pixel(1, y)) + 12 ? 1 : 0;
                }
            }
            return double(lit);
        };
        double low = 1e300;
        double high = 0;
        for (int x = w / 8; x < w * 7 / 8; x += w / 25) {
            low = std::min(low, extent(x));
            high = std::max(high, extent(x));
        }
        EXPECT_GT(high, 1.3 * low) << "the level varies along the strip";
    }
}

TEST_F(ShaderRenderTest, WithoutADeviceTheStripStaysEmptyWhileTheRestDraws) {
    setenv("TESSARAY_NO_GPU", "1", 1);
    auto strip = std::make_shared<gpu::ShaderView>(graphics::Rect{{0, 100}, {200, 100}},
                                                   gpu::Device::createSystemDefaultDevice());
    unsetenv("TESSARAY_NO_GPU");
    EXPECT_FALSE(strip->device());
    EXPECT_THROW(stripRenderer(*strip), RendererError);

    auto window = ui::Window::make({{0, 0}, {200, 200}});
    window->setBackgroundColor(graphics::Color::rgba(0.2, 0.3, 0.4));
    auto content = std::make_shared<ui::View>(graphics::Rect{{0, 0}, {200, 200}});
    window->setContentView(content);
    content->addSubview(strip);
    strip->drawFrame();
    auto shot = graphics::Image::draw(
        {200, 200}, 1, [&](graphics::GraphicsContext& context) { window->drawContent(context); });
    shot->writePNG(fs::path(PELKO_SHADERS_SNAPSHOT_DIR) / "no-device.png");
    const auto rep = shot->representations().front();
    EXPECT_EQ(rep->pixel(100, 50), rep->pixel(100, 150)) << "the strip shows the window's background";
    EXPECT_NEAR(rep->pixel(100, 50).b, 102, 1);
}

TEST_F(ShaderRenderTest, TheAboutPanelShowsTheLogoOverMovingNoise) {
    for (const double scale : {1.0, 2.0}) {
        auto panel = makeView({300, 200});
        panel->setContentsScale(scale);
        panel->setColorspace(gpu::ColorSpace::extendedLinearDisplayP3);
        auto renderer = std::make_shared<AboutRenderer>(*panel, sources);
        panel->setDelegate(renderer);
        advance(0.5);
        const auto frame = snapshot(*panel, scale == 1.0 ? "about" : "about@2x");
        ASSERT_TRUE(frame);
        const int w = frame->pixelsWide();
        const int h = frame->pixelsHigh();
        // The logo's ring crosses the horizontal centre line left of the middle; the corners stay dark.
        double brightest = 0;
        for (int x = w / 4; x < w / 2; ++x) {
            brightest = std::max(brightest, luma(frame->pixel(x, h / 2)));
        }
        EXPECT_GT(brightest, 200);
        EXPECT_LT(luma(frame->pixel(2, 2)), 100);
        EXPECT_LT(luma(frame->pixel(w - 3, h - 3)), 100);
    }
}

TEST_F(ShaderRenderTest, TheSwitchPanelLightsSwitchedOnDiscsAndSendsRings) {
    auto panel = makeView({480, 120});
    auto renderer = std::make_shared<SupporterShaderRenderer>(*panel, "Supporter", 1.0f, sources);
    panel->setDelegate(renderer);
    renderer->switchOn(1);
    renderer->switchOn(4);
    renderer->switchDown(4);
    advance(0.2);
    const auto frame = snapshot(*panel, "supporter");
    ASSERT_TRUE(frame);
    const auto on = frame->pixel(120, 60);
    const auto off = frame->pixel(40, 60);
    const auto held = frame->pixel(360, 60);
    EXPECT_GT(on.r, on.b + 60) << "a switched-on disc is warm";
    EXPECT_NEAR(off.r, off.b, 4) << "an off disc is grey";
    EXPECT_LT(luma(held), luma(on)) << "a held switch is darker";
    // 0.2 s after switching on, the ring of switch 1 has travelled about 24 + 20 pixels out.
    EXPECT_GT(frame->pixel(120 + 44, 60).r, frame->pixel(120 + 34, 60).r);
}

TEST_F(ShaderRenderTest, ColourEffectsComputeWhatTheyPromise) {
    // Four pixels, one per effect, over the colour in input 1, each applied as its shader value says.
    const std::array<Shader, 4> effects{
        PelkoShadersHelper::colorMatrixShader({0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0.5f, 0}, {0, 0, 0, 1}),
        PelkoShadersHelper::outsideSRGBShader(), PelkoShadersHelper::outsideP3Shader(),
        PelkoShadersHelper::clampSRGBShader()};
    const std::string harness = effects[0].function().resolve()->source() + R"(
uniform vec2 viewportSize;
uniform vec4 colour;
out vec4 fragColor;
void main() {
    int column = int(gl_FragCoord.x);
    vec2 p = gl_FragCoord.xy;
    if (column == 0) fragColor = )" +
                                effects[0].glslCall("p", "colour") +
                                R"(;
    else if (column == 1) fragColor = )" +
                                effects[1].glslCall("p", "colour") +
                                R"(;
    else if (column == 2) fragColor = )" +
                                effects[2].glslCall("p", "colour") +
                                R"(;
    else fragColor = )" + effects[3].glslCall("p", "colour") +
                                R"(;
}
)";
    const auto library = device->newDefaultLibrary(*kitBundle());
    gpu::RenderPipelineDescriptor descriptor;
    descriptor.label = "Effects";
    descriptor.vertexFunction = library->newFunction("audioWaveformVertexShader");
    descriptor.fragmentFunction = std::make_shared<gpu::Function>(
        "effects", gpu::FunctionStage::fragment, harness, std::vector<std::string>{"viewportSize", "colour"});
    descriptor.colorPixelFormat = gpu::PixelFormat::rgba16Float;
    const auto pipeline = device->newRenderPipelineState(descriptor);
    const auto quad = makeQuadVertexBuffer(*device);
    const auto queue = device->newCommandQueue();

    auto run = [&](std::array<float, 4> colour) {
        auto target =
            device->newTexture({4, 1, gpu::PixelFormat::rgba16Float, false, gpu::TextureUsage::renderTarget});
        auto buffer = queue->commandBuffer();
        auto* encoder = buffer->renderCommandEncoder({{target, gpu::LoadAction::clear, {}}});
        const std::array<float, 2> size{4, 1};
        encoder->setRenderPipelineState(pipeline);
        encoder->setVertexBuffer(quad.buffer, 0, 0);
        encoder->setFragmentBytes(size.data(), sizeof(size), 0);
        encoder->setFragmentBytes(colour.data(), sizeof(colour), 1);
        encoder->drawPrimitives(gpu::PrimitiveType::triangleStrip, 0, 4);
        encoder->endEncoding();
        buffer->commit();
        auto image = graphics::ImageRep::make(4, 1, {4, 1});
        EXPECT_TRUE(device->copyToImage(*target, gpu::ColorSpace::none, *image));
        return image;
    };

    const auto inGamut = run({0.2f, 0.6f, 0.8f, 1.0f});
    EXPECT_EQ(inGamut->pixel(0, 0), (RGBA{153, 51, 102, 255})) << "red and green swapped, blue halved";
    EXPECT_EQ(inGamut->pixel(1, 0), (RGBA{51, 153, 204, 255}));
    EXPECT_EQ(inGamut->pixel(2, 0), (RGBA{51, 153, 204, 255}));

    // Extended values: outside sRGB; pure sRGB green stays inside P3 at 1.2 (but not at 1.6 with
    // negative red, which neither space holds); clamping cuts them back.
    const auto beyond = run({-0.1f, 1.2f, 0.0f, 1.0f});
    EXPECT_EQ(beyond->pixel(1, 0), (RGBA{255, 0, 255, 255}));
    EXPECT_EQ(beyond->pixel(2, 0), (RGBA{255, 0, 255, 255}));
    EXPECT_EQ(beyond->pixel(3, 0), (RGBA{0, 255, 0, 255}));
    const auto widerThanSRGB = run({0.0f, 0.9f, 0.0f, 1.0f});
    EXPECT_NEAR(widerThanSRGB->pixel(2, 0).g, 230, 1) << "sRGB green is inside P3";
}

} // namespace
} // namespace pelko
