#include "ZeltoDialsCore/ZeltoTinyDial/TinyDial.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"

namespace zelto {

// The frame image sits at the centre of the dial.
const DialSkinGeometry TinyDial::geometry{sequence.width, sequence.height, std::nullopt,
                                          graphics::Point{0, 30}};

TinyDial::TinyDial(std::shared_ptr<AudioParameter> param, LabelDisplayOptions labelDisplayOptions,
                   std::shared_ptr<const LabelFormatter> formatter, std::function<void()> onEditingEnded)
    : param(std::move(param)), color(TinyDialColor::grey),
      labelDisplayOptions(std::move(labelDisplayOptions)), formatter(std::move(formatter)),
      onEditingEnded(std::move(onEditingEnded)), knobMinDrag(3.0), knobDragScaleFactor(0.01f),
      imageCount(dialFrameCount) {}

DialLabel TinyDial::label() const {
    return DialLabel(param, zeltoTinyDialLabel(), labelDisplayOptions, CorviFont::rocket, formatter,
                     onEditingEnded);
}

declarative::View TinyDial::body(declarative::Context&) const {
    return dialSkinBody(param, knobMinDrag, knobDragScaleFactor, imageCount, &TinyDial::frameImage, geometry,
                        label());
}

} // namespace zelto
