#include "ui/Window.hpp"

#include "core/NotificationCenter.hpp"
#include "core/RunLoop.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Animation.hpp"
#include "ui/Application.hpp"
#include "ui/Cursor.hpp"
#include "ui/Menu.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/Screen.hpp"
#include "ui/ViewController.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

Window::Window(const Rect& contentRect, WindowStyleMask styleMask)
    : frame_(contentRect), backgroundColor_(graphics::Color::windowBackgroundColor()), styleMask_(styleMask) {
}

namespace {

bool hasTitlebarAboveContent(WindowStyleMask mask) {
    return (mask & WindowStyle::titled) && !(mask & WindowStyle::fullSizeContentView);
}

} // namespace

Rect Window::contentRectForFrameRect(const Rect& frame, WindowStyleMask mask) {
    if (!hasTitlebarAboveContent(mask)) {
        return frame;
    }
    return Rect(frame.origin,
                Size{frame.size.width, std::max(0.0, frame.size.height - standardTitlebarHeight)});
}

Rect Window::frameRectForContentRect(const Rect& content, WindowStyleMask mask) {
    if (!hasTitlebarAboveContent(mask)) {
        return content;
    }
    return Rect(content.origin, Size{content.size.width, content.size.height + standardTitlebarHeight});
}

void Window::setStyleMask(WindowStyleMask mask) {
    const Rect oldFrame = frame();
    styleMask_ = mask;
    setFrame(oldFrame);
}

Rect Window::contentLayoutRect() const {
    Rect all({0, 0}, frame_.size);
    if ((styleMask_ & WindowStyle::titled) && (styleMask_ & WindowStyle::fullSizeContentView)) {
        all.size.height = std::max(0.0, all.size.height - standardTitlebarHeight);
    }
    return all;
}

Rect Window::contentRectFor(const std::shared_ptr<ViewController>& controller) {
    if (!controller) {
        return {};
    }
    Size size = controller->preferredContentSize();
    if (size.width <= 0 || size.height <= 0) {
        size = controller->view()->frame().size;
    }
    return Rect({0, 0}, size);
}

void Window::setContentViewController(const std::shared_ptr<ViewController>& controller) {
    if (controller == contentViewController_) {
        return;
    }
    if (contentViewController_ && visible_) {
        contentViewController_->noteAppearance(false);
    }
    contentViewController_ = controller;
    if (!controller) {
        return;
    }
    if (title_.empty() && !controller->title().empty()) {
        setTitle(controller->title());
    }
    setContentView(controller->view());
    if (visible_) {
        controller->noteAppearance(true);
    }
}

void Window::setContentMinSize(const Size& size) {
    contentMinSize_ = size;
    if (backend_) {
        backend_->setContentSizeLimits(contentMinSize_, contentMaxSize_);
    }
}

void Window::setContentMaxSize(const Size& size) {
    contentMaxSize_ = size;
    if (backend_) {
        backend_->setContentSizeLimits(contentMinSize_, contentMaxSize_);
    }
}

Rect Window::convertRectToScreen(const Rect& rect) const {
    return rect.offsetBy(frame_.origin.x, frame_.origin.y);
}

Rect Window::convertRectFromScreen(const Rect& rect) const {
    return rect.offsetBy(-frame_.origin.x, -frame_.origin.y);
}

Point Window::convertPointToScreen(const Point& point) const {
    return {point.x + frame_.origin.x, point.y + frame_.origin.y};
}

std::shared_ptr<Screen> Window::screen() const {
    return backend_ ? backend_->screen() : nullptr;
}

core::RunLoop& Window::animationRunLoop() const {
    return animationRunLoop_ ? *animationRunLoop_ : core::RunLoop::main();
}

WindowAnimator Window::animator() {
    return WindowAnimator(sharedAs<Window>());
}

void Window::notifyFrameChange(bool moved, bool resized) {
    auto& center = core::NotificationCenter::defaultCenter();
    if (moved) {
        center.post(windowDidMoveNotification, this);
    }
    if (resized) {
        center.post(windowDidResizeNotification, this);
    }
}

Window::~Window() {
    if (contentView_) {
        // Views may outlive their window; they must not keep pointing at it.
        contentView_->setWindowAndNotifyDidMove(nullptr);
        contentView_->setNextResponder(nullptr);
    }
}

