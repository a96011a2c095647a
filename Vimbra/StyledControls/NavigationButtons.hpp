#pragma once

// Small special-purpose styled buttons that change only their look and a few mouse rules: a navigation-bar
// back button that hides when faded out, a corner button that can open a second menu below itself, and a
// star-shaped favourite check box that dims while pressed. Main thread only.

#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledCheckBox.hpp"
#include "ui/Menu.hpp"

#include <cstdint>
#include <memory>

namespace vimbra {

// Shadowless square, toggle: the "down" bezel shows while pressed and while on.
class BackButtonCell : public StyledButtonCell {
public:
    explicit BackButtonCell(std::string title = {});
    explicit BackButtonCell(graphics::ImageRef image);
    static std::shared_ptr<BackButtonCellStyle> sharedStyle();
    std::shared_ptr<ButtonCellStyle> style() const override { return sharedStyle(); }
};

// Shadowless square, momentary change, no edge insets, the push button's bezels.
class CornerButtonCell : public StyledButtonCell {
public:
    explicit CornerButtonCell(std::string title = {});
    explicit CornerButtonCell(graphics::ImageRef image);
    static std::shared_ptr<CornerButtonCellStyle> sharedStyle();
    std::shared_ptr<ButtonCellStyle> style() const override { return sharedStyle(); }
};

// A check box whose box is the star of the favourite style: empty when off, filled when on. Its images
// always come from the style; setting them is ignored.
class FavouriteCheckBoxCell : public StyledCheckBoxCell {
public:
    explicit FavouriteCheckBoxCell(std::string title = {});
    explicit FavouriteCheckBoxCell(graphics::ImageRef image);
    static std::shared_ptr<FavouriteCheckBoxCellStyle> sharedStyle();
    std::shared_ptr<ButtonCellStyle> style() const override { return sharedStyle(); }

    // The size of the star for the current state; 16 × 16 when the style has none.
    graphics::Size imageSize() const override;
    // The style's entries under exactly default and exactly on, without the fallback lookup.
    graphics::ImageRef image() const override;
    void setImage(graphics::ImageRef) override {}
    graphics::ImageRef alternateImage() const override;
    void setAlternateImage(graphics::ImageRef) override {}
};

// Setting the alpha value to exactly 0 hides a visible button; any positive value shows a hidden one.
class BackButton : public StyledButton {
public:
    explicit BackButton(const graphics::Rect& frame = {}, std::optional<double> fixedWidth = std::nullopt);
    void setAlphaValue(double alpha) override;
    // Fixed: top 6, left 5, bottom 4, right 4.
    graphics::EdgeInsets alignmentRectInsets() const override { return {6, 5, 4, 4}; }
};

// With an alternate menu, a single click inside opens the menu below the button (at its minX, 4 points
// beyond its bottom edge) instead of sending the action; the second click of a double click tracks as a
// plain button does. A right click or a Control-click opens the menu whatever the count, and without a
// menu it is swallowed: nothing opens and no action is sent. The button stays highlighted while the menu
// it opened is shown.
class CornerButton : public StyledButton {
public:
    explicit CornerButton(const graphics::Rect& frame = {});

    const std::shared_ptr<ui::Menu>& alternateMenu() const { return alternateMenu_; }
    void setAlternateMenu(std::shared_ptr<ui::Menu> menu) { alternateMenu_ = std::move(menu); }

    void mouseDown(const ui::Event& event) override;
    void rightMouseDown(const ui::Event& event) override;
    // Opens the menu for a secondary click (a right click, or a left click with Control held) and tells
    // whether the event was one.
    virtual bool handleSecondaryClick(const ui::Event& event);
    // None: secondary clicks are the button's own (handleSecondaryClick), never a context menu.
    std::shared_ptr<ui::Menu> menuForEvent(const ui::Event& event) override;

private:
    // Opens the alternate menu below the button; true when it is shown. The highlight is cleared when
    // the menu closes.
    bool popUpAlternateMenu();

    std::shared_ptr<ui::Menu> alternateMenu_;
    // Counts the menus opened, so that only the latest one's closing clears the highlight.
    std::uint64_t menuSessions_ = 0;
    bool menuShown_ = false;
};

// A star check box that shows at half alpha while the mouse is tracked on it.
class FavouriteCheckBox : public StyledCheckBox {
public:
    explicit FavouriteCheckBox(const graphics::Rect& frame = {});
    void mouseDown(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
};

} // namespace vimbra
