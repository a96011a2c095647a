#include "display/HeadlessBackend.hpp"

#include "core/MainQueue.hpp"
#include "display/HeadlessMenuPresenter.hpp"
#include "ui/Application.hpp"
#include "ui/Screen.hpp"

#include <cairo.h>
#include <cmath>

namespace display {

using graphics::Point;
using graphics::Size;
using ui::EventType;

namespace {

int devicePixels(double points, double scale) {
    return std::max(1, static_cast<int>(std::lround(points * scale)));
}

} // namespace

std::shared_ptr<HeadlessBackend> HeadlessBackend::attach(const std::shared_ptr<ui::Window>& window,
                                                         double scale, bool record) {
    if (!window) {
        return nullptr;
    }
    auto backend = std::make_shared<HeadlessBackend>(window->contentAreaRect().size, scale, record);
    backend->window_ = window;
    backend->origin_ = window->contentAreaRect().origin;
    window->setBackend(backend);
    return backend;
}

HeadlessBackend::HeadlessBackend(Size size, double scale, bool record)
    : size_(size), scale_(scale > 0 && std::isfinite(scale) ? scale : 1.0),
      recorder_(record ? std::make_shared<graphics::DrawRecorder>() : nullptr), screen_(fixedScreen(scale_)) {
    recreateSurface();
}

std::shared_ptr<ui::Screen> HeadlessBackend::fixedScreen(double scale) {
    return std::make_shared<ui::Screen>(graphics::Rect(0, 0, 1920, 1080), graphics::Rect(0, 0, 1920, 1048),
                                        scale);
}

std::shared_ptr<ui::WindowBackend> HeadlessBackend::makeBackend(const std::shared_ptr<ui::Window>& window) {
    if (closed_) {
        return nullptr;
    }
    auto made = attach(window, scale_, recorder_ != nullptr);
    if (made) {
        made->screen_ = screen_;
    }
    return made;
}

HeadlessBackend::~HeadlessBackend() {
    if (surface_) {
        cairo_surface_destroy(surface_);
    }
}

void HeadlessBackend::recreateSurface() {
    if (surface_) {
        cairo_surface_destroy(surface_);
    }
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, devicePixels(size_.width, scale_),
                                          devicePixels(size_.height, scale_));
}

std::shared_ptr<ui::MenuPresenter> HeadlessBackend::menuPresenter() {
    if (!menuPresenter_) {
        menuPresenter_ = std::make_shared<HeadlessMenuPresenter>(scale_);
    }
    return menuPresenter_;
}

void HeadlessBackend::invalidate() {
    if (displayQueued_ || closed_) {
        return;
    }
    displayQueued_ = true;
    core::mainAsync([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->displayIfNeeded();
        }
    });
}

bool HeadlessBackend::drawRects(const std::vector<graphics::Rect>& rects, const RectDrawer& draw) {
    if (!graphics::drawRectsOnSurface(surface_, size_, scale_, recorder_, rects, draw)) {
        return false;
    }
    lastDrawn_ = rects;
    lastPresented_ = graphics::Rect::null();
    for (const auto& r : rects) {
        lastPresented_ = lastPresented_.isNull() ? r : lastPresented_.unionWith(r);
    }
    ++presentedFrames_;
    return true;
}

void HeadlessBackend::displayIfNeeded() {
    displayQueued_ = false;
    if (auto w = window(); w && !closed_) {
        w->displayIfNeeded();
    }
}

void HeadlessBackend::setContentSize(const Size& size) {
    if (size == size_ || size.width <= 0 || size.height <= 0) {
        return;
    }
    size_ = size;
    recreateSurface();
}

void HeadlessBackend::close() {
    closed_ = true;
    visible_ = false;
}

bool HeadlessBackend::writePNG(const std::filesystem::path& file) {
    displayIfNeeded();
    if (!surface_) {
        return false;
    }
    cairo_surface_flush(surface_);
    return cairo_surface_write_to_png(surface_, file.c_str()) == CAIRO_STATUS_SUCCESS;
}

