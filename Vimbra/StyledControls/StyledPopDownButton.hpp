#pragma once

// The library's pull-down look on a push button: a bezel with a fixed title of its own (optionally after
// a label) that highlights while pressed and sends its action on a release inside it. It opens no menu
// itself; its action decides what happens (pop up a menu next to it, for one). Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/PopUpButton.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

class StyledPopDownButtonCell : public ui::PopUpButtonCell, public StyledView<StyledPopDownButtonCellStyle> {
public:
    explicit StyledPopDownButtonCell(std::string title = {}, bool pullsDown = false);

    // The one shared pull-down style, made on first use; every lookup of the cell and its control reads it.
    static std::shared_ptr<StyledPopDownButtonCellStyle> sharedStyle();
    std::shared_ptr<StyledPopDownButtonCellStyle> style() const final { return sharedStyle(); }

    const std::optional<std::string>& label() const { return label_; }
    void setLabel(std::optional<std::string> label) { label_ = std::move(label); }

    // The generic cell rule: on or mixed by state, + disabled, + highlighted while enabled.
    StyledControlState controlState() const;
    ui::BackgroundStyle interiorBackgroundStyle() const override;

    // The toolkit's title rect inset by the style's title insets, centred on the bounds' middle.
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    void drawBezelWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The labelled title (as the pop-up cell builds it), drawn by the toolkit's title drawing.
    graphics::Rect drawTitle(const graphics::AttributedString& title, const graphics::Rect& frame,
                             ui::View& controlView) override;

private:
    std::optional<std::string> label_;
};

class StyledPopDownButton : public ui::PopUpButton {
public:
    // Never pulls down; items in the 11-point menu font.
    explicit StyledPopDownButton(const graphics::Rect& frame = {});

    // Also the cell's, when it is a styled pull-down cell; nothing is redrawn.
    const std::optional<std::string>& label() const { return label_; }
    void setLabel(std::optional<std::string> label);

    // The title the cell shows: its own item once setTitle gave it one (the selected item's before);
    // empty for a foreign cell.
    std::string title() const;
    // Gives the cell an item of its own with the title, whatever the menu holds; a foreign cell ignores it.
    void setTitle(const std::string& title);

    graphics::EdgeInsets alignmentRectInsets() const override;
    // Bordered with a bezel image for the state: at least the image's width, its height, both less the
    // alignment insets.
    graphics::Size intrinsicContentSize() const override;
    graphics::Rect focusRingMaskBounds() const override { return bounds(); }
    void drawFocusRingMask() override {}
    void draw(const graphics::Rect& dirtyRect) override;

    // A press only highlights (no menu, no tracking); the release un-highlights and, inside the bounds,
    // sends the action. A disabled control ignores presses.
    void mouseDown(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;
    // A right press is taken as a plain button takes it (it travels on up the responder chain): the
    // pop-up's menu does not open.
    void rightMouseDown(const ui::Event& event) override;
    // Space and Return click the button (they open no menu either).
    void keyDown(const ui::Event& event) override;

protected:
    // A click sends the action; no menu is shown.
    void didClick() override;

private:
    std::shared_ptr<StyledPopDownButtonCell> styledCell() const;

    std::optional<std::string> label_;
    bool pressed_ = false;
};

} // namespace vimbra
