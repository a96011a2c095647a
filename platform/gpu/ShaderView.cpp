#include "gpu/ShaderView.hpp"

#include "core/RunLoop.hpp"
#include "gpu/Device.hpp"
#include "ui/Window.hpp"

#include <chrono>
#include <cmath>

namespace gpu {

ShaderView::ShaderView(const graphics::Rect& frame, std::shared_ptr<Device> device)
    : ui::View(frame), device_(std::move(device)) {
    drawableSize_ = {std::round(frame.size.width), std::round(frame.size.height)};
}

ShaderView::~ShaderView() {
    if (timer_) {
        timer_->invalidate();
    }
}

void ShaderView::setDevice(std::shared_ptr<Device> device) {
    if (device != device_) {
        target_.reset();
        drawable_.reset();
    }
    device_ = std::move(device);
    updateTimer();
}

void ShaderView::setPreferredFramesPerSecond(int framesPerSecond) {
    if (framesPerSecond == preferredFramesPerSecond_) {
        return;
    }
    preferredFramesPerSecond_ = framesPerSecond;
    if (timer_) {
        timer_->invalidate();
        timer_.reset();
    }
    updateTimer();
}

void ShaderView::setPaused(bool paused) {
    paused_ = paused;
    updateTimer();
}

void ShaderView::setEnableSetNeedsDisplay(bool enable) {
    enableSetNeedsDisplay_ = enable;
    if (enable) {
        setPaused(true);
    }
}

void ShaderView::setDrawableSize(graphics::Size size) {
    size = {std::max(0.0, std::round(size.width)), std::max(0.0, std::round(size.height))};
    if (size.width == drawableSize_.width && size.height == drawableSize_.height) {
        return;
    }
    drawableSize_ = size;
    if (auto delegate = delegate_.lock()) {
        delegate->drawableSizeWillChange(*this, size);
    }
}

void ShaderView::setAutoResizeDrawable(bool flag) {
    autoResizeDrawable_ = flag;
    updateDrawableSize();
}

void ShaderView::setContentsScale(double scale) {
    if (!(scale > 0) || scale == contentsScale_) {
        return;
    }
    contentsScale_ = scale;
    updateDrawableSize();
    setNeedsDisplay(true);
}

void ShaderView::setLayerDelegate(std::weak_ptr<ShaderLayerDelegate> delegate) {
    layerDelegate_ = std::move(delegate);
    inheritWindowScale();
}

void ShaderView::setFrame(const graphics::Rect& frame) {
    ui::View::setFrame(frame);
    updateDrawableSize();
}

void ShaderView::viewDidMoveToWindow() {
    ui::View::viewDidMoveToWindow();
    inheritWindowScale();
    updateTimer();
}

void ShaderView::updateDrawableSize() {
    if (autoResizeDrawable_) {
        const auto size = bounds().size;
        setDrawableSize({size.width * contentsScale_, size.height * contentsScale_});
    }
}

void ShaderView::inheritWindowScale() {
    auto window = this->window();
    auto delegate = layerDelegate_.lock();
    if (!window || !delegate) {
        return;
    }
    const double scale = window->backingScaleFactor();
    if (scale != contentsScale_ && delegate->shouldInheritContentsScale(*this, scale, *window)) {
        setContentsScale(scale);
    }
}

void ShaderView::updateTimer() {
    const bool wanted = !paused_ && device_ && window() && preferredFramesPerSecond_ > 0;
    if (!wanted) {
        if (timer_) {
            timer_->invalidate();
            timer_.reset();
        }
        return;
    }
    if (timer_) {
        return;
    }
    const auto interval = std::chrono::duration_cast<core::Clock::Duration>(
        std::chrono::duration<double>(1.0 / preferredFramesPerSecond_));
    std::weak_ptr<ShaderView> weak = sharedAs<ShaderView>();
    timer_ = core::RunLoop::main().scheduleRepeating(interval, [weak] {
        if (auto view = weak.lock()) {
            view->tick();
        }
    });
}

void ShaderView::tick() {
    drawFrame();
    frameFresh_ = true;
    setNeedsDisplay(true);
}

void ShaderView::drawFrame() {
    auto delegate = delegate_.lock();
    if (!device_ || !delegate) {
        return;
    }
    inheritWindowScale();
    const int width = static_cast<int>(drawableSize_.width);
    const int height = static_cast<int>(drawableSize_.height);
    if (availability_ != DrawableAvailability::none && width > 0 && height > 0) {
        const PixelFormat format =
            colorPixelFormat_ == PixelFormat::invalid ? PixelFormat::bgra8Unorm : colorPixelFormat_;
        if (!target_ || target_->width() != width || target_->height() != height ||
            target_->pixelFormat() != format) {
            target_ = device_->newTexture({width, height, format, false, TextureUsage::renderTarget});
            drawable_.reset();
            if (target_) {
                std::weak_ptr<ShaderView> weak = sharedAs<ShaderView>();
                drawable_ = std::make_shared<Drawable>(target_, [weak](const Drawable& drawable) {
                    if (auto view = weak.lock()) {
                        view->show(*drawable.texture());
                    }
                });
            }
        }
        if (target_) {
            pass_.colorAttachment = {target_, LoadAction::clear, clearColor_};
            passReady_ = true;
            drawableReady_ = availability_ == DrawableAvailability::available;
        }
    }
    delegate->draw(*this);
    passReady_ = false;
    drawableReady_ = false;
    pass_.colorAttachment.texture.reset();
}

void ShaderView::show(const Texture& texture) {
    const int width = texture.width();
    const int height = texture.height();
    if (!imageRep_ || imageRep_->pixelsWide() != width || imageRep_->pixelsHigh() != height) {
        const graphics::Size points{width / contentsScale_, height / contentsScale_};
        imageRep_ = graphics::ImageRep::make(width, height, points);
        image_ = graphics::Image::make(points);
        image_->addRepresentation(imageRep_);
    }
    if (device_ && device_->copyToImage(texture, colorspace_, *imageRep_)) {
        ++presentedFrames_;
    }
}

void ShaderView::draw(const graphics::Rect& dirtyRect) {
    (void)dirtyRect;
    if (enableSetNeedsDisplay_ && !frameFresh_) {
        drawFrame();
    }
    frameFresh_ = false;
    if (image_) {
        image_->drawInRect(bounds());
    }
}

} // namespace gpu
