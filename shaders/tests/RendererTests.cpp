#include "RendererSupport.hpp"
#include "core/Bundle.hpp"
#include "shaders/AboutRenderer.hpp"
#include "shaders/MetalShaderRenderer.hpp"
#include "shaders/PelkoShadersHelper.hpp"
#include "shaders/SupporterShaderRenderer.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace pelko {
namespace {

// The kit's bundle is looked for where programs look for it; the tests add the build's bundles folder, as
// the application adds the folder beside it.
const bool buildBundlesSearched = [] {
    core::Bundle::addSearchPath(std::filesystem::path(PELKO_SHADERS_BUNDLE).parent_path());
    return true;
}();

using testing::RecordedFrame;
using testing::RendererTest;

class MainRendererTest : public RendererTest {
protected:
    std::shared_ptr<MetalShaderRenderer> makeRenderer() {
        auto renderer = std::make_shared<MetalShaderRenderer>(*view, "Main", "audioWaveformVertexShader",
                                                              "audioWaveformFragmentShader", sources);
        testing::recordFrames(*renderer->commandQueue(), frames);
        view->setDelegate(renderer);
        return renderer;
    }
};

TEST_F(MainRendererTest, AFrameCarriesTheQuadTheSizeTheSeedAndTheTime) {
    auto renderer = makeRenderer();
    view->drawFrame();
    ASSERT_EQ(frames.size(), 1u);
    const RecordedFrame& frame = frames[0];
    EXPECT_EQ(frame.label, "Main Command Buffer");
    EXPECT_EQ(frame.encoderLabel, "");
    EXPECT_EQ(frame.presented, 1u);

    const auto pipelines = frame.all<gpu::SetPipelineCommand>();
    ASSERT_EQ(pipelines.size(), 1u);
    EXPECT_EQ(pipelines[0].pipeline->label(), "Shader Pipeline");
    EXPECT_EQ(pipelines[0].pipeline->colorPixelFormat(), gpu::PixelFormat::rgba16Float);
    EXPECT_EQ(frame.all<gpu::SetViewportCommand>().at(0).viewport, (gpu::Viewport{0, 0, 64, 48, 0, 1}));

    const auto vertex = frame.all<gpu::SetVertexBufferCommand>().at(0);
    EXPECT_EQ(vertex.index, 0);
    EXPECT_EQ(vertex.offset, 0u);
    ASSERT_EQ(vertex.buffer->length(), 32u);
    std::array<float, 8> corners{};
    std::memcpy(corners.data(), vertex.buffer->contents(), 32);
    EXPECT_EQ(corners, (std::array<float, 8>{-1, -1, -1, 1, 1, -1, 1, 1}));

    EXPECT_EQ((frame.value<std::array<float, 2>>(0)), (std::array<float, 2>{64, 48}));
    EXPECT_EQ(frame.value<std::uint32_t>(1), 0x00000001u) << "the low 32 bits of the random value";
    EXPECT_EQ(frame.value<float>(2), 0.0f);
    const auto draw = frame.all<gpu::DrawPrimitivesCommand>().at(0);
    EXPECT_EQ(draw.type, gpu::PrimitiveType::triangleStrip);
    EXPECT_EQ(draw.vertexStart, 0);
    EXPECT_EQ(draw.vertexCount, 4);

    // A second renderer draws its own seed.
    auto second = std::make_shared<MetalShaderRenderer>(*view, "Main", "audioWaveformVertexShader",
                                                        "audioWaveformFragmentShader", sources);
    EXPECT_NE(second->seed(), renderer->seed());
}

TEST_F(MainRendererTest, PausesThatEndedAreLeftOutOfTheTime) {
    auto renderer = makeRenderer();
    auto timeOfNextFrame = [&] {
        view->drawFrame();
        return frames.back().value<float>(2);
    };
    advance(10);
    renderer->willPause();
    advance(5);
    EXPECT_FLOAT_EQ(timeOfNextFrame(), 15.0f) << "a pause in progress still counts";
    renderer->willResume();
    EXPECT_FLOAT_EQ(timeOfNextFrame(), 10.0f);

    // Of two pauses 3 s apart only the second one's span is left out.
    renderer->willPause();
    advance(3);
    renderer->willPause();
    advance(2);
    renderer->willResume();
    EXPECT_FLOAT_EQ(timeOfNextFrame(), 13.0f);
    EXPECT_DOUBLE_EQ(renderer->runningTime().pausedTime(), 7.0);

    renderer->willResume();
    EXPECT_DOUBLE_EQ(renderer->runningTime().pausedTime(), 7.0);
}

TEST_F(MainRendererTest, FramesWithoutATargetAreSkippedAndWithoutADrawableGoUnshown) {
    auto renderer = makeRenderer();
    view->setFrameSize({0, 0});
    EXPECT_EQ(renderer->viewport(), (gpu::Viewport{0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(renderer->viewSize(), (std::array<float, 2>{0, 0}));
    view->drawFrame();
    EXPECT_TRUE(frames.empty());

    view->setFrameSize({10, 10});
    view->setDrawableAvailability(gpu::ShaderView::DrawableAvailability::passWithoutDrawable);
    view->drawFrame();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].presented, 0u);

    renderer->commandQueue()->setFailsToMakeEncoders(true);
    view->drawFrame();
    EXPECT_EQ(frames.size(), 1u) << "a buffer without an encoder is not committed";
}

TEST_F(MainRendererTest, CreationFailsForMissingDevicesQueuesAndFunctions) {
    auto bare = std::make_shared<gpu::ShaderView>(graphics::Rect{{0, 0}, {8, 8}});
    try {
        MetalShaderRenderer(*bare, "Main", "audioWaveformVertexShader", "audioWaveformFragmentShader");
        FAIL();
    } catch (const RendererError& error) {
        EXPECT_EQ(error.code(), RendererError::Code::noValidDevice);
        EXPECT_STREQ(error.what(), "No valid metal device");
    }
    try {
        MetalShaderRenderer(*view, "Main", "audioWaveformVertexShader", "audioWaveformFragmentShaderX");
        FAIL();
    } catch (const gpu::Error& error) {
        EXPECT_STREQ(error.what(),
                     "The shader library has no function named \"audioWaveformFragmentShaderX\"");
    }
    device->setFailsToMakeCommandQueues(true);
    EXPECT_THROW(SupporterShaderRenderer(*view, "Switches"), RendererError);
    EXPECT_THROW(AboutRenderer{*view}, RendererError);
    device->setFailsToMakeCommandQueues(false);
}

class AboutTest : public RendererTest {};

TEST_F(AboutTest, AFrameBindsBothImagesUnderItsOwnLabels) {
    auto renderer = std::make_shared<AboutRenderer>(*view, sources);
    testing::recordFrames(*renderer->commandQueue(), frames);
    view->setDelegate(renderer);
    advance(2.5);
    view->drawFrame();
    ASSERT_EQ(frames.size(), 1u);
    const auto& frame = frames[0];
    EXPECT_EQ(frame.label, "About View Command Buffer");
    EXPECT_EQ(frame.encoderLabel, "About View Render Encoder");
    EXPECT_EQ(frame.all<gpu::SetPipelineCommand>().at(0).pipeline->label(), "About View Pipeline");
    EXPECT_EQ((frame.value<std::array<float, 2>>(0)), (std::array<float, 2>{64, 48}));
    EXPECT_FLOAT_EQ(frame.value<float>(1), 2.5f);
    const auto textures = frame.all<gpu::SetFragmentTextureCommand>();
    ASSERT_EQ(textures.size(), 2u);
    EXPECT_EQ(textures[0].index, 0);
    EXPECT_EQ(textures[0].texture, renderer->logoTexture());
    EXPECT_EQ(textures[1].index, 1);
    EXPECT_EQ(textures[1].texture, renderer->noiseTexture());
}

TEST_F(AboutTest, ImagesFollowTheWindowScaleAndThePipelineTheViewFormat) {
    AboutRenderer withoutWindow(*view, sources);
    auto window = ui::Window::make({{0, 0}, {64, 48}});
    window->setBackingScaleFactor(2);
    window->setContentView(view);
    AboutRenderer inWindow(*view, sources);
    EXPECT_EQ(inWindow.logoTexture()->width(), 2 * withoutWindow.logoTexture()->width());
    EXPECT_EQ(inWindow.noiseTexture()->width(), withoutWindow.noiseTexture()->width()) << "no @2x noise";

    view->setColorPixelFormat(gpu::PixelFormat::bgra8Unorm);
    EXPECT_EQ(AboutRenderer::buildRenderPipeline(*view)->colorPixelFormat(), gpu::PixelFormat::bgra8Unorm);
}

TEST_F(AboutTest, TheSampleViewMakesAFreshRendererOnEveryMove) {
    auto sample = std::make_shared<AboutSampleView>(graphics::Rect{{0, 0}, {32, 32}});
    sample->setRendererSources(sources);
    auto first = std::make_shared<ui::View>(graphics::Rect{{0, 0}, {32, 32}});
    auto second = std::make_shared<ui::View>(graphics::Rect{{0, 0}, {32, 32}});
    first->addSubview(sample);
    ASSERT_TRUE(sample->renderer());
    EXPECT_EQ(sample->delegate(), sample->renderer());
    EXPECT_EQ(sample->colorPixelFormat(), gpu::PixelFormat::rgba16Float);
    EXPECT_EQ(sample->colorspace(), gpu::ColorSpace::extendedLinearDisplayP3);

    advance(30);
    const auto earlier = sample->renderer();
    second->addSubview(sample);
    EXPECT_NE(sample->renderer(), earlier);
    EXPECT_EQ(sample->renderer()->runningTime().seconds(), 0.0);

    // Without a device it keeps no renderer and draws nothing of its own.
    setenv("TESSARAY_NO_GPU", "1", 1);
    first->addSubview(sample);
    unsetenv("TESSARAY_NO_GPU");
    EXPECT_FALSE(sample->renderer());
    EXPECT_FALSE(sample->delegate());
}

class SupporterTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        renderer = std::make_shared<SupporterShaderRenderer>(*view, "Supporter", 2.0f, sources);
        testing::recordFrames(*renderer->commandQueue(), frames);
        view->setDelegate(renderer);
    }
    std::shared_ptr<SupporterShaderRenderer> renderer;
};

