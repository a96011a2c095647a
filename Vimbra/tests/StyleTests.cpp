#include "Vimbra/Assets.hpp"
#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "Vimbra/Styles.hpp"

#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <vector>

using namespace vimbra;

using S = StyledControlState;

namespace {

std::string imageName(const graphics::ImageRef& image) {
    return image ? image->name() : std::string("<none>");
}

std::map<std::int64_t, std::string> names(const ImageTable& table) {
    std::map<std::int64_t, std::string> result;
    for (const auto& [state, image] : table) {
        result[state.rawValue] = imageName(image);
    }
    return result;
}

} // namespace

TEST(ControlStyle, ColourPrecedence) {
    ControlStyle style;
    const S all = S::default_ | S::disabled | S::selected | S::invalid;
    EXPECT_EQ(style.textColorForState(all), style.disabledTextColor);
    EXPECT_EQ(style.backgroundColorForState(all), style.invalidBackgroundColor);
    EXPECT_EQ(style.textColorForState(S(33)), style.highlightedTextColor);
    EXPECT_EQ(style.textColorForState(S::default_ | S::selected | S::on), style.selectedTextColor);
    EXPECT_EQ(style.backgroundColorForState(S::default_ | S::selected | S::on),
              style.highlightedBackgroundColor);
    EXPECT_EQ(style.backgroundColorForState(S::default_ | S::selected | S::disabled),
              style.selectedBackgroundColor);
    EXPECT_EQ(style.backgroundColorForState(S::default_ | S::disabled), style.disabledBackgroundColor);
    // focused changes no colour.
    EXPECT_EQ(style.textColorForState(S::default_ | S::focused), style.textColor);
    EXPECT_EQ(style.backgroundColorForState(S::default_ | S::focused), style.backgroundColor);
    EXPECT_EQ(style.focusRingColorForState(S::default_ | S::focused), style.focusRingColor);
    EXPECT_EQ(style.focusRingColorFor(S::default_ | S::invalid), style.invalidFocusRingColor);

    TableViewStyle table;
    EXPECT_EQ(table.rowBackgroundColorForState(S::default_ | S::selected), table.selectedRowBackgroundColor);
    EXPECT_EQ(table.rowBackgroundColorFor(S::default_ | S::highlighted), table.rowBackgroundColor);
}

TEST(StyleTree, DefaultsOfTheBaseClasses) {
    ControlStyle control;
    EXPECT_EQ(control.appearanceName, std::optional<std::string>("NSAppearanceNameDarkAqua"));
    EXPECT_EQ(control.backgroundColor, vimbraColor("Background/Normal")); // the shared named colour
    EXPECT_EQ(control.font, Styles::baseFont());
    EXPECT_EQ(control.selectedFont, control.font);
    EXPECT_EQ(control.textColor->name(), "Grey 85%");
    EXPECT_EQ(control.highlightedTextColor->name(), "Grey 50%");
    EXPECT_EQ(control.focusRingColor->name(), "Highlight/System");
    // A fresh control style has an empty table and finds nothing for any state.
    EXPECT_TRUE(control.bezelImages().empty());
    EXPECT_EQ(control.bezelImageForState(S(255)), nullptr);

    WindowStyle window;
    EXPECT_EQ(window.textColor->name(), "Grey 85%");
    EXPECT_EQ(window.padding, (graphics::Size{10, 6}));
}

TEST(StyleTree, ButtonFamilyTablesAndInsets) {
    ButtonCellStyle button;
    EXPECT_EQ(button.font, Styles::mediumFont());
    EXPECT_EQ(names(button.bezelImages()),
              (std::map<std::int64_t, std::string>{
                  {1, "qel-button"}, {8, "qel-button-down"}, {32, "qel-button-selected"}}));
    EXPECT_EQ(imageName(button.bezelImageForState(S(33))), "qel-button-selected");
    EXPECT_EQ(imageName(button.bezelImageForState(S(1 | 8 | 32))), "qel-button-down");
    EXPECT_EQ(imageName(button.bezelImageForState(S(3))), "qel-button");

    CheckBoxCellStyle check;
    EXPECT_EQ(check.buttonImages().size(), 9u);
    EXPECT_EQ(imageName(check.buttonImageForState(S(1 | 32 | 8))), "qel-checkbox-on-down");
    EXPECT_EQ(imageName(check.buttonImageForState(S(1 | 64 | 4))), "qel-checkbox-mixed-down");
    EXPECT_EQ(imageName(check.buttonImageForState(S(1 | 2 | 32))), "qel-checkbox-on");

    FavouriteCheckBoxCellStyle favourite;
    EXPECT_EQ(
        names(favourite.buttonImages()),
        (std::map<std::int64_t, std::string>{{1, "organiser-icon-star-empty"}, {32, "organiser-icon-star"}}));

    PopUpButtonCellStyle popUp;
    EXPECT_EQ(popUp.edgeInsets, (graphics::EdgeInsets{3, 0, 2, 12}));
    EXPECT_EQ(popUp.selectedTextColor, popUp.textColor);
    // Subclasses override what the pop-up sets and inherit the rest.
    ToolPopUpButtonCellStyle toolPopUp;
    EXPECT_EQ(toolPopUp.alignmentRectInsets, (graphics::EdgeInsets{}));
    EXPECT_EQ(imageName(toolPopUp.bezelImageForState(S(9))), "qel-popup-tool-down");
    StyledPopDownButtonCellStyle popDown;
    EXPECT_EQ(popDown.edgeInsets, popUp.edgeInsets);
    EXPECT_EQ(imageName(popDown.bezelImageForState(S(1))), "qel-popdown");

    EXPECT_EQ(imageName(ComboBoxStyle().bezelImageForState(S(1))), "qel-button");
    ToolButtonCellStyle tool;
    EXPECT_EQ(imageName(tool.bezelImageForState(S(1 | 8 | 32))), "corner-tool-background-down");
    BackButtonCellStyle back;
    EXPECT_EQ(imageName(back.bezelImageForState(S(33))), "organiser-navbar-back-down");
}

