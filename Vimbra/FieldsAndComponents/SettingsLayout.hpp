#pragma once

// The settings layout: a form of a fixed width whose rows carry a right-aligned label in a label column
// of one shared width and their controls beside it, one below the other at the leading edge, with
// dividers between groups of rows. The label width reaches every row through a configuration object
// that the form places in the environment of its content.

#include "core/Observation.hpp"
#include "declarative/Declarative.hpp"

#include <functional>
#include <string>

namespace vimbra {

// The settings form's shared layout values. Changing labelWidth re-lays out every row that read it.
class SornSettingsConfig {
public:
    // The label width of rows that find no settings form above them.
    static constexpr double defaultLabelWidth = 120;

    explicit SornSettingsConfig(double labelWidth = defaultLabelWidth) : labelWidth(labelWidth) {}
    SornSettingsConfig(const SornSettingsConfig&) = delete;
    SornSettingsConfig& operator=(const SornSettingsConfig&) = delete;

    core::Observed<double> labelWidth;
};

// The form: its content, settingsWidth wide, with a new configuration of labelWidth in the content's
// environment.
struct SornSettings {
    declarative::View content;
    double settingsWidth = 0;

    SornSettings(double labelWidth, double settingsWidth, const std::function<declarative::View()>& content);
    declarative::View body(declarative::Context& context) const;
};

// One row: the label, right-aligned in the label column, and the row's controls beside it, each at its
// own width at the leading edge, 4 points apart. Pass several controls as a Group (or a ForEach).
struct SornSettingsSection {
    std::string label;
    declarative::View content;

    SornSettingsSection(std::string label, const std::function<declarative::View()>& content);
    declarative::View body(declarative::Context& context) const;
};

// A line between groups of rows, inset 16 points from both sides with 8 points above and below.
struct SornSettingsDivider {
    declarative::View body(declarative::Context& context) const;
};

// Each child of a content view (the elements of its groups) on a row of its own: the child at its own
// width at the leading edge, a spacer taking the rest.
struct FillEachChildLeading {
    declarative::View operator()(const declarative::View& content) const;
};

} // namespace vimbra
