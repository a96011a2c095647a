#include "ui/Text.hpp"

#include "graphics/AttributedString.hpp"
#include "graphics/PangoSupport.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>

namespace ui {

using graphics::Point;
using graphics::Rect;

// Logical x positions of a line of text, measured with Pango. A long line is measured in pieces (each up
// to and including a space, at most 64 bytes) whose widths are kept with their x, so an edit measures only
// the pieces it changed (and those the text caches by content): the pieces after it keep their widths and
// move by the change. The pieces are drawn where they were measured. One Pango context serves every
// measurement of the layout's font.
class Text::LineLayout {
public:
    using Widths = std::unordered_map<std::string, double>;
    using Attributed = std::function<graphics::AttributedString(const std::string&)>;

    LineLayout(Attributed attributed, graphics::FontRef fontRef)
        : font(std::move(fontRef)), attributed_(std::move(attributed)),
          context_(graphics::detail::createPangoContext()) {}
    ~LineLayout() { g_object_unref(context_); }
    LineLayout(const LineLayout&) = delete;
    LineLayout& operator=(const LineLayout&) = delete;

    const std::string& text() const { return text_; }
    // Brings the layout to the text.
    void update(const std::string& string, Widths& widths) {
        if (string.size() <= longText || text_.size() <= longText || pieces_.empty()) {
            text_ = string;
            pieces_.clear();
            shaped_.reset();
            if (text_.size() <= longText) {
                pieces_.push_back({0, text_.size(), 0, 0});
                width_ = pieces_[0].width = graphics::detail::layoutSize(shape(0)).width;
            } else {
                width_ = split(0, 0, pieces_, widths, [](std::size_t) { return false; });
            }
            height_ = graphics::detail::layoutSize(shape(0)).height;
            return;
        }
        // The bytes both texts start and end with stay as they are; pieces that end before the first
        // changed byte keep their place, and splitting resumes from there until it meets an old piece
        // boundary in the unchanged end, from which the old pieces follow, moved.
        const std::size_t prefix = commonPrefix(text_, string);
        const std::size_t suffix = commonSuffix(text_, string, prefix);
        const std::size_t changedEnd = string.size() - suffix;
        const auto delta =
            static_cast<std::ptrdiff_t>(string.size()) - static_cast<std::ptrdiff_t>(text_.size());
        const std::size_t first = pieceOfIndex(prefix > 0 ? prefix - 1 : 0);
        std::size_t resume = pieces_.size();
        std::vector<Placed> fresh;
        text_ = string;
        const double end = split(pieces_[first].start, pieces_[first].x, fresh, widths, [&](std::size_t at) {
            if (at < changedEnd) {
                return false;
            }
            const std::size_t old = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) - delta);
            const auto found =
                std::lower_bound(pieces_.begin() + static_cast<std::ptrdiff_t>(first), pieces_.end(), old,
                                 [](const Placed& p, std::size_t s) { return p.start < s; });
            if (found == pieces_.end() || found->start != old) {
                return false;
            }
            resume = static_cast<std::size_t>(found - pieces_.begin());
            return true;
        });
        const double shift = resume < pieces_.size() ? end - pieces_[resume].x : 0;
        for (std::size_t p = resume; p < pieces_.size(); ++p) {
            pieces_[p].start =
                static_cast<std::size_t>(static_cast<std::ptrdiff_t>(pieces_[p].start) + delta);
            pieces_[p].x += shift;
        }
        const auto from = pieces_.begin() + static_cast<std::ptrdiff_t>(first);
        const auto to = pieces_.begin() + static_cast<std::ptrdiff_t>(resume);
        if (fresh.size() <= static_cast<std::size_t>(to - from)) {
            pieces_.erase(std::copy(fresh.begin(), fresh.end(), from), to);
        } else {
            std::copy(fresh.begin(), fresh.begin() + (to - from), from);
            pieces_.insert(to, fresh.begin() + (to - from), fresh.end());
        }
        width_ = pieces_.back().x + pieces_.back().width;
        shaped_.reset();
    }

    double width() const { return width_; }
    double height() const { return height_; }
    double xOfIndex(std::size_t index) const {
        const std::size_t p = pieceOfIndex(index);
        PangoRectangle pos;
        pango_layout_index_to_pos(shape(p), static_cast<int>(index - pieces_[p].start), &pos);
        return pieces_[p].x + static_cast<double>(pos.x) / PANGO_SCALE;
    }
    std::size_t indexOfX(double x) const {
        const auto after = std::upper_bound(pieces_.begin() + 1, pieces_.end(), x,
                                            [](double at, const Placed& piece) { return at < piece.x; });
        const auto p = static_cast<std::size_t>(after - pieces_.begin()) - 1;
        int index = 0;
        int trailing = 0;
        pango_layout_xy_to_index(shape(p), static_cast<int>((x - pieces_[p].x) * PANGO_SCALE), 0, &index,
                                 &trailing);
        std::size_t i = pieces_[p].start + static_cast<std::size_t>(std::max(index, 0));
        for (; trailing > 0; --trailing) {
            i = nextCharacterBoundary(text_, i);
        }
        return std::min(i, text_.size());
    }
    // The start and x of the piece that holds the byte offset (the whole line when it is short).
    std::pair<std::size_t, double> pieceStart(std::size_t index) const {
        const auto& piece = pieces_[pieceOfIndex(index)];
        return {piece.start, piece.x};
    }

    const graphics::FontRef font;