TEST(StyleTree, TextSegmentSliderAndTableStyles) {
    TextFieldCellStyle text;
    EXPECT_EQ(text.padding, (graphics::EdgeInsets{2, 6, 2, 6}));
    EXPECT_EQ(text.invalidTextColor->name(), "Error");
    EXPECT_EQ(imageName(text.bezelImageForState(S(1 | 16 | 128))), "qel-textfield-error");
    EXPECT_EQ(imageName(text.bezelImageForState(S(1 | 16))), "qel-textfield-focus");
    HeaderTextFieldStyle header;
    EXPECT_EQ(imageName(header.bezelImageForState(S(1))), "qel-textfield-tableheader");
    SearchFieldCellStyle search;
    EXPECT_EQ(names(search.bezelImages()),
              (std::map<std::int64_t, std::string>{{1, "qel-searchfield"}, {16, "qel-searchfield-focus"}}));
    TextLabelCellStyle label;
    EXPECT_EQ(label.textColor->name(), "Grey 60%");
    EXPECT_TRUE(label.bezelImages().empty()); // a label drops the text field's bezels
    EXPECT_EQ(TableRowLabelCellStyle().padding, text.padding);

    SegmentedCellStyle segment;
    EXPECT_EQ(segment.font, Styles::mediumFont12());
    EXPECT_EQ(imageName(segment.bezelImageForState(S(1 | 4 | 8))), "qel-window-tab-selected");

    SliderCellStyle slider;
    EXPECT_EQ(imageName(slider.knobImageForState(S(65))), "qel-slider-handle-multi");
    EXPECT_EQ(imageName(slider.knobImageForState(S(3))), "qel-slider-handle");
    EXPECT_EQ(imageName(slider.barImageForState(S(9))), "qel-slider");
    EXPECT_EQ(imageName(slider.barImageForState(S(1))), "qel-slider-alley");

    TableViewStyle table;
    EXPECT_EQ(table.backgroundColor, table.rowBackgroundColor);
    EXPECT_EQ(table.rowBackgroundColor->name(), "Background/Darker");
    EXPECT_EQ(OutlineViewStyle().selectedRowBackgroundColor->name(), "Highlight/System");
}

TEST(StyleTree, TablesAreOwnedPerStyleAndBezelsCarryTheStyleInsets) {
    // Each style builds its own image objects, so changing one style's images leaves others alone.
    ButtonCellStyle a;
    ButtonCellStyle b;
    EXPECT_NE(a.bezelImageForState(S(1)), b.bezelImageForState(S(1)));
    // Zero style insets keep the catalogue's slicing; non-zero ones are put on the image.
    const auto catalogue = a.bezelImageForState(S(1))->capInsets();
    EXPECT_FALSE(catalogue.isZero());
    a.bezelImageCapInsets = {1, 2, 3, 4};
    a.bezelImageResizingMode = graphics::ResizingMode::tile;
    EXPECT_EQ(a.bezelImageForState(S(1))->capInsets(), (graphics::EdgeInsets{1, 2, 3, 4}));
    EXPECT_EQ(a.bezelImageForState(S(1))->resizingMode(), graphics::ResizingMode::tile);
    EXPECT_EQ(b.bezelImageForState(S(1))->capInsets(), catalogue);
    // A replaced table is kept.
    a.setBezelImages({});
    EXPECT_EQ(a.bezelImageForState(S(1)), nullptr);
}

namespace {

class FakeCell : public StyledView<ControlStyle>, public StyledControl {
public:
    std::shared_ptr<ControlStyle> style() const override {
        static const auto shared = std::make_shared<ButtonCellStyle>();
        return shared;
    }
    StyledControlState controlState() const override { return state; }
    StyledControlState state = S::default_;
};

} // namespace

