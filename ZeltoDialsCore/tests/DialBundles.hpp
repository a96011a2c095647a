#pragma once

// Makes the bundles the build generated (the kit's colours and the dial frames) findable for the skin
// tests and the benchmark, and registers the kit's typefaces.

#include "ZeltoCore/KitFonts.hpp"
#include "core/Bundle.hpp"

#include <filesystem>

namespace dialtest {

inline void useDialBundles() {
    static const bool registered = [] {
        const std::filesystem::path directory(ZELTO_BUNDLES_DIR);
        core::Bundle::addSearchPath(directory);
        zelto::registerKitFonts(directory / "Zelto_ZeltoCore.bundle" / "Resources" / "Fonts");
        return true;
    }();
    (void)registered;
}

} // namespace dialtest