private:
    static constexpr std::size_t longText = 256;
    static constexpr std::size_t pieceLimit = 64;
    // Past this many entries the text's cache of widths by content takes no more.
    static constexpr std::size_t cachedWidthsLimit = 1 << 16;

    struct Placed {
        std::size_t start;
        std::size_t length;
        double x;
        double width;
    };
    struct LayoutDeleter {
        void operator()(PangoLayout* layout) const { g_object_unref(layout); }
    };

    static std::size_t commonPrefix(const std::string& a, const std::string& b) {
        const std::size_t n = std::min(a.size(), b.size());
        constexpr std::size_t block = 256;
        std::size_t i = 0;
        while (i + block <= n && std::memcmp(a.data() + i, b.data() + i, block) == 0) {
            i += block;
        }
        while (i < n && a[i] == b[i]) {
            ++i;
        }
        return i;
    }
    // The bytes both end with, not reaching into the common start.
    static std::size_t commonSuffix(const std::string& a, const std::string& b, std::size_t prefix) {
        const std::size_t n = std::min(a.size(), b.size()) - prefix;
        constexpr std::size_t block = 256;
        std::size_t i = 0;
        while (i + block <= n &&
               std::memcmp(a.data() + a.size() - i - block, b.data() + b.size() - i - block, block) == 0) {
            i += block;
        }
        while (i < n && a[a.size() - i - 1] == b[b.size() - i - 1]) {
            ++i;
        }
        return i;
    }

    // Splits text_ into pieces from start (at x) to the end or until stop says a piece starts where the
    // old ones resume; answers the x after the last piece made.
    template <typename Stop>
    double split(std::size_t start, double x, std::vector<Placed>& out, Widths& widths, Stop stop) {
        for (std::size_t i = start; i < text_.size() && !stop(i);) {
            std::size_t end = i;
            while (end < text_.size() && end - i < pieceLimit && text_[end] != ' ') {
                end = nextCharacterBoundary(text_, end);
            }
            if (end < text_.size() && text_[end] == ' ') {
                ++end;
            }
            const double width = measure(text_.substr(i, end - i), widths);
            out.push_back({i, end - i, x, width});
            x += width;
            i = end;
        }
        return x;
    }
    double measure(const std::string& piece, Widths& widths) const {
        if (const auto known = widths.find(piece); known != widths.end()) {
            return known->second;
        }
        const std::unique_ptr<PangoLayout, LayoutDeleter> layout(
            graphics::detail::createLayout(context_, attributed_(piece), {-1, false}));
        const double width = graphics::detail::layoutSize(layout.get()).width;
        if (widths.size() < cachedWidthsLimit) {
            widths.emplace(piece, width);
        }
        return width;
    }

    std::size_t pieceOfIndex(std::size_t index) const {
        const auto after =
            std::upper_bound(pieces_.begin() + 1, pieces_.end(), index,
                             [](std::size_t at, const Placed& piece) { return at < piece.start; });
        return static_cast<std::size_t>(after - pieces_.begin()) - 1;
    }
    // The layout of one piece; the last one asked for is kept.
    PangoLayout* shape(std::size_t p) const {
        if (!shaped_ || shapedIndex_ != p) {
            shaped_.reset(graphics::detail::createLayout(
                context_, attributed_(text_.substr(pieces_[p].start, pieces_[p].length)), {-1, false}));
            shapedIndex_ = p;
        }
        return shaped_.get();
    }
    Attributed attributed_;
    PangoContext* context_;
    std::string text_;
    std::vector<Placed> pieces_;
    double width_ = 0;
    double height_ = 0;
    mutable std::unique_ptr<PangoLayout, LayoutDeleter> shaped_;
    mutable std::size_t shapedIndex_ = 0;
};

namespace {

// Runs an action when the scope ends, however it ends: the editor's session state is restored even when a
// delegate's callback throws.
template <typename Action> class OnExit {
public:
    explicit OnExit(Action action) : action_(std::move(action)) {}
    ~OnExit() { action_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    Action action_;
};

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

const Text::LineLayout& Text::lineLayout() const {
    if (!layout_ || layout_->font != font_) {
        pieceWidths_.clear();
        layout_ = std::make_shared<LineLayout>(
            [this](const std::string& text) { return attributedString(text); }, font_);
        layout_->update(model_.text(), pieceWidths_);
        layoutRevision_ = textRevision_;
    } else if (layoutRevision_ != textRevision_) {
        if (layout_->text() != model_.text()) {
            layout_->update(model_.text(), pieceWidths_);
        }
        layoutRevision_ = textRevision_;
    }
    return *layout_;
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
    const OnExit reset([this] { movement_ = TextMovement::other; });
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
    const OnExit ended([this] {
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
    const OnExit ended([this] {
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
    constexpr std::size_t longText = 256;
    if (string.size() > longText) {
        // Only the part in view, from the character before its left edge to the one after its right.
        const auto [start, startX] = layout.pieceStart(layout.indexOfX(box.minX() - x0));
        const std::size_t last = layout.indexOfX(box.maxX() - x0);
        const auto [lastStart, lastX] = layout.pieceStart(last);
        std::size_t end = last;
        while (end < string.size() && layout.pieceStart(end).first == lastStart) {
            end = nextCharacterBoundary(string, end);
        }
        attributedString(string.substr(start, end - start)).drawAt({x0 + startX, y0});
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
