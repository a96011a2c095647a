#include "GpuTestSupport.hpp"
#include "core/RunLoop.hpp"
#include "gpu/ShaderView.hpp"
#include "graphics/CairoSupport.hpp"
#include "ui/Window.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

namespace gpu {
namespace {

// Draws the top half in the given colour and the bottom half blue, as a renderer would.
class HalvesDelegate : public ShaderViewDelegate {
public:
    HalvesDelegate(std::shared_ptr<Device> device, PixelFormat format) : device_(std::move(device)) {
        queue_ = device_->newCommandQueue();
        pipeline_ = testing::makeHalvesPipeline(*device_, format);
        quad_ = device_->newBuffer(testing::quad.data(), sizeof(testing::quad));
    }

    void drawableSizeWillChange(ShaderView&, graphics::Size size) override { sizes.push_back(size); }

    void draw(ShaderView& view) override {
        ++draws;
        const auto* pass = view.currentRenderPassDescriptor();
        if (pass == nullptr) {
            return;
        }
        auto buffer = queue_->commandBuffer();
        auto* encoder = buffer->renderCommandEncoder(*pass);
        const auto size = view.drawableSize();
        const std::array<float, 2> viewport{float(size.width), float(size.height)};
        encoder->setRenderPipelineState(pipeline_);
        encoder->setVertexBuffer(quad_, 0, 0);
        encoder->setFragmentBytes(viewport.data(), sizeof(viewport), 0);
        encoder->setFragmentBytes(top.data(), sizeof(top), 1);
        encoder->drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
        encoder->endEncoding();
        if (auto drawable = view.currentDrawable()) {
            buffer->presentDrawable(drawable);
        }
        buffer->commit();
        ++commits;
    }

    std::array<float, 4> top{1, 0, 0, 1};
    std::vector<graphics::Size> sizes;
    int draws = 0;
    int commits = 0;

private:
    std::shared_ptr<Device> device_;
    std::shared_ptr<CommandQueue> queue_;
    std::shared_ptr<RenderPipelineState> pipeline_;
    std::shared_ptr<Buffer> quad_;
};

class InheritingLayer : public ShaderLayerDelegate {
public:
    bool shouldInheritContentsScale(ShaderView&, double, const ui::Window&) override { return true; }
};

class ShaderViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = Device::createSystemDefaultDevice();
        ASSERT_TRUE(device);
        view = std::make_shared<ShaderView>(graphics::Rect{{0, 0}, {40, 20}}, device);
        view->setColorPixelFormat(PixelFormat::rgba16Float);
        view->setColorspace(ColorSpace::extendedLinearSRGB);
        delegate = std::make_shared<HalvesDelegate>(device, PixelFormat::rgba16Float);
        view->setDelegate(delegate);
    }

    std::shared_ptr<Device> device;
    std::shared_ptr<ShaderView> view;
    std::shared_ptr<HalvesDelegate> delegate;
};

TEST_F(ShaderViewTest, DrawableSizeFollowsBoundsAndScaleAndTellsTheDelegate) {
    EXPECT_EQ(view->drawableSize(), (graphics::Size{40, 20}));
    view->setContentsScale(2);
    view->setFrameSize({30.3, 10});
    view->setFrameSize({0, 0});
    ASSERT_EQ(delegate->sizes.size(), 3u);
    EXPECT_EQ(delegate->sizes[0], (graphics::Size{80, 40}));
    EXPECT_EQ(delegate->sizes[1], (graphics::Size{61, 20}));
    EXPECT_EQ(delegate->sizes[2], (graphics::Size{0, 0}));

    // An empty drawable gives the delegate no pass; a fixed drawable size ignores the bounds.
    view->drawFrame();
    EXPECT_EQ(delegate->draws, 1);
    EXPECT_EQ(delegate->commits, 0);
    view->setAutoResizeDrawable(false);
    view->setDrawableSize({16, 8});
    view->setFrameSize({100, 100});
    EXPECT_EQ(view->drawableSize(), (graphics::Size{16, 8}));
}

