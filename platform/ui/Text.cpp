#include "ui/Text.hpp"

#include "core/MainQueue.hpp"
#include "core/ScopeGuards.hpp"
#include "graphics/AttributedString.hpp"
#include "ui/TextLineLayout.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <memory>

namespace ui {

using graphics::Point;
using graphics::Rect;

namespace {

// The word of the character that starts at a byte offset (the last character at the end of the text):
// the run of letters and digits around it (any non-ASCII byte counts as one), else that character alone.
std::pair<std::size_t, std::size_t> wordRange(const std::string& text, std::size_t index) {
    const auto isWord = [&](std::size_t i) {
        const auto c = static_cast<unsigned char>(text[i]);
        return c >= 0x80 || std::isalnum(c) || c == '_';
    };
    if (text.empty()) {
        return {0, 0};
    }
    index = index < text.size() ? index : previousCharacterBoundary(text, text.size());
    if (!isWord(index)) {
        return {index, nextCharacterBoundary(text, index)};
    }
    std::size_t start = index;
    std::size_t end = index;
    while (start > 0 && isWord(start - 1)) {
        --start;
    }
    while (end < text.size() && isWord(end)) {
        ++end;
    }
    return {start, end};
}

} // namespace

Text::Text(const Rect& frame) : View(frame), font_(graphics::Font::systemFont(13)) {}

TextDelegate* Text::textDelegate() const {
    return dynamic_cast<TextDelegate*>(delegate_.lock().get());
}

void Text::setString(const std::string& text) {
    model_.setText(text);
    ++textRevision_;
    undoStack_.clear();
    redoStack_.clear();
    typingRun_ = false;
    scrollX_ = 0;
    setNeedsDisplay();
}

void Text::setSelectedRange(std::size_t start, std::size_t length) {
    model_.setSelection(start, start + length);
    setNeedsDisplay();
}

void Text::selectAll(const std::shared_ptr<Object>&) {
    model_.selectAll();
    setNeedsDisplay();
}

void Text::insertText(const std::string& text) {
    if (!editable_) {
        return;
    }
    const std::size_t anchor = model_.anchor();
    const std::size_t caret = model_.caret();
    model_.insertText(text);
    recordEdit(anchor, caret, false);
    didEdit();
}

void Text::deleteBackward() {
    if (!editable_) {
        return;
    }
    const std::size_t anchor = model_.anchor();
    const std::size_t caret = model_.caret();
    model_.deleteBackward();
    recordEdit(anchor, caret, false);
    didEdit();
}

void Text::recordEdit(std::size_t anchor, std::size_t caret, bool typing) {
    redoStack_.clear();
    const auto& replacement = model_.lastReplacement();
    // Typing that goes on where the last typed character went joins that edit.
    const bool joins = typing && typingRun_ && !undoStack_.empty() && anchor == caret &&
                       replacement.removed.empty() &&
                       undoStack_.back().start + undoStack_.back().inserted.size() == replacement.start;
    if (joins) {
        undoStack_.back().inserted += replacement.inserted;
    } else {
        constexpr std::size_t limit = 100;
        if (undoStack_.size() == limit) {
            undoStack_.erase(undoStack_.begin());
        }
        undoStack_.push_back({replacement.start, replacement.removed, replacement.inserted, anchor, caret});
    }
    typingRun_ = typing;
}

bool Text::undo() {
    if (undoStack_.empty() || !editable_) {
        return false;
    }
    Edit edit = std::move(undoStack_.back());
    undoStack_.pop_back();
    model_.replace(edit.start, edit.inserted.size(), edit.removed);
    model_.setSelection(edit.anchor, edit.caret);
    redoStack_.push_back(std::move(edit));
    typingRun_ = false;
    didEdit();
    return true;
}

bool Text::redo() {
    if (redoStack_.empty() || !editable_) {
        return false;
    }
    Edit edit = std::move(redoStack_.back());
    redoStack_.pop_back();
    model_.replace(edit.start, edit.removed.size(), edit.inserted);
    undoStack_.push_back(std::move(edit));
    typingRun_ = false;
    didEdit();
    return true;
}

bool Text::isCommandKey(const Event& event, char letter) {
    if (!(event.modifierFlags & (Modifier::control | Modifier::command))) {
        return false;
    }
    const std::string& keys =
        event.charactersIgnoringModifiers.empty() ? event.characters : event.charactersIgnoringModifiers;
    if (keys.empty()) {
        return false;
    }
    const auto c = static_cast<unsigned char>(keys[0]);
    return std::tolower(c) == letter || c == static_cast<unsigned char>(letter - 'a' + 1);
}

void Text::didEdit() {
    auto self = sharedAs<Text>(); // the delegate may tear the session down
    ++textRevision_;
    setNeedsDisplay();
    if (auto* d = textDelegate()) {
        if (!beganEditing_) {
            beganEditing_ = true;
            d->textDidBeginEditing(*this);
        }
        d->textDidChange(*this);
    }
}

void Text::setFont(graphics::FontRef font) {
    font_ = font ? std::move(font) : graphics::Font::systemFont(13);
    setNeedsDisplay();
}

void Text::setTextColor(graphics::ColorRef color) {
    textColor_ = std::move(color);
    setNeedsDisplay();
}

void Text::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    setNeedsDisplay();
}

