#pragma once

// A pull-down menu: a label that, clicked, opens a panel of entries drawn by the hosting view above the
// tree, just below the label and inside the host's bounds (a plug-in editor is a child window, so the
// panel never leaves it). Choosing an entry closes the panel and runs the entry's action; a click
// outside the panel or Escape closes it without choosing.

#include "declarative/Core.hpp"

#include <functional>
#include <string>
#include <vector>

namespace declarative {

struct MenuEntry {
    std::string title;
    std::function<void()> action;
    bool checked = false; // draws a checkmark before the title
    bool isSeparator = false;

    static MenuEntry separator() { return MenuEntry{{}, {}, false, true}; }
};

// The open panel's geometry in points, for hosts and tests that need to find an entry: entries are
// stacked from the top padding down, each item one row high, each separator a thinner row.
struct MenuMetrics {
    static constexpr double padding = 4;
    static constexpr double rowHeight = 22;
    static constexpr double separatorHeight = 9;
    static constexpr double checkColumn = 22;
    static constexpr double titleTrailing = 16;
    static constexpr double minimumWidth = 120;

    // The vertical middle of entry `index` (item or separator), from the panel's top.
    static double entryMiddle(const std::vector<MenuEntry>& entries, std::size_t index);
};

// The label is a button in the environment's button style; the panel is at least as wide as the label
// and its rows use the system font.
View Menu(View label, std::vector<MenuEntry> entries);

// The checkmark glyph the panel draws, as a path in a box of `size` points.
graphics::BezierPath checkmarkPath(double size);

} // namespace declarative
