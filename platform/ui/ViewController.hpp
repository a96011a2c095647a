#pragma once

// View controllers: an object that makes its view on first use (loadView, then viewDidLoad) and hears
// when the view appears in a shown window and disappears from it.

#include "graphics/Geometry.hpp"
#include "ui/Responder.hpp"

#include <memory>
#include <string>

namespace ui {

class View;
class Window;

class ViewController : public Responder {
public:
    ViewController() = default;
    ~ViewController() override;

    // The view, made by loadView() (and followed by viewDidLoad()) the first time it is asked for.
    std::shared_ptr<View> view();
    // Installs a view; a controller given its view never loads one.
    void setView(std::shared_ptr<View> view);
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadViewIfNeeded();

    // Makes the view and installs it with setView. The base makes an empty view of the preferred
    // content size.
    virtual void loadView();
    virtual void viewDidLoad() {}

    // Appearance, called by the window whose content view controller this is.
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}
    bool isViewAppeared() const { return appeared_; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    // The size the controller's view would like (zero: none); a window made for the controller uses it.
    const graphics::Size& preferredContentSize() const { return preferredContentSize_; }
    virtual void setPreferredContentSize(const graphics::Size& size) { preferredContentSize_ = size; }

    // The window the view is in, if any.
    std::shared_ptr<Window> window() const;

private:
    friend class Window;
    void noteAppearance(bool appearing);

    std::shared_ptr<View> view_;
    std::string title_;
    graphics::Size preferredContentSize_;
    bool loading_ = false;
    bool appeared_ = false;
};

} // namespace ui
