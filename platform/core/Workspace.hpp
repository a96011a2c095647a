#pragma once

#include "core/URL.hpp"

#include <functional>
#include <string>
#include <string_view>

namespace core {

// Hands a URL to the desktop (xdg-open by default), fire-and-forget: the call does not wait for the
// opener, and the opener process is reaped in the background. Returns whether it was started.
bool openURL(const URL& url);
// Text that does not parse as an absolute URL (with a scheme) is refused.
bool openURL(std::string_view url);

// Replaces the opener, for tests; an empty handler restores the default. Returns the previous one.
using OpenURLHandler = std::function<bool(const URL&)>;
OpenURLHandler setOpenURLHandler(OpenURLHandler handler);

// The program the default opener runs (looked up in PATH), called as `program URL`. Returns the previous.
std::string setOpenURLProgram(std::string program);

} // namespace core
