#pragma once

// Stand-ins for the kit's resource lookup and small extensions until the shared ones arrive.

#include "core/Bundle.hpp"
#include "graphics/Color.hpp"

#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

namespace zelto {

// The resource bundle "Zelto_<module>.bundle"; a miss stops the process.
const core::Bundle& moduleBundle(std::string_view module);
const core::Bundle& kitBundle();
graphics::ColorRef kitColor(std::string_view name);
graphics::ColorRef zeltoPluginGrey();
graphics::ColorRef zeltoPluginBlue();
graphics::ColorRef zeltoPluginYellow();
graphics::ColorRef zeltoPluginRed();
graphics::ColorRef zeltoPluginPurple();
graphics::ColorRef zeltoTinyDialLabel();

template <class T> T clamped(T value, T lo, T hi) {
    if (!(value >= lo)) {
        return lo;
    }
    return value > hi ? hi : value;
}

std::string paddedIndexString(int n);

template <class C> auto safe(const C& c, std::ptrdiff_t i) -> const typename C::value_type* {
    if (i < 0 || static_cast<std::size_t>(i) >= c.size()) {
        return nullptr;
    }
    return &c[static_cast<std::size_t>(i)];
}

} // namespace zelto
