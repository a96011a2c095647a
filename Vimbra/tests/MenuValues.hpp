#pragma once

// Menu-presentable value types for the tests: three shapes with a signed raw value, and rates with an
// unsigned one whose first value has an alternate.

#include "Vimbra/MenuModel.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vimbratest {

struct Shape : vimbra::RawMenuPresentable<std::int64_t> {
    using RawMenuPresentable::RawMenuPresentable;
    static constexpr std::array<const char*, 3> names{"Sine", "Square", "Saw"};

    static std::optional<Shape> fromRawValue(std::int64_t raw) {
        return raw >= 0 && raw < 3 ? std::optional<Shape>(Shape(raw)) : std::nullopt;
    }
    static std::vector<Shape> allCases() { return {Shape(0), Shape(1), Shape(2)}; }
    static std::string menuTitle() { return "Shape"; }
    static vimbra::MenuStructure<Shape> menuStructure() {
        return vimbra::MenuStructure<Shape>::submenuForAllCases();
    }
    std::string title() const override { return names.at(static_cast<std::size_t>(rawValue())); }
};

struct Rate : vimbra::RawMenuPresentable<std::uint8_t> {
    using RawMenuPresentable::RawMenuPresentable;

    static std::optional<Rate> fromRawValue(std::uint8_t raw) {
        return raw == 1 || raw == 2 || raw == 4 ? std::optional<Rate>(Rate(raw)) : std::nullopt;
    }
    static std::string menuTitle() { return "Rate"; }
    static vimbra::MenuStructure<Rate> menuStructure() {
        using S = vimbra::MenuStructure<Rate>;
        return S::submenu("Rate", {S::inlineTitle("Speeds"), S::item(Rate(1)), S::item(Rate(2)),
                                   S::separator(), S::item(Rate(4))});
    }
    std::string title() const override { return std::to_string(rawValue()) + "x"; }
    std::optional<std::int64_t> alternateTag() const override {
        return rawValue() == 1 ? std::optional<std::int64_t>(101) : std::nullopt;
    }
    std::optional<std::string> alternateTitle() const override {
        return rawValue() == 1 ? std::optional<std::string>("1x (exact)") : std::nullopt;
    }
};

} // namespace vimbratest
