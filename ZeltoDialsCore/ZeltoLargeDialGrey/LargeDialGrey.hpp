#pragma once

// The large dial in grey: its frames are in Zelto_ZeltoLargeDialGrey.bundle.

#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"

namespace zelto {

struct LargeDialGrey : LargeDialColorBase {
    static constexpr std::string_view module = "ZeltoLargeDialGrey";
    static constexpr const DialSequence& sequence = dialSequence(module);

    declarative::ImageView image(int index) const;
};

} // namespace zelto
