#pragma once

// The shader view controllers: each puts a shader renderer on screen in a drawing view that fills the
// controller's container view, from the container's appearance to its next disappearance, and pauses the
// animation (with the renderer's running time) while the container's window is not the key window.
//
// The controllers are written once over the drawing view and renderer types, so that the same life cycle
// runs with the GPU kit's view and renderers in the application and with recording stand-ins in tests.
// A drawing view type V offers:
//   static std::shared_ptr<V> make(const graphics::Rect& frame)   (on the system default device, if any)
//   setAutoResizeDrawable(bool), setEnableSetNeedsDisplay(bool), setColorPixelFormat(PixelFormat),
//   setColorspace(Colorspace), setPreferredFramesPerSecond(int), setPaused(bool), setNeedsDisplay(bool),
//   setDelegate(std::shared_ptr<R>) (held weakly), setContentsScale(double),
//   setContentsScaleDelegate(ContentsScaleDelegate)
// and a renderer type R offers willPause() and willResume().

#include "core/Cancellable.hpp"
#include "core/NotificationCenter.hpp"
#include "ui/View.hpp"
#include "ui/Window.hpp"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaray {

// The names under which windows announce key-status changes (the notification's object is the window).
using ui::windowDidBecomeKeyNotification;
using ui::windowDidResignKeyNotification;

// The drawing views' colour set-up that the controllers ask for.
enum class ShaderPixelFormat { bgra8Unorm = 80, rgba16Float = 115 };
enum class ShaderColorspace { none, extendedLinearSRGB, extendedLinearDisplayP3 };

// Pins view to all four edges of superview, inset by insets: leading = +left, trailing = -right,
// bottom = -bottom, top = +top, activated together. Without a superview nothing happens.
void pin(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::View>& superview,
         graphics::EdgeInsets insets);

// Asked by a drawing view whose window's backing scale differs from its contents scale (on joining a
// window, or when the window's scale changes): true makes the view take the window's scale.
using ContentsScaleDelegate = std::function<bool(double scale, const ui::Window& window)>;

// The backing scale of the window's screen; 1 without a window or a screen.
double screenScale(const ui::Window* window);

// What a container view tells its controller about its place on screen.
class ViewAppearance {
public:
    virtual ~ViewAppearance() = default;
    virtual void viewWillAppear() = 0;
    virtual void viewDidAppear() = 0;
    virtual void viewDidDisappear() = 0;
};

// A plain container that owns its controller and reports appearing (joining a window) and disappearing
// (leaving it) to it. It takes no events of its own: clicks reach the views behind it.
class ShaderContainerView : public ui::View {
public:
    explicit ShaderContainerView(const graphics::Rect& frame) : ui::View(frame) {}
    void setController(std::shared_ptr<ViewAppearance> controller) { controller_ = std::move(controller); }
    const std::shared_ptr<ViewAppearance>& controller() const { return controller_; }

    void viewDidMoveToWindow() override;
    std::shared_ptr<ui::View> hitTest(const graphics::Point& pointInSuperview) override;

private:
    std::shared_ptr<ViewAppearance> controller_;
    bool appeared_ = false;
};