TEST_F(SupporterTest, SwitchingOnRecordsHistoryNewestFirst) {
    advance(1);
    renderer->switchOn(2);
    advance(1);
    renderer->switchOn(4);
    renderer->switchOff(2);
    advance(1);
    renderer->switchOn(2);
    renderer->switchOn(2); // already on: no entry
    EXPECT_EQ(renderer->switchHistory(), (SupporterShaderRenderer::SwitchArray{2, 4, 2, -1, -1, -1}));
    EXPECT_EQ(renderer->switchHistoryTime(), (SupporterShaderRenderer::SwitchArray{3, 2, 1, 0, 0, 0}));
    EXPECT_EQ(renderer->switchOnState(), (SupporterShaderRenderer::SwitchArray{0, 0, 1, 0, 1, 0}));

    // Seven events keep the last six; indices outside 0...5 change nothing.
    for (int i = 0; i < 7; ++i) {
        renderer->recordSwitchEvent(i % 6);
    }
    EXPECT_EQ(renderer->switchHistory(), (SupporterShaderRenderer::SwitchArray{0, 5, 4, 3, 2, 1}));
    const auto before = renderer->switchHistory();
    renderer->recordSwitchEvent(6);
    renderer->switchOn(-1);
    renderer->switchOn(6);
    renderer->switchDown(7);
    renderer->switchUp(-3);
    EXPECT_EQ(renderer->switchHistory(), before);
    EXPECT_EQ(renderer->switchDownState(), (SupporterShaderRenderer::SwitchArray{}));
}

