#pragma once

// Cells hold a control's value and state and do its drawing and tracking; a control owns one cell and
// forwards to it. Raw values follow AppKit (state on 1, off 0, mixed -1; control sizes regular 0,
// small 1, mini 2, large 3).

#include "graphics/AttributedString.hpp"
#include "graphics/Font.hpp"
#include "graphics/Geometry.hpp"
#include "ui/Responder.hpp"
#include "ui/View.hpp"

#include <any>
#include <memory>
#include <optional>
#include <string>

namespace ui {

// A control's state value. Values other than these are possible and count as off where it matters.
namespace StateValue {
inline constexpr int mixed = -1;
inline constexpr int off = 0;
inline constexpr int on = 1;
} // namespace StateValue

enum class ControlSize { regular = 0, small = 1, mini = 2, large = 3, extraLarge = 4 };

// The number an object value holds when it is of an arithmetic type: every integer and floating type
// except bool and the character types (char, wchar_t, char8_t, char16_t, char32_t); signed and unsigned
// char are 8-bit integers. Text, bool and anything else hold none.
std::optional<double> arithmeticValue(const std::any& value);

class Cell : public Object {
public:
    Cell();
    explicit Cell(std::string text);
    ~Cell() override;

    // State.
    int state() const { return state_; }
    virtual void setState(int state) { state_ = state; }
    bool allowsMixedState() const { return allowsMixedState_; }
    void setAllowsMixedState(bool allows) { allowsMixedState_ = allows; }
    // The state a click moves to: off -> on -> off, or with mixed allowed on -> off -> mixed -> on.
    virtual int nextState() const;
    void setNextState() { setState(nextState()); }

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    bool isBordered() const { return bordered_; }
    void setBordered(bool bordered) { bordered_ = bordered; }
    bool isBezeled() const { return bezeled_; }
    void setBezeled(bool bezeled) { bezeled_ = bezeled; }
    // A continuous cell sends its action while the mouse is dragged, not only on release.
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool continuous) { continuous_ = continuous; }
    ControlSize controlSize() const { return controlSize_; }
    void setControlSize(ControlSize size) { controlSize_ = size; }
    bool refusesFirstResponder() const { return refusesFirstResponder_; }
    void setRefusesFirstResponder(bool refuses) { refusesFirstResponder_ = refuses; }
    virtual bool acceptsFirstResponder() const { return enabled_ && !refusesFirstResponder_; }

    // Value. The object value is a std::string, a number (see arithmeticValue), a bool or anything else;
    // the typed accessors convert numbers and numeric strings and give 0 or "" otherwise.
    const std::any& objectValue() const { return value_; }
    virtual void setObjectValue(std::any value);
    std::string stringValue() const;
    void setStringValue(const std::string& value) { setObjectValue(value); }
    // Sets a string value in the storage of the string already held, when there is one (a text field
    // takes its editor's text at every key). The object value is set directly, not through
    // setObjectValue: for cells that do not override it.
    void assignStringValue(const std::string& value);
    double doubleValue() const;
    void setDoubleValue(double value) { setObjectValue(value); }
    long long integerValue() const;
    void setIntegerValue(long long value) { setObjectValue(value); }
    // The text a cell shows as its title (the string value here; buttons keep their own title).
    virtual std::string title() const { return stringValue(); }

    // Text attributes of the value.
    graphics::FontRef font() const { return font_; }
    void setFont(graphics::FontRef font) { font_ = std::move(font); }
    graphics::TextAlignment alignment() const { return alignment_; }
    void setAlignment(graphics::TextAlignment alignment) { alignment_ = alignment; }
    graphics::LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(graphics::LineBreakMode mode) { lineBreakMode_ = mode; }
    // The title with the cell's font, alignment, line breaking and state colour.
    virtual graphics::AttributedString attributedTitle() const;

    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }

    // The background the cell is drawn on (set by whoever draws behind it, a table row for one), and
    // the one its interior content is drawn on (the base answers the background style).
    BackgroundStyle backgroundStyle() const { return backgroundStyle_; }
    virtual void setBackgroundStyle(BackgroundStyle style) { backgroundStyle_ = style; }
    virtual BackgroundStyle interiorBackgroundStyle() const { return backgroundStyle_; }

    // The focus ring the window draws while the cell's control has keyboard focus (View's focus ring).
    FocusRingType focusRingType() const { return focusRingType_; }
    virtual void setFocusRingType(FocusRingType type) { focusRingType_ = type; }
    // The area the window's focus ring surrounds (the base: the frame it is given), and the shape of
    // that area (the base fills the mask bounds; drawing nothing means no ring). The colour drawn with
    // plays no part, only coverage.
    virtual graphics::Rect focusRingMaskBoundsForFrame(const graphics::Rect& frame, View& controlView) const;
    virtual void drawFocusRingMaskWithFrame(const graphics::Rect& frame, View& controlView);

    // The view the cell draws in (its control), held weakly.
    std::shared_ptr<View> controlView() const { return controlView_.lock(); }
    void setControlView(const std::shared_ptr<View>& view) { controlView_ = view; }

    // Geometry. The defaults: the drawing area is the frame less a 2-point margin when bordered or
    // bezeled; title and image use the drawing area.
    virtual graphics::Rect drawingRectForBounds(const graphics::Rect& bounds) const;
    virtual graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const;
    virtual graphics::Rect imageRectForBounds(const graphics::Rect& bounds) const;
    // The size that fits the title (plus the margins of a bordered or bezeled cell).
    virtual graphics::Size cellSize() const;
    // The size that fits the title on one line within bounds (however wide they are), plus what
    // drawingRectForBounds takes off bounds.
    virtual graphics::Size cellSizeForBounds(const graphics::Rect& bounds) const;

    // Drawing into the current graphics context, in the control view's coordinates.
    // drawWithFrame draws the border (when bordered) and then the interior.
    virtual void drawWithFrame(const graphics::Rect& frame, View& controlView);
    // The title, vertically centred in the title rect.
    virtual void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView);
    // Sets the highlight and redraws the control view.
    virtual void highlight(bool flag, const graphics::Rect& frame, View& controlView);

    // Mouse tracking, driven by the control. Points are in the control view's coordinates.
    // Returning false from start or continue stops the tracking (the action is not sent).
    virtual bool startTracking(const graphics::Point& point, View& controlView);
    virtual bool continueTracking(const graphics::Point& last, const graphics::Point& current,
                                  View& controlView);
    virtual void stopTracking(const graphics::Point& last, const graphics::Point& current, View& controlView,
                              bool mouseIsUp);

private:
    int state_ = StateValue::off;
    bool allowsMixedState_ = false;
    bool enabled_ = true;
    bool highlighted_ = false;
    bool bordered_ = false;
    bool bezeled_ = false;
    bool continuous_ = false;
    bool refusesFirstResponder_ = false;
    ControlSize controlSize_ = ControlSize::regular;
    std::any value_;
    graphics::FontRef font_;
    graphics::TextAlignment alignment_ = graphics::TextAlignment::natural;
    graphics::LineBreakMode lineBreakMode_ = graphics::LineBreakMode::clipping;
    std::int64_t tag_ = 0;
    std::weak_ptr<View> controlView_;
    BackgroundStyle backgroundStyle_ = BackgroundStyle::normal;
    FocusRingType focusRingType_ = FocusRingType::defaultType;
};

} // namespace ui