TEST_F(ShaderViewTest, PresentedFramesBecomeTheImageTheViewDraws) {
    view->drawFrame();
    ASSERT_EQ(view->presentedFrameCount(), 1u);
    auto image = view->currentImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (graphics::Size{40, 20}));
    const auto rep = image->representations().front();
    EXPECT_EQ(rep->pixel(20, 2), (graphics::ImageRep::RGBA{255, 0, 0, 255}));
    EXPECT_EQ(rep->pixel(20, 17), (graphics::ImageRep::RGBA{0, 0, 255, 255}));

    // The window composites it where the view sits (window coordinates are y-up; the image is upright).
    auto window = ui::Window::make({{0, 0}, {60, 40}});
    auto content = std::make_shared<ui::View>(graphics::Rect{{0, 0}, {60, 40}});
    window->setContentView(content);
    view->setFrameOrigin({10, 10});
    content->addSubview(view);
    auto shot = graphics::Image::draw(
        {60, 40}, 1, [&](graphics::GraphicsContext& context) { window->drawContent(context); });
    const auto pixels = shot->representations().front();
    EXPECT_EQ(pixels->pixel(30, 12), (graphics::ImageRep::RGBA{255, 0, 0, 255})); // top half of the view
    EXPECT_EQ(pixels->pixel(30, 27), (graphics::ImageRep::RGBA{0, 0, 255, 255})); // bottom half
}

TEST_F(ShaderViewTest, WithheldPassesAndDrawablesAreSkippedOrCommittedUnshown) {
    view->setDrawableAvailability(ShaderView::DrawableAvailability::passWithoutDrawable);
    view->drawFrame();
    EXPECT_EQ(delegate->commits, 1);
    EXPECT_EQ(view->presentedFrameCount(), 0u);
    view->setDrawableAvailability(ShaderView::DrawableAvailability::none);
    view->drawFrame();
    EXPECT_EQ(delegate->draws, 2);
    EXPECT_EQ(delegate->commits, 1);

    // Without a device the delegate is never asked.
    view->setDevice(nullptr);
    view->setDrawableAvailability(ShaderView::DrawableAvailability::available);
    view->drawFrame();
    EXPECT_EQ(delegate->draws, 2);
}

TEST_F(ShaderViewTest, FramesRunOnTheRunLoopOnlyWhileUnpausedInAWindow) {
    EXPECT_FALSE(view->isAnimating());
    auto window = ui::Window::make({{0, 0}, {40, 20}});
    window->setContentView(view);
    EXPECT_TRUE(view->isAnimating());

    view->setEnableSetNeedsDisplay(true);
    EXPECT_TRUE(view->isPaused());
    EXPECT_FALSE(view->isAnimating());

    // While paused, displaying the view still draws a frame.
    auto display = [&] {
        graphics::Image::draw({40, 20}, 1,
                              [&](graphics::GraphicsContext& context) { window->drawContent(context); });
    };
    display();
    EXPECT_EQ(delegate->draws, 1);

    view->setPreferredFramesPerSecond(200);
    view->setPaused(false);
    ASSERT_TRUE(view->isAnimating());
    const int before = delegate->draws;
    core::RunLoop::main().runUntil([&] { return delegate->draws >= before + 2; },
                                   core::RunLoop::main().clock()->now() + std::chrono::seconds(10));
    EXPECT_GE(delegate->draws, before + 2);

    // A frame the timer drew is shown by the next display, not drawn again.
    const int drawn = delegate->draws;
    display();
    EXPECT_EQ(delegate->draws, drawn);

    window->setContentView(std::make_shared<ui::View>());
    EXPECT_FALSE(view->isAnimating());
}

TEST_F(ShaderViewTest, ContentsScaleFollowsTheWindowWhenTheLayerDelegateAgrees) {
    auto window = ui::Window::make({{0, 0}, {40, 20}});
    window->setBackingScaleFactor(2);
    auto layer = std::make_shared<InheritingLayer>();
    window->setContentView(view);
    EXPECT_EQ(view->contentsScale(), 1.0);
    view->setLayerDelegate(layer);
    EXPECT_EQ(view->contentsScale(), 2.0);
    EXPECT_EQ(view->drawableSize(), (graphics::Size{80, 40}));

    window->setBackingScaleFactor(3);
    view->drawFrame();
    EXPECT_EQ(view->contentsScale(), 3.0);
    ASSERT_TRUE(view->currentImage());
    EXPECT_EQ(view->currentImage()->representations().front()->pixelsWide(), 120);
}

} // namespace
} // namespace gpu
