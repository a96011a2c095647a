#include "Vimbra/FieldsAndComponents/SettingsLayout.hpp"

namespace vimbra {

using declarative::View;

SornSettings::SornSettings(double labelWidth, double settingsWidth, const std::function<View()>& content)
    : settingsWidth(settingsWidth) {
    // Each row of the content carries the configuration, so the rows stay the form's own children.
    auto config = std::make_shared<SornSettingsConfig>(labelWidth);
    this->content = declarative::ForEachChild(
        content(), [&config](const View& row) { return row.environmentObject(config); });
}

View SornSettings::body(declarative::Context&) const {
    return declarative::Form({content}).frame(settingsWidth, std::nullopt);
}

SornSettingsSection::SornSettingsSection(std::string label, const std::function<View()>& content)
    : label(std::move(label)), content(content()) {}

View SornSettingsSection::body(declarative::Context& context) const {
    // A row outside any settings form lays out as one inside a form of the default configuration.
    const auto config = context.environmentObject<SornSettingsConfig>();
    const double labelWidth = config ? config->labelWidth.get() : SornSettingsConfig::defaultLabelWidth;
    return declarative::LabeledContent(
        declarative::VStack({.alignment = declarative::HorizontalAlignment::leading, .spacing = 4},
                            {FillEachChildLeading{}(content)})
            .frame({.maxWidth = declarative::infinity}),
        // The label goes first: a label longer than the column takes all of it, truncated, before the
        // spacer takes what is left.
        declarative::HStack({declarative::Spacer(), declarative::Text(label).layoutPriority(1)})
            .frame(labelWidth, std::nullopt));
}

View SornSettingsDivider::body(declarative::Context&) const {
    return declarative::Section({declarative::Divider()
                                     .padding(graphics::EdgeInsets{0, 16, 0, 16})
                                     .padding(graphics::EdgeInsets{8, 0, 8, 0})});
}

View FillEachChildLeading::operator()(const View& content) const {
    return declarative::ForEachChild(content, [](const View& child) {
        return declarative::HStack({child, declarative::Spacer()});
    });
}

} // namespace vimbra
