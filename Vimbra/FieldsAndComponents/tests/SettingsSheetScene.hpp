#pragma once

// The settings contact sheet's scene, for any sheet that shows the settings layout: a settings form on
// the library's window background with two sections of sliders (one set, one mixed), a row of a button
// and a label, a row of segments with one selected, a divider, and a row whose label is longer than the
// label column.

#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/ButtonStyles.hpp"
#include "Vimbra/FieldsAndComponents/SettingsLayout.hpp"
#include "Vimbra/FieldsAndComponents/Slider.hpp"
#include "Vimbra/FieldsAndComponents/SornSegmentedControl.hpp"

#include <memory>

namespace componentstest {

struct SettingsSheetGeometry {
    static constexpr double width = 320;
    static constexpr double height = 212;
    static constexpr double labelWidth = 100;
    static constexpr double formWidth = 300; // centred: the form starts at x 10
    static constexpr double formX = (width - formWidth) / 2;
    static constexpr double padding = 10; // above the form
};

// A white glyph for the slider's end icons: a bar, with a cross bar for the plus.
inline graphics::ImageRef sheetIcon(bool plus) {
    return graphics::Image::draw({10, 10}, 2.0, [plus](graphics::GraphicsContext& context) {
        context.fillRect(graphics::Rect(1, 4, 8, 2), graphics::Color::white(1.0));
        if (plus) {
            context.fillRect(graphics::Rect(4, 1, 2, 8), graphics::Color::white(1.0));
        }
    });
}

// The models are the caller's, so it can drive or inspect them.
struct SettingsSheetModels {
    std::shared_ptr<vimbra::SornSliderModel> gain = std::make_shared<vimbra::SornSliderModel>(
        std::vector<double>{40}, 0, 100, 10, false, 50, vimbra::SliderIconClickBehaviour::increment);
    std::shared_ptr<vimbra::SornSliderModel> spread = std::make_shared<vimbra::SornSliderModel>(
        std::vector<double>{20, 55, 90}, 0, 100, 10, false, 50, vimbra::SliderIconClickBehaviour::maxMin);
    std::shared_ptr<vimbra::SornSegmentedControlModel> view = [] {
        auto model = std::make_shared<vimbra::SornSegmentedControlModel>(
            std::vector<vimbra::SornSegmentItemRef>{std::make_shared<vimbra::SornSegmentItem>(1, "Dry"),
                                                    std::make_shared<vimbra::SornSegmentItem>(2, "Wet"),
                                                    std::make_shared<vimbra::SornSegmentItem>(3, "Both")});
        model->selectItem(2);
        return model;
    }();
};

inline declarative::View settingsSheetScene(const SettingsSheetModels& models) {
    using declarative::View;
    using namespace vimbra;
    const auto minus = sheetIcon(false);
    const auto plus = sheetIcon(true);
    View form(SornSettings(SettingsSheetGeometry::labelWidth, SettingsSheetGeometry::formWidth, [&] {
        return declarative::Group(
            {View(SornSettingsSection("Gain",
                                      [&] {
                                          return View(SornSlider{models.gain, minus, plus});
                                      })),
             View(SornSettingsSection("Spread",
                                      [&] {
                                          return View(SornSlider{models.spread, minus, plus});
                                      })),
             View(SornSettingsSection("Peaks",
                                      [] {
                                          return declarative::Group(
                                              {declarative::Button("Analyse", [] {})
                                                   .buttonStyle(defaultPelkoButtonStyle())
                                                   .padding(graphics::EdgeInsets{0, 2, 0, 2}),
                                               declarative::Text("12 found")});
                                      })),
             View(SornSettingsSection("View", [&] { return View(SornSegmentedControl{models.view}); })),
             View(SornSettingsDivider()),
             View(SornSettingsSection("Resynthesis quality", [] { return declarative::Text("High"); }))});
    }));
    return form.padding(graphics::EdgeInsets{SettingsSheetGeometry::padding, 0, 0, 0})
        .font(graphics::Font::systemFont(11))
        .foregroundColor(vimbraColor("Grey 85%"))
        .frame(SettingsSheetGeometry::width, SettingsSheetGeometry::height, declarative::Alignment::top())
        .background(vimbraColor("Background/Normal"));
}

} // namespace componentstest