void Text::setDrawsBackground(bool flag) {
    drawsBackground_ = flag;
    setNeedsDisplay();
}

graphics::AttributedString Text::attributedString(const std::string& text) const {
    graphics::TextAttributes attributes;
    attributes.font = font_;
    attributes.foregroundColor = textColor_ ? textColor_ : graphics::Color::textColor();
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::clipping;
    return {text, attributes};
}

namespace {

// How long bringing the layout to an edit may measure at once, and how long each later step measures on.
constexpr std::chrono::milliseconds editMeasuring{4};
constexpr std::chrono::milliseconds stepMeasuring{8};

} // namespace

const Text::LineLayout& Text::lineLayout() const {
    const auto deadline = std::chrono::steady_clock::now() + editMeasuring;
    if (!layout_ || layout_->font != font_) {
        pieceWidths_.clear();
        layout_ = std::make_shared<LineLayout>(
            [this](const std::string& text) { return attributedString(text); }, font_);
        layout_->update(model_.text(), pieceWidths_, deadline);
        layoutRevision_ = textRevision_;
    } else if (layoutRevision_ != textRevision_) {
        if (layout_->text() != model_.text()) {
            layout_->update(model_.text(), pieceWidths_, deadline);
        }
        layoutRevision_ = textRevision_;
    }
    layout_->lookAround(model_.caret());
    measureLater();
    return *layout_;
}

void Text::measureLater() const {
    if (measuring_ || layout_->complete()) {
        return;
    }
    std::weak_ptr<const Object> weak = weak_from_this();
    if (weak.expired()) {
        // Not owned by a shared pointer, so no later step could find it: measured whole now.
        while (!layout_->complete()) {
            layout_->measureOn(pieceWidths_, std::chrono::steady_clock::time_point::max());
        }
        return;
    }
    measuring_ = true;
    core::mainAsync([weak] {
        if (auto self = std::const_pointer_cast<Object>(weak.lock())) {
            static_cast<Text&>(*self).measureStep();
        }
    });
}

void Text::measureStep() {
    auto self = sharedAs<Text>();
    const LineLayout& layout = lineLayout(); // queues no step while this one runs
    if (layout.complete()) {
        measuring_ = false;
        return;
    }
    // The caret keeps its place in the view while the x before it goes from estimated to measured; the
    // view is drawn again when what it shows changed.
    const auto shown = [&] {
        std::vector<LineLayout::Run> runs;
        const double x0 = textOriginX();
        for (auto run : layout.visibleRuns(bounds().minX() - x0, bounds().maxX() - x0)) {
            run.x += x0;
            runs.push_back(run);
        }
        return runs;
    };
    const auto before = shown();
    const double caretX = layout.xOfIndex(model_.caret());
    layout_->measureOn(pieceWidths_, std::chrono::steady_clock::now() + stepMeasuring);
    layout_->lookAround(model_.caret());
    if (layout.width() > bounds().width()) {
        scrollX_ = std::max(0.0, scrollX_ + layout.xOfIndex(model_.caret()) - caretX);
    }
    const auto after = shown();
    const bool same = std::equal(
        before.begin(), before.end(), after.begin(), after.end(), [](const auto& a, const auto& b) {
            return a.start == b.start && a.end == b.end && std::abs(a.x - b.x) < 1e-6;
        });
    if (!same || layout.complete()) {
        setNeedsDisplay();
    }
    measuring_ = false;
    measureLater();
}

