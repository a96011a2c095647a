#include "ui/PopUpButton.hpp"

#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/Application.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

PopUpButtonCell::PopUpButtonCell(std::string title, bool pullsDown)
    : ButtonCell(std::string{}), menu_(Menu::make()), pullsDown_(pullsDown) {
    setBordered(true);
    setAlignment(graphics::TextAlignment::natural);
    setImagePosition(ImagePosition::imageLeft);
    if (!title.empty()) {
        addItem(title);
    }
}

void PopUpButtonCell::setMenu(std::shared_ptr<Menu> menu) {
    menu_ = menu ? std::move(menu) : Menu::make();
    selected_.reset();
    if (!pullsDown_) {
        selectItemAt(menu_->numberOfItems() > 0 ? 0 : -1);
    }
}

void PopUpButtonCell::setPullsDown(bool pullsDown) {
    pullsDown_ = pullsDown;
    if (pullsDown_) {
        if (auto item = selectedItem()) {
            item->setState(StateValue::off);
        }
    } else if (auto item = selectedItem()) {
        item->setState(StateValue::on);
    }
}

void PopUpButtonCell::addItem(const std::string& title) {
    insertItem(title, menu_->numberOfItems());
}

void PopUpButtonCell::addItems(const std::vector<std::string>& titles) {
    for (const auto& t : titles) {
        addItem(t);
    }
}

void PopUpButtonCell::insertItem(const std::string& title, std::size_t index) {
    // Titles are unique in a pop-up: an item with the same title makes way.
    if (auto existing = menu_->indexOfItemWithTitle(title); existing >= 0) {
        removeItemAt(static_cast<std::size_t>(existing));
        if (static_cast<std::size_t>(existing) < index) {
            --index;
        }
    }
    auto item = MenuItem::make(title);
    menu_->insertItem(item, index);
    if (!pullsDown_ && !selectedItem()) {
        selectItem(item);
    }
}

void PopUpButtonCell::removeItemAt(std::size_t index) {
    auto item = menu_->itemAt(static_cast<std::int64_t>(index));
    if (!item) {
        return;
    }
    const bool wasSelected = item == selectedItem();
    menu_->removeItemAt(index);
    if (wasSelected) {
        selected_.reset();
        if (!pullsDown_ && menu_->numberOfItems() > 0) {
            selectItemAt(0);
        }
    }
}

void PopUpButtonCell::removeAllItems() {
    selected_.reset();
    menu_->removeAllItems();
}

std::shared_ptr<MenuItem> PopUpButtonCell::lastItem() const {
    return menu_->numberOfItems() ? menu_->items().back() : nullptr;
}

std::vector<std::string> PopUpButtonCell::itemTitles() const {
    std::vector<std::string> titles;
    for (const auto& item : menu_->items()) {
        titles.push_back(item->title());
    }
    return titles;
}

void PopUpButtonCell::selectItem(const std::shared_ptr<MenuItem>& item) {
    auto old = selectedItem();
    auto wanted = item && item->menu() == menu_ ? item : nullptr;
    if (old && old != wanted && !pullsDown_) {
        old->setState(StateValue::off);
    }
    selected_ = wanted;
    if (wanted && !pullsDown_) {
        wanted->setState(StateValue::on);
    }
}

void PopUpButtonCell::selectItemAt(std::int64_t index) {
    selectItem(menu_->itemAt(index));
}

bool PopUpButtonCell::selectItemWithTag(std::int64_t tag) {
    const auto index = menu_->indexOfItemWithTag(tag);
    if (index < 0) {
        return false;
    }
    selectItemAt(index);
    return true;
}

bool PopUpButtonCell::selectItemWithTitle(const std::string& title) {
    const auto index = menu_->indexOfItemWithTitle(title);
    if (index < 0) {
        return false;
    }
    selectItemAt(index);
    return true;
}

std::shared_ptr<MenuItem> PopUpButtonCell::selectedItem() const {
    auto item = selected_.lock();
    return item && item->menu() == menu_ ? item : nullptr;
}

std::int64_t PopUpButtonCell::indexOfSelectedItem() const {
    auto item = selectedItem();
    return item ? menu_->indexOfItem(*item) : -1;
}

std::string PopUpButtonCell::titleOfSelectedItem() const {
    auto item = selectedItem();
    return item ? item->title() : std::string{};
}

std::shared_ptr<MenuItem> PopUpButtonCell::titleItem() const {
    if (!usesItemFromMenu_) {
        return menuItem_;
    }
    return pullsDown_ ? menu_->itemAt(0) : selectedItem();
}

std::string PopUpButtonCell::title() const {
    auto item = titleItem();
    return item ? item->title() : std::string{};
}

