#pragma once

#include <string>

namespace zelto {

// A newer published version of the plug-in, shown by the header and the editor.
struct UpdateAvailableDetails {
    std::string newVersion;

    UpdateAvailableDetails() = default;
    explicit UpdateAvailableDetails(std::string version) : newVersion(std::move(version)) {}

    friend bool operator==(const UpdateAvailableDetails&, const UpdateAvailableDetails&) = default;
};

} // namespace zelto