double Text::textOriginX() const {
    const double width = lineLayout().width();
    const double room = bounds().width() - width;
    if (room > 0) {
        switch (alignment_) {
        case graphics::TextAlignment::center:
            return bounds().minX() + room / 2;
        case graphics::TextAlignment::right:
            return bounds().minX() + room;
        default:
            break;
        }
    }
    return bounds().minX() - scrollX_;
}

double Text::caretOffset(std::size_t index) const {
    return textOriginX() + lineLayout().xOfIndex(index);
}

std::size_t Text::characterIndexForX(double x) const {
    return lineLayout().indexOfX(x - textOriginX());
}

void Text::keyDown(const Event& event) {
    auto self = sharedAs<Text>();
    if (!isSelectable()) {
        View::keyDown(event);
        return;
    }
    if (auto* d = textDelegate(); d && d->textShouldHandleKey(*this, event)) {
        return;
    }
    if (isCommandKey(event, 'z')) {
        if (event.modifierFlags & Modifier::shift) {
            redo();
        } else {
            undo();
        }
        return;
    }
    if (clipboard_.request && isCommandKey(event, 'v')) {
        if (editable_) {
            requestPaste();
        }
        return;
    }
    // Command combinations go by their key, not by the control character X makes of them.
    const bool command = event.modifierFlags & (Modifier::control | Modifier::command);
    const std::string& characters = command && !event.charactersIgnoringModifiers.empty()
                                        ? event.charactersIgnoringModifiers
                                        : event.characters;
    // Control with a letter gives a control character that may look like a special key (Control-C is
    // Enter's character): the letter decides.
    const bool controlLetter = command && !event.charactersIgnoringModifiers.empty() &&
                               std::isalpha(static_cast<unsigned char>(event.charactersIgnoringModifiers[0]));
    const auto special = controlLetter ? std::nullopt : event.specialKey();
    const bool typing = !command && !special;
    const std::size_t anchor = model_.anchor();
    const std::size_t caret = model_.caret();
    const auto result = model_.handleKey(characters, special, event.modifierFlags, clipboard_);
    switch (result) {
    case TextKeyResult::edited:
        if (!editable_) {
            const auto& replacement = model_.lastReplacement();
            model_.replace(replacement.start, replacement.inserted.size(), replacement.removed);
            model_.setSelection(anchor, caret);
            return;
        }
        recordEdit(anchor, caret, typing);
        didEdit();
        break;
    case TextKeyResult::moved:
        typingRun_ = false;
        setNeedsDisplay();
        break;
    case TextKeyResult::submit:
        if (fieldEditor_) {
            endEditing(TextMovement::returnKey);
        } else {
            View::keyDown(event);
        }
        return;
    case TextKeyResult::tab:
    case TextKeyResult::backTab:
        if (fieldEditor_) {
            endEditing(result == TextKeyResult::tab ? TextMovement::tab : TextMovement::backtab);
        } else {
            View::keyDown(event);
        }
        return;
    case TextKeyResult::ignored:
        View::keyDown(event);
        return;
    }
    scrollCaretIntoView();
}

void Text::scrollCaretIntoView() {
    const double width = bounds().width();
    const double caretX = lineLayout().xOfIndex(model_.caret());
    if (caretX - scrollX_ > width - 2) {
        scrollX_ = caretX - width + 2;
    } else if (caretX - scrollX_ < 0) {
        scrollX_ = caretX;
    }
}

void Text::requestPaste() {
    const std::uint64_t request = ++pasteRequest_;
    std::weak_ptr<Text> weak = sharedAs<Text>();
    clipboard_.request([weak, request](std::optional<std::string> text) {
        auto self = weak.lock();
        if (!self || !text || self->pasteRequest_ != request) {
            return;
        }
        // A session that ended meanwhile (the field lost the focus, its window closed) drops the text.
        auto w = self->window();
        if (!w || w->isClosed() || w->firstResponder() != self) {
            return;
        }
        self->insertText(*text);
        self->scrollCaretIntoView();
    });
}

