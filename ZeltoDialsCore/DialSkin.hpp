#pragma once

// What the dial skins share: finding a frame sequence in the catalogue, naming its frames, and the
// layout of a finished dial (the knob's frame image with the label laid over its lower part).

#include "ZeltoDialsCore/DialCatalog.hpp"
#include "ZeltoDialsCore/DialLabel.hpp"
#include "ZeltoDialsCore/KnobControl.hpp"
#include "declarative/Content.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zelto {

// The nth sequence held by module's bundle (the medium dial's bundle holds one per colour).
constexpr const DialSequence& dialSequence(std::string_view module, std::size_t nth = 0) {
    for (const auto& sequence : dialSequences) {
        if (sequence.module == module && nth-- == 0) {
            return sequence;
        }
    }
    // Reached only for a module that is not in the catalogue: a compile-time error in constant use.
    throw "no such dial sequence";
}

// "knobs/chaos-dial-grey_" and 7 give "knobs/chaos-dial-grey_07".
std::string dialFrameName(const DialSequence& sequence, int index);

// Frame index of sequence as an image of its module's bundle.
declarative::ImageView dialFrameImage(const DialSequence& sequence, int index);

// Where a skin draws: its frame size, the offset of the frame image (none on the tiny skin) and of the
// label, in points from the centre of the dial.
struct DialSkinGeometry {
    double frameWidth;
    double frameHeight;
    std::optional<graphics::Point> imageOffset;
    graphics::Point labelOffset;
};

// The knob (showing frameImage(index) framed and offset) behind the label.
declarative::View dialSkinBody(const std::shared_ptr<AudioParameter>& param, double knobMinDrag,
                               float knobDragScaleFactor, int imageCount,
                               std::function<declarative::View(int)> frameImage,
                               const DialSkinGeometry& geometry, DialLabel label);

} // namespace zelto