void PopUpButtonCell::setTitle(const std::string& title) {
    if (pullsDown_) {
        if (auto first = menu_->itemAt(0)) {
            first->setTitle(title);
        } else {
            addItem(title);
        }
        return;
    }
    if (!selectItemWithTitle(title)) {
        addItem(title);
        selectItemWithTitle(title);
    }
}

graphics::ImageRef PopUpButtonCell::image() const {
    auto item = titleItem();
    return item ? item->image() : nullptr;
}

Rect PopUpButtonCell::titleRectForBounds(const Rect& bounds) const {
    Rect r = ButtonCell::titleRectForBounds(bounds);
    if (isBordered()) {
        const double limit = bounds.maxX() - arrowWidth;
        r.size.width = std::max(0.0, std::min(r.maxX(), limit) - r.minX());
    }
    return r;
}

Rect PopUpButtonCell::imageRectForBounds(const Rect& bounds) const {
    return ButtonCell::imageRectForBounds(bounds);
}

Size PopUpButtonCell::cellSize() const {
    graphics::TextAttributes attributes;
    attributes.font = font();
    double widest = 0;
    bool anyImage = false;
    for (const auto& item : menu_->items()) {
        widest =
            std::max(widest, std::ceil(graphics::AttributedString(item->title(), attributes).size().width));
        anyImage = anyImage || item->image();
    }
    const auto m = bezelMargins();
    double width = widest + m.left + m.right + (isBordered() ? arrowWidth : 0);
    if (anyImage) {
        width += 16 + 3;
    }
    const double line = std::ceil(font()->lineHeight());
    double height = line + m.top + m.bottom;
    if (isBordered()) {
        height = std::max(height, controlSize() == ControlSize::small  ? 19.0
                                  : controlSize() == ControlSize::mini ? 16.0
                                                                       : 22.0);
    }
    return {std::ceil(width), std::ceil(height)};
}

graphics::AttributedString PopUpButtonCell::attributedTitle() const {
    auto text = ButtonCell::attributedTitle();
    return text;
}

void PopUpButtonCell::drawBezelWithFrame(const Rect& frame, View& controlView) {
    ButtonCell::drawBezelWithFrame(frame, controlView);
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    // Pop-up: a pair of arrows; pull-down: one arrow pointing down (the control is flipped).
    const double cx = frame.maxX() - arrowWidth / 2 - 2;
    const double cy = frame.midY();
    auto colour =
        isEnabled() ? graphics::Color::controlTextColor() : graphics::Color::disabledControlTextColor();
    graphics::BezierPath arrows;
    if (pullsDown_) {
        arrows.moveTo({cx - 3.5, cy - 1.5});
        arrows.lineTo({cx, cy + 2});
        arrows.lineTo({cx + 3.5, cy - 1.5});
    } else {
        arrows.moveTo({cx - 3, cy - 2});
        arrows.lineTo({cx, cy - 5});
        arrows.lineTo({cx + 3, cy - 2});
        arrows.moveTo({cx - 3, cy + 2});
        arrows.lineTo({cx, cy + 5});
        arrows.lineTo({cx + 3, cy + 2});
    }
    arrows.setLineWidth(1.5);
    arrows.setLineCapStyle(graphics::LineCap::round);
    arrows.setLineJoinStyle(graphics::LineJoin::round);
    context->strokePath(arrows, colour);
}

void PopUpButtonCell::drawInteriorWithFrame(const Rect& frame, View& controlView) {
    if (!graphics::GraphicsContext::current()) {
        return;
    }
    if (image() && imagePosition() != ImagePosition::noImage) {
        drawImageWithFrame(frame, controlView);
    }
    if (!title().empty() && imagePosition() != ImagePosition::imageOnly) {
        drawTitle(attributedTitle(), titleRectForBounds(frame), controlView);
    }
}

void PopUpButtonCell::drawImageWithFrame(const Rect& frame, View& controlView) {
    if (auto shown = image()) {
        drawImage(shown, imageRectForBounds(frame), controlView);
    }
}

// ---------------------------------------------------------------------------------------------------

PopUpButton::PopUpButton(const Rect& frame, bool pullsDown, std::shared_ptr<PopUpButtonCell> cell)
    : Button(frame, cell ? std::move(cell) : std::make_shared<PopUpButtonCell>(std::string{}, pullsDown)) {
    popUpCell()->setPullsDown(pullsDown);
}

std::shared_ptr<PopUpButtonCell> PopUpButton::popUpCell() const {
    return std::static_pointer_cast<PopUpButtonCell>(cell());
}