void Window::setUp() {
    Application::shared()->addWindow(sharedAs<Window>());
    setContentView(std::make_shared<View>(Rect({0, 0}, frame_.size)));
}

void Window::setContentView(const std::shared_ptr<View>& view) {
    if (view == contentView_) {
        return;
    }
    auto self = sharedAs<Window>();
    if (contentView_) {
        auto old = contentView_;
        old->moveToWindow(nullptr);
        old->setNextResponder(nullptr);
        contentView_.reset();
    }
    if (!view) {
        setViewsNeedDisplay(true);
        return;
    }
    view->removeFromSuperview();
    if (auto other = view->window(); other && other.get() != this) {
        other->setContentView(std::make_shared<View>(Rect({0, 0}, other->frame().size)));
    }
    contentView_ = view;
    view->setNextResponder(self);
    view->setFrame(Rect({0, 0}, frame_.size));
    view->moveToWindow(self);
    setViewsNeedDisplay(true);
}

void Window::resizeContent() {
    if (contentView_) {
        contentView_->setFrame(Rect({0, 0}, frame_.size));
    }
    setViewsNeedDisplay(true);
}

void Window::setFrame(const Rect& frame) {
    const Rect content = contentRectForFrameRect(frame);
    const bool resized = content.size != frame_.size;
    const bool moved = content.origin != frame_.origin;
    frame_ = content;
    if (resized) {
        if (backend_) {
            backend_->setContentSize(content.size);
        }
        resizeContent();
    }
    if (moved && backend_) {
        backend_->setFrameOrigin(content.origin);
    }
    if (moved || resized) {
        notifyFrameChange(moved, resized);
    }
}

void Window::setFrame(const Rect& frame, bool display) {
    setFrame(frame);
    if (display) {
        displayIfNeeded();
    }
}

void Window::setFrameOrigin(const Point& origin) {
    // The frame and the content area share their bottom-left corner.
    if (origin == frame_.origin) {
        return;
    }
    frame_.origin = origin;
    if (backend_) {
        backend_->setFrameOrigin(origin);
    }
    notifyFrameChange(true, false);
}

void Window::setContentSize(const Size& size) {
    setFrame(frameRectForContentRect(Rect(frame_.origin, size)));
}

void Window::setTitle(const std::string& title) {
    title_ = title;
    if (backend_) {
        backend_->setTitle(title);
    }
}

void Window::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    setViewsNeedDisplay(true);
}

std::shared_ptr<Responder> Window::firstResponder() const {
    if (auto r = firstResponder_.lock()) {
        return r;
    }
    return std::const_pointer_cast<Window>(sharedAs<Window>());
}

bool Window::makeFirstResponder(const std::shared_ptr<Responder>& responder) {
    // The keyboard focus ring reaches beyond its view's frame: both the old ring and the new one are
    // marked for drawing, whatever the responders mark themselves.
    const auto ringBefore = keyboardFocusView();
    const bool changed = changeFirstResponder(responder);
    announceFirstResponder();
    const auto ringAfter = keyboardFocusView();
    if (ringBefore != ringAfter) {
        if (ringBefore) {
            ringBefore->noteFocusRingMaskChanged();
        }
        if (ringAfter) {
            ringAfter->noteFocusRingMaskChanged();
        }
    }
    return changed;
}

bool Window::changeFirstResponder(const std::shared_ptr<Responder>& responder) {
    auto self = sharedAs<Window>();
    auto current = firstResponder();
    auto wanted = responder ? responder : std::static_pointer_cast<Responder>(self);
    if (current == wanted) {
        return true;
    }
    if (current != self && !current->resignFirstResponder()) {
        return false;
    }
    // The old responder has let go; until the new one accepts, the window holds the role.
    firstResponder_.reset();
    if (auto oldView = std::dynamic_pointer_cast<View>(current)) {
        oldView->setNeedsDisplay();
    }
    if (wanted == self) {
        return true;
    }
    if (auto view = std::dynamic_pointer_cast<View>(wanted);
        view && (view->window() != self || view->isHiddenOrHasHiddenAncestor())) {
        return false;
    }
    if (!wanted->acceptsFirstResponder() || !wanted->becomeFirstResponder()) {
        return false;
    }
    if (!firstResponder_.expired()) {
        return true; // the new responder handed the role on (a text field to its field editor)
    }
    firstResponder_ = wanted;
    if (auto view = std::dynamic_pointer_cast<View>(wanted)) {
        view->setNeedsDisplay();
    }
    return true;
}

