#include "declarative/Menu.hpp"

#include "declarative/Content.hpp"
#include "declarative/Gestures.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Layout.hpp"

#include <algorithm>
#include <memory>

namespace declarative {

double MenuMetrics::entryMiddle(const std::vector<MenuEntry>& entries, std::size_t index) {
    double y = padding;
    for (std::size_t i = 0; i < entries.size() && i < index; ++i) {
        y += entries[i].isSeparator ? separatorHeight : rowHeight;
    }
    const bool separator = index < entries.size() && entries[index].isSeparator;
    return y + (separator ? separatorHeight : rowHeight) / 2;
}

graphics::BezierPath checkmarkPath(double size) {
    graphics::BezierPath path;
    path.moveTo({size * 0.2, size * 0.53});
    path.lineTo({size * 0.42, size * 0.75});
    path.lineTo({size * 0.82, size * 0.25});
    return path;
}

namespace {

using Entries = std::shared_ptr<const std::vector<MenuEntry>>;

// Rows light up while pressed.
View rowStyle(const ButtonConfiguration& configuration) {
    if (!configuration.isPressed) {
        return configuration.label;
    }
    return configuration.label.background(RoundedRectangle(4).fill(graphics::Color::rgba(0.23, 0.47, 0.85)));
}

View row(const MenuEntry& entry, const std::weak_ptr<HostingView>& host) {
    if (entry.isSeparator) {
        return Rectangle()
            .fill(graphics::Color::white(1, 0.12))
            .frame(std::nullopt, 1)
            .padding(EdgeInsets{0, 8, 0, 8})
            .frame(FrameLimits{.maxWidth = infinity,
                               .minHeight = MenuMetrics::separatorHeight,
                               .maxHeight = MenuMetrics::separatorHeight});
    }
    constexpr double glyph = 12;
    View check =
        entry.checked
            ? View(Path(checkmarkPath(glyph)).stroke(graphics::Color::white(0.92), 1.8)).frame(glyph, glyph)
            : View();
    // No spacer beside the title: it would share the row's width with it and truncate it.
    View label = HStack({.spacing = 0}, {check.frame(MenuMetrics::checkColumn, glyph), Text(entry.title)})
                     .padding(EdgeInsets{0, 0, 0, MenuMetrics::titleTrailing})
                     .frame(FrameLimits{.maxWidth = infinity,
                                        .minHeight = MenuMetrics::rowHeight,
                                        .maxHeight = MenuMetrics::rowHeight,
                                        .alignment = Alignment::leading()})
                     .contentShapeRect();
    auto action = entry.action;
    return Button(
        [host, action] {
            // Close first: the action may present something of its own.
            if (auto h = host.lock()) {
                h->dismissOverlay();
            }
            if (action) {
                action();
            }
        },
        label);
}

View panel(const std::vector<MenuEntry>& entries, const std::weak_ptr<HostingView>& host, double labelWidth) {
    std::vector<View> rows;
    rows.reserve(entries.size());
    for (const auto& entry : entries) {
        rows.push_back(row(entry, host));
    }
    return VStack({.alignment = HorizontalAlignment::leading, .spacing = 0}, std::move(rows))
        .frame(FrameLimits{.minWidth =
                               std::max(MenuMetrics::minimumWidth, labelWidth - 2 * MenuMetrics::padding),
                           .alignment = Alignment::topLeading()})
        .padding(EdgeInsets{MenuMetrics::padding, MenuMetrics::padding, MenuMetrics::padding,
                            MenuMetrics::padding})
        .background(ZStack({RoundedRectangle(6).fill(graphics::Color::rgba(0.15, 0.16, 0.18, 0.98)),
                            RoundedRectangle(6).stroke(graphics::Color::black(), 1)})
                        .shadow(graphics::Color::white(0, 0.5), 5, 0, 3))
        .font(graphics::Font::systemFont(13))
        .foregroundColor(graphics::Color::white(0.92))
        .buttonStyle(rowStyle);
}

struct MenuView {
    View label;
    Entries entries;

    View body(Context& context) const {
        std::weak_ptr<Node> self = context.node().weak_from_this();
        auto entries = this->entries;
        return Button(
            [self, entries] {
                auto node = self.lock();
                HostingView* host = node ? node->host() : nullptr;
                if (host == nullptr) {
                    return;
                }
                std::weak_ptr<HostingView> weakHost = host->sharedAs<HostingView>();
                host->presentOverlay(panel(*entries, weakHost, node->frame().width()), node->environment(),
                                     node->hostToLocal().inverted(), node->frame());
            },
            label);
    }
};

} // namespace

View Menu(View label, std::vector<MenuEntry> entries) {
    return MenuView{std::move(label), std::make_shared<const std::vector<MenuEntry>>(std::move(entries))};
}

} // namespace declarative