TEST(CurrentStateAccessors, ReadTheSharedStyleByTheCurrentState) {
    FakeCell cell;
    EXPECT_EQ(cell.defaultStyle(), cell.style());
    EXPECT_EQ(currentTextColor(cell), cell.style()->textColor);
    EXPECT_EQ(imageName(currentBezelImage(cell)), "qel-button");
    cell.state = S::default_ | S::highlighted;
    EXPECT_EQ(currentTextColor(cell), cell.style()->highlightedTextColor);
    EXPECT_EQ(imageName(currentBezelImage(cell)), "qel-button-down");
    cell.state = S::default_ | S::invalid;
    EXPECT_EQ(currentBackgroundColor(cell), cell.style()->invalidBackgroundColor);
    EXPECT_EQ(currentFocusRingColor(cell), cell.style()->invalidFocusRingColor);
}

TEST(Styles, SharedConstantsAreCreatedOnceAndAliasesAreIdentical) {
    EXPECT_EQ(Styles::controlFont(), Styles::baseFont());
    EXPECT_EQ(Styles::labelFont(), Styles::baseFont());
    EXPECT_EQ(Styles::segmentFont(), Styles::mediumFont12());
    EXPECT_EQ(Styles::baseFont()->pointSize(), 10);
    EXPECT_EQ(Styles::mediumFont()->weight(), graphics::FontWeight::medium);
    EXPECT_TRUE(Styles::monospacedDigitFont()->hasMonospacedDigits());
    EXPECT_EQ(Styles::controlTextColor(), Styles::controlTextColor());
}

TEST(Styles, ConcurrentFirstAccessYieldsOneObject) {
    // Constants not read by any earlier test, so the threads race to their first access.
    std::vector<std::thread> threads;
    std::vector<graphics::FontRef> fonts(8);
    std::vector<graphics::ColorRef> colors(8);
    std::vector<graphics::ImageRef> images(8);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            fonts[i] = Styles::mediumFont20();
            colors[i] = VmColorsAK::Pelko::orange();
            images[i] = VmImagesAK::checkerboardSmall();
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int i = 1; i < 8; ++i) {
        EXPECT_EQ(fonts[i], fonts[0]);
        EXPECT_EQ(colors[i], colors[0]);
        EXPECT_EQ(images[i], images[0]);
    }
    EXPECT_NE(fonts[0], nullptr);
    EXPECT_EQ(colors[0], VmColorsAK::Pelko::orange());
}

TEST(Palettes, MembersAreStableAndMadeFromTheirAssets) {
    EXPECT_EQ(VmImages::windowLogo(), VmImages::windowLogo());
    EXPECT_EQ(VmImages::windowLogo()->name(), "window-kestrova");
    // The AppKit-side colour is its own object with the declarative colour's components.
    EXPECT_NE(VmColorsAK::grey50(), VmColors::grey50());
    EXPECT_TRUE(VmColorsAK::grey50()->sameComponents(*VmColors::grey50()));
    EXPECT_EQ(VmColors::Pelko::darkPurple()->name(), "Pelko/DarkPurple");
}

// Looking a bezel up has no side effects: a style's cap insets travel on a copy, and the catalogue's image
// keeps its own slicing for every other style, also after this one is reset.
TEST(StyleTree, BezelLookupNeverChangesTheCatalogueImage) {
    ButtonCellStyle inset;
    const graphics::ImageRef catalogue = inset.bezelImageForState(S(1));
    ASSERT_TRUE(catalogue);
    const graphics::EdgeInsets original = catalogue->capInsets();
    const graphics::ResizingMode originalMode = catalogue->resizingMode();

    inset.bezelImageCapInsets = {3, 9, 4, 9};
    inset.bezelImageResizingMode = graphics::ResizingMode::tile;
    const graphics::ImageRef configured = inset.bezelImageForState(S(1));
    ASSERT_TRUE(configured);
    EXPECT_NE(configured, catalogue);
    EXPECT_EQ(configured->capInsets(), (graphics::EdgeInsets{3, 9, 4, 9}));
    EXPECT_EQ(configured->resizingMode(), graphics::ResizingMode::tile);
    EXPECT_EQ(configured->name(), catalogue->name());
    EXPECT_EQ(inset.bezelImageForState(S(1)), configured) << "one copy per entry and setting";
    EXPECT_EQ(catalogue->capInsets(), original);
    EXPECT_EQ(catalogue->resizingMode(), originalMode);

    // Reset, the style answers the catalogue's own image with its own slicing again.
    inset.bezelImageCapInsets = {};
    EXPECT_EQ(inset.bezelImageForState(S(1)), catalogue);
    EXPECT_EQ(inset.bezelImageForState(S(1))->capInsets(), original);
}