bool Window::isKeyWindow() const {
    return Application::shared()->keyWindow().get() == this;
}

void Window::makeKeyWindow() {
    if (closed_) {
        return;
    }
    // A window with a sheet hands the keyboard to its sheet.
    if (auto sheet = attachedSheet(); sheet && !sheet->isClosed()) {
        sheet->makeKeyWindow();
        return;
    }
    if (!canBecomeKeyWindow()) {
        return;
    }
    if (backend_ && backend_->takeFocus()) {
        return; // key once the window system gives the focus
    }
    Application::shared()->setKeyWindow(sharedAs<Window>());
}

void Window::makeKeyAndOrderFront() {
    orderFront();
    makeKeyWindow();
}

void Window::resignKey() {
    auto app = Application::shared();
    if (app->keyWindow().get() == this) {
        app->setKeyWindow(nullptr);
    }
}

void Window::becomeKeyWindow() {
    // Focus rings and key-dependent looks change.
    setViewsNeedDisplay(true);
    if (contentView_) {
        contentView_->setNeedsDisplay();
    }
}

void Window::resignKeyWindow() {
    // The pointer grab goes with key status: the view tracking a press hears that it ended.
    cancelMouseHold();
    cancelPressGestures();
    if (auto tracked = std::exchange(trackingView_, {}).lock()) {
        tracked->mouseTrackingCancelled();
    }
    setViewsNeedDisplay(true);
    if (contentView_) {
        contentView_->setNeedsDisplay();
    }
}

void Window::ensureBackend() {
    if (backend_) {
        return;
    }
    std::vector<std::shared_ptr<Window>> candidates;
    candidates.push_back(sheetParent());
    auto app = Application::shared();
    candidates.push_back(app->keyWindow());
    for (auto& w : app->windows()) {
        candidates.push_back(std::move(w));
    }
    auto self = sharedAs<Window>();
    for (const auto& other : candidates) {
        if (!other || other == self || !other->backend_) {
            continue;
        }
        if (auto made = other->backend_->makeBackend(self)) {
            if (backend_ != made) {
                setBackend(std::move(made));
            }
            return;
        }
    }
}

void Window::orderFront() {
    if (closed_) {
        return;
    }
    ensureBackend();
    const bool appearing = !visible_;
    visible_ = true;
    if (backend_) {
        backend_->orderFront();
    }
    setViewsNeedDisplay(true);
    if (appearing && contentViewController_) {
        contentViewController_->noteAppearance(true);
    }
}

void Window::orderOut() {
    if (closed_ || !visible_) {
        return;
    }
    visible_ = false;
    // A menu opened from the window leaves the screen with it (its pointer grab too), as the pop-ups
    // shown over its views do.
    if (auto tracking = menuTracking_) {
        tracking->cancel();
    }
    announceOrderOut();
    if (backend_) {
        backend_->orderOut();
    }
    resignKey();
    if (contentViewController_) {
        contentViewController_->noteAppearance(false);
    }
}

void Window::beginSheet(const std::shared_ptr<Window>& sheet, std::function<void(ModalResponse)> completion) {
    if (!sheet || sheet.get() == this || closed_ || sheet->isClosed() || sheet->isSheet()) {
        return;
    }
    for (const auto& entry : sheets_) {
        if (entry.sheet == sheet) {
            return;
        }
    }
    sheets_.push_back({sheet, std::move(completion)});
    if (sheets_.size() == 1) {
        startSheet(sheet);
    }
}

void Window::startSheet(const std::shared_ptr<Window>& sheet) {
    sheet->sheetParent_ = sharedAs<Window>();
    // Centred over the parent's content, its content hanging from the top edge of the parent's (a
    // sheet shows no title bar of its own).
    const Rect parent = frame_;
    const Size size = sheet->contentAreaRect().size;
    sheet->setFrameOrigin({std::round(parent.midX() - size.width / 2), parent.maxY() - size.height});
    sheet->ensureBackend();
    if (auto b = sheet->backend()) {
        b->setTransientFor(backend_.get());
    }
    sheet->makeKeyAndOrderFront();
}

std::shared_ptr<Window> Window::attachedSheet() const {
    return sheets_.empty() ? nullptr : sheets_.front().sheet;
}