void Text::endEditing(TextMovement movement) {
    auto w = window();
    auto field = std::dynamic_pointer_cast<View>(delegate());
    if (!w || !field) {
        return;
    }
    movement_ = movement;
    const core::OnExit reset([this] { movement_ = TextMovement::other; });
    switch (movement) {
    case TextMovement::tab:
        w->selectKeyViewFollowingView(field);
        break;
    case TextMovement::backtab:
        w->selectKeyViewPrecedingView(field);
        break;
    default:
        // The field takes focus back: this text lets go (reporting the movement), and the field starts
        // a new session with its text selected.
        w->makeFirstResponder(field);
        break;
    }
}

bool Text::becomeFirstResponder() {
    ++pasteRequest_; // a paste asked for in an earlier session never lands in this one
    return View::becomeFirstResponder();
}

bool Text::resignFirstResponder() {
    if (ending_) {
        return true;
    }
    auto self = sharedAs<Text>();
    auto* d = textDelegate();
    if (d && !d->textShouldEndEditing(*this)) {
        return false;
    }
    ending_ = true;
    const core::OnExit ended([this] {
        ending_ = false;
        beganEditing_ = false;
        setNeedsDisplay();
    });
    if (d) {
        d->textDidEndEditing(*this, movement_);
    }
    return true;
}

void Text::abandonEditing() {
    if (ending_) {
        return;
    }
    auto self = sharedAs<Text>();
    ending_ = true;
    const core::OnExit ended([this] {
        ending_ = false;
        beganEditing_ = false;
    });
    if (auto* d = textDelegate()) {
        d->textDidEndEditing(*this, TextMovement::cancel);
    }
}

void Text::viewWillMoveToWindow(const std::shared_ptr<Window>& newWindow) {
    // A field editor carried out of its window with its field ends the session quietly.
    if (!newWindow && fieldEditor_ && !ending_ && window() && delegate()) {
        abandonEditing();
    }
}

void Text::mouseDown(const Event& event) {
    if (!isSelectable()) {
        View::mouseDown(event);
        return;
    }
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    const std::size_t index = characterIndexForX(p.x);
    typingRun_ = false;
    if (event.clickCount >= 3) {
        model_.selectAll();
    } else if (event.clickCount == 2) {
        // The character under the pointer, not the boundary nearest to it.
        std::size_t under = index;
        if (under > 0 && (under == model_.text().size() || caretOffset(under) > p.x)) {
            under = previousCharacterBoundary(model_.text(), under);
        }
        const auto [start, end] = wordRange(model_.text(), under);
        model_.setSelection(start, end);
    } else if (event.modifierFlags & Modifier::shift) {
        model_.setSelection(model_.anchor(), index);
    } else {
        model_.setSelection(index, index);
    }
    setNeedsDisplay();
}

void Text::mouseDragged(const Event& event) {
    if (!isSelectable()) {
        return;
    }
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    model_.setSelection(model_.anchor(), characterIndexForX(p.x));
    setNeedsDisplay();
}

void Text::draw(const Rect&) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    const Rect box = bounds();
    if (drawsBackground_ && backgroundColor_) {
        context->fillRect(box, backgroundColor_);
    }
    const LineLayout& layout = lineLayout();
    const double x0 = textOriginX();
    const double y0 = box.minY() + std::floor((box.height() - layout.height()) / 2);
    const auto [lo, hi] = model_.selectedRange();
    auto w = window();
    const bool focused = w && w->firstResponder().get() == this;
    if (lo != hi) {
        const double a = x0 + layout.xOfIndex(lo);
        const double b = x0 + layout.xOfIndex(hi);
        auto color = selectedTextAttributes_.backgroundColor ? selectedTextAttributes_.backgroundColor
                                                             : graphics::Color::selectedTextBackgroundColor();
        context->fillRect(Rect(a, y0, b - a, layout.height()), color);
    }
    const std::string& string = model_.text();
    if (string.size() > LineLayout::longText) {
        // Only the part in view.
        for (const auto& run : layout.visibleRuns(box.minX() - x0, box.maxX() - x0)) {
            attributedString(string.substr(run.start, run.end - run.start)).drawAt({x0 + run.x, y0});
        }
    } else if (!string.empty()) {
        attributedString(string).drawAt({x0, y0});
    }
    if (focused && lo == hi && editable_) {
        const double x = std::round(x0 + layout.xOfIndex(model_.caret()));
        auto color = insertionPointColor_ ? insertionPointColor_
                     : textColor_         ? textColor_
                                          : graphics::Color::textColor();
        context->fillRect(Rect(x, y0, 1, layout.height()), color);
    }
}

} // namespace ui
