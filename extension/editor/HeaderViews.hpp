#pragma once

// The editor's top strip: the header row (maker's logo; the plug-in's version, or a button announcing a
// newer one) and, centred over it, the preset bar (the preset menu showing the current preset's name, a
// revert button while it is modified, previous and next).

#include "declarative/Declarative.hpp"

#include <string>

namespace editor {

// "More Kestrova Plugins…", the last entry of the preset menu.
inline constexpr const char* morePluginsTitle = "More Kestrova Plugins\u2026";

// The update notice's look: the label in Dosis Light 13 and "buttonBlue", padded 6 by 4 in a thin
// rounded outline; the whole notice dims to 80 % while pressed.
struct TessarayUpdateButtonStyle {
    declarative::View makeBody(const declarative::ButtonConfiguration& configuration) const;
    operator declarative::ButtonStyle() const;
};

// "<version> AVAILABLE" for a newer version.
std::string updateNoticeText(const std::string& newVersion);

struct HeaderRow {
    declarative::View body(declarative::Context& context) const;
};

struct PresetBar {
    declarative::View body(declarative::Context& context) const;
};

} // namespace editor
