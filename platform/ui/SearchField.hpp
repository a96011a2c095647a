#pragma once

// Search fields: a text field with a search button at its leading end and a cancel button at its
// trailing end. The cancel button shows while there is text; clicking it clears the text and sends the
// action. Unless the field sends only whole search strings, it also sends its action on every edit, at
// once, so what it filters follows the typing.

#include "ui/Button.hpp"
#include "ui/TextField.hpp"

#include <memory>
#include <optional>
#include <string>

namespace ui {

// The bezel of a text field (AppKit's raw values).
enum class TextFieldBezelStyle { square = 0, rounded = 1 };

class SearchFieldCell : public TextFieldCell {
public:
    explicit SearchFieldCell(std::string text = {});

    // The buttons' cells: each draws itself in its rect; null removes a button (its rect is then zero).
    // The reset functions put the standard cells back.
    std::shared_ptr<ButtonCell> searchButtonCell() const { return searchButtonCell_; }
    void setSearchButtonCell(std::shared_ptr<ButtonCell> cell) { searchButtonCell_ = std::move(cell); }
    std::shared_ptr<ButtonCell> cancelButtonCell() const { return cancelButtonCell_; }
    void setCancelButtonCell(std::shared_ptr<ButtonCell> cell) { cancelButtonCell_ = std::move(cell); }
    void resetSearchButtonCell();
    void resetCancelButtonCell();

    // The placeholder as styled text; when set it is drawn in place of the plain placeholder.
    const std::optional<graphics::AttributedString>& placeholderAttributedString() const {
        return placeholderAttributedString_;
    }
    void setPlaceholderAttributedString(std::optional<graphics::AttributedString> placeholder) {
        placeholderAttributedString_ = std::move(placeholder);
    }

    // Whether the action goes out only when editing ends (Return), not on every edit.
    bool sendsWholeSearchString() const { return sendsWholeSearchString_; }
    void setSendsWholeSearchString(bool flag) { sendsWholeSearchString_ = flag; }

    // Geometry: the buttons are squares of buttonSide (less for a low field), inset searchButtonInset
    // and buttonInset from the ends and centred vertically; the text area lies between them, textAreaHeight high and
    // centred (the bounds' height in lower fields).
    static constexpr double buttonSide = 16;
    static constexpr double buttonInset = 4;
    static constexpr double searchButtonInset = 6;
    static constexpr double textAreaHeight = 16;
    virtual graphics::Rect searchButtonRectForBounds(const graphics::Rect& bounds) const;
    virtual graphics::Rect cancelButtonRectForBounds(const graphics::Rect& bounds) const;
    virtual graphics::Rect searchTextRectForBounds(const graphics::Rect& bounds) const;
    // The text area less the drawing margin.
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;

    // Background and a rounded frame when bezeled, then the interior.
    void drawWithFrame(const graphics::Rect& frame, View& controlView) override;
    // The text or placeholder (none while editing), the search button, and the cancel button while
    // there is text.
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;
    // The field editor covers the text area only, so the buttons stay clickable while editing.
    void editWithFrame(const graphics::Rect& rect, View& controlView, const std::shared_ptr<Text>& editor,
                       const std::shared_ptr<Object>& delegate, const Event* event) override;
    void selectWithFrame(const graphics::Rect& rect, View& controlView, const std::shared_ptr<Text>& editor,
                         const std::shared_ptr<Object>& delegate, std::size_t start,
                         std::size_t length) override;

private:
    std::shared_ptr<ButtonCell> searchButtonCell_;
    std::shared_ptr<ButtonCell> cancelButtonCell_;
    std::optional<graphics::AttributedString> placeholderAttributedString_;
    bool sendsWholeSearchString_ = false;
};

class SearchField : public TextField {
public:
    // An editable, bezeled search field with the standard buttons (or the given cell).
    explicit SearchField(const graphics::Rect& frame = {}, std::shared_ptr<SearchFieldCell> cell = nullptr);

    // The cell when it is a search field cell (a cell of another kind gives null).
    std::shared_ptr<SearchFieldCell> searchFieldCell() const;

    bool sendsWholeSearchString() const;
    void setSendsWholeSearchString(bool flag);
    TextFieldBezelStyle bezelStyle() const { return bezelStyle_; }
    void setBezelStyle(TextFieldBezelStyle style);

    // Clears the text (also in the field editor while editing), redraws and sends the action: what a
    // click on the cancel button does.
    void cancelSearch();

    // A press on the cancel button (while there is text) tracks it: the button highlights while the
    // pointer is over it and a release there cancels the search. Other presses edit as in a text field.
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    // No width of its own; the height follows the control size (22, 19, 16 points).
    graphics::Size intrinsicContentSize() const override;

    // Each edit redraws (the cancel button comes and goes) and sends the action unless only whole
    // search strings are sent.
    void textDidChange(Text& text) override;

private:
    graphics::Rect cancelRect() const;
    TextFieldBezelStyle bezelStyle_ = TextFieldBezelStyle::rounded;
    bool trackingCancel_ = false;
};

} // namespace ui
