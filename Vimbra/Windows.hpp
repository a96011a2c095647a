#pragma once

// Windows and view controllers built in code: view and view-controller bases, window placement on
// the screen and next to views, the title-bar height, a horizontal shake, window controllers that
// host a declarative root with a small observable window state, the sheet window, and the line-break
// mode of a truncation mode.

#include "core/Observation.hpp"
#include "declarative/HostingController.hpp"
#include "graphics/AttributedString.hpp"
#include "ui/View.hpp"
#include "ui/ViewController.hpp"
#include "ui/Window.hpp"
#include "ui/WindowController.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace vimbra {

// A view made in code: zero frame, no autoresizing-mask constraints, then setup().
class XiblessView : public ui::View {
public:
    XiblessView();

    // Constructs V with its no-argument constructor and runs its setup() (which a constructor cannot
    // dispatch to a subclass).
    template <class V = XiblessView> static std::shared_ptr<V> make() {
        auto view = std::make_shared<V>();
        view->setup();
        return view;
    }

    // An overridable hook; the base does nothing.
    virtual void setup() {}

    // Turns off autoresizing-mask constraints and returns the view.
    template <class Self = XiblessView> std::shared_ptr<Self> withAutoLayout() {
        setTranslatesAutoresizingMaskIntoConstraints(false);
        return sharedAs<Self>();
    }
};

// A view controller whose view is a RootView made in code.
template <class RootView> class XiblessVC : public ui::ViewController {
    static_assert(std::is_base_of_v<ui::View, RootView>, "the root view must be a view");

public:
    XiblessVC() = default;

    void loadView() override {
        if constexpr (std::is_base_of_v<XiblessView, RootView>) {
            setView(XiblessView::make<RootView>());
        } else {
            setView(std::make_shared<RootView>());
        }
    }

    std::shared_ptr<RootView> customView() { return std::static_pointer_cast<RootView>(view()); }
};

// Window placement. "Visible frame" is the window's screen's; without a screen nothing happens.
void centerInVisibleFrame(ui::Window& window);
void placeAtTopOfVisibleFrame(ui::Window& window, double inset);
// Centres the window over the view's bounds on screen (whole points) and applies the frame. A view
// outside any window leaves the window where it is.
void center(ui::Window& window, const ui::View& over, bool display);
// As center(), with the window's bottom edge on the view's top edge.
void placeAbove(ui::Window& window, const ui::View& view, bool display);
double titlebarHeight(const ui::Window& window);
// Three shakes of 3 % of the frame width, left first, in 0.4 seconds, ending where it started.
void shake(const std::shared_ptr<ui::Window>& window);

// The window a controller's declarative root can read from its environment. Setting the window it
// already holds (the same object, or none again) notifies nobody.
class WindowState {
public:
    WindowState() = default;

    std::shared_ptr<ui::Window> parentWindow() const { return parentWindow_.get().lock(); }
    void setParentWindow(const std::shared_ptr<ui::Window>& window) { parentWindow_.set(window); }
    [[nodiscard]] core::ObservationToken observeParentWindow(std::function<void()> onChange) {
        return parentWindow_.observe([onChange = std::move(onChange)](const auto&) { onChange(); });
    }

private:
    struct SameObject {
        static bool same(const std::weak_ptr<ui::Window>& a, const std::weak_ptr<ui::Window>& b) {
            return a.lock() == b.lock();
        }
    };
    core::Observed<std::weak_ptr<ui::Window>, SameObject> parentWindow_;
};

// A window for sheets: it can always become key, and Escape ends it when it is attached as a sheet.
class SheetWindow : public ui::Window {
public:
    using ui::Window::make;
    explicit SheetWindow(const graphics::Rect& contentRect,
                         ui::WindowStyleMask styleMask = ui::WindowStyle::borderless)
        : ui::Window(contentRect, styleMask) {}

    // A sheet of the given content size at (0, 0): resizable with a full-size content view, never
    // blocking termination while modal, in the application's appearance.
    template <class W = SheetWindow> static std::shared_ptr<W> make(const graphics::Size& contentSize) {
        auto window = ui::Window::make<W>(graphics::Rect({0, 0}, contentSize), sheetStyleMask);
        configureSheet(*window);
        return window;
    }
    static constexpr ui::WindowStyleMask sheetStyleMask =
        ui::WindowStyle::resizable | ui::WindowStyle::fullSizeContentView;

    bool canBecomeKeyWindow() const override { return true; }
    void cancelOperation(const std::shared_ptr<ui::Object>& sender) override;

private:
    static void configureSheet(ui::Window& window);
};

// A window controller whose window hosts a declarative root with a WindowState in its environment.
class WindowController : public ui::WindowController {
public:
    using Configure = std::function<void(const std::shared_ptr<ui::Window>&)>;
    using ui::WindowController::WindowController;

    static std::shared_ptr<WindowController>
    make(declarative::View rootView, std::optional<std::string> autosaveName = std::nullopt,
         declarative::HostingSizingOptions sizingOptions = declarative::HostingSizingOption::standardBounds,
         Configure configure = {});
    // The same in a SheetWindow.
    static std::shared_ptr<WindowController> makeSheet(
        declarative::View rootView, std::optional<std::string> autosaveName = std::nullopt,
        declarative::HostingSizingOptions sizingOptions = declarative::HostingSizingOption::standardBounds,
        Configure configure = {});

    // Shows the window, then on a later main-queue turn centres it in its screen's visible frame.
    virtual void show(const std::shared_ptr<ui::Object>& sender);

private:
    template <class W>
    static std::shared_ptr<WindowController>
    makeWith(declarative::View rootView, std::optional<std::string> name,
             declarative::HostingSizingOptions options, Configure configure, bool sheet);
};

// The truncation modes of declarative text (the environment's).
using TruncationMode = declarative::TruncationMode;
// head → truncatingHead (3), tail → truncatingTail (4), middle → truncatingMiddle (5); anything else
// stops the process with "Unknown truncation mode".
graphics::LineBreakMode lineBreakMode(TruncationMode mode);

} // namespace vimbra
