#pragma once

// The waveform morph pad: a dot at (morph X, morph Y) that follows the pointer while it is dragged
// anywhere on the pad, sending both parameters as one interactive edit per drag; an option-click puts
// both back to the middle.

#include "ZeltoCore/AudioParameter.hpp"
#include "declarative/Declarative.hpp"

#include <memory>

namespace editor {

struct WaveformMorphPadView {
    std::shared_ptr<zelto::AudioParameter> morphX;
    std::shared_ptr<zelto::AudioParameter> morphY;
    double padWidth = 96;
    double padHeight = 146;

    declarative::View body(declarative::Context& context) const;
};

} // namespace editor
