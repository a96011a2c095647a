#include "Vimbra/DeclarativeSupport.hpp"

#include "core/Log.hpp"

#include <cmath>
#include <numbers>
#include <string>

namespace vimbra {

using declarative::View;

namespace {

[[noreturn]] void unhandledControlSize(int raw) {
    core::fatal("Unhandled control size: " + std::to_string(raw));
}

} // namespace

graphics::AffineTransform ShakeEffect::effectValue(graphics::Size) const {
    const double x = amount * std::sin(animatableData * std::numbers::pi * shakes);
    return graphics::AffineTransform::makeTranslation(x, 0);
}

View ShakeEffect::apply(View content) const {
    const auto transform = effectValue({});
    return content.offset(transform.tx, transform.ty);
}

DeclarativeControlSize declarativeControlSize(ui::ControlSize size) {
    switch (size) {
    case ui::ControlSize::regular:
        return DeclarativeControlSize::regular;
    case ui::ControlSize::small:
        return DeclarativeControlSize::small;
    case ui::ControlSize::mini:
        return DeclarativeControlSize::mini;
    case ui::ControlSize::large:
    case ui::ControlSize::extraLarge:
        return DeclarativeControlSize::large;
    }
    unhandledControlSize(static_cast<int>(size));
}

ui::ControlSize appKitControlSize(DeclarativeControlSize size) {
    switch (size) {
    case DeclarativeControlSize::mini:
        return ui::ControlSize::mini;
    case DeclarativeControlSize::small:
        return ui::ControlSize::small;
    case DeclarativeControlSize::regular:
        return ui::ControlSize::regular;
    case DeclarativeControlSize::large:
    case DeclarativeControlSize::extraLarge:
        return ui::ControlSize::large;
    }
    unhandledControlSize(static_cast<int>(size));
}

View Backport::onEscapeKey(std::function<void()> action) const {
    return content_.onKeyPress(
        [action = std::move(action)](const declarative::KeyPressEvent& press) {
            if (press.specialKey != ui::SpecialKey::escape) {
                return declarative::KeyResult::ignored;
            }
            action();
            return declarative::KeyResult::handled;
        },
        declarative::keyDownAndRepeat);
}

View Backport::softScrollEdgeEffect() const {
    return content_;
}

View Backport::legacyFrame(double width) const {
    return content_.frame(width, std::nullopt);
}

View Backport::alternatingRowBackgrounds(bool) const {
    return content_;
}

View Backport::scaledBackground(graphics::ColorRef color) const {
    return content_.background(declarative::ColorView(std::move(color)).scaleEffect(1.5));
}

graphics::TextAlignment textAlignment(DeclarativeTextAlignment alignment) {
    switch (alignment) {
    case DeclarativeTextAlignment::leading:
        return graphics::TextAlignment::left;
    case DeclarativeTextAlignment::center:
        return graphics::TextAlignment::center;
    case DeclarativeTextAlignment::trailing:
        return graphics::TextAlignment::right;
    }
    return graphics::TextAlignment::left;
}

} // namespace vimbra