template <class DrawingView, class Renderer> class ShaderViewControllerBase : public ViewAppearance {
public:
    // Adopts container as the controller's view (held weakly: the container owns its controller).
    explicit ShaderViewControllerBase(const std::shared_ptr<ui::View>& container) : view_(container) {}
    ~ShaderViewControllerBase() override {
        // Observers go first, so no notification reaches a half-destroyed controller; the view must not
        // keep a delegate that is about to be destroyed.
        observers_.clear();
        if (metalKitView_) {
            metalKitView_->setDelegate(std::shared_ptr<Renderer>());
            metalKitView_->setContentsScaleDelegate({});
        }
    }
    ShaderViewControllerBase(const ShaderViewControllerBase&) = delete;
    ShaderViewControllerBase& operator=(const ShaderViewControllerBase&) = delete;

    std::shared_ptr<ui::View> view() const { return view_.lock(); }
    const std::shared_ptr<DrawingView>& metalKitView() const { return metalKitView_; }
    const std::shared_ptr<Renderer>& renderer() const { return renderer_; }

    // Builds the drawing view and its renderer, unless they exist already.
    void viewWillAppear() override {
        auto container = view();
        if (metalKitView_ || !container) {
            return;
        }
        metalKitView_ = DrawingView::make(container->bounds());
        container->addSubview(metalKitView_);
        pin(metalKitView_, container, {});
        metalKitView_->setAutoResizeDrawable(true);
        metalKitView_->setEnableSetNeedsDisplay(true);
        metalKitView_->setColorPixelFormat(ShaderPixelFormat::rgba16Float);
        metalKitView_->setColorspace(ShaderColorspace::extendedLinearSRGB);
        metalKitView_->setPreferredFramesPerSecond(60);
        try {
            renderer_ = makeRenderer(*metalKitView_);
        } catch (...) {
            // No device, no queue or no pipeline: the view stays empty and nothing is reported.
            renderer_ = nullptr;
        }
        if (renderer_) {
            rendererWasMade(*renderer_);
        }
        metalKitView_->setDelegate(renderer_);
        const auto window = container->window();
        metalKitView_->setContentsScale(window ? window->backingScaleFactor() : 1.0);
        metalKitView_->setContentsScaleDelegate(
            [this](double scale, const ui::Window& w) { return layerShouldInheritContentsScale(scale, w); });
    }

    // Starts the animation and listens for key-status changes of any window.
    void viewDidAppear() override {
        if (metalKitView_) {
            metalKitView_->setPaused(false);
        }
        if (!observers_.empty()) {
            return; // registered once for the controller's life
        }
        auto& center = core::NotificationCenter::defaultCenter();
        center
            .addObserver(windowDidBecomeKeyNotification,
                         [this](const core::Notification& n) { handleDidBecomeKey(n); })
            .store(observers_);
        center
            .addObserver(windowDidResignKeyNotification,
                         [this](const core::Notification& n) { handleDidResignKey(n); })
            .store(observers_);
    }

    // Drops the drawing view and the renderer; the next appearance starts afresh.
    void viewDidDisappear() override {
        if (metalKitView_) {
            metalKitView_->setPaused(true);
            metalKitView_->setDelegate(std::shared_ptr<Renderer>());
            metalKitView_->setContentsScaleDelegate({});
            metalKitView_->removeFromSuperview();
        }
        metalKitView_ = nullptr;
        renderer_ = nullptr;
    }

    void handleDidBecomeKey(const core::Notification& notification) {
        if (!isOwnWindow(notification)) {
            return;
        }
        if (renderer_) {
            renderer_->willResume();
        }
        if (metalKitView_) {
            metalKitView_->setPaused(false);
        }
    }

    void handleDidResignKey(const core::Notification& notification) {
        if (!isOwnWindow(notification)) {
            return;
        }
        if (renderer_) {
            renderer_->willPause();
        }
        if (metalKitView_) {
            metalKitView_->setPaused(true);
        }
    }

    // The drawing view's layer takes the scale of whatever window it moves to.
    bool layerShouldInheritContentsScale(double scale, const ui::Window& window) {
        (void)scale;
        windowScaleWillBeInherited(window);
        return true;
    }

    // The representable's update: the drawing view, if any, draws again.
    void setNeedsDisplay() {
        if (metalKitView_) {
            metalKitView_->setNeedsDisplay(true);
        }
    }

protected:
    // Makes the renderer for the new drawing view; throws when it cannot.
    virtual std::shared_ptr<Renderer> makeRenderer(DrawingView& view) = 0;
    // Runs right after a successful makeRenderer.
    virtual void rendererWasMade(Renderer& renderer) { (void)renderer; }
    // Runs when the drawing view is about to take the backing scale of the window it is now in.
    virtual void windowScaleWillBeInherited(const ui::Window& window) { (void)window; }

private:
    bool isOwnWindow(const core::Notification& notification) const {
        const auto container = view();
        const auto window = container ? container->window() : nullptr;
        return window && notification.object == static_cast<const void*>(window.get());
    }

    std::weak_ptr<ui::View> view_;
    std::shared_ptr<DrawingView> metalKitView_;
    std::shared_ptr<Renderer> renderer_;
    core::CancellableSet observers_;
};

// The general controller: a renderer made from the view, a label name and two shader function names.
template <class DrawingView, class Renderer>
class MetalShaderViewControllerT : public ShaderViewControllerBase<DrawingView, Renderer> {
public:
    MetalShaderViewControllerT(const std::shared_ptr<ui::View>& container, std::string rendererName,
                               std::string vertxShaderName, std::string fragmentShaderName)
        : ShaderViewControllerBase<DrawingView, Renderer>(container), rendererName_(std::move(rendererName)),
          vertxShaderName_(std::move(vertxShaderName)), fragmentShaderName_(std::move(fragmentShaderName)) {}