TEST_F(SupporterTest, HistoryTimesLeaveEndedPausesOut) {
    advance(10);
    renderer->willPause();
    advance(5);
    renderer->willResume();
    renderer->switchOn(1);
    EXPECT_FLOAT_EQ(renderer->switchHistoryTime()[0], 10.0f);
}

TEST_F(SupporterTest, EachFrameCarriesTheArraysAsTheyAreThen) {
    renderer->setSwitchOnState({1, 0, 0, 0, 0, 1});
    renderer->switchDown(3);
    view->drawFrame();
    renderer->switchUp(3);
    renderer->switchOn(2);
    view->drawFrame();
    ASSERT_EQ(frames.size(), 2u);
    using Array = SupporterShaderRenderer::SwitchArray;
    EXPECT_EQ(frames[0].label, "Supporter Command Buffer");
    EXPECT_EQ(frames[0].value<float>(2), 2.0f);
    EXPECT_EQ(frames[0].value<Array>(3), (Array{1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(frames[0].value<Array>(4), (Array{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(frames[0].value<Array>(5), (Array{-1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(frames[1].value<Array>(3), (Array{1, 0, 1, 0, 0, 1}));
    EXPECT_EQ(frames[1].value<Array>(4), (Array{}));
    EXPECT_EQ(frames[1].value<Array>(5), (Array{2, -1, -1, -1, -1, -1}));
    EXPECT_EQ(frames[1].value<Array>(6), (Array{}));
}

TEST_F(SupporterTest, ANewScreenScaleReachesTheNextFrame) {
    view->drawFrame();
    renderer->setScale(3.0f);
    view->drawFrame();
    renderer->setScale(0.0f);
    view->drawFrame();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].value<float>(2), 2.0f);
    EXPECT_EQ(frames[1].value<float>(2), 3.0f);
    EXPECT_EQ(frames[2].value<float>(2), 1.0f) << "a scale that is not positive counts as 1";
}

TEST(ColourEffects, NameTheKitsFunctionsWithTheirArgumentsInOrder) {
    const auto matrix =
        PelkoShadersHelper::colorMatrixShader({1, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, -2, 0}, {0, 0, 0, 1e-5f});
    EXPECT_EQ(matrix.function().name(), "colorMatrixShader");
    EXPECT_EQ(matrix.function().library().resourceBundle(), kitBundle());
    ASSERT_EQ(matrix.arguments().size(), 4u);
    EXPECT_EQ(matrix.arguments()[1], (Float4{0, 0.5f, 0, 0}));
    EXPECT_EQ(matrix.glslCall("p", "c"), "colorMatrixShader(p, c, vec4(1, 0, 0, 0), vec4(0, 0.5, 0, 0), "
                                         "vec4(0, 0, -2, 0), vec4(0, 0, 0, 1e-05))");

    const std::pair<Shader, const char*> plain[] = {
        {PelkoShadersHelper::outsideSRGBShader(), "outsideSRGBShader"},
        {PelkoShadersHelper::outsideP3Shader(), "outsideP3Shader"},
        {PelkoShadersHelper::clampSRGBShader(), "clampSRGBShader"}};
    for (const auto& [shader, name] : plain) {
        EXPECT_EQ(shader.function().name(), name);
        EXPECT_TRUE(shader.arguments().empty()) << name;
        EXPECT_EQ(shader.glslCall("pos", "colour"), std::string(name) + "(pos, colour)");
    }

    // Each resolves to a colour effect of the kit's library whose signature takes the position, the
    // colour and exactly the arguments its factory passes.
    for (const auto& shader : {matrix, plain[0].first, plain[1].first, plain[2].first}) {
        const auto function = shader.function().resolve();
        ASSERT_TRUE(function);
        EXPECT_EQ(function->stage(), gpu::FunctionStage::colorEffect);
        const std::string head = "vec4 " + function->name() + "(";
        const auto at = function->source().find(head);
        ASSERT_NE(at, std::string::npos) << function->name();
        const auto end = function->source().find(')', at);
        const std::string parameters = function->source().substr(at + head.size(), end - at - head.size());
        EXPECT_EQ(std::count(parameters.begin(), parameters.end(), ',') + 1,
                  static_cast<long>(2 + shader.arguments().size()))
            << parameters;
    }

    // Functions the library lacks, or has as pipeline stages, are no colour effects.
    EXPECT_THROW(ShaderLibrary::bundle(kitBundle()).function("noSuchShader").resolve(), gpu::Error);
    EXPECT_THROW(ShaderLibrary::bundle(kitBundle()).function("supporterFragmentShader").resolve(),
                 gpu::Error);
    EXPECT_THROW(ShaderLibrary::bundle(nullptr).function("clampSRGBShader").resolve(), gpu::Error);
}

} // namespace
} // namespace pelko