void Window::endSheet(const std::shared_ptr<Window>& sheet) {
    endSheet(sheet, ModalResponseCode::stop);
}

void Window::endSheet(const std::shared_ptr<Window>& sheet, ModalResponse returnCode) {
    auto it = std::find_if(sheets_.begin(), sheets_.end(), [&](const auto& e) { return e.sheet == sheet; });
    if (!sheet || it == sheets_.end()) {
        return;
    }
    auto self = sharedAs<Window>(); // the completion may release the parent
    const bool wasAttached = it == sheets_.begin();
    SheetEntry entry = std::move(*it);
    sheets_.erase(it);
    if (wasAttached) {
        sheet->sheetParent_.reset();
        sheet->orderOut();
        if (auto b = sheet->backend()) {
            b->setTransientFor(nullptr);
        }
        if (!closed_ && visible_) {
            makeKeyWindow();
        }
    }
    if (entry.completion) {
        entry.completion(returnCode);
    }
    if (wasAttached && !sheets_.empty() && !attachedSheet()->sheetParent_.lock()) {
        startSheet(attachedSheet());
    }
}

void Window::cancelOperation(const std::shared_ptr<Object>& sender) {
    if (auto parent = sheetParent()) {
        parent->endSheet(sharedAs<Window>(), ModalResponseCode::cancel);
        return;
    }
    Responder::cancelOperation(sender);
}

void Window::close() {
    if (closed_) {
        return;
    }
    auto self = sharedAs<Window>(); // stay alive through the hooks
    windowWillClose();
    // A menu opened from the window goes with it (its pointer grab too).
    if (auto tracking = menuTracking_) {
        tracking->cancel();
        menuTracking_.reset();
    }
    // So do the pop-ups shown over its views.
    announceOrderOut();
    core::NotificationCenter::defaultCenter().post(windowWillCloseNotification, this);
    if (auto parent = sheetParent()) {
        parent->endSheet(self, ModalResponseCode::abort);
    }
    for (auto& entry : std::vector(sheets_)) {
        endSheet(entry.sheet, ModalResponseCode::abort);
    }
    if (originPlayer_) {
        originPlayer_->finish();
    }
    if (contentViewController_ && visible_) {
        contentViewController_->noteAppearance(false);
    }
    closed_ = true;
    visible_ = false;
    trackingView_.reset();
    resignKey();
    Application::shared()->removeWindow(*this);
    if (auto backend = std::move(backend_)) {
        backend->close();
    }
}

void Window::performClose() {
    if (!closed_ && windowShouldClose()) {
        close();
    }
}

std::string Window::effectiveAppearanceName() const {
    return appearanceName_.empty() ? Application::shared()->effectiveAppearanceName() : appearanceName_;
}

double Window::backingScaleFactor() const {
    return backend_ ? backend_->backingScaleFactor() : scale_;
}

void Window::setBackingScaleFactor(double scale) {
    if (scale > 0 && scale != scale_) {
        scale_ = scale;
        setViewsNeedDisplay(true);
    }
}

void Window::setBackend(std::shared_ptr<WindowBackend> backend) {
    backend_ = std::move(backend);
    if (backend_) {
        scale_ = backend_->backingScaleFactor();
        const Size size = backend_->size();
        if (size.width > 0 && size.height > 0 && size != frame_.size) {
            frame_.size = size;
            resizeContent();
        }
        backend_->setTitle(title_);
        if (contentMinSize_ != Size{} || contentMaxSize_ != Size{}) {
            backend_->setContentSizeLimits(contentMinSize_, contentMaxSize_);
        }
        if (visible_) {
            backend_->orderFront();
        }
        giveFieldEditorClipboard(false);
        // The new back end has never been drawn, whatever the views think.
        viewsNeedDisplay_ = true;
        wholeWindowDirty_ = true;
        backend_->invalidate();
    }
}

void Window::backendDidResize(const Size& size) {
    if (size == frame_.size) {
        return;
    }
    frame_.size = size;
    resizeContent();
    notifyFrameChange(false, true);
}

void Window::backendDidMove(const Point& origin) {
    if (origin == frame_.origin) {
        return;
    }
    frame_.origin = origin;
    notifyFrameChange(true, false);
}

void Window::backendDidChangeScale(double scale) {
    if (scale > 0 && scale != scale_) {
        scale_ = scale;
        setViewsNeedDisplay(true);
    }
}

