#include "Vimbra/Style.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/Styles.hpp"

namespace vimbra {
using graphics::Color;
using graphics::ColorRef;
using graphics::ImageRef;
using S = StyledControlState;

ImageTable makeImageTable(std::initializer_list<std::pair<StyledControlState, const char*>> entries) {
    ImageTable table;
    for (const auto& [state, name] : entries) {
        if (auto image = vimbraImage(name)) {
            table.emplace(state, std::move(image));
        }
    }
    return table;
}

const ImageTable& LazyImageTable::get(const std::function<ImageTable()>& build) {
    if (!table_) {
        table_ = build ? build() : ImageTable{};
    }
    return *table_;
}

namespace {

ImageRef lookup(StyledControlState state, const ImageTable& table) {
    return stateValue(state, table).value_or(nullptr);
}

constexpr S highlightedOnOrMixed{S::highlighted.rawValue | S::on.rawValue | S::mixed.rawValue};

ImageTable pushButtonTable() {
    return makeImageTable(
        {{S::default_, "qel-button"}, {S::on, "qel-button-selected"}, {S::highlighted, "qel-button-down"}});
}

// The pop-up button values, shared by the pop-up and the pull-down styles.
void applyPopUpValues(ButtonCellStyle& style) {
    style.alignmentRectInsets = {3, 2, 3, 2};
    style.edgeInsets = {3, 0, 2, 12};
    style.selectedTextColor = style.textColor;
    style.titleEdgeInsets = {};
}

ImageTable textFieldTable(const char* normal) {
    return makeImageTable({{S::default_, normal},
                           {S::focused | S::invalid, "qel-textfield-error"},
                           {S::focused, "qel-textfield-focus"},
                           {S::invalid, "qel-textfield-error"}});
}

} // namespace

BaseStyle::BaseStyle()
    : appearanceName(appearanceNameDarkAqua), backgroundColor(vimbraColor("Background/Normal")) {}

ControlStyle::ControlStyle()
    : font(Styles::controlFont()), textColor(Styles::controlTextColor()),
      textBackgroundColor(Styles::controlTextBackgroundColor()), selectedFont(font),
      selectedTextColor(Styles::controlSelectedTextColor()),
      selectedBackgroundColor(vimbraColor("Highlight/System")),
      disabledTextColor(Styles::controlDisabledTextColor()),
      disabledBackgroundColor(Styles::controlDisabledBackgroundColor()),
      highlightedTextColor(Styles::controlHighlightedTextColor()),
      highlightedBackgroundColor(Styles::controlHighlightedBackgroundColor()),
      invalidTextColor(Styles::controlInvalidTextColor()),
      invalidBackgroundColor(Styles::controlInvalidBackgroundColor()),
      focusRingColor(vimbraColor("Highlight/System")),
      invalidFocusRingColor(Styles::controlInvalidFocusRingColor()) {}

const ImageTable& ControlStyle::bezelImages() {
    return bezelImages_.get(nullptr);
}

const ImageTable& ControlStyle::swiftUIBezelImages() {
    return swiftUIBezelImages_.get(nullptr);
}

ColorRef ControlStyle::focusRingColorForState(StyledControlState state) const {
    return state.contains(S::invalid) ? invalidFocusRingColor : focusRingColor;
}

ColorRef ControlStyle::textColorForState(StyledControlState state) const {
    if (state.contains(S::disabled)) {
        return disabledTextColor;
    }
    if (state.contains(S::invalid)) {
        return invalidTextColor;
    }
    if (state.contains(S::selected)) {
        return selectedTextColor;
    }
    if (state.containsAny(highlightedOnOrMixed)) {
        return highlightedTextColor;
    }
    return textColor;
}

ColorRef ControlStyle::backgroundColorForState(StyledControlState state) const {
    if (state.contains(S::invalid)) {
        return invalidBackgroundColor;
    }
    if (state.containsAny(highlightedOnOrMixed)) {
        return highlightedBackgroundColor;
    }
    if (state.contains(S::selected)) {
        return selectedBackgroundColor;
    }
    if (state.contains(S::disabled)) {
        return disabledBackgroundColor;
    }
    return backgroundColor;
}

ImageRef ControlStyle::bezelImageForState(StyledControlState state) {
    auto image = lookup(state, bezelImages());
    if (!image || bezelImageCapInsets.isZero()) {
        return image;
    }
    for (const ConfiguredBezel& bezel : configuredBezels_) {
        if (bezel.source == image && bezel.insets == bezelImageCapInsets &&
            bezel.mode == bezelImageResizingMode) {
            return bezel.configured;
        }
    }
    auto configured = image->copy();
    configured->setCapInsets(bezelImageCapInsets);
    configured->setResizingMode(bezelImageResizingMode);
    configuredBezels_.push_back({image, bezelImageCapInsets, bezelImageResizingMode, configured});
    return configured;
}

ButtonCellStyle::ButtonCellStyle() {
    backgroundColor = Color::clear();
    font = Styles::mediumFont();
    setBezelImages(pushButtonTable());
}

BackButtonCellStyle::BackButtonCellStyle() {
    setBezelImages(makeImageTable({{S::default_, "organiser-navbar-back"},
                                   {S::on, "organiser-navbar-back-down"},
                                   {S::highlighted, "organiser-navbar-back-down"}}));
}

ComboBoxStyle::ComboBoxStyle() {
    alignmentRectInsets = {3, 2, 3, 2};
    edgeInsets = {3, 0, 2, 12};
    selectedTextColor = textColor;
    titleEdgeInsets = {3, 7, 2, 0};
}

PopUpButtonCellStyle::PopUpButtonCellStyle() {
    applyPopUpValues(*this);
    setBezelImages(makeImageTable({{S::default_, "qel-popup"}, {S::highlighted, "qel-popup-down"}}));
}

ToolPopUpButtonCellStyle::ToolPopUpButtonCellStyle() {
    alignmentRectInsets = {};
    edgeInsets = {1, 1, 1, 1};
    titleEdgeInsets = {0, 4, 0, 14};
    selectedTextColor = textColor;
    setBezelImages(
        makeImageTable({{S::default_, "qel-popup-tool"}, {S::highlighted, "qel-popup-tool-down"}}));
}

StyledPopDownButtonCellStyle::StyledPopDownButtonCellStyle() {
    applyPopUpValues(*this);
    setBezelImages(makeImageTable({{S::default_, "qel-popdown"}, {S::highlighted, "qel-popdown-down"}}));
}

ToolButtonCellStyle::ToolButtonCellStyle() {
    imageEdgeInsets = {-1, 0, 1, 0};
    setBezelImages(makeImageTable({{S::default_, "corner-tool-background"},
                                   {S::on, "corner-tool-background-selected"},
                                   {S::highlighted, "corner-tool-background-down"}}));
}

CheckBoxCellStyle::CheckBoxCellStyle() {
    highlightedTextColor = textColor;
    highlightedBackgroundColor = textBackgroundColor;
    selectedBackgroundColor = textBackgroundColor;
    setButtonImages(makeImageTable({{S::default_, "qel-checkbox"},
                                    {S::on, "qel-checkbox-on"},
                                    {S::mixed, "qel-checkbox-mixed"},
                                    {S::highlighted, "qel-checkbox-down"},
                                    {S::on | S::highlighted, "qel-checkbox-on-down"},
                                    {S::mixed | S::highlighted, "qel-checkbox-mixed-down"},
                                    {S::selected, "qel-checkbox-down"},
                                    {S::selected | S::on, "qel-checkbox-on-down"},
                                    {S::selected | S::mixed, "qel-checkbox-mixed-down"}}));
}

const ImageTable& CheckBoxCellStyle::buttonImages() {
    return buttonImages_.get(nullptr);
}

ImageRef CheckBoxCellStyle::buttonImageForState(StyledControlState state) {
    return lookup(state, buttonImages());
}

FavouriteCheckBoxCellStyle::FavouriteCheckBoxCellStyle() {
    setButtonImages(
        makeImageTable({{S::default_, "organiser-icon-star-empty"}, {S::on, "organiser-icon-star"}}));
}

TextFieldCellStyle::TextFieldCellStyle()
    : placeholderTextColor(Styles::textInputPlaceholderTextColor()),
      placeholderBackground(Styles::textInputPlaceholderBackground()) {
    font = Styles::textInputFont();
    textColor = Styles::textInputTextColor();
    textBackgroundColor = Styles::textInputTextBackgroundColor();
    selectedTextColor = Styles::textInputSelectedTextColor();
    selectedBackgroundColor = vimbraColor("Highlight/System");
    disabledTextColor = Styles::textInputDisabledTextColor();
    disabledBackgroundColor = Styles::textInputDisabledBackgroundColor();
    highlightedTextColor = Styles::textInputHighlightedTextColor();
    highlightedBackgroundColor = Styles::textInputHighlightedBackgroundColor();
    invalidTextColor = Styles::textInputInvalidTextColor();
    invalidBackgroundColor = Styles::textInputInvalidBackgroundColor();
    alignmentRectInsets = {2, 2, 2, 2};
    edgeInsets = {2, 2, 2, 2};
    setBezelImages(textFieldTable("qel-textfield"));
}

HeaderTextFieldStyle::HeaderTextFieldStyle() {
    setBezelImages(textFieldTable("qel-textfield-tableheader"));
}

SearchFieldCellStyle::SearchFieldCellStyle() {
    setBezelImages(makeImageTable({{S::default_, "qel-searchfield"}, {S::focused, "qel-searchfield-focus"}}));
}

TextLabelCellStyle::TextLabelCellStyle() {
    font = Styles::labelFont();
    textColor = Styles::labelTextColor();
    disabledTextColor = Styles::labelDisabledTextColor();
    bezelImageCapInsets = {};
    padding = {};
    setBezelImages({});
}

SegmentedCellStyle::SegmentedCellStyle() {
    font = Styles::segmentFont();
    textColor = Styles::segmentTextColor();
    selectedTextColor = Styles::segmentSelectedTextColor();
    highlightedTextColor = Styles::segmentHighlightedTextColor();
    backgroundColor = Color::clear();
    setBezelImages(makeImageTable({{S::default_, "qel-window-tab"},
                                   {S::selected, "qel-window-tab-selected"},
                                   {S::highlighted, "qel-window-tab-down"}}));
}

const ImageTable& SliderCellStyle::barImages() {
    return barImages_.get([] {
        return makeImageTable({{S::default_, "qel-slider-alley"}, {S::highlighted, "qel-slider"}});
    });
}

const ImageTable& SliderCellStyle::knobImages() {
    return knobImages_.get([] {
        return makeImageTable({{S::default_, "qel-slider-handle"},
                               {S::highlighted, "qel-slider-handle-down"},
                               {S::mixed, "qel-slider-handle-multi"}});
    });
}

ImageRef SliderCellStyle::barImageForState(StyledControlState state) {
    return lookup(state, barImages());
}

ImageRef SliderCellStyle::knobImageForState(StyledControlState state) {
    return lookup(state, knobImages());
}

TableViewStyle::TableViewStyle()
    : rowBackgroundColor(Styles::tableRowBackgroundColor()),
      selectedRowBackgroundColor(vimbraColor("Highlight/System")),
      headerBackgroundColor(Styles::tableHeaderBackgroundColor()) {
    backgroundColor = rowBackgroundColor;
    textColor = Styles::tableTextColor();
    selectedTextColor = Styles::tableSelectedTextColor();
}

ColorRef TableViewStyle::rowBackgroundColorForState(StyledControlState state) const {
    return state.contains(S::selected) ? selectedRowBackgroundColor : rowBackgroundColor;
}

WindowStyle::WindowStyle() : font(Styles::baseFont()), textColor(vimbraColor("Grey 85%")) {}

} // namespace vimbra
