#pragma once

// Styles: plain objects holding the look of one kind of control (appearance, fonts, per-state colours,
// state-keyed images and insets). Each styled control type keeps one shared instance of its style class
// and asks it for values by StyledControlState. All fields are public and may be changed after
// construction; the per-state lookups are virtual, so a subclass may refine them.
//
// Lookups come in two spellings that share one implementation: xForState(state) (virtual) and
// xFor(state) (forwarding).

#include "Vimbra/ControlState.hpp"
#include "graphics/Color.hpp"
#include "graphics/Font.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/Image.hpp"

#include <functional>
#include <optional>
#include <string>

namespace vimbra {
using ImageTable = StateTable<graphics::ImageRef>;

inline constexpr const char* appearanceNameDarkAqua = "NSAppearanceNameDarkAqua";

// How a view's content relates to what is behind it (AppKit raw values).
enum class BackgroundStyle { normal = 0, emphasized = 1, raised = 2, lowered = 3 };

// A table of new catalogue images by state; names the catalogue lacks are left out.
ImageTable makeImageTable(std::initializer_list<std::pair<StyledControlState, const char*>> entries);

// Lazily built state table: unset until read or assigned; a read of an unset table builds it.
class LazyImageTable {
public:
    bool isSet() const { return table_.has_value(); }
    const ImageTable& get(const std::function<ImageTable()>& build);
    void set(ImageTable table) { table_ = std::move(table); }

private:
    std::optional<ImageTable> table_;
};

class BaseStyle {
public:
    BaseStyle();
    virtual ~BaseStyle() = default;

    std::optional<std::string> appearanceName;
    BackgroundStyle backgroundStyle = BackgroundStyle::emphasized;
    BackgroundStyle interiorBackgroundStyle = BackgroundStyle::emphasized;
    bool opaque = false;
    graphics::ColorRef backgroundColor;

    template <class Value>
    std::optional<Value> stateValue(StyledControlState state, const StateTable<Value>& table) const {
        return vimbra::stateValue(state, table);
    }
};

class ControlStyle : public BaseStyle {
public:
    ControlStyle();

    graphics::FontRef font;
    graphics::ColorRef textColor;
    graphics::ColorRef textBackgroundColor;
    graphics::FontRef selectedFont;
    graphics::ColorRef selectedTextColor;
    graphics::ColorRef selectedBackgroundColor;
    graphics::ColorRef disabledTextColor;
    graphics::ColorRef disabledBackgroundColor;
    graphics::ColorRef highlightedTextColor;
    graphics::ColorRef highlightedBackgroundColor;
    graphics::ColorRef invalidTextColor;
    graphics::ColorRef invalidBackgroundColor;
    graphics::EdgeInsets bezelImageCapInsets;
    graphics::ResizingMode bezelImageResizingMode = graphics::ResizingMode::stretch;
    graphics::EdgeInsets swiftUIBezelImageCapInsets;
    graphics::ResizingMode swiftUIBezelImageResizingMode = graphics::ResizingMode::stretch;
    graphics::EdgeInsets alignmentRectInsets;
    graphics::EdgeInsets edgeInsets;
    graphics::ColorRef focusRingColor;
    graphics::ColorRef invalidFocusRingColor;

    // Empty when read before anything was assigned.
    const ImageTable& bezelImages();
    void setBezelImages(ImageTable table) { bezelImages_.set(std::move(table)); }
    const ImageTable& swiftUIBezelImages();
    void setSwiftUIBezelImages(ImageTable table) { swiftUIBezelImages_.set(std::move(table)); }

    // invalid: invalidFocusRingColor; otherwise focusRingColor.
    virtual graphics::ColorRef focusRingColorForState(StyledControlState state) const;
    // disabled > invalid > selected > highlighted/on/mixed > plain.
    virtual graphics::ColorRef textColorForState(StyledControlState state) const;
    // invalid > highlighted/on/mixed > selected > disabled > the style's backgroundColor.
    virtual graphics::ColorRef backgroundColorForState(StyledControlState state) const;
    // The best entry of bezelImages, or null. With non-zero bezelImageCapInsets the answer is a copy of the
    // entry that carries them (with bezelImageResizingMode), made once per entry and setting; the catalogue's
    // image is never changed. With zero insets it is the entry itself, with its catalogue slicing.
    virtual graphics::ImageRef bezelImageForState(StyledControlState state);