void Window::viewWillLeaveWindow(View& view) {
    if (auto r = std::dynamic_pointer_cast<View>(firstResponder_.lock()); r && r->isDescendantOf(view)) {
        firstResponder_.reset();
        announceFirstResponder();
    }
    if (auto t = trackingView_.lock(); t && t->isDescendantOf(view)) {
        trackingView_.reset();
    }
}

void Window::setViewsNeedDisplay(bool flag) {
    if (flag && !viewsNeedDisplay_ && backend_ && !displaying_) {
        backend_->invalidate();
    }
    viewsNeedDisplay_ = flag;
    wholeWindowDirty_ = flag;
    if (!flag) {
        dirtyRects_.clear();
    }
}

namespace {

// The smallest rect on whole device pixels that covers r.
Rect outwardToDevicePixels(const Rect& r, double scale) {
    const Rect s = r.standardized();
    const double x0 = std::floor(s.minX() * scale) / scale;
    const double y0 = std::floor(s.minY() * scale) / scale;
    const double x1 = std::ceil(s.maxX() * scale) / scale;
    const double y1 = std::ceil(s.maxY() * scale) / scale;
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace

void Window::setNeedsDisplayInRect(const Rect& rect) {
    if (rect.isNull() || rect.isEmpty()) {
        return;
    }
    Rect added = outwardToDevicePixels(rect, backingScaleFactor()).intersection(Rect({0, 0}, frame_.size));
    if (added.isNull() || added.isEmpty()) {
        return;
    }
    if (!viewsNeedDisplay_ && backend_ && !displaying_) {
        backend_->invalidate();
    }
    viewsNeedDisplay_ = true;
    if (wholeWindowDirty_) {
        return;
    }
    // Overlapping rects become one, so no pixel is drawn twice in a pass.
    for (auto it = dirtyRects_.begin(); it != dirtyRects_.end();) {
        if (it->contains(added)) {
            return;
        }
        if (it->intersects(added)) {
            added = added.unionWith(*it);
            dirtyRects_.erase(it);
            it = dirtyRects_.begin();
        } else {
            ++it;
        }
    }
    dirtyRects_.push_back(added);
    if (dirtyRects_.size() > maxDirtyRects) {
        Rect all = dirtyRects_.front();
        for (const Rect& r : dirtyRects_) {
            all = all.unionWith(r);
        }
        dirtyRects_.assign(1, all);
    }
}

std::vector<Rect> Window::dirtyRects() const {
    const Rect all({0, 0}, frame_.size);
    if (wholeWindowDirty_ || dirtyRects_.empty()) {
        return {all};
    }
    return dirtyRects_;
}

Rect Window::dirtyRect() const {
    const std::vector<Rect> rects = dirtyRects();
    Rect all = rects.front();
    for (const Rect& r : rects) {
        all = all.unionWith(r);
    }
    return all;
}

void Window::displayIfNeeded() {
    if (viewsNeedDisplay_) {
        display();
    }
}

void Window::drawContent(graphics::GraphicsContext& context) {
    drawContent(context, Rect({0, 0}, frame_.size));
}

void Window::drawContent(graphics::GraphicsContext& context, const Rect& area) {
    graphics::GraphicsContext::CurrentScope current(context);
    graphics::GraphicsContext::StateGuard guard(context);
    const Rect all({0, 0}, frame_.size);
    if (area != all) {
        context.clipToRect(area);
    }
    if (backgroundColor_) {
        context.fillRect(area, backgroundColor_, graphics::CompositingOperation::copy);
    }
    if (contentView_) {
        contentView_->displayTree(context, area);
    }
    drawKeyboardFocusRing(context);
}

void Window::display() {
    if (displaying_ || closed_) {
        return;
    }
    displaying_ = true;
    if (contentView_) {
        contentView_->layoutSubtreeIfNeeded();
    }
    if (backend_) {
        backend_->drawRects(dirtyRects(), [this](graphics::GraphicsContext& context, const Rect& rect) {
            drawContent(context, rect);
        });
    }
    if (contentView_) {
        contentView_->clearNeedsDisplayTree();
    }
    viewsNeedDisplay_ = false;
    wholeWindowDirty_ = false;
    dirtyRects_.clear();
    displaying_ = false;
}

} // namespace ui