HeadlessBackend::RGBA HeadlessBackend::pixel(int x, int y) {
    RGBA out;
    if (!surface_) {
        return out;
    }
    cairo_surface_flush(surface_);
    const int w = cairo_image_surface_get_width(surface_);
    const int h = cairo_image_surface_get_height(surface_);
    if (x < 0 || y < 0 || x >= w || y >= h) {
        return out;
    }
    const auto* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    const std::uint32_t argb = reinterpret_cast<const std::uint32_t*>(row)[x];
    out.a = static_cast<std::uint8_t>(argb >> 24);
    auto unpremultiply = [&](std::uint32_t c) {
        return out.a == 0 ? std::uint8_t{0} : static_cast<std::uint8_t>((c * 255 + out.a / 2) / out.a);
    };
    out.r = unpremultiply((argb >> 16) & 0xff);
    out.g = unpremultiply((argb >> 8) & 0xff);
    out.b = unpremultiply(argb & 0xff);
    return out;
}

std::uint32_t HeadlessBackend::pixelRGBA(int x, int y) {
    const RGBA p = pixel(x, y);
    return (std::uint32_t{p.r} << 24) | (std::uint32_t{p.g} << 16) | (std::uint32_t{p.b} << 8) | p.a;
}

void HeadlessBackend::post(ui::Event event) {
    auto w = window();
    if (!w || closed_) {
        return;
    }
    event.window = w;
    event.timestamp = timestamp_;
    ui::Application::shared()->sendEvent(event);
}

void HeadlessBackend::mouseDown(Point location, ui::ModifierFlags flags, int clickCount) {
    post(ui::Event::mouseEvent(EventType::leftMouseDown, location, flags | heldFlags_, 0, nullptr,
                               clickCount));
}

void HeadlessBackend::mouseDragged(Point location, ui::ModifierFlags flags) {
    post(ui::Event::mouseEvent(EventType::leftMouseDragged, location, flags | heldFlags_, 0, nullptr, 1));
}

void HeadlessBackend::mouseUp(Point location, ui::ModifierFlags flags, int clickCount) {
    post(ui::Event::mouseEvent(EventType::leftMouseUp, location, flags | heldFlags_, 0, nullptr, clickCount));
}

void HeadlessBackend::rightMouseDown(Point location, ui::ModifierFlags flags) {
    post(ui::Event::mouseEvent(EventType::rightMouseDown, location, flags | heldFlags_, 0, nullptr, 1));
}

void HeadlessBackend::rightMouseUp(Point location, ui::ModifierFlags flags) {
    post(ui::Event::mouseEvent(EventType::rightMouseUp, location, flags | heldFlags_, 0, nullptr, 1));
}

void HeadlessBackend::mouseMoved(Point location, ui::ModifierFlags flags) {
    post(ui::Event::mouseEvent(EventType::mouseMoved, location, flags | heldFlags_, 0, nullptr, 0));
}

void HeadlessBackend::click(Point location, ui::ModifierFlags flags) {
    mouseDown(location, flags);
    mouseUp(location, flags);
}

void HeadlessBackend::scroll(Point location, double deltaX, double deltaY, ui::ModifierFlags flags) {
    post(ui::Event::scrollEvent(location, deltaX, deltaY, flags | heldFlags_));
}

void HeadlessBackend::keyDown(const std::string& characters, ui::ModifierFlags flags, std::uint16_t keyCode) {
    post(ui::Event::keyEvent(EventType::keyDown, characters, {}, flags | heldFlags_, keyCode));
}

void HeadlessBackend::keyUp(const std::string& characters, ui::ModifierFlags flags, std::uint16_t keyCode) {
    post(ui::Event::keyEvent(EventType::keyUp, characters, {}, flags | heldFlags_, keyCode));
}

void HeadlessBackend::typeKey(const std::string& characters, ui::ModifierFlags flags, std::uint16_t keyCode) {
    keyDown(characters, flags, keyCode);
    keyUp(characters, flags, keyCode);
}

void HeadlessBackend::flagsChanged(ui::ModifierFlags flags) {
    heldFlags_ = flags;
    post(ui::Event::flagsChangedEvent(flags));
}

void HeadlessBackend::focusIn() {
    if (auto w = window(); w && !closed_) {
        w->makeKeyWindow();
    }
}

void HeadlessBackend::focusOut() {
    if (auto w = window()) {
        w->resignKey();
    }
}

void HeadlessBackend::resize(Size size) {
    if (size.width <= 0 || size.height <= 0 || closed_) {
        return;
    }
    setContentSize(size);
    if (auto w = window()) {
        w->backendDidResize(size);
    }
}

void HeadlessBackend::requestClose() {
    if (auto w = window(); w && !closed_) {
        w->performClose();
    }
}

} // namespace display
