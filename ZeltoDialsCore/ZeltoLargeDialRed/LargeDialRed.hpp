#pragma once

// The large dial in red: its frames are in Zelto_ZeltoLargeDialRed.bundle.

#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"

namespace zelto {

struct LargeDialRed : LargeDialColorBase {
    static constexpr std::string_view module = "ZeltoLargeDialRed";
    static constexpr const DialSequence& sequence = dialSequence(module);

    declarative::ImageView image(int index) const;
};

} // namespace zelto
