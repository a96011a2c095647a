#include "ui/MenuView.hpp"

#include "graphics/AttributedString.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/Cell.hpp"

#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;

MenuLevelView::MenuLevelView(const Rect& frame, std::weak_ptr<MenuTracking> tracking, std::size_t level)
    : View(frame), tracking_(std::move(tracking)), level_(level) {}

graphics::ColorRef MenuLevelView::backgroundColor() {
    return graphics::Color::white(0.17);
}

graphics::ColorRef MenuLevelView::highlightColor() {
    return graphics::Color::controlAccentColor();
}

void MenuLevelView::draw(const Rect&) {
    auto* context = graphics::GraphicsContext::current();
    auto tracking = tracking_.lock();
    if (!context || !tracking || level_ >= tracking->levels().size()) {
        return;
    }
    const auto& level = tracking->levels()[level_];
    context->fillRect(bounds(), backgroundColor());
    auto border = graphics::BezierPath::rect(bounds().insetBy(0.5, 0.5));
    border.setLineWidth(1);
    context->strokePath(border, graphics::Color::white(0.38));
    for (std::size_t i = 0; i < level.layout.rows.size(); ++i) {
        drawRow(level.layout.rows[i], static_cast<int>(i) == level.highlighted, *level.menu,
                level.menu->showsStateColumn());
    }
}

void MenuLevelView::drawRow(const MenuLayout::Row& row, bool highlighted, const Menu& menu,
                            bool stateColumn) {
    auto* context = graphics::GraphicsContext::current();
    const auto& item = *row.item;
    const Rect frame = row.frame;
    if (item.isSeparatorItem()) {
        context->fillRect(Rect(frame.minX() + 8, std::floor(frame.midY()), frame.width() - 16, 1),
                          graphics::Color::white(0.32));
        return;
    }
    if (highlighted) {
        auto path = graphics::BezierPath::roundedRect(frame.insetBy(4, 1), 4, 4);
        context->fillPath(path, highlightColor(), graphics::CompositingOperation::sourceOver);
    }
    const bool enabled = item.isEnabled() || item.isSectionHeader();
    graphics::ColorRef textColor = highlighted              ? graphics::Color::whiteColor()
                                   : !enabled               ? graphics::Color::disabledControlTextColor()
                                   : item.isSectionHeader() ? graphics::Color::secondaryLabelColor()
                                                            : graphics::Color::controlTextColor();

    double x = frame.minX() + (stateColumn ? MenuMetrics::stateColumnWidth : MenuMetrics::leadingPadding);
    // State: the item's image for its state, else a check mark (on) or a dash (mixed).
    if (stateColumn) {
        const Rect mark(frame.minX() + (MenuMetrics::stateColumnWidth - 10) / 2 + 1, frame.midY() - 5, 10,
                        10);
        if (auto image = item.stateImage()) {
            image->drawInRect(Rect(mark.midX() - image->width() / 2, frame.midY() - image->height() / 2,
                                   image->width(), image->height()));
        } else if (item.state() == StateValue::on) {
            graphics::BezierPath check;
            check.moveTo({mark.minX(), mark.midY()});
            check.lineTo({mark.minX() + 3.5, mark.maxY() - 1});
            check.lineTo({mark.maxX(), mark.minY() + 0.5});
            check.setLineWidth(1.8);
            check.setLineCapStyle(graphics::LineCap::round);
            check.setLineJoinStyle(graphics::LineJoin::round);
            context->strokePath(check, textColor);
        } else if (item.state() == StateValue::mixed) {
            context->fillRect(Rect(mark.minX() + 1, mark.midY() - 1, mark.width() - 2, 2), textColor);
        }
    }
    if (auto image = item.image()) {
        image->drawInRect(Rect(x, frame.midY() - MenuMetrics::imageSize / 2, MenuMetrics::imageSize,
                               MenuMetrics::imageSize));
    }
    bool anyImage = false;
    for (const auto& other : menu.items()) {
        anyImage = anyImage || (other->image() && !other->isHidden());
    }
    if (anyImage) {
        x += MenuMetrics::imageSize + MenuMetrics::imageGap;
    }

    graphics::TextAttributes attributes;
    attributes.font =
        item.isSectionHeader() ? menu.font()->withWeight(graphics::FontWeight::bold) : menu.font();
    attributes.foregroundColor = textColor;
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    const graphics::AttributedString title(item.title(), attributes);
    const double textHeight = std::ceil(title.size().height);
    const double textY = std::round(frame.midY() - textHeight / 2);
    double right = frame.maxX() - MenuMetrics::trailingPadding;
    if (item.hasSubmenu()) {
        graphics::BezierPath arrow;
        const double ax = frame.maxX() - MenuMetrics::trailingPadding - 4;
        arrow.moveTo({ax - 4, frame.midY() - 4.5});
        arrow.lineTo({ax + 0.5, frame.midY()});
        arrow.lineTo({ax - 4, frame.midY() + 4.5});
        arrow.setLineWidth(1.5);
        arrow.setLineCapStyle(graphics::LineCap::round);
        arrow.setLineJoinStyle(graphics::LineJoin::round);
        context->strokePath(arrow, textColor);
        right -= MenuMetrics::submenuArrowWidth;
    }
    if (const std::string key = keyEquivalentText(item); !key.empty()) {
        auto keyAttributes = attributes;
        keyAttributes.paragraphStyle.alignment = graphics::TextAlignment::right;
        keyAttributes.foregroundColor = highlighted ? textColor : graphics::Color::secondaryLabelColor();
        const graphics::AttributedString keyText(key, keyAttributes);
        const double w = std::ceil(keyText.size().width);
        keyText.draw(Rect(right - w, textY, w, textHeight));
        right -= w + MenuMetrics::keyEquivalentGap;
    }
    title.draw(Rect(x, textY, std::max(0.0, right - x), textHeight));
}

// ---------------------------------------------------------------------------------------------------

void WindowMenuPresenter::showLevel(MenuTracking& tracking, std::size_t level) {
    const auto& entry = tracking.levels()[level];
    auto window = Window::make<MenuWindow>(entry.frame);
    window->setTracking(tracking.weak_from_this());
    window->setContentView(
        std::make_shared<MenuLevelView>(Rect({0, 0}, entry.frame.size), tracking.weak_from_this(), level));
    if (windows_.size() > level) {
        if (windows_[level]) {
            windows_[level]->close();
        }
        windows_.resize(level);
    }
    windows_.resize(level + 1);
    windows_[level] = window;
    attachBackend(window);
    window->orderFront();
}

void WindowMenuPresenter::updateLevel(MenuTracking& tracking, std::size_t level) {
    auto window = levelWindow(level);
    if (!window || level >= tracking.levels().size()) {
        return;
    }
    const Rect frame = tracking.levels()[level].frame;
    if (frame.origin != window->frame().origin) {
        window->setFrameOrigin(frame.origin);
        moveWindow(window);
    }
    window->setContentSize(frame.size);
    window->contentView()->setNeedsDisplay();
}

void WindowMenuPresenter::hideLevel(MenuTracking&, std::size_t level) {
    if (level < windows_.size()) {
        auto window = std::move(windows_[level]);
        windows_.resize(level);
        if (window) {
            window->close();
        }
    }
}

std::shared_ptr<Window> WindowMenuPresenter::levelWindow(std::size_t level) const {
    return level < windows_.size() ? windows_[level] : nullptr;
}

} // namespace ui
