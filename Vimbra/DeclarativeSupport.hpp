#pragma once

// Small declarative-view pieces the library's components share: a shake effect for rejected input, two
// binding adaptors, control-size conversion between the two toolkits, and Backport, which applies
// modifiers whose look differs between platform versions.

#include "declarative/Declarative.hpp"
#include "graphics/AttributedString.hpp"
#include "ui/Cell.hpp"

#include <functional>
#include <optional>

namespace vimbra {

// A horizontal shake: the content moves by amount * sin(progress * pi * shakes), so it is back at rest at
// progress 0 and at every whole multiple of 1/shakes.
struct ShakeEffect {
    double amount = 0;
    double shakes = 0;
    double animatableData = 0; // progress, from 0 to 1

    graphics::AffineTransform effectValue(graphics::Size size) const;
    // The content moved by the effect at its current progress.
    declarative::View apply(declarative::View content) const;
};

// A binding of an optional value over a binding of the value: reads are always present; writing a value
// stores it, writing nullopt is ignored.
template <class T> declarative::Binding<std::optional<T>> optional(declarative::Binding<T> binding) {
    return declarative::Binding<std::optional<T>>([binding] { return std::optional<T>(binding.get()); },
                                                  [binding](std::optional<T> value) {
                                                      if (value) {
                                                          binding.set(std::move(*value));
                                                      }
                                                  });
}

// The same binding, for writes that must not animate. The view layer runs no implicit animations, so
// every write is already immediate; the adaptor keeps callers' intent visible.
template <class T> declarative::Binding<T> withoutAnimation(declarative::Binding<T> binding) {
    return binding;
}

// The declarative control sizes, with the same raw values as the toolkit's.
enum class DeclarativeControlSize { mini = 0, small = 1, regular = 2, large = 3, extraLarge = 4 };

// From the toolkit: extraLarge becomes large. A value outside the table stops the process with
// "Unhandled control size: <value>".
DeclarativeControlSize declarativeControlSize(ui::ControlSize size);
// To the toolkit: extraLarge becomes large. Same failure as above.
ui::ControlSize appKitControlSize(DeclarativeControlSize size);

// The declarative text alignments and their toolkit counterparts: leading is left, trailing right.
using DeclarativeTextAlignment = declarative::TextAlignment;
graphics::TextAlignment textAlignment(DeclarativeTextAlignment alignment);

// Modifiers that are applied only where the platform version wants them. This platform behaves as the
// library's minimum version: the soft scroll-edge effect is not available and the legacy frame applies.
class Backport {
public:
    explicit Backport(declarative::View content) : content_(std::move(content)) {}

    // Escape (pressed or repeating) runs the action and counts as handled; other keys pass on.
    declarative::View onEscapeKey(std::function<void()> action) const;
    declarative::View softScrollEdgeEffect() const;
    declarative::View legacyFrame(double width) const;
    // Lists of this view layer draw plain rows; the content is returned as it is.
    declarative::View alternatingRowBackgrounds(bool enabled) const;
    // A background of the colour, centred and scaled by 1.5 about its centre, so it reaches a quarter of
    // the content's size beyond each edge.
    declarative::View scaledBackground(graphics::ColorRef color) const;

private:
    declarative::View content_;
};

inline Backport backport(declarative::View content) {
    return Backport(std::move(content));
}

} // namespace vimbra
