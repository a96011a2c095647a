#include "ui/ComboBox.hpp"

#include "core/Log.hpp"
#include "core/NotificationCenter.hpp"
#include "graphics/BezierPath.hpp"
#include "ui/Application.hpp"
#include "ui/ComboBoxList.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/Screen.hpp"
#include "ui/Text.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;

// MARK: - ComboBoxCell

ComboBoxCell::ComboBoxCell(std::string text) : TextFieldCell(std::move(text)) {}

std::string ComboBoxCell::stringForItem(const std::any& value) {
    if (auto s = std::any_cast<std::string>(&value)) {
        return *s;
    }
    Cell converter;
    converter.setObjectValue(value);
    return converter.stringValue();
}

void ComboBoxCell::addItemWithObjectValue(std::any value) {
    items_.push_back(std::move(value));
}

void ComboBoxCell::addItemsWithObjectValues(const std::vector<std::any>& values) {
    items_.insert(items_.end(), values.begin(), values.end());
}

void ComboBoxCell::insertItemWithObjectValue(std::any value, long index) {
    index = std::clamp(index, 0L, numberOfItems());
    items_.insert(items_.begin() + index, std::move(value));
    if (selected_ >= index) {
        ++selected_;
    }
}

void ComboBoxCell::removeItemAtIndex(long index) {
    if (index < 0 || index >= numberOfItems()) {
        return;
    }
    items_.erase(items_.begin() + index);
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
}

void ComboBoxCell::removeAllItems() {
    items_.clear();
    selected_ = -1;
}

const std::any& ComboBoxCell::itemObjectValueAtIndex(long index) const {
    if (index < 0 || index >= numberOfItems()) {
        core::fatal("Combo box item index " + std::to_string(index) + " beyond " +
                    std::to_string(numberOfItems()) + " items");
    }
    return items_[static_cast<std::size_t>(index)];
}

