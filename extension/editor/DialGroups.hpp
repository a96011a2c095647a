#pragma once

// The editor's two groups of eight chaos dials (two rows of four each) and what every dial shares: its
// width, its label options and the hand-back of keyboard focus when a typed value is done.

#include "ZeltoDialsCore/DialLabel.hpp"
#include "declarative/Declarative.hpp"

#include <array>
#include <cstddef>
#include <functional>
#include <memory>

class Settings;

namespace editor {

// One dial: the index of its parameter among the settings' fields (their table order) and whether it
// shows whole numbers through a formatter of its own.
struct DialPlacement {
    std::size_t field;
    bool wholeNumbers;
};
using DialRow = std::array<DialPlacement, 4>;

// The left group (first column): bands, slice, low, high / the four gate dials.
inline constexpr std::array<DialRow, 2> leftDials{{
    {{{0, true}, {3, true}, {1, true}, {2, true}}},
    {{{14, false}, {15, false}, {16, false}, {17, false}}},
}};
// The right group (third column): octave, note, age, blur / feedback, input, output, mix.
inline constexpr std::array<DialRow, 2> rightDials{{
    {{{11, true}, {12, false}, {13, false}, {4, false}}},
    {{{5, false}, {6, false}, {7, false}, {8, false}}},
}};

// The options every dial's label gets.
zelto::LabelDisplayOptions dialLabelOptions();

// Run when a typed value is done: gives keyboard focus back to the responder that held it when the
// editor appeared, while the editor's window exists.
std::function<void()> returnFocusToHost(const std::weak_ptr<Settings>& settings);

struct DialGroup {
    const std::array<DialRow, 2>* rows = &leftDials;
    double knobWidth = 60;

    declarative::View body(declarative::Context& context) const;
    bool operator==(const DialGroup&) const = default;
};

} // namespace editor
