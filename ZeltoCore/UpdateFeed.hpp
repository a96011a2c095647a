#pragma once

// The address of the update feed: the one appcast that the plug-in's update notice and the application's
// updater both read.

#include <string_view>

namespace zelto {

inline constexpr std::string_view kUpdateFeedAddress = "https://tessaray.app/tessaray/tessaray.xml";

} // namespace zelto