long ComboBoxCell::indexOfItemWithObjectValue(const std::any& value) const {
    const std::string text = stringForItem(value);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (stringForItem(items_[i]) == text) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

void ComboBoxCell::selectItemAtIndex(long index) {
    selected_ = index >= 0 && index < numberOfItems() ? index : -1;
}

std::string ComboBoxCell::completedString(const std::string& string) const {
    if (string.empty()) {
        return {};
    }
    auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
    for (const auto& item : items_) {
        std::string text = stringForItem(item);
        if (text.size() >= string.size() &&
            std::equal(string.begin(), string.end(), text.begin(), [&](char a, char b) {
                return lower(static_cast<unsigned char>(a)) == lower(static_cast<unsigned char>(b));
            })) {
            return text;
        }
    }
    return {};
}

Rect ComboBoxCell::buttonRectForBounds(const Rect& bounds) const {
    const double width = std::min(buttonWidth, bounds.width());
    return Rect(bounds.maxX() - width, bounds.minY(), width, bounds.height());
}

Rect ComboBoxCell::drawingRectForBounds(const Rect& bounds) const {
    Rect field = bounds;
    field.size.width = std::max(0.0, buttonRectForBounds(bounds).minX() - bounds.minX());
    return TextFieldCell::drawingRectForBounds(field);
}

Rect ComboBoxCell::titleRectForBounds(const Rect& bounds) const {
    const Rect area = ComboBoxCell::drawingRectForBounds(bounds);
    const double lineHeight = font() ? std::ceil(font()->lineHeight()) : area.height();
    const double height = std::min(lineHeight, area.height());
    return Rect(area.x(), area.y() + std::floor((area.height() - height) * 0.5), area.width(), height);
}

void ComboBoxCell::drawWithFrame(const Rect& frame, View& controlView) {
    const Rect button = buttonRectForBounds(frame);
    Rect field = frame;
    field.size.width = std::max(0.0, button.minX() - frame.minX());
    TextFieldCell::drawWithFrame(field, controlView);
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    context->fillRect(button, listShown_ ? graphics::Color::white(0.32) : graphics::Color::white(0.24));
    auto border = graphics::BezierPath::rect(button.insetBy(0.5, 0.5));
    border.setLineWidth(1);
    context->strokePath(border, graphics::Color::separatorColor());
    // A down arrow; the control view is flipped, so y grows downwards.
    const Point centre{button.midX(), button.midY()};
    graphics::BezierPath arrow;
    arrow.moveTo({centre.x - 3.5, centre.y - 1.5});
    arrow.lineTo({centre.x, centre.y + 2});
    arrow.lineTo({centre.x + 3.5, centre.y - 1.5});
    arrow.setLineWidth(1.5);
    context->strokePath(arrow, isEnabled() ? graphics::Color::controlTextColor()
                                           : graphics::Color::disabledControlTextColor());
}

// MARK: - ComboBox

ComboBox::ComboBox(const Rect& frame, std::shared_ptr<ComboBoxCell> cell)
    : TextField(frame, cell ? std::move(cell) : std::make_shared<ComboBoxCell>()) {}

ComboBox::~ComboBox() {
    // Whoever observed the box is going too: close quietly.
    closeList(false);
}

std::shared_ptr<ComboBoxCell> ComboBox::comboBoxCell() const {
    if (auto c = std::dynamic_pointer_cast<ComboBoxCell>(cell())) {
        return c;
    }
    if (!spareCell_) {
        spareCell_ = std::make_shared<ComboBoxCell>();
    }
    return spareCell_;
}

void ComboBox::addItemWithObjectValue(std::any value) {
    comboBoxCell()->addItemWithObjectValue(std::move(value));
    if (listView_) {
        listView_->itemsDidChange();
    }
}

void ComboBox::addItemsWithObjectValues(const std::vector<std::any>& values) {
    comboBoxCell()->addItemsWithObjectValues(values);
    if (listView_) {
        listView_->itemsDidChange();
    }
}

void ComboBox::insertItemWithObjectValue(std::any value, long index) {
    comboBoxCell()->insertItemWithObjectValue(std::move(value), index);
    if (listView_) {
        listView_->itemsDidChange();
    }
}

void ComboBox::removeItemAtIndex(long index) {
    comboBoxCell()->removeItemAtIndex(index);
    if (listView_) {
        listView_->setHighlightedIndex(std::min(listView_->highlightedIndex(), numberOfItems() - 1));
        listView_->itemsDidChange();
    }
}

void ComboBox::removeAllItems() {
    comboBoxCell()->removeAllItems();
    dismissList();
}

void ComboBox::selectItemAtIndex(long index) {
    auto self = sharedAs<ComboBox>();
    auto c = comboBoxCell();
    const long before = c->indexOfSelectedItem();
    c->selectItemAtIndex(index);
    const long after = c->indexOfSelectedItem();
    if (after >= 0) {
        setObjectValue(c->itemObjectValueAtIndex(after));
        if (auto editor = currentEditor()) {
            editor->selectAll();
            noteEditorState(*editor);
        }
    }
    if (listView_) {
        listView_->setHighlightedIndex(after);
    }
    if (after != before) {
        core::NotificationCenter::defaultCenter().post(selectionDidChangeNotification, this);
    }
}

void ComboBox::deselectItemAtIndex(long index) {
    if (index >= 0 && index == indexOfSelectedItem()) {
        selectItemAtIndex(-1);
    }
}

void ComboBox::setNumberOfVisibleItems(long count) {
    comboBoxCell()->setNumberOfVisibleItems(count);
}

void ComboBox::setItemHeight(double height) {
    comboBoxCell()->setItemHeight(height);
}

void ComboBox::setHasVerticalScroller(bool flag) {
    comboBoxCell()->setHasVerticalScroller(flag);
    if (listView_) {
        listView_->setNeedsDisplay();
    }
}

void ComboBox::popUpList() {
    auto anchor = window();
    if (listWindow_ || !anchor || !isEnabled() || numberOfItems() == 0) {
        return;
    }
    auto self = sharedAs<ComboBox>();
    core::NotificationCenter::defaultCenter().post(willPopUpNotification, this);
    if (listWindow_ || window() != anchor) {
        return; // an observer opened it already, or took the box away
    }
    auto c = comboBoxCell();
    const long rows = std::min(numberOfItems(), numberOfVisibleItems());
    const double height = ComboBoxListView::heightFor(rows, itemHeight());
    // The box's corners on the screen, through the window system's idea of where the window is.
    const Rect inWindow = convertRectToView(bounds(), nullptr);
    auto presenter = menuPresenterFor(self);
    const Point bottomLeft = presenter->convertToScreen(*anchor, inWindow.origin);
    const double top = bottomLeft.y + inWindow.height();
    Point origin{bottomLeft.x, bottomLeft.y - height};
    if (auto screen = anchor->screen()) {
        const Rect visible = screen->visibleFrame();
        if (origin.y < visible.minY() && top + height <= visible.maxY()) {
            origin.y = top; // no room below: above the box
        }
    }
    auto list = Window::make(Rect(origin, {inWindow.width(), height}),
                             WindowStyle::borderless | WindowStyle::nonactivatingPanel);
    auto view = std::make_shared<ComboBoxListView>(Rect({0, 0}, {inWindow.width(), height}), self);
    list->setContentView(view);
    list->setAppearanceName(anchor->effectiveAppearanceName());
    listWindow_ = list;
    listView_ = view;
    view->setHighlightedIndex(indexOfSelectedItem());
    c->setListShown(true);
    setNeedsDisplay();

    // A press anywhere but in the list closes it; a press on the button closes it and no more.
    std::weak_ptr<ComboBox> weak = self;
    pressMonitor_ = Application::shared()->addLocalMonitorForEvents(
        eventMask(EventType::leftMouseDown) | eventMask(EventType::rightMouseDown) |
            eventMask(EventType::otherMouseDown),
        [weak](const Event& event) {
            auto box = weak.lock();
            if (!box || !box->listWindow_ || event.window.lock() == box->listWindow_) {
                return true;
            }
            if (event.window.lock() == box->window() && event.type == EventType::leftMouseDown) {
                const Point p = box->convertPointFromView(event.locationInWindow, nullptr);
                if (box->comboBoxCell()->buttonRectForBounds(box->bounds()).contains(p)) {
                    box->pressClosedListAt_ = event.timestamp;
                }
            }
            box->dismissList();
            return true;
        });
    // The window losing the keyboard (another application, another window) closes it too.
    resignKeyObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        windowDidResignKeyNotification, anchor.get(), [weak](const core::Notification&) {
            if (auto box = weak.lock()) {
                box->dismissList();
            }
        });

    if (auto backend = anchor->backend()) {
        if (auto listBackend = backend->makeBackend(list)) {
            list->setBackend(listBackend);
        }
    }
    list->orderFront();
}

