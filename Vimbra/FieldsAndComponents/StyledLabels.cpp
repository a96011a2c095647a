#include "Vimbra/FieldsAndComponents/StyledLabels.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/Styles.hpp"

namespace vimbra {
namespace {

// A label style: the class's defaults, the label's values, then no cap insets, padding or bezel images.
template <class Style>
std::shared_ptr<TextFieldCellStyle> makeLabelStyle(graphics::FontRef font, graphics::FontRef selectedFont,
                                                   const char* textColor, const char* disabledTextColor) {
    auto style = std::make_shared<Style>();
    style->font = std::move(font);
    if (selectedFont) {
        style->selectedFont = std::move(selectedFont);
    }
    style->textColor = vimbraColor(textColor);
    if (disabledTextColor) {
        style->disabledTextColor = vimbraColor(disabledTextColor);
    }
    style->bezelImageCapInsets = {};
    style->padding = {};
    style->setBezelImages({});
    return style;
}

} // namespace

StyledTextLabelCell::StyledTextLabelCell(std::string text) : StyledTextFieldCell(std::move(text)) {
    applyStyle();
}

std::shared_ptr<TextFieldCellStyle> StyledTextLabelCell::sharedStyle() {
    static const auto shared =
        makeLabelStyle<TextLabelCellStyle>(Styles::baseFont(), nullptr, "Grey 60%", "Grey 30%");
    return shared;
}

StyledTableRowLabelCell::StyledTableRowLabelCell(std::string text) : StyledTextFieldCell(std::move(text)) {
    applyStyle();
}

std::shared_ptr<TextFieldCellStyle> StyledTableRowLabelCell::sharedStyle() {
    static const auto shared = makeLabelStyle<TableRowLabelCellStyle>(
        Styles::monospacedDigitFont(), Styles::mediumFont(), "Grey 70%", nullptr);
    return shared;
}

StyledTableGroupRowLabelCell::StyledTableGroupRowLabelCell(std::string text)
    : StyledTextFieldCell(std::move(text)) {
    applyStyle();
}

std::shared_ptr<TextFieldCellStyle> StyledTableGroupRowLabelCell::sharedStyle() {
    static const auto shared = makeLabelStyle<TableGroupLabelCellStyle>(
        Styles::baseFont(), Styles::mediumFont(), "Grey 50%", nullptr);
    return shared;
}

} // namespace vimbra
