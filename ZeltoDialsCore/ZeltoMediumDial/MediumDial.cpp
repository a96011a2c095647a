#include "ZeltoDialsCore/ZeltoMediumDial/MediumDial.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"

namespace zelto {

const DialSkinGeometry MediumDial::geometry{dialSequence(module).width, dialSequence(module).height,
                                            graphics::Point{0, -16}, graphics::Point{0, 44}};

MediumDial::MediumDial(std::shared_ptr<AudioParameter> param, MediumDialColor color,
                       LabelDisplayOptions labelDisplayOptions,
                       std::shared_ptr<const LabelFormatter> formatter, std::function<void()> onEditingEnded)
    : param(std::move(param)), color(color), labelDisplayOptions(std::move(labelDisplayOptions)),
      formatter(std::move(formatter)), onEditingEnded(std::move(onEditingEnded)), imageCount(dialFrameCount),
      knobMinDrag(6.0), knobDragScaleFactor(0.005f) {}

graphics::ColorRef MediumDial::labelColor(MediumDialColor color) {
    switch (color) {
    case MediumDialColor::blue:
        return zeltoPluginBlue();
    case MediumDialColor::yellow:
        return zeltoPluginYellow();
    case MediumDialColor::red:
        return zeltoPluginRed();
    case MediumDialColor::purple:
        return zeltoPluginPurple();
    }
    return zeltoPluginBlue();
}

DialLabel MediumDial::label() const {
    return DialLabel(param, labelColor(color), labelDisplayOptions, labelDisplayOptions.font, formatter,
                     onEditingEnded);
}

declarative::View MediumDial::body(declarative::Context&) const {
    const DialSequence& frames = sequence(color);
    return dialSkinBody(
        param, knobMinDrag, knobDragScaleFactor, imageCount,
        [&frames](int index) { return declarative::View(dialFrameImage(frames, index)); }, geometry, label());
}

} // namespace zelto
