#include "ui/Cell.hpp"

#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/View.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

// Margin of the drawing area inside a bordered or bezeled cell.
constexpr double borderMargin = 2.0;

std::optional<double> parseNumber(const std::string& text) {
    // Leading blanks are skipped and trailing text ignored, as a scanner reading a number would.
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin != end && (*begin == ' ' || *begin == '\t')) {
        ++begin;
    }
    if (begin != end && *begin == '+') {
        ++begin;
    }
    double value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr == begin) {
        return std::nullopt;
    }
    return value;
}

template <class... T> struct Types {};
using ArithmeticTypes = Types<signed char, unsigned char, short, unsigned short, int, unsigned, long,
                              unsigned long, long long, unsigned long long, float, double, long double>;

template <class T> bool readHeld(const std::any& value, std::optional<double>& number) {
    if (const auto* held = std::any_cast<T>(&value)) {
        number = static_cast<double>(*held);
        return true;
    }
    return false;
}

template <class... T> std::optional<double> heldNumber(const std::any& value, Types<T...>) {
    std::optional<double> number;
    (void)(readHeld<T>(value, number) || ...);
    return number;
}

std::optional<double> numberIn(const std::any& value) {
    if (auto number = arithmeticValue(value)) {
        return number;
    }
    if (auto b = std::any_cast<bool>(&value)) {
        return *b ? 1.0 : 0.0;
    }
    if (auto s = std::any_cast<std::string>(&value)) {
        return parseNumber(*s);
    }
    return std::nullopt;
}

} // namespace

std::optional<double> arithmeticValue(const std::any& value) {
    return heldNumber(value, ArithmeticTypes{});
}

Cell::Cell() : font_(graphics::Font::systemFont(13)) {}

Cell::Cell(std::string text) : Cell() {
    value_ = std::move(text);
}

Cell::~Cell() = default;

int Cell::nextState() const {
    if (state_ == StateValue::on) {
        return StateValue::off;
    }
    if (state_ == StateValue::mixed) {
        return StateValue::on;
    }
    // Off, or any other value, which counts as off.
    return allowsMixedState_ ? StateValue::mixed : StateValue::on;
}

void Cell::setObjectValue(std::any value) {
    value_ = std::move(value);
}

void Cell::assignStringValue(const std::string& value) {
    if (auto* held = std::any_cast<std::string>(&value_)) {
        if (value.size() > held->capacity()) {
            held->reserve(value.size() + value.size() / 2); // room for the edits that follow
        }
        *held = value;
    } else {
        value_ = value;
    }
}

std::string Cell::stringValue() const {
    if (auto s = std::any_cast<std::string>(&value_)) {
        return *s;
    }
    if (auto c = std::any_cast<const char*>(&value_)) {
        return *c ? *c : "";
    }
    auto number = numberIn(value_);
    if (!number || !std::isfinite(*number)) {
        return {};
    }
    char buffer[64];
    const double v = *number;
    std::to_chars_result r;
    if (v == std::trunc(v) && std::fabs(v) < 1e15) {
        r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(v));
    } else {
        r = std::to_chars(buffer, buffer + sizeof buffer, v);
    }
    return std::string(buffer, r.ptr);
}

double Cell::doubleValue() const {
    return numberIn(value_).value_or(0.0);
}

long long Cell::integerValue() const {
    const double v = doubleValue();
    if (!std::isfinite(v)) {
        return 0;
    }
    // Truncates towards zero; values beyond the range saturate instead of overflowing.
    if (v >= 9.2e18) {
        return static_cast<long long>(9.2e18);
    }
    if (v <= -9.2e18) {
        return static_cast<long long>(-9.2e18);
    }
    return static_cast<long long>(v);
}

graphics::AttributedString Cell::attributedTitle() const {
    graphics::TextAttributes attributes;
    attributes.font = font_;
    attributes.foregroundColor =
        enabled_ ? graphics::Color::controlTextColor() : graphics::Color::disabledControlTextColor();
    attributes.paragraphStyle.alignment = alignment_;
    attributes.paragraphStyle.lineBreakMode = lineBreakMode_;
    return graphics::AttributedString(title(), attributes);
}

Rect Cell::drawingRectForBounds(const Rect& bounds) const {
    if (bordered_ || bezeled_) {
        return bounds.insetBy(borderMargin, borderMargin);
    }
    return bounds;
}

Rect Cell::titleRectForBounds(const Rect& bounds) const {
    return drawingRectForBounds(bounds);
}

Rect Cell::imageRectForBounds(const Rect& bounds) const {
    return drawingRectForBounds(bounds);
}

Size Cell::cellSize() const {
    Size size = attributedTitle().size();
    size.width = std::ceil(size.width);
    size.height = std::ceil(size.height);
    if (bordered_ || bezeled_) {
        size.width += 2 * borderMargin;
        size.height += 2 * borderMargin;
    }
    return size;
}

Size Cell::cellSizeForBounds(const Rect& bounds) const {
    Size size = attributedTitle().size();
    // The margins of a rect of ordinary size: those of a huge one drown in its rounding.
    constexpr double probeLimit = 1e6;
    const Rect probe(bounds.origin,
                     {std::min(bounds.width(), probeLimit), std::min(bounds.height(), probeLimit)});
    const Rect inner = drawingRectForBounds(probe);
    return {std::ceil(size.width) + probe.width() - inner.width(),
            std::ceil(size.height) + probe.height() - inner.height()};
}

Rect Cell::focusRingMaskBoundsForFrame(const Rect& frame, View&) const {
    return frame;
}

void Cell::drawFocusRingMaskWithFrame(const Rect& frame, View& controlView) {
    if (auto* context = graphics::GraphicsContext::current()) {
        const Rect mask = focusRingMaskBoundsForFrame(frame, controlView);
        if (!mask.isEmpty()) {
            context->fillRect(mask, graphics::Color::black());
        }
    }
}

void Cell::drawWithFrame(const Rect& frame, View& controlView) {
    auto* context = graphics::GraphicsContext::current();
    if (context && (bordered_ || bezeled_)) {
        if (bezeled_) {
            context->fillRect(frame, graphics::Color::controlBackgroundColor());
        }
        auto border = graphics::BezierPath::rect(frame.insetBy(0.5, 0.5));
        border.setLineWidth(1);
        context->strokePath(border, graphics::Color::separatorColor());
    }
    drawInteriorWithFrame(frame, controlView);
}

void Cell::drawInteriorWithFrame(const Rect& frame, View&) {
    if (!graphics::GraphicsContext::current()) {
        return;
    }
    auto text = attributedTitle();
    if (text.empty()) {
        return;
    }
    const Rect area = titleRectForBounds(frame);
    const double height = std::min(area.height(), std::ceil(text.boundingSize({area.width(), 0}).height));
    text.draw(Rect(area.minX(), std::round(area.midY() - height * 0.5), area.width(), height));
}

void Cell::highlight(bool flag, const Rect&, View& controlView) {
    if (flag == highlighted_) {
        return;
    }
    setHighlighted(flag);
    controlView.setNeedsDisplay();
}

bool Cell::startTracking(const Point&, View&) {
    return true;
}

bool Cell::continueTracking(const Point&, const Point&, View&) {
    return true;
}

void Cell::stopTracking(const Point&, const Point&, View&, bool) {}

} // namespace ui