void ComboBox::dismissList() {
    closeList(true);
}

void ComboBox::closeList(bool notify) {
    if (!listWindow_) {
        return;
    }
    if (notify) {
        auto self = sharedAs<ComboBox>();
        core::NotificationCenter::defaultCenter().post(willDismissNotification, this);
    }
    auto list = std::move(listWindow_);
    listWindow_.reset();
    listView_.reset();
    pressMonitor_.cancel();
    resignKeyObserver_.cancel();
    comboBoxCell()->setListShown(false);
    if (!list->isClosed()) {
        list->close();
    }
    if (notify) {
        setNeedsDisplay();
    }
}

void ComboBox::chooseItemAtIndex(long index) {
    auto self = sharedAs<ComboBox>();
    if (index < 0 || index >= numberOfItems()) {
        return;
    }
    selectItemAtIndex(index);
    dismissList();
}

void ComboBox::setEnabled(bool enabled) {
    if (!enabled) {
        dismissList();
    }
    TextField::setEnabled(enabled);
}

void ComboBox::mouseDown(const Event& event) {
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    const bool onButton = comboBoxCell()->buttonRectForBounds(bounds()).contains(p);
    const auto closedAt = std::exchange(pressClosedListAt_, std::nullopt);
    const bool closedByThisPress = closedAt && *closedAt == event.timestamp;
    if (!onButton || !isEnabled()) {
        TextField::mouseDown(event);
        return;
    }
    if (closedByThisPress) {
        return;
    }
    auto self = sharedAs<ComboBox>();
    if (!currentEditor() && acceptsFirstResponder()) {
        if (auto w = window()) {
            w->makeFirstResponder(self);
        }
    }
    if (isListShown()) {
        dismissList();
    } else {
        popUpList();
    }
}

void ComboBox::viewWillMoveToWindow(const std::shared_ptr<Window>& newWindow) {
    if (newWindow != window()) {
        dismissList();
    }
    TextField::viewWillMoveToWindow(newWindow);
}

bool ComboBox::textShouldHandleKey(Text& text, const Event& event) {
    noteEditorState(text); // what the key starts from, to tell typing from deleting
    const auto key = event.specialKey();
    if (!key || (event.modifierFlags & (Modifier::command | Modifier::control | Modifier::option))) {
        return false;
    }
    auto self = sharedAs<ComboBox>();
    switch (*key) {
    case SpecialKey::downArrow:
    case SpecialKey::upArrow:
        if (!listView_) {
            popUpList();
        } else {
            listView_->moveHighlight(*key == SpecialKey::downArrow ? 1 : -1);
        }
        return listView_ != nullptr;
    case SpecialKey::carriageReturn:
    case SpecialKey::enter:
        if (!listView_) {
            return false;
        }
        if (const long index = listView_->highlightedIndex(); index >= 0) {
            chooseItemAtIndex(index);
        } else {
            dismissList();
        }
        return true;
    case SpecialKey::escape:
        if (!listView_) {
            return false;
        }
        dismissList();
        return true;
    default:
        return false;
    }
}

void ComboBox::noteEditorState(const Text& text) {
    const auto [start, end] = text.selectedRange();
    previousLength_ = text.string().size();
    previousSelectionLength_ = end - start;
}

void ComboBox::textDidChange(Text& text) {
    auto self = sharedAs<ComboBox>();
    const std::string typed = text.string();
    const auto [start, end] = text.selectedRange();
    // Completion only follows typing at the end: the text grew beyond what was kept of it.
    const bool typedAtEnd =
        start == end && end == typed.size() && typed.size() > previousLength_ - previousSelectionLength_;
    if (completes() && typedAtEnd) {
        const std::string completed = comboBoxCell()->completedString(typed);
        if (completed.size() > typed.size()) {
            text.setString(typed + completed.substr(typed.size()));
            text.setSelectedRange(typed.size(), completed.size() - typed.size());
            if (listView_) {
                listView_->setHighlightedIndex(indexOfItemWithObjectValue(completed));
            }
        }
    }
    noteEditorState(text);
    TextField::textDidChange(text);
}

void ComboBox::textDidEndEditing(Text& text, TextMovement movement) {
    auto self = sharedAs<ComboBox>();
    dismissList();
    TextField::textDidEndEditing(text, movement);
}

} // namespace ui
