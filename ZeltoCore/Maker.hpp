#pragma once

// The maker of the kit and of the plug-ins built on it: its name and web addresses as plain text, for code
// that shows them and for the metadata that hosts read.

namespace zelto {

inline constexpr const char* kMakerName = "Kestrova";
inline constexpr const char* kMakerSiteAddress = "https://kestrova.com/";
inline constexpr const char* kMakerMastodonAddress = "https://mastodon.social/@kestrova";
inline constexpr const char* kMakerContactAddress = "https://kestrova.com/contact/";

} // namespace zelto
