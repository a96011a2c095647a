#pragma once

// The large dial in yellow: its frames are in Zelto_ZeltoLargeDialYellow.bundle.

#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"

namespace zelto {

struct LargeDialYellow : LargeDialColorBase {
    static constexpr std::string_view module = "ZeltoLargeDialYellow";
    static constexpr const DialSequence& sequence = dialSequence(module);

    declarative::ImageView image(int index) const;
};

} // namespace zelto
