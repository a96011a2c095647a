#include "Vimbra/StyledControls/ToolButton.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/ImageOps.hpp"
#include "ui/Application.hpp"
#include "ui/Window.hpp"

#include <algorithm>

namespace vimbra {

using graphics::Rect;

ToolButtonCell::ToolButtonCell(std::string title) : StyledButtonCell(std::move(title)) {}

ToolButtonCell::ToolButtonCell(graphics::ImageRef image) : StyledButtonCell(std::move(image)) {}

std::shared_ptr<ToolButtonCellStyle> ToolButtonCell::sharedToolStyle() {
    static const auto shared = std::make_shared<ToolButtonCellStyle>();
    return shared;
}

void ToolButtonCell::drawBezelWithFrame(const Rect& frame, ui::View& controlView) {
    StyledButtonCell::drawBezelWithFrame(frame, controlView);
    if (!showMoreIcon_) {
        return;
    }
    if (auto more = vimbraImage("corner-tool-more")) {
        tinted(more, graphics::Color::controlTextColor())
            ->drawInRect(frame, {}, graphics::CompositingOperation::sourceOver, 1.0, true);
    }
}

// ---------------------------------------------------------------------------------------------------

ToolButton::ToolButton(const Rect& frame) : StyledButton(frame, std::make_shared<ToolButtonCell>()) {
    ToolButton::setupButton();
}

void ToolButton::setupButton() {
    if (auto cell = styledCell()) {
        cell->setHighlightsBy(0);
    }
    setBezelStyle(ui::BezelStyle::regularSquare);
    setButtonType(ui::ButtonType::toggle);
    setImagePosition(ui::ImagePosition::imageOnly);
    setImageScaling(ui::ImageScaling::none);
}

void ToolButton::setShowMoreIcon(bool show) {
    showMoreIcon_ = show;
    if (auto cell = std::dynamic_pointer_cast<ToolButtonCell>(this->cell())) {
        cell->setShowMoreIcon(show);
        setNeedsDisplay(true);
    }
}

graphics::Size ToolButton::intrinsicContentSize() const {
    auto size = StyledButton::intrinsicContentSize();
    auto cell = std::dynamic_pointer_cast<ToolButtonCell>(this->cell());
    if (!isBordered() || !cell) {
        return size;
    }
    if (auto image = ToolButtonCell::sharedToolStyle()->bezelImageForState(cell->controlState())) {
        size.width = std::max(size.width, image->width());
        size.height = image->height();
    }
    return size;
}

void ToolButton::sendSecondaryAction() {
    if (!secondaryAction_.empty()) {
        ui::Application::shared()->sendAction(secondaryAction_, secondaryTarget_.lock(),
                                              sharedAs<ui::Object>());
    }
}

bool ToolButton::handleSecondaryClick(const ui::Event& event) {
    const bool secondary =
        event.type == ui::EventType::rightMouseDown ||
        (event.type == ui::EventType::leftMouseDown && (event.modifierFlags & ui::Modifier::control) != 0);
    if (!secondary) {
        return false;
    }
    auto self = sharedAs<ToolButton>();
    setHighlighted(true);
    sendSecondaryAction();
    setHighlighted(false);
    return true;
}

void ToolButton::pressReleased(const ui::Event& event) {
    if (!handleSecondaryClick(event)) {
        StyledButton::mouseDown(event);
    }
}

void ToolButton::mouseDown(const ui::Event& event) {
    if (!isEnabled()) {
        return;
    }
    auto self = sharedAs<ToolButton>();
    setHighlighted(true);
    const auto point = convertPointFromView(event.locationInWindow, nullptr);
    auto window = this->window();
    if (!secondaryAction_.empty() && window && event.clickCount <= 1 && bounds().contains(point)) {
        std::weak_ptr<ToolButton> weak = self;
        window->waitForMouseUp(
            self,
            [weak, event] {
                if (auto button = weak.lock()) {
                    button->setHighlighted(false);
                    button->pressReleased(event);
                }
            },
            [weak] {
                if (auto button = weak.lock()) {
                    button->sendSecondaryAction();
                    button->setHighlighted(false);
                }
            });
        return;
    }
    setHighlighted(false);
    pressReleased(event);
}

void ToolButton::rightMouseDown(const ui::Event& event) {
    if (!isEnabled()) {
        return;
    }
    if (!handleSecondaryClick(event)) {
        StyledButton::rightMouseDown(event);
    }
}

std::shared_ptr<ui::Menu> ToolButton::menuForEvent(const ui::Event&) {
    return nullptr;
}

void ToolButton::mouseTrackingCancelled() {
    setHighlighted(false);
    StyledButton::mouseTrackingCancelled();
}

} // namespace vimbra
