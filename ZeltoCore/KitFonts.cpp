#include "ZeltoCore/KitFonts.hpp"

#include "core/Log.hpp"

#include <array>
#include <atomic>
#include <mutex>
#include <set>
#include <string>

namespace zelto {

namespace {

// Each face: the family and weight that fontconfig knows it by, and whether that family is one of ours.
struct FaceEntry {
    CorviFont font;
    std::string_view faceName;
    std::string_view family;
    graphics::FontWeight weight;
};

// "Rocket" is the display face Bebas Neue under the name the kit asks for; the Dosis faces are weights of
// one family.
constexpr std::array<FaceEntry, 3> kFaces{{
    {CorviFont::rocket, "Rocket", "Rocket", graphics::FontWeight::regular},
    {CorviFont::dosisLight, "Dosis-Light", "Dosis", graphics::FontWeight::light},
    {CorviFont::dosisMedium, "Dosis-Medium", "Dosis", graphics::FontWeight::medium},
}};
constexpr std::string_view kRocketFace = "Bebas Neue";

const FaceEntry& entry(CorviFont font) {
    for (const FaceEntry& face : kFaces) {
        if (face.font == font) {
            return face;
        }
    }
    return kFaces[0];
}

// Set once fontconfig answers "Rocket".
std::atomic<bool> rocketAliased{false};

std::mutex& registrationMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

std::string_view corviFontFaceName(CorviFont font) {
    return entry(font).faceName;
}

bool registerKitFonts(const std::filesystem::path& fontsDirectory) {
    std::lock_guard lock(registrationMutex());
    static std::set<std::filesystem::path> registered;
    std::error_code error;
    const auto key = std::filesystem::weakly_canonical(fontsDirectory, error);
    const bool first = registered.insert(error ? fontsDirectory : key).second;
    if (first) {
        graphics::Font::registerFontsInDirectory(fontsDirectory);
    }
    if (!rocketAliased.load() && graphics::Font::addFamilyAlias("Rocket", std::string(kRocketFace))) {
        rocketAliased.store(true);
    }
    if (first) {
        // A face neither the bundle nor the system supplies draws in the default font.
        for (const FaceEntry& face : kFaces) {
            const std::string family(face.font == CorviFont::rocket ? kRocketFace : face.family);
            if (!graphics::Font::familyExists(family)) {
                core::logResourceFault(fontsDirectory, "font", face.faceName, "is missing");
            }
        }
    }
    return rocketAliased.load() && graphics::Font::familyExists(std::string(kRocketFace)) &&
           graphics::Font::familyExists("Dosis");
}

graphics::FontRef corviFont(CorviFont font, double size) {
    const FaceEntry& face = entry(font);
    const bool rocket = face.font == CorviFont::rocket;
    const std::string installed(rocket ? kRocketFace : face.family);
    if (!graphics::Font::familyExists(installed)) {
        return graphics::Font::systemFont(size, face.weight);
    }
    // Once registered, the display face goes by the kit's own name.
    const std::string family = rocket && rocketAliased.load() ? std::string(face.family) : installed;
    return std::make_shared<const graphics::Font>(family, size, face.weight, false);
}

} // namespace zelto
