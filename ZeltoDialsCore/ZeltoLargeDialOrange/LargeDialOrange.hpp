#pragma once

// The large dial in orange: its frames are in Zelto_ZeltoLargeDialOrange.bundle.

#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"

namespace zelto {

struct LargeDialOrange : LargeDialColorBase {
    static constexpr std::string_view module = "ZeltoLargeDialOrange";
    static constexpr const DialSequence& sequence = dialSequence(module);

    declarative::ImageView image(int index) const;
};

} // namespace zelto
