#pragma once

// The large dial in blue: its frames are in Zelto_ZeltoLargeDialBlue.bundle.

#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"

namespace zelto {

struct LargeDialBlue : LargeDialColorBase {
    static constexpr std::string_view module = "ZeltoLargeDialBlue";
    static constexpr const DialSequence& sequence = dialSequence(module);

    declarative::ImageView image(int index) const;
};

} // namespace zelto
