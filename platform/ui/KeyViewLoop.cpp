// The key-view loop of views and windows, and view snapshots.

#include "graphics/Image.hpp"
#include "ui/Control.hpp"
#include "ui/Text.hpp"
#include "ui/View.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace ui {

using graphics::Rect;

void View::setNextKeyView(const std::shared_ptr<View>& view) {
    // The old next view no longer follows this one.
    if (auto old = nextKeyView_.lock(); old && old->previousKeyView_.lock().get() == this) {
        old->previousKeyView_.reset();
    }
    nextKeyView_ = view;
    if (view) {
        view->previousKeyView_ = weak_from_this().expired() ? std::weak_ptr<View>() : sharedAs<View>();
    }
}

bool View::canBecomeKeyView() const {
    return acceptsFirstResponder() && window() && !isHiddenOrHasHiddenAncestor();
}

std::shared_ptr<View> View::nextValidKeyView() const {
    // Walk the loop once; a loop that does not come back here ends at the first repeat.
    std::unordered_set<const View*> seen{this};
    for (auto v = nextKeyView(); v && seen.insert(v.get()).second; v = v->nextKeyView()) {
        if (v->canBecomeKeyView()) {
            return v;
        }
    }
    return nullptr;
}

std::shared_ptr<View> View::previousValidKeyView() const {
    std::unordered_set<const View*> seen{this};
    for (auto v = previousKeyView(); v && seen.insert(v.get()).second; v = v->previousKeyView()) {
        if (v->canBecomeKeyView()) {
            return v;
        }
    }
    return nullptr;
}

std::shared_ptr<graphics::ImageRep> View::bitmapImageRepForCachingDisplay(const Rect& rect) const {
    const auto w = window();
    const double scale = w ? w->backingScaleFactor() : 1.0;
    const int wide = static_cast<int>(std::ceil(rect.width() * scale));
    const int high = static_cast<int>(std::ceil(rect.height() * scale));
    if (rect.isNull() || wide <= 0 || high <= 0) {
        return nullptr;
    }
    return graphics::ImageRep::make(wide, high, rect.size);
}

void View::cacheDisplay(const Rect& rect, graphics::ImageRep& rep) {
    layoutSubtreeIfNeeded();
    // Start from transparent pixels: the snapshot holds what the views draw.
    rep.draw(
        [&](graphics::GraphicsContext& context) {
            // Context space is rect with y up; move it into this view's space, then into the superview's
            // space that displayTree draws in.
            if (isFlipped()) {
                context.translate(0, rect.height());
                context.scale(1, -1);
            }
            context.translate(-rect.x(), -rect.y());
            const auto toSuperview = transformToSuperview();
            context.concat(toSuperview.inverted());
            displayTree(context, toSuperview.apply(rect));
        },
        true);
}

namespace {

// The view that keyboard focus is on: the field being edited while its field editor is first
// responder, else the first responder when it is a view.
std::shared_ptr<View> focusedView(const Window& window) {
    auto first = window.firstResponder();
    if (auto text = std::dynamic_pointer_cast<Text>(first); text && text->isFieldEditor()) {
        if (auto field = std::dynamic_pointer_cast<View>(text->delegate())) {
            return field;
        }
    }
    return std::dynamic_pointer_cast<View>(first);
}

bool hasKeyViewLoop(const View& view) {
    if (view.nextKeyView()) {
        return true;
    }
    return std::any_of(view.subviews().begin(), view.subviews().end(),
                       [](const auto& sub) { return hasKeyViewLoop(*sub); });
}

void collectKeyViewCandidates(const std::shared_ptr<View>& view, std::vector<std::shared_ptr<View>>& out) {
    for (const auto& sub : view->subviews()) {
        if (auto text = std::dynamic_pointer_cast<Text>(sub); text && text->isFieldEditor()) {
            continue; // the field editor stands in for its field, which is in the loop already
        }
        if (sub->acceptsFirstResponder() || std::dynamic_pointer_cast<Control>(sub)) {
            out.push_back(sub);
        }
        collectKeyViewCandidates(sub, out);
    }
}

} // namespace