    const std::string& rendererName() const { return rendererName_; }
    const std::string& vertxShaderName() const { return vertxShaderName_; }
    const std::string& fragmentShaderName() const { return fragmentShaderName_; }

protected:
    std::shared_ptr<Renderer> makeRenderer(DrawingView& view) override {
        return std::make_shared<Renderer>(view, rendererName_, vertxShaderName_, fragmentShaderName_);
    }

private:
    std::string rendererName_;
    std::string vertxShaderName_;
    std::string fragmentShaderName_;
};

// The about panel's controller: its renderer needs only the view.
template <class DrawingView, class Renderer>
class AboutShaderViewControllerT : public ShaderViewControllerBase<DrawingView, Renderer> {
public:
    using ShaderViewControllerBase<DrawingView, Renderer>::ShaderViewControllerBase;

protected:
    std::shared_ptr<Renderer> makeRenderer(DrawingView& view) override {
        return std::make_shared<Renderer>(view);
    }
};

// The six-switch panel's controller: switch states given before the renderer exists are kept and handed
// to every renderer it makes. Its renderer takes the backing scale of the screen the container's window
// is on (1 without one) and follows it when the window changes scale or screen.
template <class DrawingView, class Renderer>
class SupporterShaderViewControllerT : public ShaderViewControllerBase<DrawingView, Renderer> {
    using Base = ShaderViewControllerBase<DrawingView, Renderer>;

public:
    SupporterShaderViewControllerT(const std::shared_ptr<ui::View>& container, std::string rendererName)
        : Base(container), rendererName_(std::move(rendererName)) {}

    const std::string& rendererName() const { return rendererName_; }
    using SwitchStates = std::array<float, 6>;
    const std::optional<SwitchStates>& switchOnStateToSetOnAppear() const {
        return switchOnStateToSetOnAppear_;
    }
    void setSwitchOnStateToSetOnAppear(std::optional<SwitchStates> states) {
        switchOnStateToSetOnAppear_ = states;
    }

    // Which switches are on: at once when there is a renderer (recording no switch events), otherwise
    // kept for every renderer made from then on.
    void setInitialButtonStates(bool on1, bool on2, bool on3, bool on4, bool on5, bool on6) {
        const SwitchStates states{on1 ? 1.0f : 0.0f, on2 ? 1.0f : 0.0f, on3 ? 1.0f : 0.0f,
                                  on4 ? 1.0f : 0.0f, on5 ? 1.0f : 0.0f, on6 ? 1.0f : 0.0f};
        if (const auto& renderer = this->renderer()) {
            renderer->setSwitchOnState(states);
        } else {
            switchOnStateToSetOnAppear_ = states;
        }
    }

    // Switch operations on the renderer; without one they do nothing.
    void switchOn(int index) {
        if (const auto& renderer = this->renderer()) {
            renderer->switchOn(index);
        }
    }
    void switchOff(int index) {
        if (const auto& renderer = this->renderer()) {
            renderer->switchOff(index);
        }
    }
    void switchDown(int index) {
        if (const auto& renderer = this->renderer()) {
            renderer->switchDown(index);
        }
    }
    void switchUp(int index) {
        if (const auto& renderer = this->renderer()) {
            renderer->switchUp(index);
        }
    }

protected:
    std::shared_ptr<Renderer> makeRenderer(DrawingView& view) override {
        const auto container = this->view();
        const auto window = container ? container->window() : nullptr;
        return std::make_shared<Renderer>(view, rendererName_, static_cast<float>(screenScale(window.get())));
    }
    void rendererWasMade(Renderer& renderer) override {
        if (switchOnStateToSetOnAppear_) {
            renderer.setSwitchOnState(*switchOnStateToSetOnAppear_);
        }
    }
    void windowScaleWillBeInherited(const ui::Window& window) override {
        if (const auto& renderer = this->renderer()) {
            renderer->setScale(static_cast<float>(screenScale(&window)));
        }
    }

private:
    std::string rendererName_;
    std::optional<SwitchStates> switchOnStateToSetOnAppear_;
};

} // namespace tessaray
