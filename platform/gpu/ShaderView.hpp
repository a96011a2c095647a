#pragma once

// A view that shows frames drawn on the GPU: it owns a drawable of its size in pixels, asks its
// delegate for frames (from a run-loop timer at the preferred frame rate while unpaused, or when the
// view is displayed with enableSetNeedsDisplay), and draws the last presented frame as an image.

#include "gpu/CommandBuffer.hpp"
#include "gpu/Types.hpp"
#include "graphics/Image.hpp"
#include "ui/View.hpp"

#include <cstdint>
#include <memory>

namespace core {
class Timer;
}
namespace ui {
class Window;
}

namespace gpu {

class Device;
class ShaderView;

class ShaderViewDelegate {
public:
    virtual ~ShaderViewDelegate() = default;
    // The drawable is about to take a new size in pixels; called before the next frame.
    virtual void drawableSizeWillChange(ShaderView& view, graphics::Size size) = 0;
    // Draws one frame: encode into currentRenderPassDescriptor(), present currentDrawable(), commit.
    virtual void draw(ShaderView& view) = 0;
};

// Decides whether the view's contents scale follows the backing scale of the window it is in.
class ShaderLayerDelegate {
public:
    virtual ~ShaderLayerDelegate() = default;
    virtual bool shouldInheritContentsScale(ShaderView& view, double scale, const ui::Window& window) = 0;
};

class ShaderView : public ui::View {
public:
    // What drawFrame() offers the delegate; tests take parts away.
    enum class DrawableAvailability { available, passWithoutDrawable, none };

    explicit ShaderView(const graphics::Rect& frame = {}, std::shared_ptr<Device> device = nullptr);
    ~ShaderView() override;

    const std::shared_ptr<Device>& device() const { return device_; }
    void setDevice(std::shared_ptr<Device> device);

    // Held weakly: whoever owns the delegate keeps it alive (and clears it here before letting go).
    std::shared_ptr<ShaderViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ShaderViewDelegate> delegate) { delegate_ = std::move(delegate); }

    PixelFormat colorPixelFormat() const { return colorPixelFormat_; }
    void setColorPixelFormat(PixelFormat format) { colorPixelFormat_ = format; }
    ColorSpace colorspace() const { return colorspace_; }
    void setColorspace(ColorSpace space) { colorspace_ = space; }
    ClearColor clearColor() const { return clearColor_; }
    void setClearColor(ClearColor color) { clearColor_ = color; }

    int preferredFramesPerSecond() const { return preferredFramesPerSecond_; }
    void setPreferredFramesPerSecond(int framesPerSecond);
    bool isPaused() const { return paused_; }
    void setPaused(bool paused);
    // With it, displaying the view draws a frame; turning it on also pauses the view.
    bool enableSetNeedsDisplay() const { return enableSetNeedsDisplay_; }
    void setEnableSetNeedsDisplay(bool enable);

    // The drawable's size in pixels: the bounds times the contents scale, rounded, while
    // autoResizeDrawable holds; otherwise whatever setDrawableSize set.
    graphics::Size drawableSize() const { return drawableSize_; }
    void setDrawableSize(graphics::Size size);
    bool autoResizeDrawable() const { return autoResizeDrawable_; }
    void setAutoResizeDrawable(bool flag);
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double scale);
    std::shared_ptr<ShaderLayerDelegate> layerDelegate() const { return layerDelegate_.lock(); }
    void setLayerDelegate(std::weak_ptr<ShaderLayerDelegate> delegate);

    // Valid while the delegate draws; null without a device, with an empty drawable size, or when
    // withheld for a test.
    const RenderPassDescriptor* currentRenderPassDescriptor() const { return passReady_ ? &pass_ : nullptr; }
    std::shared_ptr<const Drawable> currentDrawable() const { return drawableReady_ ? drawable_ : nullptr; }
    void setDrawableAvailability(DrawableAvailability availability) { availability_ = availability; }

    // Asks the delegate for a frame now (nothing without a device or a delegate).
    void drawFrame();
    // The last presented frame (overwritten by the next one), or null before the first.
    graphics::ImageRef currentImage() const { return image_; }
    std::uint64_t presentedFrameCount() const { return presentedFrames_; }
    // Whether a run-loop timer is driving frames now.
    bool isAnimating() const { return timer_ != nullptr; }

    void draw(const graphics::Rect& dirtyRect) override;
    void setFrame(const graphics::Rect& frame) override;
    void viewDidMoveToWindow() override;

private:
    void updateDrawableSize();
    void inheritWindowScale();
    void updateTimer();
    void tick();
    void show(const Texture& texture);

    std::shared_ptr<Device> device_;
    std::weak_ptr<ShaderViewDelegate> delegate_;
    std::weak_ptr<ShaderLayerDelegate> layerDelegate_;
    PixelFormat colorPixelFormat_ = PixelFormat::bgra8Unorm;
    ColorSpace colorspace_ = ColorSpace::none;
    ClearColor clearColor_;
    int preferredFramesPerSecond_ = 60;
    bool paused_ = false;
    bool enableSetNeedsDisplay_ = false;
    bool autoResizeDrawable_ = true;
    double contentsScale_ = 1.0;
    graphics::Size drawableSize_;

    DrawableAvailability availability_ = DrawableAvailability::available;
    RenderPassDescriptor pass_;
    bool passReady_ = false;
    bool drawableReady_ = false;
    std::shared_ptr<Texture> target_;
    std::shared_ptr<Drawable> drawable_;

    std::shared_ptr<graphics::ImageRep> imageRep_;
    graphics::ImageRef image_;
    std::uint64_t presentedFrames_ = 0;
    // A frame drawn by the timer that the next display shows without drawing another.
    bool frameFresh_ = false;
    std::shared_ptr<core::Timer> timer_;
};

} // namespace gpu