void Window::recalculateKeyViewLoop() {
    if (!contentView_) {
        return;
    }
    std::vector<std::shared_ptr<View>> views;
    collectKeyViewCandidates(contentView_, views);
    // Top to bottom, then left to right, by each view's top-left corner in window coordinates (y up).
    std::stable_sort(views.begin(), views.end(), [](const auto& a, const auto& b) {
        const Rect ra = a->convertRectToView(a->bounds(), nullptr);
        const Rect rb = b->convertRectToView(b->bounds(), nullptr);
        if (std::abs(ra.maxY() - rb.maxY()) >= 1) {
            return ra.maxY() > rb.maxY();
        }
        return ra.minX() < rb.minX();
    });
    for (std::size_t i = 0; i < views.size(); ++i) {
        views[i]->setNextKeyView(views[(i + 1) % views.size()]);
    }
}

void Window::selectKeyViewFollowingView(const std::shared_ptr<View>& view) {
    if (!view) {
        return;
    }
    ensureKeyViewLoop();
    if (auto next = view->nextValidKeyView()) {
        makeFirstResponder(next);
    } else if (view->canBecomeKeyView()) {
        makeFirstResponder(view); // alone in its loop: focus stays (and a field starts a new session)
    }
}

void Window::selectKeyViewPrecedingView(const std::shared_ptr<View>& view) {
    if (!view) {
        return;
    }
    ensureKeyViewLoop();
    if (auto previous = view->previousValidKeyView()) {
        makeFirstResponder(previous);
    } else if (view->canBecomeKeyView()) {
        makeFirstResponder(view);
    }
}

void Window::ensureKeyViewLoop() {
    if (autorecalculatesKeyViewLoop_ || !contentView_ || !hasKeyViewLoop(*contentView_)) {
        recalculateKeyViewLoop();
    }
}

void Window::selectNextKeyView(const std::shared_ptr<Object>&) {
    if (auto focused = focusedView(*this)) {
        selectKeyViewFollowingView(focused);
        return;
    }
    // Nothing has focus: the initial first responder, else the first valid view of the loop.
    ensureKeyViewLoop();
    auto start = initialFirstResponder();
    if (start && start->canBecomeKeyView()) {
        makeFirstResponder(start);
        return;
    }
    std::vector<std::shared_ptr<View>> views;
    if (contentView_) {
        collectKeyViewCandidates(contentView_, views);
    }
    for (const auto& v : views) {
        if (v->canBecomeKeyView()) {
            makeFirstResponder(v);
            return;
        }
    }
}

void Window::selectPreviousKeyView(const std::shared_ptr<Object>& sender) {
    if (auto focused = focusedView(*this)) {
        selectKeyViewPrecedingView(focused);
        return;
    }
    selectNextKeyView(sender);
}

void Window::keyDown(const Event& event) {
    const auto key = event.specialKey();
    if (key == SpecialKey::backTab || (key == SpecialKey::tab && (event.modifierFlags & Modifier::shift))) {
        selectPreviousKeyView(nullptr);
        return;
    }
    if (key == SpecialKey::tab) {
        selectNextKeyView(nullptr);
        return;
    }
    Responder::keyDown(event);
}

std::shared_ptr<Text> Window::fieldEditor(bool createFlag, const std::shared_ptr<Object>&) {
    if (!fieldEditor_ && createFlag) {
        fieldEditor_ = std::make_shared<Text>();
        fieldEditor_->setFieldEditor(true);
        giveFieldEditorClipboard(true);
    }
    return fieldEditor_;
}

void Window::giveFieldEditorClipboard(bool replace) {
    // An editor that was given a clipboard of its own (a test's, a field's) keeps it.
    if (!fieldEditor_ || !backend_) {
        return;
    }
    const auto& current = fieldEditor_->clipboardAccess();
    if (replace || (!current.read && !current.write && !current.request)) {
        fieldEditor_->setClipboardAccess(backend_->clipboardAccess());
    }
}

void Window::endEditingFor(const std::shared_ptr<Object>&) {
    if (!fieldEditor_) {
        return;
    }
    if (firstResponder() == fieldEditor_) {
        if (makeFirstResponder(nullptr)) {
            return;
        }
    }
    fieldEditor_->abandonEditing();
}

} // namespace ui