void PopUpButton::setMenu(std::shared_ptr<Menu> menu) {
    popUpCell()->setMenu(std::move(menu));
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void PopUpButton::setPullsDown(bool pullsDown) {
    popUpCell()->setPullsDown(pullsDown);
    setNeedsDisplay();
}

void PopUpButton::itemsChanged() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void PopUpButton::addItem(const std::string& title) {
    popUpCell()->addItem(title);
    itemsChanged();
}

void PopUpButton::addItems(const std::vector<std::string>& titles) {
    popUpCell()->addItems(titles);
    itemsChanged();
}

void PopUpButton::insertItem(const std::string& title, std::size_t index) {
    popUpCell()->insertItem(title, index);
    itemsChanged();
}

void PopUpButton::removeItemAt(std::size_t index) {
    popUpCell()->removeItemAt(index);
    itemsChanged();
}

void PopUpButton::removeAllItems() {
    popUpCell()->removeAllItems();
    itemsChanged();
}

void PopUpButton::selectItem(const std::shared_ptr<MenuItem>& item) {
    popUpCell()->selectItem(item);
    itemsChanged();
}

void PopUpButton::selectItemAt(std::int64_t index) {
    popUpCell()->selectItemAt(index);
    itemsChanged();
}

void PopUpButton::setTitle(const std::string& title) {
    popUpCell()->setTitle(title);
    itemsChanged();
}

bool PopUpButton::selectItemWithTag(std::int64_t tag) {
    const bool found = popUpCell()->selectItemWithTag(tag);
    setNeedsDisplay();
    return found;
}

bool PopUpButton::selectItemWithTitle(const std::string& title) {
    const bool found = popUpCell()->selectItemWithTitle(title);
    setNeedsDisplay();
    return found;
}

bool PopUpButton::isMenuShown() const {
    auto window = this->window();
    auto t = window ? window->menuTracking() : nullptr;
    return t && t->isActive() && t->menu() == menu();
}

bool PopUpButton::showMenu() {
    auto window = this->window();
    auto menu = this->menu();
    if (!window || !menu || !isEnabled()) {
        return false;
    }
    auto self = sharedAs<PopUpButton>();
    auto cell = popUpCell();
    auto presenter = menuPresenterFor(self);
    const Rect b = bounds();
    menu->setMinimumWidth(b.width());
    std::shared_ptr<MenuItem> positioning;
    std::shared_ptr<MenuItem> hiddenTitle;
    Point local;
    if (cell->pullsDown()) {
        // The first item is the title: it is not listed. The menu opens below the button.
        hiddenTitle = menu->itemAt(0);
        if (hiddenTitle && hiddenTitle->isHidden()) {
            hiddenTitle = nullptr;
        }
        if (hiddenTitle) {
            hiddenTitle->setHidden(true);
        }
        local = Point(b.minX(), b.maxY());
    } else {
        // The selected item lies over the button, its title where the button shows it.
        positioning = cell->selectedItem();
        const Rect title = cell->titleRectForBounds(b);
        local = Point(title.minX() - MenuMetrics::stateColumnWidth, b.midY() - MenuMetrics::rowHeight / 2);
        menu->setMinimumWidth(b.width() - (title.minX() - MenuMetrics::stateColumnWidth - b.minX()));
    }
    const Point screen = presenter->convertToScreen(*window, convertPointToView(local, nullptr));
    const Event* current = Application::shared()->currentEvent();
    const Event* opening =
        current && (current->type == EventType::leftMouseDown || current->type == EventType::rightMouseDown)
            ? current
            : nullptr;
    std::weak_ptr<PopUpButton> weak = self;
    auto done = [weak, hiddenTitle](const std::shared_ptr<MenuItem>& chosen) {
        if (hiddenTitle) {
            hiddenTitle->setHidden(false);
        }
        auto button = weak.lock();
        if (!button) {
            return;
        }
        button->popUpCell()->setHighlighted(false);
        button->setNeedsDisplay();
        if (!chosen) {
            return;
        }
        if (!button->pullsDown()) {
            button->selectItem(chosen);
        }
        if (!chosen->action().empty()) {
            Application::shared()->sendAction(chosen->action(), chosen->target(), chosen);
        } else {
            button->sendAction();
        }
    };
    cell->setHighlighted(true);
    setNeedsDisplay();
    auto tracking = MenuTracking::begin(menu, positioning, screen, presenter, done, opening, window);
    if (!tracking) {
        if (hiddenTitle) {
            hiddenTitle->setHidden(false);
        }
        cell->setHighlighted(false);
        return false;
    }
    return true;
}

void PopUpButton::mouseDown(const Event&) {
    if (isEnabled()) {
        showMenu();
    }
}

void PopUpButton::rightMouseDown(const Event& event) {
    if (isEnabled()) {
        showMenu();
        return;
    }
    Button::rightMouseDown(event);
}

void PopUpButton::keyDown(const Event& event) {
    const auto special = event.specialKey();
    if (event.characters == " " ||
        (special && (*special == SpecialKey::carriageReturn || *special == SpecialKey::downArrow ||
                     *special == SpecialKey::upArrow))) {
        showMenu();
        return;
    }
    Button::keyDown(event);
}

void PopUpButton::didClick() {
    showMenu();
}

} // namespace ui
