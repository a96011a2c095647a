#pragma once

// The large dial: the chaos dial's body at a larger size, in any of the colours that bring their own
// frame bundle (LargeDialBlue and its siblings, each in a module of its own).

#include "ZeltoDialsCore/DialSkin.hpp"

#include <concepts>

namespace zelto {

// The two-digit index text of frame names: "07", "51".
std::string largeDialIndexString(int index);

// What every colour gives for free.
struct LargeDialColorBase {
    std::string indexString(int index) const { return largeDialIndexString(index); }
};

// A colour of the large dial: the frame image for an index, and the index text its names use.
template <class C>
concept LargeDialColor = requires(const C& color, int index) {
    { color.image(index) } -> std::convertible_to<declarative::View>;
    { color.indexString(index) } -> std::convertible_to<std::string>;
};

// The frame size and offsets every colour shares.
extern const DialSkinGeometry largeDialGeometry;

template <LargeDialColor C> struct LargeDial {
    LargeDial(std::shared_ptr<AudioParameter> param, C color, graphics::ColorRef labelColor,
              LabelDisplayOptions labelDisplayOptions,
              std::shared_ptr<const LabelFormatter> formatter = nullptr,
              std::function<void()> onEditingEnded = {})
        : param(std::move(param)), color(std::move(color)), labelColor(std::move(labelColor)),
          labelDisplayOptions(std::move(labelDisplayOptions)), formatter(std::move(formatter)),
          onEditingEnded(std::move(onEditingEnded)), imageCount(dialFrameCount), knobMinDrag(6.0),
          knobDragScaleFactor(0.005f) {}

    std::shared_ptr<AudioParameter> param;
    C color;
    graphics::ColorRef labelColor;
    LabelDisplayOptions labelDisplayOptions;
    std::shared_ptr<const LabelFormatter> formatter;
    std::function<void()> onEditingEnded;
    int imageCount;
    double knobMinDrag;
    float knobDragScaleFactor;

    // The label under the knob: the given colour, in the options' own font.
    DialLabel label() const {
        return DialLabel(param, labelColor, labelDisplayOptions, labelDisplayOptions.font, formatter,
                         onEditingEnded);
    }

    declarative::View body(declarative::Context&) const {
        return dialSkinBody(
            param, knobMinDrag, knobDragScaleFactor, imageCount,
            [color = color](int index) { return declarative::View(color.image(index)); }, largeDialGeometry,
            label());
    }
};

} // namespace zelto
