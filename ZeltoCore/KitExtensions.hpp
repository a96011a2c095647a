#pragma once

// Small utilities of the kit: clamping that is safe with NaN, bounds-checked element access, two-digit
// frame numbers and the maker's web addresses.

#include "core/URL.hpp"
#include "graphics/Geometry.hpp"

#include <cstddef>
#include <memory>
#include <string>

namespace ui {
class View;
}

namespace zelto {

// The value limited to lo...hi; a value not ordered against the range (NaN) gives lo. The bounds must be
// ordered themselves.
template <class T> T clamped(const T& value, const T& lo, const T& hi) {
    if (!(value >= lo)) {
        return lo;
    }
    return value > hi ? hi : value;
}
// The value limited from below (lo...); NaN gives the bound.
template <class T> T clampedFrom(const T& value, const T& lo) {
    return lo <= value ? value : lo;
}
// The value limited from above (...hi); NaN gives the bound.
template <class T> T clampedUpTo(const T& value, const T& hi) {
    return value <= hi ? value : hi;
}

// The element at index, or null when the collection has no such index.
template <class Collection>
auto safe(const Collection& collection, std::ptrdiff_t index) -> decltype(&*std::begin(collection)) {
    if (index < 0 || static_cast<std::size_t>(index) >= std::size(collection)) {
        return nullptr;
    }
    return &*(std::begin(collection) + index);
}

// The number in decimal with at least two digits: 7 gives "07", 10 gives "10".
std::string paddedIndexString(int number);

// Pins the view to all four sides of another with insets: leading, trailing, bottom and top, in that
// order, activated together. Nothing happens without the other view.
void anchorToAllSidesOf(const std::shared_ptr<ui::View>& receiver, const std::shared_ptr<ui::View>& view,
                        graphics::EdgeInsets insets = {});

// The maker's home page, social-media profile and contact page.
const core::URL& kestrovaSite();
const core::URL& kestrovaMastodonAccount();
const core::URL& kestrovaContactPage();

} // namespace zelto
