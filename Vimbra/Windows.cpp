#include "Vimbra/Windows.hpp"

#include "Vimbra/Geometry.hpp"
#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "graphics/BezierPath.hpp"
#include "ui/Animation.hpp"
#include "ui/Application.hpp"
#include "ui/Screen.hpp"

namespace vimbra {

using graphics::Point;
using graphics::Rect;

XiblessView::XiblessView() : ui::View(Rect::zero()) {
    setTranslatesAutoresizingMaskIntoConstraints(false);
}

void centerInVisibleFrame(ui::Window& window) {
    auto screen = window.screen();
    if (!screen) {
        return;
    }
    const Rect visible = screen->visibleFrame();
    const Rect frame = window.frame();
    window.setFrameOrigin({visible.midX() - frame.size.width / 2, visible.midY() - frame.size.height / 2});
}

void placeAtTopOfVisibleFrame(ui::Window& window, double inset) {
    auto screen = window.screen();
    if (!screen) {
        return;
    }
    const Rect visible = screen->visibleFrame();
    const Rect frame = window.frame();
    window.setFrameOrigin(
        {visible.midX() - frame.size.width / 2, visible.maxY() - frame.size.height - inset});
}

namespace {

// The view's bounds in screen coordinates, or none for a view outside any window.
std::optional<Rect> rectOnScreen(const ui::View& view) {
    auto window = view.window();
    if (!window) {
        return std::nullopt;
    }
    return window->convertRectToScreen(view.convertRectToView(view.bounds(), nullptr));
}

} // namespace

void center(ui::Window& window, const ui::View& over, bool display) {
    const auto target = rectOnScreen(over);
    if (!target) {
        return;
    }
    window.setFrame(centered(window.frame(), *target, 1.0), display);
}

void placeAbove(ui::Window& window, const ui::View& view, bool display) {
    const auto target = rectOnScreen(view);
    if (!target) {
        return;
    }
    Rect frame = centered(window.frame(), *target, 1.0);
    frame.origin.y = target->maxY();
    window.setFrame(frame, display);
}

double titlebarHeight(const ui::Window& window) {
    if ((window.styleMask() & ui::WindowStyle::fullSizeContentView) && window.contentView()) {
        return window.contentView()->frame().size.height - window.contentLayoutRect().size.height;
    }
    const Rect frame = window.frame();
    return frame.size.height - window.contentRectForFrameRect(frame).size.height;
}

void shake(const std::shared_ptr<ui::Window>& window) {
    if (!window) {
        return;
    }
    const Rect frame = window->frame();
    const double amplitude = frame.size.width * 0.03;
    graphics::BezierPath path;
    path.moveTo({frame.minX(), frame.minY()});
    for (int i = 0; i < 3; ++i) {
        path.lineTo({frame.minX() - amplitude, frame.minY()});
        path.lineTo({frame.minX() + amplitude, frame.minY()});
    }
    path.close();
    auto animation = std::make_shared<ui::KeyframeAnimation>();
    animation->setPath(path);
    animation->setDuration(0.4);
    window->setAnimations({{"frameOrigin", animation}});
    window->animator().setFrameOrigin({frame.minX(), frame.minY()});
}

void SheetWindow::cancelOperation(const std::shared_ptr<ui::Object>&) {
    if (auto parent = sheetParent()) {
        parent->endSheet(sharedAs<ui::Window>());
    }
}

void SheetWindow::configureSheet(ui::Window& window) {
    window.setPreventsApplicationTerminationWhenModal(false);
    window.setAppearanceName(ui::Application::shared()->effectiveAppearanceName());
}

template <class W>
std::shared_ptr<WindowController>
WindowController::makeWith(declarative::View rootView, std::optional<std::string> name,
                           declarative::HostingSizingOptions options, Configure configure, bool sheet) {
    auto state = std::make_shared<WindowState>();
    auto hosting = std::make_shared<declarative::HostingController>(rootView.environmentObject(state));
    hosting->setSizingOptions(options);
    constexpr auto standard = ui::WindowStyle::titled | ui::WindowStyle::closable |
                              ui::WindowStyle::miniaturizable | ui::WindowStyle::resizable;
    std::shared_ptr<ui::Window> window = ui::Window::makeWithContentViewController<W>(hosting, standard);
    if (sheet) {
        window->setPreventsApplicationTerminationWhenModal(false);
    }
    if (configure) {
        configure(window);
    }
    auto controller = std::make_shared<WindowController>(window);
    if (name) {
        controller->setWindowFrameAutosaveName(*name);
    }
    state->setParentWindow(window);
    return controller;
}

std::shared_ptr<WindowController> WindowController::make(declarative::View rootView,
                                                         std::optional<std::string> autosaveName,
                                                         declarative::HostingSizingOptions sizingOptions,
                                                         Configure configure) {
    return makeWith<ui::Window>(std::move(rootView), std::move(autosaveName), sizingOptions,
                                std::move(configure), false);
}

std::shared_ptr<WindowController> WindowController::makeSheet(declarative::View rootView,
                                                              std::optional<std::string> autosaveName,
                                                              declarative::HostingSizingOptions sizingOptions,
                                                              Configure configure) {
    return makeWith<SheetWindow>(std::move(rootView), std::move(autosaveName), sizingOptions,
                                 std::move(configure), true);
}

void WindowController::show(const std::shared_ptr<ui::Object>& sender) {
    showWindow(sender);
    core::mainAsync([weak = std::weak_ptr<WindowController>(sharedAs<WindowController>())] {
        if (auto self = weak.lock()) {
            if (auto window = self->window()) {
                centerInVisibleFrame(*window);
            }
        }
    });
}

graphics::LineBreakMode lineBreakMode(TruncationMode mode) {
    switch (mode) {
    case TruncationMode::head:
        return graphics::LineBreakMode::truncatingHead;
    case TruncationMode::tail:
        return graphics::LineBreakMode::truncatingTail;
    case TruncationMode::middle:
        return graphics::LineBreakMode::truncatingMiddle;
    }
    core::fatal("Unknown truncation mode");
}

} // namespace vimbra
