#pragma once

// The large dial in purple: its frames are in Zelto_ZeltoLargeDialPurple.bundle.

#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"

namespace zelto {

struct LargeDialPurple : LargeDialColorBase {
    static constexpr std::string_view module = "ZeltoLargeDialPurple";
    static constexpr const DialSequence& sequence = dialSequence(module);

    declarative::ImageView image(int index) const;
};

} // namespace zelto