    graphics::ColorRef focusRingColorFor(StyledControlState state) const {
        return focusRingColorForState(state);
    }
    graphics::ColorRef textColorFor(StyledControlState state) const { return textColorForState(state); }
    graphics::ColorRef backgroundColorFor(StyledControlState state) const {
        return backgroundColorForState(state);
    }
    graphics::ImageRef bezelImageFor(StyledControlState state) { return bezelImageForState(state); }

private:
    struct ConfiguredBezel {
        graphics::ImageRef source;
        graphics::EdgeInsets insets;
        graphics::ResizingMode mode;
        graphics::ImageRef configured;
    };

    LazyImageTable bezelImages_;
    LazyImageTable swiftUIBezelImages_;
    std::vector<ConfiguredBezel> configuredBezels_;
};

class ButtonCellStyle : public ControlStyle {
public:
    ButtonCellStyle();

    graphics::EdgeInsets imageEdgeInsets;
    graphics::EdgeInsets titleEdgeInsets;
};

class BackButtonCellStyle : public ButtonCellStyle {
public:
    BackButtonCellStyle();
};

class ComboBoxStyle : public ButtonCellStyle {
public:
    ComboBoxStyle();
};

class CornerButtonCellStyle : public ButtonCellStyle {};

class StyledPopDownButtonCellStyle : public ButtonCellStyle {
public:
    StyledPopDownButtonCellStyle();
};

class ToolButtonCellStyle : public ButtonCellStyle {
public:
    ToolButtonCellStyle();
};

class CheckBoxCellStyle : public ButtonCellStyle {
public:
    CheckBoxCellStyle();

    const ImageTable& buttonImages();
    void setButtonImages(ImageTable table) { buttonImages_.set(std::move(table)); }

    virtual graphics::ImageRef buttonImageForState(StyledControlState state);
    graphics::ImageRef buttonImageFor(StyledControlState state) { return buttonImageForState(state); }

private:
    LazyImageTable buttonImages_;
};

class FavouriteCheckBoxCellStyle : public CheckBoxCellStyle {
public:
    FavouriteCheckBoxCellStyle();
};

class PopUpButtonCellStyle : public ButtonCellStyle {
public:
    PopUpButtonCellStyle();
};

class ToolPopUpButtonCellStyle : public PopUpButtonCellStyle {
public:
    ToolPopUpButtonCellStyle();
};

class TextFieldCellStyle : public ControlStyle {
public:
    TextFieldCellStyle();

    graphics::ColorRef placeholderTextColor;
    graphics::ColorRef placeholderBackground;
    graphics::EdgeInsets padding{2, 6, 2, 6};
};

class HeaderTextFieldStyle : public TextFieldCellStyle {
public:
    HeaderTextFieldStyle();
};

class SearchFieldCellStyle : public TextFieldCellStyle {
public:
    SearchFieldCellStyle();
};

class TableRowLabelCellStyle : public TextFieldCellStyle {};
class TableGroupLabelCellStyle : public TextFieldCellStyle {};

class TextLabelCellStyle : public TextFieldCellStyle {
public:
    TextLabelCellStyle();
};

class SegmentedCellStyle : public ControlStyle {
public:
    SegmentedCellStyle();

    graphics::EdgeInsets segmentPadding{0, 21, 0, 21};
    graphics::EdgeInsets segmentMargin;
};

class SliderCellStyle : public ControlStyle {
public:
    // Built on first read from the catalogue.
    const ImageTable& barImages();
    void setBarImages(ImageTable table) { barImages_.set(std::move(table)); }
    const ImageTable& knobImages();
    void setKnobImages(ImageTable table) { knobImages_.set(std::move(table)); }

    virtual graphics::ImageRef barImageForState(StyledControlState state);
    virtual graphics::ImageRef knobImageForState(StyledControlState state);
    graphics::ImageRef barImageFor(StyledControlState state) { return barImageForState(state); }
    graphics::ImageRef knobImageFor(StyledControlState state) { return knobImageForState(state); }

private:
    LazyImageTable barImages_;
    LazyImageTable knobImages_;
};

class TableViewStyle : public ControlStyle {
public:
    TableViewStyle();

    graphics::ColorRef rowBackgroundColor;
    graphics::ColorRef selectedRowBackgroundColor;
    graphics::ColorRef headerBackgroundColor;

    // selected: selectedRowBackgroundColor; otherwise rowBackgroundColor.
    virtual graphics::ColorRef rowBackgroundColorForState(StyledControlState state) const;
    graphics::ColorRef rowBackgroundColorFor(StyledControlState state) const {
        return rowBackgroundColorForState(state);
    }
};

class OutlineViewStyle : public TableViewStyle {};

class WindowStyle : public BaseStyle {
public:
    WindowStyle();

    graphics::Size padding{10, 6};
    graphics::FontRef font;
    graphics::ColorRef textColor;
};

class PopoverStyle : public WindowStyle {};

} // namespace vimbra
